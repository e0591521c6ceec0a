// The fixed-size event block of one macro, the form in which the device layer takes a macro: a
// plain record without pointers, so that the macro store hands a macro over by copying the block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zor {

inline constexpr int kMacroMaxEvents = 500;

// Event codes of the macro store and editor (application codes).
inline constexpr std::uint8_t kMacCodeLeftButton = 241;
inline constexpr std::uint8_t kMacCodeMiddleButton = 242;
inline constexpr std::uint8_t kMacCodeRightButton = 243;
inline constexpr std::uint8_t kMacCodeFourthButton = 244;
inline constexpr std::uint8_t kMacCodeFifthButton = 245;
inline constexpr std::uint8_t kMacCodeMove = 246;
inline constexpr std::uint8_t kMacCodeDpi = 248;
inline constexpr std::uint8_t kMacCodeLighting = 249;

// Event states (macSta).
inline constexpr std::uint8_t kMacStatePress = 1;
inline constexpr std::uint8_t kMacStateRelease = 2;

struct MacroDeviceBlock {
    std::array<std::uint8_t, 60> reserved{};  // zero in every macro the program makes
    std::uint8_t rptType = 0;                 // loop mode in bits 0-1
    std::uint16_t macRpt = 0;                 // repeat count for loop mode 0
    std::uint16_t num = 0;                    // number of events, 0..500
    std::uint16_t numXY = 0;
    std::uint16_t numWhl = 0;
    std::uint16_t numCpi = 0;
    std::uint16_t numMedia = 0;
    std::uint8_t numLed = 0;
    std::uint8_t num251 = 0;
    std::uint8_t yStepEn = 0;
    std::uint8_t yStep = 0;
    std::uint32_t reserved2 = 0;
    std::array<std::uint8_t, kMacroMaxEvents> macSta{};
    std::array<std::uint8_t, kMacroMaxEvents> macVal{};
    std::array<std::array<std::int16_t, 2>, kMacroMaxEvents> extVal{};
    std::array<std::uint32_t, kMacroMaxEvents> macDly{};
    std::array<std::array<std::uint8_t, 68>, 5> ledData{};
    std::array<std::array<std::uint8_t, 69>, 6> data251{};
};

// The layout is part of the exchange with the device layer and of stored copies: keep it fixed.
static_assert(offsetof(MacroDeviceBlock, rptType) == 60);
static_assert(offsetof(MacroDeviceBlock, macRpt) == 62);
static_assert(offsetof(MacroDeviceBlock, num) == 64);
static_assert(offsetof(MacroDeviceBlock, numXY) == 66);
static_assert(offsetof(MacroDeviceBlock, numWhl) == 68);
static_assert(offsetof(MacroDeviceBlock, numCpi) == 70);
static_assert(offsetof(MacroDeviceBlock, numMedia) == 72);
static_assert(offsetof(MacroDeviceBlock, numLed) == 74);
static_assert(offsetof(MacroDeviceBlock, num251) == 75);
static_assert(offsetof(MacroDeviceBlock, yStepEn) == 76);
static_assert(offsetof(MacroDeviceBlock, yStep) == 77);
static_assert(offsetof(MacroDeviceBlock, reserved2) == 80);
static_assert(offsetof(MacroDeviceBlock, macSta) == 84);
static_assert(offsetof(MacroDeviceBlock, macVal) == 584);
static_assert(offsetof(MacroDeviceBlock, extVal) == 1084);
static_assert(offsetof(MacroDeviceBlock, macDly) == 3084);
static_assert(offsetof(MacroDeviceBlock, ledData) == 5084);
static_assert(offsetof(MacroDeviceBlock, data251) == 5424);
static_assert(sizeof(MacroDeviceBlock) == 5840);

}  // namespace zor
