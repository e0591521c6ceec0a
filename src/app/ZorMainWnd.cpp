#include "app/ZorMainWnd.h"

#include "app/AppMessages.h"
#include "app/ZorMainWndNames.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "config/AppFeature.h"
#include "device/BleText.h"
#include "device/DevicePresence.h"
#include "device/KeyCode.h"
#include "macro/MacroUsage.h"
#include "settings/DpiRules.h"
#include "settings/KeyAssign.h"
#include "settings/PowerOptions.h"
#include "settings/gui/OnScreenKeyboard.h"
#include "ui/CustomControls.h"
#include "ui/LazyInclude.h"
#include "update/gui/UpdateController.h"

namespace zor::app {

namespace {

constexpr int kInitFallbackMs = 300;

}  // namespace

// ---------------------------------------------------------------- the message table

namespace {

// A route to a handler of the window, or of one of the parts it owns.
template <auto handler>
long long Own(CZorMainWnd& window, const WindowMessage& m) {
    return (window.*handler)(m.wParam, m.lParam, m.handled);
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
        {kWmMouseActivate, &Own<&W::ForKeyPage>, "key page (hover pop-up)"},
        {kWmInputLangChange, &Own<&W::ForMacroEditor>, "macro editor (recorder key state)"},
        {kWmKeyDown, &Own<&W::ForMacroEditor>, "macro editor (recording)"},
        {kWmKeyUp, &Own<&W::ForMacroEditor>, "macro editor (recording)"},
        {kWmSysKeyDown, &Own<&W::ForMacroEditor>, "macro editor (recording)"},
        {kWmSysKeyUp, &Own<&W::ForMacroEditor>, "macro editor (recording)"},
        {kWmSysCommand, &Via<&W::m_behaviour, &WindowBehaviour::OnSysCommand>,
         "close, tray and exit (minimise)"},
        {kWmTimer, &Via<&W::m_presence, &PresenceDisplay::OnTimer>, "battery timer"},
        {kWmMouseMove, &Own<&W::ForKeyPage>, "key page (hover pop-up)"},
        {kWmLButtonDown, &Own<&W::ForMacroEditor>, "macro editor and key page hit-testing"},
        {kWmLButtonUp, &Own<&W::ForMacroEditor>, "macro editor (recording)"},
        {kWmRButtonUp, &Own<&W::ForMacroEditor>, "macro editor (group menu)"},
        {kWmMouseWheel, &Own<&W::OnMouseWheel>, "main window: ends edit focus"},
        {kWmDeviceChange, &Via<&W::m_presence, &PresenceDisplay::OnHotplug>, "device presence: hot-plug"},
        {kMsgTrayIcon, &Via<&W::m_behaviour, &WindowBehaviour::OnTrayIcon>, "tray icon"},
        {kMsgMenuClick, &Via<&W::m_behaviour, &WindowBehaviour::OnMenuClick>, "tray menu"},
        {kMsgPopColor, &Own<&W::OnPopColour>, "colour picker"},
        {kMsgMacroEventSet, &Own<&W::ForMacroEditor>, "macro event pop-up"},
        {kMsgKeyPopSetValue, &Own<&W::ForKeyPage>, "key page (key pop-up)"},
        {kMsgRecorderKeyUp, &Own<&W::ForMacroEditor>, "macro editor (recorder)"},
        {kMsgDeviceDpiChanged, &Own<&W::OnDeviceDpiChanged>, "DPI page"},
        {kMsgDeviceProfileChanged, &Own<&W::OnDeviceProfileChanged>, "apply pipeline (profile switch)"},
        {kMsgDeviceConfig, &Own<&W::OnDeviceConfig>, "configuration document"},
        {kMsgMacroEventCancel, &Own<&W::ForMacroEditor>, "macro event pop-up"},
        {kMsgStartUpdater, &Own<&W::OnStartUpdater>, "version check and updater"},
        {kMsgLanguageChanged, &Own<&W::OnLanguageChanged>, "language"},
        {kMsgDeviceLightChanged, &Own<&W::OnDeviceLightChanged>, "lighting page"},
        {kMsgDeviceRateChanged, &Own<&W::OnDeviceRateChanged>, "DPI page (report rate)"},
        {kMsgSilentStart, &Via<&W::m_behaviour, &WindowBehaviour::OnSilentStart>, "silent start"},
        {kMsgMaxDataWarn, &Own<&W::OnMaxDataWarn>, "message box"},
        {kMsgMacroReload, &Own<&W::ForMacroEditor>, "macro editor (reload)"},
        {kMsgApply, &Own<&W::OnApply>, "apply pipeline"},
        {kMsgReadDeviceState, &Own<&W::OnReadDeviceState>, "device-state refresh"},
        {kMsgApplyEnd, &Own<&W::OnApplyEnd>, "apply pipeline (end of run)"},
        {kMsgSettingClosed, &Via<&W::m_behaviour, &WindowBehaviour::OnSettingClosed>, "settings window"},
        {kMsgApplyOverlay, &Own<&W::OnApplyOverlay>, "apply pipeline (overlay)"},
        {kMsgMsgBoxHideToTray, &Via<&W::m_behaviour, &WindowBehaviour::OnMsgBoxHideToTray>,
         "close, tray and exit"},
        {kMsgApplyProgress, &Own<&W::OnApplyProgress>, "apply pipeline (progress)"},
        {kMsgSavePowerChanged, &Own<&W::OnPowerChanged>, "power page"},
        {kMsgSleepTimeChanged, &Own<&W::OnPowerChanged>, "power page"},
        {kMsgSensorSwitchesChanged, &Own<&W::OnPowerChanged>, "power page"},
        {kMsgLiftOffChanged, &Own<&W::OnPowerChanged>, "power page"},
        {kMsgRefreshDevicePages, &Own<&W::OnRefreshDevicePages>, "device presence display"},
        {kMsgBleEvent, &Via<&W::m_presence, &PresenceDisplay::OnBleEvent>, "BLE events"},
        {kMsgPdTimeChanged, &Own<&W::OnPowerChanged>, "power page"},
        {kMsgRecordKey, &Own<&W::ForKeyPage>, "key page (key recording)"},
        {kMsgMoveWakeChanged, &Own<&W::OnPowerChanged>, "power page"},
        {kMsgDeviceStageSwitch, &Own<&W::OnStageSwitch>, "DPI page (stage switch)"},
        {kMsgCloseWndGone, &Via<&W::m_behaviour, &WindowBehaviour::OnCloseWndGone>, "close dialog"},
        {kMsgCloseConfig, &Via<&W::m_behaviour, &WindowBehaviour::OnCloseConfig>, "close dialog"},
        {kMsgCloseAct, &Via<&W::m_behaviour, &WindowBehaviour::OnCloseAct>, "close dialog"},
        {kMsgMacroKeyTexts, &Own<&W::OnMacroKeyTexts>, "macro editor (key texts)"},
        {kMsgShortPressChanged, &Own<&W::OnPowerChanged>, "power page"},
        {kMsgStateReadDone, &Own<&W::OnStateReadDone>, "device-state refresh (read finished)"},
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
        m_currentMessage = msg;
        return route.handler(*this, {msg, wParam, lParam, MessagePayload(), handled});
    }
    if (msg >= kFirstAppMessage && msg <= kLastAppMessage) DebugF("message %d has no owner; dropped\n", msg);
    return 0;
}

long long CZorMainWnd::ForKeyPage(qintptr wParam, qintptr lParam, bool& handled) {
    if (!m_keysPage) return 0;  // before the window is initialised
    switch (m_currentMessage) {
        case kMsgKeyPopSetValue:
            m_keysPage->OnPopSetValue(static_cast<int>(wParam));
            CResourceManager::GetInstance().ReloadText();
            handled = true;
            break;
        case kMsgRecordKey:
            m_keysPage->OnRecordKey(static_cast<unsigned>(wParam));
            break;
        case kWmMouseMove:
            m_keysPage->OnMouseMove(PointFromParam(lParam));
            break;
        case kWmMouseActivate:
            m_keysPage->ClearHover();
            break;
        default:
            break;
    }
    return 0;
}
long long CZorMainWnd::ForMacroEditor(qintptr wParam, qintptr lParam, bool& handled) {
    return m_macroPage ? m_macroPage->HandleMessage(m_currentMessage, wParam, lParam, handled) : 0;
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
    m_hub = std::make_unique<control::DeviceStack>(options, m_sink);
    m_scheduler = std::make_unique<control::RunScheduler>(*m_hub, m_model, m_sink);
    m_update = std::make_unique<update::UpdateController>(m_context.programFolder, this);
    PresenceDisplay::Hooks presence;
    presence.refreshPages = [this] { RefreshPages(); };
    presence.startRun = [this](int mode) { StartRun(mode); };
    presence.selectDevice = [this] { SelectDevice(); };
    presence.closeSettings = [this] { m_behaviour->CloseSettings(); };
    presence.hiddenToTray = [this] { return m_behaviour->HiddenToTray(); };
    m_presence = std::make_unique<PresenceDisplay>(
        PresenceDisplay::Parts{*this, m_context, *m_hub, *m_scheduler, m_sink, m_notices},
        std::move(presence));
    WindowBehaviour::Hooks behaviour;
    behaviour.save = [this] {
        SaveDocument();
        if (m_macroPage) m_macroPage->FlushSaves();
    };
    behaviour.quitting = [this] {
        m_presence->StopBatteryTimer();
        m_fonts.RemoveAll();
    };
    behaviour.refreshPresence = [this] { m_presence->Refresh(); };
    behaviour.showRun = [this] { ShowProgress(true, m_scheduler->Mode()); };
    behaviour.menuItem = [this](const QString& item) {
        CControlUI sender;
        sender.SetName(QStringLiteral("MouseDevice"));
        TNotifyUI note;
        note.sType = QStringLiteral("MyMenuClick");
        note.pSender = &sender;
        note.sText = item;
        RouteToPages(note);
    };
    m_behaviour = std::make_unique<WindowBehaviour>(
        WindowBehaviour::Parts{*this, m_context, *m_hub, *m_scheduler, m_notices, m_language},
        std::move(behaviour));
}

CZorMainWnd::~CZorMainWnd() {
    m_presence->StopTimers();
    {
        QtMessageSink::StoppingScope stopping(m_sink);
        m_scheduler.reset();  // joins a run or read still on the device
        m_hub->Shutdown();
    }
    m_sink.SetReceiver(nullptr);
    if (CResourceManager::GetInstance().GetTextQueryInterface() == &m_language)
        CResourceManager::GetInstance().SetTextQueryInterface(nullptr);
    m_behaviour.reset();  // the close dialog and the settings window with it
}

std::filesystem::path CZorMainWnd::SetIniPath() const {
    return paths::SetIni(m_context.programFolder);
}

int CZorMainWnd::ConnectionType() const {
    return m_hub->Presence().ConnectionKind();
}

CControlUI* CZorMainWnd::CreateControl(const QString& className) {
    if (className == QLatin1String("VerticalLayoutEx")) return new CVerticalLayoutExUI();
    if (className == QLatin1String("AnimLayout")) return new AnimLayout();
    return LightingPage::CreateControl(className);
}

void CZorMainWnd::InitWindow() {
    m_behaviour->LoadIcon();
    const IniFile set(SetIniPath());
    const int language = set.GetInt("Set", "Language");
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
    RetextProfileList();

    DpiPage::Hooks hooks;
    hooks.requestApply = [this](int kind, int profile, bool sync) {
        if (sync)
            SendMessageTo(this, kMsgApply, kind, profile);
        else
            PostMessageTo(this, kMsgApply, kind, profile);
    };
    hooks.busy = [this] { return m_scheduler->RunInProgress() || m_scheduler->Flags().profileChanged; };
    hooks.fireKeyResend = [this] { m_scheduler->Flags().fireKeyResend = true; };
    hooks.chooseColour = [this](std::uint32_t& colour) { return ChooseColour(colour); };
    hooks.openSystemMouseSettings = [this] { OpenSystemMouseSettings(); };
    m_dpi = std::make_unique<DpiPage>(m_pm, m_model.doc, std::move(hooks));
    CreateLightingParts();
    BuildKeyPage();
    CreateMacroPage();
    PowerPage::Hooks power;
    power.announce = [this](int message, int wParam) {
        SendMessageTo(this, static_cast<unsigned>(message), wParam, 0);
    };
    power.busy = [this] { return m_scheduler->RunInProgress() || m_scheduler->Flags().profileChanged; };
    m_powerPage = std::make_unique<PowerPage>(m_pm, SetIniPath(), std::move(power));
}

void CZorMainWnd::BuildKeyPage() {
    KeyPage::Hooks hooks;
    hooks.requestApply = [this](int kind, int profile, bool sync) {
        if (sync)
            SendMessageTo(this, kMsgApply, kind, profile);
        else
            PostMessageTo(this, kMsgApply, kind, profile);
    };
    hooks.busy = [this] { return m_scheduler->RunInProgress() || m_scheduler->Flags().profileChanged; };
    hooks.ble = [this] { return m_hub->Link().bleMode.load() != 0; };
    hooks.setCurrentKey = [this](int slot) { m_scheduler->SetCurrentKey(slot); };
    hooks.text = [this](const QString& id) { return m_language.QueryControlText(id, {}); };
    hooks.messageBox = [this](const QString& title, const QString& text) { m_notices.ShowInfo(title, text); };
    hooks.postSetValue = [this] { PostMessageTo(this, kMsgKeyPopSetValue, 1, 1); };
    hooks.sendRecordKey = [this](unsigned scan) { SendMessageTo(this, kMsgRecordKey, scan, 0); };
    hooks.startOnScreenKeyboard = [] { return StartOnScreenKeyboard(); };
    hooks.showPage = [this] {
        if (auto* nav = Find<COptionUI>(QStringLiteral("opt_nav_keys"))) nav->Selected(true);
    };
    m_keysPage = std::make_unique<KeyPage>(m_pm, this, m_model.doc, m_model.macros, m_model.catalog,
                                           m_model.keys, std::move(hooks));
    if (auto* nav = FindControl(QStringLiteral("opt_nav_keys"))) nav->SetVisible(true);
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
        ShowBuiltPage(msg);
        return;
    }
    RouteToPages(msg);
    if (msg.sType == QLatin1String("tabselect") && msg.pSender &&
        msg.pSender->GetName() == QLatin1String("tab_main")) {
        CResourceManager::GetInstance().SetTextQueryInterface(&m_language);
        CResourceManager::GetInstance().ReloadText();
    }
    if (msg.sType == QLatin1String("click")) OnClickNotify(msg);
    if (msg.sType == QLatin1String("selectchanged")) ShowSettingsPage(msg);
    if (msg.sType == QLatin1String("itemselect") && msg.pSender &&
        msg.pSender->GetName() == QLatin1String("btn_Mouse_SelProfile"))
        SelectProfile(static_cast<int>(msg.wParam));
    WindowImplBase::Notify(msg);
}

