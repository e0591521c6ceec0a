#include "CrashHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "common/AtomicFile.h"

extern char** environ;

namespace zor::crash {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

long MicrosSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
}

// ".NAME.tmp-XXXXXX" -> "NAME"
std::string TargetOfTemp(const std::string& name) {
    return name.substr(1, name.size() - 1 - std::string(".tmp-XXXXXX").size());
}

bool IsTemp(const fs::path& path) {
    return IsAtomicTempName(path.filename().string());
}

}  // namespace

Snapshot TakeSnapshot(const fs::path& root) {
    Snapshot snap;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && !IsTemp(it->path())) snap[it->path()] = Slurp(it->path());
    }
    return snap;
}

std::string Differences(const Snapshot& a, const Snapshot& b) {
    std::string out;
    int shown = 0;
    const auto note = [&](const fs::path& path, const char* what) {
        if (shown++ < 5) out += std::string(what) + " " + path.string() + "\n";
    };
    for (const auto& [path, bytes] : a) {
        const auto it = b.find(path);
        if (it == b.end())
            note(path, "only in the first:");
        else if (it->second != bytes)
            note(path, "differs:");
    }
    for (const auto& [path, bytes] : b)
        if (!a.count(path)) note(path, "only in the second:");
    return out;
}

SaveWatcher::SaveWatcher(fs::path root, fs::path captureDir)
    : m_root(std::move(root)), m_capture(std::move(captureDir)) {
    fs::create_directories(m_capture);
    fs::create_directories(m_root);
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) throw std::runtime_error(std::string("inotify: ") + std::strerror(errno));
    Watch(m_root);
}

SaveWatcher::~SaveWatcher() {
    if (m_fd >= 0) ::close(m_fd);
}

void SaveWatcher::Watch(const fs::path& dir, bool late) {
    const int wd = inotify_add_watch(m_fd, dir.c_str(),
                                     IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE | IN_ONLYDIR);
    if (wd >= 0) m_dirs[wd] = dir;
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (it->is_directory() && !it->is_symlink()) {
            Watch(it->path(), late);
        } else if (late && it->is_regular_file()) {
            // Saved in a folder made during the run before its watch was placed: never seen.
            const fs::path& path = it->path();
            m_missed.insert(IsTemp(path) ? path.parent_path() / TargetOfTemp(path.filename().string()) : path);
        }
    }
}

void SaveWatcher::Reset() {
    // Events the test's own changes caused are read and dropped.
    alignas(inotify_event) char buffer[64 * 1024];
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
    std::error_code ec;
    for (const auto& [temp, link] : m_captured) fs::remove(link, ec);
    for (const auto& [target, links] : m_versions)
        for (const fs::path& link : links) fs::remove(link, ec);
    m_captured.clear();
    m_born.clear();
    m_movedFrom.clear();
    m_versions.clear();
    m_missed.clear();
    m_removed.clear();
}

std::vector<std::string> SaveWatcher::VersionsOf(const fs::path& target) const {
    std::vector<std::string> out;
    const auto it = m_versions.find(target);
    if (it == m_versions.end()) return out;
    for (const fs::path& link : it->second) out.push_back(Slurp(link));
    return out;
}

bool SaveWatcher::HandleEvents(const Kill* kill, RunReport& report) {
    alignas(inotify_event) char buffer[64 * 1024];
    bool killNow = false;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            p += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) throw std::runtime_error("inotify queue overflow");
            const auto dir = m_dirs.find(event->wd);
            if (dir == m_dirs.end() || event->len == 0) continue;
            const fs::path path = dir->second / event->name;
            if (event->mask & IN_ISDIR) {
                if (event->mask & (IN_CREATE | IN_MOVED_TO)) Watch(path, true);
                continue;
            }
            if ((event->mask & IN_CREATE) && IsTemp(path)) {
                // Linked at once: after the rename the link holds that version's bytes.
                const fs::path link = m_capture / std::to_string(++m_links);
                if (::link(path.c_str(), link.c_str()) == 0) {
                    m_captured[path] = link;
                } else {
                    m_missed.insert(path.parent_path() / TargetOfTemp(path.filename().string()));
                }
                m_born[path] = Clock::now();
                report.tempBornUs.push_back(MicrosSince(m_runStart));
                ++report.tempsCreated;
                if (kill && kill->atSave == report.tempsCreated && !m_killSent) killNow = true;
            } else if (event->mask & IN_MOVED_FROM) {
                m_movedFrom[event->cookie] = path;
                if (IsTemp(path)) {
                    if (auto born = m_born.find(path); born != m_born.end()) {
                        report.longestTempUs = std::max<long>(
                            report.longestTempUs,
                            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - born->second)
                                .count());
                        m_born.erase(born);
                    }
                }
            } else if (event->mask & IN_MOVED_TO) {
                const auto from = m_movedFrom.find(event->cookie);
                if (from == m_movedFrom.end() || !IsTemp(from->second)) continue;
                ++report.commits;
                const auto captured = m_captured.find(from->second);
                if (captured != m_captured.end()) {
                    m_versions[path].push_back(captured->second);
                    m_captured.erase(captured);
                } else {
                    m_missed.insert(path);
                }
            } else if (event->mask & IN_DELETE) {
                if (IsTemp(path)) {
                    m_born.erase(path);
                } else {
                    m_removed.insert(path);
                }
            }
        }
    }
    return killNow;
}

