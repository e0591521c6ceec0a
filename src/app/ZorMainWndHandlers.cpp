// The main window's own handlers of window messages: activation, the wheel, the model's files,
// the language, the data warning, the pages' refresh and the updater. The table that routes the
// numbers here and to the parts the window owns is in ZorMainWnd.cpp.
#include "app/AppMessages.h"
#include "app/ZorMainWnd.h"
#include "app/ZorMainWndNames.h"
#include "update/gui/UpdateController.h"

namespace zor::app {

void CZorMainWnd::OnActivate(const WindowMessage& message) {
    if ((message.wParam >> 16) != 0 && (message.wParam & 0xFFFF) != 0) {
        SendMessageTo(this, kMsgReadDeviceState, 0, 0);
        m_presence->Refresh();
    }
}

void CZorMainWnd::OnMouseWheel(const WindowMessage&) {
    if (auto* focus = FindControl(QStringLiteral("TmpFocusButton"))) focus->setFocus();
}

void CZorMainWnd::OnDeviceConfig(const WindowMessage& message) {
    if (message.lParam == 2)
        LoadModel();
    else
        m_pages->Refresh();
}

void CZorMainWnd::OnLanguageChanged(const WindowMessage& message) {
    m_language.ChangeByName(message.payload.toString(), SetIniPath(), m_pm, this, &m_behaviour->Tray(),
                            m_behaviour->Icon());
    m_notices.Retext();
    m_presence->ShowConnection();
    m_pages->OnLanguageChanged();
    update();
}

void CZorMainWnd::OnMaxDataWarn(const WindowMessage&) {
    m_notices.Ask("Tip", m_notices.Text("maxDataWarn"), true);
}

void CZorMainWnd::OnRefreshDevicePages(const WindowMessage&) {
    m_presence->Refresh();
    m_pages->Refresh();
}

// 2037 from the settings window: wParam 1 = the user asked for the update (the updater at once);
// otherwise the version check runs on a worker and the updater starts when it finds a release.
void CZorMainWnd::OnStartUpdater(const WindowMessage& message) {
    m_update->OnStartUpdater(message.wParam == 1);
}

}  // namespace zor::app
