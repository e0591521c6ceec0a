// Reads that sleep without a time-out: every way a waiting reader must come back (a report, a
// stop request, its handle closed, its interface or device unplugged) wakes it at once, and an
// idle listener does not wake at all.
#include <future>

#include "PresenceFixture.h"
#include "common/ProcessStats.h"
#include "device/InputListener.h"

namespace zor::test {
namespace {

// A read on another thread; the future is ready when the read came back.
std::future<int> ReadAsync(std::shared_ptr<HidHandle> handle, const WakeEvent& stop) {
    return std::async(std::launch::async, [handle, &stop] {
        StatusReport report{};
        return handle->ReadUntil(report, stop);
    });
}

// True when the read has not come back yet (it sleeps), checked without waiting long.
bool StillWaiting(std::future<int>& read) {
    return read.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout;
}

// Wakes a read left waiting by a failed assertion, so that its future can be destroyed.
struct RaiseOnExit {
    WakeEvent& event;
    ~RaiseOnExit() { event.Raise(); }
};

class InputWaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus.Attach(mouse);
        for (const auto& info : bus.Enumerate())
            if (info.interfaceNumber == 0) input = info.path;
        handle = bus.Open(input, HidAccess::Read);
        ASSERT_NE(handle, nullptr);
    }
    VirtualBus bus;
    std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>();
    std::string input;
    std::shared_ptr<HidHandle> handle;
    WakeEvent stop;
};

TEST_F(InputWaitTest, AReportWakesTheReaderAndAStopRequestEndsTheWaitWithNothingRead) {
    auto read = ReadAsync(handle, stop);
    RaiseOnExit wake{stop};
    EXPECT_TRUE(StillWaiting(read));
    mouse->Press(MouseButton::Profile);
    ASSERT_EQ(read.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(read.get(), static_cast<int>(StatusReport{}.size()));

    // Reports queued before the read are read without sleeping, one per call.
    mouse->Release(MouseButton::Profile);
    mouse->Click(MouseButton::Dpi);
    StatusReport report{};
    for (int i = 0; i < 3; ++i) EXPECT_GT(handle->ReadUntil(report, stop), 0) << i;

    read = ReadAsync(handle, stop);
    EXPECT_TRUE(StillWaiting(read));
    stop.Raise();
    ASSERT_EQ(read.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(read.get(), 0);
    EXPECT_TRUE(handle->IsOpen());
    // A raised stop keeps answering at once until it is cleared.
    EXPECT_EQ(handle->ReadUntil(report, stop), 0);
    stop.Clear();
    EXPECT_FALSE(stop.Raised());
    read = ReadAsync(handle, stop);
    EXPECT_TRUE(StillWaiting(read));
    mouse->Click(MouseButton::Lighting);
    ASSERT_EQ(read.wait_for(kWait), std::future_status::ready);
    EXPECT_GT(read.get(), 0);
}

TEST_F(InputWaitTest, ClosingTheHandleOrUnpluggingWakesTheReaderWithAnError) {
    auto read = ReadAsync(handle, stop);
    RaiseOnExit wake{stop};
    EXPECT_TRUE(StillWaiting(read));
    handle->Close();
    ASSERT_EQ(read.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(read.get(), -1);

    handle = bus.Open(input, HidAccess::Read);
    ASSERT_NE(handle, nullptr);
    read = ReadAsync(handle, stop);
    EXPECT_TRUE(StillWaiting(read));
    bus.DetachInterface(mouse, 0);  // only the input collection goes
    ASSERT_EQ(read.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(read.get(), -1);

    bus.Attach(mouse);  // fresh paths; the old handle stays dead, a new one reads
    std::string path;
    for (const auto& info : bus.Enumerate())
        if (info.interfaceNumber == 0) path = info.path;
    auto fresh = bus.Open(path, HidAccess::Read);
    ASSERT_NE(fresh, nullptr);
    StatusReport report{};
    EXPECT_EQ(handle->ReadUntil(report, stop), -1);
    read = ReadAsync(fresh, stop);
    EXPECT_TRUE(StillWaiting(read));  // the wake-up of the re-attach is no report
    bus.Detach(mouse);
    ASSERT_EQ(read.wait_for(kWait), std::future_status::ready);
    EXPECT_EQ(read.get(), -1);
}

TEST_F(InputWaitTest, AListenerHandsOnEveryReportAndStopsAtOnce) {
    std::mutex m;
    std::condition_variable changed;
    int reports = 0;
    ListenerTarget target;
    target.input = handle;
    InputListener listener(target, [&](const ListenerTarget&, std::span<const std::uint8_t>) {
        std::lock_guard lock(m);
        ++reports;
        changed.notify_all();
    });
    listener.Start();
    mouse->Click(MouseButton::Profile);  // press and release: two reports
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(changed.wait_for(lock, kWait, [&] { return reports == 2; }));
    }
    auto stopped = std::async(std::launch::async, [&] {
        listener.RequestStop();
        listener.Join();
    });
    ASSERT_EQ(stopped.wait_for(kWait), std::future_status::ready);
    EXPECT_FALSE(listener.Running());
    EXPECT_TRUE(handle->IsOpen());
}

}  // namespace
}  // namespace zor::test
