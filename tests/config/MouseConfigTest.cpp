#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "common/Debug.h"
#include "common/IniFile.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "support/TempDir.h"

using namespace zor;
using nlohmann::json;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

namespace {

const char* kFeature =
    "[Config]\nUI_DPI_GEAR_NUM=5\nGEAR_MAX_VALUE=12000\n"
    "[KEYMAP]\nKeyNum=3\nK1_DEF=1\nK2_DEF=3\nK3_DEF=2\nK17_DEF=27\nK18_DEF=28\n"
    "[LEDMAP]\nLED0_MAP=1\nLED1_MAP=2\n"
    "[RANDOM]\nProfile0=0\nProfile1=0\nProfile2=0\nProfile3=0\n";

// A complete document with distinct values, as the program writes it.
json SampleDocument() {
    MouseConfigDocument d;
    d.keyTables.assign(kKeyTables, {});
    for (int t = 0; t < kKeyTables; ++t)
        for (int s = 0; s < kKeySlots; ++s) d.keyTables[t][SlotName(s)].code = t * 100 + s;
    for (int p = 0; p < kConfigProfiles; ++p) {
        d.adv[p].gears.assign(kDpiGearCount, {});
        for (int k = 0; k < kDpiGearCount; ++k) d.adv[p].gears[k] = {1, 400 * (k + 1), 0xFF0000u + k};
        d.adv[p].rateusbvalue = p;
        d.adv[p].ratedonglevalue = p + 1;
        d.adv[p].rateblevalue = p + 2;
        for (int m = 0; m < kLedModes; ++m) {
            d.led[p][m].colours.assign(kLedColourSlots, {1, 0x00FF00u});
            d.led[p][m].brightnessvalue = m;
        }
    }
    d.ver = 7;
    d.currentProfile = 1;
    return d.ToJson();
}

json KeyCatalogJson() {
    return {{"MouseFunctionText",
             {{"1", {"", "Left Click", "", "Left"}},
              {"2", {"", "Middle Click", "", "Middle"}},
              {"3", {"", "Right Click", "", "Right"}},
              {"27", {"", "Wheel Up", "", "Up"}},
              {"bad", "not an array"},
              {"wheel", {"", "not a code", "", "not a code"}},
              {"0", {"", "Disabled", "", "Off"}}}}};
}

struct ConfigFixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path model = dir / "MouseA";
    std::filesystem::path file = MouseConfigPath(model);
    MouseConfigDocument doc;
    KeyFunctionCatalog catalog;
    MacVkAndText keys{KeyboardLayout::FromNames({"", "", "us", "", ""})};

    ConfigFixture() {
        WriteFile(model / "Config" / "DeviceFeature.ini", kFeature);
        catalog.Load(KeyCatalogJson());
    }
    void WriteDoc(const json& j) { WriteFile(file, j.dump(4)); }
    void LoadOk() {
        ConfigResult r = doc.Load(model);
        ASSERT_TRUE(r.ok) << r.error;
    }
};

}  // namespace

// ---- load and save -----------------------------------------------------------------------------

TEST_F(ConfigFixture, SaveAfterLoadReproducesTheValuesAndWritesDpiZeroAsOne) {
    json sample = SampleDocument();
    sample["mouseconfig"]["mouseadv"][2]["ctrl_MouseAdv_Dpi7"] = {0, 0, 4294967295u};
    WriteDoc(sample);
    LoadOk();
    EXPECT_EQ(doc.adv[2].gears[7].colour, 0xFFFFFFFFu);
    ASSERT_TRUE(doc.Save(file).ok);
    json saved = json::parse(ReadFile(file));
    sample["mouseconfig"]["mouseadv"][2]["ctrl_MouseAdv_Dpi7"] = {0, 1, 4294967295u};
    EXPECT_EQ(saved, sample);
    EXPECT_NE(ReadFile(file).find("4294967295"), std::string::npos);  // colours stay unsigned
}

