// What the lighting page's preview shows: the colour of each point of the mouse's light strip at
// a moment, for the effect a mode's row names (its preview text) and the mode's settings. Pure
// functions of time, so the preview widget only paints and the motion itself is testable.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zor {

enum class PreviewEffect {
    Static,
    Breathing,
    Spectrum,
    Wave,
    Reactive,
    Ripple,
    Neon,
    Flicker,
    DpiColour,
    Off
};

// "static", "breathing", "spectrum", "wave", "reactive", "ripple", "neon", "flicker", "dpi",
// "off"; anything else shows as static.
PreviewEffect PreviewEffectByName(std::string_view name);
// Whether the picture changes with time (static, DPI colour and off do not).
bool PreviewAnimates(PreviewEffect effect);

struct PreviewInput {
    PreviewEffect effect = PreviewEffect::Static;
    std::vector<std::uint32_t> colours;  // the enabled slots' colours, slot order (0xRRGGBB)
    int brightness = 100;                // 1..100
    int speed = 5;                       // 1..10
    int direction = 1;                   // 0 backward, 1 positive, 2 two-way, 3 cover
    bool operator==(const PreviewInput&) const = default;
};

// Length of one cycle of the effect in milliseconds: faster speeds give shorter cycles.
int PreviewPeriodMs(int speed);
// Colour (0xRRGGBB) of the point at x (0 = one end of the strip, 1 = the other) at time tMs.
std::uint32_t PreviewColourAt(const PreviewInput& input, double x, std::int64_t tMs);

}  // namespace zor
