#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "macro/MacroStore.h"
#include "support/JsonUnits.h"
#include "support/TempDir.h"

using namespace zor;
using nlohmann::json;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::Units;
using zor::test::WriteFile;

namespace {

json MacData(int num = 0) {
    json d = MacroStore::MacDataToJson(MacroDeviceBlock{});
    d["num"] = num;
    return d;
}

json Macro(std::u16string_view name, const std::string& guid, int num = 0) {
    return {{"MacroName", Units(name)},
            {"MacroGuid", guid},
            {"ForbidView", false},
            {"BindKeys", 0},
            {"macData", MacData(num)}};
}

json Group(std::u16string_view name, const std::string& guid, std::vector<json> macros) {
    return {{"GrpName", Units(name)}, {"GrpGuid", guid}, {"ForbidView", false}, {"MacroInfo", macros}};
}

struct StoreFixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path live = dir / "macroConfig.json";
    MacroStore store;

    void WriteDoc(const json& doc) { WriteFile(live, doc.dump(4)); }
    json ReadDoc() { return json::parse(ReadFile(live)); }
    void LoadOk() {
        MacroResult r = store.Load(live);
        ASSERT_TRUE(r.ok) << r.message;
    }
    void LoadTwoMacros() {
        WriteDoc({{"MacroGrpInfo", {Group(u"G", "G1", {Macro(u"A", "M1"), Macro(u"B", "M2")})}}});
        LoadOk();
    }
};

}  // namespace

// ---- loading -----------------------------------------------------------------------------------

TEST_F(StoreFixture, MissingGroupListAndEmptyGroupsLoad) {
    WriteDoc({{"other", 1}});
    LoadOk();
    EXPECT_TRUE(store.groups().empty());

    WriteDoc({{"MacroGrpInfo", {Group(u"Empty", "G1", {})}}});
    LoadOk();
    ASSERT_EQ(store.groups().size(), 1u);
    EXPECT_TRUE(store.groups()[0].macros.empty());
}

TEST_F(StoreFixture, MissingFileIsEmptyAndFirstChangeCreatesIt) {
    LoadOk();
    EXPECT_TRUE(store.groups().empty());
    ASSERT_TRUE(store.NewGroup(0, u"New Group").ok);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"].size(), 1u);
}

TEST_F(StoreFixture, MissingForbidViewLoadsVisibleAndIsWrittenBackAsZero) {
    json m = Macro(u"A", "M1");
    m.erase("ForbidView");
    json g = Group(u"G", "G1", {m});
    g.erase("ForbidView");
    WriteDoc({{"MacroGrpInfo", {g}}});
    LoadOk();
    EXPECT_FALSE(store.groups()[0].forbidView);
    EXPECT_FALSE(store.groups()[0].macros[0].forbidView);
    ASSERT_TRUE(store.Save().ok);
    json saved = ReadDoc()["MacroGrpInfo"][0];
    EXPECT_TRUE(saved["ForbidView"].is_number_integer());
    EXPECT_EQ(saved["ForbidView"], 0);
    EXPECT_EQ(saved["MacroInfo"][0]["ForbidView"], 0);
    EXPECT_TRUE(saved["MacroInfo"][0]["ForbidView"].is_number_integer());
}

TEST_F(StoreFixture, NamesInAnyScriptSurviveLoadAndSaveUnitForUnit) {
    // Chinese, Cyrillic, an emoji as a surrogate pair, and a lone surrogate that UTF-8 cannot carry.
    const std::u16string group = u"\u5B8F\u7EC4 \u0413\u0440\U0001F600";
    std::u16string macro = u"\u8FDE\u70B9";
    macro.push_back(static_cast<char16_t>(0xD800));
    WriteDoc({{"MacroGrpInfo", {Group(group, "G1", {Macro(macro, "M1")})}}});
    const json before = ReadDoc();
    LoadOk();
    EXPECT_EQ(store.groups()[0].name, group);
    EXPECT_EQ(store.groups()[0].macros[0].name, macro);
    ASSERT_TRUE(store.SaveAll().ok);
    const json after = ReadDoc();
    EXPECT_EQ(after["MacroGrpInfo"][0]["GrpName"], before["MacroGrpInfo"][0]["GrpName"]);
    EXPECT_EQ(after["MacroGrpInfo"][0]["MacroInfo"][0]["MacroName"],
              before["MacroGrpInfo"][0]["MacroInfo"][0]["MacroName"]);
    MacroStore again;
    ASSERT_TRUE(again.Load(live).ok);
    EXPECT_EQ(again.groups()[0].macros[0].name, macro);
}