RunReport SaveWatcher::Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           const Kill* kill) {
    RunReport report;
    m_killSent = false;
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    for (const std::string& extra : env) envStrings.push_back(extra);
    std::vector<char*> envp;
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    const fs::path errFile = m_capture / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    const Clock::time_point start = Clock::now();
    m_runStart = start;
    const int rc = posix_spawn(&child, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    if (pidfd < 0) throw std::runtime_error(std::string("pidfd_open: ") + std::strerror(errno));

    const auto sendKill = [&] {
        if (m_killSent) return;
        m_killSent = true;
        report.killed = ::kill(child, SIGKILL) == 0;
    };
    long byTime = (kill && kill->atSave == 0) ? kill->delayUs : -1;
    if (kill && kill->latestUs >= 0 && (byTime < 0 || kill->latestUs < byTime)) byTime = kill->latestUs;
    const long hungUs = 20000000;  // never wait for ever
    for (bool done = false; !done;) {
        const long deadline = (byTime >= 0 && !m_killSent) ? byTime : hungUs;
        const int timeoutMs =
            static_cast<int>(std::max<long>(0, (deadline - MicrosSince(start) + 999) / 1000));
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {pidfd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready == 0) {
            if (MicrosSince(start) >= deadline) {
                if (deadline == hungUs) report.stderrText = "timed out";
                sendKill();
            }
            continue;
        }
        if (fds[0].revents & POLLIN) {
            if (HandleEvents(kill, report)) {
                if (kill->delayUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(kill->delayUs));
                sendKill();
            }
        }
        if (fds[1].revents & POLLIN) done = true;
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pidfd);
    report.durationUs = MicrosSince(start);
    // Whatever happened before the program died is queued by now.
    HandleEvents(nullptr, report);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && m_killSent) {
        report.killed = true;
    } else {
        report.killed = false;
        report.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    report.tempsLeft = static_cast<int>(m_born.size());
    if (report.stderrText.empty()) report.stderrText = Slurp(errFile);
    return report;
}

Verdict Judge(const fs::path& root, const Snapshot& before, const SaveWatcher& watcher,
              const std::set<fs::path>& cleanFolders, const Snapshot* expected) {
    Verdict verdict;
    std::set<fs::path> seen;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        const fs::path& path = it->path();
        if (IsTemp(path)) {
            ++verdict.tempsLeft;
            if (!cleanFolders.count(path.parent_path()))
                verdict.problems.push_back("temporary file in a folder no start cleans: " + path.string());
            continue;
        }
        seen.insert(path);
        const std::string bytes = Slurp(path);
        const auto old = before.find(path);
        if (old != before.end() && old->second == bytes) continue;
        if (expected) {
            const auto want = expected->find(path);
            if (want != expected->end() && want->second == bytes) continue;
        }
        const std::vector<std::string> versions = watcher.VersionsOf(path);
        bool complete = std::find(versions.begin(), versions.end(), bytes) != versions.end();
        if (complete && path.extension() == ".json" && !nlohmann::json::accept(bytes)) complete = false;
        if (complete) continue;
        if (watcher.Missed().count(path) && (path.extension() != ".json" || nlohmann::json::accept(bytes))) {
            // Renamed over before the watcher could link it: whole, as far as can be told.
            ++verdict.unverifiable;
            continue;
        }
        ++verdict.torn;
        verdict.problems.push_back("torn: " + path.string() + " (" + std::to_string(bytes.size()) +
                                   " bytes, " + std::to_string(versions.size()) +
                                   " complete versions known)");
    }
    for (const auto& [path, bytes] : before) {
        if (seen.count(path) || watcher.Removed().count(path)) continue;
        ++verdict.torn;
        verdict.problems.push_back("gone: " + path.string());
    }
    return verdict;
}

namespace {

template <typename Fn>
int ForEachTemp(const fs::path& root, Fn fn) {
    int count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && IsTemp(it->path())) {
            ++count;
            fn(it->path());
        }
    }
    return count;
}

}  // namespace

int AgeTempFiles(const fs::path& root, long ageSeconds) {
    return ForEachTemp(root, [ageSeconds](const fs::path& path) {
        timespec times[2];
        ::clock_gettime(CLOCK_REALTIME, &times[0]);
        times[0].tv_sec -= ageSeconds;
        times[1] = times[0];
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    });
}

int CountTempFiles(const fs::path& root) {
    return ForEachTemp(root, [](const fs::path&) {});
}

std::uint64_t CrashSeed() {
    static const std::uint64_t seed = []() -> std::uint64_t {
        if (const char* text = std::getenv("ZOR_CRASH_SEED"); text && *text)
            return std::strtoull(text, nullptr, 0);
        return (static_cast<std::uint64_t>(std::random_device{}()) << 32) |
               static_cast<std::uint64_t>(std::random_device{}());
    }();
    return seed;
}

int CrashRuns(int defaultRuns) {
    if (const char* text = std::getenv("ZOR_CRASH_RUNS"); text && *text) return std::max(1, std::atoi(text));
    return defaultRuns;
}

}  // namespace zor::crash
