// The virtual mouse as a device: it refuses malformed frames, reports its buttons and state in
// status reports, and behaves like a receiver that loses its mouse.
#include <gtest/gtest.h>

#include "WireFixture.h"

namespace zor::test {
namespace {

using VirtualMouseTest = WireTest;

TEST_F(VirtualMouseTest, MalformedFramesAreCountedAndChangeNothing) {
    const VirtualMouseState before = mouse->State();
    Report wrongId = MakeReport(0x03, 1, 0, 0, {2});
    wrongId[0] = 0x05;
    EXPECT_EQ(entry.featureHandle->SetFeature(wrongId), -1);
    EXPECT_EQ(entry.featureHandle->SetFeature(MakeReport(0x03, 1, 0, 0, {2}, 33)), 41);  // length over 32
    EXPECT_EQ(entry.featureHandle->SetFeature(MakeReport(0x0B, 1, 0, 0, {2})), 41);      // unknown command
    EXPECT_EQ(entry.featureHandle->SetFeature(MakeReport(0x01, 1, 0, 0, {2})), 41);  // status has no write
    EXPECT_EQ(entry.featureHandle->SetFeature(MakeReport(0x04, 1, 0, 62, {1, 2, 3, 4})),
              41);                                                                    // past the key table
    EXPECT_EQ(entry.featureHandle->SetFeature(MakeReport(0x08, 1, 16, 0, {1})), 41);  // no slot 16
    EXPECT_EQ(entry.featureHandle->SetFeature(MakeReport(0x02, 1, 2, 0, {7})), 41);   // no profile 7
    EXPECT_EQ(mouse->BadFrames(), 7);
    EXPECT_EQ(mouse->Frames().size(), 6u);  // the stalled report never reached the firmware
    const VirtualMouseState after = mouse->State();
    EXPECT_EQ(after.reportRate, before.reportRate);
    EXPECT_EQ(after.keys, before.keys);
    EXPECT_EQ(after.activeProfile, before.activeProfile);
}

TEST_F(VirtualMouseTest, ARefusedReadLeavesNoReplyBehind) {
    transport.SendCommand(0x83, 0, 0, 1, nullptr);
    transport.SendCommand(0x86, 0, 30, 20, nullptr);  // past the DPI block
    Report reply{};
    transport.ReadReport(reply);
    EXPECT_EQ(reply[8], 0);
}

TEST_F(VirtualMouseTest, StatusReportCarriesTheStateInItsLayout) {
    VirtualMouseState s = mouse->State();
    s.activeProfile = 2;
    s.reportRate = 4;
    s.dpi[1] = 3;
    s.dpi[6] = 0x40;  // gear 3 = 1600
    s.dpi[7] = 0x06;
    s.lighting[0] = 0x45;
    mouse->SetState(s);
    mouse->EmitStatusReport();
    std::array<std::uint8_t, 16> report{};
    ASSERT_EQ(entry.inputHandle->Read(report, 1000), 16);
    const StatusReport expected = {5, 1, 0, 0, 0, 0, 2, 4, 3, 0x85, 0, 0x40, 0x06, 0, 0, 0};
    EXPECT_EQ(report, expected);
    EXPECT_EQ(entry.inputHandle->Read(report, 0), 0);  // nothing more queued
}

TEST_F(VirtualMouseTest, Report7CarriesItsValueLowByteFirstInItsLastTwoBytes) {
    VirtualMouseState s = mouse->State();
    s.report7Value = 0xA1B2;
    mouse->SetState(s);
    std::array<std::uint8_t, 16> report{};
    report.fill(0xEE);
    report[0] = 7;
    ASSERT_EQ(entry.featureHandle->GetFeature(report), 16);
    const std::array<std::uint8_t, 16> expected = {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xB2, 0xA1};
    EXPECT_EQ(report, expected);
    std::array<std::uint8_t, 15> tooShort{7};
    EXPECT_EQ(entry.featureHandle->GetFeature(tooShort), -1);
}

TEST(InputStatusTest, ParsesOnlyWholeStatusReports) {
    const StatusReport report = {5, 1, 0x21, 0x80, 0, 0, 2, 4, 3, 0x85, 0, 0x40, 0x06, 0x34, 0x12, 0};
    const auto status = ParseInputStatus(report);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->link, 1);
    EXPECT_EQ(status->keyBits, 0x8021u);
    EXPECT_EQ(status->activeProfile, 2);
    EXPECT_EQ(status->reportRate, 4);
    EXPECT_EQ(status->gear, 3);
    EXPECT_EQ(status->lighting, 0x85);
    EXPECT_EQ(status->dpiValue, 1600);
    EXPECT_EQ(status->secondValue, 0x1234);
    EXPECT_FALSE(ParseInputStatus(std::span(report).first(14)));
    StatusReport other = report;
    other[0] = 4;
    EXPECT_FALSE(ParseInputStatus(other));
}

TEST_F(VirtualMouseTest, ButtonsReportPressThenActOnRelease) {
    mouse->Press(MouseButton::Dpi);
    mouse->Release(MouseButton::Dpi);
    std::array<std::uint8_t, 16> pressed{};
    std::array<std::uint8_t, 16> released{};
    ASSERT_EQ(entry.inputHandle->Read(pressed, 1000), 16);
    ASSERT_EQ(entry.inputHandle->Read(released, 1000), 16);
    EXPECT_EQ(pressed[kStatusKeysLow], 1 << 5);
    EXPECT_EQ(pressed[kStatusGear], 1);
    EXPECT_EQ(released[kStatusKeysLow], 0);
    EXPECT_EQ(released[kStatusGear], 2);
    EXPECT_EQ(released[kStatusDpiValue] | (released[kStatusDpiValue + 1] << 8), 800);

    mouse->Click(MouseButton::ReportRate);
    mouse->Click(MouseButton::Profile);
    mouse->Click(MouseButton::Lighting);
    const VirtualMouseState s = mouse->State();
    EXPECT_EQ(s.reportRate, 8);  // 1 wraps round to the highest rate
    EXPECT_EQ(s.activeProfile, 1);
    EXPECT_EQ(s.lighting[0], 2);
    std::array<std::uint8_t, 16> report{};
    for (int i = 0; i < 6; ++i) ASSERT_EQ(entry.inputHandle->Read(report, 1000), 16);
    EXPECT_EQ(report[kStatusKeysHigh], 0);
}

TEST_F(VirtualMouseTest, DpiButtonSkipsDisabledGears) {
    VirtualMouseState s = mouse->State();
    s.dpi[0] = 0b10000101;  // gears 1, 3 and 8
    s.dpi[1] = 3;
    mouse->SetState(s);
    mouse->Click(MouseButton::Dpi);
    EXPECT_EQ(mouse->State().dpi[1], 8);
    mouse->Click(MouseButton::Dpi);
    EXPECT_EQ(mouse->State().dpi[1], 1);
}

TEST(VirtualReceiverTest, AReceiverWithoutItsMouseTakesFramesButNothingAnswers) {
    VirtualBus bus;
    auto mouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Receiver);
    bus.Attach(mouse);
    LinkState link;
    DeviceEntry entry = VirtualEntry();
    ASSERT_TRUE(MatchDevice(bus, entry, link));
    RecordingSleeper sleeper;
    Transport transport(link, sleeper);
    CommandSet commands(transport);

