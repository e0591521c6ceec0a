// The shipped configuration, handed to the command set as its settings source, ends up in the
// virtual mouse exactly; and zorctl's apply does the same end to end.
#include <gtest/gtest.h>

#include "common/Colour.h"
#include "common/IniFile.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "device/MacroStream.h"
#include "device/WireFixture.h"
#include "macro/MacVkAndText.h"
#include "support/TempDir.h"

using namespace zor;
using zor::test::SourceDir;

namespace {

class ApplyDocument : public zor::test::WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        const auto model = SourceDir() / "res" / "MouseVarn" / "MouseA";
        DeviceFeatureRecord feature;
        ASSERT_TRUE(LoadDeviceFeature(feature, model, 0));
        doc.SetDeviceFacts(feature);
        ASSERT_TRUE(doc.Load(model).ok);
        for (int i = 0; i < 4; ++i) doc.SetProfileId(i, static_cast<std::uint16_t>(0x1111 * (i + 1)));
        ASSERT_TRUE(lists.Load(SourceDir() / kShortCutMacPath, SourceDir() / kOtherKeyMacPath).ok);
        DeviceModel m;
        m.writeTimes = feature.writeTimes;
        for (const auto& [slot, mode] : feature.ledModes)
            m.lightingMap[static_cast<std::size_t>(slot)] = mode;
        commands.SetModel(m);
        commands.SetSettings(&doc);
        commands.SetMacroSources(&lists, &library);
    }

    void ExpectMouseHoldsProfile(int p) {
        const VirtualMouseState s = mouse->State();
        const auto& adv = doc.adv[static_cast<std::size_t>(p)];
        EXPECT_EQ(s.activeProfile, p);
        EXPECT_EQ(s.profileIds[static_cast<std::size_t>(p)], 0x1111 * (p + 1));
        EXPECT_EQ(s.reportRate, ReportRateCode("", adv.rateusbvalue));
        std::uint8_t mask = 0;
        for (std::size_t g = 0; g < 8; ++g) {
            if (adv.gears[g].enabled) mask = static_cast<std::uint8_t>(mask | (1u << g));
            EXPECT_EQ(s.dpi[2 + 2 * g] | (s.dpi[3 + 2 * g] << 8), adv.gears[g].value) << g;
            const WireColour c = ColourToWire(adv.gears[g].colour);
            EXPECT_TRUE(std::equal(c.begin(), c.end(), s.dpiColours.begin() + 3 * static_cast<long>(g))) << g;
        }
        EXPECT_EQ(s.dpi[0], mask);
        EXPECT_EQ(s.dpi[1], adv.cruseldpi + 1);

        const auto& table = doc.keyTables[static_cast<std::size_t>(p)];
        for (int k = 0; k <= kHighestKeyForKeyTable; ++k) {
            const int code = table.at(SlotName(k)).code;
            const auto bytes = EncodeKeyFunction(code).bytes;
            EXPECT_EQ(s.keys[4 * k], bytes[0]) << "key " << k;
            EXPECT_EQ(s.keys[4 * k + 1], bytes[1]) << "key " << k;
            if (const MacroRecord* rec = lists.MacroForCode(code)) {
                auto stream = BuildMacroStream(TranslateCodes(rec->device));
                ASSERT_TRUE(stream.has_value());
                EXPECT_TRUE(
                    std::equal(stream->begin(), stream->end(), s.macros[static_cast<std::size_t>(k)].begin()))
                    << "macro of key " << k;
            }
        }

        const int slot = doc.led[static_cast<std::size_t>(p)][0].curselmode;
        const auto& mode = doc.led[static_cast<std::size_t>(p)][static_cast<std::size_t>(slot)];
        const int number = commands.Model().lightingMap[static_cast<std::size_t>(slot)];
        EXPECT_EQ(s.lighting[0] & 0x3F, number);
        const std::size_t block = 25u * static_cast<std::size_t>(number);
        EXPECT_EQ(s.lighting[block], mode.brightnessvalue);
        EXPECT_EQ(s.lighting[block + 1], mode.frequencyvalue);
        EXPECT_EQ(s.lighting[block + 2], mode.directionsel);
        for (std::size_t k = 0; k < 7; ++k) {
            const WireColour c = ColourToWire(mode.colours[k].colour);
            EXPECT_TRUE(
                std::equal(c.begin(), c.end(), s.lighting.begin() + static_cast<long>(block + 4 + 3 * k)))
                << k;
        }
    }

    MouseConfigDocument doc;
    PredefinedMacroLists lists;
    MacroStore macros;
    MacroLibraryView library{macros};
};

}  // namespace

