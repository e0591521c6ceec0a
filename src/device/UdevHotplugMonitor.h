// Hot-plug of the running system: a libudev monitor on subsystem hidraw. Its thread sleeps in
// poll() on the monitor socket and an eventfd that Stop() writes to; it never polls on a timer.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "device/HotplugMonitor.h"

struct udev;
struct udev_monitor;
struct udev_device;

namespace zor {

class UdevHotplugMonitor final : public HotplugMonitor {
public:
    UdevHotplugMonitor() = default;
    ~UdevHotplugMonitor() override;
    UdevHotplugMonitor(const UdevHotplugMonitor&) = delete;
    UdevHotplugMonitor& operator=(const UdevHotplugMonitor&) = delete;

    bool Start(HotplugHandler handler) override;
    void Stop() override;

private:
    void Run();
    void Handle(udev_device* device);
    // Remembers the ids of every hidraw node present now: a removed node's parent is gone by
    // the time the removal arrives, so its ids come from here.
    void RememberPresentNodes();
    std::optional<HotplugEvent> Describe(udev_device* device);

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    int m_wakeFd = -1;
    HotplugHandler m_handler;
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::string, HotplugEvent> m_known;  // by device node
};

}  // namespace zor
