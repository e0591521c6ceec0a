// The device event queue: a ring that doubles when full, guarded by one mutex, with a condition
// variable so that the event worker sleeps until there is work.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "device/DeviceEvent.h"

namespace zor {

inline constexpr std::size_t kInitialEventCapacity = 16;
// A UI thread that stops taking messages must not make the listeners eat all memory.
inline constexpr std::size_t kMaxEventCapacity = 4096;

class EventQueue {
public:
    explicit EventQueue(std::size_t initialCapacity = kInitialEventCapacity,
                        std::size_t maxCapacity = kMaxEventCapacity);

    // False (and the event dropped with a debug line) when the queue is full at its largest size
    // or stopped.
    bool Push(const DeviceEvent& event);
    // Blocks until an event is there or the queue is stopped; nullopt once stopped.
    std::optional<DeviceEvent> WaitPop();
    // Wakes every waiter; later pushes are refused and WaitPop returns nullopt.
    void Stop();
    // Waits until the worker has taken and finished every queued event.
    bool WaitIdle(std::chrono::milliseconds timeout);
    // The worker calls this after acting on the event WaitPop gave it.
    void Done();

    std::size_t Count() const;
    std::size_t Capacity() const;
    std::size_t Dropped() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_idle;
    std::vector<DeviceEvent> m_ring;
    std::size_t m_head = 0;
    std::size_t m_count = 0;
    std::size_t m_maxCapacity;
    std::size_t m_busy = 0;  // events taken but not yet done
    std::size_t m_dropped = 0;
    bool m_stopped = false;
};

}  // namespace zor
