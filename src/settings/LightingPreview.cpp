#include "settings/LightingPreview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace zor {
namespace {

struct Rgbf {
    double r = 0, g = 0, b = 0;
};

Rgbf Split(std::uint32_t c) {
    return {double((c >> 16) & 0xFF), double((c >> 8) & 0xFF), double(c & 0xFF)};
}

std::uint32_t Join(Rgbf c) {
    auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))); };
    return (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

Rgbf Scale(Rgbf c, double level) {
    return {c.r * level, c.g * level, c.b * level};
}

Rgbf Mix(Rgbf a, Rgbf b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgbf Hue(double degrees) {
    const double h = std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0) / 60.0;
    const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
    static constexpr std::array<std::array<int, 3>, 6> kSectors = {
        {{2, 1, 0}, {1, 2, 0}, {0, 2, 1}, {0, 1, 2}, {1, 0, 2}, {2, 0, 1}}};
    const auto& s = kSectors[static_cast<std::size_t>(std::min(5, int(h)))];
    auto level = [&](int k) { return k == 2 ? 255.0 : k == 1 ? 255.0 * x : 0.0; };
    return {level(s[0]), level(s[1]), level(s[2])};
}

double Fraction(double v) {
    return v - std::floor(v);
}

// A small integer hash, so that flicker looks random but is the same for the same moment.
std::uint32_t Hash(std::int64_t v) {
    auto x = static_cast<std::uint32_t>(v) * 2654435761u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return x;
}

// The position along the strip as the direction makes the effect travel: two-way runs out from
// the middle; backward runs the other way.
double Travel(double x, int direction) {
    switch (direction) {
        case 0:
            return 1.0 - x;
        case 2:
            return std::fabs(x - 0.5) * 2.0;
        default:
            return x;
    }
}

}  // namespace

PreviewEffect PreviewEffectByName(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, PreviewEffect>, 10> kNames = {{
        {"static", PreviewEffect::Static},
        {"breathing", PreviewEffect::Breathing},
        {"spectrum", PreviewEffect::Spectrum},
        {"wave", PreviewEffect::Wave},
        {"reactive", PreviewEffect::Reactive},
        {"ripple", PreviewEffect::Ripple},
        {"neon", PreviewEffect::Neon},
        {"flicker", PreviewEffect::Flicker},
        {"dpi", PreviewEffect::DpiColour},
        {"off", PreviewEffect::Off},
    }};
    for (const auto& [text, effect] : kNames)
        if (text == name) return effect;
    return PreviewEffect::Static;
}

bool PreviewAnimates(PreviewEffect effect) {
    return effect != PreviewEffect::Static && effect != PreviewEffect::DpiColour &&
           effect != PreviewEffect::Off;
}

int PreviewPeriodMs(int speed) {
    return 1000 + (10 - std::clamp(speed, 1, 10)) * 500;
}

std::uint32_t PreviewColourAt(const PreviewInput& in, double x, std::int64_t tMs) {
    const double level = std::clamp(in.brightness, 1, 100) / 100.0;
    const double period = PreviewPeriodMs(in.speed);
    const double cycles = double(tMs) / period;
    const std::vector<std::uint32_t> fallback = {0xFFFFFFu};
    const auto& colours = in.colours.empty() ? fallback : in.colours;
    const auto n = static_cast<std::int64_t>(colours.size());
    auto colour = [&](std::int64_t i) { return Split(colours[static_cast<std::size_t>(((i % n) + n) % n)]); };
    const auto cycle = static_cast<std::int64_t>(std::floor(cycles));
    const double phase = Fraction(cycles);

    Rgbf out;
    switch (in.effect) {
        case PreviewEffect::Off:
            return 0;
        case PreviewEffect::Static:
        case PreviewEffect::DpiColour:
            out = colour(0);
            break;
        case PreviewEffect::Breathing:
            // One breath per cycle, each breath in the next enabled colour.
            out = Scale(colour(cycle), (1.0 - std::cos(2.0 * std::numbers::pi * phase)) / 2.0);
            break;
        case PreviewEffect::Spectrum:
            out = Hue(360.0 * phase);
            break;
        case PreviewEffect::Wave:
            if (in.direction == 3) {
                // Cover: each cycle a new hue fills the strip from one end.
                out = Hue(60.0 * double(x <= phase ? cycle + 1 : cycle));
            } else {
                out = Hue(360.0 * (Travel(x, in.direction) - cycles));
            }
            break;
        case PreviewEffect::Reactive:
            out = Scale(colour(cycle), std::exp(-5.0 * phase));
            break;
        case PreviewEffect::Ripple: {
            const double distance = std::fabs(x - 0.5) * 2.0;
            const double ring = std::fabs(distance - phase);
            out = Scale(colour(cycle), std::max(0.0, 1.0 - ring / 0.2));
            break;
        }
        case PreviewEffect::Neon:
            out = Mix(colour(cycle), colour(cycle + 1), (1.0 - std::cos(std::numbers::pi * phase)) / 2.0);
            break;
        case PreviewEffect::Flicker: {
            const auto step = static_cast<std::int64_t>(std::floor(cycles * 8.0));
            out = (Hash(step) & 3u) != 0 ? colour(step / 8) : Rgbf{};
            break;
        }
    }
    return Join(Scale(out, level));
}

}  // namespace zor
