#include "app/ZorMainWnd.h"

#include "app/AppMessages.h"
#include "app/ZorMainWndNames.h"

#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "config/AppFeature.h"
#include "config/DeviceFeature.h"
#include "device/DevicePresence.h"
#include "ui/CustomControls.h"
#include "update/gui/UpdateController.h"

namespace zor::app {

// ---------------------------------------------------------------- the message table

namespace {

constexpr int kInitFallbackMs = 300;

// A route to a handler of the window, or of one of the parts it owns.
template <auto handler>
long long Own(CZorMainWnd& window, const WindowMessage& m) {
    (window.*handler)(m);
    return 0;
}
template <auto part, auto handler>
long long Via(CZorMainWnd& window, const WindowMessage& m) {
    auto& object = *(window.*part);
    if constexpr (std::is_void_v<decltype((object.*handler)(m))>) {
        (object.*handler)(m);
        return 0;
    } else {
        return (object.*handler)(m);
    }
}

}  // namespace

// Every message the window routes (standard, library and custom ones), in number order, with
// its handler and the part of the program it belongs to.
const std::vector<CZorMainWnd::Route>& CZorMainWnd::Routes() {
    using W = CZorMainWnd;
    static const std::vector<Route> routes = {
        {kWmMove, &Own<&W::OnMove>, "main window: keeps the message box and the apply progress centred"},
        {kWmActivate, &Own<&W::OnActivate>, "device presence: examine the connection again"},
        {kWmClose, &Via<&W::m_behaviour, &WindowBehaviour::OnClose>, "close, tray and exit"},
        {kWmMouseActivate, &Via<&W::m_pages, &PageHost::ForKeyPage>, "key page (hover pop-up)"},
        {kWmInputLangChange, &Via<&W::m_pages, &PageHost::ForMacroEditor>,
         "macro editor (recorder key state)"},
        {kWmKeyDown, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (recording)"},
        {kWmKeyUp, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (recording)"},
        {kWmSysKeyDown, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (recording)"},
        {kWmSysKeyUp, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (recording)"},
        {kWmSysCommand, &Via<&W::m_behaviour, &WindowBehaviour::OnSysCommand>,
         "close, tray and exit (minimise)"},
        {kWmTimer, &Via<&W::m_presence, &PresenceDisplay::OnTimer>, "battery timer"},
        {kWmMouseMove, &Via<&W::m_pages, &PageHost::ForKeyPage>, "key page (hover pop-up)"},
        {kWmLButtonDown, &Via<&W::m_pages, &PageHost::ForMacroEditor>,
         "macro editor and key page hit-testing"},
        {kWmLButtonUp, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (recording)"},
        {kWmRButtonUp, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (group menu)"},
        {kWmMouseWheel, &Own<&W::OnMouseWheel>, "main window: ends edit focus"},
        {kWmDeviceChange, &Via<&W::m_presence, &PresenceDisplay::OnHotplug>, "device presence: hot-plug"},
        {kMsgTrayIcon, &Via<&W::m_behaviour, &WindowBehaviour::OnTrayIcon>, "tray icon"},
        {kMsgMenuClick, &Via<&W::m_behaviour, &WindowBehaviour::OnMenuClick>, "tray menu"},
        {kMsgPopColor, &Via<&W::m_pages, &PageHost::OnPopColour>, "colour picker"},
        {kMsgMacroEventSet, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro event pop-up"},
        {kMsgKeyPopSetValue, &Via<&W::m_pages, &PageHost::ForKeyPage>, "key page (key pop-up)"},
        {kMsgRecorderKeyUp, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (recorder)"},
        {kMsgDeviceDpiChanged, &Via<&W::m_pages, &PageHost::OnDeviceDpiChanged>, "DPI page"},
        {kMsgDeviceProfileChanged, &Via<&W::m_run, &RunDisplay::OnDeviceProfileChanged>,
         "apply pipeline (profile switch)"},
        {kMsgDeviceConfig, &Own<&W::OnDeviceConfig>, "configuration document"},
        {kMsgMacroEventCancel, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro event pop-up"},
        {kMsgStartUpdater, &Own<&W::OnStartUpdater>, "version check and updater"},
        {kMsgLanguageChanged, &Own<&W::OnLanguageChanged>, "language"},
        {kMsgDeviceLightChanged, &Via<&W::m_pages, &PageHost::OnDeviceLightChanged>, "lighting page"},
        {kMsgDeviceRateChanged, &Via<&W::m_pages, &PageHost::OnDeviceRateChanged>, "DPI page (report rate)"},
        {kMsgSilentStart, &Via<&W::m_behaviour, &WindowBehaviour::OnSilentStart>, "silent start"},
        {kMsgMaxDataWarn, &Own<&W::OnMaxDataWarn>, "message box"},
        {kMsgMacroReload, &Via<&W::m_pages, &PageHost::ForMacroEditor>, "macro editor (reload)"},
        {kMsgApply, &Via<&W::m_run, &RunDisplay::OnApply>, "apply pipeline"},
        {kMsgReadDeviceState, &Via<&W::m_run, &RunDisplay::OnReadDeviceState>, "device-state refresh"},
        {kMsgApplyEnd, &Via<&W::m_run, &RunDisplay::OnApplyEnd>, "apply pipeline (end of run)"},
        {kMsgSettingClosed, &Via<&W::m_behaviour, &WindowBehaviour::OnSettingClosed>, "settings window"},
        {kMsgApplyOverlay, &Via<&W::m_run, &RunDisplay::OnApplyOverlay>, "apply pipeline (overlay)"},
        {kMsgMsgBoxHideToTray, &Via<&W::m_behaviour, &WindowBehaviour::OnMsgBoxHideToTray>,
         "close, tray and exit"},
        {kMsgApplyProgress, &Via<&W::m_run, &RunDisplay::OnApplyProgress>, "apply pipeline (progress)"},
        {kMsgSavePowerChanged, &Via<&W::m_run, &RunDisplay::OnPowerChanged>, "power page"},
        {kMsgSleepTimeChanged, &Via<&W::m_run, &RunDisplay::OnPowerChanged>, "power page"},
        {kMsgSensorSwitchesChanged, &Via<&W::m_run, &RunDisplay::OnPowerChanged>, "power page"},
        {kMsgLiftOffChanged, &Via<&W::m_run, &RunDisplay::OnPowerChanged>, "power page"},
        {kMsgRefreshDevicePages, &Own<&W::OnRefreshDevicePages>, "device presence display"},
        {kMsgBleEvent, &Via<&W::m_presence, &PresenceDisplay::OnBleEvent>, "BLE events"},
        {kMsgPdTimeChanged, &Via<&W::m_run, &RunDisplay::OnPowerChanged>, "power page"},
        {kMsgRecordKey, &Via<&W::m_pages, &PageHost::ForKeyPage>, "key page (key recording)"},
        {kMsgMoveWakeChanged, &Via<&W::m_run, &RunDisplay::OnPowerChanged>, "power page"},
        {kMsgDeviceStageSwitch, &Via<&W::m_pages, &PageHost::OnStageSwitch>, "DPI page (stage switch)"},
        {kMsgCloseWndGone, &Via<&W::m_behaviour, &WindowBehaviour::OnCloseWndGone>, "close dialog"},
        {kMsgCloseConfig, &Via<&W::m_behaviour, &WindowBehaviour::OnCloseConfig>, "close dialog"},
        {kMsgCloseAct, &Via<&W::m_behaviour, &WindowBehaviour::OnCloseAct>, "close dialog"},
        {kMsgMacroKeyTexts, &Via<&W::m_pages, &PageHost::OnMacroKeyTexts>, "macro editor (key texts)"},
        {kMsgShortPressChanged, &Via<&W::m_run, &RunDisplay::OnPowerChanged>, "power page"},
        {kMsgStateReadDone, &Via<&W::m_run, &RunDisplay::OnStateReadDone>,
         "device-state refresh (read finished)"},
        {kMsgChargeCounterRead, &Via<&W::m_run, &RunDisplay::OnChargeCounterRead>,
         "settings window (charge counter read finished)"},
    };
    return routes;
}

const std::vector<MessageOwner>& MessageOwners() {
    static const std::vector<MessageOwner> owners = [] {
        using W = CZorMainWnd;
        std::vector<MessageOwner> list;
        for (const W::Route& route : W::Routes()) list.push_back({route.message, route.owner, true});
        return list;
    }();
    return owners;
}

long long CZorMainWnd::HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) {
    for (const Route& route : Routes()) {
        if (route.message != msg) continue;
        const long long result = route.handler(*this, {msg, wParam, lParam, MessagePayload(), handled});
        emit messageRouted(msg, wParam, lParam, MessagePayload());
        return result;
    }
    if (msg >= kFirstAppMessage && msg <= kLastAppMessage) DebugF("message %d has no owner; dropped\n", msg);
    return 0;
}

// ---------------------------------------------------------------- construction and start-up

CZorMainWnd::CZorMainWnd(AppContext context)
    : m_context(std::move(context)),
      m_sink(this),
      m_model(m_context.programFolder),
      m_language(m_context.programFolder) {
    control::DeviceStackOptions options;
    options.programFolder = m_context.programFolder;
    options.virtualMouse = m_context.virtualMouse;
    options.virtualKind = m_context.virtualKind;
    options.sleeper = m_context.sleeper;
    options.trace = m_frames.Sink();
    options.lockHolder = "zormouse";
    m_stack = std::make_unique<control::DeviceStack>(options, m_sink);
    m_scheduler = std::make_unique<control::RunScheduler>(*m_stack, m_model, m_events);
    m_update = std::make_unique<update::UpdateController>(m_context.programFolder, this);
    PresenceDisplay::Hooks presence;
    presence.refreshPages = [this] { m_pages->Refresh(); };
    presence.startRun = [this](RunMode mode) { StartRun(mode); };
    presence.selectDevice = [this] { SelectDevice(); };
    presence.closeSettings = [this] { m_behaviour->CloseSettings(); };
    presence.hiddenToTray = [this] { return m_behaviour->HiddenToTray(); };
    m_presence = std::make_unique<PresenceDisplay>(
        PresenceDisplay::Parts{*this, m_context, *m_stack, *m_scheduler, m_sink, m_notices},
        std::move(presence));
    WindowBehaviour::Hooks behaviour;
    behaviour.save = [this] {
        m_model.Save();
        if (MacroPage* macro = m_pages->MacroIfBuilt()) macro->FlushSaves();
    };
    behaviour.quitting = [this] {
        m_presence->StopBatteryTimer();
        m_fonts.RemoveAll();
    };
    behaviour.refreshPresence = [this] { m_presence->Refresh(); };
    behaviour.showRun = [this] { m_run->ShowRunning(); };
    behaviour.menuItem = [this](const QString& item) { m_pages->OnMenuItem(item); };
    behaviour.appProfiles = [this]() -> AppProfileFollower& { return *m_appProfiles; };
    m_behaviour = std::make_unique<WindowBehaviour>(
        WindowBehaviour::Parts{*this, m_context, *m_stack, *m_scheduler, m_notices, m_language},
        std::move(behaviour));
    PageHost::Hooks pages;
    pages.resetToFactory = [this] { return ResetToFactory(); };
    pages.applyEdits = [this] {
        if (ChangedOutside()) return;
        if (m_model.SaveAndAnnounce(&m_events).changedOnDisk) {
            m_outside->TakeChanges();
            TellChangedOutside();
            return;
        }
        // Bound macros edited on the macro page go out with this run, each on its keys.
        if (MacroPage* macro = m_pages->MacroIfBuilt(); macro != nullptr && macro->DeviceChangesPending())
            m_scheduler->Flags().macroResend = macro->ChangedBoundMacros();
        m_run->StartRun(RunMode::Push, true);
    };
    pages.imported = [this] {
        LoadModel();
        PushWithNewProfileIds();
    };
    pages.singleWrite = [this](std::optional<SingleSetting> single, ApplyKind kind) {
        m_run->RequestSingleWrite(single, kind);
    };
    m_pages = std::make_unique<PageHost>(
        PageHost::Parts{*this, m_context, *m_stack, m_model, *m_scheduler, m_language, m_notices},
        std::move(pages));
    RunDisplay::Hooks run;
    run.refreshPages = [this] { m_pages->Refresh(); };
    run.modelReloaded = [this] { ApplyModelToView(); };
    run.documentChanged = [this] { return ChangedOutside(); };
    run.runFinished = [this](const control::RunResult& result) {
        // A change of the files that came during the run is taken now; the run's own save was
        // refused when it was the document's file.
        m_outside->RunEnded();
        if (result.saved.changedOnDisk) {
            m_outside->TakeChanges();
            TellChangedOutside();
        }
        if (MacroPage* macro = m_pages->MacroIfBuilt(); macro != nullptr && !result.macrosSent.empty())
            macro->MacrosSent(result.macrosSent);
        emit runEnded(result);
        m_appProfiles->RunEnded();
        emit applyFinished();
    };
    run.stateRead = [this] {
        m_outside->RunEnded();
        emit deviceStateRead();
    };
    run.documentUnread = [this] { OfferDocumentChoice(); };
    run.readBackFailed = [this] {
        m_notices.ShowInfo(m_notices.Text("Error"), m_notices.Text("ConfigNoMouse"));
    };
    run.chargeCounterRead = [this](int count) { m_behaviour->ShowChargeCounter(count); };
    m_run = std::make_unique<RunDisplay>(
        RunDisplay::Parts{*this, *m_stack, m_model, *m_scheduler, *m_presence, m_notices}, std::move(run));
    OutsideChanges::Hooks outside;
    outside.runOnMouse = [this] { return m_scheduler->DeviceBusy(); };
    // Read again as after an import; a new document is pushed as an import is: the mouse
    // holds what the file holds, and every later run sends from it.
    outside.configChanged = [this](bool document) {
        LoadModel();
        if (document && m_model.DocumentLoaded()) PushWithNewProfileIds();
    };
    outside.macrosChanged = [this] {
        m_model.macros.Reload();
        m_model.doc.RefreshMacroLabels(m_model.macros, m_model.catalog, m_model.keys);
        m_sink.post(kMsgMacroReload, 1, 0);  // the macro page shows the library read again
        m_pages->Refresh();
    };
    outside.settingsChanged = [this] { m_pages->Refresh(); };
    m_outside = std::make_unique<OutsideChanges>(m_model, m_context.programFolder, std::move(outside));
    AppProfileFollower::Hooks follow;
    follow.activeProfile = [this] { return m_model.Profile(); };
    follow.busy = [this] { return m_scheduler->RunInProgress() || m_scheduler->Flags().profileChanged; };
    follow.select = [this](int profile) {
        // A document that could not be read waits for the user's choice in its notice; a focus
        // change must not bring that notice up again.
        if (m_model.DocumentLoaded()) m_pages->SelectProfile(profile);
    };
    m_appProfiles =
        std::make_unique<AppProfileFollower>(paths::AppProfiles(m_context.programFolder), std::move(follow));
}

CZorMainWnd::~CZorMainWnd() {
    m_presence->StopTimers();
    {
        QtMessageSink::StoppingScope stopping(m_sink);
        m_scheduler.reset();  // joins a run or read still on the device
        m_stack->Shutdown();
    }
    m_sink.SetReceiver(nullptr);
    if (CResourceManager::GetInstance().GetTextQueryInterface() == &m_language)
        CResourceManager::GetInstance().SetTextQueryInterface(nullptr);
    m_behaviour.reset();  // the close dialog and the settings window with it
}

std::filesystem::path CZorMainWnd::SetIniPath() const {
    return paths::SetIni(m_context.programFolder);
}

CControlUI* CZorMainWnd::CreateControl(const QString& className) {
    if (className == QLatin1String("VerticalLayoutEx")) return new CVerticalLayoutExUI();
    if (className == QLatin1String("AnimLayout")) return new AnimLayout();
    return LightingPage::CreateControl(className);
}

void CZorMainWnd::InitWindow() {
    m_behaviour->LoadIcon();
    const IniFile set(SetIniPath());
    const int language = ui::ProgramLanguage(SetIniPath());
    for (const std::string& line : set.GetSection("PublicLed")) DebugF("PublicLed %s\n", line);
    m_fonts.LoadTable(paths::LanguageFolder(m_context.programFolder) / "ExFont.json");
    m_fonts.InstallAll(m_context.programFolder);
    m_language.SetHooks({[this] {
                             auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"));
                             return tab ? tab->GetCurSel() : 0;
                         },
                         [] { return true; }, nullptr});
    CResourceManager::GetInstance().SetTextQueryInterface(&m_language);
    m_language.Apply(language, m_pm, this, &m_behaviour->Tray(), m_behaviour->Icon());
    if (auto* dot = FindControl(QStringLiteral("mainwnd_red_point"))) dot->SetVisible(false);
    m_pages->RetextProfileList();
    m_pages->Build();
}

void CZorMainWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("windowinit")) {
        // The device work of start-up (catalog, matching, model, listeners) runs once the first
        // frame is on the screen, so the window appears at once; a window that is not painted
        // soon (started minimised) starts it anyway.
        QTimer::singleShot(kInitFallbackMs, this, [this] { StartInit(); });
        return;
    }
    if (msg.sType == QLatin1String("pagebuilt")) {
        m_pages->OnPageBuilt(msg, m_initStarted);
        return;
    }
    m_pages->Notify(msg);
    if (msg.sType == QLatin1String("tabselect") && msg.pSender &&
        msg.pSender->GetName() == QLatin1String("tab_main")) {
        CResourceManager::GetInstance().SetTextQueryInterface(&m_language);
        CResourceManager::GetInstance().ReloadText();
    }
    if (msg.sType == QLatin1String("click")) OnClickNotify(msg);
    if (msg.sType == QLatin1String("selectchanged")) m_pages->ShowSettingsPage(msg);
    if (msg.sType == QLatin1String("itemselect") && msg.pSender &&
        msg.pSender->GetName() == QLatin1String("btn_Mouse_SelProfile"))
        m_pages->SelectProfile(static_cast<int>(msg.wParam));
    WindowImplBase::Notify(msg);
}

void CZorMainWnd::paintEvent(QPaintEvent* event) {
    WindowImplBase::paintEvent(event);
    if (!m_initStarted)
        QMetaObject::invokeMethod(
            this, [this] { StartInit(); }, Qt::QueuedConnection);
}

void CZorMainWnd::StartInit() {
    if (m_initStarted) return;
    m_initStarted = true;
    OnWindowInit();
}

void CZorMainWnd::OnWindowInit() {
    m_model.LoadSources();
    m_pages->Macro().Rebuild();
    m_presence->Home().SetResourcePrefix(GetResourcePrefix());
    m_presence->Home().ApplyLayout();
    m_stack->Presence().StartWorker();
    m_stack->LoadCatalog();
    m_presence->Home().BuildTiles(m_stack->Entries());
    m_stack->StartHotplug([this](const HotplugEvent& event) {
        const qintptr ids = (qintptr(event.vendorId) << 16) | event.productId;
        PostMessageTo(this, kWmDeviceChange, event.kind == HotplugKind::Arrival ? 1 : 0, ids);
    });
    SelectDevice();
    m_presence->AttachBle();
    if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(0);
    if (auto* nav = Find<COptionUI>(QStringLiteral("btn_Null"))) nav->Selected(true, false);
    PostMessageTo(this, kMsgSilentStart);
    {
        QtMessageSink::StoppingScope stopping(m_sink);
        m_stack->Presence().StartListeners();
    }
    const IniFile set(SetIniPath());
    m_behaviour->Start(set);
    const AppFeature feature = LoadAppFeature(m_context.programFolder);
    if (SkinFolderOf(GetResourcePrefix()) == QString::fromStdString(feature.preResPath2))
        if (auto* skin = Find<COptionUI>(QStringLiteral("ChangeSkin"))) skin->Selected(true, false);
    m_presence->Refresh();
    m_appProfiles->WatchX11();
}

// The device selection ("ClickDevice"): the first found device, its model, its state.
void CZorMainWnd::SelectDevice() {
    m_stack->Presence().AutoSelect();  // asks for the state read (2053)
    // Until a report or a read says otherwise the receiver's link is unknown, so that the first
    // report of either state counts as a change.
    if (m_stack->Presence().ConnectionKind() == kConnectionReceiver) m_stack->Presence().SetReceiverState(-1);
    LoadModel();
    m_presence->Home().UpdateTiles(m_stack->Entries(), m_stack->Presence().Selected());
    if (const DeviceEntry* entry = m_stack->SelectedEntry())
        if (auto* name = FindControl(QStringLiteral("lab_home_devname")))
            name->SetText(QString::fromStdString(entry->displayName));
}

void CZorMainWnd::LoadModel() {
    const int chip = m_model.chip;
    m_model.LoadModel(m_stack->SelectedEntry(), m_stack->Link().bleMode.load() != 0, [chip] { return chip; });
    ApplyModelToView();
    // Asked once the window is up (and the device selection done), not in the middle of it.
    if (!m_model.DocumentLoaded())
        QMetaObject::invokeMethod(
            this, [this] { OfferDocumentChoice(); }, Qt::QueuedConnection);
}

bool CZorMainWnd::ChangedOutside() {
    if (!m_outside->TakeChanges()) return false;
    TellChangedOutside();
    return true;
}

void CZorMainWnd::TellChangedOutside() {
    m_notices.ShowInfo(m_notices.Text("Tip"), m_notices.Text("ConfigChangedOutside"));
}

// The model in use reaches the command set, the listeners' key map and the pages.
void CZorMainWnd::ApplyModelToView() {
    m_stack->Commands().SetModel(m_model.Model());
    std::map<int, int> keySlots, ledModes;
    LoadKeySlotMap(m_model.ModelFolder(), keySlots, ledModes);
    m_stack->View().SetKeySlotMap(keySlots);
    m_pages->SetModel();
    m_pages->Refresh();
    m_outside->Watch();
}

void CZorMainWnd::OnClickNotify(TNotifyUI& msg) {
    if (msg.pSender == nullptr) return;
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("btn_close"))
        m_behaviour->CloseRequest();
    else if (name == QLatin1String("btn_min"))
        m_behaviour->Minimise();
    else if (name == QLatin1String("guideButton"))
        m_behaviour->OpenWebPage(QStringLiteral("/orvmanual/"));
    else if (name == QLatin1String("MacroShareButton"))
        m_behaviour->OpenWebPage(QStringLiteral("/orvmacro/Macro.html"));
    else if (name == QLatin1String("btn_set")) {
        m_behaviour->OpenSettings();
    } else if (name == QLatin1String("ChangeSkin")) {
        const AppFeature feature = LoadAppFeature(m_context.programFolder);
        bool switched = false;
        SwitchSkin(AppFeaturePath(m_context.programFolder), QString::fromStdString(feature.preResPath1),
                   QString::fromStdString(feature.preResPath2), &switched);
        if (switched) {
            CPaintManagerUI::ReloadSkin();
            m_presence->Home().SetResourcePrefix(GetResourcePrefix());
            m_presence->ShowConnection();
            m_pages->Refresh();
        }
    } else if (name.contains(QLatin1String("btn_display"))) {
        SelectDevice();
        if (auto* nav = Find<COptionUI>(QStringLiteral("btn_Null"))) nav->Selected(true, false);
    } else if (name == QLatin1String("btn_Mac")) {
        m_model.Save();
        if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(1);
        m_pages->Macro().SetShown(true);
    } else if (name == QLatin1String("btn_Null")) {
        m_pages->Macro().SetShown(false);
        if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(0);
    } else if (name == QLatin1String("btn_Mouse_More")) {
        const QPoint at = msg.pSender->mapToGlobal(QPoint(0, msg.pSender->height() + 4));
        CMenuWnd::CreateMenu(this, QStringLiteral("mouse_exmenu.xml"), at, msg.pSender);
    } else if (name == QLatin1String("modal_popwnd_btn")) {
        if (m_update->ShowVersionWindow()) m_behaviour->Exit();  // the updater took over
    }
}

// ---------------------------------------------------------------- apply pipeline

void CZorMainWnd::PushWithNewProfileIds() {
    m_scheduler->PrepareFullPush();
    StartRun(RunMode::Synchronise);
}

void CZorMainWnd::ReloadAndPushAll() {
    LoadModel();
    PushWithNewProfileIds();
}

control::OperationResult CZorMainWnd::ResetAndPush() {
    const control::OperationResult reset = m_scheduler->FactoryReset();
    if (!reset.ok) return reset;
    ApplyModelToView();
    StartRun(RunMode::Synchronise);
    return reset;
}

bool CZorMainWnd::ResetToFactory() {
    const control::OperationResult reset = ResetAndPush();
    if (!reset.ok) {
        // Nothing was changed: no file, no option, no identifier; the user learns why.
        DebugF("factory reset refused: %s\n", reset.error);
        m_notices.Ask("Error", m_notices.Text("ResetFailed") + QStringLiteral("\n") +
                                   QString::fromStdString(reset.error));
        return false;
    }
    return true;
}

void CZorMainWnd::OfferDocumentChoice() {
    if (m_choosing || !m_model.Unread()) return;
    m_choosing = true;
    const control::UnreadDocument unread = *m_model.Unread();
    DebugF("%s not used (%s): nothing is sent until the user chooses\n", unread.file.string(),
           unread.missing ? "missing" : unread.reason);
    const Notices::DocumentChoice choice = m_notices.AskUnreadDocument(unread);
    m_choosing = false;
    if (m_model.DocumentLoaded()) return;  // the file was replaced meanwhile (an import, a reset)
    if (choice == Notices::DocumentChoice::RestoreFactory) {
        const control::OperationResult restored = m_scheduler->RestoreFactoryDocument();
        if (!restored.ok) {
            m_notices.Ask("Error", m_notices.Text("ResetFailed") + QStringLiteral("\n") +
                                       QString::fromStdString(restored.error));
            return;
        }
        ApplyModelToView();
        StartRun(RunMode::Synchronise);
    } else if (choice == Notices::DocumentChoice::ReadFromMouse) {
        if (!m_presence->Connected()) {
            m_notices.ShowInfo(m_notices.Text("Error"), m_notices.Text("ConfigNoMouse"));
            return;
        }
        m_run->StartReadBack();
    }
}

}  // namespace zor::app
