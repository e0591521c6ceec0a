#include "device/Transport.h"

#include <algorithm>
#include <array>

#include "common/Debug.h"
#include "device/BleBridge.h"

namespace zor {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

std::string TraceLine(TraceDirection direction, std::span<const std::uint8_t> bytes) {
    std::string line = direction == TraceDirection::Sent ? ">" : "<";
    line.reserve(2 + bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        line += ' ';
        line += kHexDigits[b >> 4];
        line += kHexDigits[b & 0x0F];
    }
    return line;
}

std::string ReportToBleText(std::span<const std::uint8_t> report) {
    std::string text;
    text.reserve(report.size() * 3);
    for (std::uint8_t b : report) {
        text += kHexDigits[b >> 4];
        text += kHexDigits[b & 0x0F];
        text += ' ';
    }
    return text;
}

int Transport::SendCommand(std::uint8_t command, std::uint8_t argument, int offset, int length,
                           const std::uint8_t* payload) {
    CommandFrame frame;
    frame.command = command;
    frame.argument = argument;
    frame.SetOffset(offset);
    frame.length = static_cast<std::uint8_t>(length);
    // Never more than 32 payload bytes are copied; an over-long length is refused when sent.
    if (payload != nullptr && length > 0)
        std::copy_n(payload, std::min<std::size_t>(static_cast<std::size_t>(length), kMaxPayload),
                    frame.payload.begin());
    return SendFrame(frame, length);
}

int Transport::SendFrame(CommandFrame frame, int length) {
    auto lock = LockExchange();
    if (m_link.bleMode.load() == 0 && GaveUp()) {
        ++m_failedSends;  // not even the pause: the mouse is not answering
        return 0;
    }
    m_sleeper.SleepMs(kPauseBeforeCommandMs);
    ++m_link.sequence;  // 8-bit: wraps 255 -> 0
    frame.sequence = m_link.sequence;
    // Sent: the frame behind the report id, up to its last payload byte. More than 32 payload
    // bytes (or a negative length) do not fit a report: refused like any over-long frame.
    const auto size = static_cast<std::size_t>(length) + 8;
    if (length < 0 || size >= kReportSize) {
        ++m_failedSends;
        return 0;
    }
    const Report bytes = frame.Bytes();
    return SendReport(std::span<const std::uint8_t>(bytes).subspan(1, size));
}

int Transport::SendReport(std::span<const std::uint8_t> frame) {
    if (frame.size() >= kReportSize) {
        ++m_failedSends;
        return 0;
    }
    auto lock = LockExchange();

    Report report{};
    report[0] = kCommandReportId;
    std::copy(frame.begin(), frame.end(), report.begin() + 1);

    int result = 0;
    if (m_link.bleMode.load() == 0) {
        if (GaveUp()) {
            ++m_failedSends;
            return 0;
        }
        const auto& handle = m_link.featureHandle;
        Trace(TraceDirection::Sent, report);
        result = handle && handle->SetFeature(report) > 0 ? 1 : 0;
        CountTransfer(result > 0);
    } else if (m_link.bleStatus == 0 && m_link.ble != nullptr) {
        Trace(TraceDirection::Sent, report);
        const auto sent = m_link.ble->BleSend(ReportToBleText(report));
        if (sent) {
            result = *sent;  // sign-extended 16-bit result
        } else {
            // A failing bridge call ends this send as "not sent"; the caller carries on.
            DebugLine("BleSend failed\n");
        }
    }
    m_sleeper.SleepMs(kPauseAfterSendMs);
    if (result <= 0) ++m_failedSends;
    return result;
}

int Transport::ReadReport(Report& out) {
    auto lock = LockExchange();
    if (GaveUp()) {
        out = Report{};
        return 0;
    }
    m_sleeper.SleepMs(kPauseBeforeReadMs);
    std::array<std::uint8_t, 512> buffer{};
    buffer[0] = kCommandReportId;
    const auto& handle = m_link.featureHandle;
    const int got = handle ? handle->GetFeature(std::span<std::uint8_t>(buffer.data(), kReportSize)) : -1;
    std::copy_n(buffer.begin(), kReportSize, out.begin());
    Trace(TraceDirection::Received, out);
    CountTransfer(got > 0);
    return got > 0 ? 1 : 0;
}

}  // namespace zor