TEST_F(StoreFixture, FloatsAreTruncatedAndNumbersOutsideTheirFieldAreRefusedAsDamage) {
    json m = Macro(u"A", "M1", 2);
    m["macData"]["macDly"][0] = 12.9;
    m["macData"]["macDly"][1] = -0.7;  // toward zero: 0
    m["macData"]["macRpt"] = 65535;
    m["macData"]["rptType"] = true;
    m["macData"]["extVal"][0] = {-32768, 32767};
    WriteDoc({{"MacroGrpInfo", {Group(u"G", "G1", {m})}}});
    LoadOk();
    const MacroDeviceBlock& b = store.groups()[0].macros[0].device;
    EXPECT_EQ(b.macDly[0], 12u);
    EXPECT_EQ(b.macDly[1], 0u);
    EXPECT_EQ(b.macRpt, 65535);
    EXPECT_EQ(b.rptType, 1);
    EXPECT_EQ(b.extVal[0][0], -32768);
    EXPECT_EQ(b.extVal[0][1], 32767);

    // Each of these used to be wrapped into the field (2^63 to 0, -1 to 65535, a code unit
    // 65536 to NUL) and the next save wrote the altered value back over the file.
    const json big = json::parse("9223372036854775808");
    std::vector<std::function<void(json&)>> damage = {
        [&](json& x) { x["macData"]["num"] = big; },
        [](json& x) { x["macData"]["macRpt"] = -1; },
        [](json& x) { x["macData"]["macDly"][1] = -3.7; },
        [](json& x) { x["macData"]["macVal"][0] = 300; },
        [](json& x) {
            x["macData"]["extVal"][0] = {-5, 70000};
        },
        [](json& x) {
            x["MacroName"] = {65, 65536};
        },
        [](json& x) { x["BindKeys"] = -1; },
        [&](json& x) { x["macData"]["numXY"] = 1e300; },
    };
    for (std::size_t i = 0; i < damage.size(); ++i) {
        SCOPED_TRACE(i);
        json bad = Macro(u"B", "M2", 2);
        damage[i](bad);
        WriteDoc({{"MacroGrpInfo", {Group(u"Good", "G1", {Macro(u"A", "M1")}), Group(u"Bad", "G2", {bad})}}});
        const std::string bytes = ReadFile(live);
        const MacroResult r = store.Load(live);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find("out of range"), std::string::npos) << r.message;
        ASSERT_EQ(store.groups().size(), 1u);
        // The next change keeps the damaged file in the numbered .bad series first.
        ASSERT_TRUE(store.RenameGroup(0, u"Renamed").ok);
        EXPECT_EQ(ReadFile(dir / "macroConfig.json.bad"), bytes);

        // An exchange file carrying the same group is refused and the library is left as it was.
        WriteFile(dir / "bad.Macro.Config", Group(u"Bad", "G2", {bad}).dump());
        WriteDoc({{"MacroGrpInfo", {Group(u"Good", "G1", {Macro(u"A", "M1")})}}});
        LoadOk();
        const std::string before = ReadFile(live);
        const MacroImportOutcome out = store.ImportGroups({dir / "bad.Macro.Config"});
        EXPECT_EQ(out.imported, 0);
        ASSERT_EQ(out.refused.size(), 1u);
        EXPECT_EQ(ReadFile(live), before);
        EXPECT_EQ(store.groups().size(), 1u);
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "macroConfig.json.bad.4"));
}

