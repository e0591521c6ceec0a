#include "update/gui/BackgroundTask.h"

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
        // Dropped when the task is destroyed first.
        m_calls.Post([this, then = std::move(then)] {
            Join();
            m_running = false;
            if (then) then();
            emit finished();
        });
    });
    return true;
}

void BackgroundTask::Post(std::function<void()> onUiThread) {
    m_calls.Post(std::move(onUiThread));
}

}  // namespace zor::update
