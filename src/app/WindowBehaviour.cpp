#include "app/WindowBehaviour.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include "app/Autostart.h"
#include "app/Setting.h"
#include "common/Debug.h"
#include "common/ProgramPaths.h"
#include "ui/Messages.h"

namespace zor::app {

namespace {
// The maker's manual and macro-sharing pages.
const QString kWebHost = QStringLiteral("http://www.zormouse.example");
}  // namespace

WindowBehaviour::WindowBehaviour(Parts parts, Hooks hooks)
    : m_parts(parts),
      m_hooks(std::move(hooks)),
      m_silent(parts.context.commandLine == QLatin1String("-silent")) {}

WindowBehaviour::~WindowBehaviour() {
    if (m_closeWnd) delete m_closeWnd;
    if (m_setting) delete m_setting;
}

void WindowBehaviour::LoadIcon() {
    m_icon = ui::ProgramIcon(ui::CPaintManagerUI::ResolveFile(QStringLiteral("common/tray.svg")));
    m_parts.window.setWindowIcon(m_icon);
}

void WindowBehaviour::Start(const IniFile& set) {
    AlignAutostartEntry(set);
    m_closeOption = set.GetInt("CloseConfig", "CloseOption");
    m_remind = set.GetInt("CloseConfig", "Remind");
}

void WindowBehaviour::AlignAutostartEntry(const IniFile& set) {
    const bool open = set.GetInt("Set", "AutomaticallyOpenEn") != 0;
    const bool hidden = open && set.GetInt("Set", "AutomaticallyHideEn") != 0;
    const std::filesystem::path folder =
        m_parts.context.autostartFolder.empty() ? AutostartFolder() : m_parts.context.autostartFolder;
    const AutostartResult result =
        AlignAutostart(folder, set.GetString("Set", "SoftName"),
                       QCoreApplication::applicationFilePath().toStdString(), open, hidden);
    const char* what = result == AutostartResult::Written   ? "written"
                       : result == AutostartResult::Removed ? "removed"
                       : result == AutostartResult::Failed ? "not changed (no name, folder or right to write)"
                                                           : "already in line";
    DebugF("autostart entry: %s\n", what);
}

void WindowBehaviour::ShowSettingOverlay(bool shown) {
    if (auto* overlay = m_parts.window.FindControl(QStringLiteral("tranWnd_setting")))
        overlay->SetVisible(shown);
}

// ---------------------------------------------------------------- close, tray, minimise

void WindowBehaviour::CloseRequest() {
    if (m_parts.scheduler.RunInProgress()) return;
    if (m_remind != 0) {
        if (m_closeWnd) m_closeWnd->Close(0);
        ShowSettingOverlay(true);
        auto* dialog = new ui::CCloseWnd(m_closeOption, m_remind, m_parts.language.AppliedIndex());
        m_closeWnd = dialog;
        dialog->Create(&m_parts.window, QStringLiteral("CloseWnd"), ui::kWsPopup, ui::kWsExToolWindow);
        dialog->CenterWindow();
        dialog->ShowModal();
        return;
    }
    if (m_closeOption != 0)
        Exit();
    else
        HideToTray();
}

void WindowBehaviour::Exit() {
    m_hooks.save();
    m_tray.DeleteTrayIcon();
    m_hooks.quitting();
    ui::PostQuitMessage(0);
}

void WindowBehaviour::HideToTray(bool told) {
    m_hooks.save();
    m_parts.notices.Close();
    if (!m_parts.context.assumeTray && !ui::CTrayIcon::IsAvailable()) {
        // Hidden without a tray there would be no way back: minimise instead.
        DebugLine("no notification area on this desktop: minimising instead of hiding\n");
        m_parts.window.showMinimized();
        // Said once per run when the user asked for it (not at a silent start).
        if (told && !m_toldNoTray) {
            m_toldNoTray = true;
            m_parts.notices.ShowInfo(m_parts.notices.Text("Tip"), m_parts.notices.Text("NoTrayArea"));
        }
        return;
    }
    m_hiddenToTray = true;
    m_parts.window.hide();
}

void WindowBehaviour::Minimise() {
    if (m_parts.scheduler.RunInProgress()) return;
    ui::SendMessageTo(&m_parts.window, ui::kWmSysCommand, 0xF020, 0);
    m_parts.window.showMinimized();
}

void WindowBehaviour::Restore(bool readState) {
    m_hiddenToTray = false;
    if (m_parts.stack.Link().bleMode.load() == 0) {
        if (readState) ui::SendMessageTo(&m_parts.window, ui::kMsgReadDeviceState, 0, 0);
        m_hooks.refreshPresence();
    }
    QWidget& window = m_parts.window;
    window.showNormal();
    window.show();
    window.raise();
    window.activateWindow();
    m_parts.notices.Raise();
    if (m_parts.scheduler.RunInProgress()) m_hooks.showRun();
}

bool WindowBehaviour::OpenUrl(const QUrl& url) {
    return m_parts.context.openUrl ? m_parts.context.openUrl(url) : QDesktopServices::openUrl(url);
}

void WindowBehaviour::OpenWebPage(const QString& path) {
    const QUrl url(kWebHost + path);
    // Without a browser the user learns why nothing opened, and where the page is.
    if (!OpenUrl(url))
        m_parts.notices.ShowInfo(m_parts.notices.Text("Tip"),
                                 m_parts.notices.Text("NoBrowser") + QLatin1Char('\n') + url.toString());
}

void WindowBehaviour::OnSysCommand(const WindowMessage& message) {
    if (message.wParam == 0xF020) QApplication::alert(&m_parts.window);
}

void WindowBehaviour::OnTrayIcon(const WindowMessage& message) {
    if (message.lParam == ui::kWmRButtonUp) {
        if (m_trayMenu) m_trayMenu->Close();
        m_trayMenu = ui::CMenuWnd::CreateMenu(&m_parts.window, QStringLiteral("tray_menu.xml"),
                                              QCursor::pos(), nullptr, ui::CMenuWnd::Report::Message);
    } else if (message.lParam == ui::kWmLButtonDblClk) {
        Restore(false);
    }
}

void WindowBehaviour::OnMenuClick(const WindowMessage& message) {
    const QString item = message.payload.toString();
    if (item.isEmpty()) return;
    if (item == QLatin1String("exit"))
        Exit();
    else if (item == QLatin1String("show"))
        Restore(true);
    else if (item == QLatin1String("guide"))
        OpenWebPage(QStringLiteral("/orvmanual/"));
    else
        m_hooks.menuItem(item);
    message.handled = true;
}

void WindowBehaviour::OnSilentStart(const WindowMessage&) {
    const IniFile set(paths::SetIni(m_parts.context.programFolder));
    if (m_silent && set.GetInt("Set", "AutomaticallyOpenEn") != 0 &&
        set.GetInt("Set", "AutomaticallyHideEn") != 0)
        HideToTray(false);
    m_silent = false;
}

void WindowBehaviour::OnMsgBoxHideToTray(const WindowMessage&) {
    m_parts.notices.Close();
    HideToTray();
}

// ---------------------------------------------------------------- the close dialog

void WindowBehaviour::OnCloseWndGone(const WindowMessage&) {
    ShowSettingOverlay(false);
    m_closeWnd = nullptr;
}

void WindowBehaviour::OnCloseConfig(const WindowMessage& message) {
    IniFile set(paths::SetIni(m_parts.context.programFolder));
    if (message.wParam != -1) {
        m_closeOption = static_cast<int>(message.wParam);
        set.WriteString("CloseConfig", "CloseOption", std::to_string(m_closeOption));
    }
    if (message.lParam != -1) {
        m_remind = static_cast<int>(message.lParam);
        set.WriteString("CloseConfig", "Remind", std::to_string(m_remind));
    }
}

void WindowBehaviour::OnCloseAct(const WindowMessage&) {
    if (m_closeOption == 0)
        HideToTray();
    else
        Exit();
}

// ---------------------------------------------------------------- the settings window

void WindowBehaviour::OpenSettings() {
    if (m_parts.scheduler.RunInProgress()) return;
    CloseSettings();
    ShowSettingOverlay(true);
    Setting::Init init;
    init.setIni = paths::SetIni(m_parts.context.programFolder);
    init.closeOption = m_closeOption;
    init.remind = m_remind;
    // The main window's update mark is shown exactly when a newer version is known.
    const ui::CControlUI* mark = m_parts.window.FindControl(QStringLiteral("mainwnd_red_point"));
    init.updateAvailable = mark != nullptr && mark->IsVisible();
    init.version = QCoreApplication::applicationVersion();
    Setting::Hooks hooks;
    hooks.alignAutostart = [this] {
        AlignAutostartEntry(IniFile(paths::SetIni(m_parts.context.programFolder)));
    };
    hooks.requestChargeCounter = [this] { return m_parts.scheduler.StartChargeCounterRead(); };
    hooks.openUrl = [this](const QUrl& url) { OpenUrl(url); };
    if (m_hooks.appProfiles) {
        AppProfileFollower& follower = m_hooks.appProfiles();
        init.appProfiles = follower.RulesFile();
        init.focusSource = follower.SourceAvailable();
        init.knownApps = follower.KnownApplications();
        hooks.appProfilesChanged = [&follower] { follower.RulesChanged(); };
    }
    auto* window = new Setting(std::move(init), std::move(hooks));
    m_setting = window;
    window->Create(&m_parts.window, QLatin1String(Setting::kWindowName), ui::kWsPopup, ui::kWsExToolWindow);
    window->CenterWindow();
    window->ShowModal();
}

void WindowBehaviour::ShowChargeCounter(int count) {
    if (m_setting) m_setting->ShowChargeCounter(count);
}

void WindowBehaviour::CloseSettings() {
    if (!m_setting) return;
    Setting* window = m_setting;
    m_setting = nullptr;
    window->Close(0);
    ShowSettingOverlay(false);
}

void WindowBehaviour::OnSettingClosed(const WindowMessage&) {
    if (m_setting) {
        m_closeOption = m_setting->CloseOption();
        m_remind = m_setting->Remind();
    }
    CloseSettings();
    ui::PostMessageTo(&m_parts.window, ui::kMsgRefreshDevicePages);
    ui::CResourceManager::GetInstance().ReloadText();
}

}  // namespace zor::app
