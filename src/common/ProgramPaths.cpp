#include "common/ProgramPaths.h"

#include <system_error>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/Text.h"

namespace zor::paths {

namespace {

namespace fs = std::filesystem;

// Set once at start-up, before any thread runs; read-only afterwards.
struct Layout {
    path installation;
    path user;
};
Layout& TheLayout() {
    static Layout layout;
    return layout;
}

path Normal(const path& p) {
    std::error_code ec;
    const path absolute = fs::absolute(p, ec);
    return (ec ? p : absolute).lexically_normal();
}

// The part of p below the installation's folder, or "" when p lies elsewhere.
path InsideInstallation(const path& p) {
    const Layout& layout = TheLayout();
    if (layout.user.empty()) return {};
    const path relative = Normal(p).lexically_relative(layout.installation);
    if (relative.empty() || *relative.begin() == "..") return {};
    return relative;
}

// A user document with a factory original: the installation's copy is put in place the first
// time the document is asked for (a new model's document on first use of the model).
path UserDocument(const path& installed) {
    const path user = UserSide(installed);
    if (user == installed) return user;
    std::error_code ec;
    fs::create_directories(user.parent_path(), ec);
    if (!fs::exists(user, ec) && fs::is_regular_file(installed, ec)) {
        std::string bytes;
        std::string error;
        if (!ReadFileBytes(installed, bytes) || !WriteFileAtomic(user, bytes, &error))
            DebugLine("factory document not copied to " + user.string() + ": " + error + "\n");
    }
    return user;
}

bool AllSections(std::string_view) {
    return true;
}
bool OwnColours(std::string_view section) {
    return EqualsIgnoreCaseAscii(section, "SelfDefine");
}

}  // namespace

void SetUserFolder(const path& installation, const path& user) {
    Layout& layout = TheLayout();
    layout.installation = Normal(installation);
    layout.user = user.empty() || Normal(user) == layout.installation ? path() : Normal(user);
}

path UserFolder() {
    return TheLayout().user;
}

path UserSide(const path& installed) {
    const path relative = InsideInstallation(installed);
    if (relative.empty()) return installed;
    return relative == "." ? TheLayout().user : TheLayout().user / relative;
}

bool IsWrittenDescriptionSection(std::string_view section) {
    // RANDOM: the profile identifiers; ChipReset<n>: the reset's DPI labels; MacUsed: the macros
    // in use; Config: the skin choice (ResPath).
    if (EqualsIgnoreCaseAscii(section, "RANDOM") || EqualsIgnoreCaseAscii(section, "MacUsed") ||
        EqualsIgnoreCaseAscii(section, "Config"))
        return true;
    constexpr std::string_view kChipReset = "ChipReset";
    return section.size() > kChipReset.size() &&
           EqualsIgnoreCaseAscii(section.substr(0, kChipReset.size()), kChipReset);
}

std::optional<SectionRule> OverlaySections(const path& relative) {
    if (relative == path("res") / "Set.ini") return AllSections;
    const path parent = relative.parent_path();
    if (parent.filename() != "Config" || parent.parent_path().parent_path() != path("res") / "MouseVarn")
        return std::nullopt;
    if (relative.filename() == "DeviceFeature.ini") return IsWrittenDescriptionSection;
    if (relative.filename() == "PopColor.ini") return OwnColours;
    return std::nullopt;
}

std::optional<IniOverlay> OverlayOf(const path& installedIni) {
    const path relative = InsideInstallation(installedIni);
    if (relative.empty()) return std::nullopt;
    const auto rule = OverlaySections(relative);
    if (!rule) return std::nullopt;
    return IniOverlay{TheLayout().user / relative, *rule};
}

bool IsUserFile(const path& relative) {
    const std::string name = relative.filename().string();
    const path parent = relative.parent_path();
    // The documents and their kept copies (.bak, .bad, .bad.<n>).
    if (name.rfind("MouseConfig.json", 0) == 0 && parent.filename() == "Config") return true;
    if (parent == path("res") / "MacroVarn" / "MacroData") return true;
    if (parent == path("res") / "Home" / "Icons") return name != "Ndevice.zip" && name != "ble.json";
    return relative == path("res") / "file_error.txt" || relative == path("res") / "AppProfiles.ini";
}

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
    return UserDocument(modelFolder / "Config" / "MouseConfig.json");
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

path AppProfiles(const path& root) {
    return UserSide(root / "res" / "AppProfiles.ini");
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
    return UserDocument(root / "res" / "MacroVarn" / "MacroData" / "macroConfig.json");
}

path MacroFactory(const path& root) {
    return root / "res" / "MacroVarn" / "MacroDataReset" / "macroConfigReset.json";
}

path DevicePackage(const path& root) {
    return root / "res" / "Home" / "Icons" / "Ndevice.zip";
}

path UnpackFolder(const path& root) {
    return UserSide(root / "res" / "Home" / "Icons");
}

path DeviceList(const path& root) {
    return UnpackFolder(root) / "Ndevice.json";
}

path UnpackLog(const path& root) {
    return UserSide(root / "res" / "file_error.txt");
}

}  // namespace zor::paths