TEST_F(ConfigFixture, UnknownSlotsAndSurplusEntriesAreIgnored) {
    json sample = SampleDocument();
    sample["mouseconfig"]["mousekey"]["btn_MouseKey_Click25"] = {1, 1, 1, 1};
    sample["mouseconfig"]["mousekey"]["other"] = "not even an array";
    sample["mouseconfig"]["mousekey"]["btn_MouseKey_Click3"] = {11, 12, 13, 14, 15, 16};
    sample["mouseconfig"]["mousekeyMacro"]["btn_MouseKey_Click25"] = json::array();
    WriteDoc(sample);
    LoadOk();
    ASSERT_EQ(doc.keyTables.size(), 4u);
    EXPECT_EQ(doc.keyTables[0].size(), 20u);
    EXPECT_EQ(doc.keyTables[0].count("btn_MouseKey_Click25"), 0u);
    EXPECT_EQ(doc.keyTables[3]["btn_MouseKey_Click3"].code, 14);
    EXPECT_EQ(doc.keyTables[0]["btn_MouseKey_Click3"].text, "InitNull");
}

TEST_F(ConfigFixture, OptionalRatesKeepTheirPreviousValue) {
    WriteDoc(SampleDocument());
    LoadOk();
    json sample = SampleDocument();
    sample["mouseconfig"]["mouseadv"][1].erase("rateblevalue");
    sample["mouseconfig"]["mouseadv"][1].erase("ratedonglevalue");
    sample["mouseconfig"]["mouseadv"][1]["rateusbvalue"] = 3;
    doc.adv[1].rateblevalue = 9;
    WriteDoc(sample);
    LoadOk();
    EXPECT_EQ(doc.adv[1].rateblevalue, 9);
    EXPECT_EQ(doc.adv[1].ratedonglevalue, 2);
    EXPECT_EQ(doc.adv[1].rateusbvalue, 3);
}

TEST_F(ConfigFixture, CurrentProfileOutsideTheThreeLoadsAsZero) {
    for (int bad : {3, -1}) {
        json sample = SampleDocument();
        sample["mouseconfig"]["mousemain"]["curporfile"] = bad;
        WriteDoc(sample);
        LoadOk();
        EXPECT_EQ(doc.currentProfile, 0) << bad;
    }
}

TEST_F(ConfigFixture, BrokenFileKeepsTheDocumentAndIsKeptAsideBeforeTheNextSave) {
    WriteDoc(SampleDocument());
    LoadOk();
    const MouseConfigDocument before = doc;

    json missing = SampleDocument();
    missing["mouseconfig"]["mouseadv"][0].erase("ctrl_MouseAdv_Dpi4");
    json wrongType = SampleDocument();
    wrongType["mouseconfig"]["mouseled"][2][13]["curselmode"] = "x";
    // Numbers an int cannot hold are refused, not converted (a float out of range is undefined
    // behaviour, a large integer would wrap into another DPI).
    json hugeFloat = SampleDocument();
    hugeFloat["mouseconfig"]["mouseadv"][0]["ctrl_MouseAdv_Dpi4"][1] = 2.7e59;
    json wrapping = SampleDocument();
    wrapping["mouseconfig"]["mouseadv"][1]["ctrl_MouseAdv_Dpi2"][1] = 4294967696LL;
    for (const std::string& text : {std::string("{ not json"), missing.dump(), hugeFloat.dump(),
                                    wrapping.dump(), wrongType.dump()}) {
        WriteFile(file, text);
        ConfigResult r = doc.Load(model);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(doc.ToJson(), before.ToJson());
    }
    ASSERT_TRUE(doc.Save(file).ok);
    EXPECT_EQ(ReadFile(model / "Config" / "MouseConfig.json.bad"), wrongType.dump());
    EXPECT_EQ(json::parse(ReadFile(file)), before.ToJson());
}

TEST_F(ConfigFixture, FileThatCannotBeReadIsNeverReplaced) {
    WriteDoc(SampleDocument());
    LoadOk();
    std::filesystem::resize_file(file, 65u * 1024u * 1024u);  // sparse, beyond the reader's limit
    ConfigResult r = doc.Load(model);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(doc.ver, 7);
    EXPECT_FALSE(doc.Save(file).ok);
    EXPECT_EQ(std::filesystem::file_size(file), 65u * 1024u * 1024u);
}

TEST_F(ConfigFixture, MissingFileLeavesTheDocumentUnchanged) {
    doc.ver = 42;
    ConfigResult r = doc.Load(model);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(doc.ver, 42);
    EXPECT_TRUE(doc.keyTables.empty());
}

// ---- texts -------------------------------------------------------------------------------------

