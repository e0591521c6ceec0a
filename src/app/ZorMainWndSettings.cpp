// The main window's side of the settings window: opening it over the overlay, its charge
// counter read, closing it (2056) and taking it away when the mouse goes.
#include <QCoreApplication>
#include <QDesktopServices>

#include "app/Setting.h"
#include "app/ZorMainWnd.h"
#include "app/ZorMainWndNames.h"
#include "common/Debug.h"
#include "common/IniFile.h"

namespace zor::app {

void CZorMainWnd::OpenSettings() {
    if (m_scheduler->RunInProgress()) return;
    CloseSettings();
    if (auto* overlay = FindControl(QStringLiteral("tranWnd_setting"))) overlay->SetVisible(true);
    Setting::Init init;
    init.setIni = SetIniPath();
    init.closeOption = m_closeOption;
    init.remind = m_remind;
    // The main window's update mark is shown exactly when a newer version is known.
    const CControlUI* mark = FindControl(QStringLiteral("mainwnd_red_point"));
    init.updateAvailable = mark != nullptr && mark->IsVisible();
    init.version = QCoreApplication::applicationVersion();
    Setting::Hooks hooks;
    hooks.alignAutostart = [this] { AlignAutostartEntry(IniFile(SetIniPath())); };
    hooks.readChargeCounter = [this] { return ReadChargeCounter(); };
    hooks.openUrl =
        m_context.openUrl ? m_context.openUrl : [](const QUrl& url) { QDesktopServices::openUrl(url); };
    auto* window = new Setting(std::move(init), std::move(hooks));
    m_setting = window;
    window->Create(this, QLatin1String(Setting::kWindowName), kWsPopup, kWsExToolWindow);
    window->CenterWindow();
    window->ShowModal();
}

int CZorMainWnd::ReadChargeCounter() {
    // One short read on this thread, only while no run or state read has the device.
    if (m_hub->SelectedEntry() == nullptr || m_scheduler->DeviceBusy()) return -1;
    CommandSet& commands = m_hub->Commands();
    commands.Request() = DeviceRequest{};
    commands.Request().op = kOpProfile;
    commands.Request().subOp = kSubChargeCounter;
    if (commands.ReadRequest() != 1) {
        DebugLine("charge counter not read\n");
        return -1;
    }
    return commands.Request().chargeCounter;
}

void CZorMainWnd::CloseSettings() {
    if (!m_setting) return;
    Setting* window = m_setting;
    m_setting = nullptr;
    window->Close(0);
    if (auto* overlay = FindControl(QStringLiteral("tranWnd_setting"))) overlay->SetVisible(false);
}

long long CZorMainWnd::OnSettingClosed(qintptr, qintptr, bool&) {
    if (m_setting) {
        m_closeOption = m_setting->CloseOption();
        m_remind = m_setting->Remind();
    }
    CloseSettings();
    PostMessageTo(this, kMsgRefreshDevicePages);
    CResourceManager::GetInstance().ReloadText();
    return 0;
}

}  // namespace zor::app
