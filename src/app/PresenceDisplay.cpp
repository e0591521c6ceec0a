#include "app/PresenceDisplay.h"

#include "common/Debug.h"
#include "device/BleText.h"
#include "device/DevicePresence.h"
#include "device/KeyCode.h"
#include "ui/Controls.h"
#include "ui/Messages.h"

namespace zor::app {

PresenceDisplay::PresenceDisplay(Parts parts, Hooks hooks)
    : m_parts(parts), m_hooks(std::move(hooks)), m_home(parts.window.PaintManager()) {
    m_batteryTimer.setInterval(m_parts.context.batteryTimerMs);
    QObject::connect(&m_batteryTimer, &QTimer::timeout, &m_parts.window,
                     [this] { ui::SendMessageTo(&m_parts.window, ui::kWmTimer, kBatteryTimerId, 0); });
    // A failed BLE attempt is tried again after a pause, without holding up the window.
    m_bleRetry.setSingleShot(true);
    m_bleRetry.setInterval(m_parts.context.bleRetryMs);
    QObject::connect(&m_bleRetry, &QTimer::timeout, &m_parts.window, [this] {
        if (ReachableOtherwise())
            m_bleRetries.Reset();  // nothing to retry
        else
            m_parts.stack.Presence().ConnectBle();
    });
}

void PresenceDisplay::StartBatteryTimer() {
    if (!m_batteryTimer.isActive()) m_batteryTimer.start();
}

void PresenceDisplay::StopTimers() {
    m_batteryTimer.stop();
    m_bleRetry.stop();
}

void PresenceDisplay::OnTimer(const WindowMessage& message) {
    if (message.wParam == kBatteryTimerId) ui::SendMessageTo(&m_parts.window, ui::kMsgReadDeviceState, 0, 0);
}

control::LinkFacts PresenceDisplay::Facts() const {
    control::LinkFacts facts;
    facts.ble = Ble();
    facts.selected = m_parts.stack.SelectedEntry() != nullptr;
    facts.connectionKind = ConnectionType();
    facts.receiverLink = m_parts.scheduler.ReceiverLink();
    return facts;
}

void PresenceDisplay::ShowConnection() {
    HomePage::Connection connection;
    connection.ble = Ble();
    connection.present = connection.ble || m_parts.stack.SelectedEntry() != nullptr;
    connection.kind = ConnectionType();
    connection.receiverLink = m_parts.scheduler.ReceiverLink();
    m_home.ShowConnection(connection, [this](const char* id) { return m_parts.notices.Text(id); });
    // Over Bluetooth LE the mouse offers no macros and keeps its own report rate: the Macros tab
    // stays in its place, greyed, and it and the state line say why.
    const QString limits = connection.ble ? m_parts.notices.Text("BleLimits") : QString();
    if (auto* mac = m_parts.window.FindControl(QStringLiteral("btn_Mac"))) {
        mac->SetEnabled(!connection.ble);
        mac->setToolTip(limits);
    }
    if (auto* state = m_parts.window.FindControl(QStringLiteral("lab_home_state"))) state->setToolTip(limits);
}

void PresenceDisplay::Refresh() {
    ui::WindowImplBase& window = m_parts.window;
    const bool ble = Ble();
    const DeviceEntry* entry = m_parts.stack.SelectedEntry();
    const bool linked = control::CountsAsLinked(Facts());
    m_connected = linked;
    const int selected = m_parts.stack.Presence().Selected();
    const int tile = ble ? HomePage::BleTile(m_parts.stack.Entries(), selected) : selected;
    m_home.UpdateTiles(m_parts.stack.Entries(), tile);
    if (linked) {
        if (m_parts.notices.NoDeviceShown()) m_parts.notices.Close();
        if (auto* overlay = window.FindControl(QStringLiteral("tranWnd"));
            overlay && !m_parts.scheduler.RunInProgress())
            overlay->SetVisible(false);
        if (!ble) StartBatteryTimer();
        // The macro page has nothing to offer over BLE: the mouse page takes its place.
        if (auto* mac = window.Find<ui::COptionUI>(QStringLiteral("btn_Mac"));
            ble && mac && mac->IsSelected())
            if (auto* mouse = window.Find<ui::COptionUI>(QStringLiteral("btn_Null"))) {
                mouse->Selected(true, false);
                window.PaintManager().SendNotify(mouse, QStringLiteral("click"));
            }
        if (!m_centredOnDevice) {
            m_centredOnDevice = true;
            window.CenterWindow();
        }
        const auto& entries = m_parts.stack.Entries();
        if (ble && tile >= 0) entry = &entries[static_cast<std::size_t>(tile)];
        if (auto* name = window.FindControl(QStringLiteral("lab_home_devname")); name && entry)
            name->SetText(QString::fromStdString(entry->displayName));
    } else {
        if (!ble) StopBatteryTimer();
        if (!m_hooks.hiddenToTray()) {
            m_parts.notices.Close();
            m_hooks.closeSettings();
            ui::SendMessageTo(&window, ui::kMsgApplyOverlay, 1, 0);
            ShowNoDeviceBox();
        }
    }
    ShowConnection();
}

void PresenceDisplay::ShowNoDeviceBox() {
    if (!m_parts.context.showNoDeviceBox) return;
    const bool unlinkedReceiver =
        m_parts.stack.SelectedEntry() != nullptr && ConnectionType() == kConnectionReceiver;
    // Without Bluetooth LE on this computer the mouse cannot be reached that way either: it says so.
    m_parts.notices.ShowNoDevice(unlinkedReceiver, m_bleUnavailable);
}

void PresenceDisplay::AttachBle() {
    control::DeviceStack& stack = m_parts.stack;
    // The bridge comes before the listeners: a receiver that loses its mouse asks for BLE.
    stack.AttachBle();
    if (BleBridge* ble = stack.Ble(); ble == nullptr || !ble->Registered() || !stack.Finder().hasBleList()) {
        // No adapter, or no list of the mice that may be reached over Bluetooth LE. The list is
        // decrypted (and the crypto library loaded) only when a connection is tried.
        DebugLine("Bluetooth LE is not available: BLE connections are not attempted\n");
        m_bleUnavailable = true;
    } else if (!Ble() && (stack.SelectedEntry() == nullptr || stack.Presence().ReceiverState() == 0)) {
        stack.Presence().ConnectBle();
    }
}

void PresenceDisplay::OnBleEvent(const WindowMessage& message) {
    const int code = static_cast<int>(message.lParam);
    const std::string text = message.payload.toString().toStdString();
    DebugF("BLE event %d %s\n", code, text);
    const bool counted = m_connected;
    control::DeviceStack& stack = m_parts.stack;
    stack.Presence().HandleBleEvent(code, text);
    const bool ble = Ble();
    switch (code) {
        case kBleEventLinkUp:
            m_bleRetries.Reset();
            m_bleRetry.stop();
            StopBatteryTimer();  // the mouse reports its battery itself over BLE
            m_hooks.refreshPages();
            Refresh();
            break;
        case kBleEventLinkDown:
            m_connected = false;
            m_hooks.refreshPages();
            Refresh();
            ui::SendMessageTo(&m_parts.window, ui::kMsgReadDeviceState, 1, 1);
            break;
        case kBleEventConnectFailed:
            OnBleConnectFailed();
            break;
        case kBleEventReconnect:
            if (!ble) stack.Presence().ConnectBle();
            break;
        case kBleEventBattery:
            if (const auto battery = BatteryFromEventText(text)) ShowBattery(*battery);
            break;
        case kBleEventQueryThenConnect:
            if (BleBridge* bridge = stack.Ble()) {
                const auto status = bridge->BleQuery();
                DebugF("BLE status %d\n", status ? static_cast<int>(*status) : -1);
            }
            stack.Presence().ConnectBle();
            break;
        default:
            // The command set has taken a reply already (on the bridge's thread, for the read
            // that asked for it); only the battery of a status reply is shown here.
            if (const auto battery = stack.BleReplyBattery(code, text)) ShowBattery(*battery);
            break;
    }
    // A mouse that has just come in over BLE is counted as connected and brought into step
    // (also when it replaces one that was counted on its cable or receiver).
    if (ble && (!counted || code == kBleEventLinkUp)) {
        Refresh();
        m_hooks.startRun(RunMode::Synchronise);
    }
}

void PresenceDisplay::OnBleConnectFailed() {
    switch (m_bleRetries.OnFailure(ReachableOtherwise())) {
        case control::BleRetries::Next::Retry:
            m_bleRetry.start();
            break;
        case control::BleRetries::Next::GiveUp:
            m_parts.notices.ShowBleConnectFailed();
            break;
        case control::BleRetries::Next::Nothing:
            break;
    }
}

void PresenceDisplay::OnHotplug(const WindowMessage& message) {
    HotplugEvent event;
    event.kind = message.wParam != 0 ? HotplugKind::Arrival : HotplugKind::Removal;
    event.vendorId = static_cast<std::uint16_t>((message.lParam >> 16) & 0xFFFF);
    event.productId = static_cast<std::uint16_t>(message.lParam & 0xFFFF);
    if (!m_parts.stack.Presence().OnDeviceChange(event)) return;
    // The new device settles before it is asked anything.
    const int settle = event.kind == HotplugKind::Arrival ? m_parts.context.hotplugSettleMs : 0;
    QTimer::singleShot(settle, &m_parts.window, [this] {
        control::RunScheduler& scheduler = m_parts.scheduler;
        scheduler.WaitForDevice();
        scheduler.ForgetReceiverLink();
        scheduler.SetEverSynchronised(m_parts.stack.SelectedEntry() != nullptr &&
                                      scheduler.EverSynchronised());
        m_hooks.selectDevice();
        {
            QtMessageSink::StoppingScope stopping(m_parts.sink);
            m_parts.stack.Presence().StartListeners();
        }
        Refresh();
    });
}

}  // namespace zor::app
