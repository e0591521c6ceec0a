// Key assignment rules: the slot a control edits, the last left click, macro use counters, the
// BLE and lighting restrictions, the wheel list, recorded keystrokes, command-line names; and
// every kind of choice sent byte-exact to the virtual mouse by the page's run (kind 4 or 5).
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "device/WireFixture.h"
#include "settings/ApplyPipeline.h"
#include "settings/KeyAssign.h"
#include "support/TempDir.h"

using namespace zor;
using zor::test::SourceDir;
using zor::test::TempDir;

namespace {

constexpr std::uint32_t kNative = 8;  // native key codes are evdev codes + 8

class KeyAssignTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto model = SourceDir() / "res" / "MouseVarn" / "MouseA";
        DeviceFeatureRecord feature;
        ASSERT_TRUE(LoadDeviceFeature(feature, model, 0));
        doc.SetDeviceFacts(feature);
        ASSERT_TRUE(doc.Load(model).ok);
        ASSERT_TRUE(catalog.LoadFile(SourceDir() / kLanguageTextPath));
        doc.FillKeyTexts(catalog);
        macros.SetPath(dir / "macroConfig.json");
        ASSERT_TRUE(macros.NewGroup(0, u"Games", &group).ok);
        ASSERT_TRUE(macros.NewMacro(group, 0, u"Reload", &first).ok);
        ASSERT_TRUE(macros.NewMacro(group, 1, u"Jump", &second).ok);
        for (int m : {first, second}) {
            MacroEvent press{kMacStatePress, 0x04, 0, 0, 10};
            ASSERT_TRUE(macros.InsertEvent(group, m, 0, press).ok);
        }
    }
    KeyChoice MacroChoice(int m) const {
        return KeyChoice::Macro(macros.group(group)->guid, macros.macro(group, m)->guid);
    }
    std::uint32_t Count(int m) const { return macros.macro(group, m)->bindCount; }
    const doc::KeyAssignment& Key(int table, int slot) const {
        return doc.keyTables[static_cast<std::size_t>(table)].at(SlotName(slot));
    }
    AssignStatus Assign(int slot, const KeyChoice& choice, KeyRules rules = {}) {
        KeyAssignContext context{doc, macros, catalog, keys, rules};
        return AssignKey(context, 0, slot, choice);
    }

    TempDir dir;
    MouseConfigDocument doc;
    KeyFunctionCatalog catalog;
    MacroStore macros;
    MacVkAndText keys{KeyboardLayout::FromNames({"", "", "us", "", ""})};
    int group = -1, first = -1, second = -1;
};

}  // namespace

TEST(KeyControls, ClickMarkSecondLayoutAndWheelControlsNameTheirSlots) {
    EXPECT_EQ(SlotOfKeyControl("btn_MouseKey_Click0"), 0);
    EXPECT_EQ(SlotOfKeyControl("btn_MouseKey_Mark7"), 7);
    EXPECT_EQ(SlotOfKeyControl("btn_MouseKey2_Click12"), 12);
    EXPECT_EQ(SlotOfKeyControl("btn_MouseKey2_Mark19"), 19);
    EXPECT_EQ(SlotOfKeyControl("btn_Mouse_Scr_Up"), 16);
    EXPECT_EQ(SlotOfKeyControl("btn_Mouse_Scr_Dn"), 17);
    for (const char* bad : {"btn_MouseKey_Click20", "btn_MouseKey_Click", "btn_MouseKey_Click1x",
                            "btn_MouseKey_Click-1", "btn_MouseKey_Apply", "btn_MouseKey_Click007"})
        EXPECT_EQ(SlotOfKeyControl(bad), -1) << bad;
    EXPECT_EQ(ApplyKindOfSlot(0), ApplyKind::Key);
    EXPECT_EQ(ApplyKindOfSlot(15), ApplyKind::Key);
    EXPECT_EQ(ApplyKindOfSlot(16), ApplyKind::ComboKey);
    EXPECT_EQ(ApplyKindOfSlot(19), ApplyKind::ComboKey);
    EXPECT_TRUE(ModelHasLighting(true, "Zor MouseA"));
    EXPECT_FALSE(ModelHasLighting(false, "Zor MouseA"));
    EXPECT_FALSE(ModelHasLighting(true, "Zor MouseA Lite"));
}

