// The device list (Ndevice.json): a JSON object whose "NDevice" array holds one object per
// supported device. Each element becomes one DeviceEntry, in array order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceEntry.h"

namespace zor {

struct DeviceListResult {
    bool ok = false;    // the text parsed and its root holds an "NDevice" array
    std::string error;  // why not
    std::vector<DeviceEntry> entries;
};

// A missing key, or a key whose value has another JSON type than expected, leaves its field at
// the initial value; elements that are not objects are skipped. The name list ("Ser") also serves
// as the list of product strings accepted when DevCmpStr is 1. A DevFolder that could leave the
// model folder (absolute or with "..") is dropped.
DeviceListResult ParseDeviceList(std::string_view jsonText);

// "5678,9ABC" -> {0x5678, 0x9ABC}: each item read with base-16 strtoul (values above 32 bits
// saturate). An empty text gives an empty list.
std::vector<std::uint32_t> ParseHexIdList(std::string_view text);

// "A,B" -> {"A", "B"}; an empty text gives an empty list.
std::vector<std::string> SplitNameList(std::string_view text);

}  // namespace zor
