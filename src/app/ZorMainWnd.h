// CZorMainWnd: the program's one top-level window, a view over the control layer. It builds the
// main skin and the pages, turns control notifications and window messages into calls on the
// control layer (device stack, model session, run scheduler) and shows what they answer: pages,
// presence, progress, the tray icon and the dialogs. Device work runs on the device worker and
// reports back by message; the window never waits for the mouse.
#pragma once

#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <mutex>
#include <optional>

#include "app/AppContext.h"
#include "app/AppMessages.h"
#include "app/Notices.h"
#include "app/PageHost.h"
#include "app/PresenceDisplay.h"
#include "app/QtMessageSink.h"
#include "app/WindowBehaviour.h"
#include "app/WindowMessage.h"
#include "common/IniFile.h"
#include "config/MouseConfig.h"
#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "control/RunScheduler.h"
#include "macro/MacroStore.h"
#include "settings/ApplyPipeline.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/MenuTray.h"
#include "ui/WindowImplBase.h"

namespace zor::update {
class UpdateController;
}

namespace zor::app {

class Setting;

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
    control::DeviceStack& Hub() { return *m_hub; }
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
    bool ApplyRunning() const { return m_scheduler->RunInProgress(); }
    bool RefreshRunning() const { return m_scheduler->ReadInProgress(); }
    bool HiddenToTray() const { return m_behaviour->HiddenToTray(); }
    bool BatteryTimerRunning() const { return m_presence->BatteryTimerRunning(); }
    int BleFailures() const { return m_presence->BleFailures(); }
    bool BleRetryPending() const { return m_presence->BleRetryPending(); }
    ui::CMsgWnd* MessageBox() const { return m_notices.Box(); }
    ApplyFlags& Flags() { return m_scheduler->Flags(); }
    int ConnectionType() const;
    std::filesystem::path ModelFolder() const { return m_model.ModelFolder(); }
    std::filesystem::path SetIniPath() const;
    int CloseOption() const { return m_behaviour->CloseOption(); }
    int Remind() const { return m_behaviour->Remind(); }
    // Starts a run (mode 1: synchronise; 0: push the stored kind) and shows its progress.
    void StartRun(int mode);
    // Save-and-announce: the document, the chip-reset labels, the macro usage list of the model
    // and the macro library, then message 2047.
    void SaveAndAnnounce();
    // After an import or a reset: four new profile identifiers, and the next run pushes all.
    void PushWithNewProfileIds();
    // The "Reset" menu command: the factory configuration and options, pushed to the mouse.
    // False (nothing changed, the user told why) when the factory files cannot be used.
    bool ResetToFactory();

signals:
    void applyFinished();
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
    void OnClickNotify(ui::TNotifyUI& msg);
    // Says that the last run's frames did not all reach the mouse (or its replies were noise).
    void ShowApplyFailed();
    void ShowProgress(bool show, int mode);
    void FinishApply();
    void StartStateRead(int wParam, int lParam);
    // Whatever waited for the device (a read, a run) starts once it is free.
    void RunWaiting();

    // Message handlers (the table in ZorMainWnd.cpp names each one's owner).
    long long OnMove(qintptr, qintptr, bool&);
    long long OnActivate(qintptr, qintptr, bool&);
    long long OnMouseWheel(qintptr, qintptr, bool&);
    long long OnDeviceProfileChanged(qintptr, qintptr, bool&);
    long long OnDeviceConfig(qintptr, qintptr, bool&);
    long long OnLanguageChanged(qintptr, qintptr, bool&);
    long long OnMaxDataWarn(qintptr, qintptr, bool&);
    long long OnApply(qintptr, qintptr, bool&);
    long long OnReadDeviceState(qintptr, qintptr, bool&);
    long long OnApplyEnd(qintptr, qintptr, bool&);
    long long OnApplyOverlay(qintptr, qintptr, bool&);
    long long OnApplyProgress(qintptr, qintptr, bool&);
    long long OnPowerChanged(qintptr, qintptr, bool&);
    long long OnRefreshDevicePages(qintptr, qintptr, bool&);
    long long OnStateReadDone(qintptr, qintptr, bool&);
    long long OnStartUpdater(qintptr, qintptr, bool&);

    AppContext m_context;
    QtMessageSink m_sink;
    std::unique_ptr<control::DeviceStack> m_hub;
    control::ModelSession m_model;
    std::unique_ptr<control::RunScheduler> m_scheduler;
    std::unique_ptr<update::UpdateController> m_update;
    ui::LanguageManager m_language;
    ui::FontInstaller m_fonts;
    Notices m_notices{*this, m_language};
    std::unique_ptr<PresenceDisplay> m_presence;
    std::unique_ptr<WindowBehaviour> m_behaviour;
    std::unique_ptr<PageHost> m_pages;

    // Device state shown by the window.
    bool m_progressShown = false;
    bool m_initStarted = false;
    unsigned m_currentMessage = 0;
};

}  // namespace zor::app
