// The KWin script source against a stand-in of KWin's scripting interface on a private session
// bus (the test runs under dbus-run-session): the stand-in lives on a connection and a thread of
// its own, as KWin would answer from another process. And the script itself, run by node with
// the workspace of KWin 6 and of KWin 5 imitated, reports what the program's service expects.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include "app/AppProfileFollower.h"
#include "app/KWinFocusSource.h"
#include "control/ServiceNames.h"

namespace zor::app::test {

// What the stand-in was asked, in order.
class CallLog {
public:
    void Add(const QString& entry) {
        QMutexLocker lock(&m_mutex);
        m_entries << entry;
    }
    QStringList Entries() {
        QMutexLocker lock(&m_mutex);
        return m_entries;
    }

private:
    QMutex m_mutex;
    QStringList m_entries;
};

class FakeScripting : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")
public:
    FakeScripting(CallLog& log, bool loaded, int id) : m_log(log), m_loaded(loaded), m_id(id) {}
public slots:
    bool isScriptLoaded(const QString& plugin) {
        m_log.Add(QStringLiteral("isScriptLoaded ") + plugin);
        return m_loaded;
    }
    bool unloadScript(const QString& plugin) {
        m_log.Add(QStringLiteral("unloadScript ") + plugin);
        return std::exchange(m_loaded, false);
    }
    int loadScript(const QString& path, const QString& plugin) {
        m_log.Add(QStringLiteral("loadScript %1 %2").arg(path, plugin));
        m_loaded = true;
        return m_id;
    }

private:
    CallLog& m_log;
    bool m_loaded;
    int m_id;
};

class FakeScript : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Script")
public:
    FakeScript(CallLog& log, QString path) : m_log(log), m_path(std::move(path)) {}
public slots:
    void run() { m_log.Add(QStringLiteral("run ") + m_path); }

private:
    CallLog& m_log;
    QString m_path;
};