TEST_F(StoreFixture, TypeErrorKeepsGroupsReadBeforeItAndReportsLibraryText) {
    json bad = Macro(u"B", "M2");
    bad["macData"]["num"] = "three";
    json noKey = Macro(u"C", "M3");
    noKey["macData"].erase("numXY");
    WriteDoc({{"MacroGrpInfo",
               {Group(u"Good", "G1", {Macro(u"A", "M1")}), Group(u"Bad", "G2", {bad}),
                Group(u"After", "G3", {})}}});
    MacroResult r = store.Load(live);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("type must be number, but is string"), std::string::npos);
    ASSERT_EQ(store.groups().size(), 1u);
    EXPECT_EQ(store.groups()[0].name, u"Good");

    WriteDoc({{"MacroGrpInfo", {Group(u"G", "G1", {noKey})}}});
    r = store.Load(live);
    EXPECT_NE(r.message.find("type must be number, but is null"), std::string::npos);

    json objectList = Group(u"G", "G1", {});
    objectList["MacroInfo"] = {{"a", Macro(u"A", "M1")}};
    WriteDoc({{"MacroGrpInfo", {objectList}}});
    EXPECT_FALSE(store.Load(live).ok);
    for (const char* column : {"macSta", "extVal"}) {
        json m = Macro(u"A", "M1");
        m["macData"][column] = 0;
        WriteDoc({{"MacroGrpInfo", {Group(u"G", "G1", {m})}}});
        EXPECT_NE(store.Load(live).message.find("type must be array, but is number"), std::string::npos);
    }
    WriteDoc({{"MacroGrpInfo", "none"}});
    EXPECT_FALSE(store.Load(live).ok);
    EXPECT_TRUE(store.groups().empty());
}

TEST_F(StoreFixture, BrokenFileKeepsPreviousStateAndIsKeptAsideBeforeSave) {
    LoadTwoMacros();
    const std::string broken = "{\"MacroGrpInfo\": [ {\"GrpName\": [71], ";
    WriteFile(live, broken);
    MacroResult r = store.Load(live);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    ASSERT_EQ(store.groups().size(), 1u);
    EXPECT_EQ(store.groups()[0].macros.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir / "macroConfig.json.bad"));
    ASSERT_TRUE(store.RenameGroup(0, u"Renamed").ok);
    EXPECT_EQ(ReadFile(dir / "macroConfig.json.bad"), broken);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["GrpName"], Units(u"Renamed"));
}

TEST_F(StoreFixture, FileThatCannotBeReadIsNeverReplaced) {
    LoadTwoMacros();
    // Sparse: larger than the reader accepts without taking disk space.
    std::filesystem::resize_file(live, kMaxLibraryBytes + 1);
    EXPECT_FALSE(store.Load(live).ok);
    EXPECT_EQ(store.groups().size(), 1u);
    EXPECT_FALSE(store.RenameGroup(0, u"X").ok);
    EXPECT_FALSE(store.Reset(dir / "none.json").ok);
    EXPECT_EQ(std::filesystem::file_size(live), kMaxLibraryBytes + 1);
}

TEST_F(StoreFixture, OversizedEventCountIsClampedToTheColumns) {
    json m = Macro(u"A", "M1", 60000);
    m["macData"]["macSta"].push_back(1);  // a 501st entry is ignored
    WriteDoc({{"MacroGrpInfo", {Group(u"G", "G1", {m})}}});
    LoadOk();
    EXPECT_EQ(store.groups()[0].macros[0].device.num, kMacroMaxEvents);
}

TEST_F(StoreFixture, BindingsAreReadAndWrittenBySaveAll) {
    json m = Macro(u"A", "M1");
    m["BindKeys"] = 2;
    m["BindKeysInfo"] = {{{"BindDeviceName", Units(u"MouseA")},
                          {"BindKeysData", {{{"KeyName", "Left"}, {"Config", "MouseProfile1"}}}}}};
    WriteDoc({{"MacroGrpInfo", {Group(u"G", "G1", {m})}}});
    LoadOk();
    MacroRecord& rec = store.groups()[0].macros[0];
    EXPECT_EQ(rec.bindCount, 2u);
    ASSERT_EQ(rec.bindings[u"MouseA"].size(), 1u);
    EXPECT_EQ(rec.bindings[u"MouseA"][0].config, "MouseProfile1");
    rec.bindings[u"\u9F20\u6807"].push_back({"Right", "MouseProfile2"});
    rec.bindCount = 3;
    ASSERT_TRUE(store.SaveAll().ok);
    MacroStore again;
    ASSERT_TRUE(again.Load(live).ok);
    const MacroRecord& back = again.groups()[0].macros[0];
    EXPECT_EQ(back.bindCount, 3u);
    EXPECT_EQ(back.bindings.size(), 2u);
    EXPECT_EQ(back.bindings.at(u"\u9F20\u6807")[0].keyName, "Right");
}

