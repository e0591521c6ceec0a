#include "app/KWinFocusSource.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

#include "common/Debug.h"

namespace zor::app {

namespace {

const QString kKWin = QStringLiteral("org.kde.KWin");
const QString kScripting = QStringLiteral("/Scripting");
const QString kScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString kScriptInterface = QStringLiteral("org.kde.kwin.Script");

}  // namespace

bool KWinFocusSource::PlasmaWayland(const QString& platformName) {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (!desktop.split(QLatin1Char(':')).contains(QLatin1String("KDE"), Qt::CaseInsensitive)) return false;
    if (platformName.startsWith(QLatin1String("wayland"))) return true;
    return platformName != QLatin1String("xcb") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

KWinFocusSource::KWinFocusSource(QString scriptPath, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_scriptPath(std::move(scriptPath)), m_bus(std::move(bus)) {
    if (!QFileInfo(m_scriptPath).isFile()) {
        DebugF("focus: the KWin script %s is missing\n", m_scriptPath.toUtf8().constData());
        return;
    }
    // A script left loaded by an earlier run (one that did not end cleanly) goes first, so that
    // the one loaded now runs from the current file.
    Send(Call(kScripting, kScriptingInterface, QStringLiteral("isScriptLoaded"),
              {QString::fromLatin1(kPlugin)}),
         [this](const QDBusMessage& reply) {
             if (reply.type() == QDBusMessage::ErrorMessage) {
                 DebugF("focus: no KWin scripting on the session bus (%s)\n",
                        reply.errorName().toUtf8().constData());
                 return;
             }
             if (reply.arguments().value(0).toBool())
                 Send(Call(kScripting, kScriptingInterface, QStringLiteral("unloadScript"),
                           {QString::fromLatin1(kPlugin)}),
                      [this](const QDBusMessage&) { Load(); });
             else
                 Load();
         });
}

KWinFocusSource::~KWinFocusSource() {
    if (!m_loaded) return;
    // At the program's end nothing would take an asynchronous reply: the call waits, briefly.
    QDBusMessage unload =
        Call(kScripting, kScriptingInterface, QStringLiteral("unloadScript"), {QString::fromLatin1(kPlugin)});
    m_bus.call(unload, QDBus::Block, 2000);
}

QDBusMessage KWinFocusSource::Call(const QString& path, const QString& interface, const QString& method,
                                   const QVariantList& arguments) const {
    QDBusMessage call = QDBusMessage::createMethodCall(kKWin, path, interface, method);
    call.setArguments(arguments);
    // Only a KWin that runs: none is started for the program.
    call.setAutoStartService(false);
    return call;
}

template <typename Handler>
void KWinFocusSource::Send(const QDBusMessage& call, Handler handler) {
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [handler = std::move(handler)](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                handler(done->reply());
            });
}

void KWinFocusSource::Load() {
    Send(Call(kScripting, kScriptingInterface, QStringLiteral("loadScript"),
              {m_scriptPath, QString::fromLatin1(kPlugin)}),
         [this](const QDBusMessage& reply) {
             const QVariant id = reply.arguments().value(0);
             if (reply.type() == QDBusMessage::ErrorMessage || !id.canConvert<int>() || id.toInt() < 0) {
                 DebugF("focus: KWin did not load %s\n", m_scriptPath.toUtf8().constData());
                 return;
             }
             m_loaded = true;
             Run(id.toInt(), false);
         });
}

void KWinFocusSource::Run(int id, bool kwin5Path) {
    // KWin 6 serves a loaded script at /Scripting/Script<id>, KWin 5 at /<id>.
    const QString path =
        kwin5Path ? QStringLiteral("/%1").arg(id) : QStringLiteral("/Scripting/Script%1").arg(id);
    Send(Call(path, kScriptInterface, QStringLiteral("run"), {}),
         [this, id, kwin5Path](const QDBusMessage& reply) {
             if (reply.type() == QDBusMessage::ErrorMessage) {
                 if (!kwin5Path) return Run(id, true);
                 DebugF("focus: KWin did not run the script %d (%s)\n", id,
                        reply.errorName().toUtf8().constData());
                 return;
             }
             DebugLine("focus: followed through a KWin script\n");
             m_running = true;
             emit runningChanged(true);
         });
}

}  // namespace zor::app