    mouse->DropLink();
    std::array<std::uint8_t, 16> report{};
    ASSERT_EQ(entry.inputHandle->Read(report, 1000), 16);
    EXPECT_EQ(report[kStatusLink], 0);
    commands.Request().op = kOpStatus;
    EXPECT_EQ(commands.ReadRequest(), 0);
    EXPECT_EQ(mouse->BadFrames(), 0);

    mouse->RestoreLink();
    ASSERT_EQ(entry.inputHandle->Read(report, 1000), 16);
    EXPECT_EQ(report[kStatusLink], 1);
    mouse->SetBattery(15, true);
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(commands.Request().connectionState, 1);
    EXPECT_EQ(commands.Request().battery, 0x80 | 15);
}

TEST(VirtualReceiverTest, CatalogIdsAndProductStrings) {
    VirtualMouse cable;
    VirtualMouse receiver(VirtualLinkKind::Receiver);
    for (const auto& info : cable.Interfaces()) {
        EXPECT_EQ(info.vendorId, 0x3A5C);
        EXPECT_EQ(info.productId, 0x1001);
        EXPECT_EQ(info.productString, "Zor MouseA");
    }
    const auto interfaces = receiver.Interfaces();
    ASSERT_EQ(interfaces.size(), 2u);
    EXPECT_EQ(interfaces[0].productId, 0x1002);
    EXPECT_EQ(interfaces[0].productString, "Zor MouseA Receiver");
    EXPECT_EQ(interfaces[0].usagePage, 0xFF00);
    EXPECT_EQ(interfaces[1].usagePage, 0xFF01);
    EXPECT_NE(interfaces[0].interfaceNumber, interfaces[1].interfaceNumber);
}

}  // namespace
}  // namespace zor::test
