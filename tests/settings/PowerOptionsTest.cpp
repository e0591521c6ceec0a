// Power and sensor options: reading and clamping Set.ini, single-value writes, the model's reset
// values, the rows each chip offers, and the frame each change message puts on the wire of the
// virtual mouse.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "common/IniFile.h"
#include "common/Sleeper.h"
#include "device/DeviceMatch.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualMouse.h"
#include "settings/ApplyPipeline.h"
#include "settings/PowerOptions.h"
#include "support/TempDir.h"

namespace zor {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(PowerOptionsFile, AbsentKeysReadAsZeroAndTimersAreKeptWithinTheirRanges) {
    TempDir dir;
    const PowerOptions options(dir / "Set.ini");
    // No file at all: switches 0, timers at their minimum (0 is below every range).
    PowerValues none = options.Load();
    EXPECT_EQ(none.Get(PowerKey::SleepTime), kSleepTimeRange.min);
    EXPECT_EQ(none.Get(PowerKey::ShortPress), kShortPressRange.min);
    EXPECT_EQ(none.Get(PowerKey::PDTime), kPdTimeRange.min);
    EXPECT_EQ(none.Get(PowerKey::MoveWakeEn), 0);
    EXPECT_EQ(none.Get(PowerKey::LODHeight), 0);

    WriteFile(dir / "Set.ini",
              "[Set]\r\nLanguage=4\r\nsleeptime=500\r\nShortPress=12\r\nPDTime=-3\r\nLODHeight=2\r\n"
              "RippleCtrlEn=1\r\nMoveWakeEn=7\r\nSavePowerSelect=1\r\n");
    const PowerValues v = options.Load();
    EXPECT_EQ(v.Get(PowerKey::SleepTime), kSleepTimeRange.max);  // above the maximum: the maximum
    EXPECT_EQ(v.Get(PowerKey::ShortPress), 12);
    EXPECT_EQ(v.Get(PowerKey::PDTime), kPdTimeRange.min);
    EXPECT_EQ(v.Get(PowerKey::LODHeight), 0);  // only 1 selects the second option
    EXPECT_EQ(v.Get(PowerKey::RippleCtrlEn), 1);
    EXPECT_EQ(v.Get(PowerKey::MoveWakeEn), 1);
    EXPECT_EQ(v.Get(PowerKey::StraightLineCorrectEn), 0);