TEST_F(ConfigFixture, KeyTextsComeFromTheCatalogAndMacrosFromTheLibrary) {
    MacroStore macros;
    WriteFile(dir / "macro.json", json{{"MacroGrpInfo",
                                        {{{"GrpName", {71}},
                                          {"GrpGuid", "G"},
                                          {"MacroInfo",
                                           {{{"MacroName", {0x8FDE, 0x70B9}},
                                             {"MacroGuid", "M"},
                                             {"macData", MacroStore::MacDataToJson(MacroDeviceBlock{})}}}}}}}}
                                      .dump());
    ASSERT_TRUE(macros.Load(dir / "macro.json").ok);
    DeviceFeatureRecord feature;
    LoadDeviceFeature(feature, model, 0);
    doc.SetDeviceFacts(feature);
    json sample = SampleDocument();
    auto& k = sample["mouseconfig"]["mousekey"];
    k["btn_MouseKey_Click0"][0] = 3;
    k["btn_MouseKey_Click1"][0] = 99;        // not in the catalog
    k["btn_MouseKey_Click2"][0] = 120;       // macro that exists
    k["btn_MouseKey_Click16"][0] = 121;      // macro that is gone: default 27
    k["btn_MouseKey_Click5"][0] = 256 + 65;  // the A key
    sample["mouseconfig"]["mousekeyMacro"]["btn_MouseKey_Click2"][0] = {{"grpGuid", "G"}, {"macGuid", "M"}};
    sample["mouseconfig"]["mousekeyMacro"]["btn_MouseKey_Click16"][0] = {{"grpGuid", "G"}, {"macGuid", "X"}};
    WriteDoc(sample);
    LoadOk();
    doc.FillKeyTexts(catalog);
    doc.RefreshMacroLabels(macros, catalog, keys);
    auto& t = doc.keyTables[0];
    EXPECT_EQ(t["btn_MouseKey_Click0"].text, "Right");
    EXPECT_EQ(t["btn_MouseKey_Click1"].text, "Unknown Key");
    EXPECT_EQ(t["btn_MouseKey_Click2"].text, "M:\xE8\xBF\x9E\xE7\x82\xB9");
    EXPECT_EQ(t["btn_MouseKey_Click16"].code, 27);
    EXPECT_EQ(t["btn_MouseKey_Click16"].text, "Up");
    EXPECT_EQ(t["btn_MouseKey_Click16"].macGuid, "X");  // the ids stay
    EXPECT_EQ(t["btn_MouseKey_Click5"].text, "A");
    EXPECT_EQ(t["btn_MouseKey_Click1"].defaultCode, 3);
    EXPECT_EQ(t["btn_MouseKey_Click17"].defaultCode, 28);
    EXPECT_EQ(t["btn_MouseKey_Click15"].defaultCode, 0);

    doc.ReplaceMacrosForBle(catalog, keys);
    EXPECT_EQ(t["btn_MouseKey_Click2"].code, 2);
    EXPECT_EQ(t["btn_MouseKey_Click2"].text, "Middle");
    EXPECT_EQ(t["btn_MouseKey_Click2"].grpGuid, "G");
    EXPECT_EQ(t["btn_MouseKey_Click5"].code, 256 + 65);
}

// ---- reload and profile identifiers --------------------------------------------------------------

TEST_F(ConfigFixture, ReloadDrawsFourIdentifiersOnceAndDisablesSurplusGears) {
    WriteDoc(SampleDocument());
    DeviceFeatureRecord feature;
    int chip = 5;
    std::vector<std::string> lines;
    SetDebugSinkForTest([&](const std::string& line) { lines.push_back(line); });
    ReloadContext context{model, false, [] { return 7; }, &feature, &chip, &catalog, nullptr, &keys};
    ReloadOutcome first = Reload(doc, context);
    SetDebugSinkForTest(nullptr);
    EXPECT_TRUE(first.load.ok);
    EXPECT_TRUE(first.chipChanged);
    EXPECT_EQ(chip, 7);
    EXPECT_TRUE(first.idsCreated);
    IniFile ini(model / "Config" / "DeviceFeature.ini");
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(ini.GetInt("RANDOM", "Profile" + std::to_string(i)), 0);
        EXPECT_EQ(ini.GetInt("RANDOM", "Profile" + std::to_string(i)), doc.ProfileId(i));
    }
    int randomLines = 0;
    for (const auto& l : lines) randomLines += l.rfind("random:", 0) == 0;
    EXPECT_EQ(randomLines, 4);
    // The model shows five gears: gears 5..7 of the current profile (1) are switched off.
    EXPECT_EQ(doc.adv[1].gears[4].enabled, 1);
    EXPECT_EQ(doc.adv[1].gears[5].enabled, 0);
    EXPECT_EQ(doc.adv[0].gears[5].enabled, 1);

    doc.gearCount = 0;  // a description without a gear count switches nothing off
    doc.DisableSurplusGears(0);
    EXPECT_EQ(doc.adv[0].gears[7].enabled, 1);

    const std::string afterFirst = ReadFile(model / "Config" / "DeviceFeature.ini");
    ReloadOutcome second = Reload(doc, context);
    EXPECT_FALSE(second.idsCreated);
    EXPECT_FALSE(second.chipChanged);
    EXPECT_EQ(ReadFile(model / "Config" / "DeviceFeature.ini"), afterFirst);
}