// ---- edits -------------------------------------------------------------------------------------

TEST_F(StoreFixture, LoopModeRulesKeepTheHighBits) {
    EXPECT_EQ(ApplyLoopMode(0x0D, kOptCycleTimes), 0x04);
    EXPECT_EQ(ApplyLoopMode(0xFD, kOptCycleUntilRelease), 0xF9);
    EXPECT_EQ(ApplyLoopMode(0xFD, kOptCycleUntilClick), 0xFA);
    EXPECT_EQ(ApplyLoopMode(0x05, "anything else"), 0x04);

    LoadTwoMacros();
    store.groups()[0].macros[0].device.rptType = 0x0D;
    ASSERT_TRUE(store.SetLoopMode(0, 0, kOptCycleTimes, 5).ok);
    EXPECT_EQ(store.groups()[0].macros[0].device.rptType, 0x04);
    EXPECT_EQ(store.groups()[0].macros[0].device.macRpt, 5);
    json d = ReadDoc()["MacroGrpInfo"][0]["MacroInfo"][0]["macData"];
    EXPECT_EQ(d["rptType"], 4);
    EXPECT_EQ(d["macRpt"], 5);
    EXPECT_EQ(d["macSta"].size(), 500u);
    EXPECT_EQ(d.size(), 14u);
}

TEST_F(StoreFixture, InsertShiftsEventsAndCountsMovesAndDpi) {
    LoadTwoMacros();
    store.SetDpiEventCode(3);
    ASSERT_TRUE(store.InsertEvent(0, 0, 0, {kMacStatePress, 4, 0, 0, 10}).ok);
    ASSERT_TRUE(store.InsertEvent(0, 0, 1, {kMacStateRelease, 4, 0, 0, 20}).ok);
    ASSERT_TRUE(store.InsertEvent(0, 0, 1, {4, kMacCodeMove, 7, 9, 30}).ok);
    ASSERT_TRUE(store.InsertEvent(0, 0, 0, {kMacStatePress, kMacCodeDpi, 0, 0, 40}).ok);
    const MacroDeviceBlock& b = store.groups()[0].macros[0].device;
    EXPECT_EQ(b.num, 4);
    EXPECT_EQ(b.numXY, 1);
    EXPECT_EQ(b.numCpi, 1);
    EXPECT_EQ(b.rptType, 1);
    const std::vector<int> codes{b.macVal[0], b.macVal[1], b.macVal[2], b.macVal[3]};
    EXPECT_EQ(codes, (std::vector<int>{kMacCodeDpi, 4, kMacCodeMove, 4}));
    EXPECT_EQ(b.extVal[0][0], 3);
    EXPECT_EQ(b.extVal[2][1], 9);
    EXPECT_EQ(b.macDly[3], 20u);
    EXPECT_FALSE(store.InsertEvent(0, 0, 6, {}).ok);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["MacroInfo"][0]["macData"]["num"], 4);
}

TEST_F(StoreFixture, InsertIntoFullMacroIsRefusedWithLimitText) {
    json m = Macro(u"A", "M1", 500);
    WriteDoc({{"MacroGrpInfo", {Group(u"G", "G1", {m})}}});
    LoadOk();
    MacroResult r = store.InsertEvent(0, 0, 0, {kMacStatePress, 4, 0, 0, 10});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, " More than limit!");
    EXPECT_EQ(store.groups()[0].macros[0].device.num, 500);
}