    // The page's own slider range wins over the default one.
    const PowerOptions narrow(dir / "Set.ini", PowerRanges{{1, 60}, {1, 10}, {5, 90}});
    EXPECT_EQ(narrow.Load().Get(PowerKey::SleepTime), 60);
    EXPECT_EQ(narrow.Load().Get(PowerKey::ShortPress), 10);
    EXPECT_EQ(narrow.Load().Get(PowerKey::PDTime), 5);
}

TEST(PowerOptionsFile, WritingOneValueKeepsItInRangeAndLeavesTheRestOfTheFile) {
    TempDir dir;
    WriteFile(dir / "Set.ini", "; preferences\r\n[Set]\r\nLanguage=7\r\nSleepTime=10\r\n");
    const PowerOptions options(dir / "Set.ini");
    EXPECT_EQ(options.Write(PowerKey::SleepTime, 999), kSleepTimeRange.max);
    EXPECT_EQ(options.Write(PowerKey::JitterCorrectEn, 1), 1);
    EXPECT_EQ(options.Write(PowerKey::LODHeight, 5), 1);
    const std::string text = ReadFile(dir / "Set.ini");
    EXPECT_NE(text.find("; preferences\r\n"), std::string::npos);
    EXPECT_NE(text.find("Language=7\r\n"), std::string::npos);
    EXPECT_NE(text.find("SleepTime=120\r\n"), std::string::npos);
    EXPECT_NE(text.find("JitterCorrectEn=1\r\n"), std::string::npos);
    EXPECT_EQ(options.Load().Get(PowerKey::LODHeight), 1);

    // A settings file that is missing is created by the first write.
    const PowerOptions fresh(dir / "sub" / "Set.ini");
    std::filesystem::create_directories(dir / "sub");
    EXPECT_EQ(fresh.Write(PowerKey::ShortPress, 9), 9);
    EXPECT_EQ(IniFile(dir / "sub" / "Set.ini").GetInt("Set", "ShortPress"), 9);

    // A folder that cannot hold the file: nothing is reported as written.
    const PowerOptions nowhere(dir / "missing-folder" / "Set.ini");
    EXPECT_FALSE(nowhere.Write(PowerKey::ShortPress, 9).has_value());
}

TEST(PowerOptionsFile, ResetWritesTheModelsValuesButNotThePowerDownTime) {
    TempDir dir;
    WriteFile(dir / "DeviceFeature.ini",
              "[Reset]\nLODHeight=1\nSleepTime=5\nShortPress=8\nPDTime=30\nStraightLineCorrectEn=1\n"
              "RippleCtrlEn=1\nSmoothLineEn=1\nMoveWakeEn=1\nJitterCorrectEn=1\n");
    WriteFile(dir / "Set.ini", "[Set]\nPDTime=77\nSleepTime=50\nSavePowerSelect=1\n");
    const PowerOptions options(dir / "Set.ini");
    ASSERT_TRUE(options.WriteReset(IniFile(dir / "DeviceFeature.ini")));
    const PowerValues v = options.Load();
    EXPECT_EQ(v.Get(PowerKey::LODHeight), 1);
    EXPECT_EQ(v.Get(PowerKey::SleepTime), 5);
    EXPECT_EQ(v.Get(PowerKey::ShortPress), 8);
    EXPECT_EQ(v.Get(PowerKey::PDTime), 77);
    EXPECT_EQ(v.Get(PowerKey::SavePowerSelect), 1);
    for (PowerKey k : {PowerKey::StraightLineCorrectEn, PowerKey::RippleCtrlEn, PowerKey::SmoothLineEn,
                       PowerKey::MoveWakeEn, PowerKey::JitterCorrectEn})
        EXPECT_EQ(v.Get(k), 1) << InfoOf(k).name;

    // The shipped model's reset section gives values inside every range.
    const IniFile shipped(test::SourceDir() / "res/MouseVarn/MouseA/Config/DeviceFeature.ini");
    ASSERT_TRUE(options.WriteReset(shipped));
    EXPECT_EQ(options.Load().Get(PowerKey::SleepTime), shipped.GetInt("Reset", "SleepTime"));
    EXPECT_EQ(options.Load().Get(PowerKey::ShortPress), shipped.GetInt("Reset", "ShortPress"));
}

TEST(PowerOptionsNames, KeysAreFoundIgnoringCaseAndUnknownNamesAreNot) {
    EXPECT_EQ(PowerKeyByName("sleeptime"), PowerKey::SleepTime);
    EXPECT_EQ(PowerKeyByName("LODHEIGHT"), PowerKey::LODHeight);
    EXPECT_EQ(PowerKeyByName("MoveWakeEn"), PowerKey::MoveWakeEn);
    EXPECT_FALSE(PowerKeyByName("Language").has_value());
    EXPECT_FALSE(PowerKeyByName("SleepTim").has_value());
    EXPECT_FALSE(PowerKeyByName("").has_value());
}

TEST(PowerOptionsDevice, ValuesBecomeTheCommandSetsPowerSettings) {
    PowerValues v;
    v.Set(PowerKey::SleepTime, 7);
    v.Set(PowerKey::PDTime, 40);
    v.Set(PowerKey::ShortPress, 3);
    v.Set(PowerKey::LODHeight, 1);
    v.Set(PowerKey::SmoothLineEn, 1);
    v.Set(PowerKey::SavePowerSelect, 1);
    const PowerSettings p = PowerOptions::ToDevice(v);
    EXPECT_EQ(p.sleepMinutes, 7);
    EXPECT_EQ(p.secondTimeMinutes, 40);
    EXPECT_EQ(p.shortPress, 3);
    EXPECT_EQ(p.lodHeight, 1);
    EXPECT_EQ(p.smoothLineEn, 1);
    EXPECT_EQ(p.moveWakeEn, 0);
    EXPECT_TRUE(p.lightingSwitch);
    EXPECT_EQ(p.valueA, PowerSettings{}.valueA);
}

// Rows in the order straight line, ripple, lift-off, jitter, smooth line.
using R = RowVisibility;
struct ChipRows {
    int chip;
    R straight, ripple, lod, jitter, smooth;
    const char* text1;
    const char* text2;
};

TEST(PowerVisibility, EveryChipNumberOffersItsRows) {
    const std::vector<ChipRows> table = {
        {0, R::Hide, R::Hide, R::Hide, R::Hide, R::Hide, "", ""},
        {1, R::Hide, R::Hide, R::Hide, R::Hide, R::Hide, "", ""},
        {2, R::Hide, R::Hide, R::Hide, R::Hide, R::Hide, "", ""},
        {3, R::Show, R::Hide, R::Hide, R::Hide, R::Hide, "", ""},
        {4, R::Show, R::Show, R::Show, R::Hide, R::Hide, "", ""},
        {5, R::Keep, R::Keep, R::Keep, R::Keep, R::Hide, "", ""},
        {6, R::Show, R::Show, R::Show, R::Hide, R::Hide, "1mm", "2mm"},
        {7, R::Show, R::Show, R::Show, R::Hide, R::Hide, "2mm", "3mm"},
        {8, R::Show, R::Show, R::Hide, R::Hide, R::Hide, "", ""},
        {9, R::Hide, R::Hide, R::Hide, R::Hide, R::Show, "", ""},
        {10, R::Hide, R::Hide, R::Hide, R::Hide, R::Show, "", ""},
        {11, R::Hide, R::Hide, R::Hide, R::Hide, R::Hide, "", ""},
        {12, R::Hide, R::Hide, R::Show, R::Show, R::Hide, "1mm", "2mm"},
        {13, R::Keep, R::Keep, R::Keep, R::Keep, R::Hide, "", ""},
        {200, R::Keep, R::Keep, R::Keep, R::Keep, R::Hide, "", ""},
    };
    for (const ChipRows& row : table) {
        SCOPED_TRACE(row.chip);
        const PowerVisibility v = VisibilityFor(row.chip, "MouseA", true);
        EXPECT_EQ(v.straightLine, row.straight);
        EXPECT_EQ(v.rippleCtrl, row.ripple);
        EXPECT_EQ(v.lodHeight, row.lod);
        EXPECT_EQ(v.jitterCorrect, row.jitter);
        EXPECT_EQ(v.smoothLine, row.smooth);
        EXPECT_EQ(v.lodText1, row.text1);
        EXPECT_EQ(v.lodText2, row.text2);
        EXPECT_EQ(v.savePower, R::Show);
    }
}

TEST(PowerVisibility, PowerSavingFollowsTheModelAndTheDescriptionsFlag) {
    EXPECT_EQ(VisibilityFor(6, "Pelo", true).savePower, R::Hide);
    EXPECT_EQ(VisibilityFor(6, "Pelu", true).savePower, R::Hide);
    EXPECT_EQ(VisibilityFor(6, "MouseA", false).savePower, R::Hide);
    EXPECT_EQ(VisibilityFor(6, "MouseA", true).savePower, R::Show);
}

// Each change message, as the main window turns it into a run, against the virtual mouse.
class PowerMessageOnTheWire : public ::testing::Test {
protected:
    void SetUp() override {
        mouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Cable);
        bus.Attach(mouse);
        entry.devType = 2;
        entry.vendorIds = {kVirtualVendorId};
        entry.productIds = {kVirtualCableProductId};
        entry.names = {"MouseA"};
        ASSERT_TRUE(MatchDevice(bus, entry, link));
        SelectDevice(entry, link);
    }

