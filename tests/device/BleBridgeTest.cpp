// The BLE side: bridge text, the BLE input path of presence, the virtual bridge end to end and
// the hidraw bridge against a virtual mouse that the bus presents as a Bluetooth device.
#include "PresenceFixture.h"

#include "common/Sleeper.h"
#include "device/BleText.h"
#include "device/HidrawBleBridge.h"
#include "device/Transport.h"
#include "device/virtual/VirtualBleBridge.h"

namespace zor::test {
namespace {

TEST(BridgeTextTest, MalformedTextIsRefusedWholeAndNeverReadPastItsEnd) {
    EXPECT_EQ(*ParseBleText("06 0a FF "), (std::vector<std::uint8_t>{0x06, 0x0A, 0xFF}));
    EXPECT_EQ(ToBleEventText(std::vector<std::uint8_t>{0x05, 0xAB, 0x0c}), "05 AB 0C");
    for (const char* bad : {"0", "06 0", "06 0g", "06  00", "0600", "06 00  ", "zz", "06,00"}) {
        EXPECT_FALSE(ParseBleText(bad).has_value()) << bad;
    }
    std::string tooLong;
    for (int i = 0; i < 65; ++i) tooLong += "00 ";
    EXPECT_FALSE(ParseBleText(tooLong).has_value());

    EXPECT_EQ(BatteryFromEventText("06 00 00 81 01 00 00 00 03 01 D5 06"), 0xD5);
    EXPECT_FALSE(BatteryFromEventText("06 00 00 81 01 00 00 00 03 01").has_value());
    EXPECT_FALSE(BatteryFromEventText("06 00 00 81 01 00 00 00 03 01 D").has_value());
}

TEST(BridgeTextTest, ReplyFramesMustHoldThePayloadTheirLengthAnnounces) {
    const auto reply = ParseBleReply("06 00 00 86 07 00 19 00 03 1F 02 90 55 00");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, 0x86);
    EXPECT_EQ(reply->offset, 25);
    EXPECT_EQ(reply->data[0], 0x1F);
    EXPECT_EQ(reply->data[2], 0x90);
    EXPECT_EQ(reply->data[3], 0);  // beyond the length: zero, not the text's trailing bytes
    for (const char* bad : {"06 00 00 86 07 00 00 00 03 1F 02",  // announces 3, carries 2
                            "06 00 00 86 07 00 00 00 00 00",     // length 0: no reply
                            "06 00 00 86 07 00 00 00 21 00",     // length 33
                            "05 00 00 86 07 00 00 00 01 00", "06 00 00 86 07 00 00 00"}) {
        EXPECT_FALSE(ParseBleReply(bad).has_value()) << bad;
    }
}

TEST_F(PresenceTest, BleInputTextTakesTheListenersPathAndBadTextChangesNothing) {
    const std::string press = "05 01 40 00 00 00 01 01 01 81 00 90 01 00 00 00";
    const std::string release = "05 01 00 00 00 00 01 01 01 81 00 90 01 00 00 00";
    const std::vector<std::string> bad = {press.substr(0, press.size() - 1),  // odd digit count
                                          "05 01 4G 00 00 00 01 01 01 81 00 90 01 00 00",
                                          "05 01 40 00 00 00 01 01 01 81 00 90 01",  // short
                                          ""};
    for (const std::string& text : bad) {
        EXPECT_FALSE(presence.HandleBleInput(text)) << text;
    }
    EXPECT_EQ(presence.Keys().KeyBit(6), 0);

    // No receiver has reported a link: over BLE the mouse counts as linked all the same.
    ASSERT_EQ(presence.ReceiverState(), 0);
    EXPECT_TRUE(presence.HandleBleInput(press));
    EXPECT_EQ(presence.Keys().KeyBit(6), 1);
    presence.HandleBleEvent(kBleEventInputBase + 5, release);
    ASSERT_TRUE(WaitFor(kMsgDeviceProfileChanged, 1));
    EXPECT_EQ(sink.MessagesOf(kMsgDeviceProfileChanged)[0].wParam, 1 + 256 * kUiProfileKey);
}

TEST_F(PresenceTest, VirtualBridgeCarriesTheMouseOverBle) {
    auto mouse = std::make_shared<VirtualMouse>();
    VirtualBus bleSide;  // the mouse is powered but on no bus the presence watches
    bleSide.Attach(mouse);
    VirtualBleBridge bridge(mouse);
    presence.AttachBle(&bridge, "Zor MouseA BLE");
    EXPECT_EQ(link.bleStatus, 0);
    // The main window's part: every 2065 goes back to presence.
    sink.SetObserver([this](const SinkMessage& m) {
        if (m.message == kMsgBleEvent) presence.HandleBleEvent(static_cast<int>(m.lParam), m.payload);
    });

    ASSERT_TRUE(presence.ConnectBle());
    ASSERT_TRUE(WaitFor(kMsgBleEvent, 1));
    EXPECT_EQ(link.bleMode.load(), 1);

    mouse->Click(MouseButton::Profile);
    ASSERT_TRUE(WaitFor(kMsgDeviceProfileChanged, 1));
    const auto input = sink.MessagesOf(kMsgBleEvent);
    ASSERT_GE(input.size(), 2u);
    EXPECT_EQ(input[1].lParam, kBleEventInputBase + 5);
    EXPECT_EQ(input[1].payload.substr(0, 8), "05 01 40");

    // Frames travel as text; a read's reply comes back as event 0x600 + op.
    RecordingSleeper sleeper;
    Transport transport(link, sleeper);
    ASSERT_EQ(transport.SendCommand(0x86, 0, 0, 20, nullptr), 1);
    ASSERT_TRUE(sink.WaitForCount(kMsgBleEvent, input.size() + 1, kWait));
    const auto events = sink.MessagesOf(kMsgBleEvent);
    const auto reply =
        std::find_if(events.begin(), events.end(), [](const auto& m) { return m.lParam == 0x606; });
    ASSERT_NE(reply, events.end());
    EXPECT_EQ(reply->payload.substr(0, 11), "06 00 00 86");

    bridge.ReportBattery();
    ASSERT_TRUE(sink.WaitForCount(kMsgBleEvent, events.size() + 1, kWait));
    EXPECT_EQ(BatteryFromEventText(sink.MessagesOf(kMsgBleEvent).back().payload), 80);

    bridge.DropLink();
    EXPECT_EQ(link.bleMode.load(), 0);
    presence.AttachBle(nullptr, "");
}

class HidrawBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        bridge.SetEventHandler(
            [this](int code, const std::string& text) { sink.post(kMsgBleEvent, 0, code, text); });
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& m : sink.Messages()) codes.push_back(static_cast<int>(m.lParam));
        return codes;
    }
    std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>();
    std::shared_ptr<WrappedMouse> bleMouse =
        std::make_shared<WrappedMouse>(mouse, HidBusType::Bluetooth, "Zor MouseA BLE", false);
    VirtualBus bus;
    RecordingSleeper sleeper;
    RecordingMessageSink sink;
    HidrawBleBridge bridge{bus, sleeper};
};

