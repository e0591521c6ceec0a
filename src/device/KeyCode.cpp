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
        // 256 + the keyboard usage; an id beyond one byte of usage names no key.
        if (functionId - 256 <= 0xFF) code.bytes = {0x02, static_cast<std::uint8_t>(functionId - 256), 0, 0};
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
