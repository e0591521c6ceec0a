#include "settings/PopColor.h"

#include <algorithm>
#include <cctype>

#include "common/IniFile.h"
#include "common/Text.h"

namespace zor {
namespace {

constexpr std::uint32_t kRgbMask = 0xFFFFFFu;

// The leading decimal digits of an unsigned value (as the file stores "%u"), capped at 32 bits.
std::uint32_t LeadingUnsigned(std::string_view text) {
    text = TrimView(text);
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min<std::uint64_t>(value * 10 + std::uint64_t(c - '0'), 0xFFFFFFFFull);
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::filesystem::path PopColorPath(const std::filesystem::path& modelFolder) {
    return modelFolder / "Config" / "PopColor.ini";
}

PopColours LoadPopColours(const std::filesystem::path& file) {
    const IniFile ini(file);
    PopColours colours;
    for (int k = 0; k < kPopColourCount; ++k) {
        const std::string key = std::to_string(k);
        colours.defaults[static_cast<std::size_t>(k)] =
            LeadingUnsigned(ini.GetString("Default", key)) & kRgbMask;
        colours.user[static_cast<std::size_t>(k)] =
            LeadingUnsigned(ini.GetString("SelfDefine", key)) & kRgbMask;
    }
    return colours;
}

bool SavePopUserColours(const std::filesystem::path& file,
                        const std::array<std::uint32_t, kPopColourCount>& user) {
    IniFile ini(file);
    bool ok = true;
    for (int k = 0; k < kPopColourCount; ++k)
        ok = ini.WriteString("SelfDefine", std::to_string(k),
                             std::to_string(user[static_cast<std::size_t>(k)] & kRgbMask)) &&
             ok;
    return ok;
}

std::optional<std::uint32_t> ParseHexColour(std::string_view text) {
    const std::string upper = ToUpperAscii(text);
    if (upper.empty() || upper.size() > 6) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : upper) {
        const auto digit = std::string_view("0123456789ABCDEF").find(c);
        if (digit == std::string_view::npos) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::string HexColourText(std::uint32_t colour) {
    return Format("%06X", static_cast<unsigned>(colour & kRgbMask));
}

int ColourChannelValue(std::string_view text) {
    return std::clamp(ParseLeadingInt(text), 0, 255);
}

std::uint32_t ColourFromChannels(std::string_view r, std::string_view g, std::string_view b) {
    return (static_cast<std::uint32_t>(ColourChannelValue(r)) << 16) |
           (static_cast<std::uint32_t>(ColourChannelValue(g)) << 8) |
           static_cast<std::uint32_t>(ColourChannelValue(b));
}

}  // namespace zor
