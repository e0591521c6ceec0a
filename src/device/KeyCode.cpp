#include "device/KeyCode.h"

#include <algorithm>
#include <span>

namespace zor {
namespace {

struct FixedCode {
    int id;
    std::array<std::uint8_t, 3> bytes;
};

// Built-in functions with a fixed code; every id below 120 not listed here sends no function.
constexpr FixedCode kFixedCodes[] = {
    {1, {0x01, 0x01, 0x00}},
    {3, {0x01, 0x02, 0x00}},
    {2, {0x01, 0x04, 0x00}},
    {4, {0x01, 0x08, 0x00}},
    {5, {0x01, 0x10, 0x00}},
    {6, {0x08, 0x03, 0x00}},
    {10, {0x06, 0x03, 0x00}},
    {11, {0x08, 0x01, 0x00}},
    {12, {0x08, 0x02, 0x00}},
    {16, {0x07, 0x04, 0x00}},
    {17, {0x07, 0x02, 0x00}},
    {53, {0x07, 0x03, 0x00}},
    {20, {0x07, 0x01, 0x00}},
    {21, {0x07, 0x01, 0x00}},
    {22, {0x09, 0x03, 0x00}},
    {50, {0x09, 0x01, 0x00}},
    {51, {0x09, 0x02, 0x00}},
    {23, {0x09, 0x04, 0x00}},
    {24, {0x09, 0x04, 0x01}},
    {25, {0x09, 0x04, 0x02}},
    {26, {0x09, 0x04, 0x03}},
    {27, {0x03, 0x01, 0x00}},
    {28, {0x03, 0x02, 0x00}},
    {52, {0x03, 0x03, 0x00}},
    // Consumer-page usages: low byte, high byte.
    {29, {0x04, 0x23, 0x02}},
    {30, {0x04, 0x83, 0x01}},
    {31, {0x04, 0x8A, 0x01}},
    {38, {0x04, 0x92, 0x01}},
    {32, {0x04, 0xE9, 0x00}},
    {98, {0x04, 0xE9, 0x00}},
    {33, {0x04, 0xEA, 0x00}},
    {99, {0x04, 0xEA, 0x00}},
    {34, {0x04, 0xB6, 0x00}},
    {35, {0x04, 0xB5, 0x00}},
    {36, {0x04, 0xE2, 0x00}},
    {37, {0x04, 0xCD, 0x00}},
    {39, {0x04, 0xB7, 0x00}},
    {60, {0x04, 0x6F, 0x00}},
    {61, {0x04, 0x70, 0x00}},
    {56, {0x0B, 0x81, 0x00}},
    {57, {0x0B, 0x01, 0x00}},
    {58, {0x05, 0x01, 0x00}},
    {59, {0x05, 0x81, 0x00}},
    {117, {0x02, 0x4B, 0x00}},
    {118, {0x02, 0x4E, 0x00}},
};

struct VirtualKeyRow {
    int vk;
    std::uint8_t usage;
};

// Windows virtual-key code -> HID keyboard usage, for the keys of a US keyboard. A stored
// single-key assignment keeps the virtual-key code so that files stay exchangeable; the mouse
// is told the usage.
constexpr VirtualKeyRow kVirtualKeyUsages[] = {
    {0x08, 42}, {0x09, 43},  {0x0D, 40},  {0x10, 225}, {0x11, 224}, {0x12, 226}, {0x13, 72},  {0x14, 57},
    {0x1B, 41}, {0x20, 44},  {0x21, 75},  {0x22, 78},  {0x23, 77},  {0x24, 74},  {0x25, 80},  {0x26, 82},
    {0x27, 79}, {0x28, 81},  {0x2C, 70},  {0x2D, 73},  {0x2E, 76},  {0x30, 39},  {0x31, 30},  {0x32, 31},
    {0x33, 32}, {0x34, 33},  {0x35, 34},  {0x36, 35},  {0x37, 36},  {0x38, 37},  {0x39, 38},  {0x41, 4},
    {0x42, 5},  {0x43, 6},   {0x44, 7},   {0x45, 8},   {0x46, 9},   {0x47, 10},  {0x48, 11},  {0x49, 12},
    {0x4A, 13}, {0x4B, 14},  {0x4C, 15},  {0x4D, 16},  {0x4E, 17},  {0x4F, 18},  {0x50, 19},  {0x51, 20},
    {0x52, 21}, {0x53, 22},  {0x54, 23},  {0x55, 24},  {0x56, 25},  {0x57, 26},  {0x58, 27},  {0x59, 28},
    {0x5A, 29}, {0x5B, 227}, {0x5C, 231}, {0x5D, 101}, {0x60, 98},  {0x61, 89},  {0x62, 90},  {0x63, 91},
    {0x64, 92}, {0x65, 93},  {0x66, 94},  {0x67, 95},  {0x68, 96},  {0x69, 97},  {0x6A, 85},  {0x6B, 87},
    {0x6D, 86}, {0x6E, 99},  {0x6F, 84},  {0x70, 58},  {0x71, 59},  {0x72, 60},  {0x73, 61},  {0x74, 62},
    {0x75, 63}, {0x76, 64},  {0x77, 65},  {0x78, 66},  {0x79, 67},  {0x7A, 68},  {0x7B, 69},  {0x90, 83},
    {0x91, 71}, {0xA0, 225}, {0xA1, 229}, {0xA2, 224}, {0xA3, 228}, {0xA4, 226}, {0xA5, 230}, {0xBA, 51},
    {0xBB, 46}, {0xBC, 54},  {0xBD, 45},  {0xBE, 55},  {0xBF, 56},  {0xC0, 53},  {0xDB, 47},  {0xDC, 49},
    {0xDD, 48}, {0xDE, 52},  {0xE2, 100}};

constexpr std::array<std::uint8_t, 7> kSevenRates = {64, 32, 16, 8, 4, 2, 1};
constexpr std::array<std::uint8_t, 4> kFourRates = {8, 4, 2, 1};

std::span<const std::uint8_t> RateMap(std::string_view matchedName) {
    if (matchedName == "Pelo" || matchedName == "Pelu") return kSevenRates;
    return kFourRates;
}

}  // namespace

KeyCode EncodeKeyFunction(int functionId) {
    KeyCode code;
    if (functionId >= kFirstPredefinedMacro && functionId <= kLastPredefinedMacro) {
        code.macro = KeyMacroKind::Predefined;
        code.predefinedIndex = functionId - kFirstPredefinedMacro;
        code.bytes = {kKeyTypeMacro,
                      static_cast<std::uint8_t>(functionId == 102 || functionId == 111 ? 1 : 0), 0, 0};
        return code;
    }
    if (functionId >= kFirstUserMacro && functionId <= kLastUserMacro) {
        code.macro = KeyMacroKind::User;
        code.bytes = {kKeyTypeMacro, 0, 0, 0};
        return code;
    }
    if (functionId >= kFirstKeyboardKey) {
        // 256 + virtual-key code; the mouse types the key's HID usage. A code that names no key
        // sends no function rather than some unrelated usage.
        const std::uint8_t usage = VirtualKeyUsage(functionId - 256);
        if (usage != 0) code.bytes = {0x02, usage, 0, 0};
        return code;
    }
    for (const FixedCode& fixed : kFixedCodes) {
        if (fixed.id == functionId) {
            code.bytes = {fixed.bytes[0], fixed.bytes[1], fixed.bytes[2], 0};
            break;
        }
    }
    return code;
}

std::uint8_t VirtualKeyUsage(int vk) {
    for (const VirtualKeyRow& row : kVirtualKeyUsages)
        if (row.vk == vk) return row.usage;
    return 0;
}

std::uint8_t MacroPlayMode(std::uint8_t rptType) {
    if (rptType == 0) return 0;
    if (rptType == 1) return 1;
    return 2;
}

std::uint8_t ReportRateCode(std::string_view matchedName, int uiIndex) {
    const auto map = RateMap(matchedName);
    if (uiIndex < 0 || static_cast<std::size_t>(uiIndex) >= map.size()) return 0;
    return map[static_cast<std::size_t>(uiIndex)];
}

int ReportRateIndex(std::string_view matchedName, std::uint8_t code) {
    const auto map = RateMap(matchedName);
    const auto it = std::find(map.begin(), map.end(), code);
    return it == map.end() ? 0 : static_cast<int>(it - map.begin());
}

int ReportRateCount(std::string_view matchedName) {
    return static_cast<int>(RateMap(matchedName).size());
}

std::uint8_t PackOptionA(int straightLineCorrectEn, int rippleCtrlEn, int jitterCorrectEn, int smoothLineEn,
                         int chip) {
    const int second = chip == 12 ? jitterCorrectEn : rippleCtrlEn;
    return static_cast<std::uint8_t>((straightLineCorrectEn != 0 ? 1 : 0) + 2 * (second != 0 ? 1 : 0) +
                                     128 * (smoothLineEn != 0 ? 1 : 0));
}

std::uint8_t PackOptionB(int lodHeight, int chip) {
    if (chip == 6 || chip == 12) {
        if (lodHeight == 0) return 0;
        if (lodHeight == 1) return 2;
        return static_cast<std::uint8_t>(lodHeight);
    }
    if (chip == 7) {
        if (lodHeight == 0) return 2;
        if (lodHeight == 1) return 3;
        return static_cast<std::uint8_t>(lodHeight);
    }
    return 0;
}

}  // namespace zor
