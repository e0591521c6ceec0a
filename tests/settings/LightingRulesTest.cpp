// The lighting page's rules: the model's rows and the modes they offer, every edit of a mode,
// what the document then hands to the command set, and the preview's motion.
#include <gtest/gtest.h>

#include <set>

#include "common/IniFile.h"
#include "config/DeviceFeature.h"
#include "settings/LightingPreview.h"
#include "settings/LightingRules.h"
#include "support/TempDir.h"

namespace zor {
namespace {

using test::SourceDir;

std::filesystem::path ShippedModel() {
    return SourceDir() / "res" / "MouseVarn" / "MouseA";
}

std::string Row(const std::string& item, const std::string& preview, int visible, int entries, int flag = 1) {
    std::string row = "[\"" + item + "\", \"" + preview + "\", \"" + std::to_string(visible) + "\"";
    for (int i = 3; i < entries; ++i) row += ", \"" + std::to_string(flag) + "\"";
    return row + "]";
}

class LightingDocument : public ::testing::Test {
protected:
    void SetUp() override {
        feature.ledModes = {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5}};
        feature.ledModeMask = 0x1B;
        document.SetDeviceFacts(feature);
        layout = ParseLightingLayout(R"({"modes": {"0": {"row": )" + Row("LedModeStatic", "static", 1, 35) +
                                     R"(, "single": true}, "1": {"row": )" +
                                     Row("LedModeBreathing", "breathing", 1, 35) + R"(}, "2": {"row": )" +
                                     Row("LedModeX", "wave", 1, 35) + R"(}, "3": {"row": )" +
                                     Row("LedModeShort", "wave", 1, 30) + R"(}, "4": {"row": )" +
                                     Row("LedModeHidden", "wave", 0, 35) + "}}}");
        ASSERT_EQ(layout.error, "");
        offered = OfferedLightingModes(feature.ledModes, layout);
        for (int m = 0; m < kLedModes; ++m) {
            auto& record = LightingModeRecord(document, 1, m);
            for (int k = 0; k < kLedColourSlots; ++k)
                record.colours[static_cast<std::size_t>(k)] = {1, 0x100000u * std::uint32_t(k + 1)};
        }
    }

