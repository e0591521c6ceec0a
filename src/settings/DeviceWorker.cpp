#include "settings/DeviceWorker.h"

namespace zor {

bool DeviceWorker::Start(std::function<void()> job) {
    if (m_busy.exchange(true)) return false;
    if (m_thread.joinable()) m_thread.join();
    m_thread = std::thread(std::move(job));
    return true;
}

void DeviceWorker::Join() {
    if (m_thread.joinable()) m_thread.join();
    m_busy = false;
}

}  // namespace zor