TEST_F(KeyAssignTest, TheOnlyLeftClickIsRefusedAndASecondOneLetsItGo) {
    ASSERT_EQ(Key(0, 0).code, 1);
    ASSERT_TRUE(IsOnlyLeftClick(doc.keyTables[0], 0));
    const doc::KeyAssignment before = Key(0, 0);
    EXPECT_EQ(Assign(0, KeyChoice::Function(3)), AssignStatus::OnlyOneKey);
    EXPECT_EQ(Assign(0, MacroChoice(first)), AssignStatus::OnlyOneKey);
    EXPECT_EQ(Assign(0, KeyChoice::Key(0x41)), AssignStatus::OnlyOneKey);
    EXPECT_EQ(Key(0, 0), before);
    EXPECT_EQ(Count(first), 0u);
    // Choosing the left click again for it changes nothing and is no refusal.
    EXPECT_EQ(Assign(0, KeyChoice::Function(1)), AssignStatus::Assigned);

    EXPECT_EQ(Assign(4, KeyChoice::Function(1)), AssignStatus::Assigned);
    EXPECT_EQ(Assign(0, KeyChoice::Function(3)), AssignStatus::Assigned);
    EXPECT_EQ(Key(0, 0).code, 3);
    EXPECT_EQ(Key(0, 0).text, "Right");
    // Now slot 4 is the last one.
    EXPECT_EQ(Assign(4, KeyChoice::Function(2)), AssignStatus::OnlyOneKey);
    // Other profiles keep their own left click.
    KeyAssignContext context{doc, macros, catalog, keys, {}};
    EXPECT_EQ(AssignKey(context, 1, 0, KeyChoice::Function(2)), AssignStatus::OnlyOneKey);
}

TEST_F(KeyAssignTest, MacroUseCountersFollowEveryReplacementAndNeverGoBelowZero) {
    EXPECT_EQ(Assign(3, MacroChoice(first)), AssignStatus::Assigned);
    EXPECT_EQ(Key(0, 3).text, "M:Reload");
    EXPECT_EQ(Key(0, 3).grpGuid, macros.group(group)->guid);
    EXPECT_EQ(Count(first), 1u);
    EXPECT_EQ(Assign(4, MacroChoice(first)), AssignStatus::Assigned);
    EXPECT_EQ(Count(first), 2u);
    // A macro replaced by another macro.
    EXPECT_EQ(Assign(3, MacroChoice(second)), AssignStatus::Assigned);
    EXPECT_EQ(Count(first), 1u);
    EXPECT_EQ(Count(second), 1u);
    EXPECT_EQ(Key(0, 3).text, "M:Jump");
    // The same macro chosen again keeps its count.
    EXPECT_EQ(Assign(3, MacroChoice(second)), AssignStatus::Assigned);
    EXPECT_EQ(Count(second), 1u);
    // A macro replaced by a function: ids emptied, counter down.
    EXPECT_EQ(Assign(3, KeyChoice::Function(32)), AssignStatus::Assigned);
    EXPECT_EQ(Count(second), 0u);
    EXPECT_TRUE(Key(0, 3).grpGuid.empty());
    EXPECT_TRUE(Key(0, 3).macGuid.empty());
    EXPECT_EQ(Key(0, 3).text, "Vol+");
    // A counter that is already 0 (library edited elsewhere) stays 0.
    macros.macro(group, first)->bindCount = 0;
    EXPECT_EQ(Assign(4, KeyChoice::Key(0x70)), AssignStatus::Assigned);
    EXPECT_EQ(Count(first), 0u);
    EXPECT_EQ(Key(0, 4).code, 256 + 0x70);
    EXPECT_EQ(Key(0, 4).text, "F1");
    // A macro that is not in the library is refused and changes nothing.
    EXPECT_EQ(Assign(5, KeyChoice::Macro("nope", "nope")), AssignStatus::NoMacro);
    EXPECT_EQ(Key(0, 5).code, doc.DefaultCodeOfSlot(5));
}

TEST_F(KeyAssignTest, BleAndModelsWithoutLightingOfferLess) {
    const KeyRules ble{true, true};
    EXPECT_EQ(Assign(3, MacroChoice(first), ble), AssignStatus::MacroOverBle);
    EXPECT_EQ(Assign(3, KeyChoice::Function(10), ble), AssignStatus::NotOffered);
    EXPECT_EQ(Assign(3, KeyChoice::Function(10)), AssignStatus::Assigned);
    EXPECT_EQ(Assign(3, KeyChoice::Function(16), ble), AssignStatus::Assigned);
    const KeyRules dark{false, false};
    EXPECT_EQ(Assign(3, KeyChoice::Function(21), dark), AssignStatus::NotOffered);
    EXPECT_EQ(Assign(3, KeyChoice::Function(22), dark), AssignStatus::Assigned);
    EXPECT_EQ(Count(first), 0u);
}

