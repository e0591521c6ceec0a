#include "common/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/InstanceLock.h"

namespace zor {

namespace fs = std::filesystem;

namespace {

bool HoldsResources(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder / "res", ec);
}

fs::path DataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local" / "share";
    return {};
}

// Age at which a temporary file of the seeding counts as left by a killed start.
constexpr long kStaleSeedSeconds = 60;

}  // namespace

fs::path ExecutableDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

std::vector<fs::path> WritableFolders(const fs::path& programFolder) {
    const fs::path res = programFolder / "res";
    std::vector<fs::path> folders{res, res / "Home" / "Icons", res / "MacroVarn" / "MacroData"};
    std::error_code ec;
    for (auto it = fs::directory_iterator(res / "MouseVarn", ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code dirError;
        if (it->is_directory(dirError)) folders.push_back(it->path() / "Config");
    }
    return folders;
}

int RemoveStaleSaves(const fs::path& programFolder, long minAgeSeconds) {
    int removed = 0;
    for (const fs::path& folder : WritableFolders(programFolder))
        removed += RemoveStaleTempFiles(folder, minAgeSeconds);
    if (removed > 0) DebugF("removed %d temporary files of interrupted saves\n", removed);
    return removed;
}

int RemoveStaleSavesUnderInstanceLock(const fs::path& programFolder, std::string_view instanceName,
                                      long minAgeSeconds) {
    InstanceLock lock(instanceName);
    if (lock.TryAcquire() != InstanceLock::State::Held) return 0;
    return RemoveStaleSaves(programFolder, minAgeSeconds);
}

std::string RootWarning(std::string_view program, unsigned effectiveUserId) {
    if (effectiveUserId != 0) return {};
    return std::string(program) +
           ": running as root; this is not needed and every file written now belongs to root "
           "(give your own user access to the mouse with the udev rule instead)\n";
}

bool SeedFromFactory(const fs::path& factory, const fs::path& target, std::string* error) {
    std::error_code ec;
    fs::create_directories(target, ec);
    if (ec) {
        if (error) *error = "cannot create " + target.string() + ": " + ec.message();
        return false;
    }
    std::string problem;
    // Temporary files of a copy killed half-way are old enough to go; a start copying meanwhile
    // (a zorctl next to the program) keeps its own, younger ones.
    RemoveStaleTempFiles(target, kStaleSeedSeconds);
    for (auto it = fs::recursive_directory_iterator(factory, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path relative = fs::relative(it->path(), factory, ec);
        if (ec) break;
        const fs::path destination = target / relative;
        if (it->is_directory(ec)) {
            fs::create_directories(destination, ec);
            if (!ec) RemoveStaleTempFiles(destination, kStaleSeedSeconds);
        } else if (!fs::exists(destination, ec) && !ec) {
            // Copied whole or not at all: a file cut short by a kill would look present to the
            // next start and never be copied again.
            std::string bytes;
            if (!ReadFileBytes(it->path(), bytes)) {
                problem = "cannot read " + it->path().string();
                break;
            }
            if (!WriteFileAtomic(destination, bytes, &problem)) break;
        }
        if (ec) break;
    }
    if (ec && problem.empty()) problem = ec.message();
    if (!problem.empty()) {
        if (error) *error = "cannot copy " + factory.string() + " to " + target.string() + ": " + problem;
        return false;
    }
    return true;
}

ProgramFolderResult ResolveProgramFolder(const std::optional<fs::path>& home, fs::path exeDir) {
    std::error_code ec;
    fs::path chosen;
    if (home) {
        chosen = *home;
    } else if (const char* env = std::getenv("ZOR_HOME"); env && *env) {
        chosen = env;
    }
    if (!chosen.empty()) {
        if (!HoldsResources(chosen)) {
            return {{}, "the program folder " + chosen.string() + " has no res folder"};
        }
        return {fs::absolute(chosen, ec), {}};
    }

    if (exeDir.empty()) exeDir = ExecutableDir();
    // The executable's folder, or one of its parents (programs in the build tree sit in sub-folders).
    for (fs::path folder = exeDir; !folder.empty(); folder = folder.parent_path()) {
        if (HoldsResources(folder)) return {folder, {}};
        if (folder == folder.parent_path()) break;
    }

    const fs::path data = DataHome();
    if (data.empty()) return {{}, "no program folder: set ZOR_HOME or use --home"};
    const fs::path user = data / "zormouse";
    const fs::path factory = exeDir.parent_path() / "share" / "zormouse";
    if (!HoldsResources(user) && !HoldsResources(factory)) {
        return {{},
                "no program folder: " + user.string() + " is empty and no factory copy was found in " +
                    factory.string()};
    }
    if (HoldsResources(factory)) {
        // Files the installation has and the user's folder lacks are copied in (a first start, or
        // new files of a newer installation); a file the user's folder has is never replaced.
        std::string error;
        if (!SeedFromFactory(factory, user, &error)) {
            if (!HoldsResources(user)) return {{}, error};
            DebugLine("factory files not copied: " + error);
        }
    }
    return {user, {}};
}

}  // namespace zor
