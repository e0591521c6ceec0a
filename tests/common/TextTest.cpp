#include <gtest/gtest.h>

#include "common/Text.h"

using namespace zor;

TEST(Text, Utf8Utf16RoundTripAcrossPlanes) {
    const std::string text = "Makro \xE5\xAE\x8F \xF0\x9F\x96\xB1 \xC3\xA9";  // CJK, U+1F5B1, é
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, u"Makro \u5B8F \U0001F5B1 \u00E9");
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Text, MalformedUtf8BecomesReplacementWithoutSwallowingNeighbours) {
    // Truncated 3-byte sequence, stray continuation byte, overlong '/' and an encoded surrogate.
    EXPECT_EQ(Utf8ToUtf16("a\xE5\xAE"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\x80x"), u"\uFFFDx");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80z"), u"\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x96"), u"\uFFFD");
}

TEST(Text, CodeUnitArraysKeepLoneSurrogates) {
    const std::vector<std::uint16_t> units{0x0041, 0xD800, 0x0042, 0xDFFF, 0xD83D, 0xDDB1};
    const std::u16string text = FromCodeUnits(units);
    EXPECT_EQ(ToCodeUnits(text), units);
    // UTF-8 cannot carry a lone surrogate; it is replaced, the valid pair survives.
    EXPECT_EQ(Utf16ToUtf8(text),
              "A\xEF\xBF\xBD"
              "B\xEF\xBF\xBD\xF0\x9F\x96\xB1");
}

TEST(Text, ParseLeadingIntFollowsWtoi) {
    EXPECT_EQ(ParseLeadingInt("42"), 42);
    EXPECT_EQ(ParseLeadingInt("  -17abc"), -17);
    EXPECT_EQ(ParseLeadingInt("+8"), 8);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt("-"), 0);
    EXPECT_EQ(ParseLeadingInt("12 34"), 12);
    EXPECT_EQ(ParseLeadingInt("99999999999"), 2147483647);
    EXPECT_EQ(ParseLeadingInt("-99999999999"), -2147483647 - 1);
}

TEST(Text, FormatCoversTheProgramsTexts) {
    EXPECT_EQ(Format("random:%d\n", 4711), "random:4711\n");
    EXPECT_EQ(Format("curRptRate:%d,input7:%d\n", 3, -1), "curRptRate:3,input7:-1\n");
    EXPECT_EQ(Format("Profile%d", 2), "Profile2");
    EXPECT_EQ(Format("%06X", 0xABCDu), "00ABCD");
    EXPECT_EQ(Format("%06X", 0x12345678u), "12345678");
    EXPECT_EQ(Format("%u of %s", 7u, std::string("eight")), "7 of eight");
    EXPECT_EQ(Format("%02x%%", 10), "0a%");
    EXPECT_EQ(Format("[%5d|%-5d|%05d]", 42, 42, -42), "[   42|42   |-0042]");
}

TEST(Text, FormatIsSafeWithMissingOrOddArguments) {
    EXPECT_EQ(Format("a%db%sc"), "abc");
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%d", 4294967295u), "-1");
    EXPECT_EQ(Format("100%"), "100%");
    EXPECT_EQ(Format("%q %d", 5), "%q 5");
}

TEST(Text, SplitKeepsEmptyItemsAndJoinRestores) {
    EXPECT_EQ(Split("400,1,,x", ','), (std::vector<std::string>{"400", "1", "", "x"}));
    EXPECT_EQ(Split("", ','), (std::vector<std::string>{""}));
    EXPECT_EQ(Join(Split("a,b,c", ','), ","), "a,b,c");
    EXPECT_TRUE(EqualsIgnoreCaseAscii("KeyNum", "KEYNUM"));
    EXPECT_FALSE(EqualsIgnoreCaseAscii("Key", "Keys"));
}

TEST(EscapeControls, ControlCharactersBecomeVisibleEscapes) {
    EXPECT_EQ(EscapeControls("plain \xE5\x8A\x9E text"), "plain \xE5\x8A\x9E text");
    EXPECT_EQ(EscapeControls("a\nb\rc\td"), "a\\nb\\rc\\td");
    EXPECT_EQ(EscapeControls(std::string("\x1b[31m\a\x7f\0", 8)), "\\x1b[31m\\x07\\x7f\\x00");
    EXPECT_EQ(EscapeControls("\xC2\x9B"
                             "31m \xC2\xA0"),
              "\\u009b31m \xC2\xA0");
    EXPECT_EQ(EscapeControls("back\\slash"), "back\\\\slash");
    // A C2 lead byte at the very end is kept as it is.
    EXPECT_EQ(EscapeControls("x\xC2"), "x\xC2");
}

TEST(PrintableText, OutsideTextIsEscapedAndCut) {
    EXPECT_EQ(PrintableText("plain \xE5\x8A\x9E text \xC2\xA0"), "plain \xE5\x8A\x9E text \xC2\xA0");
    EXPECT_EQ(PrintableText(std::string("9.9\x1b[2J\0\\", 9)), "9.9\\x1b[2J\\x00\\\\");
    // Characters that turn the rest of the line around, line separators, C1 controls.
    EXPECT_EQ(PrintableText("a\xE2\x80\xAE"
                            "b\xE2\x81\xA6"
                            "c\xE2\x80\x8F"
                            "d\xD8\x9C"
                            "e\xE2\x80\xA8"
                            "f\xC2\x9B"),
              "a\\u202eb\\u2066c\\u200fd\\u061ce\\u2028f\\u009b");
    // Bytes that are not UTF-8: a lone lead byte, an overlong form, a surrogate, past U+10FFFF.
    EXPECT_EQ(PrintableText("x\xC2"), "x\\xc2");
    EXPECT_EQ(PrintableText("\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80"),
              "\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80");
    EXPECT_EQ(PrintableText("line\nbreak"), "line\\nbreak");
    EXPECT_EQ(PrintableText("line\nbreak", 100, true), "line\nbreak");
    // The cut counts characters (an escape as one) and never splits one.
    EXPECT_EQ(PrintableText("\xE5\x8A\x9E\xE5\x8A\x9E\xE5\x8A\x9E", 2), "\xE5\x8A\x9E\xE5\x8A\x9E...");
    EXPECT_EQ(PrintableText("\x1b\x1b\x1b", 2), "\\x1b\\x1b...");
    EXPECT_EQ(PrintableText("abc", 3), "abc");
    EXPECT_EQ(PrintableText(std::string(500000, 'v')).size(), kPrintableMaxChars + 3);
}
