#include "macro/MacVkAndText.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <set>

namespace zor {
namespace {

std::shared_ptr<const KeyboardLayout> Layout(const char* layout, const char* variant = "") {
    auto built = KeyboardLayout::FromNames(KeyboardLayoutNames{"", "", layout, variant, ""});
    EXPECT_TRUE(built->valid()) << layout << " should build from the installed xkb data";
    return built;
}

// Every scan code that the usage table knows: keyboard keys and the mouse buttons.
std::vector<std::uint32_t> TableScanCodes() {
    std::vector<std::uint32_t> scans;
    for (std::uint32_t scan = 0; scan <= 0xE0FF; ++scan) {
        if (MacVkAndText::ScanToUsage(scan) != MacVkAndText::kNoUsage) scans.push_back(scan);
    }
    return scans;
}

TEST(MacVkAndTextUsage, TableRowsConvertBothWays) {
    const auto scans = TableScanCodes();
    EXPECT_EQ(scans.size(), 112u);
    std::set<std::uint8_t> usages;
    for (const std::uint32_t scan : scans) {
        const std::uint8_t usage = MacVkAndText::ScanToUsage(scan);
        EXPECT_TRUE(usages.insert(usage).second) << "usage " << int(usage) << " claimed twice";
        EXPECT_EQ(MacVkAndText::UsageToScan(usage), scan) << "scan " << scan;
    }
}

TEST(MacVkAndTextUsage, SampleRowsMatchTheHidUsages) {
    EXPECT_EQ(MacVkAndText::ScanToUsage(30), 4);       // A
    EXPECT_EQ(MacVkAndText::ScanToUsage(11), 39);      // 0
    EXPECT_EQ(MacVkAndText::ScanToUsage(69), 72);      // Pause
    EXPECT_EQ(MacVkAndText::ScanToUsage(0xE045), 83);  // Num Lock
    EXPECT_EQ(MacVkAndText::ScanToUsage(0xE037), 70);  // Print Screen
    EXPECT_EQ(MacVkAndText::ScanToUsage(88), 69);      // F12
    EXPECT_EQ(MacVkAndText::ScanToUsage(0xE05D), 101);
    EXPECT_EQ(MacVkAndText::ScanToUsage(240), 241);  // left click
    EXPECT_EQ(MacVkAndText::ScanToUsage(241), 243);  // right click
    EXPECT_EQ(MacVkAndText::ScanToUsage(244), 245);  // K5
}

TEST(MacVkAndTextUsage, UnknownCodesGiveTheNoValueMarkers) {
    EXPECT_EQ(MacVkAndText::ScanToUsage(54), 255);  // non-extended right Shift is not in the table
    EXPECT_EQ(MacVkAndText::ScanToUsage(0), 255);
    EXPECT_EQ(MacVkAndText::ScanToUsage(0x1E), 4);
    EXPECT_EQ(MacVkAndText::ScanToUsage(0xE01E), 255);  // extended flag makes it another key
    EXPECT_EQ(MacVkAndText::UsageToScan(0), 255u);
    EXPECT_EQ(MacVkAndText::UsageToScan(255), 255u);
    EXPECT_EQ(MacVkAndText::UsageToScan(232), 255u);
}

TEST(MacVkAndTextUsage, NonUsHashSharesTheBackslashKey) {
    EXPECT_EQ(MacVkAndText::UsageToScan(50), 43u);
    EXPECT_EQ(MacVkAndText::UsageToScan(49), 43u);
    EXPECT_EQ(MacVkAndText::ScanToUsage(43), 49);
}

TEST(MacVkAndTextEvdev, EveryTableKeyRoundTripsThroughItsEvdevCode) {
    for (const std::uint32_t scan : TableScanCodes()) {
        if (scan >= 240 && scan <= 244) continue;
        const auto evdev = MacVkAndText::EvdevFromScanCode(scan);
        ASSERT_TRUE(evdev.has_value()) << "scan " << scan;
        EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(*evdev), scan) << "scan " << scan << " evdev " << *evdev;
    }
}

TEST(MacVkAndTextEvdev, KeysWhoseCodesDifferFromTheMakeCode) {
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_A), 30u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_NUMLOCK), 0xE045u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_PAUSE), 69u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_RIGHTSHIFT), 0xE036u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_SYSRQ), 0xE037u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_KPENTER), 0xE01Cu);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_RIGHTMETA), 0xE05Cu);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_KPCOMMA), 126u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_RO), 115u);
    EXPECT_EQ(MacVkAndText::EvdevFromScanCode(54), std::optional<std::uint32_t>(KEY_RIGHTSHIFT));
    EXPECT_EQ(MacVkAndText::EvdevFromScanCode(69), std::optional<std::uint32_t>(KEY_PAUSE));
}

