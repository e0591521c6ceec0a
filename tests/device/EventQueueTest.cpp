// The device event queue, the worker's message mapping and the status-report key rules.
#include <gtest/gtest.h>

#include <array>

#include "device/DeviceMessages.h"
#include "device/EventWorker.h"
#include "device/KeyState.h"
#include "device/RecordingMessageSink.h"

namespace zor {
namespace {

using namespace std::chrono_literals;

TEST(EventQueueTest, GrowsWhenFullAndKeepsArrivalOrder) {
    EventQueue queue(4, 1024);
    // Wrap the ring first so that growing has to unroll it.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(queue.Push({0, 1, 0, i, 1}));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(queue.WaitPop()->value, i);
        queue.Done();
    }
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(queue.Push({0, 1, 0, 100 + i, 1}));
    EXPECT_EQ(queue.Capacity(), 64u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(queue.WaitPop()->value, 100 + i);
        queue.Done();
    }
    EXPECT_EQ(queue.Count(), 0u);
}

TEST(EventQueueTest, FullQueueAtItsLargestRefusesAndCounts) {
    EventQueue queue(2, 4);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(queue.Push({0, 1, 0, i, 1}));
    EXPECT_FALSE(queue.Push({0, 1, 0, 9, 1}));
    EXPECT_EQ(queue.Dropped(), 1u);
    queue.Stop();
    EXPECT_FALSE(queue.WaitPop().has_value());
    EXPECT_FALSE(queue.Push({0, 1, 0, 9, 1}));
}

class DeliverTest : public ::testing::Test {
protected:
    void SetUp() override { view.SetKeySlotMap({{7, 3}}); }  // key bit 6 -> UI key 3
    std::vector<SinkMessage> Deliver(DeviceEvent e) {
        sink.Clear();
        DeliverDeviceEvent(e, view, sink);
        return sink.Messages();
    }
    DeviceView view;
    RecordingMessageSink sink;
};

TEST_F(DeliverTest, EachKindBecomesItsMessage) {
    struct Case {
        DeviceEvent event;
        unsigned message;
        std::intptr_t wParam;
        bool sent;
    };
    const Case cases[] = {
        {{4, kEventDpiGear, 6, 3, 1}, kMsgDeviceDpiChanged, 3 + 256 * 3, false},
        {{4, kEventProfile, 6, 2, 1}, kMsgDeviceProfileChanged, 2 + 256 * 3, false},
        {{4, kEventLighting, 6, 0xC5, 1}, kMsgDeviceLightChanged, (3 << 8) | 0x85, true},  // bit 6 cleared
        {{4, kEventReportRate, 6, 8, 1}, kMsgDeviceRateChanged, 8 + 256 * 3, true},
        {{4, kEventDpiValue, 0, 0, 1}, kMsgDeviceStageSwitch, 0, false},
    };
    for (const Case& c : cases) {
        const auto got = Deliver(c.event);
        ASSERT_EQ(got.size(), 1u) << "kind " << c.event.kind;
        EXPECT_EQ(got[0].message, c.message);
        EXPECT_EQ(got[0].wParam, c.wParam);
        EXPECT_EQ(got[0].lParam, 4);
        EXPECT_EQ(got[0].sent, c.sent);
    }
}

TEST_F(DeliverTest, DropsWhatTheWindowMustNotSee) {
    EXPECT_TRUE(Deliver({0, kEventDpiGear, 6, 0, 1}).empty());      // gear 0
    EXPECT_TRUE(Deliver({0, kEventProfile, 5, 1, 1}).empty());      // slot 6 is not mapped
    EXPECT_TRUE(Deliver({0, kEventProfile, 20, 1, 1}).empty());     // beyond key 19
    EXPECT_TRUE(Deliver({0, kEventLighting, 6, 0x82, 2}).empty());  // lighting only for type 1
    EXPECT_TRUE(Deliver({0, kEventReportRate, 6, 2, 2}).empty());
    EXPECT_TRUE(Deliver({0, 9, 6, 2, 1}).empty());
}

TEST_F(DeliverTest, WorkerKeepsUpWithABacklogOfHundredsOfEvents) {
    // A backlog of 100 or more events must not stall the worker.
    EventQueue queue;
    for (int i = 0; i < 150; ++i) ASSERT_TRUE(queue.Push({0, kEventProfile, 6, i % 3, 1}));
    EventWorker worker(queue, view, sink);
    worker.Start();
    EXPECT_TRUE(sink.WaitForCount(kMsgDeviceProfileChanged, 150, 3s));
    EXPECT_TRUE(queue.WaitIdle(3s));
    worker.Stop();
    EXPECT_FALSE(worker.Running());
}

// A status report with the given key bits and state bytes.
std::array<std::uint8_t, 16> Status(int keys, int profile, int gear, int lighting, int rate, int dpi) {
    std::array<std::uint8_t, 16> r{};
    r[0] = 5;
    r[1] = 1;
    r[2] = static_cast<std::uint8_t>(keys & 0xFF);
    r[3] = static_cast<std::uint8_t>(keys >> 8);
    r[6] = static_cast<std::uint8_t>(profile);
    r[7] = static_cast<std::uint8_t>(rate);
    r[8] = static_cast<std::uint8_t>(gear);
    r[9] = static_cast<std::uint8_t>(lighting);
    r[11] = static_cast<std::uint8_t>(dpi & 0xFF);
    r[12] = static_cast<std::uint8_t>(dpi >> 8);
    return r;
}

class KeyStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceViewState shown;  // profile 0, gear 1, lighting mode 1, rate code 1
        shown.gearMask = 0x0F;
        shown.reportRateCode = 1;
        view.Set(shown);
    }
    std::vector<DeviceEvent> Feed(const std::array<std::uint8_t, 16>& report) {
        keys.ProcessStatusReport(report, 0, 1, view, queue);
        std::vector<DeviceEvent> out;
        while (queue.Count() > 0) {
            out.push_back(*queue.WaitPop());
            queue.Done();
        }
        return out;
    }
    DeviceView view;
    EventQueue queue;
    KeyState keys;
};

