// The colour picker's presets file and the reading of its entry fields.
#include <gtest/gtest.h>

#include "common/IniFile.h"
#include "settings/PopColor.h"
#include "support/TempDir.h"

namespace zor {
namespace {

TEST(PopColorFile, AMissingFileGivesSixteenBlackSwatches) {
    test::TempDir dir;
    const PopColours colours = LoadPopColours(PopColorPath(dir.path()));
    for (int k = 0; k < kPopColourCount; ++k) {
        EXPECT_EQ(colours.defaults[static_cast<std::size_t>(k)], 0u);
        EXPECT_EQ(colours.user[static_cast<std::size_t>(k)], 0u);
    }
}

TEST(PopColorFile, UserColoursRoundTripAndTheDefaultsAndCommentsStay) {
    test::TempDir dir;
    const auto file = dir / "PopColor.ini";
    test::WriteFile(
        file, "; presets\r\n[Default]\r\n0=16711680\r\n1=4278255360\r\n3=x\r\n[SelfDefine]\r\n0=255\r\n");
    PopColours colours = LoadPopColours(file);
    EXPECT_EQ(colours.defaults[0], 0xFF0000u);
    EXPECT_EQ(colours.defaults[1], 0x00FF00u);  // an alpha byte is dropped
    EXPECT_EQ(colours.defaults[3], 0u);
    EXPECT_EQ(colours.user[0], 0x0000FFu);
    colours.user[0] = 0x123456;
    colours.user[7] = 0xFFFFFF;
    ASSERT_TRUE(SavePopUserColours(file, colours.user));
    const PopColours again = LoadPopColours(file);
    EXPECT_EQ(again.user, colours.user);
    EXPECT_EQ(again.defaults, colours.defaults);
    const std::string text = test::ReadFile(file);
    EXPECT_NE(text.find("; presets\r\n"), std::string::npos);
    EXPECT_NE(text.find("7=16777215\r\n"), std::string::npos);
}

TEST(PopColorFields, HexEntriesOutsideTheDigitsAreAbandoned) {
    EXPECT_EQ(ParseHexColour("12ab56"), 0x12AB56u);
    EXPECT_EQ(ParseHexColour("ff"), 0xFFu);
    EXPECT_EQ(ParseHexColour("12G456"), std::nullopt);
    EXPECT_EQ(ParseHexColour(""), std::nullopt);
    EXPECT_EQ(ParseHexColour("1234567"), std::nullopt);
    EXPECT_EQ(ParseHexColour("#123456"), std::nullopt);
    EXPECT_EQ(HexColourText(0x0A0B0C), "0A0B0C");
}

TEST(PopColorFields, ChannelsAreLimitedToByteValues) {
    EXPECT_EQ(ColourChannelValue("300"), 255);
    EXPECT_EQ(ColourChannelValue("256"), 255);
    EXPECT_EQ(ColourChannelValue("12abc"), 12);
    EXPECT_EQ(ColourChannelValue("-4"), 0);
    EXPECT_EQ(ColourChannelValue(""), 0);
    EXPECT_EQ(ColourFromChannels("300", "16", "1"), 0xFF1001u);
}

}  // namespace
}  // namespace zor