// org.kde.KWin on a connection of its own, its objects served from another thread.
class FakeKWin {
public:
    FakeKWin(bool loaded, int id, const QString& scriptPath)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("kwin"))),
          m_scripting(m_log, loaded, id),
          m_scriptPath(scriptPath),
          m_script(m_log, scriptPath) {
        m_scripting.moveToThread(&m_thread);
        m_script.moveToThread(&m_thread);
        m_thread.start();
        EXPECT_TRUE(m_bus.registerObject(QStringLiteral("/Scripting"), &m_scripting,
                                         QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(m_bus.registerObject(scriptPath, &m_script, QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(m_bus.registerService(QStringLiteral("org.kde.KWin")));
    }
    ~FakeKWin() {
        m_bus.unregisterService(QStringLiteral("org.kde.KWin"));
        m_bus.unregisterObject(QStringLiteral("/Scripting"), QDBusConnection::UnregisterTree);
        m_bus.unregisterObject(m_scriptPath);
        m_thread.quit();
        m_thread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("kwin"));
    }
    CallLog& Log() { return m_log; }

private:
    CallLog m_log;
    QDBusConnection m_bus;
    QThread m_thread;
    FakeScripting m_scripting;
    QString m_scriptPath;
    FakeScript m_script;
};

namespace {

QString ScriptPath() {
    return QString::fromLocal8Bit(qgetenv("ZOR_BUILD_DIR")) + QStringLiteral("/res/KWin/zormouse-focus.js");
}

}  // namespace

// A script left loaded goes first; the current one is loaded from the program folder under the
// program's plugin name and run at KWin 6's object, or at KWin 5's where that is all there is;
// it is unloaded when the source goes. Without KWin nothing is loaded.
TEST(KWinFocusSource, LoadsRunsAndUnloadsTheScript) {
    const QString script = ScriptPath();
    ASSERT_TRUE(QFile::exists(script)) << script.toStdString();
    const QString plugin = QString::fromLatin1(KWinFocusSource::kPlugin);
    {
        KWinFocusSource alone(script, QDBusConnection::sessionBus());
        QTest::qWait(300);
        EXPECT_FALSE(alone.Running());
    }
    struct Case {
        bool loadedBefore;
        int id;
        QString runPath;
    };
    for (const Case& c :
         {Case{true, 1, QStringLiteral("/Scripting/Script1")}, Case{false, 7, QStringLiteral("/7")}}) {
        SCOPED_TRACE(c.runPath.toStdString());
        FakeKWin kwin(c.loadedBefore, c.id, c.runPath);
        QStringList expected;
        expected << QStringLiteral("isScriptLoaded ") + plugin;
        if (c.loadedBefore) expected << QStringLiteral("unloadScript ") + plugin;
        expected << QStringLiteral("loadScript %1 %2").arg(script, plugin)
                 << QStringLiteral("run ") + c.runPath;
        {
            KWinFocusSource source(script, QDBusConnection::sessionBus());
            QSignalSpy running(&source, &KWinFocusSource::runningChanged);
            ASSERT_TRUE(running.wait(5000));
            EXPECT_TRUE(source.Running());
            EXPECT_EQ(kwin.Log().Entries(), expected);
        }
        expected << QStringLiteral("unloadScript ") + plugin;
        EXPECT_EQ(kwin.Log().Entries(), expected);
    }
    // The follower on a Plasma Wayland session counts the script as its source once it runs.
    FakeKWin kwin(false, 2, QStringLiteral("/Scripting/Script2"));
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    {
        AppProfileFollower follower(std::filesystem::temp_directory_path() / "zor-kwin-rules.ini", {});
        follower.WatchKWin(script.toStdString(), QStringLiteral("wayland"));
        EXPECT_FALSE(follower.SourceAvailable());
        EXPECT_TRUE(QTest::qWaitFor([&] { return follower.SourceAvailable(); }, 5000));
        EXPECT_EQ(kwin.Log().Entries().last(), QStringLiteral("run /Scripting/Script2"));
    }
    EXPECT_EQ(kwin.Log().Entries().last(), QStringLiteral("unloadScript ") + plugin);
}

// Only a KDE session on Wayland loads the script.
TEST(KWinFocusSource, PlasmaWaylandSession) {
    struct Case {
        const char* desktop;
        const char* waylandDisplay;
        const char* platform;
        bool plasmaWayland;
    };
    for (const Case& c :
         {Case{"KDE", "", "wayland", true}, Case{"KDE", "wayland-0", "offscreen", true},
          Case{"KDE", "wayland-0", "xcb", false}, Case{"KDE", "", "offscreen", false},
          Case{"GNOME", "wayland-0", "wayland", false}, Case{"", "wayland-0", "wayland", false},
          Case{"ubuntu:KDE", "", "wayland-egl", true}, Case{"KDEX", "", "wayland", false}}) {
        qputenv("XDG_CURRENT_DESKTOP", c.desktop);
        qputenv("WAYLAND_DISPLAY", c.waylandDisplay);
        EXPECT_EQ(KWinFocusSource::PlasmaWayland(QString::fromLatin1(c.platform)), c.plasmaWayland)
            << c.desktop << " / " << c.waylandDisplay << " / " << c.platform;
    }
}

// The script under node, KWin's workspace and callDBus imitated: the desktop file name is
// preferred, the resource class taken without one, nothing sent for a window without either;
// the window active at the start is reported too.
TEST(KWinFocusSource, ScriptReportsTheActivatedApplication) {
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty()) GTEST_SKIP() << "node is not installed";
    QFile file(ScriptPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(file.readAll());
    const QString harness = QStringLiteral(R"(
var calls = [];
function callDBus() { calls.push(Array.prototype.slice.call(arguments).join("|")); }
function signal() { var s = { handlers: [], connect: function (f) { s.handlers.push(f); } }; return s; }
function emit(s, w) { s.handlers.forEach(function (f) { f(w); }); }
var workspace;
// KWin 6
workspace = { windowActivated: signal(), activeWindow: { desktopFileName: "org.kde.dolphin", resourceClass: "dolphin" } };
%1
emit(workspace.windowActivated, { desktopFileName: "", resourceClass: "firefox" });
emit(workspace.windowActivated, { desktopFileName: "", resourceClass: "" });
emit(workspace.windowActivated, null);
calls.push("--");
// KWin 5: the resource class is a byte array
workspace = { clientActivated: signal(), activeClient: null };
%1
emit(workspace.clientActivated, { resourceClass: { toString: function () { return "konsole"; } } });
emit(workspace.clientActivated, { desktopFileName: "org.kde.kate", resourceClass: "kate" });
console.log(calls.join("\n"));
)")
                                .arg(script);
    QProcess run;
    run.start(node, {QStringLiteral("-e"), harness});
    ASSERT_TRUE(run.waitForFinished(10000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    const QString to = QStringLiteral("%1|%2|%3|FocusedApplication|")
                           .arg(QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
                                QLatin1String(control::kServiceInterface));
    const QStringList expected{to + QStringLiteral("org.kde.dolphin"), to + QStringLiteral("firefox"),
                               QStringLiteral("--"), to + QStringLiteral("konsole"),
                               to + QStringLiteral("org.kde.kate")};
    EXPECT_EQ(QString::fromUtf8(run.readAllStandardOutput()).trimmed().split(QLatin1Char('\n')), expected);
}

}  // namespace zor::app::test

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "KWinScriptTest.moc"
