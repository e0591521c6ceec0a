// The text form in which the BLE bridge reports frames and input reports: two hexadecimal digits
// per byte, single spaces between bytes, report id first.
#pragma once

#include <array>
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

// A reply frame of a 0x600 event, ready for CommandSet::StoreReply.
struct BleReply {
    std::uint8_t command = 0;
    std::uint8_t argument = 0;
    int offset = 0;
    std::array<std::uint8_t, 32> data{};  // the payload, zero beyond its length
};

// nullopt (with a debug line) unless the text is a command frame: report id 6, a length byte of
// 1..32 and that many payload bytes actually present.
std::optional<BleReply> ParseBleReply(std::string_view text);

// The battery byte (bit 7 charging, bits 0-6 percent) of a battery event, which carries a status
// reply frame: payload byte 1. nullopt for malformed or short text.
std::optional<int> BatteryFromEventText(std::string_view text);

}  // namespace zor