// The profile list's items in the language in use ("Profile 1" ...), the choice kept.
void CZorMainWnd::RetextProfileList() {
    auto* profiles = Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile"));
    const QString word = m_language.QueryControlText(QStringLiteral("ProfileItem"), {});
    if (profiles == nullptr || word.isEmpty()) return;
    const int selected = std::max(profiles->GetCurSel(), 0);
    profiles->RemoveAll();
    for (int p = 1; p <= kConfigProfiles; ++p) profiles->AddItem(QStringLiteral("%1 %2").arg(word).arg(p));
    profiles->SelectItem(selected, false);
}

// A page built the first time it is shown (lazy in the skin) gets the state the others got
// when the model was loaded.
void CZorMainWnd::ShowBuiltPage(TNotifyUI& msg) {
    auto* part = qobject_cast<CLazyIncludeUI*>(msg.pSender);
    if (part == nullptr) return;
    const QString source = part->GetSource();
    if (source == QLatin1String("page_light.xml"))
        RefreshLighting();
    else if (source == QLatin1String("page_power.xml") && m_powerPage)
        m_powerPage->Refresh();
    else if (source == QLatin1String("page_keys.xml") && m_keysPage)
        m_keysPage->Refresh();
    else if (source == QLatin1String("tab_mac.xml") && m_macroPage && m_initStarted)
        m_macroPage->Rebuild();
}

