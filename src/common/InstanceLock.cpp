#include "common/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
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

std::string DeviceLockName(std::string_view devicePath) {
    return "device-" + SafeInstanceName(devicePath);
}

std::string VirtualMouseLockName(const std::filesystem::path& programFolder) {
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(programFolder, ec);
    if (ec) folder = programFolder;
    // FNV-1a of the folder: a short name that differs between program folders.
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : folder.string()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("virtual-mouse-") + text;
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

void InstanceLock::SetHolder(std::string_view holder) {
    if (m_fd < 0) return;
    if (::ftruncate(m_fd, 0) != 0) return;
    [[maybe_unused]] const ssize_t written = ::pwrite(m_fd, holder.data(), holder.size(), 0);
}

std::string InstanceLock::Holder() const {
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return {};
    char text[128];
    const ssize_t got = ::read(fd, text, sizeof text);
    ::close(fd);
    std::string holder(text, got > 0 ? static_cast<std::size_t>(got) : 0);
    for (char& c : holder)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
    return holder;
}

void InstanceLock::Release() {
    // The file stays: removing it would let a start that has just opened it lock a file that is
    // no longer the lock.
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace zor
