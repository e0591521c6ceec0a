#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

json BoundMacro(const std::string& guid) {
    return {{"MacroName", Units(u"Copy")},
            {"MacroGuid", guid},
            {"ForbidView", false},
            {"BindKeys", 1},
            {"BindKeysInfo",
             {{{"BindDeviceName", Units(u"MouseA")},
               {"BindKeysData", {{{"KeyName", "Left"}, {"Config", "MouseProfile1"}}}}}}},
            {"macData", MacroStore::MacDataToJson(MacroDeviceBlock{})}};
}

struct ExchangeFixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path live = dir / "MacroData" / "macroConfig.json";
    std::filesystem::path factory = dir / "MacroDataReset" / "macroConfigReset.json";
    MacroStore store;

    ExchangeFixture() {
        WriteFile(live, json{{"MacroGrpInfo",
                              {{{"GrpName", Units(u"\u529E\u516C")},
                                {"GrpGuid", "G1"},
                                {"ForbidView", false},
                                {"MacroInfo", {BoundMacro("M1"), BoundMacro("M2")}}}}}}
                            .dump(4));
        EXPECT_TRUE(store.Load(live).ok);
    }
    json ReadDoc() { return json::parse(ReadFile(live)); }
};

}  // namespace

TEST_F(ExchangeFixture, ExportDropsBindingsFromTheFileOnly) {
    const auto file = dir / "office.Macro.Config";
    ASSERT_TRUE(store.ExportGroup(0, file).ok);
    json group = json::parse(ReadFile(file));
    EXPECT_EQ(group["GrpName"], Units(u"\u529E\u516C"));
    for (const json& m : group["MacroInfo"]) {
        EXPECT_EQ(m["BindKeys"], 0);
        EXPECT_FALSE(m.contains("BindKeysInfo"));
    }
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][0]["MacroInfo"][0]["BindKeys"], 1);
    EXPECT_EQ(store.groups()[0].macros[0].bindings.size(), 1u);
    EXPECT_FALSE(store.ExportGroup(1, dir / "none.Macro.Config").ok);
    EXPECT_FALSE(store.ExportGroup(0, dir / "no" / "such" / "dir" / "x.Macro.Config").ok);
}

TEST_F(ExchangeFixture, ImportingTheSameFileTwiceGivesTwoGroupsInOneSave) {
    const auto file = dir / "office.Macro.Config";
    ASSERT_TRUE(store.ExportGroup(0, file).ok);
    json noForbid = json::parse(ReadFile(file));
    noForbid.erase("ForbidView");
    WriteFile(dir / "third.Macro.Config", noForbid.dump());
    MacroImportOutcome r = store.ImportGroups({file, file, dir / "third.Macro.Config"});
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(r.imported, 3);
    EXPECT_TRUE(r.refused.empty());
    ASSERT_EQ(store.groups().size(), 4u);
    EXPECT_EQ(store.groups()[1].name, u"\u529E\u516C1");
    EXPECT_EQ(store.groups()[2].name, u"\u529E\u516C2");
    EXPECT_EQ(store.groups()[3].name, u"\u529E\u516C3");
    EXPECT_NE(store.groups()[1].guid, store.groups()[2].guid);
    EXPECT_NE(store.groups()[1].guid, "G1");
    EXPECT_EQ(store.groups()[1].macros[0].guid, store.groups()[2].macros[0].guid);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"][3]["ForbidView"], 0);
}