TEST_F(StoreFixture, DeleteEventShiftsDownAndDropsTheMatchingCounterAndBlock) {
    LoadTwoMacros();
    ASSERT_TRUE(store.InsertEvent(0, 0, 0, {kMacStatePress, 4, 0, 0, 10}).ok);
    ASSERT_TRUE(store.InsertEvent(0, 0, 1, {4, kMacCodeMove, 1, 1, 10}).ok);
    ASSERT_TRUE(store.InsertEvent(0, 0, 2, {13, kMacCodeLighting, 0, 0, 10}).ok);
    ASSERT_TRUE(store.InsertEvent(0, 0, 3, {13, kMacCodeLighting, 0, 0, 10}).ok);
    store.working().device.ledData[0].fill(0xA0);
    store.working().device.ledData[1].fill(0xB1);
    ASSERT_TRUE(store.DeleteEvent(0, 0, 2).ok);  // the first lighting event
    const MacroDeviceBlock& b = store.groups()[0].macros[0].device;
    EXPECT_EQ(b.num, 3);
    EXPECT_EQ(b.numLed, 1);
    EXPECT_EQ(b.ledData[0][0], 0xB1);
    EXPECT_EQ(b.ledData[1][0], 0);
    ASSERT_TRUE(store.DeleteEvent(0, 0, 1).ok);
    EXPECT_EQ(b.numXY, 0);
    EXPECT_EQ(b.macVal[1], kMacCodeLighting);
    EXPECT_EQ(b.macVal[2], 0);  // the vacated slot is cleared
    EXPECT_FALSE(store.DeleteEvent(0, 0, 2).ok);
    // A counter that is already 0 (a hand-edited file) stays 0.
    store.working().device.numLed = 0;
    ASSERT_TRUE(store.DeleteEvent(0, 0, 1).ok);
    EXPECT_EQ(b.numLed, 0);
}

TEST_F(StoreFixture, DeletingTheLastMacroLeavesAnEmptyArrayAndEmptyGroupsRefuse) {
    LoadTwoMacros();
    ASSERT_TRUE(store.DeleteMacro(0, 0).ok);
    EXPECT_EQ(store.groups()[0].macros[0].name, u"B");
    ASSERT_TRUE(store.DeleteMacro(0, 0).ok);
    json g = ReadDoc()["MacroGrpInfo"][0];
    ASSERT_TRUE(g["MacroInfo"].is_array());
    EXPECT_TRUE(g["MacroInfo"].empty());
    MacroResult r = store.DeleteMacro(0, 0);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, " DeleteMacro  !");
}

TEST_F(StoreFixture, NewGroupHoldsOnlyItsThreeMembersUntilItsFirstMacro) {
    LoadOk();
    int g = -1;
    ASSERT_TRUE(store.NewGroup(5, u"New Group", &g).ok);
    EXPECT_EQ(g, 0);
    json object = ReadDoc()["MacroGrpInfo"][0];
    EXPECT_EQ(object.size(), 3u);
    EXPECT_EQ(object["GrpGuid"].get<std::string>().size(), 36u);
    int m = -1;
    ASSERT_TRUE(store.NewMacro(0, 0, u"New Macro", &m).ok);
    ASSERT_TRUE(store.NewMacro(0, 1, u"New Macro", &m).ok);
    EXPECT_EQ(m, 1);
    object = ReadDoc()["MacroGrpInfo"][0];
    ASSERT_EQ(object["MacroInfo"].size(), 2u);
    EXPECT_EQ(object["MacroInfo"][1]["MacroName"], Units(u"New Macro1"));
    EXPECT_EQ(object["MacroInfo"][1]["macData"]["macRpt"], 1);
    EXPECT_NE(store.groups()[0].macros[0].guid, store.groups()[0].macros[1].guid);
}

TEST(UniqueName, TakesTheFirstFreeNumberAndIgnoresOtherSuffixes) {
    EXPECT_EQ(UniqueName(u"New", {}), u"New");
    EXPECT_EQ(UniqueName(u"New", {u"New1", u"Newer"}), u"New");
    EXPECT_EQ(UniqueName(u"New", {u"New", u"New1"}), u"New2");
    EXPECT_EQ(UniqueName(u"New", {u"New", u"New2", u"New3"}), u"New1");
    EXPECT_EQ(UniqueName(u"New", {u"New", u"New1", u"New 2", u"New2x", u"New02"}), u"New3");
    EXPECT_EQ(UniqueName(u"\u65B0", {u"\u65B0"}), u"\u65B01");
}

