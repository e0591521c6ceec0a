#include "common/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace zor {

namespace fs = std::filesystem;

fs::path RuntimeFolder() {
    std::error_code ec;
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg && fs::is_directory(xdg, ec))
        return xdg;
    const std::string uid = std::to_string(::getuid());
    if (const fs::path run = "/run/user/" + uid; fs::is_directory(run, ec)) return run;
    const fs::path folder = fs::temp_directory_path(ec) / ("zormouse-" + uid);
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

std::string SafeInstanceName(std::string_view name) {
    std::string safe(name.empty() ? std::string_view("zormouse") : name);
    for (char& c : safe) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_';
        if (!keep) c = '_';
    }
    return safe;
}

fs::path InstanceLockPath(std::string_view name) {
    return RuntimeFolder() / (SafeInstanceName(name) + ".lock");
}

InstanceLock::InstanceLock(std::string_view name) : m_path(InstanceLockPath(name)) {}

InstanceLock::~InstanceLock() {
    Release();
}

InstanceLock::State InstanceLock::TryAcquire(std::chrono::milliseconds wait) {
    if (m_fd >= 0) return State::Held;
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return State::NoLockFile;
    // A holder that is about to let go (a zorctl tidying for a moment) is waited for in short
    // steps; a running program holds the lock for good and is not.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return State::HeldElsewhere;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_fd = fd;
    return State::Held;
}

void InstanceLock::Release() {
    // The file stays: removing it would let a start that has just opened it lock a file that is
    // no longer the lock.
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace zor
