// Hot-plug: HID interfaces arriving and leaving. The udev monitor watches the hidraw nodes of
// the running system; the virtual monitor reports the virtual bus's attaches and detaches.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "device/HidBus.h"

namespace zor {

class VirtualBus;

enum class HotplugKind { Arrival, Removal };

struct HotplugEvent {
    HotplugKind kind = HotplugKind::Arrival;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    HidBusType busType = HidBusType::Unknown;
    std::string path;  // the interface's path as the bus names it
};

using HotplugHandler = std::function<void(const HotplugEvent&)>;

class HotplugMonitor {
public:
    virtual ~HotplugMonitor() = default;
    // Starts reporting; the handler runs on the monitor's own thread (udev) or on the thread
    // that changed the bus (virtual). False when the system offers no monitor.
    virtual bool Start(HotplugHandler handler) = 0;
    // Stops reporting; no handler call is running or starts after it returns.
    virtual void Stop() = 0;
};

struct HidId {
    HidBusType busType = HidBusType::Unknown;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// The HID_ID property of a hid device: "BBBB:VVVVVVVV:PPPPPPPP" in hexadecimal.
std::optional<HidId> ParseHidId(std::string_view text);

class VirtualHotplugMonitor final : public HotplugMonitor {
public:
    explicit VirtualHotplugMonitor(VirtualBus& bus) : m_bus(bus) {}
    ~VirtualHotplugMonitor() override { Stop(); }
    bool Start(HotplugHandler handler) override;
    void Stop() override;

private:
    VirtualBus& m_bus;
};

}  // namespace zor