    // The frames of one message on a model with the given chip; the identifier renewal that
    // ends every edit run is checked and dropped.
    std::vector<Report> Send(PowerKey key, const PowerValues& values, int chip = 6) {
        DeviceModel model;
        model.chip = chip;
        commands.SetModel(model);
        const PowerChange change = PowerChangeFor(key);
        ApplyJob job;
        job.mode = RunMode::Push;
        job.kind = change.kind;
        job.connectionType = 1;
        job.settings.power = PowerOptions::ToDevice(values);
        job.settings.profiles[0].lighting.modeNumber = 3;
        job.draw = [] { return std::uint16_t{0x4242}; };
        if (change.single) job.flags.single[static_cast<std::size_t>(*change.single)] = true;
        mouse->ClearFrames();
        RunApply(commands, job);
        std::vector<Report> frames = mouse->Frames();
        EXPECT_FALSE(frames.empty());
        if (frames.empty()) return frames;
        const Report& last = frames.back();
        EXPECT_EQ(last[3], 0x02);  // the profile identifier follows every edit
        EXPECT_EQ(last[5], kSubProfileId);
        frames.pop_back();
        return frames;
    }

    static std::vector<int> Head(const Report& r, int payload) {
        std::vector<int> out;
        for (int i = 3; i < 9 + payload; ++i)
            if (i != 4) out.push_back(r[static_cast<std::size_t>(i)]);  // byte 4: sequence
        return out;
    }

    std::shared_ptr<VirtualMouse> mouse;
    VirtualBus bus;
    DeviceEntry entry;
    LinkState link;
    RecordingSleeper sleeper;
    Transport transport{link, sleeper};
    CommandSet commands{transport};
};