TEST_F(KeyAssignTest, WheelSlotsTakeTheWheelListMacrosAndKeys) {
    EXPECT_EQ(Assign(16, KeyChoice::Function(28)), AssignStatus::Assigned);
    EXPECT_EQ(Key(0, 16).code, 28);
    EXPECT_EQ(Assign(17, KeyChoice::Function(33)), AssignStatus::Assigned);
    EXPECT_EQ(Assign(17, KeyChoice::Function(1)), AssignStatus::NotOffered);
    EXPECT_EQ(Assign(17, KeyChoice::Function(102)), AssignStatus::NotOffered);
    EXPECT_EQ(Assign(16, MacroChoice(first)), AssignStatus::Assigned);
    EXPECT_EQ(Assign(17, KeyChoice::Key(0x26)), AssignStatus::Assigned);
    EXPECT_EQ(Key(0, 17).text, "↑");
    EXPECT_EQ(Assign(20, KeyChoice::Function(1)), AssignStatus::BadSlot);
    EXPECT_EQ(Assign(3, KeyChoice::Key(0x07)), AssignStatus::NoKey);
}

TEST_F(KeyAssignTest, DisplayTextsAfterReloadFallBackWhenTheMacroIsGone) {
    ASSERT_EQ(Assign(3, MacroChoice(first)), AssignStatus::Assigned);
    ASSERT_EQ(Assign(4, MacroChoice(second)), AssignStatus::Assigned);
    ASSERT_EQ(Assign(5, KeyChoice::Key(0xA3)), AssignStatus::Assigned);
    ASSERT_TRUE(doc.Save(dir / "MouseConfig.json").ok);
    ASSERT_TRUE(macros.DeleteMacro(group, first).ok);

    MouseConfigDocument again;
    DeviceFeatureRecord feature;
    ASSERT_TRUE(LoadDeviceFeature(feature, SourceDir() / "res" / "MouseVarn" / "MouseA", 0));
    again.SetDeviceFacts(feature);
    ASSERT_TRUE(again.LoadFile(dir / "MouseConfig.json").ok);
    again.FillKeyTexts(catalog);
    again.RefreshMacroLabels(macros, catalog, keys);
    const auto& t = again.keyTables[0];
    EXPECT_EQ(t.at(SlotName(3)).code, again.DefaultCodeOfSlot(3));
    EXPECT_EQ(t.at(SlotName(3)).text, catalog.ButtonLabel(again.DefaultCodeOfSlot(3)));
    EXPECT_EQ(t.at(SlotName(4)).text, "M:Jump");
    EXPECT_EQ(t.at(SlotName(5)).text, "R-Ctrl");
}

TEST(KeyRecording, RightCtrlIsExtendedAndTheCtrlOfAltGrIsNot) {
    MacVkAndText keys{KeyboardLayout::FromNames({"", "", "us", "", ""})};
    EXPECT_EQ(RecordScanCode(0x1D, true), 0xE01Du);
    EXPECT_EQ(RecordScanCode(0x1D, false), 0x1Du);
    EXPECT_EQ(RecordScanCode(0x21D, true), 0x21Du);
    EXPECT_EQ(RecordScanCode(0x138, true), 0xE038u);

    const RecordedKey rightCtrl = RecordKey(ScanCodeOfNativeKey(KEY_RIGHTCTRL + kNative), keys);
    EXPECT_EQ(rightCtrl.scan, 0xE01Du);
    EXPECT_EQ(rightCtrl.virtualKey, 0xA3);
    EXPECT_EQ(rightCtrl.name, "R-Ctrl");
    const RecordedKey altGr = RecordKey(ScanCodeOfNativeKey(KEY_RIGHTALT + kNative), keys);
    EXPECT_EQ(altGr.virtualKey, 0xA5);
    EXPECT_EQ(altGr.name, "R-Alt");
    const RecordedKey syntheticCtrl = RecordKey(RecordScanCode(0x21D, true), keys);
    EXPECT_EQ(syntheticCtrl.virtualKey, 0xA2);
    EXPECT_EQ(syntheticCtrl.name, "L-Ctrl");

    const RecordedKey a = RecordKey(ScanCodeOfNativeKey(KEY_A + kNative), keys);
    EXPECT_EQ(a.virtualKey, 0x41);
    EXPECT_EQ(a.name, "A");
    EXPECT_EQ(RecordKey(ScanCodeOfNativeKey(KEY_KPENTER + kNative), keys).virtualKey, 0x0D);
    EXPECT_EQ(RecordKey(ScanCodeOfNativeKey(KEY_RIGHTSHIFT + kNative), keys).virtualKey, 0xA1);
    EXPECT_EQ(ScanCodeOfNativeKey(0), 0u);
    EXPECT_EQ(ScanCodeOfNativeKey(BTN_LEFT + kNative), 0u);
    EXPECT_EQ(RecordKey(0x7F, keys).virtualKey, 0);
    EXPECT_EQ(RecordKey(0x7F, keys).name, "Unknown Key");
}

