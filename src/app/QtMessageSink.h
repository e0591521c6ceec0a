// The device layer's message sink for the GUI: post queues a window message as a Qt event;
// send runs it on the UI thread and waits for the result, except while the UI thread is
// stopping listeners (it joins their threads then), when the message is only queued.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <mutex>
#include <vector>

#include "control/ControlEvents.h"
#include "device/MessageSink.h"

namespace zor::ui {
class MessageReply;
}

namespace zor::app {

class QtMessageSink final : public MessageSink {
public:
    explicit QtMessageSink(QObject* receiver = nullptr) : m_receiver(receiver) {}
    void SetReceiver(QObject* receiver) { m_receiver = receiver; }

    void post(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
              std::string payload = {}) override;
    std::intptr_t send(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                       std::string payload = {}) override;

    // While stopping, waiting senders are released (they answer 0) and new sends only post.
    void SetStopping(bool stopping);

    // Holds the stopping state for one scope on the UI thread.
    class StoppingScope {
    public:
        explicit StoppingScope(QtMessageSink& sink) : m_sink(sink) { m_sink.SetStopping(true); }
        ~StoppingScope() { m_sink.SetStopping(false); }
        StoppingScope(const StoppingScope&) = delete;
        StoppingScope& operator=(const StoppingScope&) = delete;

    private:
        QtMessageSink& m_sink;
    };

private:
    QPointer<QObject> m_receiver;
    std::mutex m_mutex;
    int m_stopping = 0;
    std::vector<std::shared_ptr<ui::MessageReply>> m_waiting;  // replies senders wait for
};

// The control layer's events as the window's messages, queued through the sink: the end of a run
// (2054), of a device-state read and of a charge counter read (program-internal), and the macro
// library saved (2047, for the macro page).
class WindowControlEvents final : public control::ControlEvents {
public:
    explicit WindowControlEvents(QtMessageSink& sink) : m_sink(sink) {}
    void RunEnded() override;
    void StateReadEnded() override;
    void ChargeCounterReadEnded() override;
    void MacroLibrarySaved() override;

private:
    QtMessageSink& m_sink;
};

}  // namespace zor::app