TEST(MacVkAndTextEvdev, MouseButtonsAndUnknownCodes) {
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(BTN_LEFT), 240u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(BTN_RIGHT), 241u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(BTN_MIDDLE), 242u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(BTN_SIDE), 243u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(BTN_EXTRA), 244u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_RESERVED), 0u);
    EXPECT_EQ(MacVkAndText::ScanCodeFromEvdev(KEY_MUTE), 0u);
    EXPECT_FALSE(MacVkAndText::EvdevFromScanCode(240).has_value());
    EXPECT_FALSE(MacVkAndText::EvdevFromScanCode(0).has_value());
    EXPECT_FALSE(MacVkAndText::EvdevFromScanCode(0xE01E).has_value());
}

TEST(MacVkAndTextNames, UsLayoutNamesKeysByTheirCharacter) {
    const MacVkAndText names(Layout("us"));
    EXPECT_EQ(names.ScanToTextUtf8(30), "A");
    EXPECT_EQ(names.ScanToTextUtf8(21), "Y");
    EXPECT_EQ(names.ScanToTextUtf8(53), "/");
    EXPECT_EQ(names.ScanToTextUtf8(2), "1");
    EXPECT_EQ(names.ScanToTextUtf8(41), "`");
    EXPECT_EQ(names.ScanToText(30), u"A");
}

TEST(MacVkAndTextNames, GermanAndFrenchLayoutsMoveLetters) {
    const MacVkAndText de(Layout("de"));
    EXPECT_EQ(de.ScanToTextUtf8(21), "Z");
    EXPECT_EQ(de.ScanToTextUtf8(44), "Y");
    EXPECT_EQ(de.ScanToTextUtf8(53), "-");
    EXPECT_EQ(de.ScanToTextUtf8(39), "Ö");
    EXPECT_EQ(de.ScanToTextUtf8(12), "ß");  // no single upper-case letter

    const MacVkAndText fr(Layout("fr"));
    EXPECT_EQ(fr.ScanToTextUtf8(30), "Q");
    EXPECT_EQ(fr.ScanToTextUtf8(16), "A");
    EXPECT_EQ(fr.ScanToTextUtf8(3), "É");
    EXPECT_EQ(fr.ScanToTextUtf8(2), "&");
}

TEST(MacVkAndTextNames, DeadKeysShowTheirAccent) {
    const MacVkAndText de(Layout("de"));
    EXPECT_EQ(de.ScanToTextUtf8(41), "^");
    EXPECT_EQ(de.ScanToTextUtf8(13), "´");
    const MacVkAndText fr(Layout("fr"));
    EXPECT_EQ(fr.ScanToTextUtf8(26), "^");
    // The same keys without dead keys produce their plain characters.
    EXPECT_EQ(MacVkAndText(Layout("de", "nodeadkeys")).ScanToTextUtf8(41), "^");
}

TEST(MacVkAndTextNames, FixedNamesWinForKeysWithMisleadingCharacters) {
    const MacVkAndText names(Layout("us"));
    EXPECT_EQ(names.ScanToTextUtf8(1), "Escape");
    EXPECT_EQ(names.ScanToTextUtf8(14), "BackSpace");
    EXPECT_EQ(names.ScanToTextUtf8(15), "Tab");
    EXPECT_EQ(names.ScanToTextUtf8(28), "Enter");
    EXPECT_EQ(names.ScanToTextUtf8(57), "Space");
    EXPECT_EQ(names.ScanToTextUtf8(55), "Num *");
    EXPECT_EQ(names.ScanToTextUtf8(74), "Num -");
    EXPECT_EQ(names.ScanToTextUtf8(78), "Num +");
    EXPECT_EQ(names.ScanToTextUtf8(0xE035), "Num /");
    EXPECT_EQ(names.ScanToTextUtf8(0xE037), "Print Screen");
}

