#include "update/gui/BackgroundTask.h"

#include <QMetaObject>

#include "common/HandOver.h"

namespace zor::update {

BackgroundTask::~BackgroundTask() {
    m_cancel = true;
    Join();
}

void BackgroundTask::Join() {
    if (m_thread.joinable()) m_thread.join();
}

bool BackgroundTask::Start(Job job) {
    if (m_running) return false;
    Join();
    m_cancel = false;
    m_running = true;
    m_thread = std::thread([this, job = std::move(job)] {
        std::function<void()> then = job(m_cancel);
        // Queued to this object: dropped when the task is destroyed first.
        HandOverRelease(this);
        QMetaObject::invokeMethod(
            this,
            [this, then = std::move(then)] {
                HandOverAcquire(this);
                Join();
                m_running = false;
                if (then) then();
                emit finished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void BackgroundTask::Post(std::function<void()> onUiThread) {
    HandOverRelease(this);
    QMetaObject::invokeMethod(
        this,
        [this, onUiThread = std::move(onUiThread)] {
            HandOverAcquire(this);
            onUiThread();
        },
        Qt::QueuedConnection);
}

}  // namespace zor::update
