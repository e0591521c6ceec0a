// The macro stream: code translation, every event form byte for byte, the 512-byte limit,
// chunked writes, the read-back and the recorder's length estimate.
#include <gtest/gtest.h>

#include "WireFixture.h"
#include "device/MacroStream.h"

namespace zor::test {
namespace {

struct Event {
    std::uint8_t state;
    std::uint8_t code;
    std::uint32_t delay;
    std::int16_t x = 0;
    std::int16_t y = 0;
};

MacroDeviceBlock Block(std::initializer_list<Event> events, std::uint16_t repeat = 1) {
    MacroDeviceBlock block{};
    block.macRpt = repeat;
    for (const Event& e : events) {
        const std::size_t i = block.num++;
        block.macSta[i] = e.state;
        block.macVal[i] = e.code;
        block.macDly[i] = e.delay;
        block.extVal[i] = {e.x, e.y};
    }
    return block;
}

std::vector<std::uint8_t> Events(const MacroDeviceBlock& block) {
    const auto stream = BuildMacroStream(block);
    EXPECT_TRUE(stream.has_value());
    if (!stream) return {};
    EXPECT_EQ((*stream)[2] | ((*stream)[3] << 8), static_cast<int>(stream->size()) - 4);
    return std::vector<std::uint8_t>(stream->begin() + 4, stream->end());
}

using Bytes = std::vector<std::uint8_t>;
using MacroSlotTest = WireTest;

TEST(MacroStreamTest, ApplicationCodesBecomeDeviceCodesOnACopy) {
    MacroDeviceBlock block = Block({{1, 241, 0},
                                    {1, 242, 0},
                                    {1, 243, 0},
                                    {1, 244, 0},
                                    {1, 245, 0},
                                    {3, 246, 0},
                                    {1, 248, 0},
                                    {1, 4, 0},
                                    {1, 231, 0},
                                    {13, 249, 0}});
    block.macVal[10] = 241;  // beyond num: not an event
    const MacroDeviceBlock device = TranslateCodes(block);
    const Bytes expected = {232, 234, 233, 235, 236, 254, 253, 4, 231, 249, 241};
    EXPECT_EQ(Bytes(device.macVal.begin(), device.macVal.begin() + 11), expected);
    EXPECT_EQ(block.macVal[0], 241);
}

TEST(MacroStreamTest, MacroWithoutEventsIsRepeatCountAndZeroLength) {
    const auto stream = BuildMacroStream(Block({}, 0x0203));
    ASSERT_TRUE(stream);
    EXPECT_EQ(*stream, (Bytes{0x03, 0x02, 0x00, 0x00}));
}

TEST(MacroStreamTest, KeyEventForms) {
    EXPECT_EQ(Events(Block({{1, 4, 100}, {2, 4, 20}})), (Bytes{0x04, 0x64, 0x04, 0x94}));
    EXPECT_EQ(Events(Block({{1, 4, 1000}})), (Bytes{0x04, 0x7F, 0xFF, 0x69, 0x03, 0x00}));
    EXPECT_EQ(Events(Block({{2, 4, 128}})), (Bytes{0x04, 0xFF, 0xFF, 0x01, 0x00, 0x00}));
    EXPECT_EQ(Events(Block({{1, 232, 127}, {2, 236, 127}})), (Bytes{232, 0x7F, 236, 0xFF}));
}

TEST(MacroStreamTest, PointerMoveSignsComeFromTheQuadrant) {
    EXPECT_EQ(Events(Block({{3, 254, 8, 10, 20}})), (Bytes{0xFE, 0x08, 0xF6, 0xFF, 0xEC, 0xFF}));
    EXPECT_EQ(Events(Block({{4, 254, 0, 1, 2}})), (Bytes{0xFE, 0, 0xFF, 0xFF, 0x02, 0x00}));
    EXPECT_EQ(Events(Block({{5, 254, 0, 1, 2}})), (Bytes{0xFE, 0, 0x01, 0x00, 0xFE, 0xFF}));
    EXPECT_EQ(Events(Block({{6, 254, 0, 1, 2}})), (Bytes{0xFE, 0, 0x01, 0x00, 0x02, 0x00}));
    EXPECT_EQ(Events(Block({{6, 254, 300, 1, 2}})),
              (Bytes{0xFE, 0xFF, 0x01, 0x00, 0x02, 0x00, 0xFF, 0x2D, 0x00, 0x00}));
}

TEST(MacroStreamTest, DpiEventForms) {
    EXPECT_EQ(Events(Block({{1, 253, 300, 2}})), (Bytes{0xFD, 0x02, 0x00, 0xFF, 0xFF, 0x2D, 0x00, 0x00}));
    EXPECT_EQ(Events(Block({{1, 253, 255, 0x102}})), (Bytes{0xFD, 0x02, 0x00, 0xFF}));
}

TEST(MacroStreamTest, DelaysBeyondTwentyFourBitsAreHeldAtTheLargest) {
    EXPECT_EQ(Events(Block({{1, 4, 0xFFFFFFFF}})), (Bytes{0x04, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(MacroStreamTest, EventsWithoutAFormTravelAsTwoBytes) {
    EXPECT_EQ(Events(Block({{13, 249, 5}, {1, 4, 1}})), (Bytes{249, 0x00, 0x04, 0x01}));
}

TEST(MacroStreamTest, EventCountBeyondTheBlockIsCapped) {
    MacroDeviceBlock block = Block({});
    block.num = 60000;
    const auto stream = BuildMacroStream(block);
    ASSERT_FALSE(stream);  // 500 empty-code events: over the limit, but no overrun on the way
}

// Every event form has an even size, so after 512 the next possible length is 514.
TEST_F(MacroSlotTest, StreamOfExactly512BytesIsWrittenInSixteenChunksOneMoreEventIsRefused) {
    MacroDeviceBlock block{};
    block.macRpt = 1;
    block.num = 254;
    for (std::size_t i = 0; i < 254; ++i) {
        block.macSta[i] = 1;
        block.macVal[i] = 4;
    }
    EXPECT_EQ(EncodeMacro(transport, 5, block), 1);
    const auto frames = mouse->Frames();
    ASSERT_EQ(frames.size(), 16u);
    for (std::size_t c = 0; c < 16; ++c) {
        EXPECT_EQ(frames[c][3], 0x08);
        EXPECT_EQ(frames[c][5], 5);
        EXPECT_EQ(frames[c][6] | (frames[c][7] << 8), static_cast<int>(32 * c));
        EXPECT_EQ(frames[c][8], 32);
    }
    EXPECT_EQ(frames[0][11], 0xFC);  // L = 508
    EXPECT_EQ(frames[0][12], 0x01);
    EXPECT_EQ(mouse->State().macros[5][511], 0x00);

    mouse->ClearFrames();
    block.num = 255;
    block.macSta[254] = 1;
    block.macVal[254] = 4;
    EXPECT_EQ(EncodeMacro(transport, 5, block), -1);
    EXPECT_TRUE(mouse->Frames().empty());
}

TEST_F(MacroSlotTest, LastChunkCarriesTheRemainderAndSlotsFromSixteenAreRefused) {
    const MacroDeviceBlock block = Block({{1, 4, 1000},
                                          {2, 4, 1000},
                                          {1, 5, 1000},
                                          {2, 5, 1000},
                                          {1, 6, 1000},
                                          {2, 6, 1000}});  // 4 + 36 bytes
    EXPECT_EQ(EncodeMacro(transport, 16, block), 0);
    EXPECT_EQ(EncodeMacro(transport, -1, block), 0);
    EXPECT_TRUE(mouse->Frames().empty());
    EXPECT_EQ(EncodeMacro(transport, 15, block), 1);
    const auto frames = mouse->Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1][6], 32);
    EXPECT_EQ(frames[1][8], 8);
}

TEST_F(MacroSlotTest, ChunkWriteFailuresDoNotStopTheRest) {
    const MacroDeviceBlock block =
        Block({{1, 4, 1000}, {2, 4, 1000}, {1, 5, 1000}, {2, 5, 1000}, {1, 6, 1000}, {2, 6, 1000}});
    link.featureHandle.reset();
    EXPECT_EQ(EncodeMacro(transport, 1, block), 0);
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50, 30, 50}));
}

TEST_F(MacroSlotTest, ReadBackGivesTheEncodedEventsAgain) {
    const MacroDeviceBlock block = TranslateCodes(Block({{1, 4, 100},
                                                         {2, 4, 1000},
                                                         {3, 246, 8, 10, 20},
                                                         {6, 246, 70000, 300, 1},
                                                         {1, 248, 10, 3},
                                                         {1, 248, 5000, 4},
                                                         {1, 241, 0},
                                                         {2, 241, 128},
                                                         {13, 249, 0},
                                                         {1, 231, 127}},
                                                        7));
    ASSERT_EQ(EncodeMacro(transport, 3, block), 1);
    const MacroDeviceBlock back = DecodeMacro(transport, 3);
    EXPECT_EQ(back.macRpt, 7);
    ASSERT_EQ(back.num, 9);  // the lighting event has no form to read back
    const std::size_t from[] = {0, 1, 2, 3, 4, 5, 6, 7, 9};
    for (std::size_t i = 0; i < 9; ++i) {
        const std::size_t j = from[i];
        EXPECT_EQ(back.macVal[i], block.macVal[j]) << i;
        EXPECT_EQ(back.macDly[i], block.macDly[j]) << i;
        if (block.macVal[j] == 254) {
            EXPECT_EQ(back.macSta[i], block.macSta[j]) << i;
            EXPECT_EQ(back.extVal[i], block.extVal[j]) << i;
        } else if (block.macVal[j] == 253) {
            EXPECT_EQ(back.extVal[i][0], block.extVal[j][0]) << i;
        } else {
            EXPECT_EQ(back.macSta[i], block.macSta[j]) << i;
        }
    }
    MacroDeviceBlock withoutLighting = block;
    withoutLighting.macVal[8] = withoutLighting.macVal[9];
    withoutLighting.macSta[8] = withoutLighting.macSta[9];
    withoutLighting.macDly[8] = withoutLighting.macDly[9];
    withoutLighting.num = 9;
    EXPECT_EQ(BuildMacroStream(back), BuildMacroStream(withoutLighting).value());
}

TEST_F(MacroSlotTest, ReadBackOfAnImpossibleLengthIsAnEmptyBlock) {
    for (int length : {509, 0xFFFF}) {
        VirtualMouseState s = mouse->State();
        s.macros[2][0] = 1;
        s.macros[2][2] = static_cast<std::uint8_t>(length & 0xFF);
        s.macros[2][3] = static_cast<std::uint8_t>(length >> 8);
        s.macros[2][4] = 4;
        mouse->SetState(s);
        const MacroDeviceBlock back = DecodeMacro(transport, 2);
        EXPECT_EQ(back.num, 0);
        EXPECT_EQ(back.macRpt, 0);
    }
    // 508 + 4 = 512: sixteen chunks are fine.
    VirtualMouseState s = mouse->State();
    s.macros[2][2] = 0xFC;
    s.macros[2][3] = 0x01;
    mouse->SetState(s);
    mouse->ClearFrames();
    EXPECT_EQ(DecodeMacro(transport, 2).macRpt, 1);
    EXPECT_EQ(mouse->Frames().size(), 16u);
}

TEST_F(MacroSlotTest, ReadBackGivesUpAfterFiveSilentTries) {
    mouse->SetReplyMode(ReplyMode::Nothing);
    EXPECT_EQ(DecodeMacro(transport, 0).num, 0);
    EXPECT_EQ(mouse->Frames().size(), 5u);
    EXPECT_EQ(mouse->Frames()[0], MakeReport(0x88, 1, 0, 0, {}, 32));
}

TEST(MacroStreamTest, ParsingTruncatedFormsNeverReadsPastTheEventArea) {
    // Each stream announces fewer event bytes than its last form needs.
    const std::pair<Bytes, int> cases[] = {
        {{1, 0, 1, 0, 0x04}, 0},
        {{1, 0, 3, 0, 0x04, 0x7F, 0xFF}, 1},  // the long form does not fit: read as the short one
        {{1, 0, 5, 0, 0xFE, 0x08, 0x01, 0x00, 0x02}, 0},
        {{1, 0, 3, 0, 0xFD, 0x02, 0x00}, 0},
        {{1, 0, 1, 0, 0x99}, 0},
    };
    for (const auto& [stream, events] : cases) {
        const MacroDeviceBlock block = ParseMacroStream(stream);
        EXPECT_EQ(block.num, events);
        if (events == 1) {
            EXPECT_EQ(block.macDly[0], 127u);
        }
    }
    EXPECT_EQ(ParseMacroStream(Bytes{1, 0}).num, 0);
}

TEST(MacroStreamTest, EstimateIsTwoForNothingAndOtherwiseTheEncodedLength) {
    EXPECT_EQ(EstimateStreamLength(Block({})), 2);
    EXPECT_EQ(EstimateStreamLength(Block({{1, 4, 5}})), 6);
    const MacroDeviceBlock mixed = Block({{1, 4, 200},
                                          {1, 241, 3},
                                          {2, 241, 300},
                                          {3, 246, 5, 1, 1},
                                          {5, 246, 500, 1, 1},
                                          {1, 248, 0, 2},
                                          {1, 248, 900, 2},
                                          {13, 249, 0}});
    EXPECT_EQ(EstimateStreamLength(mixed), static_cast<int>(BuildMacroStream(TranslateCodes(mixed))->size()));
    MacroDeviceBlock full{};
    full.num = 300;
    for (std::size_t i = 0; i < 300; ++i) full.macVal[i] = 4;
    EXPECT_GT(EstimateStreamLength(full), 500);
}

}  // namespace
}  // namespace zor::test