TEST_F(StoreFixture, UnknownMembersOutsideRebuiltObjectsSurviveAnEdit) {
    json m = Macro(u"A", "M1");
    m["custom"] = "kept";
    m["macData"]["custom"] = "dropped";
    json g = Group(u"G", "G1", {m});
    g["note"] = 7;
    WriteDoc({{"MacroGrpInfo", {g}}, {"top", true}});
    LoadOk();
    ASSERT_TRUE(store.RenameMacro(0, 0, u"Z").ok);
    json doc = ReadDoc();
    EXPECT_EQ(doc["top"], true);
    EXPECT_EQ(doc["MacroGrpInfo"][0]["note"], 7);
    EXPECT_EQ(doc["MacroGrpInfo"][0]["MacroInfo"][0]["custom"], "kept");
    EXPECT_FALSE(doc["MacroGrpInfo"][0]["MacroInfo"][0]["macData"].contains("custom"));
}

TEST_F(StoreFixture, FailedWriteReportsAndKeepsTheOldFile) {
    LoadTwoMacros();
    const std::string before = ReadFile(live);
    AtomicFile::setWriteHookForTest([](std::size_t, std::size_t) { return std::size_t{0}; });
    MacroResult r = store.RenameGroup(0, u"X");
    AtomicFile::setWriteHookForTest(nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(ReadFile(live), before);
}

// ---- write-behind ------------------------------------------------------------------------------

TEST_F(StoreFixture, WriteBehindDefersTheWriteUntilCommitAndFlushWritesTheNewestState) {
    LoadTwoMacros();
    int changed = 0;
    store.SetWriteBehind([&] { ++changed; }, nullptr);
    ASSERT_TRUE(store.RenameMacro(0, 0, u"First").ok);
    ASSERT_TRUE(store.InsertEvent(0, 0, 0, MacroEvent{kMacStatePress, 4, 0, 0, 20}).ok);
    EXPECT_EQ(changed, 2);
    EXPECT_TRUE(store.Unwritten());
    // Nothing reached the disk yet: the edits did not wait for it.
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["MacroInfo"][0]["MacroName"], Units(u"A"));
    ASSERT_TRUE(store.Commit().ok);
    EXPECT_FALSE(store.Unwritten());
    // A change made after the copy was handed over stays out of that write, and is written next.
    ASSERT_TRUE(store.RenameGroup(0, u"Later").ok);
    ASSERT_TRUE(store.Flush().ok);
    const json doc = ReadDoc();
    EXPECT_EQ(doc["MacroGrpInfo"][0]["MacroInfo"][0]["MacroName"], Units(u"First"));
    EXPECT_EQ(doc["MacroGrpInfo"][0]["MacroInfo"][0]["macData"]["num"], 1);
    EXPECT_EQ(doc["MacroGrpInfo"][0]["GrpName"], Units(u"Later"));
    // Back to saving at once.
    store.EndWriteBehind();
    ASSERT_TRUE(store.RenameGroup(0, u"Now").ok);
    EXPECT_FALSE(store.Unwritten());
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["GrpName"], Units(u"Now"));
}

