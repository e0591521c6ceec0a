// Hot-plug sources and the idle cost of the presence threads.
#include "PresenceFixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <thread>

#include "common/ProcessStats.h"
#include "device/UdevHotplugMonitor.h"

namespace zor::test {
namespace {

TEST(HidIdTest, ReadsBusVendorAndProductAndRefusesDamagedText) {
    const auto usb = ParseHidId("0003:00003A5C:00001001");
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->busType, HidBusType::Usb);
    EXPECT_EQ(usb->vendorId, 0x3A5C);
    EXPECT_EQ(usb->productId, 0x1001);
    EXPECT_EQ(ParseHidId("0005:0000046D:0000B01A")->busType, HidBusType::Bluetooth);
    for (const char* bad : {"", "0003", "0003:00003A5C", "0003:00003A5C:", "0003:0001FFFF:00001001",
                            "0003:00003A5C:1001x", "0003:00003A5C:000000001001"}) {
        EXPECT_FALSE(ParseHidId(bad).has_value()) << bad;
    }
}

TEST(UdevHotplugTest, StartsAndStopsWithoutWaitingForAnEvent) {
    UdevHotplugMonitor monitor;
    if (!monitor.Start([](const HotplugEvent&) {})) GTEST_SKIP() << "no udev monitor on this system";
    const auto before = std::chrono::steady_clock::now();
    monitor.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_TRUE(monitor.Start([](const HotplugEvent&) {}));  // restartable
}

TEST_F(PresenceTest, VirtualMonitorReportsEveryInterfaceOfAPlugAndNothingOnceStopped) {
    auto mouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Receiver);
    bus.Attach(mouse);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].kind, HotplugKind::Arrival);
    EXPECT_EQ(changes[0].productId, kVirtualReceiverProductId);
    EXPECT_EQ(changes[0].vendorId, kVirtualVendorId);
    EXPECT_TRUE(presence.OnDeviceChange(changes[0]));
    EXPECT_FALSE(presence.OnDeviceChange(changes[1]));  // already found
    changes.clear();
    monitor.Stop();
    bus.Detach(mouse);
    EXPECT_TRUE(changes.empty());
}

// True once every other thread of the process is asleep (state S in /proc), checked every
// millisecond for at most kWait.
bool WaitUntilOtherThreadsSleep() {
    const std::string self = std::to_string(::gettid());
    const auto until = std::chrono::steady_clock::now() + kWait;
    std::mutex m;
    std::condition_variable tick;
    std::unique_lock lock(m);
    do {
        bool asleep = true;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            if (task.path().filename() == self) continue;
            std::ifstream stat(task.path() / "stat");
            std::string line;
            std::getline(stat, line);
            // "tid (name) S ...": the state follows the name's closing parenthesis.
            const auto close = line.rfind(')');
            if (close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'S')
                asleep = false;
        }
        if (asleep) return true;
        tick.wait_for(lock, 1ms);
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

// The threads of the process other than the calling one, by task id.
std::set<std::string> OtherTasks() {
    const std::string self = std::to_string(::gettid());
    std::set<std::string> tasks;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        if (task.path().filename() != self) tasks.insert(task.path().filename().string());
    return tasks;
}

// Voluntary context switches of every thread but those given.
long long SwitchesExcept(const std::set<std::string>& skip) {
    long long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (skip.count(task.path().filename().string()) != 0) continue;
        std::ifstream status(task.path() / "status");
        constexpr std::string_view kKey = "voluntary_ctxt_switches:";
        for (std::string line; std::getline(status, line);)
            if (line.rfind(kKey, 0) == 0) total += std::stoll(line.substr(kKey.size()));
    }
    return total;
}

TEST(IdleCostTest, IdleListenerAndWorkerDoNotWakeAtAll) {
    // Threads that were there before the test are not the program's: a sanitizer's runtime
    // starts one of its own, which wakes on a timer, with the first thread a program starts.
    std::thread([] {}).join();
    const std::set<std::string> before = OtherTasks();
    VirtualBus bus;
    auto entries = CatalogEntries();
    LinkState link;
    RecordingMessageSink sink;
    DeviceView view;
    DevicePresence presence(bus, link, entries, sink, view);
    auto mouse = std::make_shared<VirtualMouse>();
    bus.Attach(mouse);
    ASSERT_TRUE(presence.OnArrival(kVirtualVendorId, kVirtualCableProductId));
    view.SetKeySlotMap({{7, kUiProfileKey}});
    presence.StartWorker();
    presence.AutoSelect();
    presence.StartListeners();
    if (VoluntaryContextSwitches() < 0) GTEST_SKIP() << "no /proc";
    // The listener reads once to find the queue empty, then sleeps; let it and the worker get
    // there after handing on a click.
    mouse->Click(MouseButton::Profile);
    ASSERT_TRUE(sink.WaitForCount(kMsgDeviceProfileChanged, 1, kWait));
    ASSERT_TRUE(WaitUntilOtherThreadsSleep());

    // A measurement window, not a synchronisation: nothing happens during it.
    const long long start = SwitchesExcept(before);
    std::mutex idle;
    std::condition_variable never;
    std::unique_lock lock(idle);
    never.wait_for(lock, 2s, [] { return false; });
    const long long switches = SwitchesExcept(before) - start;
    // The waiting test thread itself is the one switch allowed: the listener and the worker
    // sleep until something happens.
    EXPECT_LE(switches, 1) << switches << " voluntary context switches in two idle seconds";
    presence.Shutdown();
}

}  // namespace
}  // namespace zor::test
