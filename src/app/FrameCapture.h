// The reports the program's device stack sends and reads back, kept as trace lines while a
// D-Bus call asks for them (zorctl --trace through the running program). The transport calls it
// from the device worker's thread; when nothing is capturing it only tests a flag.
#pragma once

#include <atomic>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/Transport.h"

namespace zor::app {

class FrameCapture {
public:
    void Start() {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
        m_on = true;
    }
    // Stops capturing; the lines captured since Start.
    std::vector<std::string> Stop() {
        std::lock_guard lock(m_mutex);
        m_on = false;
        return std::move(m_lines);
    }
    // Pauses without dropping what was captured (between the runs of one call).
    void Pause() { m_on = false; }
    void Resume() { m_on = true; }
    TraceSink Sink() {
        return [this](TraceDirection direction, std::span<const std::uint8_t> bytes) {
            if (!m_on) return;
            std::lock_guard lock(m_mutex);
            if (m_on) m_lines.push_back(TraceLine(direction, bytes));
        };
    }

private:
    std::atomic<bool> m_on{false};
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

}  // namespace zor::app
