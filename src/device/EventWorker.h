// The event worker: one thread that takes device events off the queue and turns them into the
// main window's messages (2031, 2032 and 2069 posted, 2040 and 2041 sent).
#pragma once

#include <thread>

#include "device/DeviceView.h"
#include "device/EventQueue.h"
#include "device/MessageSink.h"

namespace zor {

// Delivers one event; exposed so that the mapping can be checked without a thread.
void DeliverDeviceEvent(const DeviceEvent& event, const DeviceView& view, MessageSink& sink);

class EventWorker {
public:
    EventWorker(EventQueue& queue, const DeviceView& view, MessageSink& sink)
        : m_queue(queue), m_view(view), m_sink(sink) {}
    ~EventWorker() { Stop(); }
    EventWorker(const EventWorker&) = delete;
    EventWorker& operator=(const EventWorker&) = delete;

    void Start();
    // Stops the queue and joins the thread; events still queued are dropped.
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run();

    EventQueue& m_queue;
    const DeviceView& m_view;
    MessageSink& m_sink;
    std::thread m_thread;
};

}  // namespace zor
