// The HID bus: enumerate HID interfaces, open one by path, exchange feature reports and read
// input reports. HidapiBus talks to real devices, VirtualBus to in-process models.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/WakeEvent.h"

namespace zor {

// Bus types as hidapi reports them.
enum class HidBusType { Unknown = 0, Usb = 1, Bluetooth = 2, I2c = 3, Spi = 4 };

struct HidInterfaceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string productString;  // UTF-8
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    HidBusType busType = HidBusType::Unknown;
    int interfaceNumber = -1;
    std::uint16_t inputReportLength = 0;  // 0 when the bus does not know it
};

enum class HidAccess { Read, Write };

// One open HID interface. Every operation fails (returns -1) once the handle is closed or the
// device has gone; a handle never throws.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    // report[0] is the report id. Returns the number of bytes sent, or -1.
    virtual int SetFeature(std::span<const std::uint8_t> report) = 0;
    // report[0] holds the report id to ask for; the report is read into the span, id first.
    // Returns the number of bytes read, or -1.
    virtual int GetFeature(std::span<std::uint8_t> report) = 0;
    // Waits at most timeoutMs for one input report. Returns its length, 0 on time-out, -1 on error.
    virtual int Read(std::span<std::uint8_t> report, int timeoutMs) = 0;
    // Sleeps without a time-out until one input report arrives (returns its length), stop is
    // raised (returns 0), or the handle is closed or its device gone (returns -1).
    virtual int ReadUntil(std::span<std::uint8_t> report, const WakeEvent& stop) = 0;
    // Releases the interface now, even while other owners still hold the handle.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual const std::string& Path() const = 0;
};

class HidBus {
public:
    virtual ~HidBus() = default;
    // Every HID interface present now, in the bus's order. An empty list is not an error.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Null when the path cannot be opened (the device went away, or no permission).
    virtual std::shared_ptr<HidHandle> Open(const std::string& path, HidAccess access) = 0;
};

}  // namespace zor
