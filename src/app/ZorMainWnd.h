// CZorMainWnd: the program's one top-level window, a view over the control layer. It owns the
// control layer's objects (device stack, model session, run scheduler) and the parts that show
// them: the pages (PageHost), the presence display, the run display, the window's behaviour
// (close, tray, settings window) and the notices. Its one message table sends each window message
// to the handler of the window or of the part that owns it. Device work runs on the device worker
// and reports back by message; the window never waits for the mouse.
#pragma once

#include <memory>

#include "app/AppContext.h"
#include "app/AppMessages.h"
#include "app/AppProfileFollower.h"
#include "app/FrameCapture.h"
#include "app/Notices.h"
#include "app/OutsideChanges.h"
#include "app/PageHost.h"
#include "app/PresenceDisplay.h"
#include "app/QtMessageSink.h"
#include "app/RunDisplay.h"
#include "app/WindowBehaviour.h"
#include "app/WindowMessage.h"
#include "config/MouseConfig.h"
#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "control/RunScheduler.h"
#include "macro/MacroStore.h"
#include "settings/ApplyPipeline.h"
#include "ui/Language.h"
#include "ui/WindowImplBase.h"

namespace zor::update {
class UpdateController;
}

namespace zor::app {

class CZorMainWnd : public ui::WindowImplBase {
    Q_OBJECT
public:
    explicit CZorMainWnd(AppContext context);
    ~CZorMainWnd() override;

    QString GetSkinFile() override { return QStringLiteral("MainWnd.xml"); }
    QString GetWindowClassName() const override { return m_context.instanceName; }
    void InitWindow() override;
    void Notify(ui::TNotifyUI& msg) override;
    void OnClick(ui::TNotifyUI&) override {}
    void OnFinalMessage() override {}
    ui::CControlUI* CreateControl(const QString& className) override;
    long long HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) override;

    // Restore from the tray or from minimised, in front (also what a second start asks for).
    void Restore(bool readState = false) { m_behaviour->Restore(readState); }
    void HideToTray() { m_behaviour->HideToTray(); }
    void Exit() { m_behaviour->Exit(); }

