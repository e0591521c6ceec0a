// Device presence against the virtual mouse: hot-plug, selection, listeners and the receiver's
// connection rules.
#include "PresenceFixture.h"

#include "device/virtual/VirtualBleBridge.h"

namespace zor::test {
namespace {

TEST_F(PresenceTest, ProfileKeyGivesOneMessagePerReleaseAndNoneWhileHeld) {
    auto mouse = std::make_shared<VirtualMouse>();
    PlugIn(mouse);
    ASSERT_EQ(presence.RunningListeners(), 1);

    mouse->Press(MouseButton::Profile);
    // A DPI click after the press: once its message is in, the press has been handled.
    mouse->Click(MouseButton::Dpi);
    ASSERT_TRUE(WaitFor(kMsgDeviceDpiChanged, 1));
    EXPECT_EQ(Count(kMsgDeviceProfileChanged), 0u);

    mouse->Release(MouseButton::Profile);
    ASSERT_TRUE(WaitFor(kMsgDeviceProfileChanged, 1));
    const auto profile = sink.MessagesOf(kMsgDeviceProfileChanged).front();
    EXPECT_EQ(profile.wParam, 1 + 256 * kUiProfileKey);
    EXPECT_EQ(profile.lParam, 0);
    EXPECT_FALSE(profile.sent);

    mouse->Click(MouseButton::Profile);
    ASSERT_TRUE(WaitFor(kMsgDeviceProfileChanged, 2));
    mouse->Click(MouseButton::Dpi);
    ASSERT_TRUE(WaitFor(kMsgDeviceDpiChanged, 2));
    ASSERT_TRUE(presence.Queue().WaitIdle(kWait));
    EXPECT_EQ(Count(kMsgDeviceProfileChanged), 2u);
    EXPECT_EQ(sink.MessagesOf(kMsgDeviceProfileChanged)[1].wParam & 0xFF, 2);
}

TEST_F(PresenceTest, LightingAndRateButtonsAreSentAndADpiStepRaisesThePopUp) {
    auto mouse = std::make_shared<VirtualMouse>();
    PlugIn(mouse);
    mouse->Click(MouseButton::Lighting);
    ASSERT_TRUE(WaitFor(kMsgDeviceLightChanged, 1));
    EXPECT_EQ(sink.MessagesOf(kMsgDeviceLightChanged)[0].wParam, (kUiLightingKey << 8) | 0x82);
    EXPECT_TRUE(sink.MessagesOf(kMsgDeviceLightChanged)[0].sent);
    mouse->Click(MouseButton::ReportRate);
    ASSERT_TRUE(WaitFor(kMsgDeviceRateChanged, 1));
    EXPECT_EQ(sink.MessagesOf(kMsgDeviceRateChanged)[0].wParam, 8 + 256 * kUiRateKey);
    // The DPI value of these reports did not change: no pop-up yet. A DPI step changes it.
    EXPECT_EQ(Count(kMsgDeviceStageSwitch), 0u);
    mouse->Click(MouseButton::Dpi);
    ASSERT_TRUE(WaitFor(kMsgDeviceStageSwitch, 1));
}

TEST_F(PresenceTest, UnplugEndsTheListenerAndClosesTheHandles) {
    auto mouse = std::make_shared<VirtualMouse>();
    PlugIn(mouse);
    const auto input = entries[0].inputHandle;
    const auto feature = entries[0].featureHandle;
    ASSERT_TRUE(input && feature);
    ASSERT_EQ(link.featureHandle, feature);

    bus.Detach(mouse);
    EXPECT_TRUE(HandleChanges());
    EXPECT_FALSE(entries[0].found);
    EXPECT_TRUE(entries[0].devicePath.empty());
    EXPECT_EQ(entries[0].report7Value, 255);
    EXPECT_FALSE(input->IsOpen());
    EXPECT_FALSE(feature->IsOpen());
    EXPECT_EQ(link.featureHandle, nullptr);
    EXPECT_EQ(presence.RunningListeners(), 0);

    // Plugged in again, the mouse is found and heard again.
    PlugIn(mouse);
    EXPECT_TRUE(entries[0].found);
    EXPECT_EQ(presence.RunningListeners(), 1);
    mouse->Click(MouseButton::Profile);
    EXPECT_TRUE(WaitFor(kMsgDeviceProfileChanged, 1));
}

TEST_F(PresenceTest, UnpluggingOneInterfaceOfAReceiverThatKeepsItsCollectionsKeepsTheEntry) {
    auto mouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Receiver);
    auto receiver = std::make_shared<WrappedMouse>(mouse, HidBusType::Usb, "", true);
    PlugIn(receiver);
    ASSERT_TRUE(entries[1].found);
    ASSERT_EQ(changes.size(), 0u);

    bus.DetachInterface(receiver, 2);  // the keyboard interface
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_FALSE(HandleChanges());
    EXPECT_TRUE(entries[1].found);
    EXPECT_EQ(presence.RunningListeners(), 1);
    mouse->Click(MouseButton::Profile);
    EXPECT_TRUE(WaitFor(kMsgDeviceProfileChanged, 1));
}

// The window restarts listeners only when presence reports a change; a receiver's other
// interface leaving is none, so the running listener must go on hearing the mouse.
TEST_F(PresenceTest, AReceiverInterfaceLeavingKeepsTheListenerWithoutARestart) {
    auto mouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Receiver);
    auto receiver = std::make_shared<WrappedMouse>(mouse, HidBusType::Usb, "", true);
    PlugIn(receiver);
    ASSERT_TRUE(entries[1].found);
    const auto input = entries[1].inputHandle;

