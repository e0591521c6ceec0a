// The transport: frame layout, sequence counter, size limit, pauses, BLE text and trace.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "WireFixture.h"
#include "device/HidapiBus.h"
#include "device/virtual/VirtualBleBridge.h"

namespace zor::test {
namespace {

using TransportTest = WireTest;

TEST_F(TransportTest, SendCommandBuildsTheFrameWithPausesAroundIt) {
    const std::uint8_t payload[] = {0xAA, 0xBB};
    EXPECT_EQ(transport.SendCommand(0x02, 1, 0x0304, 2, payload), 1);
    ASSERT_EQ(mouse->Frames().size(), 1u);
    // Offset 0x0304 is not a valid profile slot: the mouse refuses it, the bytes are what count.
    EXPECT_EQ(mouse->Frames()[0], MakeReport(0x02, 1, 1, 0x0304, {0xAA, 0xBB}));
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50}));
}

TEST_F(TransportTest, ReadCommandWithoutPayloadAnnouncesItsLengthWithZeros) {
    transport.SendCommand(0x86, 0, 0, 20, nullptr);
    EXPECT_EQ(mouse->Frames().at(0), MakeReport(0x86, 1, 0, 0, {}, 20));
}

TEST_F(TransportTest, SequenceStartsAtOneAndWrapsAfter255) {
    for (int i = 0; i < 257; ++i) transport.SendCommand(0x03, 0, 0, 1, nullptr);
    const auto frames = mouse->Frames();
    ASSERT_EQ(frames.size(), 257u);
    EXPECT_EQ(frames[0][4], 1);
    EXPECT_EQ(frames[254][4], 255);
    EXPECT_EQ(frames[255][4], 0);
    EXPECT_EQ(frames[256][4], 1);
}

TEST_F(TransportTest, ThirtyTwoPayloadBytesAreSentThirtyThreeAreRefusedWithoutTheAfterPause) {
    std::uint8_t payload[40] = {};
    EXPECT_EQ(transport.SendCommand(0x08, 0, 0, 32, payload), 1);
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50}));
    sleeper.clear();
    EXPECT_EQ(transport.SendCommand(0x08, 0, 0, 33, payload), 0);
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30}));
    EXPECT_EQ(mouse->Frames().size(), 1u);
    // The refused frame still used a sequence number.
    transport.SendCommand(0x03, 0, 0, 1, nullptr);
    EXPECT_EQ(mouse->Frames().back()[4], 3);
}

TEST_F(TransportTest, OverlongAndNegativeLengthsNeverOverrunTheFrame) {
    std::vector<std::uint8_t> big(300, 0xEE);
    EXPECT_EQ(transport.SendCommand(0x08, 0, 0, 300, big.data()), 0);
    EXPECT_EQ(transport.SendCommand(0x08, 0, 0, -1, big.data()), 0);
    EXPECT_TRUE(mouse->Frames().empty());
    EXPECT_EQ(transport.FailedSends(), 2);
}

TEST_F(TransportTest, ReportOf41BytesIsRefusedAt40ItIsSent) {
    std::vector<std::uint8_t> frame(41, 0);
    EXPECT_EQ(transport.SendReport(frame), 0);
    EXPECT_TRUE(sleeper.pauses().empty());
    frame.resize(40);
    EXPECT_EQ(transport.SendReport(frame), 1);
}

TEST_F(TransportTest, ReadReportPausesAndCopiesTheReplyEvenWhenItFails) {
    transport.SendCommand(0x83, 0, 0, 1, nullptr);
    Report reply{};
    EXPECT_EQ(transport.ReadReport(reply), 1);
    EXPECT_EQ(reply[3], 0x83);
    EXPECT_EQ(reply[8], 1);
    EXPECT_EQ(reply[9], mouse->State().reportRate);
    EXPECT_EQ(sleeper.pauses().back(), 80);

    mouse->SetReplyMode(ReplyMode::Fail);
    reply.fill(0xCC);
    EXPECT_EQ(transport.ReadReport(reply), 0);
    Report expected{};
    expected[0] = 0x06;
    EXPECT_EQ(reply, expected);
}

TEST_F(TransportTest, WithoutADeviceNothingIsSentAndNothingRead) {
    ReleaseDevice(entry, link);
    EXPECT_EQ(transport.SendCommand(0x03, 0, 0, 1, nullptr), 0);
    Report reply{};
    EXPECT_EQ(transport.ReadReport(reply), 0);
    EXPECT_TRUE(mouse->Frames().empty());
}

TEST(BleTextTest, EveryByteIsTwoLowerCaseDigitsAndASpace) {
    Report report{};
    report[0] = 0x06;
    const std::string text = ReportToBleText(report);
    std::string expected = "06 ";
    for (int i = 0; i < 40; ++i) expected += "00 ";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.size(), 123u);

    report[3] = 0x01;
    report[9] = 0xAB;
    EXPECT_EQ(ReportToBleText(report).substr(0, 12), "06 00 00 01 ");
    EXPECT_EQ(ReportToBleText(report).substr(27, 3), "ab ");
}

