// A mouse that misbehaves in the middle of a transfer: it stops answering, answers with noise,
// is unplugged between two frames, or floods its input collection. The link gives up on a hung
// mouse instead of waiting for every frame's time-out, never takes noise for an answer, and works
// again once the mouse does.
#include <gtest/gtest.h>

#include <chrono>

#include "WireFixture.h"
#include "device/SettingsSource.h"

namespace zor::test {
namespace {

using Clock = std::chrono::steady_clock;

class DeviceFaultTest : public WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        DeviceModel model;
        model.matchedName = "MouseA";
        model.writeTimes = 4;
        model.chip = 6;
        commands.SetModel(model);
        settings.profileIds = {0x1111, 0x2222, 0x3333, 0x4444};
        commands.SetSettings(&settings);
        mouse->SetUnplugAction([this] { bus.Detach(mouse); });
    }

    SettingsRecord settings;
};

TEST_F(DeviceFaultTest, AMouseThatStopsAnsweringMidApplyIsGivenUpOnAfterThreeFailures) {
    ASSERT_EQ(commands.ApplyAll(0), 1);
    const std::size_t fullPush = mouse->Frames().size();
    mouse->ClearFrames();

    mouse->SetStallMs(100);
    mouse->InjectFault(MouseFault::StopAnswering, 5);
    const int failedBefore = transport.FailedSends();
    const auto start = Clock::now();
    EXPECT_EQ(commands.ApplyAll(0), 0);
    const auto took = Clock::now() - start;
    EXPECT_EQ(mouse->Fault(), MouseFault::StopAnswering);
    EXPECT_EQ(mouse->Frames().size(), 5u);  // the frames taken before it hung
    EXPECT_TRUE(transport.GaveUp());
    // Three stalls, then every other frame fails at once: not one stall per frame.
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_LT(took, std::chrono::milliseconds(100) * 6);
    EXPECT_EQ(transport.FailedSends() - failedBefore, static_cast<int>(fullPush) - 5);

    // The next run tries again, and a mouse that answers again takes everything.
    mouse->InjectFault(MouseFault::None);
    transport.Resume();
    mouse->ClearFrames();
    EXPECT_EQ(commands.ApplyAll(0), 1);
    EXPECT_EQ(mouse->Frames().size(), fullPush);
    EXPECT_EQ(mouse->State().profileIds[0], 0x1111);
}

TEST_F(DeviceFaultTest, NoiseIsNeverTakenForAnAnswer) {
    DeviceRequest& r = commands.Request();
    r.op = kOpDpi;
    ASSERT_EQ(commands.ReadRequest(), 1);
    const DeviceRequest good = r;

    mouse->InjectFault(MouseFault::Garbage, 0);
    const int badBefore = transport.BadReplies();
    for (std::uint8_t op : {kOpDpi, kOpLighting, kOpStatus}) {
        r.op = op;
        EXPECT_EQ(commands.ReadRequest(), 0) << int(op);
    }
    EXPECT_EQ(transport.BadReplies() - badBefore, 3 * kReadTries);
    EXPECT_EQ(r.dpi, good.dpi);
    EXPECT_EQ(r.currentGear, good.currentGear);
    const CurrentState state = commands.ReadCurrentState();
    EXPECT_EQ(state.currentGear, -1);
    EXPECT_EQ(state.lightingSlot, -1);
    // Writes still reach it.
    EXPECT_EQ(commands.WriteSetting(kOpProfile, 0, kSubProfileId), 1);

    mouse->InjectFault(MouseFault::None);
    r.op = kOpDpi;
    EXPECT_EQ(commands.ReadRequest(), 1);
}

TEST_F(DeviceFaultTest, AMouseUnpluggedBetweenTwoFramesOfAFullPushFailsTheRestAndWorksAfterReplug) {
    mouse->InjectFault(MouseFault::Unplug, 7);
    EXPECT_EQ(commands.ApplyAll(0), 0);
    EXPECT_EQ(mouse->Frames().size(), 7u);
    EXPECT_FALSE(mouse->Attached());
    EXPECT_TRUE(bus.Enumerate().empty());

    bus.Attach(mouse);
    mouse->ClearFrames();
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    SelectDevice(entry, link);
    transport.Resume();
    EXPECT_EQ(commands.ApplyAll(0), 1);
    EXPECT_EQ(mouse->State().profileIds[0], 0x1111);
}

TEST_F(DeviceFaultTest, AFloodOfInputReportsIsQueuedWhole) {
    const auto handle = link.inputHandle;
    ASSERT_TRUE(handle);
    mouse->FloodInput(1000);
    std::array<std::uint8_t, kStatusReportLength> report{};
    int pressed = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(handle->Read(report, 0), static_cast<int>(kStatusReportLength)) << i;
        pressed += (report[kStatusKeysLow] & (1u << static_cast<int>(MouseButton::Dpi))) != 0 ? 1 : 0;
    }
    EXPECT_EQ(pressed, 500);
    EXPECT_EQ(handle->Read(report, 0), 0);
    EXPECT_EQ(mouse->State().dpi[1], VirtualMouse().State().dpi[1]);  // a report is no button action
}

}  // namespace
}  // namespace zor::test