TEST_F(StoreFixture, WriteBehindNeverLosesAChange) {
    LoadTwoMacros();
    {
        // The store ends with a change not yet handed over: it is written before the store goes.
        MacroStore other;
        ASSERT_TRUE(other.Load(live).ok);
        other.SetWriteBehind([] {}, nullptr);
        ASSERT_TRUE(other.RenameMacro(0, 1, u"Kept").ok);
    }
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["MacroInfo"][1]["MacroName"], Units(u"Kept"));

    // Reload, import and reset see every change made before them.
    LoadOk();
    store.SetWriteBehind([] {}, nullptr);
    ASSERT_TRUE(store.RenameMacro(0, 0, u"Pending").ok);
    ASSERT_TRUE(store.Reload().ok);
    EXPECT_EQ(store.macro(0, 0)->name, u"Pending");

    ASSERT_TRUE(store.RenameMacro(0, 0, u"BeforeImport").ok);
    const std::filesystem::path exchange = dir / "g.Macro.Config";
    WriteFile(exchange, Group(u"Imported", "X", {Macro(u"I", "M9")}).dump());
    const MacroImportOutcome imported = store.ImportGroups({exchange});
    EXPECT_TRUE(imported.saved);
    ASSERT_EQ(store.groups().size(), 2u);
    EXPECT_EQ(store.macro(0, 0)->name, u"BeforeImport");
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"].size(), 2u);

    ASSERT_TRUE(store.RenameMacro(0, 0, u"BeforeReset").ok);
    const std::filesystem::path factory = dir / "factory.json";
    WriteFile(factory, json{{"MacroGrpInfo", json::array()}}.dump());
    ASSERT_TRUE(store.Reset(factory).ok);
    EXPECT_TRUE(store.groups().empty());
    const json bak = json::parse(ReadFile(live.string() + ".bak"));
    EXPECT_EQ(bak["MacroGrpInfo"][0]["MacroInfo"][0]["MacroName"], Units(u"BeforeReset"));
}

TEST_F(StoreFixture, WriteBehindReportsAFailedWriteAndKeepsTheOldFile) {
    LoadTwoMacros();
    const std::string before = ReadFile(live);
    std::atomic<int> failures{0};
    store.SetWriteBehind([] {},
                         [&](const std::string& error) {
                             EXPECT_FALSE(error.empty());
                             ++failures;
                         });
    AtomicFile::setWriteHookForTest([](std::size_t, std::size_t) { return std::size_t{0}; });
    ASSERT_TRUE(store.RenameMacro(0, 0, u"Lost?").ok);
    const MacroResult flushed = store.Flush();
    AtomicFile::setWriteHookForTest(nullptr);
    EXPECT_FALSE(flushed.ok);
    EXPECT_FALSE(flushed.message.empty());
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(ReadFile(live), before);
    // The change is still in the store; the next save writes it.
    ASSERT_TRUE(store.RenameMacro(0, 1, u"Second").ok);
    ASSERT_TRUE(store.Flush().ok);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["MacroInfo"][0]["MacroName"], Units(u"Lost?"));
}

TEST_F(StoreFixture, AnEditIsNeverSavedOverALibraryAnotherProgramChangedSinceItWasRead) {
    LoadTwoMacros();
    const json outside{{"MacroGrpInfo", {Group(u"Theirs", "G9", {Macro(u"T", "M9")})}}};
    // Saving at once: refused, the other program's file stays; after a reload edits save again.
    WriteDoc(outside);
    const MacroResult stale = store.RenameGroup(0, u"Mine");
    EXPECT_FALSE(stale.ok);
    EXPECT_TRUE(stale.changedOnDisk);
    EXPECT_EQ(stale.message, live.string() + " changed on disk since it was read");
    EXPECT_EQ(ReadDoc(), outside);
    ASSERT_TRUE(store.Reload().ok);
    ASSERT_TRUE(store.RenameGroup(0, u"Mine").ok);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["GrpName"], Units(u"Mine"));
    // Its own writes never count as a change.
    ASSERT_TRUE(store.RenameGroup(0, u"Again").ok);

    // Write-behind: the writer's own writes follow one another; a change by another program
    // between them is reported and kept, and the reload takes it.
    std::atomic<int> failures{0};
    store.SetWriteBehind([] {}, [&](const std::string&) { ++failures; });
    ASSERT_TRUE(store.RenameGroup(0, u"Behind").ok);
    ASSERT_TRUE(store.Flush().ok);
    EXPECT_EQ(store.Stamp(), StampOf(live));
    WriteDoc(outside);
    ASSERT_TRUE(store.RenameGroup(0, u"Late").ok);
    const MacroResult flushed = store.Flush();
    EXPECT_FALSE(flushed.ok);
    EXPECT_TRUE(flushed.changedOnDisk);
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(ReadDoc(), outside);
    ASSERT_TRUE(store.Reload().ok);
    EXPECT_EQ(store.group(0)->name, u"Theirs");
    ASSERT_TRUE(store.RenameGroup(0, u"After").ok);
    ASSERT_TRUE(store.Flush().ok);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["GrpName"], Units(u"After"));
}
