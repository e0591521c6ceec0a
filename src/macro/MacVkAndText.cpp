#include "macro/MacVkAndText.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <string_view>

#include "common/Text.h"

namespace zor {

namespace {

struct UsageRow {
    std::uint32_t scan;
    std::uint8_t usage;
};

// PC scan-code set 1 to USB HID keyboard usage, for the keys that macros carry, and the mouse
// buttons with the program's own codes on both sides.
// clang-format off
constexpr UsageRow kUsageRows[] = {
    // Digits and letters, row by row.
    {2, 30}, {3, 31}, {4, 32}, {5, 33}, {6, 34}, {7, 35}, {8, 36}, {9, 37}, {10, 38}, {11, 39},
    {12, 45}, {13, 46}, {16, 20}, {17, 26}, {18, 8}, {19, 21}, {20, 23}, {21, 28}, {22, 24}, {23, 12},
    {24, 18}, {25, 19}, {26, 47}, {27, 48}, {30, 4}, {31, 22}, {32, 7}, {33, 9}, {34, 10}, {35, 11},
    {36, 13}, {37, 14}, {38, 15}, {39, 51}, {40, 52}, {41, 53}, {43, 49}, {44, 29}, {45, 27}, {46, 6},
    {47, 25}, {48, 5}, {49, 17}, {50, 16}, {51, 54}, {52, 55}, {53, 56},
    // Control keys: Escape, Backspace, Tab, Enter, left Ctrl/Shift/Alt, Space, Caps Lock, Pause,
    // Scroll Lock.
    {1, 41}, {14, 42}, {15, 43}, {28, 40}, {29, 224}, {42, 225}, {56, 226}, {57, 44}, {58, 57},
    {69, 72}, {70, 71},
    // F1..F12.
    {59, 58}, {60, 59}, {61, 60}, {62, 61}, {63, 62}, {64, 63}, {65, 64}, {66, 65}, {67, 66}, {68, 67},
    {87, 68}, {88, 69},
    // Keypad.
    {55, 85}, {71, 95}, {72, 96}, {73, 97}, {74, 86}, {75, 92}, {76, 93}, {77, 94}, {78, 87}, {79, 89},
    {80, 90}, {81, 91}, {82, 98}, {83, 99}, {0xE01C, 88}, {0xE035, 84}, {0xE045, 83},
    // International keys.
    {86, 100}, {115, 135}, {126, 133},
    // Extended keys: right Ctrl/Shift, Print Screen, right Alt, navigation block, Win keys, App.
    {0xE01D, 228}, {0xE036, 229}, {0xE037, 70}, {0xE038, 230}, {0xE047, 74}, {0xE048, 82}, {0xE049, 75},
    {0xE04B, 80}, {0xE04D, 79}, {0xE04F, 77}, {0xE050, 81}, {0xE051, 78}, {0xE052, 73}, {0xE053, 76},
    {0xE05B, 227}, {0xE05C, 231}, {0xE05D, 101},
    // Mouse buttons: left, right, middle, K4, K5.
    {240, 241}, {241, 243}, {242, 242}, {243, 244}, {244, 245},
};
// clang-format on

constexpr std::uint8_t kNonUsHashUsage = 50;
constexpr std::uint32_t kBackslashScan = 43;

struct TextRow {
    std::uint32_t scan;
    std::u16string_view text;
};

// clang-format off
constexpr TextRow kTextRows[] = {
    {1, u"Escape"}, {14, u"BackSpace"}, {15, u"Tab"}, {28, u"Enter"}, {29, u"L-Ctrl"}, {42, u"L-Shift"},
    {53, u"/"}, {55, u"Num *"}, {56, u"L-Alt"}, {57, u"Space"}, {58, u"Caps Lock"},
    {59, u"F1"}, {60, u"F2"}, {61, u"F3"}, {62, u"F4"}, {63, u"F5"}, {64, u"F6"}, {65, u"F7"},
    {66, u"F8"}, {67, u"F9"}, {68, u"F10"}, {69, u"Pause"}, {70, u"Scroll Lock"},
    {71, u"Num 7"}, {72, u"Num 8"}, {73, u"Num 9"}, {74, u"Num -"}, {75, u"Num 4"}, {76, u"Num 5"},
    {77, u"Num 6"}, {78, u"Num +"}, {79, u"Num 1"}, {80, u"Num 2"}, {81, u"Num 3"}, {82, u"Num 0"},
    {83, u"Num ."}, {126, u"Num ."}, {87, u"F11"}, {88, u"F12"},
    {240, u"Left Click"}, {241, u"Right Click"}, {242, u"Middle Click"}, {243, u"K4"}, {244, u"K5"},
    {0xE01C, u"Num Enter"}, {0xE01D, u"R-Ctrl"}, {0xE035, u"Num /"}, {0xE036, u"R-Shift"},
    {0xE037, u"Print Screen"}, {0xE038, u"R-Alt"}, {0xE045, u"Num Lock"}, {0xE047, u"Home"},
    {0xE048, u"↑"}, {0xE049, u"Page Up"}, {0xE04B, u"←"}, {0xE04D, u"→"}, {0xE04F, u"End"},
    {0xE050, u"↓"}, {0xE051, u"Page Down"}, {0xE052, u"Insert"}, {0xE053, u"Delete"},
    {0xE05B, u"L-Win"}, {0xE05C, u"R-Win"}, {0xE05D, u"App"},
};
// clang-format on

constexpr std::u16string_view kUnknownKey = u"Unknown Key";

// Keys named from the fixed table even when the layout gives them a character: the character
// would be invisible (Space), a control code, or the same as another key's (the keypad operators
// would read like the main-block '*', '-', '+' and '/').
constexpr std::uint32_t kAlwaysFixedText[] = {1, 14, 15, 28, 55, 57, 70, 74, 78, 0xE035, 0xE037};

struct EvdevRow {
    std::uint32_t scan;
    std::uint32_t evdev;
};

// Scan codes whose evdev keycode differs from the make code. Make codes 1..88 (but 84 and 85,
// which name no key of their own) are otherwise the evdev keycode. Searched in order, so the
// inverse finds the extended Num Lock before anything else named 69, and right Shift as 0xE036.
// clang-format off
constexpr EvdevRow kEvdevRows[] = {
    {0xE01C, KEY_KPENTER},   {0xE01D, KEY_RIGHTCTRL}, {0xE035, KEY_KPSLASH},  {0xE036, KEY_RIGHTSHIFT},
    {0xE037, KEY_SYSRQ},     {0xE038, KEY_RIGHTALT},  {0xE045, KEY_NUMLOCK},  {0xE047, KEY_HOME},
    {0xE048, KEY_UP},        {0xE049, KEY_PAGEUP},    {0xE04B, KEY_LEFT},     {0xE04D, KEY_RIGHT},
    {0xE04F, KEY_END},       {0xE050, KEY_DOWN},      {0xE051, KEY_PAGEDOWN}, {0xE052, KEY_INSERT},
    {0xE053, KEY_DELETE},    {0xE05B, KEY_LEFTMETA},  {0xE05C, KEY_RIGHTMETA}, {0xE05D, KEY_COMPOSE},
    // The Pause key arrives with the Num Lock make code but without the extended flag.
    {69, KEY_PAUSE},
    // Japanese and Brazilian keys.
    {112, KEY_KATAKANAHIRAGANA}, {115, KEY_RO}, {121, KEY_HENKAN}, {123, KEY_MUHENKAN}, {125, KEY_YEN},
    {126, KEY_KPCOMMA},
};
// clang-format on

constexpr std::uint32_t kLastPlainMakeCode = KEY_F12;  // 88

constexpr bool IsPlainMakeCode(std::uint32_t code) {
    return code >= 1 && code <= kLastPlainMakeCode && code != 84 && code != 85;
}

struct MouseButtonRow {
    std::uint32_t evdev;
    std::uint32_t scan;
};

// clang-format off
constexpr MouseButtonRow kMouseButtonRows[] = {
    {BTN_LEFT, 240}, {BTN_RIGHT, 241}, {BTN_MIDDLE, 242}, {BTN_SIDE, 243}, {BTN_EXTRA, 244},
};
// clang-format on

template <typename Rows, typename Predicate>
auto FindRow(const Rows& rows, Predicate predicate) {
    const auto it = std::find_if(std::begin(rows), std::end(rows), predicate);
    return it == std::end(rows) ? nullptr : &*it;
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

}  // namespace

MacVkAndText::MacVkAndText(std::shared_ptr<const KeyboardLayout> layout)
    : m_layout(layout ? std::move(layout) : KeyboardLayout::Empty()), m_useSession(false) {}

std::uint8_t MacVkAndText::ScanToUsage(std::uint32_t scan) {
    const auto* row = FindRow(kUsageRows, [scan](const UsageRow& r) { return r.scan == scan; });
    return row ? row->usage : kNoUsage;
}

std::uint32_t MacVkAndText::UsageToScan(std::uint8_t usage) {
    if (usage == kNonUsHashUsage) return kBackslashScan;
    const auto* row = FindRow(kUsageRows, [usage](const UsageRow& r) { return r.usage == usage; });
    return row ? row->scan : kNoScanCode;
}

std::shared_ptr<const KeyboardLayout> MacVkAndText::layout() const {
    return m_useSession ? KeyboardLayout::Session() : m_layout;
}

std::u16string MacVkAndText::ScanToText(std::uint32_t scan) const {
    const bool alwaysFixed = std::find(std::begin(kAlwaysFixedText), std::end(kAlwaysFixedText), scan) !=
                             std::end(kAlwaysFixedText);
    if (!alwaysFixed) {
        if (const auto evdev = EvdevFromScanCode(scan)) {
            if (const char32_t c = layout()->character(*evdev); c != 0) {
                std::u16string text;
                AppendUtf16(text, UpperCaseCharacter(c));
                return text;
            }
        }
    }
    const auto* row = FindRow(kTextRows, [scan](const TextRow& r) { return r.scan == scan; });
    return std::u16string(row ? row->text : kUnknownKey);
}

std::string MacVkAndText::ScanToTextUtf8(std::uint32_t scan) const {
    return Utf16ToUtf8(ScanToText(scan));
}

std::optional<std::uint32_t> MacVkAndText::EvdevFromScanCode(std::uint32_t scan) {
    if (const auto* row = FindRow(kEvdevRows, [scan](const EvdevRow& r) { return r.scan == scan; })) {
        return row->evdev;
    }
    if (IsPlainMakeCode(scan)) return scan;
    return std::nullopt;
}

std::uint32_t MacVkAndText::ScanCodeFromEvdev(std::uint32_t evdevKeycode) {
    if (const auto* row =
            FindRow(kEvdevRows, [evdevKeycode](const EvdevRow& r) { return r.evdev == evdevKeycode; })) {
        return row->scan;
    }
    if (const auto* row = FindRow(
            kMouseButtonRows, [evdevKeycode](const MouseButtonRow& r) { return r.evdev == evdevKeycode; })) {
        return row->scan;
    }
    if (IsPlainMakeCode(evdevKeycode)) return evdevKeycode;
    return 0;
}

}  // namespace zor
