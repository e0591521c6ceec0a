// Kills a program with SIGKILL while it saves and judges what it leaves on disk.
//
// A SaveWatcher watches every folder of a tree with inotify. Each temporary file a save creates
// (AtomicFile's ".NAME.tmp-XXXXXX") is hard-linked into a capture folder the moment it appears,
// so that once it is renamed over its target the test holds exactly the bytes of that complete
// version. After the kill a file is sound when it holds its bytes from before the run or those of
// one of the versions renamed over it; anything else (cut short, a mix of two writes, gone) is a
// torn file.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace zor::crash {

// Where a run is cut: after the atSave-th temporary file appeared plus delayUs, or (atSave 0)
// delayUs after the start. A run without a Kill runs to its end.
struct Kill {
    int atSave = 0;
    long delayUs = 0;
    long latestUs = -1;  // killed by then at the latest (when not negative)
};

struct RunReport {
    bool killed = false;  // the kill came while the program still ran
    int exitStatus = -1;  // when it ended by itself
    int tempsCreated = 0;
    int commits = 0;    // temporary files renamed over their targets
    int tempsLeft = 0;  // temporary files that were never renamed nor removed
    long durationUs = 0;
    long longestTempUs = 0;        // the longest time from creating a temporary file to its rename
    std::vector<long> tempBornUs;  // when each temporary file appeared, from the start
    std::string stderrText;
};

// Regular files of a tree (temporary files of saves left out), by path.
using Snapshot = std::map<std::filesystem::path, std::string>;
Snapshot TakeSnapshot(const std::filesystem::path& root);
// The paths that differ between two snapshots (at most a few, for a failure message).
std::string Differences(const Snapshot& a, const Snapshot& b);

class SaveWatcher {
public:
    SaveWatcher(std::filesystem::path root, std::filesystem::path captureDir);
    ~SaveWatcher();
    SaveWatcher(const SaveWatcher&) = delete;
    SaveWatcher& operator=(const SaveWatcher&) = delete;

    // Starts argv (with extra "NAME=VALUE" environment entries), watches its saves, kills it as
    // kill says (none: waits for its end, at most 20 s) and collects every event it caused.
    RunReport Run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                  const Kill* kill = nullptr);

    // The complete versions renamed over each target during the last run.
    std::vector<std::string> VersionsOf(const std::filesystem::path& target) const;
    // Targets whose temporary file vanished before it could be linked: their versions are unknown.
    const std::set<std::filesystem::path>& Missed() const { return m_missed; }
    // Files the program removed itself (a scratch file it cleans up), not lost ones.
    const std::set<std::filesystem::path>& Removed() const { return m_removed; }
    // Forgets the versions of the last run and the events the test's own file changes caused.
    void Reset();

private:
    // late: the folder was made during a run; files already in it were saved unseen.
    void Watch(const std::filesystem::path& dir, bool late = false);
    // Reads what is queued; true when the program is to be killed now.
    bool HandleEvents(const Kill* kill, RunReport& report);

    std::filesystem::path m_root;
    std::filesystem::path m_capture;
    int m_fd = -1;
    std::map<int, std::filesystem::path> m_dirs;
    std::map<std::filesystem::path, std::filesystem::path> m_captured;  // temp -> its link
    std::map<std::filesystem::path, std::chrono::steady_clock::time_point> m_born;
    std::map<std::uint32_t, std::filesystem::path> m_movedFrom;  // cookie -> temp
    std::map<std::filesystem::path, std::vector<std::filesystem::path>> m_versions;
    std::set<std::filesystem::path> m_missed;
    std::set<std::filesystem::path> m_removed;
    std::chrono::steady_clock::time_point m_runStart;
    int m_links = 0;
    bool m_killSent = false;
};

struct Verdict {
    int torn = 0;
    int unverifiable = 0;  // changed files whose versions the watcher could not capture
    int tempsLeft = 0;
    std::vector<std::string> problems;  // one line per torn file or stray temporary file
};

// Judges the tree after a run: every file is its old bytes or a complete version (JSON files
// must also parse); every temporary file left lies in a folder of cleanFolders (the folders the
// next start cleans). expected, when given, is what a file may hold besides those (for a copy:
// the source's bytes).
Verdict Judge(const std::filesystem::path& root, const Snapshot& before, const SaveWatcher& watcher,
              const std::set<std::filesystem::path>& cleanFolders, const Snapshot* expected = nullptr);

// Sets every temporary file of a save under root back in time by ageSeconds (as if the kill had
// happened that long ago); returns how many there are.
int AgeTempFiles(const std::filesystem::path& root, long ageSeconds);
int CountTempFiles(const std::filesystem::path& root);

// The seed of this test run: ZOR_CRASH_SEED, else drawn; and the kills per case: ZOR_CRASH_RUNS
// (scaled by the case's share), else the case's default.
std::uint64_t CrashSeed();
int CrashRuns(int defaultRuns);

}  // namespace zor::crash