// The navigation options of the settings area ("opt_nav_<page>") each show the page of
// tab_settings named "page_<page>".
void CZorMainWnd::ShowSettingsPage(TNotifyUI& msg) {
    auto* option = qobject_cast<COptionUI*>(msg.pSender);
    if (option == nullptr || option->GetGroup() != QLatin1String("navigation_bar") || !option->IsSelected())
        return;
    const QString name = option->GetName();
    if (!name.startsWith(QLatin1String("opt_nav_"))) return;
    auto* tabs = Find<CContainerUI>(QStringLiteral("tab_settings"));
    if (tabs == nullptr) return;
    const QString page = QStringLiteral("page_") + name.mid(8);
    for (int i = 0; i < tabs->GetCount(); ++i)
        if (tabs->GetItemAt(i)->GetName() == page) tabs->SelectItem(i);
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
    m_macroPage->Rebuild();
    m_presence->Home().SetResourcePrefix(GetResourcePrefix());
    m_presence->Home().ApplyLayout();
    m_hub->Presence().StartWorker();
    m_hub->LoadCatalog();
    m_presence->Home().BuildTiles(m_hub->Entries());
    m_hub->StartHotplug([this](const HotplugEvent& event) {
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
        m_hub->Presence().StartListeners();
    }
    const IniFile set(SetIniPath());
    m_behaviour->Start(set);
    const AppFeature feature = LoadAppFeature(m_context.programFolder);
    if (SkinFolderOf(GetResourcePrefix()) == QString::fromStdString(feature.preResPath2))
        if (auto* skin = Find<COptionUI>(QStringLiteral("ChangeSkin"))) skin->Selected(true, false);
    m_presence->Refresh();
}

// The device selection ("ClickDevice"): the first found device, its model, its state.
void CZorMainWnd::SelectDevice() {
    m_hub->Presence().AutoSelect();  // asks for the state read (2053)
    // Until a report or a read says otherwise the receiver's link is unknown, so that the first
    // report of either state counts as a change.
    if (ConnectionType() == kConnectionReceiver) m_hub->Presence().SetReceiverState(-1);
    LoadModel();
    m_presence->Home().UpdateTiles(m_hub->Entries(), m_hub->Presence().Selected());
    if (const DeviceEntry* entry = m_hub->SelectedEntry())
        if (auto* name = FindControl(QStringLiteral("lab_home_devname")))
            name->SetText(QString::fromStdString(entry->displayName));
}

void CZorMainWnd::LoadModel() {
    const int chip = m_model.chip;
    m_model.LoadModel(m_hub->SelectedEntry(), m_hub->Link().bleMode.load() != 0, [chip] { return chip; });
    ApplyModelToView();
}

// The model in use reaches the command set, the listeners' key map and the pages.
void CZorMainWnd::ApplyModelToView() {
    m_hub->Commands().SetModel(m_model.Model());
    std::map<int, int> keySlots, ledModes;
    LoadKeySlotMap(m_model.ModelFolder(), keySlots, ledModes);
    m_hub->View().SetKeySlotMap(keySlots);
    m_dpi->SetTable(DpiTable::FromFeature(m_model.feature));
    LoadLightingModel();
    const AppFeature app = LoadAppFeature(m_context.programFolder);
    const DeviceEntry* selected = m_hub->SelectedEntry();
    m_keysPage->SetModel(
        m_model.ModelFolder(), IniFile(SetIniPath()).GetInt("Set", "OnlyOnePageVersion") != 0,
        ModelHasLighting(app.keySelLedVis != 0, selected ? selected->productName : std::string()));
    RefreshPages();
}

void CZorMainWnd::RefreshPages() {
    const DeviceEntry* entry = m_hub->SelectedEntry();
    RateConnection connection = RateConnection::Cable;
    if (m_hub->Link().bleMode.load() != 0)
        connection = RateConnection::Ble;
    else if (ConnectionType() == kConnectionReceiver)
        connection = RateConnection::Receiver;
    m_dpi->SetConnection(connection, entry != nullptr ? entry->matchedName : std::string());
    // Over Bluetooth LE the mouse keeps its own report rate: no choice is offered.
    for (const char* name : {"lab_MouseAdv_RateTitle", "ver_MouseUsbRate"})
        if (auto* rate = FindControl(QLatin1String(name)))
            rate->SetVisible(connection != RateConnection::Ble);
    // The command set sends the rate of the connection in use.
    m_model.doc.SetRateLink(connection == RateConnection::Ble        ? RateLink::Ble
                            : connection == RateConnection::Receiver ? RateLink::Dongle
                                                                     : RateLink::Usb);
    const int profile = m_model.Profile();
    m_dpi->SetProfile(profile);
    m_dpi->Refresh();
    RefreshLighting();
    m_keysPage->SetProfile(profile);
    m_keysPage->Refresh();
    m_powerPage->SetModel(m_model.chip, entry != nullptr ? entry->matchedName : std::string(),
                          LoadAppFeature(m_context.programFolder).keySelLedVis != 0);
    m_powerPage->Refresh();
    if (auto* profiles = Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile")))
        profiles->SelectItem(profile, false);

    const auto& adv = m_model.doc.adv[static_cast<std::size_t>(profile)];
    m_hub->View().Update([&](DeviceViewState& view) {
        view.activeProfile = profile;
        view.currentGear = adv.cruseldpi;
        view.gearMask = 0;
        for (std::size_t g = 0; g < adv.gears.size() && g < 8; ++g)
            if (adv.gears[g].enabled) view.gearMask = static_cast<std::uint8_t>(view.gearMask | (1u << g));
        // The mouse reports its rate as the device code, so the code is what the rules compare.
        view.reportRateCode = ReportRateCode(entry != nullptr ? entry->matchedName : std::string(),
                                             ReportRateOption(adv, connection));
    });
}

// ---------------------------------------------------------------- notifications

void CZorMainWnd::RouteToPages(TNotifyUI& msg) {
    auto* macroNav = Find<COptionUI>(QStringLiteral("btn_Mac"));
    const bool macroPage = macroNav != nullptr && macroNav->IsSelected();
    const QString sender = msg.pSender ? msg.pSender->GetName() : QString();
    if (macroPage && sender != QLatin1String("btn_Mouse_SelProfile") &&
        sender != QLatin1String("btn_Mouse_More")) {
        if (msg.sType == QLatin1String("MyMenuClick") && msg.sText == QLatin1String("Reset"))
            ResetToFactory();
        else if (msg.sType == QLatin1String("MyMenuClick") &&
                 (msg.sText == QLatin1String("Import") || msg.sText == QLatin1String("Export")))
            ExchangeConfig(msg.sText);
        else if (m_macroPage)
            m_macroPage->Notify(msg);
        return;  // the macro editor's notifications
    }
    if (msg.sType == QLatin1String("MyMenuClick") &&
        (msg.sText == QLatin1String("Import") || msg.sText == QLatin1String("Export"))) {
        ExchangeConfig(msg.sText);
        return;
    }
    if (msg.sType == QLatin1String("MyMenuClick") && msg.sText == QLatin1String("Reset")) {
        ResetToFactory();
        return;
    }
    if (msg.pSender != nullptr || msg.sType == QLatin1String("WM_RecordKey")) {
        if (m_keysPage && m_keysPage->Notify(msg)) return;
        if (m_dpi && m_dpi->Notify(msg)) return;
        if (m_light && m_light->Notify(msg)) return;
        if (m_powerPage && m_powerPage->Notify(msg)) return;
        if (msg.sType == QLatin1String("click") && sender == QLatin1String("btn_Mouse_Apply")) {
            if (m_scheduler->RunInProgress()) return;
            SaveAndAnnounce();
            StartRun(0);
        }
    }
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
            RefreshPages();
        }
    } else if (name.contains(QLatin1String("btn_display"))) {
        SelectDevice();
        if (auto* nav = Find<COptionUI>(QStringLiteral("btn_Null"))) nav->Selected(true, false);
    } else if (name == QLatin1String("btn_Mac")) {
        SaveDocument();
        if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(1);
        if (m_macroPage) m_macroPage->SetShown(true);
    } else if (name == QLatin1String("btn_Null")) {
        if (m_macroPage) m_macroPage->SetShown(false);
        if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(0);
    } else if (name == QLatin1String("btn_Mouse_More")) {
        const QPoint at = msg.pSender->mapToGlobal(QPoint(0, msg.pSender->height() + 4));
        CMenuWnd::CreateMenu(this, QStringLiteral("mouse_exmenu.xml"), at, msg.pSender);
    } else if (name == QLatin1String("modal_popwnd_btn")) {
        if (m_update->ShowVersionWindow()) m_behaviour->Exit();  // the updater took over
    }
}

