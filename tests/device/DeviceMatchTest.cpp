// Matching a catalog entry against the HID interfaces and owning the opened handles.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "WireFixture.h"

namespace zor::test {
namespace {

// A device model with whatever interfaces a test wants; it answers report 7 only.
class FakeDevice final : public VirtualHidDevice {
public:
    explicit FakeDevice(std::vector<HidInterfaceInfo> interfaces) : m_interfaces(std::move(interfaces)) {}
    std::vector<HidInterfaceInfo> Interfaces() const override { return m_interfaces; }
    int SetFeature(int, std::span<const std::uint8_t> r) override { return static_cast<int>(r.size()); }
    int GetFeature(int, std::span<std::uint8_t> r) override {
        ++report7Reads;
        if (r[0] != 7) return -1;
        r[14] = 0x34;
        r[15] = 0x12;
        return static_cast<int>(r.size());
    }
    int Read(int, std::span<std::uint8_t>, int) override { return 0; }
    void SetAttached(bool) override {}
    int report7Reads = 0;

private:
    std::vector<HidInterfaceInfo> m_interfaces;
};

HidInterfaceInfo Interface(std::uint16_t pid, std::uint16_t page, const char* product = "Zor MouseA") {
    HidInterfaceInfo info;
    info.vendorId = kVirtualVendorId;
    info.productId = pid;
    info.productString = product;
    info.usagePage = page;
    info.usage = 1;
    return info;
}

TEST(DeviceMatchTest, InputAndFeatureCollectionsOnTwoInterfacesMatch) {
    VirtualBus bus;
    auto mouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Receiver);
    bus.Attach(mouse);
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    entry.names = {"Cable", "Receiver"};