TEST_F(HidrawBridgeTest, LinksOnlyToABluetoothDeviceOfTheList) {
    bus.Attach(std::make_shared<WrappedMouse>(mouse, HidBusType::Usb, "Zor MouseA BLE", false));
    EXPECT_TRUE(bridge.BleConnect("Other, Zor MouseA BLE"));
    EXPECT_EQ(Codes(), std::vector<int>{kBleEventConnectFailed});  // right name, wrong bus

    bus.Attach(bleMouse);
    sink.Clear();
    bridge.BleConnect("Other");
    EXPECT_EQ(Codes(), std::vector<int>{kBleEventConnectFailed});

    sink.Clear();
    bridge.BleConnect("Other, Zor MouseA BLE");
    EXPECT_EQ(Codes(), (std::vector<int>{kBleEventLinkUp, kBleEventBattery}));
    EXPECT_EQ(BatteryFromEventText(sink.Messages()[1].payload), 80);
    EXPECT_EQ(bridge.BleQuery(), 1);
}

TEST_F(HidrawBridgeTest, SendsFramesAndReportsRepliesInputAndLinkLoss) {
    bus.Attach(bleMouse);
    bridge.BleConnect("Zor MouseA BLE");
    sink.Clear();
    sleeper.clear();

    Report read{};
    read[0] = kCommandReportId;
    read[kPosCommand] = 0x83;
    read[kPosLength] = 1;
    EXPECT_EQ(bridge.BleSend(ReportToBleText(read)), 1);
    ASSERT_EQ(Codes(), std::vector<int>{kBleEventReplyBase + 3});
    EXPECT_EQ(sink.Messages()[0].payload.substr(0, 30), "06 00 00 83 00 00 00 00 01 01 ");
    EXPECT_EQ(sleeper.pauses(), std::vector<int>{kPauseBeforeReadMs});
    EXPECT_EQ(bridge.BleSend("06 00 0"), 0);  // malformed: nothing sent
    EXPECT_EQ(mouse->Frames().size(), 2u);    // the battery query and the read

    mouse->Click(MouseButton::Dpi);
    ASSERT_TRUE(sink.WaitForCount(kMsgBleEvent, 3, kWait));
    EXPECT_EQ(sink.Messages()[1].lParam, kBleEventInputBase + 5);

    std::vector<HotplugEvent> gone;
    VirtualHotplugMonitor monitor(bus);
    monitor.Start([&](const HotplugEvent& e) { gone.push_back(e); });
    bus.Detach(bleMouse);
    for (const auto& e : gone) bridge.OnHotplug(e);
    EXPECT_FALSE(bridge.Linked());
    EXPECT_EQ(sink.Messages().back().lParam, kBleEventLinkDown);
    EXPECT_EQ(bridge.BleSend(ReportToBleText(read)), 0);

    // Plugged in again (one report per interface), the mouse is linked once.
    sink.Clear();
    bus.Attach(bleMouse);
    for (std::size_t i = gone.size() - 2; i < gone.size(); ++i) bridge.OnHotplug(gone[i]);
    EXPECT_EQ(Codes(), (std::vector<int>{kBleEventLinkUp, kBleEventBattery}));
    EXPECT_TRUE(bridge.Linked());
}

TEST_F(HidrawBridgeTest, BluetoothArrivalBeforeAnyConnectAsksTheProgramToConnect) {
    std::vector<HotplugEvent> came;
    VirtualHotplugMonitor monitor(bus);
    monitor.Start([&](const HotplugEvent& e) { came.push_back(e); });
    bus.Attach(bleMouse);
    bridge.OnHotplug(came.front());
    EXPECT_EQ(Codes(), std::vector<int>{kBleEventReconnect});
    EXPECT_FALSE(bridge.Linked());
}

}  // namespace
}  // namespace zor::test