void CZorMainWnd::SelectProfile(int profile) {
    if (profile < 0 || profile >= kConfigProfiles) return;
    if (m_scheduler->RunInProgress()) {
        if (auto* profiles = Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile")))
            profiles->SelectItem(m_model.Profile(), false);
        return;
    }
    m_model.SetProfile(profile);
    m_scheduler->Flags().profileChanged = true;
    RefreshPages();
    PostMessageTo(this, kMsgApply, kApplySyncFlag | 2, profile);
}

// ---------------------------------------------------------------- apply pipeline

void CZorMainWnd::SaveDocument() {
    m_model.Save();
}

void CZorMainWnd::SaveAndAnnounce() {
    m_model.SaveAndAnnounce(&m_sink);
}

void CZorMainWnd::PushWithNewProfileIds() {
    m_scheduler->PrepareFullPush();
    StartRun(1);
}

bool CZorMainWnd::ResetToFactory() {
    const control::OperationResult reset = m_scheduler->FactoryReset();
    if (!reset.ok) {
        // Nothing was changed: no file, no option, no identifier; the user learns why.
        DebugF("factory reset refused: %s\n", reset.error);
        m_notices.Ask("Error", m_notices.Text("ResetFailed") + QStringLiteral("\n") +
                                   QString::fromStdString(reset.error));
        return false;
    }
    ApplyModelToView();
    StartRun(1);
    return true;
}

void CZorMainWnd::StartRun(int mode) {
    if (!m_presence->Ble()) m_presence->StopBatteryTimer();
    if (m_scheduler->StartRun(mode) == control::RunScheduler::Start::Started) ShowProgress(true, mode);
}

void CZorMainWnd::FinishApply() {
    const control::RunResult result = m_scheduler->FinishRun();
    ShowProgress(false, m_scheduler->Mode());
    RefreshPages();
    if (result.ran && !result.Complete()) ShowApplyFailed();
    if (!m_presence->Ble() && m_hub->SelectedEntry() != nullptr) m_presence->StartBatteryTimer();
    emit applyFinished();
    RunWaiting();
}

void CZorMainWnd::ShowApplyFailed() {
    // A mouse that went away gets the no-device notice instead, once its removal comes in.
    const auto& handle = m_hub->Link().featureHandle;
    if (m_hub->SelectedEntry() == nullptr || !handle || !handle->IsOpen()) return;
    // A receiver without its mouse has its own notice, which says what to do.
    if (m_notices.NoDeviceShown()) return;
    if (ConnectionType() == kConnectionReceiver && m_scheduler->ReceiverLink() == 0) return;
    DebugLine("the settings did not reach the mouse\n");
    m_notices.ShowInfo(m_notices.Text("Error"), m_notices.Text("ApplyFailed"));
}

void CZorMainWnd::ShowProgress(bool show, int mode) {
    auto visible = [this](const char* name, bool on) {
        if (auto* c = FindControl(QLatin1String(name))) c->SetVisible(on);
    };
    if (!show) {
        if (!m_progressShown) return;
        for (const char* name : {"apply_progress", "ring", "text_apply", "gif_vertical", "tranWnd"})
            visible(name, false);
        m_progressShown = false;
        return;
    }
    if (m_progressShown) return;
    m_progressShown = true;
    visible("gif_vertical", true);
    visible("apply_progress", mode == 0);
    if (mode == 1) {
        visible("tranWnd_setting", false);
        visible("tranWnd", true);
    }
    visible("ring", mode == 1);
    visible("text_apply", mode == 1);
}

// ---------------------------------------------------------------- device state

void CZorMainWnd::StartStateRead(int wParam, int lParam) {
    if (m_scheduler->StartStateRead(wParam, lParam) == control::RunScheduler::ReadStart::NoDevice)
        m_presence->ShowConnection();
}

void CZorMainWnd::RunWaiting() {
    if (const auto mode = m_scheduler->TakePendingRun()) StartRun(*mode);
    if (const auto read = m_scheduler->TakePendingRead()) StartStateRead(read->first, read->second);
}

long long CZorMainWnd::OnStateReadDone(qintptr wParam, qintptr lParam, bool&) {
    const control::StateReadResult result =
        m_scheduler->FinishStateRead(static_cast<int>(wParam), static_cast<int>(lParam));
    if (result.read.ok && m_scheduler->ReceiverLink() == 1) m_presence->ShowBattery(result.read.battery);
    if (result.modelReloaded) ApplyModelToView();
    if (result.linkChanged || result.modelReloaded) m_presence->Refresh();
    RunWaiting();
    RefreshPages();
    emit deviceStateRead();
    if (result.synchronise) StartRun(1);
    return 0;
}

void CZorMainWnd::OpenSystemMouseSettings() {
    const std::vector<QStringList> candidates = {
        {QStringLiteral("gnome-control-center"), QStringLiteral("mouse")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_mouse")},
        {QStringLiteral("xfce4-mouse-settings")},
        {QStringLiteral("lxqt-config-input")}};
    for (const QStringList& command : candidates) {
        const QString program = QStandardPaths::findExecutable(command.first());
        if (program.isEmpty()) continue;
        if (QProcess::startDetached(program, command.mid(1))) return;
    }
    m_notices.Ask("Tip", m_notices.Text("NoMouseSettings"));
}

}  // namespace zor::app
