#include <gtest/gtest.h>

#include "macro/MacVkAndText.h"
#include "macro/MacroEditing.h"
#include "support/TempDir.h"

using namespace zor;

TEST(MacroEditingNumbers, BoxesClampAndShowThePlainNumber) {
    EXPECT_EQ(NormaliseRepeatCount("070000"), "65535");
    EXPECT_EQ(NormaliseRepeatCount("0"), "1");
    EXPECT_EQ(NormaliseRepeatCount(""), "1");
    EXPECT_EQ(NormaliseRepeatCount("007"), "7");
    EXPECT_EQ(NormaliseRepeatCount("12a"), "12");
    EXPECT_EQ(NormaliseRepeatCount("65535"), "65535");
    EXPECT_EQ(NormaliseNumberText("60000", 0, kEventDelayMax), "50000");
    EXPECT_EQ(NormaliseNumberText("", 0, kEventDelayMax), "0");
    EXPECT_EQ(NormaliseNumberText("99999999999999999999", 0, kMoveDistanceMax), "32767");
}

TEST(MacroEditingEvents, MovesTakeTheirQuadrantFromTheSigns) {
    EXPECT_EQ(MoveEvent(-1, -2, 5).state, 3);
    EXPECT_EQ(MoveEvent(-1, 2, 5).state, 4);
    EXPECT_EQ(MoveEvent(1, -2, 5).state, 5);
    EXPECT_EQ(MoveEvent(1, 2, 5).state, 6);
    const MacroEvent e = MoveEvent(-40000, 9, 7);
    EXPECT_EQ(e.x, 32767);  // never wraps into the other direction
    EXPECT_EQ(e.y, 9);
    EXPECT_EQ(e.delay, 7u);
    EXPECT_EQ(MoveText(5, 3, 9), u"[→]:3,[↑]:9");
    EXPECT_EQ(MoveText(4, 0, 1), u"[←]:0,[↓]:1");
    EXPECT_EQ(MoveText(7, 0, 1), u"[X]:error,[Y]:error");
}

TEST(MacroEditingEvents, EventTextsReadAndWriteEveryKind) {
    ParsedEventText s = ParseEventText("key:A:down:20");
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.event.code, 4);
    EXPECT_EQ(s.event.state, kMacStatePress);
    EXPECT_EQ(s.event.delay, 20u);
    s = ParseEventText("key:f5:up:0");
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.event.code, 62);
    EXPECT_EQ(s.event.state, kMacStateRelease);
    EXPECT_EQ(ParseEventText("key:L-Ctrl:down:1").event.code, 224);
    EXPECT_EQ(ParseEventText("key:40:down:1").event.code, 40);  // a usage number
    s = ParseEventText("mouse:right:up:10");
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.event.code, kMacCodeRightButton);
    s = ParseEventText("move:-5,10:10");
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.event.state, 4);
    EXPECT_EQ(s.event.x, 5);
    EXPECT_EQ(s.event.y, 10);
    EXPECT_TRUE(ParseEventText("dpi:400:10").ok);
    for (const char* bad :
         {"", "key:A:down", "key:A:down:x", "key:A:down:50001", "key::down:1", "key:A:press:1",
          "mouse:k6:up:1", "move:1:1", "move:1,2,3:1", "dpi:800:1", "wheel:1:1", "key:A:down:1:2"})
        EXPECT_FALSE(ParseEventText(bad).ok) << bad;

    MacroDeviceBlock b;
    const char* texts[] = {"key:A:down:20", "mouse:left:up:10", "move:-5,10:10",
                           "move:3,-9:0",   "dpi:400:10",       "key:Enter:up:1"};
    for (int i = 0; i < 6; ++i) {
        const MacroEvent e = ParseEventText(texts[i]).event;
        const auto k = static_cast<std::size_t>(i);
        b.macVal[k] = e.code;
        b.macSta[k] = e.state;
        b.extVal[k] = {e.x, e.y};
        b.macDly[k] = e.delay;
        EXPECT_EQ(EventText(b, i), texts[i]);
    }
}

TEST(MacroEditingEvents, ListTextsFollowTheEventKind) {
    MacVkAndText keys(KeyboardLayout::FromNames({"", "", "us", "", ""}));
    MacroDeviceBlock b;
    b.macVal[0] = kMacCodeDpi;
    b.macVal[1] = kMacCodeMove;
    b.macSta[1] = 3;
    b.extVal[1] = {4, 6};
    b.macVal[2] = kMacCodeLighting;
    b.macSta[2] = 13;
    b.extVal[2] = {2, 0};
    b.macVal[3] = 0;
    b.macVal[4] = kMacCodeFifthButton;
    b.macVal[5] = 4;
    b.macVal[6] = kMacCodeLighting;
    b.macSta[6] = 9;
    EXPECT_EQ(EventKeyText(b, 0, keys), u"[DPI]:400 ");
    EXPECT_EQ(EventKeyText(b, 1, keys), u"[←]:4,[↑]:6");
    EXPECT_EQ(EventKeyText(b, 2, keys), u"LED  2 ");
    EXPECT_EQ(EventKeyText(b, 3, keys), u"[Delay]");
    EXPECT_EQ(EventKeyText(b, 4, keys), u"K5");
    EXPECT_EQ(EventKeyText(b, 5, keys), u"A");
    EXPECT_EQ(EventKeyText(b, 6, keys), u"[LED0/1/2]:error");
}

TEST(MacroEditingStore, InsertRefusalsAndRenamesFollowThePageRules) {
    zor::test::TempDir dir;
    MacroStore store;
    store.SetPath(dir / "m.json");
    int g = -1, m = -1;
    ASSERT_TRUE(store.NewGroup(0, u"G", &g).ok);
    ASSERT_TRUE(store.NewMacro(g, 0, u"M", &m).ok);
    EXPECT_EQ(CheckInsert(store, g, 1), InsertRefusal::NoMacro);
    EXPECT_EQ(CheckInsert(store, g, m), InsertRefusal::None);
    // 100 long key events: each takes 6 bytes of the stream, so the estimate passes 500.
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(store.InsertEvent(g, m, i, {kMacStatePress, 4, 0, 0, 1000}).ok);
    EXPECT_EQ(CheckInsert(store, g, m), InsertRefusal::TooLong);
    store.SetBusy(true);
    EXPECT_EQ(CheckInsert(store, g, m), InsertRefusal::Recording);
    store.SetBusy(false);

    ASSERT_TRUE(store.NewMacro(g, 1, u"M", &m).ok);  // "M1"
    EXPECT_FALSE(RenamedName(u"", u"M1", MacroNamesExcept(store, g, 1)));
    EXPECT_FALSE(RenamedName(u"M1", u"M1", MacroNamesExcept(store, g, 1)));
    EXPECT_EQ(*RenamedName(u"M", u"M1", MacroNamesExcept(store, g, 1)), u"M1");
    EXPECT_EQ(*RenamedName(u"X", u"M1", MacroNamesExcept(store, g, 1)), u"X");
    EXPECT_EQ(FindMacroPath(store, "G/M1").macro, 1);
    EXPECT_FALSE(FindMacroPath(store, "G/none").ok());
    EXPECT_FALSE(FindMacroPath(store, "G").ok());
}
