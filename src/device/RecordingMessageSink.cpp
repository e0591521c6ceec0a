#include "device/RecordingMessageSink.h"

#include <algorithm>

namespace zor {

void RecordingMessageSink::post(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                                std::string payload) {
    Record({message, wParam, lParam, std::move(payload), false, std::chrono::steady_clock::now()});
}

std::intptr_t RecordingMessageSink::send(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                                         std::string payload) {
    Record({message, wParam, lParam, std::move(payload), true, std::chrono::steady_clock::now()});
    return 1;
}

void RecordingMessageSink::SetObserver(Observer observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

void RecordingMessageSink::Record(SinkMessage m) {
    Observer observer;
    {
        std::lock_guard lock(m_mutex);
        observer = m_observer;
    }
    if (observer) observer(m);
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(std::move(m));
    }
    m_changed.notify_all();
}

std::vector<SinkMessage> RecordingMessageSink::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<SinkMessage> RecordingMessageSink::MessagesOf(unsigned message) const {
    std::lock_guard lock(m_mutex);
    std::vector<SinkMessage> out;
    std::copy_if(m_messages.begin(), m_messages.end(), std::back_inserter(out),
                 [&](const SinkMessage& m) { return m.message == message; });
    return out;
}

void RecordingMessageSink::Clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

bool RecordingMessageSink::WaitForCount(unsigned message, std::size_t count,
                                        std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(
                   std::count_if(m_messages.begin(), m_messages.end(),
                                 [&](const SinkMessage& m) { return m.message == message; })) >= count;
    });
}

}  // namespace zor
