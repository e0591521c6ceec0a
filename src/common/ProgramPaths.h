// Where things live in the program folder's resource tree: every path the programs read or
// write there is formed here, once.
#pragma once

#include <filesystem>
#include <string_view>

namespace zor::paths {

using std::filesystem::path;

// The model folder of the application's own values (and of the sample model).
inline constexpr std::string_view kAppModel = "MouseA";

// res/MouseVarn: one folder per model.
path ModelsFolder(const path& root);
// res/MouseVarn/<devFolder>; an empty name is the application's model folder.
path ModelFolder(const path& root, std::string_view devFolder);
// <model folder>/Config/DeviceFeature.ini: the model's description.
path ModelDescription(const path& modelFolder);
// The description file that also holds the application's own values.
path AppDescription(const path& root);
path MouseConfig(const path& modelFolder);
path ResetMouseConfig(const path& modelFolder);
path PopColorIni(const path& root);
// res/Set.ini: the program's preferences, the power and sensor options among them.
path SetIni(const path& root);
path LanguageFolder(const path& root);
path KeyCatalog(const path& root);
path ShortCutMacros(const path& root);
path OtherKeyMacros(const path& root);
path MacroLibrary(const path& root);
path MacroFactory(const path& root);

}  // namespace zor::paths
