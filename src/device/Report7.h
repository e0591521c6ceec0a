// Feature report 7 of the feature collection: read once when a device is matched; its last two
// bytes hold a 16-bit value, low byte first. The match reads it and the virtual mouse answers it
// through this one layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "device/CommandPayloads.h"

namespace zor {

inline constexpr std::uint8_t kReport7Id = 0x07;

namespace wire {

struct Report7 {
    std::uint8_t reportId;
    std::array<std::uint8_t, 13> unused;
    Le16 value;
};

static_assert(std::is_standard_layout_v<Report7> && std::is_trivially_copyable_v<Report7> &&
              alignof(Report7) == 1 && sizeof(Report7) == 16 && offsetof(Report7, value) == 14);

}  // namespace wire

inline constexpr std::size_t kReport7Size = sizeof(wire::Report7);

}  // namespace zor
