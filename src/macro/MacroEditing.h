// The editing rules that the macro page and zorctl share: number boxes, renaming under the
// unique-name rule, whether an event may be inserted, the texts of an event, the event form
// zorctl takes ("key:A:down:20"), and finding a macro by "GROUP/NAME".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "macro/MacroStore.h"

namespace zor {

class MacVkAndText;

inline constexpr long kRepeatCountMax = 65535;
inline constexpr long kEventDelayMax = 50000;
// A pointer move's distances are kept as 16-bit signed magnitudes (their sign is the quadrant),
// so a larger value would turn into a move the other way.
inline constexpr long kMoveDistanceMax = 32767;

// Text of a number box after a change: a value above max becomes max, a value below min (no
// digits read as 0) becomes min, and a text that is not its number's plain decimal form
// (leading zeros, stray characters) becomes that form.
std::string NormaliseNumberText(std::string_view text, long min, long max);
// The repeat count box: 1..65535.
inline std::string NormaliseRepeatCount(std::string_view text) {
    return NormaliseNumberText(text, 1, kRepeatCountMax);
}
long NumberOf(std::string_view text);

// Why an event cannot be inserted into a macro now.
enum class InsertRefusal {
    None,
    NoMacro,       // no macro selected ("SelWarn")
    Recording,     // a recording runs
    TooLong,       // its stream estimate exceeds what the mouse takes ("Exceed")
    TooManyEvents  // 500 events (" More than limit!")
};
InsertRefusal CheckInsert(const MacroStore& store, int g, int m);

// The name a rename stores: nothing when the typed text is empty or unchanged (the old name
// stays), else the text made unique among the other names of its scope.
std::optional<std::u16string> RenamedName(std::u16string_view typed, std::u16string_view old,
                                          const std::vector<std::u16string>& others);
std::vector<std::u16string> GroupNamesExcept(const MacroStore& store, int except);
std::vector<std::u16string> MacroNamesExcept(const MacroStore& store, int g, int except);

// A pointer move given as signed distances: the quadrant (3 left+up, 4 left+down, 5 right+up,
// 6 right+down) and the magnitudes. Positive x is to the right, positive y downward.
MacroEvent MoveEvent(int dx, int dy, std::uint32_t delay);
// Text of a pointer move of quadrant state with the two distances ("[←]:3,[↑]:9");
// "[X]:error,[Y]:error" for a state that is no quadrant.
std::u16string MoveText(std::uint8_t state, long x, long y);

// The event list's text of event i: key name, move text, "[DPI]:400 ", lighting, "[Delay]".
std::u16string EventKeyText(const MacroDeviceBlock& block, int i, const MacVkAndText& keys);

// One event as zorctl writes and reads it: key:NAME:down|up:DELAY, mouse:left|middle|right|k4|
// k5:down|up:DELAY, move:DX,DY:DELAY, dpi:400:DELAY. Delays in ms, 0..50000.
struct ParsedEventText {
    bool ok = false;
    MacroEvent event;
    std::string error;
};
ParsedEventText ParseEventText(std::string_view text);
std::string EventText(const MacroDeviceBlock& block, int i);
// The key usage named by NAME (letters, digits, the fixed key names such as "F5", "Enter",
// "L-Ctrl", "Space", or a usage number); 0 when nothing matches.
std::uint8_t UsageFromKeyName(std::string_view name);

// "GROUP/NAME" of the library; the group alone when the text has no macro part and wantMacro is
// false. A name containing "/" is found by trying every split.
struct MacroPath {
    int group = -1;
    int macro = -1;
    std::string error;
    bool ok() const { return error.empty(); }
};
MacroPath FindMacroPath(const MacroStore& store, std::string_view path);
int FindGroupByName(const MacroStore& store, std::string_view name);

}  // namespace zor
