#include "update/UpdatePaths.h"

#include "common/ProgramPaths.h"

#include <algorithm>

namespace zor::update {

std::filesystem::path UpdaterExecutable(const std::filesystem::path& programFolder) {
    return programFolder / kUpdaterFolder / kUpdaterExecutable;
}

std::filesystem::path VersionInfoPath(const std::filesystem::path& programFolder) {
    return programFolder / kUpdaterFolder / "res" / "version" / "VersionInfo.json";
}

std::filesystem::path LocalVersionPath(const std::filesystem::path& programFolder) {
    return programFolder / "Version" / "LocalVersion.json";
}

std::filesystem::path ServerVersionPath(const std::filesystem::path& programFolder) {
    return paths::UserSide(programFolder / "SeverVersion.json");
}

std::filesystem::path DownloadFolder(const std::filesystem::path& programFolder) {
    return paths::UserSide(programFolder / kDownloadFolder);
}

std::string FileNameFromAddress(std::string_view address) {
    const std::size_t cut = address.find_first_of("?#");
    if (cut != std::string_view::npos) address = address.substr(0, cut);
    const std::size_t slash = address.rfind('/');
    std::string_view name = slash == std::string_view::npos ? address : address.substr(slash + 1);
    const bool safe = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '-' || c == '+';
    });
    if (name.empty() || name.size() > 128 || name.front() == '.' || !safe) return {};
    return std::string(name);
}

}  // namespace zor::update
