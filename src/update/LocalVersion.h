// The version window's files: Version/LocalVersion.json ("LocalVersion": "CurVersion", the
// installed version, "SeverCenterURL", where the server's version file is, and "InstallerURL",
// where the installer is) and the downloaded SeverVersion.json ("SeverVersion": "MaxVersion").
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zor::update {

// Used when LocalVersion.json names no installer address.
inline constexpr const char* kDefaultInstallerUrl =
    "https://download.zormouse.example/linux/zormouse_amd64.deb";

struct LocalVersion {
    std::string curVersion;
    std::string serverUrl;
    std::string installerUrl;
};

// CurVersion and SeverCenterURL are required; InstallerURL falls back to the default.
std::optional<LocalVersion> LoadLocalVersion(const std::filesystem::path& path, std::string* error = nullptr);
std::optional<std::string> LoadServerMaxVersion(const std::filesystem::path& path,
                                                std::string* error = nullptr);
// Parses a downloaded server version file's text (the same rules).
std::optional<std::string> ParseServerMaxVersion(const std::string& text, std::string* error = nullptr);

}  // namespace zor::update