TEST(TraceLineTest, DirectionMarkThenLowerCaseHexSeparatedBySingleSpaces) {
    const std::uint8_t bytes[] = {0x06, 0x00, 0xFE};
    EXPECT_EQ(TraceLine(TraceDirection::Sent, bytes), "> 06 00 fe");
    EXPECT_EQ(TraceLine(TraceDirection::Received, bytes), "< 06 00 fe");
}

TEST_F(TransportTest, TraceSeesEverySentAndEveryReadReport) {
    std::vector<std::string> lines;
    transport.SetTraceSink(
        [&](TraceDirection d, std::span<const std::uint8_t> b) { lines.push_back(TraceLine(d, b)); });
    transport.SendCommand(0x83, 0, 0, 1, nullptr);
    Report reply{};
    transport.ReadReport(reply);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 29), "> 06 00 00 83 01 00 00 00 01 ");
    EXPECT_EQ(lines[0].size(), 2u + 41 * 3 - 1);
    EXPECT_EQ(lines[1].substr(0, 32), "< 06 00 00 83 01 00 00 00 01 01 ");
}

TEST_F(TransportTest, ExchangesFromTwoThreadsNeverGetEachOthersReplies) {
    VirtualMouseState s = mouse->State();
    s.profileIds = {0x0101, 0x0202, 0x0303, 0x0404};
    s.reportRate = 2;
    mouse->SetState(s);
    // Short real pauses let the two threads' frames interleave wherever the lock allows it.
    class BriefSleeper final : public Sleeper {
    public:
        void SleepMs(int) override { std::this_thread::sleep_for(std::chrono::microseconds(50)); }
    } brief;
    Transport shared(link, brief);
    CommandSet mine(shared);
    CommandSet other(shared);
    std::atomic<int> wrong{0};
    std::thread rates([&] {
        other.Request().op = kOpReportRate;
        for (int i = 0; i < 200; ++i) {
            other.Request().reportRate = 0;
            if (other.ReadRequest() != 1 || other.Request().reportRate != 2) ++wrong;
        }
    });
    mine.Request().op = kOpProfile;
    mine.Request().subOp = kSubProfileId;
    for (int i = 0; i < 200; ++i) {
        mine.Request().profileIds = {};
        if (mine.ReadRequest() != 1 || mine.Request().profileIds[3] != 0x0404) ++wrong;
    }
    rates.join();
    EXPECT_EQ(wrong.load(), 0);
    // One counter for both threads: every sequence number used once, in order.
    const auto frames = mouse->Frames();
    ASSERT_EQ(frames.size(), 400u);
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i][4], static_cast<std::uint8_t>(i + 1));
}

TEST(HidapiBusTest, EnumeratingAMachineWithoutTheMouseIsNoErrorAndBadPathsDoNotOpen) {
    HidapiBus bus;
    for (const HidInterfaceInfo& info : bus.Enumerate()) EXPECT_FALSE(info.path.empty());
    EXPECT_EQ(bus.Open("/nonexistent/hidraw99", HidAccess::Write), nullptr);
    EXPECT_EQ(bus.Open("", HidAccess::Read), nullptr);
}

class BleTransportTest : public WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        bridge.SetEventHandler(
            [this](int code, const std::string& text) { events.emplace_back(code, text); });
        link.UseBridge(&bridge);
        bridge.BleConnect("Zor MouseA");
        link.bleMode = 1;
        events.clear();
    }
    VirtualBleBridge bridge{mouse};
    std::vector<std::pair<int, std::string>> events;
};

TEST_F(BleTransportTest, FramesTravelAsTextAndRepliesComeBackAsEvents) {
    EXPECT_EQ(transport.SendCommand(0x83, 0, 0, 1, nullptr), 1);
    ASSERT_EQ(bridge.SentTexts().size(), 1u);
    EXPECT_EQ(bridge.SentTexts()[0].size(), 123u);
    EXPECT_EQ(bridge.SentTexts()[0].substr(0, 27), "06 00 00 83 01 00 00 00 01 ");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, 0x603);
    EXPECT_EQ(events[0].second.substr(0, 29), "06 00 00 83 01 00 00 00 01 01");
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50}));
}

TEST_F(BleTransportTest, MissingOrFailingBridgeSendsNothingButStillPauses) {
    link.UseBridge(nullptr);
    EXPECT_EQ(transport.SendCommand(0x03, 0, 0, 1, nullptr), 0);
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50}));

    link.UseBridge(&bridge);
    bridge.SetFailing(true);
    EXPECT_EQ(transport.SendCommand(0x03, 0, 0, 1, nullptr), 0);
    EXPECT_TRUE(mouse->Frames().empty());
}

}  // namespace
}  // namespace zor::test
