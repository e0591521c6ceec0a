// The per-user lock of one program instance: flock on a file in the runtime folder (the kernel
// drops it when the process ends, however it ends, so no lock is ever stale). zormouse holds it
// for its whole life; zorctl takes it for a moment to tidy the program folder when no zormouse
// runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace zor {

// The folder of the programs' lock files and sockets: $XDG_RUNTIME_DIR, else /run/user/<uid>,
// else /tmp/zormouse-<uid> (made private to the user).
std::filesystem::path RuntimeFolder();
// The instance name as a file name: characters other than letters, digits, '-' and '_' become
// '_'; an empty name is "zormouse".
std::string SafeInstanceName(std::string_view name);
// <runtime folder>/<safe name>.lock
std::filesystem::path InstanceLockPath(std::string_view name);
// The lock of one mouse, so that one process at a time sends it reports: named after the node
// its reports go to. The virtual mouse of a program folder has one of its own.
std::string DeviceLockName(std::string_view devicePath);
std::string VirtualMouseLockName(const std::filesystem::path& programFolder);

class InstanceLock {
public:
    enum class State { Held, HeldElsewhere, NoLockFile };

    explicit InstanceLock(std::string_view name);
    ~InstanceLock();  // releases the lock; the file stays (see Release)
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock without waiting; when another process holds it, tries again until wait
    // has passed. NoLockFile when the lock file cannot be made (nothing can be decided then).
    State TryAcquire(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    void Release();
    bool held() const { return m_fd >= 0; }
    // Who holds the lock, for whoever waits for it: written into the lock file by the holder
    // ("zormouse (pid 42)"), read by the others.
    void SetHolder(std::string_view holder);
    std::string Holder() const;
    int fd() const { return m_fd; }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    int m_fd = -1;
};

}  // namespace zor
