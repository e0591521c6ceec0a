#include "update/gui/UpdaterLauncher.h"

#include <unistd.h>
#include <QProcess>

#include "ui/SingleInstance.h"
#include "update/gui/BackgroundTask.h"
#include "common/Debug.h"
#include "common/ProgramPaths.h"
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
    QStringList arguments{QStringLiteral("--home"), QString::fromStdString(programFolder.string())};
    // An installed program's updater writes where the program does: in the user's folder.
    if (const std::filesystem::path user = paths::UserFolder(); !user.empty())
        arguments << QStringLiteral("--user") << QString::fromStdString(user.string());
    const bool started = QProcess::startDetached(QString::fromStdString(exe.string()), arguments,
                                                 QString::fromStdString(exe.parent_path().string()));
    DebugF("updater %s: %s\n", exe.string(), started ? "started" : "could not be started");
    return started ? LaunchResult::Started : LaunchResult::Failed;
}

}  // namespace

QString UpdaterServerName() {
    return ui::SingleInstance(QString::fromLatin1(kUpdaterInstanceName.data(),
                                                   static_cast<qsizetype>(kUpdaterInstanceName.size())))
        .ServerName();
}

void LaunchUpdater(const std::filesystem::path& programFolder, QObject* context,
                   std::function<void(LaunchResult)> done) {
    // A running updater is asked to come forward from a worker: its answer may take a moment
    // (or never come from a hung one), and the window must not wait for it. The outcome always
    // arrives on the UI thread after this call returns.
    auto* task = new BackgroundTask(context);
    task->Start([task, programFolder, done](const std::atomic<bool>&) -> std::function<void()> {
        const ui::SingleInstance updater(
            QString::fromLatin1(kUpdaterInstanceName.data(), static_cast<qsizetype>(kUpdaterInstanceName.size())));
        const bool raised = updater.NotifyFirst(kAnswerTimeoutMs);
        return [task, raised, programFolder, done] {
            task->deleteLater();
            if (raised) DebugLine("updater already runs: brought to the front\n");
            done(raised ? LaunchResult::Raised : StartUpdater(programFolder));
        };
    });
}

}  // namespace zor::update
