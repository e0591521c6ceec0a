// One device job at a time off the UI thread: the apply run and the device-state read both use
// it, so that they never exchange commands at the same time. The thread is joined, never
// detached; the job reports back through its own completion callback (a posted message).
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace zor {

class DeviceWorker {
public:
    DeviceWorker() = default;
    ~DeviceWorker() { Join(); }
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;

    // Starts job on a new thread; false (and nothing started) while another job runs.
    bool Start(std::function<void()> job);
    // True from Start until Join has collected the thread.
    bool Busy() const { return m_busy.load(); }
    // Waits for the job to end and frees the worker for the next one.
    void Join();

private:
    std::thread m_thread;
    std::atomic<bool> m_busy{false};
};

}  // namespace zor
