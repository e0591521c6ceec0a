#include "update/gui/UpdateController.h"

#include "common/Debug.h"
#include "update/gui/SoftVersion.h"
#include "update/gui/UpdateTexts.h"

namespace zor::update {

UpdateController::UpdateController(std::filesystem::path programFolder, QWidget* owner, HttpLimits limits)
    : m_folder(std::move(programFolder)), m_owner(owner), m_limits(limits) {}

UpdateController::~UpdateController() {
    if (m_msgBox) delete m_msgBox;
}

void UpdateController::OnStartUpdater(bool forced) {
    if (forced) {
        Launch(true);
        return;
    }
    if (m_task.Running()) return;  // one check at a time
    m_task.Start([folder = m_folder, limits = m_limits,
                  this](const std::atomic<bool>& cancel) -> std::function<void()> {
        CheckResult result = CheckForUpdate(folder, limits, &cancel);
        return [this, result = std::move(result)] {
            m_last = result;
            // The automatic check shows nothing when it fails or finds nothing.
            if (result.outcome == CheckOutcome::Failed)
                DebugF("version check: %s\n", result.reason);
            else
                DebugF("version check: %s (total %lld)\n",
                       result.UpdateAvailable() ? "newer release" : "up to date", result.total);
            emit checkFinished(result.UpdateAvailable());
            if (result.UpdateAvailable()) Launch(false);
        };
    });
}

void UpdateController::Launch(bool forced) {
    LaunchUpdater(m_folder, this, [this, forced](LaunchResult result) {
        // The user pressed the update button: a missing updater is said, not swallowed.
        if (forced && (result == LaunchResult::Missing || result == LaunchResult::Failed) && m_owner) {
            LoadUpdateTexts(m_folder);
            if (m_msgBox) m_msgBox->Close(0);
            m_msgBox = ui::CMsgWnd::ShowMessageBoxNonModal(
                m_owner, UpdateText("UpdMessageTitle", "Tip"),
                result == LaunchResult::Missing
                    ? UpdateText("UpdUpdaterMissing", "The updater (AutoUpdate) was not found.")
                    : UpdateText("UpdUpdaterFailed", "The updater could not be started."),
                UpdateText("UpdOK", "OK"));
        }
        DebugF("updater launch: %d\n", static_cast<int>(result));
        emit launchFinished(result);
    });
}

bool UpdateController::ShowVersionWindow() {
    SoftVersion window(m_folder);
    // Shown by ShowModal, which makes it modal over the owner first.
    // The window system lists it under the program's title, the one its owner shows.
    window.Create(m_owner, m_owner ? m_owner->windowTitle() : QString(), ui::kWsPopup, ui::kWsExToolWindow,
                  QRect(0, 0, SoftVersion::kWidth, SoftVersion::kHeight));
    window.CenterWindow();
    return window.ShowModal() == SoftVersion::kClosedForUpdate;
}

}  // namespace zor::update
