// The apply run against the virtual mouse: what each mode sends, how often, and what it hands
// back to the window (profile, identifiers, read-back).
#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "common/Sleeper.h"
#include "device/DeviceMatch.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualMouse.h"
#include "settings/ApplyPipeline.h"
#include "settings/DeviceWorker.h"

namespace zor {
namespace {

constexpr std::uint8_t kProfileCmd = 0x02;
constexpr std::uint8_t kDpiCmd = 0x06;

class ApplyRun : public ::testing::Test {
protected:
    void SetUp() override { Connect(VirtualLinkKind::Cable); }

    void Connect(VirtualLinkKind kind) {
        mouse = std::make_shared<VirtualMouse>(kind);
        bus = std::make_unique<VirtualBus>();
        bus->Attach(mouse);
        entry.devType = 2;
        entry.vendorIds = {kVirtualVendorId, kVirtualVendorId};
        entry.productIds = {kVirtualCableProductId, kVirtualReceiverProductId};
        entry.names = {"MouseA", "MouseA"};
        ASSERT_TRUE(MatchDevice(*bus, entry, link));
        SelectDevice(entry, link);
        DeviceModel model;
        model.writeTimes = 3;
        commands.SetModel(model);
        mouse->ClearFrames();
    }

    ApplyJob Job(int mode, int kind = kOpDpi) {
        ApplyJob job;
        job.mode = mode == 1 ? RunMode::Synchronise : RunMode::Push;
        job.kind = static_cast<ApplyKind>(kind);
        job.writeTimes = 3;
        job.connectionType = mouse->Kind() == VirtualLinkKind::Cable ? 1 : 2;
        for (auto& profile : job.settings.profiles) {
            for (int g = 0; g < 8; ++g)
                profile.gears[static_cast<std::size_t>(g)] = {400 * (g + 1), g < 4, 0, 0xFF0000};
            profile.currentGear = 1;
        }
        job.settings.profileIds = {11, 22, 33, 44};
        job.draw = [n = std::uint16_t{1000}]() mutable { return ++n; };
        return job;
    }

    // The report-rate codes a full push of profile 0 sends for a stored rate index.
    std::vector<std::uint8_t> PushRates(int stored) {
        mouse->ClearFrames();
        ApplyJob job = Job(1);
        job.flags.forcePush = true;
        job.settings.profiles[0].reportRateIndex = stored;
        RunApply(commands, job);
        std::vector<std::uint8_t> codes;
        for (const Report& r : mouse->Frames())
            if (r[3] == 0x03) codes.push_back(r[9]);
        return codes;
    }

    int Count(std::uint8_t command, int argument = -1) const {
        int n = 0;
        for (const Report& r : mouse->Frames())
            if (r[3] == command && (argument < 0 || r[5] == argument)) ++n;
        return n;
    }