TEST_F(ApplyDocument, EveryProfileOfTheShippedDocumentLandsInTheMouse) {
    for (int p = 0; p < kConfigProfiles; ++p) {
        ASSERT_EQ(commands.ApplyAll(p), 1) << p;
        ExpectMouseHoldsProfile(p);
    }
    EXPECT_EQ(mouse->BadFrames(), 0);
}

TEST_F(ApplyDocument, ReloadTakesTheChipFromTheMouse) {
    mouse->SetChip(12);
    EXPECT_EQ(ChipReader(commands)(), 12);
    bus.Detach(mouse);
    EXPECT_EQ(ChipReader(commands)(), 0);
}

TEST_F(ApplyDocument, KeysOnlyApplySendsJustTheChosenKeys) {
    commands.keyList = {3};
    commands.keysOnly = true;
    mouse->ClearFrames();
    ASSERT_EQ(commands.ApplyAll(2), 1);
    const auto keyFrames = FramesOf(0x04);
    ASSERT_EQ(keyFrames.size(), static_cast<std::size_t>(commands.Model().writeTimes));
    EXPECT_EQ(mouse->State().keys[12], 0x0A);  // key 3 of profile 2 plays the copy macro
    EXPECT_TRUE(FramesOf(0x06).empty());
}

TEST(ZorctlApply, VirtualMouseTracesTheFullPushOfTheShippedDocument) {
    const auto zorctl = zor::test::BuildDir() / "tools" / "zorctl" / "zorctl";
    const auto package = zor::test::BuildDir() / "res" / "Home" / "Icons" / "Ndevice.zip";
    if (!std::filesystem::exists(zorctl) || !std::filesystem::exists(package))
        GTEST_SKIP() << "zorctl is not built";
    zor::test::TempDir home;
    std::filesystem::copy(zor::test::BuildDir() / "res", home / "res",
                          std::filesystem::copy_options::recursive);
    const auto trace = home / "trace.txt";
    const int rc = zor::test::RunShell(zorctl.string() + " --home " + home.path().string() +
                                       " --virtual --trace apply --profile 1 >/dev/null 2>" + trace.string());
    ASSERT_EQ(rc, 0) << zor::test::ReadFile(trace);
    const std::string lines = zor::test::ReadFile(trace);
    int sent = 0;
    for (std::size_t at = lines.find("> 06 00 00"); at != std::string::npos;
         at = lines.find("> 06 00 00", at + 1))
        ++sent;
    EXPECT_GT(sent, 40);
    // Active profile 1, the DPI table with gear 2 current and every gear enabled.
    EXPECT_NE(lines.find("> 06 00 00 02"), std::string::npos);
    EXPECT_NE(lines.find(" 00 00 00 14 ff 03 20 03 b0 04 40 06 60 09 80 0c c0 12 00 19 40 1f"),
              std::string::npos)
        << lines;
    // The identifiers were drawn and kept in the model's description.
    IniFile ini(home / "res" / "MouseVarn" / "MouseA" / "Config" / "DeviceFeature.ini");
    EXPECT_NE(ini.GetInt("RANDOM", "Profile1"), 0);
}
