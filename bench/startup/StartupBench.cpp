// Start-up, memory and idle cost of zormouse next to a bare Qt Widgets window of the same size
// (990 x 690), measured from outside the programs in one run so that the ratios compare like
// with like on the machine of the day:
//   - warm start: from the start of the process to the X server's MapNotify of its 990 x 690
//     window (after warm-up runs, median of several alternating runs);
//   - resident memory (VmRSS) once the program has settled;
//   - idle wake-ups: how often the settled program wakes from sleep (runs of 100 ms samples in
//     which any of its threads switched context, read from /proc over a long window), and the
//     context switches themselves.
// Needs an X server (run it under xvfb-run). The bare window is this program started with
// --bare.
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kWidth = 990;
constexpr int kHeight = 690;

int RunBareWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(kWidth, kHeight);
    window.show();
    return QApplication::exec();
}

struct Options {
    std::string zormouse;  // the program under test
    std::string home;      // its program folder
    std::vector<std::string> args{"--virtual-cable"};
    int runs = 7;
    int warmup = 2;
    int settleSeconds = 8;
    int idleSeconds = 120;
    bool threads = false;  // per-thread idle figures
};

// Watches the X server for top-level windows being mapped.
class MapWatch {
public:
    MapWatch() {
        m_conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_conn) != 0) return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_conn);
        m_ok = true;
    }
    ~MapWatch() { xcb_disconnect(m_conn); }
    bool Ok() const { return m_ok; }

    // Drops the events of earlier runs.
    void Drain() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) std::free(e);
    }

    // Waits for the map of a window of the given size; the time of its arrival, or nothing.
    std::optional<Clock::time_point> WaitForMap(int width, int height, std::chrono::seconds limit) {
        const auto end = Clock::now() + limit;
        for (;;) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
                const auto at = Clock::now();
                const bool mapped = (e->response_type & 0x7F) == XCB_MAP_NOTIFY;
                const xcb_window_t window = mapped ? reinterpret_cast<xcb_map_notify_event_t*>(e)->window : 0;
                std::free(e);
                if (mapped && HasSize(window, width, height)) return at;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) return std::nullopt;
            pollfd p{xcb_get_file_descriptor(m_conn), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left));
        }
    }

private:
    bool HasSize(xcb_window_t window, int width, int height) {
        xcb_get_geometry_reply_t* g =
            xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, window), nullptr);
        const bool match = g != nullptr && g->width == width && g->height == height;
        std::free(g);
        return match;
    }

    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    bool m_ok = false;
};

pid_t Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

long StatusField(const fs::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

long RssKb(pid_t pid) {
    return StatusField(fs::path("/proc") / std::to_string(pid) / "status", "VmRSS:");
}

// Context switches (voluntary + involuntary) per thread, by thread id, with the thread's name.
std::map<std::string, std::pair<std::string, long>> ThreadSwitches(pid_t pid) {
    std::map<std::string, std::pair<std::string, long>> out;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator(fs::path("/proc") / std::to_string(pid) / "task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        const long v = StatusField(task.path() / "status", "voluntary_ctxt_switches:");
        const long n = StatusField(task.path() / "status", "nonvoluntary_ctxt_switches:");
        out[task.path().filename().string()] = {name, std::max(0L, v) + std::max(0L, n)};
    }
    return out;
}

// Switches from before to now, thread by thread (threads that ended since are left out, threads
// that started count in full).
long Delta(const std::map<std::string, std::pair<std::string, long>>& before,
           const std::map<std::string, std::pair<std::string, long>>& now) {
    long d = 0;
    for (const auto& [id, v] : now) {
        const auto it = before.find(id);
        d += v.second - (it == before.end() ? 0 : it->second.second);
    }
    return d;
}

// CPU time of every thread of pid so far, in milliseconds (from the scheduler's statistics).
double CpuMs(pid_t pid) {
    double ns = 0;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator(fs::path("/proc") / std::to_string(pid) / "task", ec)) {
        std::ifstream in(task.path() / "schedstat");
        double onCpu = 0;
        if (in >> onCpu) ns += onCpu;
    }
    return ns / 1e6;
}

struct StartSample {
    double ms = -1;
    double cpuMs = -1;  // CPU time of the process when its window was mapped
    long rssKb = -1;
};

