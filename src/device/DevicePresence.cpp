#include "device/DevicePresence.h"

#include <algorithm>

#include "common/Debug.h"
#include "device/BleText.h"
#include "device/DeviceMatch.h"
#include "device/DeviceMessages.h"

namespace zor {
namespace {

bool CarriesIds(const DeviceEntry& entry, std::uint16_t vendorId, std::uint16_t productId) {
    const std::size_t count = std::min(entry.productIds.size(), entry.vendorIds.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (entry.productIds[i] == productId && entry.vendorIds[i] == vendorId) return true;
    }
    return false;
}

}  // namespace

std::string ConnectionIcon(bool bleMode, int connectionKind, int receiverState) {
    if (bleMode) return "/Home/bluetooth.png";
    if (connectionKind == kConnectionCable) return "/Home/UsbConnect.png";
    if (connectionKind == kConnectionReceiver) {
        if (receiverState == 1) return "/Home/2.4GConnect.png";
        if (receiverState == 0) return "/Home/2.4GNoConnect.png";
    }
    return {};
}

DevicePresence::DevicePresence(HidBus& bus, LinkState& link, std::vector<DeviceEntry>& entries,
                               MessageSink& sink, DeviceView& view)
    : m_bus(bus),
      m_link(link),
      m_entries(entries),
      m_sink(sink),
      m_view(view),
      m_worker(m_queue, m_view, m_sink) {}

DevicePresence::~DevicePresence() {
    Shutdown();
    if (m_ble != nullptr) m_ble->SetEventHandler(nullptr);
}

void DevicePresence::StartWorker() {
    m_worker.Start();
}

bool DevicePresence::OnArrival(std::uint16_t vendorId, std::uint16_t productId) {
    for (DeviceEntry& entry : m_entries) {
        if (!CarriesIds(entry, vendorId, productId) || entry.found) continue;
        if (m_matcher ? m_matcher(entry) : MatchDevice(m_bus, entry, m_link)) return true;
    }
    return false;
}

bool DevicePresence::OnRemoval(std::uint16_t vendorId, std::uint16_t productId) {
    for (DeviceEntry& entry : m_entries) {
        if (!CarriesIds(entry, vendorId, productId) || !entry.found) continue;
        // Another interface of the same device may have gone while the two collections stay.
        if (m_matcher ? m_matcher(entry) : MatchDevice(m_bus, entry, m_link)) continue;
        ReleaseDevice(entry, m_link);
        return true;
    }
    return false;
}

bool DevicePresence::OnDeviceChange(const HotplugEvent& event) {
    return event.kind == HotplugKind::Arrival ? OnArrival(event.vendorId, event.productId)
                                              : OnRemoval(event.vendorId, event.productId);
}

void DevicePresence::StartListeners() {
    // Listeners whose device is gone, or whose handle a re-match replaced, end here.
    auto stale = [&](const InputListener& l) {
        const auto device = static_cast<std::size_t>(l.Target().device);
        return !l.Running() || device >= m_entries.size() || !m_entries[device].found ||
               m_entries[device].inputHandle != l.Target().input;
    };
    for (auto& listener : m_listeners) {
        if (stale(*listener)) listener->RequestStop();
    }
    std::erase_if(m_listeners, [&](const auto& listener) { return stale(*listener); });  // joins

    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const DeviceEntry& entry = m_entries[i];
        if (!entry.found || !entry.inputHandle) continue;
        const bool running = std::any_of(m_listeners.begin(), m_listeners.end(), [&](const auto& l) {
            return l->Target().device == static_cast<int>(i);
        });
        if (running) continue;
        ListenerTarget target{static_cast<int>(i), entry.devType, entry.isUsb,
                              entry.inputReportLength > 0 ? entry.inputReportLength : 64, entry.inputHandle};
        auto listener = std::make_unique<InputListener>(
            std::move(target), [this](const ListenerTarget& t, std::span<const std::uint8_t> report) {
                OnInputReport(t, report);
            });
        listener->Start();
        m_listeners.push_back(std::move(listener));
    }
}

void DevicePresence::StopListeners() {
    for (auto& listener : m_listeners) listener->RequestStop();
    for (auto& listener : m_listeners) listener->Join();
    m_listeners.clear();
}

int DevicePresence::RunningListeners() const {
    return static_cast<int>(
        std::count_if(m_listeners.begin(), m_listeners.end(), [](const auto& l) { return l->Running(); }));
}

