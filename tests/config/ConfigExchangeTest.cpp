#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "config/ConfigExchange.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "support/TempDir.h"

using namespace zor;
using nlohmann::json;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

namespace {

json CompleteDocument(int ver) {
    MouseConfigDocument d;
    d.keyTables.assign(kKeyTables, {});
    for (auto& t : d.keyTables)
        for (int s = 0; s < kKeySlots; ++s) t[SlotName(s)].code = s;
    for (auto& a : d.adv) a.gears.assign(kDpiGearCount, {1, 800, 0x112233});
    for (auto& modes : d.led)
        for (auto& m : modes) m.colours.assign(kLedColourSlots, {1, 0xFF});
    d.ver = ver;
    return d.ToJson();
}

struct ExchangeFixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path model = dir / "MouseA";
    std::filesystem::path live = MouseConfigPath(model);
    std::filesystem::path exported = dir / "mine.Mouse.Config";
    ExchangeFixture() { WriteFile(live, CompleteDocument(1).dump(4)); }
};

}  // namespace

TEST_F(ExchangeFixture, ExportAddsTheModelNameAsCodeUnitsAndImportTakesItBack) {
    ConfigExchangeResult r = ExportConfig(exported, model, u"Zor MouseA");
    ASSERT_EQ(r.result, 1);
    json file = json::parse(ReadFile(exported));
    EXPECT_EQ(file["MouseName"], json({90, 111, 114, 32, 77, 111, 117, 115, 101, 65}));
    EXPECT_EQ(file["mouseconfig"], CompleteDocument(1)["mouseconfig"]);

    WriteFile(live, CompleteDocument(2).dump(4));
    r = ImportConfig(exported, model, u"ZOR mousea");  // letter case does not matter
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.outcome, ExchangeOutcome::Done);
    EXPECT_EQ(ReadFile(live), ReadFile(exported));
    MouseConfigDocument doc;
    ASSERT_TRUE(doc.Load(model).ok);  // MouseName is ignored by the loader
    EXPECT_EQ(doc.ver, 1);
}

TEST_F(ExchangeFixture, RefusedImportsLeaveTheConfigurationUntouched) {
    ASSERT_EQ(ExportConfig(exported, model, u"Zor MouseA").result, 1);
    WriteFile(live, CompleteDocument(2).dump(4));
    const std::string before = ReadFile(live);
    json file = json::parse(ReadFile(exported));

    struct Case {
        std::string name;
        std::string bytes;
        ExchangeOutcome outcome;
    };
    json noName = file;
    noName.erase("MouseName");
    json textName = file;
    textName["MouseName"][2] = "r";
    json incomplete = file;
    incomplete["mouseconfig"].erase("mouseled");
    std::vector<Case> cases{
        {"no MouseName", noName.dump(), ExchangeOutcome::ImportErr},
        {"other model", file.dump(), ExchangeOutcome::ImportErr},
        {"text element", textName.dump(), ExchangeOutcome::BadModelName},
        {"root array", "[1,2]", ExchangeOutcome::ImportErr},
        {"not json", "{\"MouseName\": [", ExchangeOutcome::NotJson},
        {"incomplete", incomplete.dump(), ExchangeOutcome::BadDocument},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "in.Mouse.Config", c.bytes);
        ConfigExchangeResult r =
            ImportConfig(dir / "in.Mouse.Config", model, c.name == "other model" ? u"MouseB" : u"Zor MouseA");
        EXPECT_EQ(r.result, 0) << c.name;
        EXPECT_EQ(r.outcome, c.outcome) << c.name;
        EXPECT_EQ(ReadFile(live), before) << c.name;
    }
    EXPECT_EQ(ImportConfig(dir / "missing.Mouse.Config", model, u"Zor MouseA").outcome,
              ExchangeOutcome::CannotOpen);
    EXPECT_EQ(ImportConfig({}, model, u"Zor MouseA").outcome, ExchangeOutcome::CannotOpen);
}

TEST_F(ExchangeFixture, ExportWithoutAReadableConfigurationWritesNothing) {
    std::filesystem::remove(live);
    EXPECT_EQ(ExportConfig(exported, model, u"A").outcome, ExchangeOutcome::CannotOpen);
    WriteFile(live, "{ broken");
    EXPECT_EQ(ExportConfig(exported, model, u"A").outcome, ExchangeOutcome::NotJson);
    EXPECT_FALSE(std::filesystem::exists(exported));
    EXPECT_TRUE(SameModelName(u"abc", u"ABC"));
    EXPECT_FALSE(SameModelName(u"abc", u"abcd"));
}

TEST(PredefinedMacroLists, FileOrderMapsToTheirFunctionCodes) {
    TempDir dir;
    auto macro = [](int rpt) {
        MacroDeviceBlock b;
        b.macRpt = static_cast<std::uint16_t>(rpt);
        return json{{"MacroName", {65}},
                    {"MacroGuid", "M" + std::to_string(rpt)},
                    {"macData", MacroStore::MacDataToJson(b)}};
    };
    WriteFile(dir / "short.json",
              json{{"MacroGrpInfo",
                    {{{"GrpName", {83}}, {"GrpGuid", "S"}, {"MacroInfo", {macro(100), macro(103)}}}}}}
                  .dump());
    WriteFile(dir / "other.json",
              json{{"MacroGrpInfo",
                    {{{"GrpName", {79}}, {"GrpGuid", "O1"}, {"MacroInfo", {macro(101)}}},
                     {{"GrpName", {79}}, {"GrpGuid", "O2"}, {"MacroInfo", {macro(102)}}}}}}
                  .dump());
    PredefinedMacroLists lists;
    ASSERT_TRUE(lists.Load(dir / "short.json", dir / "other.json").ok);
    EXPECT_EQ(lists.PredefinedMacro(0)->macRpt, 100);
    EXPECT_EQ(lists.PredefinedMacro(3)->macRpt, 103);
    EXPECT_EQ(lists.PredefinedMacro(1)->macRpt, 101);
    EXPECT_EQ(lists.PredefinedMacro(2)->macRpt, 102);
    EXPECT_FALSE(lists.PredefinedMacro(4).has_value());
    EXPECT_FALSE(lists.PredefinedMacro(11).has_value());
    EXPECT_FALSE(lists.PredefinedMacro(-1).has_value());
}
