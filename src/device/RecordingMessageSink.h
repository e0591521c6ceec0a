// A MessageSink that keeps every message in order and lets a caller wait for the ones it
// expects. Used by the tests, the benchmark and zorctl watch.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "device/MessageSink.h"

namespace zor {

struct SinkMessage {
    unsigned message = 0;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::string payload;
    bool sent = false;  // delivered with send rather than post
    std::chrono::steady_clock::time_point at;
};

class RecordingMessageSink final : public MessageSink {
public:
    using Observer = std::function<void(const SinkMessage&)>;

    void post(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
              std::string payload = {}) override;
    std::intptr_t send(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                       std::string payload = {}) override;

    // Called for every message on the reporting thread, before waiters wake.
    void SetObserver(Observer observer);
    std::vector<SinkMessage> Messages() const;
    std::vector<SinkMessage> MessagesOf(unsigned message) const;
    void Clear();
    // Waits until at least count messages with this number arrived; false on time-out.
    bool WaitForCount(unsigned message, std::size_t count, std::chrono::milliseconds timeout);

private:
    void Record(SinkMessage m);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SinkMessage> m_messages;
    Observer m_observer;
};

}  // namespace zor
