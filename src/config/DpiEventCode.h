// The device's code of a DPI value, as a macro's DPI event carries it.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/DeviceFeature.h"

namespace zor {

// The device value of the DPI table line labelled dpiLabel; without such a line, the value of
// the line whose label is the nearest number; 0 for an empty table.
std::int16_t DpiEventCode(const DeviceFeatureRecord& feature, std::string_view dpiLabel = "400");

}  // namespace zor
