#include "device/virtual/VirtualBleBridge.h"

namespace zor {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr std::size_t kMaxTextBytes = 64;

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseReportText(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (pos + 2 > text.size() || bytes.size() >= kMaxTextBytes) return std::nullopt;
        const int high = HexValue(text[pos]);
        const int low = HexValue(text[pos + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        pos += 2;
        if (pos < text.size()) {
            if (text[pos] != ' ') return std::nullopt;
            ++pos;
        }
    }
    return bytes;
}

std::string ReportToEventText(std::span<const std::uint8_t> report) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < report.size(); ++i) {
        if (i != 0) text += ' ';
        text += kDigits[report[i] >> 4];
        text += kDigits[report[i] & 0x0F];
    }
    return text;
}

bool VirtualBleBridge::BleConnect(const std::string& /*deviceNames*/) {
    bool failing = false;
    bool connected = false;
    {
        std::lock_guard lock(m_mutex);
        failing = m_failing;
        m_connected = !failing && m_mouse && m_mouse->Attached();
        connected = m_connected;
    }
    if (failing) return false;
    if (connected) {
        StopRelay();  // a relay left over from an earlier link
        m_relayStop = false;
        m_relay = std::thread([this] { RelayInput(); });
    }
    Emit(connected ? kBleEventLinkUp : kBleEventConnectFailed, "");
    return true;
}

VirtualBleBridge::~VirtualBleBridge() { StopRelay(); }

void VirtualBleBridge::StopRelay() {
    m_relayStop = true;
    if (m_relay.joinable() && m_relay.get_id() != std::this_thread::get_id()) m_relay.join();
}

void VirtualBleBridge::RelayInput() {
    StatusReport report{};
    while (!m_relayStop.load()) {
        const int got = m_mouse->Read(0, report, 500);
        if (got > 0) {
            Emit(kBleEventInputBase + report[0], ReportToEventText(std::span(report.data(), static_cast<std::size_t>(got))));
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
    if (const auto reply = m_mouse->TakeReply()) Emit(kBleEventBattery, ReportToEventText(*reply));
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
    const auto bytes = ParseReportText(frameText);
    if (!bytes || !m_mouse->ReceiveFrame(*bytes)) return static_cast<std::int16_t>(0);
    if (const auto reply = m_mouse->TakeReply()) {
        Emit(kBleEventReplyBase + ((*reply)[kPosCommand] & 0x0F), ReportToEventText(*reply));
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

void VirtualBleBridge::DropLink() {
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
    }
    StopRelay();
    Emit(kBleEventLinkDown, "");
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
