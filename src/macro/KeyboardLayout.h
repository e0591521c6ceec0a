// KeyboardLayout: the characters that a keyboard layout gives each key with no modifier held,
// built once through xkbcommon; and the choice of the session's layout (environment, X server,
// system keyboard defaults, "us").
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace zor {

// The RMLVO names that select an xkb keymap. Empty fields take xkbcommon's defaults
// (rules "evdev", model "pc105", layout "us").
struct KeyboardLayoutNames {
    std::string rules;
    std::string model;
    std::string layout;
    std::string variant;
    std::string options;
};

// Where a layout came from: names given by the caller, or one of the session's sources.
enum class LayoutSource { Given, Environment, XServer, SystemDefaults, Fallback };

// Inputs of the session layout choice; tests replace them.
struct SessionLayoutInputs {
    // Returns the variable's value or null. Default: std::getenv.
    std::function<const char*(const char*)> getEnv;
    // The Debian-style keyboard defaults file (XKBLAYOUT=..., XKBVARIANT=...).
    std::filesystem::path keyboardDefaults = "/etc/default/keyboard";
    // Whether the X server named by $DISPLAY may be asked for its keymap.
    bool askXServer = true;
};

class KeyboardLayout {
public:
    // Builds the keymap of the names. A keymap that cannot be built (unknown layout, no xkb data)
    // gives a layout that produces no character for any key.
    static std::shared_ptr<const KeyboardLayout> FromNames(const KeyboardLayoutNames& names);
    // A layout that produces no character for any key.
    static std::shared_ptr<const KeyboardLayout> Empty();

    // The session's layout, built on first use and then shared; safe from any thread.
    static std::shared_ptr<const KeyboardLayout> Session();
    // Forgets the session layout so that the next Session() builds it again (after the user
    // switched layouts, or after a test changed the environment).
    static void ReloadSession();
    // The session choice with explicit inputs: XKB_DEFAULT_LAYOUT (with XKB_DEFAULT_RULES, _MODEL,
    // _VARIANT, _OPTIONS) when set, else the X server's keymap when $DISPLAY answers, else the
    // keyboard defaults file, else "us".
    static std::shared_ptr<const KeyboardLayout> BuildSession(const SessionLayoutInputs& inputs);

    // Reads XKBMODEL, XKBLAYOUT, XKBVARIANT and XKBOPTIONS from a keyboard defaults file; the layout
    // stays empty when the file or the line is missing.
    static KeyboardLayoutNames ReadKeyboardDefaults(const std::filesystem::path& file);

    bool valid() const { return m_valid; }
    LayoutSource source() const { return m_source; }
    // Short text for debug lines and zorctl: "de(nodeadkeys)", "X server", "none".
    const std::string& description() const { return m_description; }

    // The character (a Unicode scalar value) that the key with this evdev keycode produces with no
    // modifier held, in the layout's active group; 0 when it produces none. Dead keys give the
    // spacing form of their accent ('^' for dead_circumflex). Control characters count as none.
    char32_t character(std::uint32_t evdevKeycode) const;

    // The per-key characters are filled by the builder; public for std::make_shared.
    KeyboardLayout() = default;

private:
    friend struct KeyboardLayoutBuilder;

    static constexpr std::size_t kKeyCount = 256;  // evdev keycodes 0..255 (xkb keycodes 8..263)

    std::array<char32_t, kKeyCount> m_chars{};
    bool m_valid = false;
    LayoutSource m_source = LayoutSource::Given;
    std::string m_description = "none";
};

// Spacing form of an xkb dead keysym ('´' for dead_acute); 0 for other keysyms and for dead keys
// that have no spacing character.
char32_t DeadKeySpacingCharacter(std::uint32_t keysym);

// Simple (one-to-one) upper-case mapping; characters without one are returned unchanged.
char32_t UpperCaseCharacter(char32_t c);

namespace detail {
// The mapping used when the C library offers no UTF-8 locale (Latin-1, Latin Extended-A, Greek,
// Cyrillic).
char32_t UpperCaseWithoutLocale(char32_t c);
}  // namespace detail

}  // namespace zor
