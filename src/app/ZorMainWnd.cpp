#include "app/ZorMainWnd.h"

#include "app/AppMessages.h"
#include "app/ZorMainWndNames.h"
#include "app/Autostart.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <random>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "config/AppFeature.h"
#include "device/BleText.h"
#include "device/DevicePresence.h"
#include "device/KeyCode.h"
#include "macro/MacroUsage.h"
#include "settings/DpiRules.h"
#include "settings/PowerOptions.h"
#include "ui/CustomControls.h"

namespace zor::app {

namespace {

// The maker's manual and macro-sharing pages.
const QString kWebHost = QStringLiteral("http://www.zormouse.example");
constexpr int kInitFallbackMs = 300;

std::uint16_t DrawId() {
    static std::mt19937 generator{std::random_device{}()};
    return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(1, 65535)(generator));
}

}  // namespace

// ---------------------------------------------------------------- the message table

const std::vector<MessageOwner>& MessageOwners() {
    static const std::vector<MessageOwner> owners = {
        {kWmMove, "main window: keeps the message box and the apply progress centred", true},
        {kWmActivate, "device presence: examine the connection again", true},
        {kWmClose, "close, tray and exit", true},
        {kWmMouseActivate, "key page (hover pop-up)", false},
        {kWmInputLangChange, "macro editor (recorder key state)", false},
        {kWmKeyDown, "macro editor (recording)", false},
        {kWmKeyUp, "macro editor (recording)", false},
        {kWmSysKeyDown, "macro editor (recording)", false},
        {kWmSysKeyUp, "macro editor (recording)", false},
        {kWmSysCommand, "close, tray and exit (minimise)", true},
        {kWmTimer, "battery timer", true},
        {kWmMouseMove, "key page (hover pop-up)", false},
        {kWmLButtonDown, "macro editor and key page hit-testing", false},
        {kWmLButtonUp, "macro editor (recording)", false},
        {kWmRButtonUp, "macro editor (group menu)", false},
        {kWmMouseWheel, "main window: ends edit focus", true},
        {kWmDeviceChange, "device presence: hot-plug", true},
        {kMsgTrayIcon, "tray icon", true},
        {kMsgMenuClick, "tray menu", true},
        {kMsgPopColor, "colour picker", false},
        {kMsgMacroEventSet, "macro event pop-up", false},
        {kMsgKeyPopSetValue, "key page (key pop-up)", false},
        {kMsgRecorderKeyUp, "macro editor (recorder)", false},
        {kMsgDeviceDpiChanged, "DPI page", true},
        {kMsgDeviceProfileChanged, "apply pipeline (profile switch)", true},
        {kMsgDeviceConfig, "configuration document", true},
        {kMsgMacroEventCancel, "macro event pop-up", false},
        {kMsgStartUpdater, "updater", false},
        {kMsgLanguageChanged, "language", true},
        {kMsgDeviceLightChanged, "lighting page", false},
        {kMsgDeviceRateChanged, "DPI page (report rate)", true},
        {kMsgSilentStart, "silent start", true},
        {kMsgMaxDataWarn, "message box", true},
        {kMsgMacroReload, "macro editor (reload)", false},
        {kMsgApply, "apply pipeline", true},
        {kMsgReadDeviceState, "device-state refresh", true},
        {kMsgApplyEnd, "apply pipeline (end of run)", true},
        {kMsgSettingClosed, "settings window", false},
        {kMsgApplyOverlay, "apply pipeline (overlay)", true},
        {kMsgMsgBoxHideToTray, "close, tray and exit", true},
        {kMsgApplyProgress, "apply pipeline (progress)", true},
        {kMsgSavePowerChanged, "power page", true},
        {kMsgSleepTimeChanged, "power page", true},
        {kMsgSensorSwitchesChanged, "power page", true},
        {kMsgLiftOffChanged, "power page", true},
        {kMsgRefreshDevicePages, "device presence display", true},
        {kMsgBleEvent, "BLE events", true},
        {kMsgPdTimeChanged, "power page", true},
        {kMsgRecordKey, "key page (key recording)", false},
        {kMsgMoveWakeChanged, "power page", true},
        {kMsgDeviceStageSwitch, "DPI page (stage switch)", true},
        {kMsgCloseWndGone, "close dialog", true},
        {kMsgCloseConfig, "close dialog", true},
        {kMsgCloseAct, "close dialog", true},
        {kMsgMacroKeyTexts, "macro editor (key texts)", false},
        {kMsgShortPressChanged, "power page", true},
        {kMsgStateReadDone, "device-state refresh (read finished)", true},
    };
    return owners;
}

