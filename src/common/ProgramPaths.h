// Where things live in the program folder's resource tree: every path the programs read or
// write there is formed here, once, together with its kind:
// - installation: read only, from the installation (skins, languages, art, factory documents,
//   the catalog package, the version file);
// - user: written by the programs, in the user's folder (configuration documents, the macro
//   library, the profiles per application, the unpacked device list, logs); a document with a factory
//   original is copied from the installation the first time it is asked for;
// - overlay: an ini file read from the installation whose written sections are kept in a file of
//   the same name in the user's folder (Set.ini whole; RANDOM, ChipReset<n>, MacUsed and the skin
//   choice of a model description; the colour picker's own colours). IniFile applies it.
// The root every function takes is the installation's program folder. Until SetUserFolder names
// a separate user folder (an installed program), both are the same folder: the build tree and a
// --home folder are one writable program folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace zor::paths {

using std::filesystem::path;

// The model folder of the application's own values (and of the sample model).
inline constexpr std::string_view kAppModel = "MouseA";

// Names the user's folder of the installation's program folder for this process (called once
// at start-up, before any thread is started); an empty user folder undoes it.
void SetUserFolder(const path& installation, const path& user);
// The user's folder, or "" while the program folder is one writable folder.
path UserFolder();
// The user's counterpart of a path inside the installation's program folder; the path itself
// when it lies elsewhere or there is no separate user folder.
path UserSide(const path& installed);

// The user's file of an overlay ini, and which sections it holds (null = all of them); nullopt
// when installedIni is no overlay file or there is no separate user folder.
using SectionRule = bool (*)(std::string_view section);
struct IniOverlay {
    path file;
    SectionRule holds = nullptr;
};
std::optional<IniOverlay> OverlayOf(const path& installedIni);
// The sections an overlay ini at this path (relative to the program folder) holds; nullopt when
// the file is no overlay ini.
std::optional<SectionRule> OverlaySections(const path& relative);
// Whether the file at this path (relative to the program folder) is the user's own: a
// configuration document, the macro library with its copies, the profiles per application, the
// unpacked device list, a log.
bool IsUserFile(const path& relative);
// The sections the programs write into a model description.
bool IsWrittenDescriptionSection(std::string_view section);

// res/MouseVarn: one folder per model (installation).
path ModelsFolder(const path& root);
// res/MouseVarn/<devFolder>; an empty name is the application's model folder (installation).
path ModelFolder(const path& root, std::string_view devFolder);
// <model folder>/Config/DeviceFeature.ini: the model's description (overlay).
path ModelDescription(const path& modelFolder);
// The description file that also holds the application's own values (overlay).
path AppDescription(const path& root);
// The model's configuration document (user; the factory document on first use).
path MouseConfig(const path& modelFolder);
// The model's factory document (installation).
path ResetMouseConfig(const path& modelFolder);
path PopColorIni(const path& root);  // overlay
// res/Set.ini: the program's preferences, the power and sensor options among them (overlay).
path SetIni(const path& root);
// res/AppProfiles.ini: the profiles per application (user).
path AppProfiles(const path& root);
path LanguageFolder(const path& root);  // installation
path KeyCatalog(const path& root);      // installation
path ShortCutMacros(const path& root);  // installation
path OtherKeyMacros(const path& root);  // installation
// The macro library (user; the factory library on first use) and the factory library.
path MacroLibrary(const path& root);
path MacroFactory(const path& root);
// The device list package (installation), the folder it is unpacked into, the unpacked list and
// the unpack log (user).
path DevicePackage(const path& root);
path UnpackFolder(const path& root);
path DeviceList(const path& root);
path UnpackLog(const path& root);

}  // namespace zor::paths