TEST_F(KeyStateTest, OnlyAReleaseCarriesTheChanges) {
    EXPECT_TRUE(Feed(Status(0x40, 2, 3, 0x83, 4, 0)).empty());  // press: nothing yet
    EXPECT_EQ(keys.KeyBit(6), 1);
    const auto events = Feed(Status(0x00, 2, 3, 0x83, 4, 0));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, kEventProfile);
    EXPECT_EQ(events[1].kind, kEventDpiGear);
    EXPECT_EQ(events[2].kind, kEventLighting);
    EXPECT_EQ(events[3].kind, kEventReportRate);
    for (const auto& e : events) EXPECT_EQ(e.key, 6);
    EXPECT_EQ(view.Releases(), 1);
    EXPECT_TRUE(Feed(Status(0x00, 2, 3, 0x83, 4, 0)).empty());  // no key changed
}

TEST_F(KeyStateTest, LightingByteZeroAndDisabledGearsQueueNothing) {
    Feed(Status(0x100, 0, 6, 0, 1, 0));
    // Gear 6 is outside the enabled mask 0x0F; lighting 0 means no mode.
    EXPECT_TRUE(Feed(Status(0x000, 0, 6, 0, 1, 0)).empty());
}

TEST_F(KeyStateTest, FirstDpiValueIsRememberedOnlyAndTheNextDifferentOneQueues) {
    EXPECT_TRUE(Feed(Status(0, 0, 1, 0x81, 1, 800)).empty());
    EXPECT_TRUE(Feed(Status(0, 0, 1, 0x81, 1, 800)).empty());
    EXPECT_TRUE(Feed(Status(0, 0, 1, 0x81, 1, 0)).empty());  // 0 is no value
    const auto events = Feed(Status(0, 0, 1, 0x81, 1, 1600));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, kEventDpiValue);
    EXPECT_EQ(keys.LastDpiValue(), 1600);
}

TEST_F(KeyStateTest, SuppressedReleasesAreRecordedWithoutEvents) {
    view.Update([](DeviceViewState& s) { s.suppressEvents = true; });
    Feed(Status(0x40, 2, 1, 0x81, 1, 0));
    EXPECT_TRUE(Feed(Status(0x00, 2, 1, 0x81, 1, 0)).empty());
    EXPECT_EQ(keys.KeyBit(6), 0);
}

TEST_F(KeyStateTest, ShortOrForeignReportsAreIgnored) {
    auto report = Status(0x40, 2, 1, 0x81, 1, 0);
    EXPECT_EQ(keys.ProcessStatusReport(std::span(report.data(), kStatusMinLength - 1), 0, 1, view, queue), 0);
    report[0] = 4;
    Feed(report);
    EXPECT_EQ(keys.KeyBit(6), 0);
}

}  // namespace
}  // namespace zor