    bus.DetachInterface(receiver, 2);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_FALSE(presence.OnDeviceChange(changes.front()));
    changes.clear();
    EXPECT_EQ(entries[1].inputHandle, input);
    EXPECT_TRUE(input->IsOpen());
    mouse->Click(MouseButton::Lighting);
    EXPECT_TRUE(WaitFor(kMsgDeviceLightChanged, 1));
    EXPECT_EQ(presence.RunningListeners(), 1);
}

TEST_F(PresenceTest, AutomaticSelectionPrefersTheCableAndReportsTheConnection) {
    presence.AutoSelect();
    EXPECT_EQ(presence.Selected(), -1);
    EXPECT_EQ(presence.ConnectionKind(), kConnectionCable);
    EXPECT_EQ(presence.ReceiverState(), 0);
    ASSERT_EQ(Count(kMsgReadDeviceState), 1u);
    EXPECT_EQ(sink.MessagesOf(kMsgReadDeviceState)[0].lParam, 1);

    auto receiverMouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Receiver);
    PlugIn(receiverMouse);
    EXPECT_EQ(presence.Selected(), 1);
    EXPECT_EQ(presence.ConnectionKind(), kConnectionReceiver);
    EXPECT_EQ(link.featureHandle, entries[1].featureHandle);

    auto cableMouse = std::make_shared<VirtualMouse>();
    PlugIn(cableMouse);
    EXPECT_EQ(presence.Selected(), 0);
    EXPECT_EQ(presence.ReceiverState(), 1);
    EXPECT_EQ(link.inputHandle, entries[0].inputHandle);
    EXPECT_EQ(presence.RunningListeners(), 2);

    EXPECT_EQ(ConnectionIcon(true, kConnectionCable, 0), "/Home/bluetooth.png");
    EXPECT_EQ(ConnectionIcon(false, kConnectionCable, 0), "/Home/UsbConnect.png");
    EXPECT_EQ(ConnectionIcon(false, kConnectionReceiver, 1), "/Home/2.4GConnect.png");
    EXPECT_EQ(ConnectionIcon(false, kConnectionReceiver, 0), "/Home/2.4GNoConnect.png");
    EXPECT_EQ(ConnectionIcon(false, kConnectionReceiver, 7), "");
}

TEST_F(PresenceTest, ReceiverThatLosesItsMouseReportsItAndTriesBle) {
    auto mouse = std::make_shared<VirtualMouse>(VirtualLinkKind::Receiver);
    VirtualBleBridge bridge(mouse);
    presence.AttachBle(&bridge, "Zor MouseA BLE");
    PlugIn(mouse);
    ASSERT_EQ(presence.ReceiverState(), 0);  // nothing reported yet
    sink.Clear();

    mouse->EmitStatusReport();  // link byte 1
    ASSERT_TRUE(WaitFor(kMsgReadDeviceState, 1));
    EXPECT_EQ(presence.ReceiverState(), 1);
    EXPECT_EQ(sink.MessagesOf(kMsgReadDeviceState)[0].wParam, 1);
    EXPECT_TRUE(sink.MessagesOf(kMsgReadDeviceState)[0].sent);

    mouse->DropLink();
    ASSERT_TRUE(WaitFor(kMsgReadDeviceState, 2));
    EXPECT_EQ(presence.ReceiverState(), 0);
    // The fall-back connect attempt reports through the bridge's events.
    ASSERT_TRUE(WaitFor(kMsgBleEvent, 1));
    EXPECT_EQ(sink.MessagesOf(kMsgBleEvent)[0].lParam, kBleEventLinkUp);
    EXPECT_TRUE(presence.BleConnecting());
    presence.HandleBleEvent(kBleEventLinkUp, "");
    EXPECT_FALSE(presence.BleConnecting());
    EXPECT_EQ(link.bleMode.load(), 1);
    presence.AttachBle(nullptr, "");
}

TEST_F(PresenceTest, CableReportMarksTheMouseLinkedOnce) {
    auto mouse = std::make_shared<VirtualMouse>();
    bus.Attach(mouse);
    for (const auto& e : changes) presence.OnDeviceChange(e);
    changes.clear();
    presence.StartListeners();  // no selection: the receiver state is still 0
    mouse->EmitStatusReport();
    mouse->EmitStatusReport();
    ASSERT_TRUE(WaitFor(kMsgReadDeviceState, 1));
    mouse->Click(MouseButton::Profile);
    ASSERT_TRUE(WaitFor(kMsgDeviceProfileChanged, 1));
    const auto reads = sink.MessagesOf(kMsgReadDeviceState);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].wParam, 1);
    EXPECT_EQ(reads[0].lParam, 0);
    EXPECT_EQ(presence.ReceiverState(), 1);
}

TEST_F(PresenceTest, ArrivalOfAnUnknownDeviceChangesNothing) {
    EXPECT_FALSE(presence.OnArrival(0x1234, 0x5678));
    EXPECT_FALSE(presence.OnRemoval(kVirtualVendorId, kVirtualCableProductId));
    EXPECT_FALSE(entries[0].found || entries[1].found);
}

}  // namespace
}  // namespace zor::test
