#include "app/QtMessageSink.h"

#include <QCoreApplication>
#include <QThread>
#include <memory>

#include "app/AppMessages.h"
#include "ui/CrossThread.h"
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

    auto reply = std::make_shared<ui::MessageReply>();
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping > 0) {
            ui::PostMessageTo(receiver, message, wParam, lParam, data);
            return 0;
        }
        m_waiting.push_back(reply);
    }
    ui::PostMessageWithReply(receiver, message, wParam, lParam, data, reply);
    const long long result = reply->Wait();  // also ends when the UI thread starts stopping
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_waiting, reply);
    }
    return static_cast<std::intptr_t>(result);
}

void QtMessageSink::SetStopping(bool stopping) {
    std::lock_guard lock(m_mutex);
    m_stopping += stopping ? 1 : -1;
    // Senders waiting now answer 0 at once: the UI thread is about to join their threads.
    if (m_stopping > 0)
        for (const auto& reply : m_waiting) reply->Abandon();
}

void WindowControlEvents::RunEnded() {
    m_sink.post(ui::kMsgApplyEnd, 0, 0);
}

void WindowControlEvents::StateReadEnded() {
    m_sink.post(kMsgStateReadDone, 0, 0);
}

void WindowControlEvents::ChargeCounterReadEnded() {
    m_sink.post(kMsgChargeCounterRead, 0, 0);
}

void WindowControlEvents::MacroLibrarySaved() {
    m_sink.post(ui::kMsgMacroReload, 1, 0);
}

}  // namespace zor::app