TEST_F(ConfigFixture, SettingsSourceHandsOverWhatTheDocumentHolds) {
    DeviceFeatureRecord feature;
    LoadDeviceFeature(feature, model, 0);
    doc.SetDeviceFacts(feature);
    json sample = SampleDocument();
    sample["mouseconfig"]["mouseled"][1][0]["curselmode"] = 1;
    sample["mouseconfig"]["mouseled"][1][1]["brightnessvalue"] = 80;
    sample["mouseconfig"]["mouseled"][1][1]["ctrl_MouseLed_Col2"] = {0, 0x123456};
    sample["mouseconfig"]["mousekeyMacro"]["btn_MouseKey_Click4"][1] = {{"grpGuid", "G"}, {"macGuid", "M"}};
    sample["mouseconfig"]["mouseadv"][1]["cruseldpi"] = 3;
    WriteDoc(sample);
    LoadOk();
    doc.SetRateLink(RateLink::Dongle);
    ProfileSettings p = doc.Profile(1);
    EXPECT_EQ(p.keys[4].function, 104);
    EXPECT_EQ(p.keys[4].macroGuid, "M");
    EXPECT_EQ(p.gears[2].value, 1200);
    EXPECT_TRUE(p.gears[2].enabled);
    EXPECT_EQ(p.currentGear, 3);
    EXPECT_EQ(p.reportRateIndex, 2);
    EXPECT_EQ(p.lighting.modeNumber, 2);  // LED1_MAP
    EXPECT_EQ(p.lighting.params[0], 80);
    EXPECT_EQ(p.lighting.params[3], 0x7F & ~0x04);
    EXPECT_EQ(p.lighting.colours[2], 0x123456u);
    EXPECT_EQ(doc.Profile(3).keys[1].function, 301);
    EXPECT_EQ(doc.Profile(9).keys[1].function, 0);
}

TEST_F(ConfigFixture, ChipResetLabelsUseTheDpiTableTexts) {
    WriteFile(model / "Config" / "DeviceFeature.ini",
              std::string(kFeature) +
                  "[Chip0]\nDPI_GEAR_NUM=2\nDPI1=400\nDPI1_VALUE=4\nDPI2=1600\nDPI2_VALUE=16\n");
    DeviceFeatureRecord feature;
    LoadDeviceFeature(feature, model, 0);
    doc.SetDeviceFacts(feature);
    WriteDoc(SampleDocument());
    LoadOk();
    ChipResetLabels labels = doc.ChipResetLabelsOf();
    EXPECT_EQ(labels[0][0], "400");
    EXPECT_EQ(labels[2][7], "3200");
    ASSERT_TRUE(doc.SaveChipResetLabels(model));
    EXPECT_EQ(
        IniFile(model / "Config" / "DeviceFeature.ini").GetString("ChipReset0", "profile1").substr(0, 8),
        "400,800,");
}

// ---- catalog -----------------------------------------------------------------------------------

TEST(KeyFunctionCatalog, CategoriesFollowTheRuleOrder) {
    using C = KeyCategory;
    const std::vector<std::pair<int, C>> cases{
        {1, C::Mouse},      {5, C::Mouse},      {0, C::Mouse},      {101, C::Mouse}, {102, C::Mouse},
        {7, C::Mouse},      {27, C::Mouse},     {28, C::Mouse},     {119, C::Mouse}, {-4, C::Mouse},
        {100, C::Shortcut}, {103, C::Shortcut}, {110, C::Shortcut}, {111, C::Mouse}, {120, C::Macro},
        {121, C::Macro},    {321, C::Macro},    {6, C::Dpi},        {11, C::Dpi},    {12, C::Dpi},
        {16, C::Lighting},  {21, C::Lighting},  {22, C::Mode},      {26, C::Mode},   {50, C::Mode},
        {51, C::Mode},      {29, C::Media},     {39, C::Media},     {40, C::Mouse},
    };
    for (const auto& [code, category] : cases)
        EXPECT_EQ(KeyFunctionCatalog::Category(code), category) << code;
    EXPECT_EQ(CategoryList(C::Media), "list_MouseKey_Media");
}

