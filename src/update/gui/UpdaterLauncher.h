// Hands the update over to the updater program (AutoUpdate/AutoUpdate of the program folder):
// when one already runs, its single-instance channel is asked to bring its window to the
// front (also out of minimised); otherwise it is started, detached. Nothing here waits on the
// UI thread: the outcome arrives as a call back.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>

namespace zor::update {

enum class LaunchResult { Raised, Started, Missing, Failed };

// The local socket name of the updater's single-instance channel.
QString UpdaterServerName();

void LaunchUpdater(const std::filesystem::path& programFolder, QObject* context,
                   std::function<void(LaunchResult)> done);

}  // namespace zor::update