TEST_F(PowerMessageOnTheWire, SleepTimeIsWrittenInSecondsAsOp2Sub3) {
    PowerValues v;
    v.Set(PowerKey::SleepTime, 10);
    const auto frames = Send(PowerKey::SleepTime, v);
    ASSERT_EQ(frames.size(), 1u);
    // command, argument, offset (2 bytes), length, 600 s little-endian
    EXPECT_EQ(Head(frames[0], 2), (std::vector<int>{0x02, 3, 0, 0, 2, 0x58, 0x02}));
    EXPECT_EQ(mouse->State().sleepTime, 600);
}

TEST_F(PowerMessageOnTheWire, PowerDownTimeFlagsOp2Sub4WhichTheMouseIsNeverSent) {
    PowerValues v;
    v.Set(PowerKey::PDTime, 30);
    EXPECT_TRUE(Send(PowerKey::PDTime, v).empty());
}

TEST_F(PowerMessageOnTheWire, SensorSwitchesGoOutAsOptionByteA) {
    PowerValues v;
    v.Set(PowerKey::StraightLineCorrectEn, 1);
    v.Set(PowerKey::RippleCtrlEn, 1);
    v.Set(PowerKey::SmoothLineEn, 1);
    auto frames = Send(PowerKey::RippleCtrlEn, v, 6);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Head(frames[0], 1), (std::vector<int>{0x02, 5, 0, 0, 1, 0x83}));

    // On chip 12 bit 1 is the jitter correction rather than the ripple control.
    v.Set(PowerKey::RippleCtrlEn, 0);
    v.Set(PowerKey::JitterCorrectEn, 1);
    v.Set(PowerKey::SmoothLineEn, 0);
    frames = Send(PowerKey::RippleCtrlEn, v, 12);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Head(frames[0], 1), (std::vector<int>{0x02, 5, 0, 0, 1, 0x03}));
}

TEST_F(PowerMessageOnTheWire, LiftOffGoesOutAsOptionByteBCodedPerChip) {
    PowerValues v;
    v.Set(PowerKey::LODHeight, 1);
    auto frames = Send(PowerKey::LODHeight, v, 6);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Head(frames[0], 1), (std::vector<int>{0x02, 6, 0, 0, 1, 2}));
    frames = Send(PowerKey::LODHeight, v, 7);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Head(frames[0], 1), (std::vector<int>{0x02, 6, 0, 0, 1, 3}));
}

TEST_F(PowerMessageOnTheWire, ShortPressIsOp10Sub2AndMotionWakeUpOp10Sub6) {
    PowerValues v;
    v.Set(PowerKey::ShortPress, 9);
    v.Set(PowerKey::MoveWakeEn, 1);
    auto frames = Send(PowerKey::ShortPress, v);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Head(frames[0], 1), (std::vector<int>{0x0A, 2, 0, 0, 1, 9}));
    frames = Send(PowerKey::MoveWakeEn, v);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Head(frames[0], 1), (std::vector<int>{0x0A, 6, 0, 0, 1, 1}));
}

TEST_F(PowerMessageOnTheWire, PowerSavingRewritesTheLightingWithItsSwitchBit) {
    PowerValues v;
    v.Set(PowerKey::SavePowerSelect, 1);
    auto frames = Send(PowerKey::SavePowerSelect, v);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0][3], 0x09);
    EXPECT_EQ(frames[0][9], 0x40 | 3);  // mode byte: the profile's mode with bit 6 set
    v.Set(PowerKey::SavePowerSelect, 0);
    frames = Send(PowerKey::SavePowerSelect, v);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0][9], 3);
}

TEST(PowerChangeTable, TheSensorSwitchesShareOneWriteAndEveryOtherValueHasItsOwn) {
    std::set<std::pair<int, int>> writes;
    for (const PowerKeyInfo& info : kPowerKeys) {
        const PowerChange change = PowerChangeFor(info.key);
        writes.emplace(static_cast<int>(change.kind), change.single ? static_cast<int>(*change.single) : -1);
    }
    EXPECT_EQ(writes.size(), kPowerKeyCount - 3);
    for (PowerKey key : {PowerKey::RippleCtrlEn, PowerKey::JitterCorrectEn, PowerKey::SmoothLineEn})
        EXPECT_EQ(PowerChangeFor(key).single, PowerChangeFor(PowerKey::StraightLineCorrectEn).single);
}

}  // namespace
}  // namespace zor
