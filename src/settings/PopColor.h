// The colour picker's rules without widgets: the colour presets file PopColor.ini (eight fixed
// colours in [Default], eight user colours in [SelfDefine], decimal 0xRRGGBB numbers) and the
// reading of its hexadecimal and R/G/B entry fields.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zor {

inline constexpr int kPopColourCount = 8;

struct PopColours {
    std::array<std::uint32_t, kPopColourCount> defaults{};
    std::array<std::uint32_t, kPopColourCount> user{};
};

// <modelFolder>/Config/PopColor.ini
std::filesystem::path PopColorPath(const std::filesystem::path& modelFolder);
// Keys "0".."7" of both sections; a missing file or key reads as 0 (black). Any alpha byte of a
// stored value is dropped.
PopColours LoadPopColours(const std::filesystem::path& file);
// Writes the user colours to [SelfDefine] ("%u"); false when the file could not be written.
bool SavePopUserColours(const std::filesystem::path& file,
                        const std::array<std::uint32_t, kPopColourCount>& user);

// "colorHex": one to six hexadecimal digits (either case). nullopt for anything else (a
// character outside 0-9/A-F, an empty field, more than six digits): the entry is abandoned.
std::optional<std::uint32_t> ParseHexColour(std::string_view text);
// "%06X"
std::string HexColourText(std::uint32_t colour);
// "colorR"/"colorG"/"colorB": the leading decimal number; 256 and above are 255, below 0 is 0.
int ColourChannelValue(std::string_view text);
std::uint32_t ColourFromChannels(std::string_view r, std::string_view g, std::string_view b);

}  // namespace zor
