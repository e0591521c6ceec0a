// The text form in which the BLE bridge reports frames and input reports: two hexadecimal digits
// per byte, single spaces between bytes, report id first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zor {

inline constexpr std::size_t kMaxBleTextBytes = 64;

// Either case, one trailing space allowed. nullopt for an odd digit count, a character that is
// not a hex digit, a missing or doubled separator, or more than kMaxBleTextBytes bytes.
std::optional<std::vector<std::uint8_t>> ParseBleText(std::string_view text);
// Upper-case digits, single spaces, no trailing space: the form of the bridge's events.
std::string ToBleEventText(std::span<const std::uint8_t> bytes);

// The battery byte (bit 7 charging, bits 0-6 percent) of a battery event, which carries a status
// reply frame: payload byte 1. nullopt for malformed or short text.
std::optional<int> BatteryFromEventText(std::string_view text);

}  // namespace zor
