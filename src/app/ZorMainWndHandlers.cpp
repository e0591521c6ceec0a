// The main window's handlers of window messages: device reports, apply runs, the BLE bridge,
// the tray and the close dialog. The table that routes the numbers here is in ZorMainWnd.cpp.
#include <QApplication>

#include "app/AppMessages.h"
#include "app/ZorMainWnd.h"
#include "app/ZorMainWndNames.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "device/BleText.h"
#include "device/DevicePresence.h"
#include "device/KeyCode.h"
#include "settings/DpiRules.h"
#include "settings/PowerOptions.h"
#include "ui/CustomControls.h"
#include "update/gui/UpdateController.h"

namespace zor::app {

long long CZorMainWnd::OnMove(qintptr, qintptr, bool&) {
    m_notices.Recentre();
    return 0;
}

long long CZorMainWnd::OnActivate(qintptr wParam, qintptr, bool&) {
    if ((wParam >> 16) != 0 && (wParam & 0xFFFF) != 0) {
        SendMessageTo(this, kMsgReadDeviceState, 0, 0);
        m_presence->Refresh();
    }
    return 0;
}

long long CZorMainWnd::OnMouseWheel(qintptr, qintptr, bool&) {
    if (auto* focus = FindControl(QStringLiteral("TmpFocusButton"))) focus->setFocus();
    return 0;
}

long long CZorMainWnd::OnDeviceProfileChanged(qintptr wParam, qintptr, bool&) {
    if (m_scheduler->RunInProgress()) return 0;
    const int profile = static_cast<int>(wParam & 0xFF);
    m_model.SetProfile(profile > 2 ? 0 : profile);
    m_pages->Refresh();
    StartRun(1);
    return 0;
}

long long CZorMainWnd::OnDeviceConfig(qintptr, qintptr lParam, bool&) {
    if (lParam == 2)
        LoadModel();
    else
        m_pages->Refresh();
    return 0;
}

long long CZorMainWnd::OnLanguageChanged(qintptr, qintptr, bool&) {
    m_language.ChangeByName(MessagePayload().toString(), SetIniPath(), m_pm, this, &m_behaviour->Tray(),
                            m_behaviour->Icon());
    m_notices.Retext();
    m_presence->ShowConnection();
    m_pages->OnLanguageChanged();
    update();
    return 0;
}

long long CZorMainWnd::OnMaxDataWarn(qintptr, qintptr, bool&) {
    m_notices.Ask("Tip", m_notices.Text("maxDataWarn"), true);
    return 0;
}

long long CZorMainWnd::OnApply(qintptr wParam, qintptr lParam, bool&) {
    const bool ble = m_presence->Ble();
    if (m_scheduler->RequestApply(static_cast<int>(wParam), static_cast<int>(lParam),
                                  m_presence->Connected())) {
        if (!ble) m_presence->StopBatteryTimer();
        if (m_scheduler->RunInProgress()) ShowProgress(true, m_scheduler->Mode());
    }
    return 0;
}

long long CZorMainWnd::OnReadDeviceState(qintptr wParam, qintptr lParam, bool&) {
    StartStateRead(static_cast<int>(wParam), static_cast<int>(lParam));
    return 0;
}

long long CZorMainWnd::OnApplyEnd(qintptr, qintptr, bool&) {
    FinishApply();
    return 0;
}

long long CZorMainWnd::OnApplyOverlay(qintptr wParam, qintptr, bool&) {
    if (auto* overlay = FindControl(QStringLiteral("tranWnd"))) overlay->SetVisible(wParam == 1);
    if (wParam == 1)
        if (auto* overlay = FindControl(QStringLiteral("tranWnd_setting"))) overlay->SetVisible(false);
    return 0;
}

long long CZorMainWnd::OnApplyProgress(qintptr wParam, qintptr lParam, bool&) {
    for (const char* name : {"apply_progress", "ring", "text_apply", "gif_vertical"})
        if (auto* c = FindControl(QLatin1String(name)))
            c->SetVisible(wParam != 0 || (lParam != 0 && QLatin1String(name) == QLatin1String("ring")));
    return 0;
}

long long CZorMainWnd::OnPowerChanged(qintptr, qintptr, bool&) {
    // Each message names one value, and its single write carries only that value.
    const std::optional<PowerChange> change = PowerChangeFor(static_cast<int>(m_currentMessage));
    if (!change) return 0;
    if (m_scheduler->RequestSingleWrite(change->single, change->kind, m_presence->Connected()) &&
        m_scheduler->RunInProgress())
        ShowProgress(true, m_scheduler->Mode());
    return 0;
}

long long CZorMainWnd::OnRefreshDevicePages(qintptr, qintptr, bool&) {
    m_presence->Refresh();
    m_pages->Refresh();
    return 0;
}

// 2037 from the settings window: wParam 1 = the user asked for the update (the updater at once);
// otherwise the version check runs on a worker and the updater starts when it finds a release.
long long CZorMainWnd::OnStartUpdater(qintptr wParam, qintptr, bool&) {
    m_update->OnStartUpdater(wParam == 1);
    return 0;
}

}  // namespace zor::app
