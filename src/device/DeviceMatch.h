// Finding a catalog device on the HID bus and opening its two collections.
#pragma once

#include <functional>

#include "device/DeviceEntry.h"
#include "device/HidBus.h"
#include "device/LinkState.h"
#include "device/Report7.h"

namespace zor {

inline constexpr std::uint16_t kInputUsagePage = 0xFF00;
inline constexpr std::uint16_t kFeatureUsagePage = 0xFF01;
inline constexpr std::uint16_t kVendorUsage = 1;
inline constexpr int kDefaultInputReportLength = 64;

// Walks every HID interface. An interface of the entry's ids (and, with the compare flag set, of
// one of its product strings) is opened for reading when it is the input collection
// (0xFF00/1) and for writing when it is the feature collection (0xFF01/1); the two normally lie
// on two interfaces of one device. Once both are open the entry is found and owns the handles;
// for catalog types other than 1 the feature handle becomes the link's current one and feature
// report 7 is read once.
// claim, when given, is asked once both collections are open and before anything is sent to the
// device (the path is the feature collection's): false leaves the device alone, not found.
using DeviceClaim = std::function<bool(const std::string& featurePath)>;
bool MatchDevice(HidBus& bus, DeviceEntry& entry, LinkState& link, const DeviceClaim& claim = {});

// The device has gone: clears the found flag and path, closes both handles and drops them from
// the link when they are its current ones.
void ReleaseDevice(DeviceEntry& entry, LinkState& link);

// The catalog's match hook: MatchDevice on this bus and link.
inline std::function<bool(DeviceEntry&)> MatchHookFor(HidBus& bus, LinkState& link) {
    return [&bus, &link](DeviceEntry& entry) { return MatchDevice(bus, entry, link); };
}

// Makes the entry's handles the link's current ones (the user selected this device).
void SelectDevice(const DeviceEntry& entry, LinkState& link);

}  // namespace zor
