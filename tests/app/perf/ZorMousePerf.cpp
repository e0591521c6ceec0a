// Measures the main window against a bare Qt window of the same size started the same way:
// the time from process start to the first painted window, resident memory once started, the
// longest stall of the UI thread while a full push runs with the protocol's real pauses, and
// the wake-ups per second of the idle program with its window hidden.
//
// Without arguments it is the driver: it starts itself as a child in each mode several times
// and prints a table. Run it under a real X server (xvfb-run) for real timings.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/ZorMainWnd.h"
#include "common/Sleeper.h"
#include "ui/PaintManager.h"

namespace {

long ReadStatus(const QString& file, const char* key) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    return 0;
}

long RssKb() {
    return ReadStatus(QStringLiteral("/proc/self/status"), "VmRSS:");
}

// Context switches of every thread: each one is a wake-up of a sleeping thread or a preemption.
long Switches() {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        const QString status = QString::fromStdString((task.path() / "status").string());
        total += ReadStatus(status, "voluntary_ctxt_switches:") +
                 ReadStatus(status, "nonvoluntary_ctxt_switches:");
    }
    return total;
}

class PaintWatch : public QObject {
public:
    std::function<void()> painted;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && painted) {
            auto f = std::move(painted);
            painted = nullptr;
            QTimer::singleShot(0, f);
        }
        return QObject::eventFilter(o, e);
    }
};

int Child(const QString& mode) {
    int argc = 1;
    char name[] = "zormouse_perf";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    PaintWatch watch;
    watch.painted = [] {
        std::printf("painted\n");
        std::fflush(stdout);
    };
    if (mode == QLatin1String("bare")) {
        QWidget window;
        window.resize(990, 690);
        window.installEventFilter(&watch);
        window.show();
        QTimer::singleShot(1500, [] {
            std::printf("rss %ld\n", RssKb());
            std::fflush(stdout);
            QApplication::quit();
        });
        return QApplication::exec();
    }

    const std::filesystem::path home = ZOR_PERF_HOME;
    std::filesystem::current_path(home);
    const QString folder = QString::fromStdString(home.string()) + '/';
    zor::ui::CPaintManagerUI::SetInstancePath(folder);
    zor::ui::CPaintManagerUI::SetResourcePath(folder + QStringLiteral("res_black/"));
    zor::ui::SetResourcePrefix(QStringLiteral("./res_black"));
    zor::app::AppContext context;
    context.programFolder = home;
    context.instanceName = QStringLiteral("ZorMousePerf");
    context.virtualMouse = true;
    context.virtualKind = zor::VirtualLinkKind::Receiver;
    context.assumeTray = true;
    auto* window = new zor::app::CZorMainWnd(context);
    window->installEventFilter(&watch);
    window->Create(nullptr, context.instanceName, zor::ui::kWsDialog, 0, QRect(0, 0, 990, 690));

    // After the first synchronisation: memory; then a full push with a 2 ms ticker on the UI
    // thread whose longest gap is the longest stall; then the hidden program's wake-ups.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    int phase = 0;
    QObject::connect(window, &zor::app::CZorMainWnd::applyFinished, [&] {
        if (phase == 0) {
            phase = 1;
            std::printf("rss %ld\n", RssKb());
            std::fflush(stdout);
            if (mode == QLatin1String("main-start")) {
                QApplication::quit();
                return;
            }
            window->Flags().forcePush = true;
            clock.start();
            last = 0;
            ticker.start();
            window->StartRun(zor::RunMode::Synchronise);
        } else if (phase == 1) {
            phase = 2;
            ticker.stop();
            std::printf("stall_us %lld push_ms %lld\n", (longest - 2'000'000) / 1000, clock.elapsed());
            std::fflush(stdout);
            window->HideToTray();
            QTimer::singleShot(2000, [&] {
                const long before = Switches();
                QTimer::singleShot(10000, [&, before] {
                    std::printf("wakeups_per_s %.2f\n", double(Switches() - before - 1) / 10.0);
                    std::fflush(stdout);
                    QApplication::quit();
                });
            });
        }
    });
    const int code = QApplication::exec();
    delete window;
    return code;
}

struct Sample {
    double startMs = 0;
    long rss = 0;
    long stallUs = -1;
    double wakeups = -1;
};

Sample RunChild(const QString& self, const QString& mode) {
    Sample s;
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(self, {QStringLiteral("--child"), mode});
    while (child.waitForReadyRead(60000)) {
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            const QList<QByteArray> f = line.split(' ');
            if (line == "painted")
                s.startMs = double(clock.nsecsElapsed()) / 1e6;
            else if (f[0] == "rss")
                s.rss = f[1].toLong();
            else if (f[0] == "stall_us")
                s.stallUs = f[1].toLong();
            else if (f[0] == "wakeups_per_s")
                s.wakeups = f[1].toDouble();
        }
    }
    child.waitForFinished(60000);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--child") return Child(QString::fromLatin1(argv[2]));
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> bareStart, mainStart;
    long bareRss = 0, mainRss = 0, stall = 0;
    double wakeups = 0;
    const int runs = 5;
    for (int i = 0; i < runs; ++i) {
        const Sample b = RunChild(self, QStringLiteral("bare"));
        bareStart.push_back(b.startMs);
        bareRss = std::max(bareRss, b.rss);
        // Only the last run of the main window waits out the idle measurement.
        const Sample m =
            RunChild(self, i + 1 == runs ? QStringLiteral("main") : QStringLiteral("main-start"));
        mainStart.push_back(m.startMs);
        mainRss = std::max(mainRss, m.rss);
        stall = std::max(stall, m.stallUs);
        wakeups = std::max(wakeups, m.wakeups);
    }
    std::sort(bareStart.begin(), bareStart.end());
    std::sort(mainStart.begin(), mainStart.end());
    const double b = bareStart[runs / 2], m = mainStart[runs / 2];
    std::printf("start to first paint (median of %d): bare %.0f ms, zormouse %.0f ms, ratio %.2f\n", runs, b,
                m, m / b);
    std::printf("resident memory after start: bare %ld kB, zormouse %ld kB, ratio %.2f\n", bareRss, mainRss,
                double(mainRss) / double(bareRss));
    std::printf("longest UI stall during a full push: %.1f ms\n", double(stall) / 1000.0);
    std::printf("wake-ups per second, hidden, virtual mouse attached: %.2f\n", wakeups);
    return 0;
}