TEST_F(ExchangeFixture, FilesThatAreNotGroupsAreSkippedAndBrokenJsonStopsWithoutSaving) {
    const auto file = dir / "office.Macro.Config";
    ASSERT_TRUE(store.ExportGroup(0, file).ok);
    json badMacro = json::parse(ReadFile(file));
    badMacro["MacroInfo"][0]["macData"]["num"] = "x";
    WriteFile(dir / "array.Macro.Config", "[1, 2]");
    WriteFile(dir / "noname.Macro.Config", R"({"GrpGuid": "x"})");
    WriteFile(dir / "badmacro.Macro.Config", badMacro.dump());
    MacroImportOutcome r = store.ImportGroups(
        {dir / "array.Macro.Config", file, dir / "noname.Macro.Config", dir / "badmacro.Macro.Config"});
    EXPECT_EQ(r.imported, 1);
    EXPECT_EQ(r.refused.size(), 3u);
    EXPECT_EQ(store.groups().size(), 2u);

    const std::string before = ReadFile(live);
    WriteFile(dir / "broken.Macro.Config", "{\"GrpName\": [");
    r = store.ImportGroups({file, dir / "broken.Macro.Config", file});
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(r.stoppedAt, dir / "broken.Macro.Config");
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(ReadFile(live), before);
    EXPECT_EQ(store.groups().size(), 2u);
    // Nothing of the stopped import lingers to be written by a later edit.
    ASSERT_TRUE(store.RenameGroup(0, u"X").ok);
    EXPECT_EQ(ReadDoc()["MacroGrpInfo"].size(), 2u);
}

TEST_F(ExchangeFixture, ResetCopiesTheFactoryFileAndKeepsTheOldOne) {
    const std::string old = ReadFile(live);
    WriteFile(factory, json{{"MacroGrpInfo",
                             {{{"GrpName", Units(u"F")}, {"GrpGuid", "F1"}, {"MacroInfo", json::array()}}}}}
                           .dump());
    ASSERT_TRUE(store.Reset(factory).ok);
    EXPECT_EQ(ReadFile(dir / "MacroData" / "macroConfig.json.bak"), old);
    ASSERT_EQ(store.groups().size(), 1u);
    EXPECT_EQ(store.groups()[0].name, u"F");
}

TEST_F(ExchangeFixture, ResetWithoutAFactoryFileLeavesNoGroups) {
    ASSERT_TRUE(store.Reset(dir / "missing.json").ok);
    EXPECT_TRUE(store.groups().empty());
    EXPECT_FALSE(ReadDoc().contains("MacroGrpInfo"));
    json bak = json::parse(ReadFile(dir / "MacroData" / "macroConfig.json.bak"));
    EXPECT_EQ(bak["MacroGrpInfo"].size(), 1u);
}

TEST_F(ExchangeFixture, ResetRefusesADamagedFactoryFile) {
    const std::string old = ReadFile(live);
    WriteFile(factory, "{ damaged");
    EXPECT_FALSE(store.Reset(factory).ok);
    EXPECT_EQ(ReadFile(live), old);
    EXPECT_EQ(store.groups().size(), 1u);
}

TEST_F(ExchangeFixture, ImportKeepsOnlyTheMembersTheLibraryKnows) {
    const auto file = dir / "office.Macro.Config";
    ASSERT_TRUE(store.ExportGroup(0, file).ok);
    json group = json::parse(ReadFile(file));
    group["Padding"] = json::array({json::array({json::array({"x"})})});
    group["MacroInfo"][0]["Extra"] = std::string(1000, 'x');
    group["MacroInfo"][0]["macData"]["Unknown"] = 1;
    WriteFile(dir / "extra.Macro.Config", group.dump());
    MacroImportOutcome r = store.ImportGroups({dir / "extra.Macro.Config"});
    ASSERT_TRUE(r.saved) << r.error;
    const json imported = ReadDoc()["MacroGrpInfo"][1];
    EXPECT_FALSE(imported.contains("Padding"));
    EXPECT_FALSE(imported["MacroInfo"][0].contains("Extra"));
    EXPECT_FALSE(imported["MacroInfo"][0]["macData"].contains("Unknown"));
    EXPECT_EQ(imported["MacroInfo"][0]["MacroGuid"], "M1");
    EXPECT_EQ(store.groups()[1].macros.size(), 2u);
}

