#include "device/InputListener.h"

#include <algorithm>
#include <vector>

#include "common/Debug.h"

namespace zor {

InputListener::InputListener(ListenerTarget target, ReportHandler handler)
    : m_target(std::move(target)), m_handler(std::move(handler)) {}

InputListener::~InputListener() {
    RequestStop();
    Join();
}

void InputListener::Start() {
    if (m_thread.joinable() || !m_target.input) return;
    m_running = true;
    DebugLine("listener thread started\n");
    m_thread = std::thread([this] { Run(); });
}

void InputListener::RequestStop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.Raise();
    m_stopped.notify_all();
}

void InputListener::Join() {
    if (m_thread.joinable()) m_thread.join();
}

void InputListener::Run() {
    std::vector<std::uint8_t> report(static_cast<std::size_t>(std::clamp(m_target.reportLength, 1, 1024)));
    HidHandle& input = *m_target.input;
    while (!m_stop.load()) {
        const int got = input.ReadUntil(report, m_wake);
        if (got > 0) {
            m_handler(m_target, std::span<const std::uint8_t>(report.data(), static_cast<std::size_t>(got)));
            continue;
        }
        if (got == 0) continue;      // woken to stop
        if (!input.IsOpen()) break;  // the device has gone and its handle was closed
        std::unique_lock lock(m_mutex);
        m_stopped.wait_for(lock, std::chrono::milliseconds(kListenerErrorPauseMs),
                           [&] { return m_stop.load(); });
    }
    m_running = false;
}

}  // namespace zor