TEST(KeyFunctionCatalog, ItemNamesCarryTheirCodeByTheListsRule) {
    using C = KeyCategory;
    EXPECT_EQ(KeyFunctionCatalog::CodeOfListItem("ItemValue5_Forward", C::Mouse), 5);
    EXPECT_EQ(KeyFunctionCatalog::CodeOfListItem("ItemValue105_Copy", C::Shortcut), 105);
    EXPECT_EQ(KeyFunctionCatalog::CodeOfListItem("ItemValue05x", C::Media), 5);
    EXPECT_EQ(KeyFunctionCatalog::CodeOfListItem("ItemValue105_Copy", C::Media), 10);
    EXPECT_EQ(KeyFunctionCatalog::CodeOfListItem("ItemValue10_ReportRate", C::Mouse), 10);
    EXPECT_EQ(KeyFunctionCatalog::CodeOfListItem("ItemValue", C::Mouse), 0);
    EXPECT_EQ(KeyFunctionCatalog::CodeOfListItem("ItemValue7", C::Dpi), 7);
}

TEST(KeyFunctionCatalog, LabelsAndUnknownCodes) {
    KeyFunctionCatalog catalog;
    catalog.Load(KeyCatalogJson());
    EXPECT_EQ(catalog.size(), 5u);
    EXPECT_EQ(catalog.ButtonLabel(0), "Off");  // a name that is not a number is not code 0
    EXPECT_EQ(catalog.ListLabel(1), "Left Click");
    EXPECT_EQ(catalog.ButtonLabel(1), "Left");
    EXPECT_EQ(catalog.ButtonLabel(8), "Unknown Key");
    EXPECT_EQ(catalog.ListLabel(8), "Unknown Key");
    MacVkAndText keys{nullptr};
    EXPECT_EQ(KeyFunctionCatalog::KeyName(256 + 0x70, keys), "F1");
    EXPECT_EQ(KeyFunctionCatalog::KeyName(256 + 0xA3, keys), "R-Ctrl");
    EXPECT_EQ(KeyFunctionCatalog::KeyName(256 + 0xFF, keys), "Unknown Key");

    TempDir dir;
    EXPECT_FALSE(catalog.LoadFile(dir / "none.json"));
    EXPECT_EQ(catalog.size(), 0u);
    WriteFile(dir / "bad.json", "{");
    std::string error;
    EXPECT_FALSE(catalog.LoadFile(dir / "bad.json", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(ConfigFixture, ResetCopiesTheFactoryFileOnlyWhenItIsComplete) {
    WriteDoc(SampleDocument());
    const std::string live = ReadFile(file);
    EXPECT_FALSE(ResetMouseConfig(model).ok);  // no factory file
    json factory = SampleDocument();
    factory["mouseconfig"]["mousemain"]["ver"] = 99;
    json damaged = factory;
    damaged["mouseconfig"].erase("mousekey");
    WriteFile(ResetMouseConfigPath(model), damaged.dump());
    EXPECT_FALSE(ResetMouseConfig(model).ok);
    EXPECT_EQ(ReadFile(file), live);
    WriteFile(ResetMouseConfigPath(model), factory.dump());
    ASSERT_TRUE(ResetMouseConfig(model).ok);
    LoadOk();
    EXPECT_EQ(doc.ver, 99);
}

TEST_F(ConfigFixture, SavingToTheModelWritesTheChipResetLabelsToo) {
    WriteDoc(SampleDocument());
    LoadOk();
    doc.adv[0].gears[0].value = 750;
    ASSERT_TRUE(doc.SaveToModel(model).ok);
    EXPECT_EQ(json::parse(ReadFile(file))["mouseconfig"]["mouseadv"][0]["ctrl_MouseAdv_Dpi0"][1], 750);
    EXPECT_EQ(
        IniFile(model / "Config" / "DeviceFeature.ini").GetString("ChipReset0", "profile0").substr(0, 8),
        "750,800,");
}
