#include "common/Sleeper.h"

#include <numeric>
#include <thread>

namespace zor {

void RealSleeper::SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void RecordingSleeper::SleepMs(int ms) {
    std::lock_guard lock(m_mutex);
    m_pauses.push_back(ms);
}

std::vector<int> RecordingSleeper::pauses() const {
    std::lock_guard lock(m_mutex);
    return m_pauses;
}

long long RecordingSleeper::totalMs() const {
    std::lock_guard lock(m_mutex);
    return std::accumulate(m_pauses.begin(), m_pauses.end(), 0LL);
}

void RecordingSleeper::clear() {
    std::lock_guard lock(m_mutex);
    m_pauses.clear();
}

}  // namespace zor
