// What the main window does for the update: message 2037 (a version check on a worker thread,
// then the updater when a newer release exists; wParam 1 starts the updater at once) and the
// version window. The window stays responsive throughout: the check never runs on its thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <filesystem>

#include "ui/Dialogs.h"
#include "update/Http.h"
#include "update/VersionCheck.h"
#include "update/gui/BackgroundTask.h"
#include "update/gui/UpdaterLauncher.h"

namespace zor::update {

class UpdateController : public QObject {
    Q_OBJECT
public:
    UpdateController(std::filesystem::path programFolder, QWidget* owner, HttpLimits limits = {});
    ~UpdateController() override;

    // Message 2037. forced: the user asked for the update.
    void OnStartUpdater(bool forced);
    // The version window, modal over the owner. True when the updater took over: the owner
    // then ends the program through its normal exit steps.
    bool ShowVersionWindow();

    bool CheckRunning() const { return m_task.Running(); }
    const CheckResult& LastCheck() const { return m_last; }
    ui::CMsgWnd* MessageBox() const { return m_msgBox; }

signals:
    void checkFinished(bool updateAvailable);
    void launchFinished(zor::update::LaunchResult result);

private:
    void Launch(bool forced);

    std::filesystem::path m_folder;
    QPointer<QWidget> m_owner;
    HttpLimits m_limits;
    CheckResult m_last;
    BackgroundTask m_task;
    QPointer<ui::CMsgWnd> m_msgBox;
};

}  // namespace zor::update
