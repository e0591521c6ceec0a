// Where the update files live in the program folder, and the updater program's names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zor::update {

// The updater ships in this sub-folder of the program folder; its window carries this title and
// class name, and its single-instance channel this name.
inline constexpr std::string_view kUpdaterFolder = "AutoUpdate";
inline constexpr std::string_view kUpdaterExecutable = "AutoUpdate";
inline constexpr std::string_view kUpdaterTitle = "AutoUpdate";
inline constexpr std::string_view kUpdaterWindowClass = "CZorMainWnd";
inline constexpr std::string_view kUpdaterInstanceName = "AutoUpdate";
// Downloads of the version window and the updater go to this sub-folder of the program folder.
inline constexpr std::string_view kDownloadFolder = "123";

std::filesystem::path UpdaterExecutable(const std::filesystem::path& programFolder);
// "AutoUpdate/res/version/VersionInfo.json": product, installed version, service address.
std::filesystem::path VersionInfoPath(const std::filesystem::path& programFolder);
// "Version/LocalVersion.json" and "SeverVersion.json" of the version window (the latter, and the
// downloads, are written in the user's folder of an installed program).
std::filesystem::path LocalVersionPath(const std::filesystem::path& programFolder);
std::filesystem::path ServerVersionPath(const std::filesystem::path& programFolder);
std::filesystem::path DownloadFolder(const std::filesystem::path& programFolder);

// The last path segment of an address (query and fragment cut off) when it is a safe file name:
// letters, digits, '.', '_', '-', '+', not starting with '.', at most 128 characters. Empty otherwise.
std::string FileNameFromAddress(std::string_view address);

}  // namespace zor::update
