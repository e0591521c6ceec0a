// The mouse's input status report (report id 5 on the input collection): which of its keys are
// held and the state its own buttons change. The listener compares it with the program's state.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace zor {

inline constexpr std::uint8_t kStatusReportId = 5;
inline constexpr std::size_t kStatusReportLength = 16;
inline constexpr std::size_t kStatusLink = 1;          // receiver: 1 = mouse linked, 0 = not
inline constexpr std::size_t kStatusKeysLow = 2;       // key bits 0-7, 1 = pressed
inline constexpr std::size_t kStatusKeysHigh = 3;      // key bits 8-15
inline constexpr std::size_t kStatusProfile = 6;       // active profile
inline constexpr std::size_t kStatusReportRate = 7;    // report-rate code
inline constexpr std::size_t kStatusGear = 8;          // current DPI gear, 1-based
inline constexpr std::size_t kStatusLighting = 9;      // lighting mode number | 0x80, 0 = none
inline constexpr std::size_t kStatusDpiValue = 11;     // 16-bit little-endian, 0 = none
inline constexpr std::size_t kStatusSecondValue = 13;  // 16-bit little-endian
inline constexpr int kStatusKeyBits = 20;              // bits 16-19 are always 0

struct InputStatus {
    std::uint8_t link = 0;
    std::uint32_t keyBits = 0;
    std::uint8_t activeProfile = 0;
    std::uint8_t reportRate = 0;
    std::uint8_t gear = 0;
    std::uint8_t lighting = 0;
    std::uint16_t dpiValue = 0;
    std::uint16_t secondValue = 0;
};

// nullopt unless the report is a status report long enough to hold every field.
inline std::optional<InputStatus> ParseInputStatus(std::span<const std::uint8_t> report) {
    if (report.size() < kStatusSecondValue + 2 || report[0] != kStatusReportId) return std::nullopt;
    InputStatus s;
    s.link = report[kStatusLink];
    s.keyBits = static_cast<std::uint32_t>(report[kStatusKeysLow] | (report[kStatusKeysHigh] << 8));
    s.activeProfile = report[kStatusProfile];
    s.reportRate = report[kStatusReportRate];
    s.gear = report[kStatusGear];
    s.lighting = report[kStatusLighting];
    s.dpiValue = static_cast<std::uint16_t>(report[kStatusDpiValue] | (report[kStatusDpiValue + 1] << 8));
    s.secondValue =
        static_cast<std::uint16_t>(report[kStatusSecondValue] | (report[kStatusSecondValue + 1] << 8));
    return s;
}

}  // namespace zor
