// Hand-over between threads through the Qt event queue, with the ordering kept visible to
// ThreadSanitizer (common/HandOver.h): every object handed over is built on the posting thread and
// read and destroyed on the receiving one, and a waiting sender sleeps on a lock of our own.
#pragma once

#include <QObject>
#include <QVariant>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace zor::ui {

// Where a thread that sent a message to another thread waits for the result. The posted message
// finishes it when its event is destroyed: after the receiver has handled it, or unhandled (0)
// when the receiver went first. Abandon releases the waiter early with 0.
class MessageReply {
public:
    void Finish(long long result);
    void Abandon() { Finish(0); }
    // Blocks until finished or abandoned; the result (0 when abandoned).
    long long Wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    long long m_result = 0;
};

// PostMessageTo with a reply that receives the message's result.
void PostMessageWithReply(QObject* target, unsigned msg, qintptr wParam, qintptr lParam,
                          const QVariant& payload, std::shared_ptr<MessageReply> reply);

// Runs functions handed over from other threads on its own thread, in order; those still queued
// when it is destroyed are dropped. (A queued QMetaObject::invokeMethod call may be destroyed on
// the posting thread instead, after the receiver ran it.)
class CallReceiver : public QObject {
public:
    using QObject::QObject;
    void Post(std::function<void()> call);

protected:
    bool event(QEvent* e) override;
};

}  // namespace zor::ui
