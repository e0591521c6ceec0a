// The program folder holds res/ and the skin folders. It is the --home argument or $ZOR_HOME;
// else the executable's folder (or a parent of it, for the build tree) when it holds res/ (both
// are one writable program folder); else the installation's <prefix>/share/zormouse, read only,
// with the user's own files in $XDG_DATA_HOME/zormouse (common/ProgramPaths says which file
// lives where).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zor {

struct ProgramFolderResult {
    std::filesystem::path folder;      // the program folder the resources are read from
    std::filesystem::path userFolder;  // the user's folder of an installed program, else ""
    std::string error;                 // empty on success
};

// home: the --home argument when given. exeDir: the executable's folder ("" = from /proc).
// Names the user's folder to common/ProgramPaths for the rest of the process, and tidies a user
// folder that an older version filled with a copy of the installation (MigrateUserFolder; its
// line goes to stderr).
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

// Turns a user folder that older versions filled with a whole copy of the installation into one
// that holds only the user's own files: the documents, the macro library and the unpacked device
// list stay; Set.ini, the model descriptions and PopColor.ini keep only the values that differ
// from the installation's in the sections the programs write; copies of factory files equal to
// the installation's are removed, and a factory file the user changed is moved, unused, to
// <user>/changed-factory-files. Returns the one line to show about those, or "". A user folder
// that holds no factory file is left as it is. Called before the user's folder is named to
// common/ProgramPaths (the installation's files are compared as they are, without the overlay).
std::string MigrateUserFolder(const std::filesystem::path& installation, const std::filesystem::path& user);

// Copies every file of factory that is missing in target (existing files are never replaced).
bool SeedFromFactory(const std::filesystem::path& factory, const std::filesystem::path& target,
                     std::string* error = nullptr);

}  // namespace zor