TEST(KeyRecording, EveryNamedVirtualKeyTypesTheUsageOfItsScanCode) {
    // The wire table of the device layer and the key-name tables must agree on every key.
    int keysChecked = 0;
    for (int vk = 1; vk < 256; ++vk) {
        const unsigned scan = VirtualKeyToScan(vk);
        if (scan == 0) {
            EXPECT_EQ(VirtualKeyUsage(vk), 0) << "vk " << vk;
            continue;
        }
        EXPECT_EQ(VirtualKeyUsage(vk), MacVkAndText::ScanToUsage(scan)) << "vk " << vk;
        EXPECT_EQ(VirtualKeyToScan(ScanToVirtualKey(scan)), scan) << "vk " << vk;
        ++keysChecked;
    }
    EXPECT_GT(keysChecked, 100);
}

TEST_F(KeyAssignTest, CommandLineNamesCodesLabelsKeysAndMacros) {
    auto parse = [&](const char* text) { return ParseFunction(text, catalog, macros, keys); };
    EXPECT_EQ(parse("3").choice->code, 3);
    EXPECT_EQ(parse("right click").choice->code, 3);
    EXPECT_EQ(parse("Vol+").choice->code, 32);  // a button label also names its function
    EXPECT_EQ(parse("key:A").choice->code, 256 + 0x41);
    EXPECT_EQ(parse("key:f5").choice->code, 256 + 0x74);
    EXPECT_EQ(parse("key:Enter").choice->code, 256 + 0x0D);
    EXPECT_EQ(parse("key:L-Ctrl").choice->code, 256 + 0xA2);
    EXPECT_EQ(parse(" 321 ").choice->kind, KeyChoice::Kind::Key);
    const auto macro = parse("macro:Games/Jump");
    ASSERT_TRUE(macro.choice);
    EXPECT_EQ(macro.choice->kind, KeyChoice::Kind::Macro);
    EXPECT_EQ(macro.choice->macGuid, macros.macro(group, second)->guid);
    for (const char* bad : {"", "7", "120", "259", "key:", "key:NoSuchKey", "macro:Games", "macro:Games/None",
                            "macro:Other/Jump", "Teleport", "99999999999"}) {
        const auto parsed = parse(bad);
        EXPECT_FALSE(parsed.choice) << bad;
        EXPECT_FALSE(parsed.error.empty()) << bad;
    }
    const auto functions = CatalogFunctions(catalog);
    EXPECT_EQ(functions.size(), catalog.size());
    EXPECT_EQ(functions.front().code, 0);
    EXPECT_TRUE(std::any_of(functions.begin(), functions.end(),
                            [](const FunctionInfo& f) { return f.code == 27 && f.wheel; }));
}

// ---- on the wire -------------------------------------------------------------------------------

