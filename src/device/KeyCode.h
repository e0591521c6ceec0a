// Key function ids -> the four key-code bytes the mouse stores per key, and the report-rate
// maps. Both are tables of the protocol.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zor {

inline constexpr int kFirstPredefinedMacro = 100;
inline constexpr int kLastPredefinedMacro = 115;
inline constexpr int kFirstUserMacro = 120;
inline constexpr int kLastUserMacro = 259;
inline constexpr int kFirstKeyboardKey = 260;
inline constexpr std::uint8_t kKeyTypeMacro = 0x0A;

enum class KeyMacroKind { None, Predefined, User };

struct KeyCode {
    std::array<std::uint8_t, 4> bytes{};
    KeyMacroKind macro = KeyMacroKind::None;
    int predefinedIndex = 0;  // predefined macros: k = id - 100
};

// The key code of a function id. For macros bytes[2] (the slot) is left 0 and the play mode is
// filled only for predefined macros; the caller completes both.
KeyCode EncodeKeyFunction(int functionId);

// The HID keyboard usage of a Windows virtual-key code (the numbering a stored single-key
// assignment, 256 + virtual-key code, uses); 0 when the key has none.
std::uint8_t VirtualKeyUsage(int vk);

// Play mode of a user macro from its loop mode.
std::uint8_t MacroPlayMode(std::uint8_t rptType);

// Report-rate code <-> UI index by the matched model name. An index outside the model's map
// gives 0 (no code); a code outside it gives index 0.
std::uint8_t ReportRateCode(std::string_view matchedName, int uiIndex);
int ReportRateIndex(std::string_view matchedName, std::uint8_t code);
int ReportRateCount(std::string_view matchedName);

// Option byte A from the straight-line, ripple (jitter for chip 12) and smoothing switches;
// option byte B (the lift-off code) from the lift-off index and the chip.
std::uint8_t PackOptionA(int straightLineCorrectEn, int rippleCtrlEn, int jitterCorrectEn, int smoothLineEn,
                         int chip);
std::uint8_t PackOptionB(int lodHeight, int chip);

}  // namespace zor
