// The payload layouts of the command set: the replies whose bytes no read test pins, and every
// layout written by the command set and read back into a fresh record through the same
// description.
#include <gtest/gtest.h>

#include <vector>

#include "WireFixture.h"
#include "device/CommandPayloads.h"

namespace zor::test {
namespace {

std::array<std::uint8_t, kMaxPayload> Data(std::vector<std::uint8_t> bytes) {
    std::array<std::uint8_t, kMaxPayload> data{};
    std::copy(bytes.begin(), bytes.end(), data.begin());
    return data;
}

TEST(CommandLayoutTest, WireFieldsKeepTheProtocolsByteOrder) {
    wire::Le16 le;
    le.Set(0x1234);
    EXPECT_EQ(le.bytes, (std::array<std::uint8_t, 2>{0x34, 0x12}));
    wire::Be16 be;
    be.Set(0x1234);
    EXPECT_EQ(be.bytes, (std::array<std::uint8_t, 2>{0x12, 0x34}));
    wire::Rgb rgb;
    rgb.Set(0x112233);
    EXPECT_EQ(rgb.bytes, (WireColour{0x22, 0x33, 0x11}));
    EXPECT_EQ(rgb.Get(), 0x112233u);
}

TEST(CommandLayoutTest, SettingRepliesFillTheirOwnFieldOnly) {
    DeviceRequest r;
    CommandSet::DecodeReply(r, kOpProfile, kSubSleepTime, 0, Data({0x58, 0x02}));
    EXPECT_EQ(r.sleepTime, 600);
    CommandSet::DecodeReply(r, kOpProfile, kSubOptionA, 0, Data({0x83}));
    CommandSet::DecodeReply(r, kOpProfile, kSubOptionB, 0, Data({0x02}));
    EXPECT_EQ(r.optionA, 0x83);
    EXPECT_EQ(r.optionB, 0x02);
    CommandSet::DecodeReply(r, kOpParams, 1, 0, Data({21}));
    CommandSet::DecodeReply(r, kOpParams, 2, 0, Data({3}));
    CommandSet::DecodeReply(r, kOpParams, 5, 0, Data({7}));
    CommandSet::DecodeReply(r, kOpParams, 6, 0, Data({1}));
    EXPECT_EQ((std::array{r.valueA, r.valueB, r.valueC, r.valueD}),
              (std::array<std::uint8_t, 4>{21, 3, 7, 1}));
    // Sub-ops without a value, ops without a reply and short data change nothing.
    const DeviceRequest before = r;
    CommandSet::DecodeReply(r, kOpParams, 3, 0, Data({9}));
    CommandSet::DecodeReply(r, kOpProfile, kSubSecondTime, 0, Data({9, 9}));
    CommandSet::DecodeReply(r, kOpDpiColours, 0, 0, Data({9, 9, 9}));
    CommandSet::DecodeReply(r, 11, 0, 0, Data({9}));
    const std::vector<std::uint8_t> shortData = {9, 9};
    CommandSet::DecodeReply(r, kOpProfile, kSubSleepTime, 0, shortData);
    EXPECT_EQ(r.sleepTime, before.sleepTime);
    EXPECT_EQ(r.valueA, before.valueA);
    EXPECT_EQ(r.secondTime, before.secondTime);
    EXPECT_EQ(r.dpiColours, before.dpiColours);
}

TEST(CommandLayoutTest, LightingHeaderAtOffsetZeroParameterBlockAnywhereElse) {
    DeviceRequest r;
    CommandSet::DecodeReply(r, kOpLighting, 0, 0, Data({0x45, 0x02, 0x03, 0xAA}));
    EXPECT_EQ(r.modeByte, 0x45);
    EXPECT_EQ(r.headerValue, 0x0302);
    EXPECT_EQ(r.modeParams, (std::array<std::uint8_t, 4>{}));
    CommandSet::DecodeReply(r, kOpLighting, 0, 125,
                            Data({9,    8,    7,    6, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
                                  0x22, 0x33, 0x11, 0, 0,    0,    0,    0,    0,    0x02, 0x03, 0x01}));
    EXPECT_EQ(r.modeParams, (std::array<std::uint8_t, 4>{9, 8, 7, 6}));
    EXPECT_EQ(r.modeColours, (std::array<std::uint32_t, kModeColours>{0xFF0000, 0x00FF00, 0x0000FF, 0x112233,
                                                                      0, 0, 0x010203}));
    EXPECT_EQ(r.modeByte, 0x45);  // the block leaves the header alone
}

class CommandLayoutWireTest : public WireTest {};

// Each write goes to the virtual mouse; its payload, handed back as a reply, must fill a fresh
// record's fields with the values written.
TEST_F(CommandLayoutWireTest, EveryWrittenLayoutReadsBackIntoTheFieldsItCameFrom) {
    DeviceRequest& w = commands.Request();
    w.profileIds = {0x1111, 0xBEEF, 0x3333, 0x4444};
    w.profileIdIndex = 1;
    w.activeProfile = 2;
    w.sleepTime = 0x1C20;
    w.optionA = 0x81;
    w.optionB = 3;
    w.reportRate = 16;
    w.keyIndex = 5;
    w.keyCode = {0x0A, 0x01, 0x05, 0x00};
    w.gearMask = 0x2D;
    w.currentGear = 4;
    w.dpi = {100, 200, 0x1234, 26000, 50, 60, 70, 0xFFFF};
    w.dpiAttributes = 0xA5C3;
    w.dpiColours = {0x010203, 0xFFFFFF, 0, 0x800000, 0x008000, 0x000080, 0x123456, 0xABCDEF};
    w.modeByte = 0x03;
    w.headerValue = 0xBEAD;
    w.modeParams = {1, 2, 3, 4};
    w.modeColours = {0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666, 0x777777};
    w.valueA = 11;
    w.valueB = 22;
    w.valueC = 33;
    w.valueD = 44;

    struct Case {
        std::uint8_t op;
        std::uint8_t subOp;
        int frames;
    };
    const Case cases[] = {{kOpProfile, kSubActiveProfile, 1},
                          {kOpProfile, kSubSleepTime, 1},
                          {kOpProfile, kSubOptionA, 1},
                          {kOpProfile, kSubOptionB, 1},
                          {kOpReportRate, 0, 1},
                          {kOpKey, 0, 1},
                          {kOpDpi, 0, 1},
                          {kOpLighting, 0, 2},
                          {kOpParams, 1, 1},
                          {kOpParams, 2, 1},
                          {kOpParams, 5, 1},
                          {kOpParams, 6, 1}};
    DeviceRequest read;
    for (const Case& c : cases) {
        mouse->ClearFrames();
        w.op = c.op;
        w.subOp = c.subOp;
        commands.WriteRequest();
        const auto frames = mouse->Frames();
        ASSERT_EQ(static_cast<int>(frames.size()), c.frames) << "op " << int(c.op) << "/" << int(c.subOp);
        for (const Report& f : frames) {
            const CommandFrame frame = CommandFrame::FromBytes(f);
            CommandSet::DecodeReply(read, c.op, c.subOp, frame.Offset(), frame.payload);
        }
    }
    EXPECT_EQ(read.activeProfile, w.activeProfile);
    EXPECT_EQ(read.sleepTime, w.sleepTime);
    EXPECT_EQ(read.optionA, w.optionA);
    EXPECT_EQ(read.optionB, w.optionB);
    EXPECT_EQ(read.reportRate, w.reportRate);
    EXPECT_EQ(read.keyCode, w.keyCode);
    EXPECT_EQ(read.gearMask, w.gearMask);
    EXPECT_EQ(read.currentGear, w.currentGear);
    EXPECT_EQ(read.dpi, w.dpi);
    EXPECT_EQ(read.dpiAttributes, w.dpiAttributes);
    EXPECT_EQ(read.modeByte, w.modeByte);
    EXPECT_EQ(read.headerValue, w.headerValue);
    EXPECT_EQ(read.modeParams, w.modeParams);
    EXPECT_EQ(read.modeColours, w.modeColours);
    EXPECT_EQ((std::array{read.valueA, read.valueB, read.valueC, read.valueD}),
              (std::array{w.valueA, w.valueB, w.valueC, w.valueD}));

    // The identifier goes out alone at its place in the table; the read gives all four.
    mouse->ClearFrames();
    w.op = kOpProfile;
    w.subOp = kSubProfileId;
    commands.WriteRequest();
    ASSERT_EQ(mouse->Frames().size(), 1u);
    EXPECT_EQ(mouse->Frames()[0], MakeReport(0x02, mouse->Frames()[0][4], 1, 2, {0xBE, 0xEF}));
    CommandSet::DecodeReply(read, kOpProfile, kSubProfileId, 0,
                            Data({0x11, 0x11, 0xBE, 0xEF, 0x33, 0x33, 0x44, 0x44}));
    EXPECT_EQ(read.profileIds, w.profileIds);
    // DPI colours are never read back: the write is the only use of their layout.
    mouse->ClearFrames();
    w.op = kOpDpiColours;
    commands.WriteRequest();
    const auto colours = Payload(mouse->Frames().at(0));
    EXPECT_EQ(std::vector<std::uint8_t>(colours.begin(), colours.begin() + 6),
              (std::vector<std::uint8_t>{0x02, 0x03, 0x01, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::vector<std::uint8_t>(colours.end() - 3, colours.end()),
              (std::vector<std::uint8_t>{0xCD, 0xEF, 0xAB}));
}

TEST_F(CommandLayoutWireTest, AnIdentifierIndexOutsideTheFourTablesSendsNothing) {
    DeviceRequest& w = commands.Request();
    w.op = kOpProfile;
    w.subOp = kSubProfileId;
    for (int index : {-1, 4, 1000}) {
        w.profileIdIndex = index;
        EXPECT_EQ(commands.WriteRequest(), 0);
    }
    EXPECT_TRUE(mouse->Frames().empty());
}

}  // namespace
}  // namespace zor::test
