// The mouse's input status report (report id 5 on the input collection): which of its keys are
// held and the state its own buttons change. One packed layout: the listeners and the BLE input
// path decode it, the virtual mouse encodes it, and both go through the same Bind.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

#include "device/CommandPayloads.h"

namespace zor {

inline constexpr std::uint8_t kStatusReportId = 5;

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

namespace wire {

struct StatusReportLayout {
    std::uint8_t reportId;
    std::uint8_t link;  // receiver: 1 = mouse linked, 0 = not
    Le16 keys;          // key bits 0-15, 1 = pressed; bits 16-19 are never reported
    std::array<std::uint8_t, 2> unused1;
    std::uint8_t profile;     // active profile
    std::uint8_t reportRate;  // report-rate code
    std::uint8_t gear;        // current DPI gear, 1-based
    std::uint8_t lighting;    // lighting mode number | 0x80, 0 = none
    std::uint8_t unused2;
    Le16 dpiValue;  // 0 = none
    Le16 secondValue;
    std::uint8_t unused3;
    template <class Io, class P, class S>
    static void Bind(Io io, P& p, S& s) {
        io(p.link, s.link);
        io(p.keys, s.keyBits);
        io(p.profile, s.activeProfile);
        io(p.reportRate, s.reportRate);
        io(p.gear, s.gear);
        io(p.lighting, s.lighting);
        io(p.dpiValue, s.dpiValue);
        io(p.secondValue, s.secondValue);
    }
};

static_assert(std::is_standard_layout_v<StatusReportLayout> &&
              std::is_trivially_copyable_v<StatusReportLayout> && alignof(StatusReportLayout) == 1 &&
              sizeof(StatusReportLayout) == 16);
static_assert(offsetof(StatusReportLayout, link) == 1 && offsetof(StatusReportLayout, keys) == 2 &&
              offsetof(StatusReportLayout, profile) == 6 && offsetof(StatusReportLayout, reportRate) == 7 &&
              offsetof(StatusReportLayout, gear) == 8 && offsetof(StatusReportLayout, lighting) == 9 &&
              offsetof(StatusReportLayout, dpiValue) == 11 &&
              offsetof(StatusReportLayout, secondValue) == 13);

}  // namespace wire

inline constexpr std::size_t kStatusReportLength = sizeof(wire::StatusReportLayout);
// Byte positions in the report, report id at 0.
inline constexpr std::size_t kStatusLink = offsetof(wire::StatusReportLayout, link);
inline constexpr std::size_t kStatusKeysLow = offsetof(wire::StatusReportLayout, keys);
inline constexpr std::size_t kStatusKeysHigh = kStatusKeysLow + 1;
inline constexpr std::size_t kStatusProfile = offsetof(wire::StatusReportLayout, profile);
inline constexpr std::size_t kStatusReportRate = offsetof(wire::StatusReportLayout, reportRate);
inline constexpr std::size_t kStatusGear = offsetof(wire::StatusReportLayout, gear);
inline constexpr std::size_t kStatusLighting = offsetof(wire::StatusReportLayout, lighting);
inline constexpr std::size_t kStatusDpiValue = offsetof(wire::StatusReportLayout, dpiValue);
inline constexpr std::size_t kStatusSecondValue = offsetof(wire::StatusReportLayout, secondValue);
// Shortest report that holds every field: the last byte is never read.
inline constexpr std::size_t kStatusMinLength = kStatusSecondValue + sizeof(wire::Le16);
inline constexpr int kStatusKeyBits = 20;  // bits 16-19 are always 0

using StatusReport = std::array<std::uint8_t, kStatusReportLength>;

// nullopt unless the report is a status report long enough to hold every field.
inline std::optional<InputStatus> ParseInputStatus(std::span<const std::uint8_t> report) {
    if (report.size() < kStatusMinLength || report[0] != kStatusReportId) return std::nullopt;
    wire::StatusReportLayout p{};
    std::memcpy(&p, report.data(), std::min(report.size(), sizeof(p)));
    InputStatus s;
    wire::StatusReportLayout::Bind(wire::Decode{}, static_cast<const wire::StatusReportLayout&>(p), s);
    return s;
}

// The report the mouse sends for this state.
inline StatusReport EncodeInputStatus(const InputStatus& s) {
    wire::StatusReportLayout p{};
    p.reportId = kStatusReportId;
    wire::StatusReportLayout::Bind(wire::Encode{}, p, s);
    StatusReport report{};
    std::memcpy(report.data(), &p, sizeof(p));
    return report;
}

}  // namespace zor
