#include "device/WakeEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace zor {

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
    if (m_fd >= 0) ::close(m_fd);
}

void WakeEvent::Raise() {
    if (m_fd < 0) {
        m_fallbackRaised = true;
        return;
    }
    const std::uint64_t one = 1;
    // A full counter (never reached) would only mean that it is raised already.
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void WakeEvent::Clear() {
    if (m_fd < 0) {
        m_fallbackRaised = false;
        return;
    }
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &value, sizeof value);
}

bool WakeEvent::Raised() const {
    if (m_fd < 0) return m_fallbackRaised;
    pollfd p{m_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

int WaitReadable(std::initializer_list<int> fds) {
    std::vector<pollfd> polled;
    std::vector<int> position;
    int index = 0;
    for (const int fd : fds) {
        if (fd >= 0) {
            polled.push_back(pollfd{fd, POLLIN, 0});
            position.push_back(index);
        }
        ++index;
    }
    for (;;) {
        const int ready = ::poll(polled.data(), polled.size(), -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        for (std::size_t i = 0; i < polled.size(); ++i)
            if (polled[i].revents != 0) return position[i];
    }
}

}  // namespace zor