namespace {

class KeyOnWire : public zor::test::WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        const auto model = SourceDir() / "res" / "MouseVarn" / "MouseA";
        DeviceFeatureRecord feature;
        ASSERT_TRUE(LoadDeviceFeature(feature, model, 0));
        doc.SetDeviceFacts(feature);
        ASSERT_TRUE(doc.Load(model).ok);
        ASSERT_TRUE(catalog.LoadFile(SourceDir() / kLanguageTextPath));
        ASSERT_TRUE(predefined.Load(SourceDir() / kShortCutMacPath, SourceDir() / kOtherKeyMacPath).ok);
        macros.SetPath(dir / "macroConfig.json");
        ASSERT_TRUE(macros.NewGroup(0, u"G", &group).ok);
        ASSERT_TRUE(macros.NewMacro(group, 0, u"M", &macro).ok);
        ASSERT_TRUE(macros.InsertEvent(group, macro, 0, {kMacStatePress, 0x04, 0, 0, 10}).ok);
        ASSERT_TRUE(macros.InsertEvent(group, macro, 1, {kMacStateRelease, 0x04, 0, 0, 10}).ok);
    }

    // Assigns in profile 1 and sends it as the page does: one run of mode 0 with the slot's kind.
    void AssignAndSend(int slot, const KeyChoice& choice) {
        KeyAssignContext context{doc, macros, catalog, keys, {}};
        ASSERT_EQ(AssignKey(context, 1, slot, choice), AssignStatus::Assigned);
        ApplyJob job;
        job.mode = RunMode::Push;
        job.kind = ApplyKindOfSlot(slot);
        job.profile = 1;
        job.currentKey = slot;
        job.connectionType = 1;
        for (int p = 0; p < kProfileCount; ++p)
            job.settings.profiles[static_cast<std::size_t>(p)] = doc.Profile(p);
        job.draw = [] { return std::uint16_t{0x2345}; };
        job.predefined = &predefined;
        auto snapshot = std::make_shared<MacroSnapshot>();
        for (const MacroGroup& g : macros.groups())
            for (const MacroRecord& m : g.macros) snapshot->Add(g.guid, m.guid, m.device);
        job.macros = snapshot;
        mouse->ClearFrames();
        RunApply(commands, job);
    }
    std::array<std::uint8_t, 4> KeyBytes(int slot) const {
        const VirtualMouseState s = mouse->State();
        std::array<std::uint8_t, 4> out{};
        const std::uint8_t* source = slot >= 16 ? s.comboKeys.data() : s.keys.data();
        const int index = slot >= 16 ? slot - 16 : slot;
        for (int i = 0; i < 4; ++i)
            out[static_cast<std::size_t>(i)] = source[static_cast<std::size_t>(4 * index + i)];
        return out;
    }

    TempDir dir;
    MouseConfigDocument doc;
    KeyFunctionCatalog catalog;
    PredefinedMacroLists predefined;
    MacroStore macros;
    MacVkAndText keys{KeyboardLayout::FromNames({"", "", "us", "", ""})};
    int group = -1, macro = -1;
};

}  // namespace

TEST_F(KeyOnWire, EveryCategoryReachesTheMouseByteExact) {
    struct Case {
        int slot;
        KeyChoice choice;
        std::array<std::uint8_t, 4> bytes;
    };
    const Case cases[] = {
        {3, KeyChoice::Function(3), {0x01, 0x02, 0, 0}},      // Mouse
        {4, KeyChoice::Function(100), {0x0A, 0x00, 4, 0}},    // ShortCut (predefined macro in slot 4)
        {5, KeyChoice::Function(32), {0x04, 0xE9, 0, 0}},     // Media
        {6, KeyChoice::Function(11), {0x08, 0x01, 0, 0}},     // DPI
        {7, KeyChoice::Function(24), {0x09, 0x04, 0x01, 0}},  // Mode
        {3, KeyChoice::Function(16), {0x07, 0x04, 0, 0}},     // Lighting
        {5, KeyChoice::Key(0x41), {0x02, 0x04, 0, 0}},        // recorded A types A
        {6, KeyChoice::Key(0xA3), {0x02, 0xE4, 0, 0}},        // right Ctrl
        {16, KeyChoice::Function(28), {0x03, 0x02, 0, 0}},    // wheel up turned into wheel down
        {17, KeyChoice::Function(33), {0x04, 0xEA, 0, 0}},    // wheel down: volume down
    };
    for (const Case& c : cases) {
        AssignAndSend(c.slot, c.choice);
        EXPECT_EQ(KeyBytes(c.slot), c.bytes) << "slot " << c.slot << " code " << c.choice.code;
        // The page's run: the key's own frame(s), then the profile's new identifier.
        const auto keyFrames = FramesOf(c.slot >= 16 ? 0x05 : 0x04);
        ASSERT_FALSE(keyFrames.empty());
        EXPECT_EQ(keyFrames.front()[6], (c.slot >= 16 ? c.slot - 16 : c.slot) * 4);
        EXPECT_EQ(mouse->State().profileIds[1], 0x2345);
    }
    EXPECT_EQ(mouse->BadFrames(), 0);
}

TEST_F(KeyOnWire, AUserMacroIsWrittenIntoTheKeysOwnSlot) {
    AssignAndSend(5, KeyChoice::Macro(macros.group(group)->guid, macros.macro(group, macro)->guid));
    EXPECT_EQ(KeyBytes(5)[0], 0x0A);
    EXPECT_EQ(KeyBytes(5)[2], 5);
    EXPECT_FALSE(FramesOf(0x08).empty());
    for (const Report& r : FramesOf(0x08)) EXPECT_EQ(r[5], 5);
}
