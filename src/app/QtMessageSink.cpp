#include "app/QtMessageSink.h"

#include <QCoreApplication>
#include <QThread>
#include <memory>

#include "common/HandOver.h"
#include "ui/WindowImplBase.h"

namespace zor::app {

void QtMessageSink::post(unsigned message, std::intptr_t wParam, std::intptr_t lParam, std::string payload) {
    ui::PostMessageTo(m_receiver, message, wParam, lParam, QVariant(QString::fromStdString(payload)));
}

std::intptr_t QtMessageSink::send(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                                  std::string payload) {
    QObject* receiver = m_receiver;
    if (receiver == nullptr) return 0;
    const QVariant data(QString::fromStdString(payload));
    if (receiver->thread() == QThread::currentThread())
        return ui::SendMessageTo(receiver, message, wParam, lParam, data);

    struct Reply {
        bool done = false;
        long long result = 0;
    };
    auto reply = std::make_shared<Reply>();
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping > 0) {
            post(message, wParam, lParam, payload);
            return 0;
        }
    }
    QPointer<QObject> guard(receiver);
    HandOverRelease(reply.get());
    QMetaObject::invokeMethod(
        receiver,
        [this, guard, reply, message, wParam, lParam, data] {
            HandOverAcquire(reply.get());
            long long result = guard ? ui::SendMessageTo(guard, message, wParam, lParam, data) : 0;
            std::lock_guard lock(m_mutex);
            reply->result = result;
            reply->done = true;
            m_changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return reply->done || m_stopping > 0; });
    return reply->done ? static_cast<std::intptr_t>(reply->result) : 0;
}

void QtMessageSink::SetStopping(bool stopping) {
    std::lock_guard lock(m_mutex);
    m_stopping += stopping ? 1 : -1;
    m_changed.notify_all();
}

}  // namespace zor::app