    DeviceFeatureRecord feature;
    MouseConfigDocument document;
    LightingLayout layout;
    OfferedModes offered{};
};

TEST_F(LightingDocument, OnlyMappedModesWithAnApplicableVisibleRowAreOffered) {
    EXPECT_TRUE(offered[0]);
    EXPECT_TRUE(offered[1]);
    EXPECT_FALSE(offered[2]);  // LEDMAP 0
    EXPECT_FALSE(offered[3]);  // 30 entries: the row is not applied
    EXPECT_FALSE(offered[4]);  // its own flag is 0
    EXPECT_FALSE(offered[5]);  // no row
    EXPECT_FALSE(SelectLightingMode(document, 1, 2, offered, layout));
    EXPECT_FALSE(SelectLightingMode(document, 1, 14, offered, layout));
    EXPECT_EQ(CurrentLightingMode(document, 1), 0);
    EXPECT_TRUE(SelectLightingMode(document, 1, 1, offered, layout));
    EXPECT_EQ(document.led[1][0].curselmode, 1);
    EXPECT_EQ(document.Profile(1).lighting.modeNumber, 2);
}

TEST_F(LightingDocument, TheLastEnabledSlotCannotBeUnchecked) {
    auto& mode = LightingModeRecord(document, 1, 1);
    for (int k = 0; k < 6; ++k) EXPECT_FALSE(SetLightColourEnabled(mode, k, false));
    EXPECT_TRUE(SetLightColourEnabled(mode, 6, false));
    EXPECT_EQ(mode.colours[6].enabled, 1);
    EXPECT_TRUE(SetLightColourEnabled(mode, 2, true));
    EXPECT_FALSE(SetLightColourEnabled(mode, 6, false));
    EXPECT_FALSE(SetLightColourEnabled(mode, 7, true));  // no such slot
}

TEST_F(LightingDocument, SlidersAtZeroAreStoredAsOneAndEditsReachTheCommandSet) {
    ASSERT_TRUE(SelectLightingMode(document, 1, 1, offered, layout));
    auto& mode = LightingModeRecord(document, 1, 1);
    SetLightBrightness(mode, 0);
    SetLightSpeed(mode, 0);
    EXPECT_EQ(mode.brightnessvalue, 1);
    EXPECT_EQ(mode.frequencyvalue, 1);
    SetLightBrightness(mode, 250);
    SetLightSpeed(mode, 7);
    SetLightDirection(mode, 3);
    SetLightDirection(mode, 4);  // no fifth option: unchanged
    SetLightColourEnabled(mode, 1, false);
    SetLightColour(mode, 4, 0xFF123456u);
    const LightingSettings sent = document.Profile(1).lighting;
    EXPECT_EQ(sent.modeNumber, 2);
    EXPECT_EQ(sent.headerValue, 0x1B);
    EXPECT_EQ(sent.params, (std::array<std::uint8_t, 4>{100, 7, 3, 0x7D}));
    EXPECT_EQ(sent.colours[4], 0x123456u);  // alpha dropped
}

TEST_F(LightingDocument, TheSingleColourChoiceLeavesExactlyTheChosenSlotEnabled) {
    // Choosing a single-colour mode leaves its slots as stored; it shows the first enabled one.
    ASSERT_TRUE(SelectLightingMode(document, 1, 0, offered, layout));
    auto& mode = LightingModeRecord(document, 1, 0);
    EXPECT_EQ(document.Profile(1).lighting.params[3], 0x7F);
    EXPECT_EQ(SingleLightColour(mode), 0);
    ChooseSingleLightColour(mode, 5);
    EXPECT_EQ(SingleLightColour(mode), 5);
    ChooseSingleLightColour(mode, 2);
    EXPECT_EQ(document.Profile(1).lighting.params[3], 0x04);
    ChooseSingleLightColour(mode, 9);  // no such slot: unchanged
    EXPECT_EQ(SingleLightColour(mode), 2);
}

TEST_F(LightingDocument, AnEditOfAColourOrALevelLeavesEveryEnableAsItWas) {
    // The single-colour mode is the current one with every slot enabled, as a document may hold it.
    ASSERT_TRUE(SelectLightingMode(document, 1, 0, offered, layout));
    const auto enables = [this](int mode) {
        int mask = 0;
        for (int k = 0; k < kLedColourSlots; ++k)
            mask |= document.led[1][static_cast<std::size_t>(mode)].colours[static_cast<std::size_t>(k)].enabled
                        ? 1 << k
                        : 0;
        return mask;
    };
    LightingEdit colour;
    colour.colours = {{3, 0x123456}};
    EXPECT_EQ(ApplyLightingEdit(document, 1, colour, offered, layout), "");
    LightingEdit bright;
    bright.brightness = 40;
    bright.speed = 3;
    bright.direction = 1;
    EXPECT_EQ(ApplyLightingEdit(document, 1, bright, offered, layout), "");
    EXPECT_EQ(enables(0), 0x7F);
    EXPECT_EQ(document.led[1][0].colours[3].colour, 0x123456u);
    EXPECT_EQ(document.led[1][0].brightnessvalue, 40);
    // Naming the mode it already is changes nothing else either.
    LightingEdit again;
    again.mode = 0;
    again.brightness = 41;
    EXPECT_EQ(ApplyLightingEdit(document, 1, again, offered, layout), "");
    EXPECT_EQ(enables(0), 0x7F);
}

TEST_F(LightingDocument, ACombinedEditIsAllOrNothing) {
    const auto before = document.led;
    LightingEdit bad;
    bad.mode = 1;
    bad.brightness = 40;
    for (int k = 0; k < kLedColourSlots; ++k) bad.enables.emplace_back(k, false);
    EXPECT_EQ(ApplyLightingEdit(document, 1, bad, offered, layout),
              "colour slot 6 is the last enabled one and stays enabled");
    EXPECT_EQ(document.led, before);

    LightingEdit notOffered;
    notOffered.mode = 2;
    EXPECT_NE(ApplyLightingEdit(document, 1, notOffered, offered, layout), "");
    LightingEdit tooBright;
    tooBright.brightness = 101;
    EXPECT_NE(ApplyLightingEdit(document, 1, tooBright, offered, layout), "");
    EXPECT_NE(ApplyLightingEdit(document, 3, LightingEdit{}, offered, layout), "");
    EXPECT_EQ(document.led, before);

    LightingEdit good;
    good.mode = 1;
    good.colours = {{0, 0x00FF00}};
    good.enables = {{3, false}};
    good.brightness = 0;
    good.speed = 10;
    good.direction = 2;
    EXPECT_EQ(ApplyLightingEdit(document, 1, good, offered, layout), "");
    const auto& mode = document.led[1][1];
    EXPECT_EQ(document.led[1][0].curselmode, 1);
    EXPECT_EQ(mode.colours[0].colour, 0x00FF00u);
    EXPECT_EQ(mode.colours[3].enabled, 0);
    EXPECT_EQ(mode.brightnessvalue, 1);
    EXPECT_EQ(mode.frequencyvalue, 10);
    EXPECT_EQ(mode.directionsel, 2);

    // In a single-colour mode enabling a slot chooses it; the one colour cannot be disabled.
    LightingEdit single;
    single.mode = 0;
    single.enables = {{4, true}};
    EXPECT_EQ(ApplyLightingEdit(document, 1, single, offered, layout), "");
    EXPECT_EQ(SingleLightColour(document.led[1][0]), 4);
    single.enables = {{4, false}};
    EXPECT_NE(ApplyLightingEdit(document, 1, single, offered, layout), "");
}

TEST(LightingLayoutFile, BadFilesGiveNoRowsAndSayWhy) {
    EXPECT_NE(ParseLightingLayout("{").error, "");
    EXPECT_NE(ParseLightingLayout(R"({"modes": {"14": {"row": []}}})").error, "");
    EXPECT_NE(ParseLightingLayout(R"({"modes": {"1": {"rows": []}}})").error, "");
    EXPECT_NE(ParseLightingLayout(R"({"modes": {}, "extra": 1})").error, "");
    EXPECT_NE(ParseLightingLayout(R"({"modes": {"1": {"row": [1]}}})").error, "");
    EXPECT_NE(ParseLightingLayout(std::string(100, '[') + std::string(100, ']')).error, "");
    // A fault after good rows refuses the whole file: the rows read before it are not offered.
    for (const char* text : {R"({"modes": {"0": {"row": ["a", "static", "1"]}, "1": {"row": [2]}}})",
                             R"({"modes": {"0": {"row": ["a", "static", "1"]}}, "extra": 1})"}) {
        const LightingLayout partial = ParseLightingLayout(text);
        EXPECT_NE(partial.error, "") << text;
        EXPECT_TRUE(partial.rows.empty()) << text;
    }
    test::TempDir dir;
    const LightingLayout missing = LoadLightingLayout(dir.path());
    EXPECT_TRUE(missing.rows.empty());
    EXPECT_NE(missing.error, "");
}

TEST(ShippedLighting, EveryMappedModeHasARowThatAgreesWithTheModelsItemLists) {
    const LightingLayout layout = LoadLightingLayout(ShippedModel());
    ASSERT_EQ(layout.error, "");
    std::map<int, int> keys, ledModes;
    LoadKeySlotMap(ShippedModel(), keys, ledModes);
    ASSERT_EQ(ledModes.size(), 14u);
    const auto items = LoadLedItems(ShippedModel());
    const OfferedModes offered = OfferedLightingModes(ledModes, layout);
    int singles = 0;
    for (int mode = 0; mode < kLedModes; ++mode) {
        SCOPED_TRACE(mode);
        const bool mapped = ledModes.count(mode) != 0 && ledModes.at(mode) != 0;
        EXPECT_EQ(offered[static_cast<std::size_t>(mode)], mapped);
        EXPECT_EQ(layout.Row(mode) != nullptr, mapped);
        if (!mapped) continue;
        const LightingRow& row = *layout.Row(mode);
        EXPECT_EQ(static_cast<int>(row.texts.size()), kLightingRowHead + kLightingRowControls);
        EXPECT_NE(PreviewEffectByName(row.Preview()) == PreviewEffect::Static, row.Preview() != "static");
        singles += row.singleColour ? 1 : 0;
        std::set<std::string> listed;
        if (items.count(mode)) listed.insert(items.at(mode).begin(), items.at(mode).end());
        for (int k = 0; k < kLedColourSlots; ++k) {
            const std::string slot = std::to_string(k);
            EXPECT_EQ(row.Shows("btn_MouseLed_ColVal" + slot),
                      listed.count("color" + std::to_string(k + 1)) == 1);
            // Single-colour modes choose their colour with options instead of enable boxes.
            EXPECT_EQ(row.Shows("chk_MouseLed_ColEn" + slot),
                      listed.count("color" + std::to_string(k + 1)) == 1 && !row.singleColour);
        }
        EXPECT_EQ(row.Shows("slider_MouseLed_BrightVal"), listed.count("bright") == 1);
        EXPECT_EQ(row.Shows("slider_MouseLed_SpeedVal"), listed.count("speed") == 1);
        EXPECT_EQ(row.Shows("opt_MouseLed_CoverVal"), listed.count("direction") == 1);
        EXPECT_EQ(row.Shows("Chk_MouseLed_SymnetryVal"), listed.count("symmetry") == 1);
    }
    EXPECT_EQ(singles, 2);
}

TEST(LightingPreview, BreathingBreathesTheWaveMovesAndStaticModesStandStill) {
    PreviewInput in;
    in.colours = {0xFF0000, 0x0000FF};
    in.speed = 10;  // one cycle a second
    ASSERT_EQ(PreviewPeriodMs(10), 1000);
    EXPECT_GT(PreviewPeriodMs(1), PreviewPeriodMs(5));

    in.effect = PreviewEffect::Breathing;
    EXPECT_EQ(PreviewColourAt(in, 0.5, 0), 0x000000u);
    EXPECT_EQ(PreviewColourAt(in, 0.5, 500), 0xFF0000u);
    EXPECT_EQ(PreviewColourAt(in, 0.5, 1500), 0x0000FFu);  // the next breath in the next colour
    in.brightness = 50;
    EXPECT_EQ(PreviewColourAt(in, 0.5, 500), 0x800000u);
    in.brightness = 100;

    in.effect = PreviewEffect::Wave;
    in.direction = 1;
    const auto here = PreviewColourAt(in, 0.2, 0);
    EXPECT_NE(PreviewColourAt(in, 0.2, 100), here);
    EXPECT_EQ(PreviewColourAt(in, 0.3, 100), here);  // the same colour a tenth further on
    in.direction = 0;
    EXPECT_EQ(PreviewColourAt(in, 0.1, 100), PreviewColourAt(in, 0.2, 0));

    for (PreviewEffect still : {PreviewEffect::Static, PreviewEffect::DpiColour, PreviewEffect::Off}) {
        in.effect = still;
        EXPECT_FALSE(PreviewAnimates(still));
        EXPECT_EQ(PreviewColourAt(in, 0.4, 0), PreviewColourAt(in, 0.4, 12345));
    }
    in.effect = PreviewEffect::Off;
    EXPECT_EQ(PreviewColourAt(in, 0.4, 0), 0u);
    EXPECT_TRUE(PreviewAnimates(PreviewEffectByName("spectrum")));
    EXPECT_EQ(PreviewEffectByName("no such effect"), PreviewEffect::Static);
}

}  // namespace
}  // namespace zor