    std::shared_ptr<VirtualMouse> mouse;
    std::unique_ptr<VirtualBus> bus;
    DeviceEntry entry;
    LinkState link;
    RecordingSleeper sleeper;
    Transport transport{link, sleeper};
    CommandSet commands{transport};
};

TEST(ApplyRepeat, OneOnCableWriteTimesOnTheReceiverOneOverBle) {
    EXPECT_EQ(RepeatCount(1, 3, false), 1);
    EXPECT_EQ(RepeatCount(2, 3, false), 3);
    EXPECT_EQ(RepeatCount(2, 0, false), 4);
    EXPECT_EQ(RepeatCount(2, 3, true), 1);
    // A repeat count from a damaged description never exceeds 16.
    EXPECT_EQ(RepeatCount(2, 16, false), 16);
    EXPECT_EQ(RepeatCount(2, 1000000, false), 16);
}

TEST_F(ApplyRun, AnEditOnTheReceiverSendsItsOpRepeatedThenRenewsTheProfileId) {
    Connect(VirtualLinkKind::Receiver);
    ApplyJob job = Job(0);
    job.settings.profiles[0].gears[1].value = 1600;
    const ApplyOutcome out = RunApply(commands, job);
    EXPECT_EQ(Count(kDpiCmd), 3);
    EXPECT_EQ(Count(kProfileCmd, kSubProfileId), 3);
    EXPECT_EQ(static_cast<int>(mouse->Frames().size()), 6);
    EXPECT_EQ(out.renewedProfiles, std::vector<int>{0});
    EXPECT_EQ(out.profileIds[0], 1001);
    EXPECT_EQ(out.profileIds[1], 22);
    EXPECT_EQ(mouse->State().profileIds[0], 1001);
    EXPECT_EQ(mouse->State().dpi[4], 1600 & 0xFF);  // gear 2's value, low byte
}

TEST_F(ApplyRun, OnlyTheFirstSingleSettingIsSentAndAllAreCleared) {
    ApplyJob job = Job(0, kOpProfile);
    job.flags.single[static_cast<std::size_t>(SingleSetting::OptionA)] = true;
    job.flags.single[static_cast<std::size_t>(SingleSetting::SleepTime)] = true;
    const ApplyOutcome out = RunApply(commands, job);
    EXPECT_TRUE(out.singleWrite);
    EXPECT_EQ(Count(kProfileCmd, kSubSleepTime), 1);
    EXPECT_EQ(Count(kProfileCmd, kSubOptionA), 0);
    EXPECT_FALSE(job.flags.single[static_cast<std::size_t>(SingleSetting::OptionA)]);
}

TEST_F(ApplyRun, FireResendWritesOnlyTheKeysThatFire) {
    ApplyJob job = Job(0, kOpKey);
    job.settings.profiles[0].keys[3].function = kFireKeyFunction;
    job.settings.profiles[0].keys[6].function = kFireKeyFunction;
    job.flags.fireKeyResend = true;
    RunApply(commands, job);
    std::vector<int> keys;
    for (const Report& r : mouse->Frames())
        if (r[3] == kOpKey) keys.push_back(r[6] / 4);  // the key slot's offset
    EXPECT_EQ(keys, (std::vector<int>{3, 6}));
    EXPECT_FALSE(job.flags.fireKeyResend);

    mouse->ClearFrames();
    ApplyJob none = Job(0, kOpKey);
    none.flags.fireKeyResend = true;
    const ApplyOutcome out = RunApply(commands, none);
    EXPECT_EQ(Count(kOpKey), 0);
    EXPECT_FALSE(out.idsRenewed);  // nothing was resent, so the identifier stays
}

TEST_F(ApplyRun, SynchronisingAfterAnIdMismatchPushesEverything) {
    ApplyJob job = Job(1);
    const ApplyOutcome out = RunApply(commands, job);  // the mouse holds no identifiers yet
    EXPECT_TRUE(out.fullWrite);
    EXPECT_EQ(Count(kDpiCmd), 3);  // ApplyAll repeats every write WriteTimes times
    EXPECT_GT(Count(kOpLighting), 0);
    EXPECT_EQ(mouse->State().profileIds[0], out.profileIds[0]);
    EXPECT_NE(out.profileIds[0], 11);
}

TEST_F(ApplyRun, SynchronisingWithMatchingIdsOnlyReadsAndFollowsTheMouse) {
    auto state = mouse->State();
    state.profileIds = {11, 22, 33, 44};
    state.activeProfile = 1;
    mouse->SetState(state);
    ApplyJob job = Job(1);
    const ApplyOutcome out = RunApply(commands, job);  // pages on profile 0, mouse on 1: 22 == 22
    EXPECT_FALSE(out.fullWrite);
    EXPECT_EQ(Count(kDpiCmd), 0);
    ASSERT_TRUE(out.pagesProfile.has_value());
    EXPECT_EQ(*out.pagesProfile, 1);
    EXPECT_TRUE(out.readBack.has_value());
    EXPECT_TRUE(out.renewedProfiles.empty());
}

TEST_F(ApplyRun, AMouseOnProfileThreeShowsProfileZeroAndAFailedReadPushes) {
    auto state = mouse->State();
    state.profileIds = {11, 22, 33, 44};
    state.activeProfile = 3;
    mouse->SetState(state);
    ApplyJob job = Job(1);
    job.profile = 2;
    ApplyOutcome out = RunApply(commands, job);
    ASSERT_TRUE(out.pagesProfile.has_value());
    EXPECT_EQ(*out.pagesProfile, 0);
    EXPECT_FALSE(out.fullWrite);

    mouse->SetReplyMode(ReplyMode::Fail);
    ApplyJob failing = Job(1);
    out = RunApply(commands, failing);
    EXPECT_TRUE(out.fullWrite);
}

TEST_F(ApplyRun, ForcePushAndRegenerateAllPushEvenWhenIdsMatch) {
    auto state = mouse->State();
    state.profileIds = {11, 22, 33, 44};
    mouse->SetState(state);
    ApplyJob job = Job(1);
    job.flags.regenerateAll = true;
    const ApplyOutcome out = RunApply(commands, job);
    EXPECT_TRUE(out.fullWrite);
    EXPECT_EQ(out.renewedProfiles, (std::vector<int>{0, 1, 2}));
    EXPECT_NE(out.profileIds[2], 33);
    EXPECT_EQ(out.profileIds[3], 44);  // the fourth key table has no settings of its own
}

TEST_F(ApplyRun, AStoredRateOutsideTheModelsTableIsLimitedAndStillSent) {
    // Four-rate model (codes 8, 4, 2, 1): above the table the last rate, below it the first.
    EXPECT_EQ(PushRates(9), (std::vector<std::uint8_t>{1, 1, 1}));
    EXPECT_EQ(PushRates(-1), (std::vector<std::uint8_t>{8, 8, 8}));
    EXPECT_EQ(PushRates(2), (std::vector<std::uint8_t>{2, 2, 2}));
    // Pelo (codes 64, 32, ... 1): its cable keeps the first four rates, as its page does; its
    // receiver has all seven.
    DeviceModel pelo;
    pelo.writeTimes = 3;
    pelo.matchedName = "Pelo";
    commands.SetModel(pelo);
    EXPECT_EQ(PushRates(5), (std::vector<std::uint8_t>{8, 8, 8}));
    Connect(VirtualLinkKind::Receiver);
    commands.SetModel(pelo);
    EXPECT_EQ(PushRates(5), (std::vector<std::uint8_t>{2, 2, 2}));
    EXPECT_EQ(PushRates(40), (std::vector<std::uint8_t>{1, 1, 1}));
}

TEST(DeviceWorkerTest, RunsOneJobAtATime) {
    DeviceWorker worker;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> runs{0};
    ASSERT_TRUE(worker.Start([&runs, released] {
        ++runs;
        released.wait();
    }));
    EXPECT_TRUE(worker.Busy());
    EXPECT_FALSE(worker.Start([&] { ++runs; }));
    release.set_value();
    worker.Join();
    EXPECT_FALSE(worker.Busy());
    ASSERT_TRUE(worker.Start([&] { ++runs; }));
    worker.Join();
    EXPECT_EQ(runs.load(), 2);
}

}  // namespace
}  // namespace zor
