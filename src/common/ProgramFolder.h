// The program folder holds res/ and the skin folders. It is the --home argument or $ZOR_HOME;
// else the executable's folder (or a parent of it, for the build tree) when it holds res/;
// else $XDG_DATA_HOME/zormouse, filled on first use from the installed factory copy.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zor {

struct ProgramFolderResult {
    std::filesystem::path folder;
    std::string error;  // empty on success
};

// home: the --home argument when given. exeDir: the executable's folder ("" = from /proc).
ProgramFolderResult ResolveProgramFolder(const std::optional<std::filesystem::path>& home,
                                         std::filesystem::path exeDir = {});

std::filesystem::path ExecutableDir();

// Copies every file of factory that is missing in target (existing files are never replaced).
bool SeedFromFactory(const std::filesystem::path& factory, const std::filesystem::path& target,
                     std::string* error = nullptr);

}  // namespace zor
