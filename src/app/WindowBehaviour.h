// How the main window comes and goes: the close button with its dialog and remembered choice,
// minimising, hiding to the tray and coming back, the tray icon and its menu, the silent start,
// the autostart entry, and the settings window that sets these options.
#pragma once

#include <QIcon>
#include <QPointer>
#include <functional>

#include "app/AppContext.h"
#include "app/AppProfileFollower.h"
#include "app/Notices.h"
#include "app/WindowMessage.h"
#include "common/IniFile.h"
#include "control/DeviceStack.h"
#include "control/RunScheduler.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/MenuTray.h"
#include "ui/WindowImplBase.h"

namespace zor::app {

class Setting;

class WindowBehaviour {
public:
    // What the window does for it.
    struct Hooks {
        std::function<void()> save;      // the document and the macro library, before leaving
        std::function<void()> quitting;  // last steps before the program ends
        std::function<void()> refreshPresence;
        std::function<void()> showRun;                      // the progress of a run that goes on
        std::function<void(const QString& item)> menuItem;  // a tray menu item for the pages
        std::function<AppProfileFollower&()> appProfiles;   // for the settings window
    };
    struct Parts {
        ui::WindowImplBase& window;
        const AppContext& context;
        control::DeviceStack& stack;
        control::RunScheduler& scheduler;
        Notices& notices;
        ui::LanguageManager& language;
    };
    WindowBehaviour(Parts parts, Hooks hooks);
    ~WindowBehaviour();

    ui::CTrayIcon& Tray() { return m_tray; }
    const QIcon& Icon() const { return m_icon; }
    void LoadIcon();
    // At start: the close options of Set.ini, and the autostart entry brought in line with it.
    void Start(const IniFile& set);
    void CloseRequest();
    void Exit();
    // Hides to the notification area; without one minimises, and tells the user when told.
    void HideToTray(bool told = true);
    void Minimise();
    // Restore from the tray or from minimised, in front (also what a second start asks for).
    void Restore(bool readState);
    void OpenWebPage(const QString& path);
    bool OpenUrl(const QUrl& url);
    void OpenSettings();
    void CloseSettings();
    // The charge counter read that the settings window asked for has come (-1: not read).
    void ShowChargeCounter(int count);

    bool HiddenToTray() const { return m_hiddenToTray; }
    int CloseOption() const { return m_closeOption; }
    int Remind() const { return m_remind; }

    // Message handlers.
    void OnClose(const WindowMessage&) { Exit(); }
    void OnSysCommand(const WindowMessage& message);
    void OnTrayIcon(const WindowMessage& message);
    void OnMenuClick(const WindowMessage& message);
    void OnSilentStart(const WindowMessage& message);
    void OnMsgBoxHideToTray(const WindowMessage& message);
    void OnCloseWndGone(const WindowMessage& message);
    void OnCloseConfig(const WindowMessage& message);
    void OnCloseAct(const WindowMessage& message);
    void OnSettingClosed(const WindowMessage& message);

private:
    // The session's autostart entry as Set/AutomaticallyOpenEn, AutomaticallyHideEn and SoftName say.
    void AlignAutostartEntry(const IniFile& set);
    void ShowSettingOverlay(bool shown);

    Parts m_parts;
    Hooks m_hooks;
    ui::CTrayIcon m_tray;
    QIcon m_icon;
    int m_closeOption = 0;
    int m_remind = 0;
    bool m_hiddenToTray = false;
    bool m_silent = false;
    bool m_toldNoTray = false;
    QPointer<ui::CCloseWnd> m_closeWnd;
    QPointer<Setting> m_setting;
    QPointer<ui::CMenuWnd> m_trayMenu;
};

}  // namespace zor::app
