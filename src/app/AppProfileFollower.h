// The mouse's profile follows the focused application: each change of the focused application
// (from the X11 watch, or from the desktop through FocusedApplication) is looked up in the
// user's rules (control/AppProfiles) and, when its profile differs from the mouse's, selected
// through the same operation as the profile list. Changes within 300 ms are taken together (the
// latest wins), one switch is on its way at a time, and none starts while a run is on the mouse:
// it waits for the run's end. A profile chosen on the mouse itself holds until the focus moves
// to another application.
#pragma once

#include <QObject>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zor::app {

class X11FocusWatch;

class AppProfileFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int kSettleMs = 300;
    static constexpr std::size_t kRecentApplications = 20;

    struct Hooks {
        std::function<int()> activeProfile;  // the mouse's profile as the program knows it
        std::function<bool()> busy;          // a run, or a profile switch not yet sent
        std::function<void(int)> select;     // the profile list's operation
    };
    AppProfileFollower(std::filesystem::path rulesFile, Hooks hooks);
    ~AppProfileFollower() override;

    // Follows the X11 session's focus (only on an X11 session: under Wayland an X11 connection
    // would see only the windows of X11 programs).
    void WatchX11();
    // The focused application as the desktop names it (a Wayland app_id or a desktop-file id):
    // the entry point of the D-Bus service's FocusedApplication.
    void FocusedApplication(const std::string& appId);
    // Whether anything tells the program which application has the focus.
    bool SourceAvailable() const;
    // Applications to offer for a new rule: those focused lately (the latest first), then the
    // other application windows of an X11 session. Ids as a rule would name them.
    std::vector<std::string> KnownApplications() const;
    // The rules were edited: the focused application is looked up again.
    void RulesChanged();
    // A run on the mouse ended: a switch that waited for it goes ahead.
    void RunEnded();

    const std::filesystem::path& RulesFile() const { return m_rulesFile; }

private:
    void OnFocus(const std::vector<std::string>& appIds);
    void Decide();

    std::filesystem::path m_rulesFile;
    Hooks m_hooks;
    QTimer m_settle;
    std::unique_ptr<X11FocusWatch> m_x11;
    bool m_toldByDesktop = false;
    std::vector<std::string> m_focused;  // the latest focused application's ids
    std::vector<std::string> m_recent;   // applications focused lately, the latest first
    std::string m_handled;               // the application last looked up
    bool m_waitingForRun = false;
};

}  // namespace zor::app
