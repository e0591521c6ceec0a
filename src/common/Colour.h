// Colours are 0xRRGGBB in bits 0-23. On the wire a colour is three bytes: bits 8-15 (green),
// bits 0-7 (blue), bits 16-23 (red).
#pragma once

#include <array>
#include <cstdint>

namespace zor {

using WireColour = std::array<std::uint8_t, 3>;

constexpr WireColour ColourToWire(std::uint32_t rgb) {
    return {static_cast<std::uint8_t>((rgb >> 8) & 0xFF), static_cast<std::uint8_t>(rgb & 0xFF),
            static_cast<std::uint8_t>((rgb >> 16) & 0xFF)};
}

constexpr std::uint32_t ColourFromWire(const WireColour& wire) {
    return (static_cast<std::uint32_t>(wire[2]) << 16) | (static_cast<std::uint32_t>(wire[0]) << 8) |
           static_cast<std::uint32_t>(wire[1]);
}

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | b;
}

}  // namespace zor
