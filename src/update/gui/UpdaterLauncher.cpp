#include "update/gui/UpdaterLauncher.h"

#include <unistd.h>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>
#include <memory>

#include "app/SingleInstance.h"
#include "common/Debug.h"
#include "update/UpdatePaths.h"

namespace zor::update {
namespace {

constexpr int kAnswerTimeoutMs = 2000;

LaunchResult StartUpdater(const std::filesystem::path& programFolder) {
    const std::filesystem::path exe = UpdaterExecutable(programFolder);
    if (::access(exe.c_str(), X_OK) != 0) {
        DebugF("updater %s is missing\n", exe.string());
        return LaunchResult::Missing;
    }
    const bool started =
        QProcess::startDetached(QString::fromStdString(exe.string()),
                                {QStringLiteral("--home"), QString::fromStdString(programFolder.string())},
                                QString::fromStdString(exe.parent_path().string()));
    DebugF("updater %s: %s\n", exe.string(), started ? "started" : "could not be started");
    return started ? LaunchResult::Started : LaunchResult::Failed;
}

}  // namespace

QString UpdaterServerName() {
    return app::SingleInstance(QString::fromLatin1(kUpdaterInstanceName.data(),
                                                   static_cast<qsizetype>(kUpdaterInstanceName.size())))
        .ServerName();
}

void LaunchUpdater(const std::filesystem::path& programFolder, QObject* context,
                   std::function<void(LaunchResult)> done) {
    auto* socket = new QLocalSocket(context);
    auto* timer = new QTimer(socket);
    auto finished = std::make_shared<bool>(false);
    auto finish = [socket, finished, done, programFolder](bool raised) {
        if (*finished) return;
        *finished = true;
        socket->abort();
        socket->deleteLater();
        if (raised) DebugLine("updater already runs: brought to the front\n");
        done(raised ? LaunchResult::Raised : StartUpdater(programFolder));
    };
    QObject::connect(socket, &QLocalSocket::connected, socket, [socket] { socket->write("raise\n"); });
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [finish] { finish(true); });
    QObject::connect(socket, &QLocalSocket::errorOccurred, socket, [finish] { finish(false); });
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, socket, [finish] { finish(false); });
    timer->start(kAnswerTimeoutMs);
    // Connected from the event loop, so that the outcome always arrives after this call returns.
    QMetaObject::invokeMethod(
        socket, [socket] { socket->connectToServer(UpdaterServerName()); }, Qt::QueuedConnection);
}

}  // namespace zor::update