const std::vector<CZorMainWnd::Route>& CZorMainWnd::Routes() {
    static const std::vector<Route> routes = {
        {kWmMove, &CZorMainWnd::OnMove},
        {kWmActivate, &CZorMainWnd::OnActivate},
        {kWmClose, &CZorMainWnd::OnClose},
        {kWmMouseActivate, &CZorMainWnd::ForKeyPage},
        {kWmInputLangChange, &CZorMainWnd::ForMacroEditor},
        {kWmKeyDown, &CZorMainWnd::ForMacroEditor},
        {kWmKeyUp, &CZorMainWnd::ForMacroEditor},
        {kWmSysKeyDown, &CZorMainWnd::ForMacroEditor},
        {kWmSysKeyUp, &CZorMainWnd::ForMacroEditor},
        {kWmSysCommand, &CZorMainWnd::OnSysCommand},
        {kWmTimer, &CZorMainWnd::OnTimer},
        {kWmMouseMove, &CZorMainWnd::ForKeyPage},
        {kWmLButtonDown, &CZorMainWnd::ForMacroEditor},
        {kWmLButtonUp, &CZorMainWnd::ForMacroEditor},
        {kWmRButtonUp, &CZorMainWnd::ForMacroEditor},
        {kWmMouseWheel, &CZorMainWnd::OnMouseWheel},
        {kWmDeviceChange, &CZorMainWnd::OnDeviceChange},
        {kMsgTrayIcon, &CZorMainWnd::OnTrayIcon},
        {kMsgMenuClick, &CZorMainWnd::OnMenuClick},
        {kMsgPopColor, &CZorMainWnd::ForColourPicker},
        {kMsgMacroEventSet, &CZorMainWnd::ForMacroEditor},
        {kMsgKeyPopSetValue, &CZorMainWnd::ForKeyPage},
        {kMsgRecorderKeyUp, &CZorMainWnd::ForMacroEditor},
        {kMsgDeviceDpiChanged, &CZorMainWnd::OnDeviceDpiChanged},
        {kMsgDeviceProfileChanged, &CZorMainWnd::OnDeviceProfileChanged},
        {kMsgDeviceConfig, &CZorMainWnd::OnDeviceConfig},
        {kMsgMacroEventCancel, &CZorMainWnd::ForMacroEditor},
        {kMsgStartUpdater, &CZorMainWnd::ForUpdater},
        {kMsgLanguageChanged, &CZorMainWnd::OnLanguageChanged},
        {kMsgDeviceLightChanged, &CZorMainWnd::ForLightingPage},
        {kMsgDeviceRateChanged, &CZorMainWnd::OnDeviceRateChanged},
        {kMsgSilentStart, &CZorMainWnd::OnSilentStart},
        {kMsgMaxDataWarn, &CZorMainWnd::OnMaxDataWarn},
        {kMsgMacroReload, &CZorMainWnd::ForMacroEditor},
        {kMsgApply, &CZorMainWnd::OnApply},
        {kMsgReadDeviceState, &CZorMainWnd::OnReadDeviceState},
        {kMsgApplyEnd, &CZorMainWnd::OnApplyEnd},
        {kMsgSettingClosed, &CZorMainWnd::ForSettingsWindow},
        {kMsgApplyOverlay, &CZorMainWnd::OnApplyOverlay},
        {kMsgMsgBoxHideToTray, &CZorMainWnd::OnMsgBoxHideToTray},
        {kMsgApplyProgress, &CZorMainWnd::OnApplyProgress},
        {kMsgSavePowerChanged, &CZorMainWnd::OnPowerChanged},
        {kMsgSleepTimeChanged, &CZorMainWnd::OnPowerChanged},
        {kMsgSensorSwitchesChanged, &CZorMainWnd::OnPowerChanged},
        {kMsgLiftOffChanged, &CZorMainWnd::OnPowerChanged},
        {kMsgRefreshDevicePages, &CZorMainWnd::OnRefreshDevicePages},
        {kMsgBleEvent, &CZorMainWnd::OnBleEvent},
        {kMsgPdTimeChanged, &CZorMainWnd::OnPowerChanged},
        {kMsgRecordKey, &CZorMainWnd::ForKeyPage},
        {kMsgMoveWakeChanged, &CZorMainWnd::OnPowerChanged},
        {kMsgDeviceStageSwitch, &CZorMainWnd::OnStageSwitch},
        {kMsgCloseWndGone, &CZorMainWnd::OnCloseWndGone},
        {kMsgCloseConfig, &CZorMainWnd::OnCloseConfig},
        {kMsgCloseAct, &CZorMainWnd::OnCloseAct},
        {kMsgMacroKeyTexts, &CZorMainWnd::ForMacroEditor},
        {kMsgShortPressChanged, &CZorMainWnd::OnPowerChanged},
        {kMsgStateReadDone, &CZorMainWnd::OnStateReadDone},
    };
    return routes;
}

long long CZorMainWnd::HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) {
    for (const Route& route : Routes()) {
        if (route.message != msg) continue;
        m_currentMessage = msg;
        return (this->*route.handler)(wParam, lParam, handled);
    }
    if (msg >= kFirstAppMessage && msg <= kLastAppMessage) DebugF("message %d has no owner; dropped\n", msg);
    return 0;
}

long long CZorMainWnd::NotBuilt(const char* owner) {
    DebugF("message %d for the %s, which this build does not have yet\n", m_currentMessage, owner);
    return 0;
}
long long CZorMainWnd::ForKeyPage(qintptr, qintptr, bool&) {
    return NotBuilt("key page");
}
long long CZorMainWnd::ForLightingPage(qintptr, qintptr, bool&) {
    return NotBuilt("lighting page");
}
long long CZorMainWnd::ForMacroEditor(qintptr, qintptr, bool&) {
    return NotBuilt("macro editor");
}
long long CZorMainWnd::ForColourPicker(qintptr, qintptr, bool& handled) {
    handled = true;
    return NotBuilt("colour picker");
}
long long CZorMainWnd::ForSettingsWindow(qintptr, qintptr, bool&) {
    return NotBuilt("settings window");
}
long long CZorMainWnd::ForUpdater(qintptr, qintptr, bool&) {
    return NotBuilt("updater");
}

// ---------------------------------------------------------------- construction and start-up