StartSample MeasureStart(MapWatch& watch, const std::vector<std::string>& argv, int settleSeconds,
                         pid_t* keep) {
    StartSample s;
    watch.Drain();
    const auto start = Clock::now();
    const pid_t pid = Spawn(argv);
    if (pid < 0) return s;
    if (const auto mapped = watch.WaitForMap(kWidth, kHeight, std::chrono::seconds(30))) {
        s.cpuMs = CpuMs(pid);
        s.ms = std::chrono::duration<double, std::milli>(*mapped - start).count();
    }
    std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));
    s.rssKb = RssKb(pid);
    if (keep != nullptr)
        *keep = pid;
    else
        Stop(pid);
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int Usage() {
    std::fputs(
        "Usage: StartupBench [--zormouse PATH] [--home DIR] [--runs N] [--settle S] [--idle S] [--threads]\n"
        "                    [-- ARGS for zormouse (default --virtual-cable)]\n"
        "Run it under an X server, e.g. xvfb-run -a -s \"-screen 0 1280x800x24\" "
        "build/bench/startup/StartupBench\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--bare") == 0) return RunBareWindow(argc, argv);

    Options o;
    const fs::path self = fs::canonical("/proc/self/exe");
    o.zormouse = ZOR_BENCH_ZORMOUSE;
    o.home = ZOR_BENCH_HOME;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "--zormouse")
            o.zormouse = next();
        else if (a == "--home")
            o.home = next();
        else if (a == "--runs")
            o.runs = std::max(1, std::atoi(next().c_str()));
        else if (a == "--settle")
            o.settleSeconds = std::max(1, std::atoi(next().c_str()));
        else if (a == "--idle")
            o.idleSeconds = std::max(0, std::atoi(next().c_str()));
        else if (a == "--threads")
            o.threads = true;
        else if (a == "--") {
            o.args.assign(argv + i + 1, argv + argc);
            break;
        } else
            return Usage();
    }
    MapWatch watch;
    if (!watch.Ok()) {
        std::fputs("StartupBench: no X server (run it under xvfb-run)\n", stderr);
        return 1;
    }
    const std::vector<std::string> bare{self.string(), "--bare"};
    std::vector<std::string> program{o.zormouse, "--home", o.home};
    program.insert(program.end(), o.args.begin(), o.args.end());

    for (int i = 0; i < o.warmup; ++i) {
        MeasureStart(watch, bare, 1, nullptr);
        MeasureStart(watch, program, 1, nullptr);
    }
    std::vector<double> bareMs, mainMs, bareCpu, mainCpu;
    long bareRss = 0, mainRss = 0;
    pid_t idle = -1;
    for (int i = 0; i < o.runs; ++i) {
        const StartSample b = MeasureStart(watch, bare, o.settleSeconds, nullptr);
        const bool last = i + 1 == o.runs && o.idleSeconds > 0;
        const StartSample m = MeasureStart(watch, program, o.settleSeconds, last ? &idle : nullptr);
        if (b.ms < 0 || m.ms < 0) {
            std::fputs("StartupBench: a window was not mapped within 30 s\n", stderr);
            Stop(idle);
            return 1;
        }
        bareMs.push_back(b.ms);
        mainMs.push_back(m.ms);
        bareCpu.push_back(b.cpuMs);
        mainCpu.push_back(m.cpuMs);
        bareRss = std::max(bareRss, b.rssKb);
        mainRss = std::max(mainRss, m.rssKb);
        std::fprintf(stderr, "run %d: bare %.0f ms (cpu %.0f) %ld kB, zormouse %.0f ms (cpu %.0f) %ld kB\n",
                     i + 1, b.ms, b.cpuMs, b.rssKb, m.ms, m.cpuMs, m.rssKb);
    }

    const double b = Median(bareMs), m = Median(mainMs);
    std::printf(
        "warm start to the mapped window (median of %d): bare %.0f ms, zormouse %.0f ms, ratio %.2f\n",
        o.runs, b, m, m / b);
    const double bc = Median(bareCpu), mc = Median(mainCpu);
    std::printf("CPU time until then (median): bare %.0f ms, zormouse %.0f ms, ratio %.2f\n", bc, mc,
                mc / bc);
    std::printf("resident memory after %d s: bare %ld kB, zormouse %ld kB, ratio %.2f\n", o.settleSeconds,
                bareRss, mainRss, double(mainRss) / double(bareRss));

    if (idle > 0) {
        // Sampled from outside ten times a second: only the program's own threads are counted. A
        // wake-up is a run of samples in which some thread ran, after a sample in which none did
        // (a program that wakes once a second counts once a second; a device read that takes
        // three samples counts once).
        std::this_thread::sleep_for(std::chrono::seconds(10));  // the first synchronisation ends
        auto first = ThreadSwitches(idle);
        auto previous = first;
        int wakeups = 0;
        long switches = 0;
        bool wasActive = false;
        const auto end = Clock::now() + std::chrono::seconds(o.idleSeconds);
        while (Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            auto now = ThreadSwitches(idle);
            const long d = Delta(previous, now);
            switches += d;
            if (d > 0 && !wasActive) ++wakeups;
            wasActive = d > 0;
            previous = std::move(now);
        }
        std::printf("idle over %d s: %d wake-ups (%.3f per second), %ld context switches (%.2f per second)\n",
                    o.idleSeconds, wakeups, double(wakeups) / o.idleSeconds, switches,
                    double(switches) / o.idleSeconds);
        if (o.threads)
            for (const auto& [id, v] : previous) {
                const auto before = first.find(id);
                const long d = v.second - (before == first.end() ? 0 : before->second.second);
                std::printf("  thread %s (%s): %ld\n", id.c_str(), v.first.c_str(), d);
            }
        Stop(idle);
    }
    return 0;
}