TEST(MacVkAndTextNames, KeysWithoutLayoutCharacterUseTheFixedTable) {
    const MacVkAndText names(Layout("us"));
    EXPECT_EQ(names.ScanToTextUtf8(0xE01C), "Num Enter");  // the layout's '\r' is no character
    EXPECT_EQ(names.ScanToTextUtf8(0xE053), "Delete");     // nor is DEL
    EXPECT_EQ(names.ScanToTextUtf8(71), "Num 7");          // keypad with Num Lock off
    EXPECT_EQ(names.ScanToTextUtf8(83), "Num .");
    EXPECT_EQ(names.ScanToTextUtf8(69), "Pause");
    EXPECT_EQ(names.ScanToTextUtf8(0xE045), "Num Lock");
    EXPECT_EQ(names.ScanToTextUtf8(0xE048), "↑");
    EXPECT_EQ(names.ScanToTextUtf8(0xE04B), "←");
    EXPECT_EQ(names.ScanToTextUtf8(0xE04D), "→");
    EXPECT_EQ(names.ScanToTextUtf8(0xE050), "↓");
    EXPECT_EQ(names.ScanToTextUtf8(0xE05B), "L-Win");
    EXPECT_EQ(names.ScanToTextUtf8(88), "F12");
    EXPECT_EQ(names.ScanToTextUtf8(54), "Unknown Key");  // right Shift without the extended flag
    EXPECT_EQ(names.ScanToTextUtf8(0xE036), "R-Shift");
}

TEST(MacVkAndTextNames, WithoutLayoutOnlyTheFixedTableNamesKeys) {
    for (const auto& layout :
         {KeyboardLayout::Empty(), KeyboardLayout::FromNames({"", "", "no-such-layout", "", ""})}) {
        EXPECT_FALSE(layout->valid());
        const MacVkAndText names(layout);
        EXPECT_EQ(names.ScanToTextUtf8(53), "/");
        EXPECT_EQ(names.ScanToTextUtf8(30), "Unknown Key");
        EXPECT_EQ(names.ScanToTextUtf8(28), "Enter");
        EXPECT_EQ(names.ScanToTextUtf8(0xE035), "Num /");
    }
    EXPECT_EQ(MacVkAndText(nullptr).ScanToTextUtf8(30), "Unknown Key");
}

TEST(MacVkAndTextNames, UsagesShowTheNameOfTheirScanCode) {
    const MacVkAndText names(Layout("us"));
    EXPECT_EQ(names.UsageToTextUtf8(241), "Left Click");
    EXPECT_EQ(names.UsageToTextUtf8(242), "Middle Click");
    EXPECT_EQ(names.UsageToTextUtf8(243), "Right Click");
    EXPECT_EQ(names.UsageToTextUtf8(244), "K4");
    EXPECT_EQ(names.UsageToTextUtf8(245), "K5");
    EXPECT_EQ(names.UsageToTextUtf8(50), names.UsageToTextUtf8(49));
    EXPECT_EQ(names.UsageToTextUtf8(49), "\\");
    EXPECT_EQ(names.UsageToTextUtf8(0), "Unknown Key");
    EXPECT_EQ(names.UsageToTextUtf8(4), "A");
    EXPECT_EQ(names.UsageToText(40), u"Enter");
}

TEST(MacVkAndTextNames, MouseButtonsNeverTakeALayoutCharacter) {
    // Scan codes 240..244 are no keyboard keys, whatever the layout has at those keycodes.
    const MacVkAndText names(Layout("us"));
    EXPECT_EQ(names.ScanToTextUtf8(240), "Left Click");
    EXPECT_EQ(names.ScanToTextUtf8(241), "Right Click");
    EXPECT_EQ(names.ScanToTextUtf8(242), "Middle Click");
    EXPECT_EQ(names.ScanToTextUtf8(243), "K4");
    EXPECT_EQ(names.ScanToTextUtf8(244), "K5");
}

}  // namespace
}  // namespace zor