void DevicePresence::AutoSelect() {
    m_selected = -1;
    if (!m_entries.empty() && m_entries[0].found) {
        m_selected = 0;
        m_connectionKind = kConnectionCable;
        m_receiverState = 1;
    } else if (m_entries.size() > 1 && m_entries[1].found) {
        m_selected = 1;
        m_connectionKind = kConnectionReceiver;
    } else {
        m_connectionKind = kConnectionCable;
        m_receiverState = 0;
    }
    if (m_selected >= 0) SelectDevice(m_entries[static_cast<std::size_t>(m_selected)], m_link);
    m_sink.send(kMsgReadDeviceState, 0, 1);
}

void DevicePresence::Shutdown() {
    StopListeners();
    m_worker.Stop();
}

void DevicePresence::OnInputReport(const ListenerTarget& target, std::span<const std::uint8_t> report) {
    if (target.catalogType == 1 && report.size() > kStatusLink) {
        m_link.bleMode = 0;
        const int link = report[kStatusLink];
        if (target.isUsb == 0) {
            DebugF("receiver link state:%d\n", link);
            if (m_receiverState.exchange(link) != link) {
                m_sink.send(kMsgReadDeviceState, 1, 1);
                // The receiver lost its mouse: the mouse may be reachable over BLE instead.
                if (link == 0) ConnectBle();
            }
        } else {
            int expected = 0;
            if (m_receiverState.compare_exchange_strong(expected, 1)) m_sink.send(kMsgReadDeviceState, 1, 0);
        }
    }
    if (m_receiverState.load() == 0) return;
    m_keys.ProcessStatusReport(report, target.device, target.catalogType, m_view, m_queue);
}

void DevicePresence::AttachBle(BleBridge* bridge, std::string deviceNames, CommandSet* commands) {
    AttachBle(bridge, NameSource([names = std::move(deviceNames)] { return names; }), commands);
}

void DevicePresence::AttachBle(BleBridge* bridge, NameSource deviceNames, CommandSet* commands) {
    if (m_ble != nullptr && m_ble != bridge) m_ble->SetEventHandler(nullptr);
    m_ble = bridge;
    m_bleNames = std::move(deviceNames);
    m_link.UseBridge(bridge);
    if (bridge == nullptr) return;
    // The bridge's events reach the main window as message 2065 with the code and the text.
    bridge->SetEventHandler([this, commands](int code, const std::string& text) {
        if (commands != nullptr && code >= kBleEventReplyBase && code < kBleEventReplyBase + 0x100)
            commands->StoreBleReply(code, text);
        m_sink.post(kMsgBleEvent, 0, code, text);
    });
}

bool DevicePresence::ConnectBle() {
    if (m_ble == nullptr || m_link.bleStatus != 0) return false;
    if (m_bleConnecting.exchange(true)) return false;
    if (!m_ble->BleConnect(m_bleNames ? m_bleNames() : std::string())) {
        DebugLine("BleConnect failed\n");
        m_bleConnecting = false;
        return false;
    }
    return true;
}

void DevicePresence::HandleBleEvent(int code, const std::string& text) {
    DebugF("BLE event:%d\n", code);
    switch (code) {
        case kBleEventLinkUp:
            m_link.bleMode = 1;
            m_bleConnecting = false;
            return;
        case kBleEventLinkDown:
            m_link.bleMode = 0;
            m_bleConnecting = false;
            return;
        case kBleEventConnectFailed:
            m_bleConnecting = false;
            return;
        default:
            break;
    }
    if (code >= kBleEventInputBase && code < kBleEventInputBase + 0x100) HandleBleInput(text);
}

int DevicePresence::SelectedCatalogType() const {
    if (m_selected >= 0 && static_cast<std::size_t>(m_selected) < m_entries.size())
        return m_entries[static_cast<std::size_t>(m_selected)].devType;
    return 1;
}

bool DevicePresence::HandleBleInput(const std::string& text) {
    const auto bytes = ParseBleText(text);
    if (!bytes || !ParseInputStatus(*bytes)) {
        DebugF("BLE input report dropped: %s\n", bytes ? "not a full status report" : "malformed text");
        return false;
    }
    // Over BLE the mouse is linked by definition, whatever a receiver last reported.
    m_keys.ProcessStatusReport(*bytes, std::max(m_selected, 0), SelectedCatalogType(), m_view, m_queue);
    return true;
}

}  // namespace zor
