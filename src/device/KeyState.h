// The key state table and the status-report rules shared by the input listeners and the BLE
// input path: a key release whose report carries a different profile, DPI gear, lighting mode or
// report rate queues one device event; a new DPI value queues the DPI pop-up.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>

#include "device/DeviceView.h"
#include "device/EventQueue.h"
#include "device/StatusReport.h"

namespace zor {

class KeyState {
public:
    // Runs the key rules and the DPI value rule over one status report (report id first).
    // Reports that are shorter than kStatusMinLength or are not status reports are ignored.
    // Returns the number of events queued.
    int ProcessStatusReport(std::span<const std::uint8_t> report, int device, int catalogType,
                            DeviceView& view, EventQueue& queue);

    // The last seen state of key bit i (0..19).
    int KeyBit(int i) const;
    int LastDpiValue() const;
    int SecondValue() const;

private:
    mutable std::mutex m_mutex;
    std::array<std::int32_t, kKeyStateCount> m_keys{};
    int m_lastDpi = 0;  // last non-zero DPI value, 0 before the first
    int m_second = 0;
};

}  // namespace zor
