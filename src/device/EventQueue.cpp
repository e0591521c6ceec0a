#include "device/EventQueue.h"

#include <bit>

#include "common/Debug.h"

namespace zor {

EventQueue::EventQueue(std::size_t initialCapacity, std::size_t maxCapacity)
    : m_ring(std::bit_ceil(std::max<std::size_t>(initialCapacity, 1))),
      m_maxCapacity(std::max(std::bit_ceil(std::max<std::size_t>(maxCapacity, 1)), m_ring.size())) {}

bool EventQueue::Push(const DeviceEvent& event) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped) return false;
        if (m_count == m_ring.size()) {
            if (m_ring.size() >= m_maxCapacity) {
                ++m_dropped;
                DebugF("device event dropped, queue full:%d\n", m_count);
                return false;
            }
            // Unroll the ring into a buffer twice the size, oldest event first.
            std::vector<DeviceEvent> grown(m_ring.size() * 2);
            for (std::size_t i = 0; i < m_count; ++i) grown[i] = m_ring[(m_head + i) & (m_ring.size() - 1)];
            m_ring = std::move(grown);
            m_head = 0;
        }
        m_ring[(m_head + m_count) & (m_ring.size() - 1)] = event;
        ++m_count;
    }
    m_ready.notify_one();
    return true;
}

std::optional<DeviceEvent> EventQueue::WaitPop() {
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [&] { return m_stopped || m_count > 0; });
    if (m_stopped) return std::nullopt;
    const DeviceEvent event = m_ring[m_head];
    --m_count;
    m_head = m_count == 0 ? 0 : (m_head + 1) & (m_ring.size() - 1);
    ++m_busy;
    return event;
}

void EventQueue::Done() {
    {
        std::lock_guard lock(m_mutex);
        if (m_busy > 0) --m_busy;
    }
    m_idle.notify_all();
}

void EventQueue::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_count = 0;
        m_head = 0;
        m_busy = 0;
    }
    m_ready.notify_all();
    m_idle.notify_all();
}

bool EventQueue::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [&] { return m_count == 0 && m_busy == 0; });
}

std::size_t EventQueue::Count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

std::size_t EventQueue::Capacity() const {
    std::lock_guard lock(m_mutex);
    return m_ring.size();
}

std::size_t EventQueue::Dropped() const {
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

}  // namespace zor
