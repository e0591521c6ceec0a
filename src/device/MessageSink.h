// How the device layer's threads report to the main window. The GUI implements the sink with Qt
// events; zorctl prints; tests record. Payloads are owned values (text), never addresses.
#pragma once

#include <cstdint>
#include <string>

namespace zor {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Queues the message for the receiving thread and returns at once. Callable from any thread.
    virtual void post(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                      std::string payload = {}) = 0;
    // Delivers the message on the receiving thread and waits for its result. Callable from any
    // thread. An implementation must not wait forever while its receiving thread is itself
    // stopping the device layer (it joins the threads that call send): it returns 0 then.
    virtual std::intptr_t send(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                               std::string payload = {}) = 0;
};

}  // namespace zor
