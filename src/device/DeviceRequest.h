// The request record: a caller fills the op, the sub-op and the op's parameters, then asks the
// command set to write or read it. Reads leave their reply in the same fields.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "device/MacroDeviceBlock.h"

namespace zor {

inline constexpr std::uint8_t kOpStatus = 1;
inline constexpr std::uint8_t kOpProfile = 2;
inline constexpr std::uint8_t kOpReportRate = 3;
inline constexpr std::uint8_t kOpKey = 4;
inline constexpr std::uint8_t kOpComboKey = 5;
inline constexpr std::uint8_t kOpDpi = 6;
inline constexpr std::uint8_t kOpDpiColours = 7;
inline constexpr std::uint8_t kOpMacro = 8;
inline constexpr std::uint8_t kOpLighting = 9;
inline constexpr std::uint8_t kOpParams = 10;
inline constexpr std::uint8_t kOpBleQuery = 129;

// Sub-ops of op 2.
inline constexpr std::uint8_t kSubProfileId = 1;
inline constexpr std::uint8_t kSubActiveProfile = 2;
inline constexpr std::uint8_t kSubSleepTime = 3;
inline constexpr std::uint8_t kSubSecondTime = 4;
inline constexpr std::uint8_t kSubOptionA = 5;
inline constexpr std::uint8_t kSubOptionB = 6;
inline constexpr std::uint8_t kSubChargeCounter = 7;

inline constexpr int kDpiGears = 8;
inline constexpr int kModeColours = 7;
inline constexpr int kLightingBlockSize = 25;
inline constexpr std::uint8_t kLightingSwitchBit = 0x40;
inline constexpr std::uint8_t kModeNumberMask = 0x3F;

struct DeviceRequest {
    std::uint8_t op = 0;
    std::uint8_t subOp = 0;

    // op 1
    std::string bleDeviceNames;  // write: the names the bridge may connect to
    int connectionState = 0;     // read
    int battery = 0;             // read: bit 7 charging, bits 0-6 percent
    int chip = 0;                // read: sensor chip number

    // op 2
    std::array<std::uint16_t, 4> profileIds{};
    std::uint8_t activeProfile = 0;
    std::uint16_t sleepTime = 0;   // seconds
    std::uint16_t secondTime = 0;  // seconds
    std::uint8_t optionA = 0;
    std::uint8_t optionB = 0;
    std::uint8_t chargeCounter = 0;
    int profileIdIndex = 0;  // sub-op 1 writes: which identifier to send

    // op 3
    std::uint8_t reportRate = 0;

    // ops 4 and 5
    std::uint8_t keyIndex = 0;
    std::array<std::uint8_t, 4> keyCode{};
    int tableSelector = 0;  // 0: op 4 (key table), 1: op 5 (combination keys)

    // op 6
    std::uint8_t gearMask = 0;
    std::array<std::uint32_t, kDpiGears> dpi{};  // the low 16 bits are sent
    std::uint8_t currentGear = 1;                // 1-based
    std::uint16_t dpiAttributes = 0;

    // op 7
    std::array<std::uint32_t, kDpiGears> dpiColours{};

    // op 8
    std::uint8_t macroSlot = 0;
    MacroDeviceBlock macro{};
    int firstTwoSlotsOnly = 0;  // non-zero: only slots 0 and 1

    // op 9
    std::uint8_t modeByte = 0;
    std::uint16_t headerValue = 0;
    std::array<std::uint8_t, 4> modeParams{};
    std::array<std::uint32_t, kModeColours> modeColours{};

    // op 10
    std::uint8_t valueA = 0;
    std::uint8_t valueB = 0;
    std::uint8_t valueC = 0;
    std::uint8_t valueD = 0;
};

}  // namespace zor