    // State for tests and the virtual mouse window.
    control::DeviceStack& Stack() { return *m_stack; }
    control::ModelSession& Model() { return m_model; }
    control::RunScheduler& Scheduler() { return *m_scheduler; }
    MouseConfigDocument& Document() { return m_model.doc; }
    MacroStore& Macros() { return m_model.macros; }
    DpiPage& Dpi() { return m_pages->Dpi(); }
    update::UpdateController& Updates() { return *m_update; }
    KeyPage& Keys() { return m_pages->Keys(); }
    LightingPage& Light() { return m_pages->Light(); }
    CPopPush* DpiPopup() { return m_pages->DpiPopup(); }  // null until first shown
    MacroPage& Macro() { return m_pages->Macro(); }
    PowerPage& Power() { return m_pages->Power(); }
    int PagesProfile() const { return m_model.Profile(); }
    AppProfileFollower& AppProfiles() { return *m_appProfiles; }
    // The focused application as the desktop names it (a Wayland app_id or a desktop-file id),
    // for desktops whose focus the program cannot watch itself.
    void FocusedApplication(const QString& appId) { m_appProfiles->FocusedApplication(appId.toStdString()); }
    bool ApplyRunning() const { return m_scheduler->RunInProgress(); }
    bool RefreshRunning() const { return m_scheduler->ReadInProgress(); }
    bool HiddenToTray() const { return m_behaviour->HiddenToTray(); }
    bool BatteryTimerRunning() const { return m_presence->BatteryTimerRunning(); }
    int BleFailures() const { return m_presence->BleFailures(); }
    bool BleRetryPending() const { return m_presence->BleRetryPending(); }
    ui::CMsgWnd* MessageBox() const { return m_notices.Box(); }
    ApplyFlags& Flags() { return m_scheduler->Flags(); }
    std::filesystem::path ModelFolder() const { return m_model.ModelFolder(); }
    std::filesystem::path SetIniPath() const;
    int CloseOption() const { return m_behaviour->CloseOption(); }
    int Remind() const { return m_behaviour->Remind(); }
    // Starts a run (mode 1: synchronise; 0: push the stored kind) and shows its progress.
    void StartRun(RunMode mode) { m_run->StartRun(mode); }
    // Save-and-announce: the document, the chip-reset labels, the macro usage list of the model
    // and the macro library, then message 2047.
    ConfigResult SaveAndAnnounce() { return m_model.SaveAndAnnounce(&m_events); }
    // After an import or a reset: four new profile identifiers, and the next run pushes all.
    void PushWithNewProfileIds();
    // The "Reset" menu command: the factory configuration and options, pushed to the mouse.
    // False (nothing changed, the user told why) when the factory files cannot be used.
    bool ResetToFactory();
    // The factory reset without asking anyone: refused (nothing changed) when the factory files
    // cannot be used; otherwise shown and pushed as the menu's reset is.
    control::OperationResult ResetAndPush();
    // A configuration was put into the model folder (an import): loaded, shown, and pushed with
    // new profile identifiers.
    void ReloadAndPushAll();
    // The pages show the document and the profile in use again.
    void RefreshPages() { m_pages->Refresh(); }
    PageHost& Pages() { return *m_pages; }
    // Counted as linked by the presence display; the last battery byte read (-1 none yet).
    bool Connected() const { return m_presence->Connected(); }
    int Battery() const { return m_presence->Home().Battery(); }
    // The device stack's reports as trace lines, while a call asks for them.
    FrameCapture& Frames() { return m_frames; }
    // The model's configuration file could not be read: the notice with its two ways on (the
    // factory document, pushed; or the document rebuilt from the mouse, nothing pushed). Until
    // one is chosen no run sends anything.
    void OfferDocumentChoice();

signals:
    void applyFinished();
    // The end of every run, with what it did.
    void runEnded(const zor::control::RunResult& result);
    // A window message went through the message table (after its handler).
    void messageRouted(unsigned message, qintptr wParam, qintptr lParam, const QVariant& payload);
    void deviceStateRead();

private:
    using Handler = long long (*)(CZorMainWnd& window, const WindowMessage& message);
    struct Route {
        unsigned message;
        Handler handler;
        const char* owner;  // the part of the program the message belongs to
    };
    static const std::vector<Route>& Routes();
    friend const std::vector<MessageOwner>& MessageOwners();

    // windowinit and the device selection.
    void paintEvent(QPaintEvent* event) override;
    void StartInit();
    void OnWindowInit();
    void SelectDevice();
    void LoadModel();
    void ApplyModelToView();
    // Another program changed the document's file: it is read again, the edit the user just made
    // to the old one is dropped, and the user is told.
    bool ChangedOutside();
    void TellChangedOutside();
    void OnClickNotify(ui::TNotifyUI& msg);

    // Message handlers of the window itself (the table in ZorMainWnd.cpp names each one's owner).
    void OnMove(const WindowMessage&) { m_notices.Recentre(); }
    void OnActivate(const WindowMessage& message);
    void OnMouseWheel(const WindowMessage& message);
    void OnDeviceConfig(const WindowMessage& message);
    void OnLanguageChanged(const WindowMessage& message);
    void OnMaxDataWarn(const WindowMessage& message);
    void OnRefreshDevicePages(const WindowMessage& message);
    void OnStartUpdater(const WindowMessage& message);

    AppContext m_context;
    FrameCapture m_frames;  // before the stack, whose transport reports to it
    QtMessageSink m_sink;
    WindowControlEvents m_events{m_sink};
    std::unique_ptr<control::DeviceStack> m_stack;
    control::ModelSession m_model;
    std::unique_ptr<control::RunScheduler> m_scheduler;
    std::unique_ptr<update::UpdateController> m_update;
    ui::LanguageManager m_language;
    ui::FontInstaller m_fonts;
    Notices m_notices{*this, m_language};
    std::unique_ptr<PresenceDisplay> m_presence;
    std::unique_ptr<WindowBehaviour> m_behaviour;
    std::unique_ptr<PageHost> m_pages;
    std::unique_ptr<RunDisplay> m_run;
    std::unique_ptr<OutsideChanges> m_outside;
    std::unique_ptr<AppProfileFollower> m_appProfiles;
    bool m_initStarted = false;
    bool m_choosing = false;  // the notice of an unread document is open
};

}  // namespace zor::app
