// The program folder holds res/ and the skin folders. It is the --home argument or $ZOR_HOME;
// else the executable's folder (or a parent of it, for the build tree) when it holds res/;
// else $XDG_DATA_HOME/zormouse, filled on first use from the installed factory copy.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zor {

struct ProgramFolderResult {
    std::filesystem::path folder;
    std::string error;  // empty on success
};

// home: the --home argument when given. exeDir: the executable's folder ("" = from /proc).
ProgramFolderResult ResolveProgramFolder(const std::optional<std::filesystem::path>& home,
                                         std::filesystem::path exeDir = {});

std::filesystem::path ExecutableDir();

// The folders of the program folder whose files the program rewrites (settings, catalog, the
// models' configurations and descriptions, the macro library).
std::vector<std::filesystem::path> WritableFolders(const std::filesystem::path& programFolder);
// Removes the temporary files that saves killed half-way left in those folders (older than
// minAgeSeconds, so that a save of a zorctl running meanwhile is never cut off). Call only while
// holding the single-instance lock. Returns how many were removed.
int RemoveStaleSaves(const std::filesystem::path& programFolder, long minAgeSeconds = 60);
// RemoveStaleSaves for a program that does not hold the single-instance lock (zorctl): done
// under that lock (instanceName, Init/MutexName), taken for the removal only, and not at all
// while a zormouse holds it (it removed them when it started). Returns how many were removed.
int RemoveStaleSavesUnderInstanceLock(const std::filesystem::path& programFolder,
                                      std::string_view instanceName, long minAgeSeconds = 60);

// The line to show on stderr when a program runs with the effective user id 0 (it should not:
// every file it writes then belongs to root); empty otherwise.
std::string RootWarning(std::string_view program, unsigned effectiveUserId);

// Copies every file of factory that is missing in target (existing files are never replaced).
bool SeedFromFactory(const std::filesystem::path& factory, const std::filesystem::path& target,
                     std::string* error = nullptr);

}  // namespace zor
