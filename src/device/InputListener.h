// One input listener: a thread that sleeps until its device sends an input report and hands each
// report on. It never wakes on a timer: a stop request wakes it through an eventfd. It ends when
// asked to, or when its handle has been closed (the device was removed).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

#include "device/HidBus.h"

namespace zor {

// Pause after a failed read of a handle that is still open, so that a device in trouble does
// not make the listener spin.
inline constexpr int kListenerErrorPauseMs = 100;

struct ListenerTarget {
    int device = 0;  // catalog index
    int catalogType = 0;
    int isUsb = 0;
    int reportLength = 64;
    std::shared_ptr<HidHandle> input;
};

class InputListener {
public:
    using ReportHandler = std::function<void(const ListenerTarget&, std::span<const std::uint8_t>)>;

    InputListener(ListenerTarget target, ReportHandler handler);
    ~InputListener();
    InputListener(const InputListener&) = delete;
    InputListener& operator=(const InputListener&) = delete;

    void Start();
    void RequestStop();
    void Join();
    // True until the thread has ended by itself or been stopped.
    bool Running() const { return m_running.load(); }
    const ListenerTarget& Target() const { return m_target; }

private:
    void Run();

    ListenerTarget m_target;
    ReportHandler m_handler;
    std::atomic<bool> m_stop{false};
    WakeEvent m_wake;
    std::atomic<bool> m_running{false};
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::thread m_thread;
};

}  // namespace zor