    ASSERT_TRUE(MatchDevice(bus, entry, link));
    EXPECT_TRUE(entry.found);
    EXPECT_EQ(entry.matchedName, "Receiver");
    EXPECT_EQ(entry.devicePath, "/DEV/ZOR-VIRTUAL/0-1");  // the interface that completed the match
    ASSERT_TRUE(entry.inputHandle && entry.featureHandle);
    EXPECT_NE(entry.inputHandle, entry.featureHandle);
    EXPECT_EQ(entry.inputCaps.usagePage, 0xFF00);
    EXPECT_EQ(entry.inputReportLength, static_cast<int>(kStatusReportLength));
    // Type 2: the feature handle is current and report 7 was read.
    EXPECT_EQ(link.featureHandle, entry.featureHandle);
    EXPECT_EQ(entry.report7Value, mouse->State().report7Value);
}

TEST(DeviceMatchTest, TypeOneLeavesTheLinkAloneAndSkipsReport7) {
    VirtualBus bus;
    auto device =
        std::make_shared<FakeDevice>(std::vector{Interface(0x1001, 0xFF00), Interface(0x1001, 0xFF01)});
    bus.Attach(device);
    LinkState link;
    DeviceEntry entry = VirtualEntry(1);
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    EXPECT_EQ(link.featureHandle, nullptr);
    EXPECT_EQ(device->report7Reads, 0);
    EXPECT_EQ(entry.report7Value, 255);
}

TEST(DeviceMatchTest, Report7BytesFourteenAndFifteenAreKeptLittleEndian) {
    VirtualBus bus;
    auto device =
        std::make_shared<FakeDevice>(std::vector{Interface(0x1001, 0xFF00), Interface(0x1001, 0xFF01)});
    bus.Attach(device);
    LinkState link;
    DeviceEntry entry = VirtualEntry(3);
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    EXPECT_EQ(device->report7Reads, 1);
    EXPECT_EQ(entry.report7Value, 0x1234);
}

TEST(DeviceMatchTest, OneCollectionAloneIsNoMatchAndLeavesNoHandleOpen) {
    VirtualBus bus;
    auto device =
        std::make_shared<FakeDevice>(std::vector{Interface(0x1001, 0xFF00), Interface(0x1001, 0x0001)});
    bus.Attach(device);
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    EXPECT_FALSE(MatchDevice(bus, entry, link));
    EXPECT_FALSE(entry.found);
    EXPECT_EQ(entry.inputHandle, nullptr);
    EXPECT_EQ(link.featureHandle, nullptr);
}

TEST(DeviceMatchTest, CompareStringsRejectAnotherProductWithTheSameIds) {
    VirtualBus bus;
    bus.Attach(std::make_shared<FakeDevice>(
        std::vector{Interface(0x1001, 0xFF00, "Other"), Interface(0x1001, 0xFF01, "Other")}));
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    entry.compareFlag = 1;
    entry.compareStrings = {"Zor MouseA"};
    EXPECT_FALSE(MatchDevice(bus, entry, link));
    EXPECT_EQ(bus.OpenCount(), 0);

    entry.compareFlag = 0;  // without the flag the product string does not matter
    EXPECT_TRUE(MatchDevice(bus, entry, link));
}

TEST(DeviceMatchTest, VanishedInterfacesAndForeignDevicesDoNotEndTheWalk) {
    VirtualBus bus;
    bus.Attach(std::make_shared<FakeDevice>(std::vector{Interface(0x1001, 0xFF00)}));
    bus.AddVanishedInterface(Interface(0x1001, 0xFF01));
    HidInterfaceInfo keyboard;
    keyboard.vendorId = 0x1234;
    keyboard.productId = 0x5678;
    bus.Attach(std::make_shared<FakeDevice>(std::vector{keyboard, keyboard}));
    bus.Attach(std::make_shared<FakeDevice>(std::vector{Interface(0x1001, 0xFF01)}));
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    EXPECT_TRUE(MatchDevice(bus, entry, link));
}

TEST(DeviceMatchTest, AnEmptyBusMatchesNothing) {
    VirtualBus bus;
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    EXPECT_FALSE(MatchDevice(bus, entry, link));
}

TEST(DeviceMatchTest, ReleaseClosesTheHandlesAndClearsTheLink) {
    VirtualBus bus;
    auto mouse = std::make_shared<VirtualMouse>();
    bus.Attach(mouse);
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    SelectDevice(entry, link);
    const auto feature = entry.featureHandle;
    const auto input = entry.inputHandle;

    ReleaseDevice(entry, link);
    EXPECT_FALSE(entry.found);
    EXPECT_TRUE(entry.devicePath.empty());
    EXPECT_EQ(entry.report7Value, 255);
    EXPECT_EQ(link.featureHandle, nullptr);
    EXPECT_EQ(link.inputHandle, nullptr);
    EXPECT_FALSE(feature->IsOpen());
    EXPECT_FALSE(input->IsOpen());
    const std::uint8_t report[41] = {0x06};
    EXPECT_EQ(feature->SetFeature(report), -1);
}

TEST(DeviceMatchTest, UnpluggedHandlesStayDeadAfterReplugAndARematchReplacesThem) {
    VirtualBus bus;
    auto mouse = std::make_shared<VirtualMouse>();
    bus.Attach(mouse);
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    const auto old = entry.featureHandle;

    bus.Detach(mouse);
    EXPECT_FALSE(old->IsOpen());
    EXPECT_FALSE(MatchDevice(bus, entry, link));
    bus.Attach(mouse);
    EXPECT_FALSE(old->IsOpen());
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    EXPECT_NE(entry.featureHandle, old);
    EXPECT_TRUE(entry.featureHandle->IsOpen());
    EXPECT_EQ(link.featureHandle, entry.featureHandle);
}

// A device that loses an interface other than its two collections is matched again on the
// removal: the handles the link and the listener use stay the same and open, and no handle is
// opened for nothing.
TEST(DeviceMatchTest, ARematchWhileBothCollectionsStayKeepsTheOpenHandles) {
    VirtualBus bus;
    auto receiver = std::make_shared<FakeDevice>(std::vector<HidInterfaceInfo>{
        Interface(kVirtualReceiverProductId, 0x0001), Interface(kVirtualReceiverProductId, kInputUsagePage),
        Interface(kVirtualReceiverProductId, kFeatureUsagePage)});
    bus.Attach(receiver);
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    const auto input = entry.inputHandle;
    const auto feature = entry.featureHandle;
    const int opened = bus.OpenCount();

    bus.DetachInterface(receiver, 0);
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    EXPECT_EQ(entry.inputHandle, input);
    EXPECT_EQ(entry.featureHandle, feature);
    EXPECT_TRUE(input->IsOpen());
    EXPECT_TRUE(feature->IsOpen());
    EXPECT_EQ(link.featureHandle, feature);
    EXPECT_EQ(bus.OpenCount(), opened);

    // Once a collection goes, the re-match fails and leaves the entry's handles to the release.
    bus.DetachInterface(receiver, 1);
    EXPECT_FALSE(MatchDevice(bus, entry, link));
    EXPECT_EQ(entry.featureHandle, feature);
    EXPECT_TRUE(feature->IsOpen());
    ReleaseDevice(entry, link);
    EXPECT_FALSE(feature->IsOpen());
}

TEST(DeviceMatchTest, UnpluggingWakesAReaderWaitingForInput) {
    VirtualBus bus;
    auto mouse = std::make_shared<VirtualMouse>();
    bus.Attach(mouse);
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    std::array<std::uint8_t, 16> report{};
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        bus.Detach(mouse);
    });
    // Far shorter than the time-out: the detach ends the wait.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(entry.inputHandle->Read(report, 10000), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    unplug.join();
}

}  // namespace
}  // namespace zor::test
