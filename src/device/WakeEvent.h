// A wake-up one thread raises for another that sleeps in poll(): an eventfd that stays raised
// until cleared. Readers of input reports wait on their device and on such an event together,
// so that they sleep without a time-out and still stop at once when asked to.
#pragma once

#include <atomic>
#include <initializer_list>

namespace zor {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void Raise();
    void Clear();
    bool Raised() const;
    // Readable while raised; -1 when no eventfd could be made (Raised() then still works, but
    // a poll() on it never returns).
    int Fd() const { return m_fd; }

private:
    int m_fd;
    std::atomic<bool> m_fallbackRaised{false};
};

// Sleeps until one of fds is readable or hung up (negative entries are skipped) and returns
// the position of the first such fd in the list, or -1 when poll() fails.
int WaitReadable(std::initializer_list<int> fds);

}  // namespace zor
