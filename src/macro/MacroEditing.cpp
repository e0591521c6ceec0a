#include "macro/MacroEditing.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "common/Text.h"
#include "device/MacroStream.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroRecorder.h"

namespace zor {

namespace {

constexpr std::uint8_t kStateLeftUp = 3;
constexpr std::uint8_t kStateLeftDown = 4;
constexpr std::uint8_t kStateRightUp = 5;
constexpr std::uint8_t kStateRightDown = 6;

struct ButtonName {
    std::string_view name;
    std::uint8_t code;
};
constexpr ButtonName kButtons[] = {
    {"left", kMacCodeLeftButton}, {"middle", kMacCodeMiddleButton}, {"right", kMacCodeRightButton},
    {"k4", kMacCodeFourthButton}, {"k5", kMacCodeFifthButton},
};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::vector<std::string_view> SplitAt(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        parts.push_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

// A whole decimal number within [min, max]; signs allowed only when min is negative.
bool ParseNumber(std::string_view text, long min, long max, long& out) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    const char* first = text.data();
    if (*first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return false;
    if (value < min || value > max) return false;
    out = value;
    return true;
}

// Key names of a US keyboard, so that zorctl reads and writes the same names everywhere.
const MacVkAndText& UsKeys() {
    static const MacVkAndText keys(KeyboardLayout::FromNames({"", "", "us", "", ""}));
    return keys;
}

std::u16string NumberText(long value) {
    return Utf8ToUtf16(std::to_string(value));
}

}  // namespace

long NumberOf(std::string_view text) {
    // Leading digits only, as the boxes read them; long runs saturate instead of wrapping.
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min<long>(value * 10 + (c - '0'), 1000000000L);
    }
    return value;
}

std::string NormaliseNumberText(std::string_view text, long min, long max) {
    const long value = NumberOf(text);
    if (value > max) return std::to_string(max);
    if (value < min) return std::to_string(min);
    const std::string plain = std::to_string(value);
    return plain == text ? std::string(text) : plain;
}

InsertRefusal CheckInsert(const MacroStore& store, int g, int m) {
    const MacroRecord* rec = store.macro(g, m);
    if (rec == nullptr) return InsertRefusal::NoMacro;
    if (store.busy()) return InsertRefusal::Recording;
    if (rec->device.num >= kMacroMaxEvents) return InsertRefusal::TooManyEvents;
    if (EstimateStreamLength(rec->device) > kRecordStreamLimit) return InsertRefusal::TooLong;
    return InsertRefusal::None;
}

std::optional<std::u16string> RenamedName(std::u16string_view typed, std::u16string_view old,
                                          const std::vector<std::u16string>& others) {
    if (typed.empty() || typed == old) return std::nullopt;
    return UniqueName(typed, others);
}

std::vector<std::u16string> GroupNamesExcept(const MacroStore& store, int except) {
    std::vector<std::u16string> names;
    for (std::size_t g = 0; g < store.groups().size(); ++g)
        if (static_cast<int>(g) != except) names.push_back(store.groups()[g].name);
    return names;
}

std::vector<std::u16string> MacroNamesExcept(const MacroStore& store, int g, int except) {
    std::vector<std::u16string> names;
    if (const MacroGroup* grp = store.group(g))
        for (std::size_t m = 0; m < grp->macros.size(); ++m)
            if (static_cast<int>(m) != except) names.push_back(grp->macros[m].name);
    return names;
}

MacroEvent MoveEvent(int dx, int dy, std::uint32_t delay) {
    MacroEvent e;
    e.code = kMacCodeMove;
    if (dx < 0)
        e.state = dy < 0 ? kStateLeftUp : kStateLeftDown;
    else
        e.state = dy < 0 ? kStateRightUp : kStateRightDown;
    e.x = static_cast<std::int16_t>(std::min<long>(std::labs(dx), kMoveDistanceMax));
    e.y = static_cast<std::int16_t>(std::min<long>(std::labs(dy), kMoveDistanceMax));
    e.delay = delay;
    return e;
}

std::u16string MoveText(std::uint8_t state, long x, long y) {
    std::u16string_view h, v;
    switch (state) {
        case kStateLeftUp:
            h = u"[←]:", v = u",[↑]:";
            break;
        case kStateLeftDown:
            h = u"[←]:", v = u",[↓]:";
            break;
        case kStateRightUp:
            h = u"[→]:", v = u",[↑]:";
            break;
        case kStateRightDown:
            h = u"[→]:", v = u",[↓]:";
            break;
        default:
            return u"[X]:error,[Y]:error";
    }
    return std::u16string(h) + NumberText(x) + std::u16string(v) + NumberText(y);
}

std::u16string EventKeyText(const MacroDeviceBlock& b, int i, const MacVkAndText& keys) {
    if (i < 0 || i >= kMacroMaxEvents) return {};
    const auto k = static_cast<std::size_t>(i);
    const std::uint8_t code = b.macVal[k];
    const std::uint8_t state = b.macSta[k];
    switch (code) {
        case kMacCodeMove:
            return MoveText(state, b.extVal[k][0], b.extVal[k][1]);
        case kMacCodeDpi:
            return u"[DPI]:400 ";
        case kMacCodeLighting:
            if (state == 13) return u"LED  " + NumberText(b.extVal[k][0]) + u" ";
            if (state == 14 || state == 15) return u"LED  " + NumberText(b.extVal[k][0]);
            return u"[LED0/1/2]:error";
        case 0:
            return u"[Delay]";
        default:
            return keys.UsageToText(code);
    }
}

std::uint8_t UsageFromKeyName(std::string_view name) {
    if (name.empty()) return 0;
    long number = 0;
    if (name.size() > 1 && ParseNumber(name, 4, 231, number)) return static_cast<std::uint8_t>(number);
    const std::string wanted = Lower(name);
    for (int usage = 4; usage <= 231; ++usage) {
        if (MacVkAndText::UsageToScan(static_cast<std::uint8_t>(usage)) == MacVkAndText::kNoScanCode)
            continue;
        if (Lower(UsKeys().UsageToTextUtf8(static_cast<std::uint8_t>(usage))) == wanted)
            return static_cast<std::uint8_t>(usage);
    }
    return 0;
}

ParsedEventText ParseEventText(std::string_view text) {
    ParsedEventText parsed;
    const std::vector<std::string_view> parts = SplitAt(text, ':');
    auto fail = [&parsed](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    if (parts.size() < 3)
        return fail("an event is key:NAME:down|up:MS, mouse:BUTTON:down|up:MS, move:DX,DY:MS or dpi:400:MS");
    const std::string kind = Lower(parts[0]);
    long delay = 0;
    if (!ParseNumber(parts.back(), 0, kEventDelayMax, delay))
        return fail("the delay must be a whole number of milliseconds from 0 to 50000");
    parsed.event.delay = static_cast<std::uint32_t>(delay);
    if (kind == "key" || kind == "mouse") {
        if (parts.size() != 4) return fail("a " + kind + " event is " + kind + ":NAME:down|up:MS");
        const std::string state = Lower(parts[2]);
        if (state != "down" && state != "up") return fail("the state must be down or up");
        parsed.event.state = state == "down" ? kMacStatePress : kMacStateRelease;
        if (kind == "key") {
            parsed.event.code = UsageFromKeyName(parts[1]);
            if (parsed.event.code == 0) return fail("unknown key name: " + std::string(parts[1]));
        } else {
            const std::string button = Lower(parts[1]);
            const auto* it = std::find_if(std::begin(kButtons), std::end(kButtons),
                                          [&](const ButtonName& b) { return b.name == button; });
            if (it == std::end(kButtons))
                return fail("the mouse button must be left, middle, right, k4 or k5");
            parsed.event.code = it->code;
        }
    } else if (kind == "move") {
        if (parts.size() != 3) return fail("a move is move:DX,DY:MS");
        const std::vector<std::string_view> xy = SplitAt(parts[1], ',');
        long dx = 0, dy = 0;
        if (xy.size() != 2 || !ParseNumber(xy[0], -kMoveDistanceMax, kMoveDistanceMax, dx) ||
            !ParseNumber(xy[1], -kMoveDistanceMax, kMoveDistanceMax, dy))
            return fail("a move's distances are two whole numbers from -32767 to 32767");
        parsed.event =
            MoveEvent(static_cast<int>(dx), static_cast<int>(dy), static_cast<std::uint32_t>(delay));
    } else if (kind == "dpi") {
        // An inserted DPI change always switches to 400 DPI (the device's own code for it).
        if (parts.size() != 3 || parts[1] != "400") return fail("a DPI event is dpi:400:MS");
        parsed.event.code = kMacCodeDpi;
        parsed.event.state = kMacStatePress;
    } else {
        return fail("unknown event kind: " + std::string(parts[0]));
    }
    parsed.ok = true;
    return parsed;
}

std::string EventText(const MacroDeviceBlock& b, int i) {
    const auto k = static_cast<std::size_t>(i);
    const std::uint8_t code = b.macVal[k];
    const std::string delay = std::to_string(b.macDly[k]);
    const char* state = b.macSta[k] == kMacStateRelease ? "up" : "down";
    if (code == kMacCodeMove) {
        const int sx = (b.macSta[k] == kStateLeftUp || b.macSta[k] == kStateLeftDown) ? -1 : 1;
        const int sy = (b.macSta[k] == kStateLeftUp || b.macSta[k] == kStateRightUp) ? -1 : 1;
        return "move:" + std::to_string(sx * b.extVal[k][0]) + "," + std::to_string(sy * b.extVal[k][1]) +
               ":" + delay;
    }
    if (code == kMacCodeDpi) return "dpi:400:" + delay;
    for (const ButtonName& button : kButtons)
        if (button.code == code) return "mouse:" + std::string(button.name) + ":" + state + ":" + delay;
    if (code >= 4 && code <= 231) {
        std::string name = UsKeys().UsageToTextUtf8(code);
        // A name that would not read back (unknown, or holding the separator) goes as its number.
        if (UsageFromKeyName(name) != code || name.find(':') != std::string::npos)
            name = std::to_string(code);
        return "key:" + name + ":" + state + ":" + delay;
    }
    return "code" + std::to_string(code) + ":" + state + ":" + delay;
}

int FindGroupByName(const MacroStore& store, std::string_view name) {
    const std::u16string wanted = Utf8ToUtf16(name);
    for (std::size_t g = 0; g < store.groups().size(); ++g)
        if (store.groups()[g].name == wanted) return static_cast<int>(g);
    return -1;
}

MacroPath FindMacroPath(const MacroStore& store, std::string_view path) {
    MacroPath found;
    for (std::size_t at = path.find('/'); at != std::string_view::npos; at = path.find('/', at + 1)) {
        const int g = FindGroupByName(store, path.substr(0, at));
        if (g < 0) continue;
        const std::u16string name = Utf8ToUtf16(path.substr(at + 1));
        const auto& macros = store.groups()[static_cast<std::size_t>(g)].macros;
        for (std::size_t m = 0; m < macros.size(); ++m) {
            if (macros[m].name == name) {
                found.group = g;
                found.macro = static_cast<int>(m);
                return found;
            }
        }
    }
    found.error = path.find('/') == std::string_view::npos
                      ? "a macro is named GROUP/NAME"
                      : "no macro " + std::string(path) + " (see \"zorctl macro list\")";
    return found;
}

}  // namespace zor
