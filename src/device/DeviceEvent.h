// One change the mouse reported with its buttons, queued by a listener for the event worker.
#pragma once

#include <cstdint>

namespace zor {

enum DeviceEventKind : std::int32_t {
    kEventDpiGear = 1,
    kEventProfile = 2,
    kEventLighting = 3,
    kEventReportRate = 4,
    kEventDpiValue = 5,
};

struct DeviceEvent {
    std::int32_t device = 0;  // catalog index of the reporting device
    std::int32_t kind = 0;    // DeviceEventKind
    std::int32_t key = 0;     // 0-based bit index of the key whose release carried the change
    std::int32_t value = 0;
    std::int32_t catalogType = 0;  // DevType of the reporting device: kinds 3 and 4 need type 1
};

}  // namespace zor
