#include "common/ProgramFolder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/InstanceLock.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"

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

// Where a migration puts the factory files a user changed.
constexpr std::string_view kChangedFactoryFiles = "changed-factory-files";

// key (lower case) -> value of every key line of one section of an ini file.
std::map<std::string, std::string> SectionValues(const IniFile& ini, const std::string& section) {
    std::map<std::string, std::string> values;
    for (const std::string& line : ini.GetSection(section, std::size_t{1} << 24)) {
        const std::size_t eq = line.find('=');
        values.emplace(ToLowerAscii(line.substr(0, eq)), line.substr(eq + 1));
    }
    return values;
}

// Cuts the user's full copy of an overlay ini down to the values of the overlay's sections that
// differ from the installation's. changedElsewhere: the user's copy differs in other sections.
bool TrimToOverlay(const fs::path& installed, const fs::path& mine, paths::SectionRule holds,
                   bool& changedElsewhere) {
    const IniFile user(mine);
    const IniFile factory(installed);
    std::string text;
    for (const std::string& section : user.SectionNames()) {
        const auto theirs = SectionValues(factory, section);
        std::string lines;
        // GetSection gives the key as written, SectionValues looks it up in lower case.
        for (const std::string& line : user.GetSection(section, std::size_t{1} << 24)) {
            const std::size_t eq = line.find('=');
            const auto it = theirs.find(ToLowerAscii(line.substr(0, eq)));
            if (it != theirs.end() && it->second == line.substr(eq + 1)) continue;
            if (holds(section)) {
                lines += line + "\n";
            } else {
                changedElsewhere = true;
            }
        }
        if (!holds(section) && SectionValues(user, section).size() < theirs.size()) changedElsewhere = true;
        if (!lines.empty()) text += "[" + section + "]\n" + lines;
    }
    for (const std::string& section : factory.SectionNames())
        if (!holds(section) && !user.HasSection(section)) changedElsewhere = true;
    if (text.empty()) {
        std::error_code ec;
        return fs::remove(mine, ec);
    }
    return WriteFileAtomic(mine, text);
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::string left;
    std::string right;
    return ReadFileBytes(a, left) && ReadFileBytes(b, right) && left == right;
}

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
    // The files written live in the user's folder of an installed program.
    for (const fs::path& folder : WritableFolders(paths::UserSide(programFolder)))
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

std::string MigrateUserFolder(const fs::path& installation, const fs::path& user) {
    const fs::path kept = user / kChangedFactoryFiles;
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(user, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->path() == kept) {
            it.disable_recursion_pending();
        } else if (it->is_symlink(typeError)) {
            continue;  // never followed, never removed
        } else if (it->is_directory(typeError)) {
            folders.push_back(it->path());
        } else if (it->is_regular_file(typeError)) {
            files.push_back(it->path());
        }
    }
    // Only a folder of the old kind holds factory files; once tidied, it is left alone.
    const auto isFactoryCopy = [&](const fs::path& file) {
        const fs::path relative = file.lexically_relative(user);
        std::error_code e;
        return !paths::IsUserFile(relative) && !paths::OverlaySections(relative) &&
               fs::is_regular_file(installation / relative, e);
    };
    if (std::none_of(files.begin(), files.end(), isFactoryCopy)) return {};

    int changed = 0;
    for (const fs::path& file : files) {
        const fs::path relative = file.lexically_relative(user);
        const fs::path installed = installation / relative;
        std::error_code e;
        // The user's own files, and files the installation does not have, stay.
        if (paths::IsUserFile(relative) || !fs::is_regular_file(installed, e)) continue;
        if (SameBytes(file, installed)) {
            fs::remove(file, e);
            continue;
        }
        const fs::path aside = kept / relative;
        if (const auto holds = paths::OverlaySections(relative)) {
            std::string bytes;
            bool changedElsewhere = false;
            if (!ReadFileBytes(file, bytes)) continue;
            if (!TrimToOverlay(installed, file, *holds, changedElsewhere)) {
                DebugLine("not tidied: " + file.string() + "\n");
                continue;
            }
            if (!changedElsewhere) continue;
            fs::create_directories(aside.parent_path(), e);
            if (WriteFileAtomic(aside, bytes)) ++changed;
            continue;
        }
        fs::create_directories(aside.parent_path(), e);
        fs::rename(file, aside, e);
        if (!e) ++changed;
    }
    // Folders left empty go, deepest first.
    std::sort(folders.begin(), folders.end(),
              [](const fs::path& a, const fs::path& b) { return a.string() > b.string(); });
    for (const fs::path& folder : folders) {
        std::error_code e;
        if (fs::is_empty(folder, e) && !e) fs::remove(folder, e);
    }
    if (changed == 0) return {};
    return "kept " + std::to_string(changed) + " factory file" + (changed == 1 ? "" : "s") +
           " you changed in " + kept.string() + "; the installation's files are used instead";
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
    // Until an installation is found below, the program folder is one writable folder.
    paths::SetUserFolder({}, {});
    fs::path chosen;
    if (home) {
        chosen = *home;
    } else if (const char* env = std::getenv("ZOR_HOME"); env && *env) {
        chosen = env;
    }
    if (!chosen.empty()) {
        if (!HoldsResources(chosen)) {
            return {{}, {}, "the program folder " + chosen.string() + " has no res folder"};
        }
        return {fs::absolute(chosen, ec), {}, {}};
    }

    if (exeDir.empty()) exeDir = ExecutableDir();
    // The executable's folder, or one of its parents (programs in the build tree sit in sub-folders).
    for (fs::path folder = exeDir; !folder.empty(); folder = folder.parent_path()) {
        if (HoldsResources(folder)) return {folder, {}, {}};
        if (folder == folder.parent_path()) break;
    }

    const fs::path data = DataHome();
    if (data.empty()) return {{}, {}, "no program folder: set ZOR_HOME or use --home"};
    const fs::path user = fs::absolute(data / "zormouse", ec);
    const fs::path factory = fs::absolute(exeDir.parent_path() / "share" / "zormouse", ec);
    if (!HoldsResources(factory)) {
        // No installation beside the program: a user folder of an older version is all there is.
        if (HoldsResources(user)) return {user, {}, {}};
        return {{},
                {},
                "no program folder: " + user.string() + " is empty and no factory copy was found in " +
                    factory.string()};
    }
    // The installation is read in place: an upgrade reaches every user at once. The user's folder
    // holds what the programs write; it is made when first written to.
    if (const std::string line = MigrateUserFolder(factory, user); !line.empty())
        std::fprintf(stderr, "%s\n", line.c_str());
    fs::create_directories(user, ec);
    paths::SetUserFolder(factory, user);
    return {factory, user, {}};
}

}  // namespace zor
