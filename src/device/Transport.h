// The transport: builds command frames and moves them to the selected mouse as feature reports
// (cable, receiver) or as hex text through the BLE bridge, with the protocol's pauses.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "common/Sleeper.h"
#include "device/CommandFrame.h"
#include "device/LinkState.h"

namespace zor {

inline constexpr int kPauseBeforeCommandMs = 30;
inline constexpr int kPauseAfterSendMs = 50;
inline constexpr int kPauseBeforeReadMs = 80;

enum class TraceDirection { Sent, Received };
// Receives every report sent (41 bytes) and every report read back.
using TraceSink = std::function<void(TraceDirection, std::span<const std::uint8_t>)>;

// "> " or "< " followed by the bytes as lower-case hex separated by single spaces.
std::string TraceLine(TraceDirection direction, std::span<const std::uint8_t> bytes);
// A report as BLE text: every byte as two lower-case hex digits followed by one space.
std::string ReportToBleText(std::span<const std::uint8_t> report);

class Transport {
public:
    Transport(LinkState& link, Sleeper& sleeper) : m_link(link), m_sleeper(sleeper) {}

    // Builds a CommandFrame and sends it. A null payload with a non-zero length sends zeros (read
    // commands announce the length they want back this way).
    int SendCommand(std::uint8_t command, std::uint8_t argument, int offset, int length,
                    const std::uint8_t* payload);
    // frame = bytes 1.. of the report (no report id). 41 bytes or more, and so more than 32
    // payload bytes, are refused with 0 and no pause. HID: 1/0; BLE: the bridge's result.
    int SendReport(std::span<const std::uint8_t> frame);
    // Reads one report with id 6 from the current feature handle; the 41 bytes are copied out
    // whatever the result. Returns 1 when the read succeeded.
    int ReadReport(Report& out);

    // Held across a command and the read of its reply, so that another thread cannot slip a
    // command in between.
    std::unique_lock<std::recursive_mutex> LockExchange() {
        return std::unique_lock<std::recursive_mutex>(m_link.exchangeMutex);
    }

    void SetTraceSink(TraceSink sink) { m_trace = std::move(sink); }
    // Sends that were refused or failed since start-up.
    int FailedSends() const { return m_failedSends.load(); }
    // Replies that were not the answer to the command sent (noise), since start-up.
    int BadReplies() const { return m_badReplies.load(); }
    void CountBadReply() { ++m_badReplies; }

    // After kGiveUpAfterFailures transfers in a row failed, the mouse is taken as not answering:
    // every further transfer fails at once, rather than each waiting for the time-out of a hung
    // device, until Resume() (the start of the next run).
    static constexpr int kGiveUpAfterFailures = 3;
    bool GaveUp() const { return m_failuresInRow.load() >= kGiveUpAfterFailures; }
    void Resume() { m_failuresInRow = 0; }
    LinkState& Link() { return m_link; }
    Sleeper& GetSleeper() { return m_sleeper; }

private:
    // Stamps the frame with the next sequence number and sends its first length + 8 bytes behind
    // the report id, after the pause before a command.
    int SendFrame(CommandFrame frame, int length);
    void Trace(TraceDirection direction, std::span<const std::uint8_t> bytes) const {
        if (m_trace) m_trace(direction, bytes);
    }

    LinkState& m_link;
    Sleeper& m_sleeper;
    TraceSink m_trace;
    std::atomic<int> m_failedSends{0};
    std::atomic<int> m_badReplies{0};
    std::atomic<int> m_failuresInRow{0};  // HID transfers that failed in a row
    void CountTransfer(bool ok) {
        if (ok)
            m_failuresInRow = 0;
        else
            ++m_failuresInRow;
    }
};

}  // namespace zor
