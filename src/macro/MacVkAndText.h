// MacVkAndText: conversions between PC scan codes (set 1, 0xE000 + make code for extended keys,
// 240..244 for mouse buttons), the one-byte key usages stored in macros and sent to the mouse, and
// the key names shown to the user.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "macro/KeyboardLayout.h"

namespace zor {

class MacVkAndText {
public:
    static constexpr std::uint8_t kNoUsage = 255;
    static constexpr std::uint32_t kNoScanCode = 255;

    // Names keys with the session's keyboard layout (looked up on every call, built once).
    MacVkAndText() = default;
    // Names keys with this layout; null or an invalid layout names every key from the fixed table.
    explicit MacVkAndText(std::shared_ptr<const KeyboardLayout> layout);

    // kNoUsage for scan codes outside the table (the non-extended right Shift 54 among them).
    static std::uint8_t ScanToUsage(std::uint32_t scan);
    // kNoScanCode for usages outside the table; the non-US hash key (50) gives 43 like usage 49.
    static std::uint32_t UsageToScan(std::uint8_t usage);

    // The layout's upper-cased character for the key when it produces one, else the key's fixed
    // name, else "Unknown Key". Keys whose layout character would be misleading or invisible
    // (Escape, Backspace, Tab, Enter, Space, the keypad operators, Print Screen) always show
    // their fixed name.
    std::u16string ScanToText(std::uint32_t scan) const;
    std::string ScanToTextUtf8(std::uint32_t scan) const;
    // The display name of a macro event's key.
    std::u16string UsageToText(std::uint8_t usage) const { return ScanToText(UsageToScan(usage)); }
    std::string UsageToTextUtf8(std::uint8_t usage) const { return ScanToTextUtf8(UsageToScan(usage)); }

    // The layout in use (the session's when none was given).
    std::shared_ptr<const KeyboardLayout> layout() const;

    // The evdev keycode (linux/input-event-codes.h) of a scan code's key; none for mouse buttons and
    // codes without a key.
    static std::optional<std::uint32_t> EvdevFromScanCode(std::uint32_t scan);
    // The scan code of a native key event's evdev keycode (and of the mouse buttons BTN_LEFT ..
    // BTN_EXTRA); 0 when the key has no scan code. Right Shift gives 0xE036.
    static std::uint32_t ScanCodeFromEvdev(std::uint32_t evdevKeycode);

private:
    std::shared_ptr<const KeyboardLayout> m_layout;
    bool m_useSession = true;
};

}  // namespace zor
