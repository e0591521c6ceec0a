#include "device/UdevHotplugMonitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>

#include "common/Debug.h"

namespace zor {

UdevHotplugMonitor::~UdevHotplugMonitor() {
    Stop();
}

bool UdevHotplugMonitor::Start(HotplugHandler handler) {
    if (m_thread.joinable() || !handler) return false;
    m_udev = udev_new();
    if (m_udev == nullptr) return false;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_monitor == nullptr || m_wakeFd < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        DebugLine("udev monitor unavailable\n");
        Stop();
        return false;
    }
    m_handler = std::move(handler);
    RememberPresentNodes();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void UdevHotplugMonitor::Stop() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) < 0) DebugLine("udev monitor wake failed\n");
        m_thread.join();
    }
    if (m_wakeFd >= 0) ::close(m_wakeFd);
    m_wakeFd = -1;
    if (m_monitor != nullptr) udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    if (m_udev != nullptr) udev_unref(m_udev);
    m_udev = nullptr;
    m_handler = nullptr;
}

void UdevHotplugMonitor::Run() {
    pollfd fds[2] = {{udev_monitor_get_fd(m_monitor), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            DebugF("udev monitor poll failed: %s\n", std::strerror(errno));
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        if (udev_device* device = udev_monitor_receive_device(m_monitor)) {
            Handle(device);
            udev_device_unref(device);
        }
    }
}

std::optional<HotplugEvent> UdevHotplugMonitor::Describe(udev_device* device) {
    const char* node = udev_device_get_devnode(device);
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    const char* hidId = hid != nullptr ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    if (node == nullptr || hidId == nullptr) return std::nullopt;
    const auto id = ParseHidId(hidId);
    if (!id) return std::nullopt;
    return HotplugEvent{HotplugKind::Arrival, id->vendorId, id->productId, id->busType, node};
}

void UdevHotplugMonitor::RememberPresentNodes() {
    udev_enumerate* enumerate = udev_enumerate_new(m_udev);
    if (enumerate == nullptr) return;
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    udev_enumerate_scan_devices(enumerate);
    for (udev_list_entry* e = udev_enumerate_get_list_entry(enumerate); e != nullptr;
         e = udev_list_entry_get_next(e)) {
        udev_device* device = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(e));
        if (device == nullptr) continue;
        if (auto event = Describe(device)) {
            DebugF("hidraw node present: %s\n", event->path);
            std::lock_guard lock(m_mutex);
            m_known[event->path] = *event;
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
}

void UdevHotplugMonitor::Handle(udev_device* device) {
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    if (action == nullptr || node == nullptr) return;
    DebugF("udev: %s %s\n", action, node);
    std::optional<HotplugEvent> event;
    if (std::strcmp(action, "add") == 0) {
        event = Describe(device);
        if (!event) return;
        std::lock_guard lock(m_mutex);
        m_known[event->path] = *event;
    } else if (std::strcmp(action, "remove") == 0) {
        std::lock_guard lock(m_mutex);
        const auto it = m_known.find(node);
        if (it == m_known.end()) return;
        event = it->second;
        event->kind = HotplugKind::Removal;
        m_known.erase(it);
    } else {
        return;
    }
    m_handler(*event);
}

}  // namespace zor
