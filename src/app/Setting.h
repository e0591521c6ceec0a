// The settings window: language, start with the desktop (and hidden), the DPI pop-up, the close
// behaviour, the lighting master switch, the charge counter, the profiles per application, the
// update check and the web links.
// Every change is written to Set.ini at once and reported to the owner (the main window) with
// its message; the window asks for the charge counter, which is read on the device worker and
// shown when it arrives (the window never waits for the mouse).
#pragma once

#include <QUrl>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "control/AppProfiles.h"
#include "ui/WindowImplBase.h"

namespace zor::app {

class Setting : public ui::WindowImplBase {
    Q_OBJECT
public:
    struct Init {
        std::filesystem::path setIni;
        int closeOption = 0;
        int remind = 1;
        bool updateAvailable = false;
        QString version;  // shown on the about page
        std::filesystem::path appProfiles;  // the rules of the profiles per application
        bool focusSource = false;           // the program learns which application has the focus
        std::vector<std::string> knownApps;  // offered for a new rule (running, lately focused)
    };
    struct Hooks {
        // Brings the autostart entry in line with Set.ini (written, rewritten or removed).
        std::function<void()> alignAutostart;
        // Starts the read of the mouse's charge counter on the device worker; false when it
        // cannot be read now. The count comes back through ShowChargeCounter.
        std::function<bool()> requestChargeCounter;
        // Opens a web address with the desktop's default handler.
        std::function<void(const QUrl&)> openUrl;
        // The rules of the profiles per application were changed.
        std::function<void()> appProfilesChanged;
    };

    static constexpr const char* kWindowName = "setting";

    Setting(Init init, Hooks hooks);
    QString GetSkinFile() override { return QStringLiteral("setting.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("Setting"); }
    void Notify(ui::TNotifyUI& msg) override;

    int CloseOption() const { return m_closeOption; }
    // The charge counter, once its read has ended (-1: the mouse did not give it).
    void ShowChargeCounter(int count);
    int Remind() const { return m_remind; }

private:
    void Fill();
    void ShowLanguage();
    void ShowStartOptions();
    void RequestChargeCounter();
    void ShowPage(const QString& nav);
    void HandleClick(const QString& name);
    void FlipAutostart();
    void FlipHiddenStart();
    void FlipFlag(const char* key, const char* option);
    void SetCheck(const char* name, bool on);
    bool IsChecked(const char* name) const;
    int ReadInt(const char* key) const;
    bool WriteInt(const char* key, int value) const;
    // The profiles per application: the switch, the default, the rules, each edit saved at once.
    void ShowAppProfiles();
    void EditAppProfiles(const std::function<control::OpResult(control::AppProfileRules&)>& edit);
    void ShowAppProfileError(const char* id, const char* english);
    void AddAppProfile();
    bool OnAppProfilesNotify(ui::TNotifyUI& msg, const QString& name);  // true: handled
    QString Text(const char* id, const char* english) const;

    Init m_init;
    Hooks m_hooks;
    int m_closeOption;
    int m_remind;
    bool m_initialising = false;
};

}  // namespace zor::app