TEST_F(ExchangeFixture, DeeplyNestedImportIsRefusedAndTheLibraryStaysSmall) {
    const std::string before = ReadFile(live);
    for (int levels : {10000, 100000}) {
        std::string deep = "{\"GrpName\":[65],\"GrpGuid\":\"g\",\"MacroInfo\":[],\"Junk\":";
        deep += std::string(static_cast<std::size_t>(levels), '[') +
                std::string(static_cast<std::size_t>(levels), ']');
        deep += "}";
        WriteFile(dir / "deep.Macro.Config", deep);
        MacroImportOutcome r = store.ImportGroups({dir / "deep.Macro.Config"});
        EXPECT_FALSE(r.saved) << levels;
        EXPECT_EQ(r.stoppedAt, dir / "deep.Macro.Config");
        EXPECT_NE(r.error.find("nested deeper"), std::string::npos) << r.error;
        EXPECT_EQ(ReadFile(live), before);
    }
    // A live file nested too deeply does not load; the next save keeps it aside as damaged.
    WriteFile(live, "{\"MacroGrpInfo\":[],\"x\":" + std::string(1000, '[') + std::string(1000, ']') + "}");
    EXPECT_FALSE(store.Load(live).ok);
}

TEST_F(ExchangeFixture, ResetRestoresTheFactoryLibraryOverALiveFileTooLargeToRead) {
    WriteFile(factory, json{{"MacroGrpInfo",
                             {{{"GrpName", Units(u"F")}, {"GrpGuid", "F1"}, {"MacroInfo", json::array()}}}}}
                           .dump());
    // Beyond the reader's limit (a sparse file: no disk space is used).
    std::filesystem::resize_file(live, kMaxLibraryBytes + 1);
    EXPECT_FALSE(store.Load(live).ok);
    MacroResult r = store.Reset(factory);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(store.groups().size(), 1u);
    EXPECT_EQ(store.groups()[0].name, u"F");
    EXPECT_EQ(ReadFile(live), ReadFile(factory));
    EXPECT_EQ(std::filesystem::file_size(dir / "MacroData" / "macroConfig.json.bad"), kMaxLibraryBytes + 1);

    // A damaged live file is kept as ".bad" too; the previous damaged copy moves on.
    WriteFile(live, "{ damaged");
    EXPECT_FALSE(store.Load(live).ok);
    ASSERT_TRUE(store.Reset(factory).ok);
    EXPECT_EQ(ReadFile(dir / "MacroData" / "macroConfig.json.bad"), "{ damaged");
    EXPECT_EQ(std::filesystem::file_size(dir / "MacroData" / "macroConfig.json.bad.1"), kMaxLibraryBytes + 1);
}

TEST_F(ExchangeFixture, ResetWithAFactoryFileThatCannotBeUsedChangesNothing) {
    const std::string old = ReadFile(live);
    std::filesystem::create_directories(factory);  // a folder where the factory file belongs
    MacroResult r = store.Reset(factory);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("cannot read"), std::string::npos) << r.message;
    std::filesystem::remove(factory);
    // A factory file whose groups cannot be read.
    WriteFile(factory, R"({"MacroGrpInfo": [{"GrpName": [70], "GrpGuid": 5}]})");
    EXPECT_FALSE(store.Reset(factory).ok);
    // A link to nowhere.
    std::filesystem::remove(factory);
    std::filesystem::create_symlink(dir / "nowhere.json", factory);
    EXPECT_FALSE(store.Reset(factory).ok);
    EXPECT_EQ(ReadFile(live), old);
    EXPECT_EQ(store.groups().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "MacroData" / "macroConfig.json.bak"));
}

TEST_F(ExchangeFixture, EachDamagedLibraryIsKeptNotJustTheLatest) {
    WriteFile(live, "{ first damage");
    EXPECT_FALSE(store.Load(live).ok);
    ASSERT_TRUE(store.NewGroup(0, u"A").ok);
    WriteFile(live, "{ second damage");
    EXPECT_FALSE(store.Load(live).ok);
    ASSERT_TRUE(store.NewGroup(0, u"B").ok);
    EXPECT_EQ(ReadFile(dir / "MacroData" / "macroConfig.json.bad"), "{ second damage");
    EXPECT_EQ(ReadFile(dir / "MacroData" / "macroConfig.json.bad.1"), "{ first damage");
}
