#include "update/gui/UpdaterLauncher.h"

#include <unistd.h>
#include <QProcess>

#include "app/SingleInstance.h"
#include "common/Debug.h"
#include "update/UpdatePaths.h"

namespace zor::update {
namespace {

constexpr int kAnswerTimeoutMs = 500;

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
    // Decided from the event loop, so that the outcome always arrives after this call returns.
    QMetaObject::invokeMethod(
        context,
        [programFolder, done] {
            const app::SingleInstance updater(QString::fromLatin1(
                kUpdaterInstanceName.data(), static_cast<qsizetype>(kUpdaterInstanceName.size())));
            // A running updater answers at once; one that does not is started anew (its own
            // single-instance lock then decides).
            if (updater.NotifyFirst(kAnswerTimeoutMs)) {
                DebugLine("updater already runs: brought to the front\n");
                done(LaunchResult::Raised);
                return;
            }
            done(StartUpdater(programFolder));
        },
        Qt::QueuedConnection);
}

}  // namespace zor::update
