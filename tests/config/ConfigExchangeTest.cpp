#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <climits>
#include <functional>

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
    // The configuration is taken over; the model name stays in the exchange file.
    const json expected = {{"mouseconfig", file["mouseconfig"]}};
    EXPECT_EQ(json::parse(ReadFile(live)), expected);
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

namespace {

// The shipped model's description, for the limits an import is checked against.
struct RangeFixture : ExchangeFixture {
    json file;
    std::string before;
    RangeFixture() {
        WriteFile(DeviceFeaturePath(model),
                  "[KEYMAP]\nKeyNum=8\n[Chip4]\nGEAR_MAX_VALUE=16000\n[ChipReset4]\nprofile0=1\n"
                  "[chip6]\nGEAR_MAX_VALUE=26000\n");
        EXPECT_EQ(ExportConfig(exported, model, u"Zor MouseA").result, 1);
        file = json::parse(ReadFile(exported));
        WriteFile(live, CompleteDocument(2).dump(4));
        before = ReadFile(live);
    }
    ConfigExchangeResult Import(const json& doc) {
        WriteFile(dir / "in.Mouse.Config", doc.dump());
        return ImportConfig(dir / "in.Mouse.Config", model, u"Zor MouseA");
    }
};

}  // namespace

TEST_F(RangeFixture, LimitsComeFromEverySensorOfTheModel) {
    const ConfigLimits limits = LimitsOfModel(model, 7);
    EXPECT_EQ(limits.dpiMax, 26000);
    EXPECT_EQ(limits.rateCount, 7);
    EXPECT_EQ(LimitsOfModel(dir / "nothing").dpiMax, 0);
}

TEST_F(RangeFixture, ValuesTheModelDoesNotOfferAreRefused) {
    struct Case {
        const char* name;
        std::function<void(json&)> change;
    };
    const Case cases[] = {
        {"DPI above the maximum", [](json& c) { c["mouseadv"][0]["ctrl_MouseAdv_Dpi3"][1] = 999999; }},
        {"DPI above the largest sensor", [](json& c) { c["mouseadv"][2]["ctrl_MouseAdv_Dpi0"][1] = 26001; }},
        {"negative DPI", [](json& c) { c["mouseadv"][1]["ctrl_MouseAdv_Dpi7"][1] = -400; }},
        {"current gear 77", [](json& c) { c["mouseadv"][0]["cruseldpi"] = 77; }},
        {"current gear -1", [](json& c) { c["mouseadv"][0]["cruseldpi"] = -1; }},
        {"rate index 99", [](json& c) { c["mouseadv"][1]["rateusbvalue"] = 99; }},
        {"receiver rate 4 of 4", [](json& c) { c["mouseadv"][1]["ratedonglevalue"] = 4; }},
        {"negative BLE rate", [](json& c) { c["mouseadv"][2]["rateblevalue"] = -1; }},
        {"fire -5", [](json& c) { c["mouseadv"][0]["firevalue"] = -5; }},
        {"key code 65535", [](json& c) { c["mousekey"]["btn_MouseKey_Click3"][0] = 65535; }},
        {"key code INT_MIN", [](json& c) { c["mousekey"]["btn_MouseKey_Click5"][2] = INT32_MIN; }},
        {"every key INT_MIN",
         [](json& c) {
             for (auto& [name, codes] : c["mousekey"].items())
                 for (auto& code : codes) code = INT32_MIN;
         }},
        {"no left click in table 1",
         [](json& c) {
             for (auto& [name, codes] : c["mousekey"].items())
                 if (codes[1] == 1) codes[1] = 2;
         }},
        {"lighting mode 14", [](json& c) { c["mouseled"][0][0]["curselmode"] = 14; }},
        {"brightness 300", [](json& c) { c["mouseled"][2][5]["brightnessvalue"] = 300; }},
    };
    for (const Case& c : cases) {
        json doc = file;
        c.change(doc["mouseconfig"]);
        const ConfigExchangeResult r = Import(doc);
        EXPECT_EQ(r.result, 0) << c.name;
        EXPECT_EQ(r.outcome, ExchangeOutcome::ImportErr) << c.name;
        EXPECT_FALSE(r.error.empty()) << c.name;
        EXPECT_EQ(ReadFile(live), before) << c.name;
    }
    // The same file within range is taken.
    json doc = file;
    doc["mouseconfig"]["mouseadv"][0]["ctrl_MouseAdv_Dpi3"][1] = 26000;
    doc["mouseconfig"]["mouseadv"][0]["cruseldpi"] = 7;
    doc["mouseconfig"]["mouseadv"][0]["rateusbvalue"] = 3;
    EXPECT_EQ(Import(doc).result, 1);
}

TEST_F(RangeFixture, ImportWritesOnlyTheConfigurationAndRefusesDeepNesting) {
    json doc = file;
    doc["Padding"] = std::string(10000, 'p');
    doc["mouseconfig"]["extra"] = {{"a", 1}};
    doc["mouseconfig"]["mouseadv"][0]["note"] = "x";
    ASSERT_EQ(Import(doc).result, 1);
    const json written = json::parse(ReadFile(live));
    EXPECT_FALSE(written.contains("Padding"));
    EXPECT_FALSE(written.contains("MouseName"));
    EXPECT_FALSE(written["mouseconfig"].contains("extra"));
    EXPECT_FALSE(written["mouseconfig"]["mouseadv"][0].contains("note"));
    MouseConfigDocument loaded;
    EXPECT_TRUE(loaded.Load(model).ok);

    before = ReadFile(live);
    std::string deep = file.dump();
    deep.pop_back();
    deep += ",\"x\":" + std::string(200000, '[') + std::string(200000, ']') + "}";
    WriteFile(dir / "in.Mouse.Config", deep);
    const ConfigExchangeResult r = ImportConfig(dir / "in.Mouse.Config", model, u"Zor MouseA");
    EXPECT_EQ(r.outcome, ExchangeOutcome::NotJson);
    EXPECT_EQ(ReadFile(live), before);
    // Export still works on the configuration that was kept.
    EXPECT_EQ(ExportConfig(dir / "again.Mouse.Config", model, u"Zor MouseA").result, 1);
}
