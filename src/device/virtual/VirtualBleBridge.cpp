#include "device/virtual/VirtualBleBridge.h"

#include "device/BleText.h"

namespace zor {
bool VirtualBleBridge::BleConnect(const std::string& /*deviceNames*/) {
    bool failing = false;
    bool connected = false;
    {
        std::lock_guard lock(m_mutex);
        failing = m_failing;
        m_connected = !failing && m_advertising && m_mouse && m_mouse->Attached();
        connected = m_connected;
    }
    if (failing) return false;
    if (connected) {
        StopRelay();  // a relay left over from an earlier link
        m_relayStop = false;
        m_relayWake.Clear();
        m_relay = std::thread([this] { RelayInput(); });
    }
    Emit(connected ? kBleEventLinkUp : kBleEventConnectFailed, "");
    return true;
}

VirtualBleBridge::~VirtualBleBridge() {
    StopRelay();
}

void VirtualBleBridge::StopRelay() {
    m_relayStop = true;
    m_relayWake.Raise();
    if (m_relay.joinable() && m_relay.get_id() != std::this_thread::get_id()) m_relay.join();
}

void VirtualBleBridge::RelayInput() {
    StatusReport report{};
    while (!m_relayStop.load()) {
        const int got = ReadVirtualInput(*m_mouse, 0, report, m_relayWake, nullptr);
        if (got > 0) {
            Emit(kBleEventInputBase + report[0],
                 ToBleEventText(std::span(report.data(), static_cast<std::size_t>(got))));
        } else if (got < 0) {
            // The mouse went away: the link is down.
            bool wasConnected = false;
            {
                std::lock_guard lock(m_mutex);
                wasConnected = m_connected;
                m_connected = false;
            }
            if (wasConnected) Emit(kBleEventLinkDown, "");
            return;
        }
    }
}

void VirtualBleBridge::ReportBattery() {
    Report query{};
    query[0] = kCommandReportId;
    query[kPosCommand] = 0x81;
    query[kPosLength] = 3;
    if (!m_mouse->ReceiveFrame(query)) return;
    if (const auto reply = m_mouse->TakeReply()) Emit(kBleEventBattery, ToBleEventText(*reply));
}

std::optional<std::int16_t> VirtualBleBridge::BleQuery() {
    std::lock_guard lock(m_mutex);
    if (m_failing) return std::nullopt;
    return static_cast<std::int16_t>(m_connected ? 1 : 0);
}

std::optional<std::int16_t> VirtualBleBridge::BleSend(const std::string& frameText) {
    {
        std::lock_guard lock(m_mutex);
        if (m_failing) return std::nullopt;
        m_sent.push_back(frameText);
        if (!m_connected) return static_cast<std::int16_t>(0);
    }
    const auto bytes = ParseBleText(frameText);
    if (!bytes || !m_mouse->ReceiveFrame(*bytes)) return static_cast<std::int16_t>(0);
    if (const auto reply = m_mouse->TakeReply()) {
        Emit(kBleEventReplyBase + ((*reply)[kPosCommand] & 0x0F), ToBleEventText(*reply));
    }
    return static_cast<std::int16_t>(1);
}

void VirtualBleBridge::SetEventHandler(BleEventHandler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void VirtualBleBridge::SetFailing(bool failing) {
    std::lock_guard lock(m_mutex);
    m_failing = failing;
}

void VirtualBleBridge::SetAdvertising(bool advertising) {
    std::lock_guard lock(m_mutex);
    m_advertising = advertising;
}

void VirtualBleBridge::DropLink() {
    // Reported once: the relay also reports the link down when the mouse goes away meanwhile.
    bool wasConnected = false;
    {
        std::lock_guard lock(m_mutex);
        wasConnected = m_connected;
        m_connected = false;
    }
    StopRelay();
    if (wasConnected) Emit(kBleEventLinkDown, "");
}

std::vector<std::string> VirtualBleBridge::SentTexts() const {
    std::lock_guard lock(m_mutex);
    return m_sent;
}

void VirtualBleBridge::Emit(int code, const std::string& text) {
    BleEventHandler handler;
    {
        std::lock_guard lock(m_mutex);
        handler = m_handler;
    }
    if (handler) handler(code, text);
}

}  // namespace zor
