#include "common/ProgramPaths.h"

namespace zor::paths {

path ModelsFolder(const path& root) {
    return root / "res" / "MouseVarn";
}

path ModelFolder(const path& root, std::string_view devFolder) {
    return ModelsFolder(root) / (devFolder.empty() ? kAppModel : devFolder);
}

path ModelDescription(const path& modelFolder) {
    return modelFolder / "Config" / "DeviceFeature.ini";
}

path AppDescription(const path& root) {
    return ModelDescription(ModelFolder(root, kAppModel));
}

path MouseConfig(const path& modelFolder) {
    return modelFolder / "Config" / "MouseConfig.json";
}

path ResetMouseConfig(const path& modelFolder) {
    return modelFolder / "Config" / "ResetMouseConfig.json";
}

path PopColorIni(const path& root) {
    return ModelFolder(root, kAppModel) / "Config" / "PopColor.ini";
}

path SetIni(const path& root) {
    return root / "res" / "Set.ini";
}

path LanguageFolder(const path& root) {
    return root / "res" / "Language";
}

path KeyCatalog(const path& root) {
    return ModelsFolder(root) / "Language" / "LanguageText.json";
}

path ShortCutMacros(const path& root) {
    return ModelsFolder(root) / "ShortCutMac.json";
}

path OtherKeyMacros(const path& root) {
    return ModelsFolder(root) / "OtherKeyMac.json";
}

path MacroLibrary(const path& root) {
    return root / "res" / "MacroVarn" / "MacroData" / "macroConfig.json";
}

path MacroFactory(const path& root) {
    return root / "res" / "MacroVarn" / "MacroDataReset" / "macroConfigReset.json";
}

}  // namespace zor::paths
