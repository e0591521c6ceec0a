// Replies that come back over BLE, end to end against the virtual mouse's BLE side: the bridge's
// reply events reach the command set through the presence and are decoded into the request
// record exactly as replies on the cable are, so that reads over BLE really read.
#include <gtest/gtest.h>

#include <algorithm>

#include "PresenceFixture.h"
#include "common/Sleeper.h"
#include "device/BleText.h"
#include "device/CommandSet.h"
#include "device/Transport.h"
#include "device/virtual/VirtualBleBridge.h"

namespace zor::test {
namespace {

class BleReplyTest : public PresenceTest {
protected:
    void SetUp() override {
        PresenceTest::SetUp();
        VirtualMouseState s = mouse->State();
        s.profileIds = {0x0102, 0xA0B0, 3, 0xFFFF};
        s.activeProfile = 2;
        s.lighting[0] = 0x45;        // switch bit set, mode 5 = UI slot 3
        s.lighting[125 + 1] = 0x77;  // second parameter of mode 5
        s.dpi[1] = 4;
        mouse->SetState(s);
        bleSide.Attach(mouse);  // powered, but on no bus the presence watches
        DeviceModel model;
        model.lightingMap = {1, 2, 3, 5, 4, 6, 7, 8, 0, 0, 0, 0, 0, 0};
        commands.SetModel(model);
        // The window's part: every 2065 goes back to the presence.
        sink.SetObserver([this](const SinkMessage& m) {
            if (m.message == kMsgBleEvent) presence.HandleBleEvent(static_cast<int>(m.lParam), m.payload);
        });
    }
    void TearDown() override {
        presence.AttachBle(nullptr, "");
        PresenceTest::TearDown();
    }
    void Connect(CommandSet* replies) {
        presence.AttachBle(&bridge, "Zor MouseA BLE", replies);
        ASSERT_TRUE(presence.ConnectBle());
        ASSERT_TRUE(WaitFor(kMsgBleEvent, 1));
        ASSERT_EQ(link.bleMode.load(), 1);
    }
    // The frames sent over the bridge with this command byte.
    std::vector<std::vector<std::uint8_t>> SentWith(std::uint8_t command) const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const std::string& text : bridge.SentTexts()) {
            const auto bytes = ParseBleText(text);
            if (bytes && bytes->size() > kPosCommand && (*bytes)[kPosCommand] == command)
                out.push_back(*bytes);
        }
        return out;
    }

    std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>();
    VirtualBus bleSide;
    VirtualBleBridge bridge{mouse};
    RecordingSleeper sleeper;
    Transport transport{link, sleeper};
    CommandSet commands{transport};
};

TEST_F(BleReplyTest, ReadsOverBleTakeTheirRepliesIntoTheRecord) {
    Connect(&commands);
    DeviceRequest& r = commands.Request();
    r.op = kOpProfile;
    r.subOp = kSubProfileId;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_TRUE(commands.LastReadReplied());
    EXPECT_EQ(r.profileIds, (std::array<std::uint16_t, 4>{0x0102, 0xA0B0, 3, 0xFFFF}));
    r.subOp = kSubActiveProfile;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(r.activeProfile, 2);
    r.op = kOpStatus;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(r.battery, 80);
    EXPECT_EQ(r.chip, 6);
    // The pauses stay the protocol's: a reply does not shorten them.
    sleeper.clear();
    r.op = kOpDpi;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50, 80}));
    EXPECT_EQ(r.currentGear, 4);

    // With the header in, the lighting read goes on to the mode's parameter block, as on the
    // cable, and the current state is known over BLE too.
    const CurrentState state = commands.ReadCurrentState();
    EXPECT_EQ(state.lightingSlot, 3);
    EXPECT_EQ(state.lightingParam2, 0x77);
    EXPECT_EQ(state.currentGear, 3);
    const auto lighting = SentWith(0x89);
    ASSERT_EQ(lighting.size(), 2u);
    EXPECT_EQ(lighting[1][kPosOffsetLow], 125);
    EXPECT_EQ(lighting[1][kPosLength], 25);
    // Every reply still reaches the window as 2065 with its code.
    const auto events = sink.MessagesOf(kMsgBleEvent);
    EXPECT_TRUE(
        std::any_of(events.begin(), events.end(), [](const SinkMessage& m) { return m.lParam == 0x602; }));
}

TEST_F(BleReplyTest, WithoutTheCommandSetOnTheBridgeNothingPassesAsRead) {
    Connect(nullptr);
    DeviceRequest& r = commands.Request();
    r.profileIds = {7, 7, 7, 7};
    r.op = kOpProfile;
    r.subOp = kSubProfileId;
    EXPECT_EQ(commands.ReadRequest(), 1);  // sent, as over BLE every read is
    EXPECT_FALSE(commands.LastReadReplied());
    EXPECT_EQ(r.profileIds, (std::array<std::uint16_t, 4>{7, 7, 7, 7}));
    EXPECT_EQ(commands.ReadCurrentState().currentGear, -1);
    EXPECT_EQ(SentWith(0x89).size(), 1u);  // no block read without the header's mode
}

TEST_F(BleReplyTest, AReplyNobodyWaitsForIsDecodedButLeavesTheRecordAlone) {
    Connect(&commands);
    DeviceRequest& r = commands.Request();
    r.op = kOpProfile;
    r.subOp = kSubProfileId;
    ASSERT_EQ(commands.ReadRequest(), 1);
    const auto ids = r.profileIds;

    // A late copy of the identifiers' reply: decoded with the sub-op its op was last read with.
    const auto events = sink.MessagesOf(kMsgBleEvent);
    const auto reply =
        std::find_if(events.begin(), events.end(), [](const SinkMessage& m) { return m.lParam == 0x602; });
    ASSERT_NE(reply, events.end());
    r.profileIds = {};
    r.subOp = kSubActiveProfile;  // what the record asks for now does not matter
    const auto late = commands.StoreBleReply(static_cast<int>(reply->lParam), reply->payload);
    ASSERT_TRUE(late.has_value());
    EXPECT_FALSE(late->awaited);
    EXPECT_EQ(late->op, kOpProfile);
    EXPECT_EQ(late->subOp, kSubProfileId);
    EXPECT_EQ(late->values.profileIds, ids);
    EXPECT_EQ(r.profileIds, (std::array<std::uint16_t, 4>{}));

    // The status reply as the window shows it.
    const std::string status = "06 00 00 81 05 00 00 00 03 01 B7 0C";
    const auto shown = commands.DecodeBleReply(0x601, status);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->values.battery, 0xB7);
    EXPECT_EQ(shown->values.chip, 12);
    // Other codes and malformed text are no replies.
    EXPECT_FALSE(commands.StoreBleReply(kBleEventBattery, status).has_value());
    EXPECT_FALSE(commands.StoreBleReply(0x601, "06 00 00 81 05 00 00 00 03 01").has_value());
    EXPECT_FALSE(commands.StoreBleReply(0x601, "zz").has_value());
}

}  // namespace
}  // namespace zor::test
