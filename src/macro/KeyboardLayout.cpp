#include "macro/KeyboardLayout.h"

#include <xkbcommon/xkbcommon.h>

#include <locale.h>
#include <wctype.h>
#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#ifdef ZOR_HAVE_XKB_X11
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#endif

#include "common/DataFile.h"
#include "common/Debug.h"
#include "common/Text.h"

namespace zor {

namespace {

#ifdef ZOR_HAVE_XKB_X11
// An X server that accepts the connection but never answers must not stall the caller.
constexpr auto kXServerTimeout = std::chrono::seconds(2);
// The system's keyboard defaults file holds a few lines.
constexpr std::uint64_t kMaxKeyboardDefaultsBytes = 64u * 1024u;
#endif

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using ContextPtr = std::unique_ptr<xkb_context, ContextDeleter>;
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using StatePtr = std::unique_ptr<xkb_state, StateDeleter>;

// The names are always passed explicitly, so the context must not add the XKB_DEFAULT_* ones.
ContextPtr NewContext() {
    ContextPtr context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (context && !DebugEnabled()) xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
    return context;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

struct DeadKeyRow {
    xkb_keysym_t keysym;
    char32_t spacing;
};

// Dead keys stand for the accent they put on the next letter; the key's name is that accent's
// spacing form. Dead keys without a spacing form in common use produce no character.
constexpr DeadKeyRow kDeadKeys[] = {
    {XKB_KEY_dead_grave, U'`'},
    {XKB_KEY_dead_acute, U'\u00B4'},
    {XKB_KEY_dead_circumflex, U'^'},
    {XKB_KEY_dead_tilde, U'~'},
    {XKB_KEY_dead_macron, U'\u00AF'},
    {XKB_KEY_dead_breve, U'\u02D8'},
    {XKB_KEY_dead_abovedot, U'\u02D9'},
    {XKB_KEY_dead_diaeresis, U'\u00A8'},
    {XKB_KEY_dead_abovering, U'\u02DA'},
    {XKB_KEY_dead_doubleacute, U'\u02DD'},
    {XKB_KEY_dead_caron, U'\u02C7'},
    {XKB_KEY_dead_cedilla, U'\u00B8'},
    {XKB_KEY_dead_ogonek, U'\u02DB'},
    {XKB_KEY_dead_iota, U'\u037A'},
    {XKB_KEY_dead_voiced_sound, U'\u309B'},
    {XKB_KEY_dead_semivoiced_sound, U'\u309C'},
    {XKB_KEY_dead_stroke, U'/'},
    {XKB_KEY_dead_psili, U'\u1FBF'},
    {XKB_KEY_dead_dasia, U'\u1FFE'},
    {XKB_KEY_dead_currency, U'\u00A4'},
};

std::string NamesText(const KeyboardLayoutNames& names) {
    std::string text = names.layout.empty() ? "us" : names.layout;
    if (!names.variant.empty()) text += "(" + names.variant + ")";
    return text;
}

std::string Unquote(std::string_view value) {
    value = TrimView(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

}  // namespace

// Fills a KeyboardLayout from a compiled keymap; the keymap is not kept, so the finished object is
// immutable and may be read from any thread.
struct KeyboardLayoutBuilder {
    static std::shared_ptr<KeyboardLayout> Build(xkb_keymap* keymap, xkb_layout_index_t group) {
        auto layout = std::make_shared<KeyboardLayout>();
        StatePtr state(xkb_state_new(keymap));
        if (!state) return layout;
        if (group >= xkb_keymap_num_layouts(keymap)) group = 0;
        xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, group);
        for (std::uint32_t evdev = 0; evdev < KeyboardLayout::kKeyCount; ++evdev) {
            const xkb_keycode_t keycode = evdev + 8;
            char32_t c = DeadKeySpacingCharacter(xkb_state_key_get_one_sym(state.get(), keycode));
            if (c == 0) c = xkb_state_key_get_utf32(state.get(), keycode);
            layout->m_chars[evdev] = IsControl(c) ? 0 : c;
        }
        layout->m_valid = true;
        return layout;
    }

    static std::shared_ptr<KeyboardLayout> FromNames(const KeyboardLayoutNames& names) {
        ContextPtr context = NewContext();
        if (!context) return std::make_shared<KeyboardLayout>();
        const xkb_rule_names rmlvo{names.rules.empty() ? nullptr : names.rules.c_str(),
                                   names.model.empty() ? nullptr : names.model.c_str(),
                                   names.layout.empty() ? nullptr : names.layout.c_str(),
                                   names.variant.empty() ? nullptr : names.variant.c_str(),
                                   names.options.empty() ? nullptr : names.options.c_str()};
        KeymapPtr keymap(xkb_keymap_new_from_names(context.get(), &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap) {
            DebugF("keyboard layout %s: no keymap\n", NamesText(names));
            auto empty = std::make_shared<KeyboardLayout>();
            empty->m_description = "none (" + NamesText(names) + " not available)";
            return empty;
        }
        auto layout = Build(keymap.get(), 0);
        layout->m_description = NamesText(names);
        layout->m_source = LayoutSource::Given;
        return layout;
    }

#ifdef ZOR_HAVE_XKB_X11
    // Runs on a worker thread: everything it touches is its own.
    static std::shared_ptr<KeyboardLayout> FromXServerBlocking(const std::string& display) {
        xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
        if (!connection) return nullptr;
        std::shared_ptr<KeyboardLayout> result;
        if (xcb_connection_has_error(connection) == 0 &&
            xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                        XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                        nullptr, nullptr, nullptr, nullptr) != 0) {
            const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
            ContextPtr context = NewContext();
            KeymapPtr keymap;
            if (device >= 0 && context) {
                keymap.reset(xkb_x11_keymap_new_from_device(context.get(), connection, device,
                                                            XKB_KEYMAP_COMPILE_NO_FLAGS));
            }
            if (keymap) {
                xkb_layout_index_t group = 0;
                if (StatePtr state{xkb_x11_state_new_from_device(keymap.get(), connection, device)}) {
                    group = xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
                }
                result = Build(keymap.get(), group);
                const char* name = xkb_keymap_layout_get_name(keymap.get(), group);
                result->m_description = std::string("X server: ") + (name ? name : "?");
                result->m_source = LayoutSource::XServer;
            }
        }
        xcb_disconnect(connection);
        return result;
    }
#endif

    // Null when there is no X server to ask, it cannot be reached, or it does not answer in time.
    static std::shared_ptr<KeyboardLayout> FromXServer([[maybe_unused]] const std::string& display) {
#ifdef ZOR_HAVE_XKB_X11
        std::promise<std::shared_ptr<KeyboardLayout>> promise;
        auto future = promise.get_future();
        try {
            std::thread([promise = std::move(promise), display]() mutable {
                promise.set_value(FromXServerBlocking(display));
            }).detach();
        } catch (const std::system_error&) {
            return nullptr;
        }
        if (future.wait_for(kXServerTimeout) != std::future_status::ready) {
            DebugF("keyboard layout: the X server did not answer\n");
            return nullptr;
        }
        return future.get();
#else
        return nullptr;
#endif
    }
};

std::shared_ptr<const KeyboardLayout> KeyboardLayout::FromNames(const KeyboardLayoutNames& names) {
    return KeyboardLayoutBuilder::FromNames(names);
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::Empty() {
    return std::make_shared<KeyboardLayout>();
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::BuildSession(const SessionLayoutInputs& inputs) {
    const auto getEnv = [&inputs](const char* name) -> std::string {
        const char* value = inputs.getEnv ? inputs.getEnv(name) : std::getenv(name);
        return value ? value : "";
    };
    auto chosen = [](std::shared_ptr<KeyboardLayout> layout, LayoutSource source) {
        layout->m_source = source;
        DebugF("keyboard layout: %s\n", layout->m_description);
        return std::shared_ptr<const KeyboardLayout>(std::move(layout));
    };

    KeyboardLayoutNames names;
    names.layout = getEnv("XKB_DEFAULT_LAYOUT");
    if (!names.layout.empty()) {
        names.rules = getEnv("XKB_DEFAULT_RULES");
        names.model = getEnv("XKB_DEFAULT_MODEL");
        names.variant = getEnv("XKB_DEFAULT_VARIANT");
        names.options = getEnv("XKB_DEFAULT_OPTIONS");
        return chosen(KeyboardLayoutBuilder::FromNames(names), LayoutSource::Environment);
    }
    if (const std::string display = getEnv("DISPLAY"); inputs.askXServer && !display.empty()) {
        if (auto layout = KeyboardLayoutBuilder::FromXServer(display))
            return chosen(std::move(layout), LayoutSource::XServer);
    }
    names = ReadKeyboardDefaults(inputs.keyboardDefaults);
    if (!names.layout.empty()) {
        return chosen(KeyboardLayoutBuilder::FromNames(names), LayoutSource::SystemDefaults);
    }
    return chosen(KeyboardLayoutBuilder::FromNames(KeyboardLayoutNames{"", "", "us", "", ""}),
                  LayoutSource::Fallback);
}

namespace {
std::mutex g_sessionMutex;
std::shared_ptr<const KeyboardLayout> g_session;
}  // namespace

std::shared_ptr<const KeyboardLayout> KeyboardLayout::Session() {
    std::lock_guard lock(g_sessionMutex);
    if (!g_session) g_session = BuildSession(SessionLayoutInputs{});
    return g_session;
}

void KeyboardLayout::ReloadSession() {
    std::lock_guard lock(g_sessionMutex);
    g_session.reset();
}

KeyboardLayoutNames KeyboardLayout::ReadKeyboardDefaults(const std::filesystem::path& file) {
    KeyboardLayoutNames names;
    std::string bytes;
    if (ReadDataFile(file, bytes, kMaxKeyboardDefaultsBytes) != ReadFault::None) return names;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = TrimView(line);
        const auto equals = text.find('=');
        if (text.empty() || text.front() == '#' || equals == std::string_view::npos) continue;
        const std::string_view key = TrimView(text.substr(0, equals));
        const std::string value = Unquote(text.substr(equals + 1));
        if (key == "XKBMODEL")
            names.model = value;
        else if (key == "XKBLAYOUT")
            names.layout = value;
        else if (key == "XKBVARIANT")
            names.variant = value;
        else if (key == "XKBOPTIONS")
            names.options = value;
    }
    return names;
}

char32_t KeyboardLayout::character(std::uint32_t evdevKeycode) const {
    return evdevKeycode < kKeyCount ? m_chars[evdevKeycode] : 0;
}

char32_t DeadKeySpacingCharacter(std::uint32_t keysym) {
    for (const DeadKeyRow& row : kDeadKeys) {
        if (row.keysym == keysym) return row.spacing;
    }
    return 0;
}

namespace detail {

// Used when the C library has no UTF-8 locale: Latin-1, Latin Extended-A, Greek and Cyrillic,
// the scripts of nearly every layout with letters that have case.
char32_t UpperCaseWithoutLocale(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        const bool oddUpperRange = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131) return U'I';
        if (c == 0x17F) return U'S';
        if (c == 0x138 || c == 0x149) return c;
        if (oddUpperRange) return (c % 2 == 0) ? c - 1 : c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x3AC && c <= 0x3AF) return c == 0x3AC ? 0x386 : c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0x460 && c <= 0x4BF && c % 2 == 1 && (c < 0x482 || c > 0x489)) return c - 1;
    return c;
}

}  // namespace detail

char32_t UpperCaseCharacter(char32_t c) {
    // The program's own locale may be "C"; the case tables of a UTF-8 locale are asked directly.
    static const locale_t utf8 = [] {
        locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        if (!loc) loc = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", locale_t{});
        return loc;
    }();
    if (utf8 == locale_t{}) return detail::UpperCaseWithoutLocale(c);
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8));
}

}  // namespace zor
