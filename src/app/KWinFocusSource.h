// The focused application of a Plasma Wayland session, where an X11 connection sees only the
// windows of X11 programs: a script loaded into KWin through its scripting D-Bus interface
// reports each activated window to the program's service (FocusedApplication). Every call is
// asynchronous; the script is unloaded again when the source goes.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace zor::app {

class KWinFocusSource : public QObject {
    Q_OBJECT
public:
    static constexpr char kPlugin[] = "zormouse-focus";

    // Whether the session is KDE Plasma ($XDG_CURRENT_DESKTOP names KDE) on Wayland (the given
    // Qt platform, or $WAYLAND_DISPLAY unless the program runs through xcb).
    static bool PlasmaWayland(const QString& platformName);

    // Loads the script at scriptPath into KWin (when org.kde.KWin is on the bus) and runs it.
    KWinFocusSource(QString scriptPath, QDBusConnection bus, QObject* parent = nullptr);
    ~KWinFocusSource() override;

    // The script runs in KWin.
    bool Running() const { return m_running; }

signals:
    void runningChanged(bool running);

private:
    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments) const;
    template <typename Handler>
    void Send(const QDBusMessage& call, Handler handler);
    void Load();
    void Run(int id, bool kwin5Path);

    QString m_scriptPath;
    QDBusConnection m_bus;
    bool m_loaded = false;
    bool m_running = false;
};

}  // namespace zor::app