CZorMainWnd::CZorMainWnd(AppContext context)
    : m_context(std::move(context)), m_sink(this), m_language(m_context.programFolder) {
    DeviceHubOptions options;
    options.programFolder = m_context.programFolder;
    options.virtualMouse = m_context.virtualMouse;
    options.virtualKind = m_context.virtualKind;
    options.sleeper = m_context.sleeper;
    options.listenerTimeoutMs = m_context.listenerTimeoutMs;
    m_hub = std::make_unique<DeviceHub>(options, m_sink);
    m_batteryTimer.setInterval(kBatteryTimerMs);
    connect(&m_batteryTimer, &QTimer::timeout, this, [this] {
        bool handled = false;
        HandleCustomMessage(kWmTimer, kBatteryTimerId, 0, handled);
    });
    // A failed BLE attempt is tried again after a pause, without holding up the window.
    m_bleRetry.setSingleShot(true);
    m_bleRetry.setInterval(m_context.bleRetryMs);
    connect(&m_bleRetry, &QTimer::timeout, this, [this] {
        if (LinkedByHid() || m_hub->Link().bleMode.load() != 0) {
            m_bleFailures = 0;  // the mouse is reachable another way: nothing to retry
            return;
        }
        m_hub->Presence().ConnectBle();
    });
}

CZorMainWnd::~CZorMainWnd() {
    m_batteryTimer.stop();
    m_bleRetry.stop();
    {
        QtMessageSink::StoppingScope stopping(m_sink);
        m_worker.Join();
        m_hub->Shutdown();
    }
    m_sink.SetReceiver(nullptr);
    if (CResourceManager::GetInstance().GetTextQueryInterface() == &m_language)
        CResourceManager::GetInstance().SetTextQueryInterface(nullptr);
    if (m_closeWnd) delete m_closeWnd;
    if (m_msgBox) delete m_msgBox;
}

std::filesystem::path CZorMainWnd::SetIniPath() const {
    return m_context.programFolder / "res" / "Set.ini";
}

std::filesystem::path CZorMainWnd::ModelFolder() const {
    const DeviceEntry* entry = m_hub->SelectedEntry();
    const std::string folder = entry != nullptr && !entry->devFolder.empty() ? entry->devFolder : "MouseA";
    return m_context.programFolder / "res" / "MouseVarn" / folder;
}

int CZorMainWnd::ConnectionType() const {
    return m_hub->Presence().ConnectionKind();
}

CControlUI* CZorMainWnd::CreateControl(const QString& className) {
    if (className == QLatin1String("VerticalLayoutEx")) return new CVerticalLayoutExUI();
    if (className == QLatin1String("AnimLayout")) return new AnimLayout();
    return nullptr;
}

void CZorMainWnd::InitWindow() {
    m_icon = QIcon(CPaintManagerUI::ResolveFile(QStringLiteral("common/tray.svg")));
    setWindowIcon(m_icon);
    const IniFile set(SetIniPath());
    const int language = set.GetInt("Set", "Language");
    for (const std::string& line : set.GetSection("PublicLed")) DebugF("PublicLed %s\n", line);
    m_fonts.LoadTable(m_context.programFolder / "res" / "Language" / "ExFont.json");
    m_fonts.InstallAll(m_context.programFolder);
    m_language.SetHooks({[this] {
                             auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"));
                             return tab ? tab->GetCurSel() : 0;
                         },
                         [] { return true; }, nullptr});
    CResourceManager::GetInstance().SetTextQueryInterface(&m_language);
    m_language.Apply(language, m_pm, this, &m_tray, m_icon);
    if (auto* dot = FindControl(QStringLiteral("mainwnd_red_point"))) dot->SetVisible(false);
    if (auto* profiles = Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile"))) {
        const QString word = m_language.QueryControlText(QStringLiteral("ProfileItem"), {});
        if (!word.isEmpty()) {
            profiles->RemoveAll();
            for (int p = 1; p <= kConfigProfiles; ++p)
                profiles->AddItem(QStringLiteral("%1 %2").arg(word).arg(p));
            profiles->SelectItem(0, false);
        }
    }

    m_home = std::make_unique<HomePage>(m_pm);
    DpiPage::Hooks hooks;
    hooks.requestApply = [this](int kind, int profile, bool sync) {
        if (sync)
            SendMessageTo(this, kMsgApply, kind, profile);
        else
            PostMessageTo(this, kMsgApply, kind, profile);
    };
    hooks.busy = [this] { return m_applyRunning || m_flags.profileChanged; };
    hooks.fireKeyResend = [this] { m_flags.fireKeyResend = true; };
    hooks.chooseColour = [this](std::uint32_t& colour) { return ChooseColour(colour); };
    hooks.openSystemMouseSettings = [this] { OpenSystemMouseSettings(); };
    m_dpi = std::make_unique<DpiPage>(m_pm, m_doc, std::move(hooks));
}

void CZorMainWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("windowinit")) {
        // The device work of start-up (catalog, matching, model, listeners) runs once the first
        // frame is on the screen, so the window appears at once; a window that is not painted
        // soon (started minimised) starts it anyway.
        QTimer::singleShot(kInitFallbackMs, this, [this] { StartInit(); });
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

// The navigation options of the settings area ("opt_nav_<page>") each show the page of
// tab_settings named "page_<page>".
void CZorMainWnd::ShowSettingsPage(TNotifyUI& msg) {
    auto* option = qobject_cast<COptionUI*>(msg.pSender);
    if (option == nullptr || option->GetGroup() != QLatin1String("navigation_bar") || !option->IsSelected()) return;
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
    LoadMacroSources();
    m_home->SetResourcePrefix(GetResourcePrefix());
    m_home->ApplyLayout();
    m_hub->Presence().StartWorker();
    m_silent = m_context.commandLine == QLatin1String("-silent");
    m_hub->LoadCatalog();
    m_home->BuildTiles(m_hub->Entries());
    m_hub->StartHotplug([this](const HotplugEvent& event) {
        const qintptr ids = (qintptr(event.vendorId) << 16) | event.productId;
        PostMessageTo(this, kWmDeviceChange, event.kind == HotplugKind::Arrival ? 1 : 0, ids);
    });
    SelectDevice();
    // The BLE bridge, before the listeners (a receiver that loses its mouse asks for BLE).
    m_hub->AttachBle();
    if (BleBridge* ble = m_hub->Ble(); ble != nullptr && !ble->Registered()) {
        DebugLine("no Bluetooth on this system: BLE connections are not attempted\n");
    } else if (ble != nullptr && m_hub->Link().bleMode.load() == 0 &&
               (m_hub->SelectedEntry() == nullptr || m_hub->Presence().ReceiverState() == 0)) {
        m_hub->Presence().ConnectBle();
    }
    if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(0);
    if (auto* nav = Find<COptionUI>(QStringLiteral("btn_Null"))) nav->Selected(true, false);
    PostMessageTo(this, kMsgSilentStart);
    {
        QtMessageSink::StoppingScope stopping(m_sink);
        m_hub->Presence().StartListeners();
    }
    const IniFile set(SetIniPath());
    AlignAutostartEntry(set);
    const AppFeature feature = LoadAppFeature(m_context.programFolder);
    if (SkinFolderOf(GetResourcePrefix()) == QString::fromStdString(feature.preResPath2))
        if (auto* skin = Find<COptionUI>(QStringLiteral("ChangeSkin"))) skin->Selected(true, false);
    m_closeOption = set.GetInt("CloseConfig", "CloseOption");
    m_remind = set.GetInt("CloseConfig", "Remind");
    RefreshPresence();
}

void CZorMainWnd::AlignAutostartEntry(const IniFile& set) {
    const bool open = set.GetInt("Set", "AutomaticallyOpenEn") != 0;
    const bool hidden = open && set.GetInt("Set", "AutomaticallyHideEn") != 0;
    const std::filesystem::path folder =
        m_context.autostartFolder.empty() ? AutostartFolder() : m_context.autostartFolder;
    const AutostartResult result =
        AlignAutostart(folder, set.GetString("Set", "SoftName"),
                       QCoreApplication::applicationFilePath().toStdString(), open, hidden);
    const char* what = result == AutostartResult::Written   ? "written"
                       : result == AutostartResult::Removed ? "removed"
                       : result == AutostartResult::Failed ? "not changed (no name, folder or right to write)"
                                                           : "already in line";
    DebugF("autostart entry: %s\n", what);
}

// The device selection ("ClickDevice"): the first found device, its model, its state.
void CZorMainWnd::SelectDevice() {
    m_doc.curporfile = m_profile;
    m_hub->Presence().AutoSelect();  // asks for the state read (2053)
    // Until a report or a read says otherwise the receiver's link is unknown, so that the first
    // report of either state counts as a change.
    if (ConnectionType() == kConnectionReceiver) m_hub->Presence().SetReceiverState(-1);
    LoadModel();
    m_home->UpdateTiles(m_hub->Entries(), m_hub->Presence().Selected());
    if (const DeviceEntry* entry = m_hub->SelectedEntry())
        if (auto* name = FindControl(QStringLiteral("lab_home_devname")))
            name->SetText(QString::fromStdString(entry->displayName));
}

void CZorMainWnd::LoadModel() {
    const std::filesystem::path folder = ModelFolder();
    ReloadContext context;
    context.modelFolder = folder;
    context.ble = m_hub->Link().bleMode.load() != 0;
    int chip = m_chip;
    context.readChip = [chip] { return chip; };
    context.feature = &m_feature;
    context.chip = &m_chip;
    context.catalog = &m_catalog;
    context.macros = &m_macros;
    context.keys = &m_keys;
    const ReloadOutcome outcome = Reload(m_doc, context);
    if (!outcome.load.ok) DebugF("MouseConfig.json not read: %s\n", outcome.load.error);
    m_profile = std::clamp(m_doc.curporfile, 0, kConfigProfiles - 1);

    DeviceModel model;
    if (const DeviceEntry* entry = m_hub->SelectedEntry()) model.matchedName = entry->matchedName;
    model.writeTimes = m_feature.writeTimes;
    model.chip = m_chip;
    for (const auto& [slot, mode] : m_feature.ledModes)
        if (slot >= 0 && slot < kLightingSlots) model.lightingMap[static_cast<std::size_t>(slot)] = mode;
    m_hub->Commands().SetModel(model);

    std::map<int, int> keySlots, ledModes;
    LoadKeySlotMap(folder, keySlots, ledModes);
    m_hub->View().SetKeySlotMap(keySlots);
    m_dpi->SetTable(DpiTable::FromFeature(m_feature));
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
    // The command set sends the rate of the connection in use.
    m_doc.SetRateLink(connection == RateConnection::Ble        ? RateLink::Ble
                      : connection == RateConnection::Receiver ? RateLink::Dongle
                                                               : RateLink::Usb);
    m_dpi->SetProfile(m_profile);
    m_dpi->Refresh();
    if (auto* profiles = Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile")))
        profiles->SelectItem(m_profile, false);

    const auto& adv = m_doc.adv[static_cast<std::size_t>(m_profile)];
    m_hub->View().Update([&](DeviceViewState& view) {
        view.activeProfile = m_profile;
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
            DebugF("menu %s: configuration exchange is not in this build\n", msg.sText.toStdString());
        return;  // the macro editor's notifications
    }
    if (msg.sType == QLatin1String("MyMenuClick") && msg.sText == QLatin1String("Reset")) {
        ResetToFactory();
        return;
    }
    if (msg.pSender != nullptr || msg.sType == QLatin1String("WM_RecordKey")) {
        if (m_dpi && m_dpi->Notify(msg)) return;
        if (msg.sType == QLatin1String("click") && sender == QLatin1String("btn_Mouse_Apply")) {
            if (m_applyRunning) return;
            SaveAndAnnounce();
            StartRun(0);
        }
    }
}

void CZorMainWnd::OnClickNotify(TNotifyUI& msg) {
    if (msg.pSender == nullptr) return;
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("btn_close"))
        CloseRequest();
    else if (name == QLatin1String("btn_min"))
        Minimise();
    else if (name == QLatin1String("guideButton"))
        OpenWebPage(QStringLiteral("/orvmanual/"));
    else if (name == QLatin1String("MacroShareButton"))
        OpenWebPage(QStringLiteral("/orvmacro/Macro.html"));
    else if (name == QLatin1String("btn_set")) {
        if (!m_applyRunning) NotBuilt("settings window");
    } else if (name == QLatin1String("ChangeSkin")) {
        const AppFeature feature = LoadAppFeature(m_context.programFolder);
        bool switched = false;
        SwitchSkin(AppFeaturePath(m_context.programFolder), QString::fromStdString(feature.preResPath1),
                   QString::fromStdString(feature.preResPath2), &switched);
        if (switched) {
            CPaintManagerUI::ReloadSkin();
            m_home->SetResourcePrefix(GetResourcePrefix());
            RefreshConnectionDisplay();
            RefreshPages();
        }
    } else if (name.contains(QLatin1String("btn_display"))) {
        SelectDevice();
        if (auto* nav = Find<COptionUI>(QStringLiteral("btn_Null"))) nav->Selected(true, false);
    } else if (name == QLatin1String("btn_Mac")) {
        SaveDocument();
        if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(1);
    } else if (name == QLatin1String("btn_Null")) {
        if (auto* tab = Find<CContainerUI>(QStringLiteral("tab_main"))) tab->SelectItem(0);
    } else if (name == QLatin1String("modal_popwnd_btn")) {
        NotBuilt("version window");
    }
}

void CZorMainWnd::SelectProfile(int profile) {
    if (profile < 0 || profile >= kConfigProfiles) return;
    if (m_applyRunning) {
        if (auto* profiles = Find<CComboUI>(QStringLiteral("btn_Mouse_SelProfile")))
            profiles->SelectItem(m_profile, false);
        return;
    }
    m_profile = profile;
    m_doc.curporfile = profile;
    m_flags.profileChanged = true;
    RefreshPages();
    PostMessageTo(this, kMsgApply, kApplySyncFlag | 2, profile);
}

// ---------------------------------------------------------------- apply pipeline

void CZorMainWnd::SaveDocument() {
    const std::filesystem::path folder = ModelFolder();
    const ConfigResult saved = m_doc.Save(MouseConfigPath(folder));
    if (!saved.ok) DebugF("MouseConfig.json not written: %s\n", saved.error);
    m_doc.SaveChipResetLabels(folder);
}

void CZorMainWnd::LoadMacroSources() {
    const std::filesystem::path& home = m_context.programFolder;
    std::string error;
    if (!m_catalog.LoadFile(home / kLanguageTextPath, &error)) DebugF("key function catalog: %s\n", error);
    const MacroResult library = m_macros.Load(home / kMacroLivePath);
    if (!library.ok) DebugF("macro library: %s\n", library.message);
    const MacroResult lists = m_predefined.Load(home / kShortCutMacPath, home / kOtherKeyMacPath);
    if (!lists.ok) DebugF("predefined macros: %s\n", lists.message);
}

std::shared_ptr<const MacroLibrary> CZorMainWnd::SnapshotMacros(const SettingsRecord& settings) const {
    auto snapshot = std::make_shared<MacroSnapshot>();
    for (const ProfileSettings& profile : settings.profiles)
        for (const KeyAssignment& key : profile.keys) {
            if (key.groupGuid.empty() || key.macroGuid.empty()) continue;
            if (const MacroRecord* rec = m_macros.FindMacro(key.groupGuid, key.macroGuid))
                snapshot->Add(key.groupGuid, key.macroGuid, rec->device);
        }
    return snapshot;
}

void CZorMainWnd::SaveAndAnnounce() {
    SaveDocument();
    // Where each macro is used, for this model: rebuilt from the saved key tables.
    const DeviceEntry* entry = m_hub->SelectedEntry();
    if (entry != nullptr && !entry->matchedName.empty()) {
        RebuildMacroUsage(m_macros, Utf8ToUtf16(entry->matchedName), m_doc.MacroUses(m_catalog, m_keys));
        const MacroResult saved = m_macros.SaveAll();
        if (!saved.ok) DebugF("macro library not written: %s\n", saved.message);
    }
    PostMessageTo(this, kMsgMacroReload, 1, 0);
}

void CZorMainWnd::PushWithNewProfileIds() {
    const std::filesystem::path folder = ModelFolder();
    for (int p = 0; p < kProfileCount; ++p) {
        const std::uint16_t id = DrawId();
        m_doc.SetProfileId(p, id);
        SaveProfileId(folder, p, id);
    }
    m_flags.forcePush = true;
    StartRun(1);
}

void CZorMainWnd::ResetToFactory() {
    if (m_applyRunning) return;
    const std::filesystem::path folder = ModelFolder();
    const int profile = m_profile;
    std::string bytes;
    if (!ReadFileBytes(ResetMouseConfigPath(folder), bytes) ||
        !WriteFileAtomic(MouseConfigPath(folder), bytes)) {
        DebugLine("factory configuration not restored: ResetMouseConfig.json could not be copied\n");
        return;
    }
    // The model's power and sensor defaults become the current options of Set.ini.
    if (!PowerOptions(SetIniPath()).WriteReset(IniFile(DeviceFeaturePath(folder))))
        DebugLine("power options not reset: Set.ini could not be written\n");
    LoadModel();
    // The profile's entry of the macro usage section goes with the configuration it described.
    if (!IniFile(DeviceFeaturePath(folder)).DeleteKey("MacUsed", std::to_string(profile)))
        DebugLine("MacUsed entry not removed: the description file could not be written\n");
    SaveAndAnnounce();
    PushWithNewProfileIds();
}

void CZorMainWnd::StartRun(int mode) {
    const bool ble = m_hub->Link().bleMode.load() != 0;
    if (!ble) StopBatteryTimer();
    m_runMode = mode;
    if (m_applyRunning) return;
    if (m_worker.Busy()) {
        // Started as soon as the state read has finished.
        DebugF("run of mode %d waits for the device-state read\n", mode);
        m_runPending = true;
        return;
    }
    m_runPending = false;
    ApplyJob job;
    job.mode = mode;
    job.kind = m_applyKind;
    job.profile = m_profile;
    job.ble = ble;
    job.connectionType = ConnectionType();
    job.writeTimes = m_feature.writeTimes;
    job.flags = m_flags;
    m_flags = {};
    for (int p = 0; p < kProfileCount; ++p) {
        job.settings.profiles[static_cast<std::size_t>(p)] = m_doc.Profile(p);
        job.settings.profileIds[static_cast<std::size_t>(p)] = m_doc.ProfileId(p);
    }
    job.settings.power = PowerOptions(SetIniPath()).Device();
    job.draw = DrawId;
    job.predefined = &m_predefined;
    job.macros = SnapshotMacros(job.settings);
    m_applyRunning = true;
    m_hub->View().Update([](DeviceViewState& view) { view.suppressEvents = true; });
    ShowProgress(true, mode);
    m_worker.Start([this, job]() mutable {
        ApplyOutcome outcome = RunApply(m_hub->Commands(), job);
        {
            std::lock_guard lock(m_resultMutex);
            m_applyResult = outcome;
        }
        PostMessageTo(this, kMsgApplyEnd);
    });
}

void CZorMainWnd::FinishApply() {
    m_worker.Join();
    std::optional<ApplyOutcome> outcome;
    {
        std::lock_guard lock(m_resultMutex);
        outcome.swap(m_applyResult);
    }
    if (outcome) {
        const std::filesystem::path folder = ModelFolder();
        if (outcome->pagesProfile) {
            m_profile = *outcome->pagesProfile;
            m_doc.curporfile = m_profile;
        }
        for (int p : outcome->renewedProfiles) {
            const std::uint16_t id = outcome->profileIds[static_cast<std::size_t>(p)];
            m_doc.SetProfileId(p, id);
            SaveProfileId(folder, p, id);
        }
        if (outcome->readBack) {
            auto& adv = m_doc.adv[static_cast<std::size_t>(m_profile)];
            if (outcome->readBack->currentGear >= 0 && outcome->readBack->currentGear < kDpiGearCount)
                adv.cruseldpi = outcome->readBack->currentGear;
            if (outcome->readBack->reportRateIndex >= 0) {
                if (ConnectionType() == kConnectionReceiver)
                    adv.ratedonglevalue = outcome->readBack->reportRateIndex;
                else
                    adv.rateusbvalue = outcome->readBack->reportRateIndex;
            }
        }
        SaveDocument();
    }
    ShowProgress(false, m_runMode);
    m_applyRunning = false;
    m_hub->View().Update([](DeviceViewState& view) { view.suppressEvents = false; });
    RefreshPages();
    if (m_hub->Link().bleMode.load() == 0 && m_hub->SelectedEntry() != nullptr) StartBatteryTimer();
    emit applyFinished();
    RunPendingRead();
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
    if (m_refreshRunning || m_applyRunning || m_worker.Busy()) {
        // A change of the connection must not be lost: it is read as soon as the device is free.
        if (wParam != 0 || lParam != 0) {
            m_pendingRead = {std::max(m_pendingRead.first, wParam), std::max(m_pendingRead.second, lParam)};
            m_readPending = true;
        }
        DebugLine("device-state read deferred: the device is busy\n");
        return;
    }
    if (m_hub->SelectedEntry() == nullptr) {
        RefreshConnectionDisplay();
        return;
    }
    m_refreshRunning = true;
    m_worker.Start([this, wParam, lParam] {
        CommandSet& commands = m_hub->Commands();
        commands.Request().op = kOpStatus;
        const bool ok = commands.ReadRequest() == 1;
        const StateRead read{ok, commands.Request().connectionState, commands.Request().battery,
                             commands.Request().chip};
        {
            std::lock_guard lock(m_resultMutex);
            m_stateRead = read;
        }
        PostMessageTo(this, kMsgStateReadDone, wParam, lParam);
    });
}

void CZorMainWnd::RunPendingRead() {
    if (!m_readPending || m_applyRunning || m_refreshRunning) return;
    m_readPending = false;
    const auto [wParam, lParam] = m_pendingRead;
    m_pendingRead = {0, 0};
    StartStateRead(wParam, lParam);
}

void CZorMainWnd::FinishStateRead(qintptr wParam, qintptr lParam) {
    m_worker.Join();
    StateRead read;
    {
        std::lock_guard lock(m_resultMutex);
        read = m_stateRead;
    }
    const int chip = read.chip;
    const bool cable = ConnectionType() == kConnectionCable;
    const int before = m_lastReceiverState;
    DebugF("device state: read %d, link %d, battery %d, chip %d\n", read.ok ? 1 : 0, read.connection,
           read.battery, read.chip);
    bool redraw = wParam != 0;
    if (read.ok) {
        m_lastReceiverState = cable ? 1 : (read.connection != 0 ? 1 : 0);
        m_hub->Presence().SetReceiverState(m_lastReceiverState);
        m_battery = read.battery;
        if (m_lastReceiverState == 1) ShowBattery(read.battery);
        if (m_lastReceiverState == 1 && lParam == 1 && chip != 0 && chip != m_chip) {
            m_chip = chip;
            LoadModel();
            redraw = true;
        }
    } else if (!cable && lParam == 1) {
        m_lastReceiverState = 0;
        m_hub->Presence().SetReceiverState(0);
    }
    m_refreshRunning = false;
    if (before != m_lastReceiverState || redraw) RefreshPresence();
    if (m_runPending) StartRun(m_runMode);
    RunPendingRead();
    RefreshPages();
    emit deviceStateRead();
    // A mouse that has just come into reach is brought into step with the document.
    if (read.ok && m_lastReceiverState == 1 && (before != 1 || !m_everFound)) {
        m_everFound = true;
        StartRun(1);
    }
}

void CZorMainWnd::ShowBattery(int battery) {
    const int percent = std::clamp(battery & 0x7F, 0, 100);
    const bool charging = (battery & 0x80) != 0;
    auto* gauge = Find<CProgressUI>(QStringLiteral("battery_progress"));
    if (gauge != nullptr) {
        gauge->SetValue(percent);
        if (auto* colour = Find<CProgressUI>(QStringLiteral("battery_progress2")))
            if (percent > 20) gauge->SetForeColor(colour->GetForeColor());
        if (percent <= 20) gauge->SetForeColor(QColor(0xFF, 0x4D, 0x4F));
    }
    if (auto* text = FindControl(QStringLiteral("battery_Text")))
        text->SetText(QStringLiteral("%1%").arg(percent));
    if (auto* charge = FindControl(QStringLiteral("in_charge"))) charge->SetVisible(charging);
}

void CZorMainWnd::RefreshConnectionDisplay() {
    const bool ble = m_hub->Link().bleMode.load() != 0;
    const bool present = ble || m_hub->SelectedEntry() != nullptr;
    std::string icon = ConnectionIcon(ble, ConnectionType(), present ? std::max(m_lastReceiverState, 0) : 0);
    if (!present && !ble)
        icon = ConnectionType() == kConnectionReceiver ? "/Home/2.4GNoConnect.png" : "/Home/NoConnect.png";
    if (!icon.empty()) {
        // The pictures are drawn as SVG; the names keep their place in the file layout.
        QString file = QString::fromStdString(icon).mid(1);
        file.replace(QLatin1String(".png"), QLatin1String(".svg"));
        if (auto* picture = FindControl(QStringLiteral("connect_state")))
            picture->SetAttribute(QStringLiteral("bkimage"), file);
    }
    const bool linked =
        ble || (present && (ConnectionType() == kConnectionCable || m_lastReceiverState == 1));
    if (auto* gauge = FindControl(QStringLiteral("battery_panel"))) gauge->SetVisible(linked);
    if (!linked)
        if (auto* charge = FindControl(QStringLiteral("in_charge"))) charge->SetVisible(false);
    if (auto* state = FindControl(QStringLiteral("lab_home_state"))) {
        const char* id = !present                               ? "HomeStateNone"
                         : ble                                  ? "HomeStateBle"
                         : ConnectionType() == kConnectionCable ? "HomeStateCable"
                         : linked                               ? "HomeStateReceiver"
                                                                : "HomeStateUnlinked";
        state->SetText(m_language.QueryControlText(QLatin1String(id), {}));
    }
}

// ---------------------------------------------------------------- presence

void CZorMainWnd::RefreshPresence() {
    const bool ble = m_hub->Link().bleMode.load() != 0;
    const DeviceEntry* entry = m_hub->SelectedEntry();
    const bool linked =
        ble || (entry != nullptr && (ConnectionType() == kConnectionCable || m_lastReceiverState != 0));
    m_connected = linked ? 1 : 0;
    m_home->UpdateTiles(m_hub->Entries(), m_hub->Presence().Selected());
    if (linked) {
        if (m_msgBox && m_msgBox->GetType() == CMsgWnd::kNoDevice) CloseMessageBox();
        if (auto* overlay = FindControl(QStringLiteral("tranWnd")); overlay && !m_applyRunning)
            overlay->SetVisible(false);
        if (!ble) StartBatteryTimer();
        if (auto* mac = FindControl(QStringLiteral("btn_Mac"))) mac->SetVisible(!ble);
        if (!m_centredOnDevice) {
            m_centredOnDevice = true;
            CenterWindow();
        }
        if (auto* name = FindControl(QStringLiteral("lab_home_devname")); name && entry)
            name->SetText(QString::fromStdString(entry->displayName));
    } else {
        if (!ble) StopBatteryTimer();
        if (!m_hiddenToTray) {
            if (auto* mac = FindControl(QStringLiteral("btn_Mac"))) mac->SetVisible(true);
            CloseMessageBox();
            SendMessageTo(this, kMsgApplyOverlay, 1, 0);
            ShowNoDeviceBox();
        }
    }
    RefreshConnectionDisplay();
}

void CZorMainWnd::ShowNoDeviceBox() {
    if (!m_context.showNoDeviceBox) return;
    const bool unlinkedReceiver =
        m_hub->SelectedEntry() != nullptr && ConnectionType() == kConnectionReceiver;
    auto text = [this](const char* id) { return m_language.QueryControlText(QLatin1String(id), {}); };
    auto* box = new CMsgWnd(CMsgWnd::kNoDevice);
    box->SetSubType(unlinkedReceiver ? CMsgWnd::kSubReceiverNotLinked : CMsgWnd::kSubNoDevice);
    box->Create(this, QStringLiteral("msgwnd"), kWsVisible | kWsPopup, kWsExToolWindow);
    box->SetTitle(text("Tip"));
    box->SetMsg(unlinkedReceiver ? text("WirelessUnconnect1") + '\n' + text("WirelessUnconnect2") + '\n' +
                                       text("WirelessUnconnect3")
                                 : text("NoDevice"));
    box->SetButtonTexts(text("NoDeviceExit"), {});
    box->CenterWindow();
    box->raise();
    m_msgBox = box;
}

void CZorMainWnd::CloseMessageBox() {
    if (m_msgBox) m_msgBox->Close(0);
    m_msgBox = nullptr;
}

// ---------------------------------------------------------------- close, tray, silent start

void CZorMainWnd::CloseRequest() {
    if (m_applyRunning) return;
    if (m_remind != 0) {
        if (m_closeWnd) m_closeWnd->Close(0);
        if (auto* overlay = FindControl(QStringLiteral("tranWnd_setting"))) overlay->SetVisible(true);
        auto* dialog = new CCloseWnd(m_closeOption, m_remind, m_language.AppliedIndex());
        m_closeWnd = dialog;
        dialog->Create(this, QStringLiteral("CloseWnd"), kWsPopup, kWsExToolWindow);
        dialog->CenterWindow();
        dialog->ShowModal();
        return;
    }
    if (m_closeOption != 0)
        Exit();
    else
        HideToTray();
}

void CZorMainWnd::Exit() {
    SaveDocument();
    m_batteryTimer.stop();
    m_tray.DeleteTrayIcon();
    m_fonts.RemoveAll();
    PostQuitMessage(0);
}

void CZorMainWnd::HideToTray() {
    SaveDocument();
    CloseMessageBox();
    if (!m_context.assumeTray && !CTrayIcon::IsAvailable()) {
        // Hidden without a tray there would be no way back: minimise instead.
        DebugLine("no notification area on this desktop: minimising instead of hiding\n");
        showMinimized();
        return;
    }
    m_hiddenToTray = true;
    hide();
}

void CZorMainWnd::Minimise() {
    if (m_applyRunning) return;
    bool handled = false;
    HandleCustomMessage(kWmSysCommand, 0xF020, 0, handled);
    showMinimized();
}

void CZorMainWnd::Restore(bool readState) {
    m_hiddenToTray = false;
    if (m_hub->Link().bleMode.load() == 0) {
        if (readState) SendMessageTo(this, kMsgReadDeviceState, 0, 0);
        RefreshPresence();
    }
    showNormal();
    show();
    raise();
    activateWindow();
    if (m_msgBox) m_msgBox->raise();
    if (m_applyRunning) ShowProgress(true, m_runMode);
}

void CZorMainWnd::OpenTrayMenu() {
    if (m_trayMenu) m_trayMenu->Close();
    m_trayMenu = CMenuWnd::CreateMenu(this, QStringLiteral("tray_menu.xml"), QCursor::pos(), nullptr,
                                      CMenuWnd::Report::Message);
}

void CZorMainWnd::OpenWebPage(const QString& path) {
    QDesktopServices::openUrl(QUrl(kWebHost + path));
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
    CMsgWnd::ShowMessageBox(this, m_language.QueryControlText(QStringLiteral("Tip"), {}),
                            m_language.QueryControlText(QStringLiteral("NoMouseSettings"), {}),
                            CMsgWnd::kInfo, m_language.QueryControlText(QStringLiteral("MessageOK"), {}));
}

bool CZorMainWnd::ChooseColour(std::uint32_t& colour) {
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(colour & 0xFFFFFFu), this);
    if (!chosen.isValid()) return false;
    colour = chosen.rgb() & 0xFFFFFFu;
    return true;
}

void CZorMainWnd::StartBatteryTimer() {
    if (!m_batteryTimer.isActive()) m_batteryTimer.start();
}

void CZorMainWnd::StopBatteryTimer() {
    m_batteryTimer.stop();
}

void CZorMainWnd::OnHotplug(qintptr wParam, qintptr lParam) {
    HotplugEvent event;
    event.kind = wParam != 0 ? HotplugKind::Arrival : HotplugKind::Removal;
    event.vendorId = static_cast<std::uint16_t>((lParam >> 16) & 0xFFFF);
    event.productId = static_cast<std::uint16_t>(lParam & 0xFFFF);
    if (!m_hub->Presence().OnDeviceChange(event)) return;
    // The new device settles before it is asked anything.
    QTimer::singleShot(event.kind == HotplugKind::Arrival ? m_context.hotplugSettleMs : 0, this, [this] {
        if (m_applyRunning || m_worker.Busy()) m_worker.Join();
        m_lastReceiverState = -1;
        m_everFound = m_hub->SelectedEntry() != nullptr && m_everFound;
        SelectDevice();
        {
            QtMessageSink::StoppingScope stopping(m_sink);
            m_hub->Presence().StartListeners();
        }
        RefreshPresence();
    });
}

}  // namespace zor::app
