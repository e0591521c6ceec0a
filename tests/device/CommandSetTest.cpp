// The command set against the virtual mouse: byte-exact frames of every op, reads with their
// retries, the per-setting writes, the full apply and the read-back of the current state.
#include <gtest/gtest.h>

#include "device/BleText.h"

#include <map>

#include "WireFixture.h"
#include "common/Colour.h"
#include "device/MacroStream.h"
#include "device/virtual/VirtualBleBridge.h"

namespace zor::test {
namespace {

MacroDeviceBlock TwoKeyMacro(std::uint8_t rptType = 0, std::uint16_t repeat = 3) {
    MacroDeviceBlock block{};
    block.rptType = rptType;
    block.macRpt = repeat;
    block.num = 2;
    block.macSta[0] = kMacStatePress;
    block.macVal[0] = 4;
    block.macDly[0] = 100;
    block.macSta[1] = kMacStateRelease;
    block.macVal[1] = kMacCodeLeftButton;  // translated to device code 232 on the way
    block.macDly[1] = 20;
    return block;
}

class FakeMacros final : public PredefinedMacros, public MacroLibrary {
public:
    std::optional<MacroDeviceBlock> PredefinedMacro(int k) const override {
        const auto it = predefined.find(k);
        return it == predefined.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<MacroDeviceBlock> FindMacro(const std::string& g, const std::string& m) const override {
        const auto it = library.find(g + "/" + m);
        return it == library.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<int, MacroDeviceBlock> predefined;
    std::map<std::string, MacroDeviceBlock> library;
};

class CommandSetTest : public WireTest {
protected:
    void SetUp() override {
        WireTest::SetUp();
        DeviceModel model;
        model.matchedName = "MouseA";
        model.writeTimes = 4;
        model.chip = 6;
        model.lightingMap = {1, 2, 3, 5, 4, 6, 7, 8, 0, 0, 0, 0, 0, 0};
        commands.SetModel(model);
        commands.SetSettings(&settings);
        commands.SetMacroSources(&macros, &macros);

        settings.profileIds = {0x1111, 0x2222, 0x1234, 0x4444};
        ProfileSettings& p = settings.profiles[1];
        const int values[] = {400, 800, 1600, 3200, 6400, 0, 0, 0};
        for (std::size_t g = 0; g < 8; ++g) {
            p.gears[g].value = values[g];
            p.gears[g].enabled = g < 5;
            p.gears[g].attribute = static_cast<int>(g % 4);
            p.gears[g].colour = 0x112233 + static_cast<std::uint32_t>(g);
        }
        p.currentGear = 2;
        p.reportRateIndex = 1;
        for (std::size_t k = 0; k < kKeyCount; ++k) p.keys[k].function = 1;
        p.keys[2].function = 256 + 0x41;  // the A key
        p.keys[16].function = 27;
        p.keys[17].function = 28;
        p.lighting.modeNumber = 5;
        p.lighting.headerValue = 0x0302;
        p.lighting.params = {9, 8, 7, 6};
        p.lighting.colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x112233, 0, 0, 0x010203};
        settings.power.sleepMinutes = 10;
        settings.power.straightLineCorrectEn = 1;
        settings.power.rippleCtrlEn = 1;
        settings.power.lodHeight = 1;
        settings.power.shortPress = 3;
        settings.power.moveWakeEn = 1;
    }

    // Counts the frames of each command and argument.
    std::map<std::pair<int, int>, int> Census() const {
        std::map<std::pair<int, int>, int> count;
        for (const Report& r : mouse->Frames()) ++count[{r[3], r[5]}];
        return count;
    }

    SettingsRecord settings;
    FakeMacros macros;
};

// ---- worked examples ------------------------------------------------------------------------

TEST_F(CommandSetTest, ProfileIdentifierIsSentBigEndianAtTwiceTheProfileIndex) {
    EXPECT_EQ(commands.WriteSetting(kOpProfile, 2, kSubProfileId), 1);
    ASSERT_EQ(mouse->Frames().size(), 1u);
    EXPECT_EQ(mouse->Frames()[0], MakeReport(0x02, 1, 1, 4, {0x12, 0x34}));
    EXPECT_EQ(mouse->State().profileIds[2], 0x1234);
}

TEST_F(CommandSetTest, DpiWriteCarriesMaskGearValuesAndAttributes) {
    EXPECT_EQ(commands.WriteSetting(kOpDpi, 1, 0), 1);
    // Attributes 0,1,2,3,0,1,2,3 in two bits per gear.
    const std::vector<std::uint8_t> payload = {0x1F, 3,    0x90, 0x01, 0x20, 0x03, 0x40, 0x06, 0x80, 0x0C,
                                               0x00, 0x19, 0,    0,    0,    0,    0,    0,    0xE4, 0xE4};
    EXPECT_EQ(mouse->Frames().at(0), MakeReport(0x06, 1, 0, 0, payload));
}

TEST_F(CommandSetTest, ColoursGoOnTheWireAsBitsEightToFifteenThenZeroToSevenThenSixteenUp) {
    settings.profiles[1].gears[0].colour = 0x112233;
    commands.WriteSetting(kOpDpiColours, 1, 0);
    const auto payload = Payload(mouse->Frames().at(0));
    ASSERT_EQ(payload.size(), 24u);
    EXPECT_EQ(std::vector<std::uint8_t>(payload.begin(), payload.begin() + 3),
              (std::vector<std::uint8_t>{0x22, 0x33, 0x11}));
}

TEST_F(CommandSetTest, LightingModeByteWithTheSwitchBitSendsHeaderAndBlockAtOffset125) {
    settings.power.lightingSwitch = true;
    EXPECT_EQ(commands.WriteSetting(kOpLighting, 1, 0), 1);
    const auto frames = mouse->Frames();
    ASSERT_EQ(frames.size(), 2u);
    std::vector<std::uint8_t> header(25, 0);
    header[0] = 0x45;
    header[1] = 0x02;
    header[2] = 0x03;
    EXPECT_EQ(frames[0], MakeReport(0x09, 1, 0, 0, header));
    std::vector<std::uint8_t> block = {9,    8,    7,    6,    0x00, 0x00, 0xFF, 0xFF, 0x00,
                                       0x00, 0x00, 0xFF, 0x00, 0x22, 0x33, 0x11, 0,    0,
                                       0,    0,    0,    0,    0x02, 0x03, 0x01};
    EXPECT_EQ(frames[1], MakeReport(0x09, 2, 0, 125, block));
}

TEST_F(CommandSetTest, LightingModeOutsideOneToEightSendsOnlyTheHeaderAndReportsZero) {
    settings.profiles[1].lighting.modeNumber = 9;
    EXPECT_EQ(commands.WriteSetting(kOpLighting, 1, 0), 0);
    EXPECT_EQ(mouse->Frames().size(), 1u);
}

TEST_F(CommandSetTest, KeyboardKeyAndUnlistedFunctionCodes) {
    commands.currentKey = 2;
    commands.WriteSetting(kOpKey, 1, 0);
    EXPECT_EQ(mouse->Frames().at(0), MakeReport(0x04, 1, 0, 8, {0x02, 0x04, 0x00, 0x00}));
    settings.profiles[1].keys[2].function = 7;
    commands.WriteSetting(kOpKey, 1, 0);
    EXPECT_EQ(mouse->Frames().at(1), MakeReport(0x04, 2, 0, 8, {0, 0, 0, 0}));
}

TEST_F(CommandSetTest, KeysOnlyApplySendsEachKeyWriteTimesTimesAndTheTwoCombinationKeysOnce) {
    commands.keysOnly = true;
    commands.keyList = {0, 3};
    EXPECT_EQ(commands.ApplyAll(1), 1);
    const auto census = Census();
    EXPECT_EQ(census.at({0x04, 0}), 8);
    EXPECT_EQ(census.at({0x05, 0}), 2);
    EXPECT_EQ(mouse->Frames().size(), 10u);
    EXPECT_EQ(FramesOf(0x05)[0], MakeReport(0x05, 9, 0, 0, {0x03, 0x01, 0, 0}));
    EXPECT_EQ(FramesOf(0x05)[1], MakeReport(0x05, 10, 0, 4, {0x03, 0x02, 0, 0}));
}

// ---- the full apply -------------------------------------------------------------------------

TEST_F(CommandSetTest, ApplyAllSendsEachWriteWriteTimesTimesInOrder) {
    EXPECT_EQ(commands.ApplyAll(1), 1);
    const auto census = Census();
    const std::map<std::pair<int, int>, int> expected = {
        {{0x02, 2}, 4}, {{0x02, 1}, 4}, {{0x03, 0}, 4}, {{0x04, 0}, 48},  // keys 0..11 only
        {{0x05, 0}, 2}, {{0x06, 0}, 4}, {{0x07, 0}, 4}, {{0x09, 0}, 8},   // header + block
        {{0x02, 3}, 4}, {{0x02, 5}, 4}, {{0x02, 6}, 4}, {{0x0A, 2}, 4},  {{0x0A, 6}, 4},
    };
    EXPECT_EQ(census, expected);
    const auto frames = mouse->Frames();
    ASSERT_EQ(frames.size(), 98u);
    EXPECT_EQ(frames.front()[3], 0x02);
    EXPECT_EQ(frames.front()[5], 2);
    EXPECT_EQ(frames.back()[3], 0x0A);
    EXPECT_EQ(frames.back()[5], 6);
    EXPECT_EQ(mouse->BadFrames(), 0);
    EXPECT_EQ(sleeper.totalMs(), 98 * 80);
}

TEST_F(CommandSetTest, AfterApplyAllTheMouseHoldsTheSettings) {
    macros.library["g/m"] = TwoKeyMacro(1);
    settings.profiles[1].keys[5] = KeyAssignment{130, "g", "m"};
    settings.power.lightingSwitch = true;
    ASSERT_EQ(commands.ApplyAll(1), 1);
    const VirtualMouseState s = mouse->State();
    const ProfileSettings& p = settings.profiles[1];

    EXPECT_EQ(s.activeProfile, 1);
    EXPECT_EQ(s.profileIds[1], 0x2222);
    EXPECT_EQ(s.reportRate, 4);  // UI index 1 of a four-rate model
    for (int k = 0; k <= 11; ++k) {
        const auto code = EncodeKeyFunction(p.keys[static_cast<std::size_t>(k)].function).bytes;
        const std::array<std::uint8_t, 4> stored = {s.keys[4 * k], s.keys[4 * k + 1], s.keys[4 * k + 2],
                                                    s.keys[4 * k + 3]};
        if (k == 5) {
            EXPECT_EQ(stored, (std::array<std::uint8_t, 4>{0x0A, 1, 5, 0}));
        } else {
            EXPECT_EQ(stored, code) << "key " << k;
        }
    }
    const auto stream = BuildMacroStream(TranslateCodes(TwoKeyMacro(1)));
    ASSERT_TRUE(stream);
    EXPECT_TRUE(std::equal(stream->begin(), stream->end(), s.macros[5].begin()));
    EXPECT_EQ((std::array<std::uint8_t, 8>{s.comboKeys[0], s.comboKeys[1], s.comboKeys[2], s.comboKeys[3],
                                           s.comboKeys[4], s.comboKeys[5], s.comboKeys[6], s.comboKeys[7]}),
              (std::array<std::uint8_t, 8>{0x03, 0x01, 0, 0, 0x03, 0x02, 0, 0}));
    EXPECT_EQ(s.dpi[0], 0x1F);
    EXPECT_EQ(s.dpi[1], 3);
    for (std::size_t g = 0; g < 8; ++g) {
        EXPECT_EQ(s.dpi[2 + 2 * g] | (s.dpi[3 + 2 * g] << 8), p.gears[g].value);
        EXPECT_EQ(ColourFromWire({s.dpiColours[3 * g], s.dpiColours[3 * g + 1], s.dpiColours[3 * g + 2]}),
                  p.gears[g].colour);
    }
    EXPECT_EQ(s.lighting[0], 0x45);
    EXPECT_EQ(s.lighting[1] | (s.lighting[2] << 8), 0x0302);
    EXPECT_EQ(s.lighting[125], 9);
    EXPECT_EQ(s.lighting[128], 6);
    EXPECT_EQ(s.sleepTime, 600);
    EXPECT_EQ(s.optionA, 0x03);
    EXPECT_EQ(s.optionB, 2);  // chip 6, lift-off index 1
    EXPECT_EQ(s.params[2], 3);
    EXPECT_EQ(s.params[6], 1);
}

TEST_F(CommandSetTest, ApplyAllReportsFailureWhenTheMouseIsGone) {
    bus.Detach(mouse);
    EXPECT_EQ(commands.ApplyAll(1), 0);
}

TEST_F(CommandSetTest, WriteTimesBelowOneMeansFour) {
    DeviceModel model = commands.Model();
    model.writeTimes = 0;
    commands.SetModel(model);
    commands.keysOnly = true;
    commands.keyList = {0};
    commands.ApplyAll(1);
    EXPECT_EQ(FramesOf(0x04).size(), 4u);
}

TEST_F(CommandSetTest, ApplyOverBleSkipsReportRateAndUserMacroKeys) {
    VirtualBleBridge bridge(mouse);
    link.UseBridge(&bridge);
    bridge.BleConnect("Zor MouseA");
    link.bleMode = 1;
    macros.library["g/m"] = TwoKeyMacro();
    settings.profiles[1].keys[4] = KeyAssignment{125, "g", "m"};
    EXPECT_EQ(commands.ApplyAll(1), 1);
    const auto census = Census();
    EXPECT_EQ(census.count({0x03, 0}), 0u);
    EXPECT_EQ(census.count({0x08, 4}), 0u);
    EXPECT_EQ(census.at({0x04, 0}), 44);  // key 4 skipped
    EXPECT_EQ(census.at({0x05, 0}), 2);
    EXPECT_EQ(bridge.SentTexts().size(), mouse->Frames().size());
}

// ---- single writes and their refusals -------------------------------------------------------

TEST_F(CommandSetTest, WritesThatSendNothing) {
    commands.currentKey = 12;
    EXPECT_EQ(commands.WriteSetting(kOpKey, 1, 0), 0);
    EXPECT_EQ(commands.WriteSetting(kOpProfile, 1, kSubSecondTime), 0);
    EXPECT_EQ(commands.WriteSetting(kOpParams, 1, 3), 0);
    EXPECT_EQ(commands.WriteSetting(kOpParams, 1, 4), 0);
    EXPECT_EQ(commands.WriteSetting(11, 1, 0), 0);
    EXPECT_EQ(commands.WriteSetting(kOpDpi, 4, 0), 0);  // no such profile
    settings.profiles[1].reportRateIndex = 4;           // four-rate model: no fifth rate
    EXPECT_EQ(commands.WriteSetting(kOpReportRate, 1, 0), 0);

    DeviceRequest& r = commands.Request();
    r.op = kOpMacro;
    r.macro = TwoKeyMacro();
    r.macroSlot = 16;
    EXPECT_EQ(commands.WriteRequest(), 0);
    r.macroSlot = 2;
    r.firstTwoSlotsOnly = 1;
    EXPECT_EQ(commands.WriteRequest(), 0);
    r.op = kOpStatus;
    EXPECT_EQ(commands.WriteRequest(), 0);
    EXPECT_TRUE(mouse->Frames().empty());
}

TEST_F(CommandSetTest, SingleByteSettingsUseTheirSubOpAsArgument) {
    commands.WriteSetting(kOpProfile, 1, kSubActiveProfile);
    commands.WriteSetting(kOpProfile, 1, kSubSleepTime);
    commands.WriteSetting(kOpProfile, 1, kSubOptionA);
    commands.WriteSetting(kOpProfile, 1, kSubOptionB);
    commands.WriteSetting(kOpReportRate, 1, 0);
    commands.WriteSetting(kOpParams, 1, 1);
    commands.WriteSetting(kOpParams, 1, 2);
    commands.WriteSetting(kOpParams, 1, 6);
    const auto f = mouse->Frames();
    ASSERT_EQ(f.size(), 8u);
    EXPECT_EQ(f[0], MakeReport(0x02, 1, 2, 0, {1}));
    EXPECT_EQ(f[1], MakeReport(0x02, 2, 3, 0, {0x58, 0x02}));  // 600 s little-endian
    EXPECT_EQ(f[2], MakeReport(0x02, 3, 5, 0, {0x03}));
    EXPECT_EQ(f[3], MakeReport(0x02, 4, 6, 0, {0x02}));
    EXPECT_EQ(f[4], MakeReport(0x03, 5, 0, 0, {0x04}));
    EXPECT_EQ(f[5], MakeReport(0x0A, 6, 1, 0, {21}));
    EXPECT_EQ(f[6], MakeReport(0x0A, 7, 2, 0, {3}));
    EXPECT_EQ(f[7], MakeReport(0x0A, 8, 6, 0, {1}));
}

TEST_F(CommandSetTest, BleQueryAndConnectGoToTheBridge) {
    DeviceRequest& r = commands.Request();
    r.op = kOpBleQuery;
    EXPECT_EQ(commands.WriteRequest(), 0);  // no bridge
    VirtualBleBridge bridge(mouse);
    std::vector<int> events;
    bridge.SetEventHandler([&](int code, const std::string&) { events.push_back(code); });
    link.UseBridge(&bridge);
    r.op = kOpStatus;
    EXPECT_EQ(commands.WriteRequest(), 0);
    EXPECT_EQ(events, std::vector<int>{kBleEventLinkUp});
    r.op = kOpBleQuery;
    EXPECT_EQ(commands.WriteRequest(), 1);
    EXPECT_TRUE(mouse->Frames().empty());
}

// ---- keys and macros ------------------------------------------------------------------------

TEST_F(CommandSetTest, UserMacroKeyGetsItsCodeThenItsStreamInItsOwnSlot) {
    macros.library["g/m"] = TwoKeyMacro(2, 3);
    settings.profiles[1].keys[7] = KeyAssignment{200, "g", "m"};
    commands.currentKey = 7;
    EXPECT_EQ(commands.WriteSetting(kOpKey, 1, 0), 1);
    const auto f = mouse->Frames();
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0], MakeReport(0x04, 1, 0, 28, {0x0A, 2, 7, 0}));
    EXPECT_EQ(f[1], MakeReport(0x08, 2, 7, 0, {0x03, 0x00, 0x04, 0x00, 0x04, 0x64, 0xE8, 0x94}));
}

TEST_F(CommandSetTest, MissingOrEmptyMacroClearsTheKey) {
    settings.profiles[1].keys[1] = KeyAssignment{120, "no", "such"};
    macros.library["g/empty"] = MacroDeviceBlock{};
    settings.profiles[1].keys[2] = KeyAssignment{121, "g", "empty"};
    settings.profiles[1].keys[3].function = 104;  // predefined macro 4: not in the lists
    for (int key : {1, 2, 3}) {
        commands.currentKey = key;
        commands.WriteSetting(kOpKey, 1, 0);
    }
    const auto f = mouse->Frames();
    ASSERT_EQ(f.size(), 3u);
    for (const Report& r : f) EXPECT_EQ(Payload(r), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST_F(CommandSetTest, PredefinedMacroPlayModeComesFromItsId) {
    macros.predefined[2] = TwoKeyMacro(0, 1);
    macros.predefined[3] = TwoKeyMacro(0, 1);
    settings.profiles[1].keys[0].function = 102;
    settings.profiles[1].keys[1].function = 103;
    for (int key : {0, 1}) {
        commands.currentKey = key;
        commands.WriteSetting(kOpKey, 1, 0);
    }
    const auto keys = FramesOf(0x04);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(Payload(keys[0]), (std::vector<std::uint8_t>{0x0A, 1, 0, 0}));
    EXPECT_EQ(Payload(keys[1]), (std::vector<std::uint8_t>{0x0A, 0, 1, 0}));
    EXPECT_EQ(FramesOf(0x08).size(), 2u);
}

TEST_F(CommandSetTest, CombinationKeyMacroPlaysOnceInModeZeroAndHasNoSlotToFill) {
    macros.library["g/m"] = TwoKeyMacro(2, 9);
    settings.profiles[1].keys[17] = KeyAssignment{150, "g", "m"};
    commands.currentKey = 17;
    EXPECT_EQ(commands.WriteSetting(kOpComboKey, 1, 0), 1);
    const auto f = mouse->Frames();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0], MakeReport(0x05, 1, 0, 4, {0x0A, 0, 17, 0}));
}

TEST(KeyCodeTest, EveryListedFunctionHasItsCode) {
    const std::map<int, std::array<std::uint8_t, 4>> table = {
        {0, {0, 0, 0, 0}},
        {1, {1, 1, 0, 0}},
        {3, {1, 2, 0, 0}},
        {2, {1, 4, 0, 0}},
        {4, {1, 8, 0, 0}},
        {5, {1, 0x10, 0, 0}},
        {6, {8, 3, 0, 0}},
        {10, {6, 3, 0, 0}},
        {11, {8, 1, 0, 0}},
        {12, {8, 2, 0, 0}},
        {16, {7, 4, 0, 0}},
        {17, {7, 2, 0, 0}},
        {53, {7, 3, 0, 0}},
        {20, {7, 1, 0, 0}},
        {21, {7, 1, 0, 0}},
        {22, {9, 3, 0, 0}},
        {50, {9, 1, 0, 0}},
        {51, {9, 2, 0, 0}},
        {23, {9, 4, 0, 0}},
        {24, {9, 4, 1, 0}},
        {25, {9, 4, 2, 0}},
        {26, {9, 4, 3, 0}},
        {27, {3, 1, 0, 0}},
        {28, {3, 2, 0, 0}},
        {52, {3, 3, 0, 0}},
        {29, {4, 0x23, 2, 0}},
        {30, {4, 0x83, 1, 0}},
        {31, {4, 0x8A, 1, 0}},
        {38, {4, 0x92, 1, 0}},
        {32, {4, 0xE9, 0, 0}},
        {98, {4, 0xE9, 0, 0}},
        {33, {4, 0xEA, 0, 0}},
        {99, {4, 0xEA, 0, 0}},
        {34, {4, 0xB6, 0, 0}},
        {35, {4, 0xB5, 0, 0}},
        {36, {4, 0xE2, 0, 0}},
        {37, {4, 0xCD, 0, 0}},
        {39, {4, 0xB7, 0, 0}},
        {60, {4, 0x6F, 0, 0}},
        {61, {4, 0x70, 0, 0}},
        {56, {0x0B, 0x81, 0, 0}},
        {57, {0x0B, 1, 0, 0}},
        {58, {5, 1, 0, 0}},
        {59, {5, 0x81, 0, 0}},
        {117, {2, 0x4B, 0, 0}},
        {118, {2, 0x4E, 0, 0}},
        {7, {0, 0, 0, 0}},
        {119, {0, 0, 0, 0}},
        {-5, {0, 0, 0, 0}},
        {260, {0, 0, 0, 0}},
        {256 + 0xE7, {0, 0, 0, 0}},
        // A single key is stored as 256 + its virtual-key code and sent as its HID usage.
        {256 + 0x41, {2, 0x04, 0, 0}},
        {256 + 0x5A, {2, 0x1D, 0, 0}},
        {256 + 0x70, {2, 0x3A, 0, 0}},
        {256 + 0x0D, {2, 0x28, 0, 0}},
        {256 + 0xA3, {2, 0xE4, 0, 0}},
        {256 + 0xA5, {2, 0xE6, 0, 0}},
        {512, {0, 0, 0, 0}},
    };
    for (const auto& [id, bytes] : table) {
        const KeyCode code = EncodeKeyFunction(id);
        EXPECT_EQ(code.bytes, bytes) << "function " << id;
        EXPECT_EQ(code.macro, KeyMacroKind::None) << "function " << id;
    }
    for (int id = 100; id <= 115; ++id) {
        const KeyCode code = EncodeKeyFunction(id);
        EXPECT_EQ(code.macro, KeyMacroKind::Predefined);
        EXPECT_EQ(code.predefinedIndex, id - 100);
        EXPECT_EQ(code.bytes[0], 0x0A);
        EXPECT_EQ(code.bytes[1], id == 102 || id == 111 ? 1 : 0);
    }
    EXPECT_EQ(EncodeKeyFunction(120).macro, KeyMacroKind::User);
    EXPECT_EQ(EncodeKeyFunction(259).macro, KeyMacroKind::User);
    EXPECT_EQ(EncodeKeyFunction(116).macro, KeyMacroKind::None);
    EXPECT_EQ(MacroPlayMode(0), 0);
    EXPECT_EQ(MacroPlayMode(1), 1);
    EXPECT_EQ(MacroPlayMode(2), 2);
    EXPECT_EQ(MacroPlayMode(0x0D), 2);
}

TEST(ReportRateTest, SevenRatesForPeloAndPeluFourForEveryOtherModel) {
    for (const char* name : {"Pelo", "Pelu"}) {
        EXPECT_EQ(ReportRateCount(name), 7);
        EXPECT_EQ(ReportRateCode(name, 0), 64);
        EXPECT_EQ(ReportRateCode(name, 6), 1);
        EXPECT_EQ(ReportRateIndex(name, 16), 2);
    }
    EXPECT_EQ(ReportRateCount("MouseA"), 4);
    EXPECT_EQ(ReportRateCode("MouseA", 0), 8);
    EXPECT_EQ(ReportRateCode("MouseA", 3), 1);
    EXPECT_EQ(ReportRateCode("MouseA", 4), 0);
    EXPECT_EQ(ReportRateCode("pelo", 0), 8);  // names match exactly
    EXPECT_EQ(ReportRateIndex("MouseA", 2), 2);
    EXPECT_EQ(ReportRateIndex("MouseA", 64), 0);
}

TEST(OptionBytesTest, TakeOverPacksSwitchesAndLiftOffByChip) {
    EXPECT_EQ(PackOptionA(1, 0, 1, 1, 12), 0x83);  // chip 12: the jitter switch is bit 1
    EXPECT_EQ(PackOptionA(1, 0, 1, 1, 6), 0x81);
    EXPECT_EQ(PackOptionA(0, 5, 0, 0, 6), 0x02);  // switches count as 0 or 1
    for (int chip : {6, 12}) {
        EXPECT_EQ(PackOptionB(0, chip), 0);
        EXPECT_EQ(PackOptionB(1, chip), 2);
        EXPECT_EQ(PackOptionB(3, chip), 3);
    }
    EXPECT_EQ(PackOptionB(0, 7), 2);
    EXPECT_EQ(PackOptionB(1, 7), 3);
    EXPECT_EQ(PackOptionB(4, 7), 4);
    EXPECT_EQ(PackOptionB(1, 5), 0);
}

// ---- reads ----------------------------------------------------------------------------------

TEST_F(CommandSetTest, ReadsDecodeTheReplyLayouts) {
    VirtualMouseState s = mouse->State();
    s.profileIds = {0x0102, 0xA0B0, 3, 0xFFFF};
    s.activeProfile = 2;
    s.chargeCounter = 9;
    s.batteryPercent = 55;
    s.charging = true;
    s.chip = 12;
    mouse->SetState(s);
    DeviceRequest& r = commands.Request();

    r.op = kOpProfile;
    r.subOp = kSubProfileId;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(r.profileIds, (std::array<std::uint16_t, 4>{0x0102, 0xA0B0, 3, 0xFFFF}));
    EXPECT_EQ(mouse->Frames().back(), MakeReport(0x82, 1, 1, 0, {}, 8));
    r.subOp = kSubActiveProfile;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(r.activeProfile, 2);
    r.subOp = kSubChargeCounter;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(r.chargeCounter, 9);
    r.op = kOpStatus;
    ASSERT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(r.connectionState, 1);
    EXPECT_EQ(r.battery, 0x80 | 55);
    EXPECT_EQ(r.chip, 12);
    EXPECT_EQ(mouse->Frames().back(), MakeReport(0x81, 4, 0, 0, {}, 3));
}

TEST_F(CommandSetTest, ReadWithoutAnswerIsTriedFiveTimes) {
    mouse->SetReplyMode(ReplyMode::Nothing);
    commands.Request().op = kOpDpi;
    EXPECT_EQ(commands.ReadRequest(), 0);
    EXPECT_EQ(FramesOf(0x86).size(), 5u);
    EXPECT_EQ(sleeper.totalMs(), 5 * (30 + 50 + 80));

    mouse->ClearFrames();
    mouse->SetReplyMode(ReplyMode::Fail);
    EXPECT_EQ(commands.ReadRequest(), 0);
    EXPECT_EQ(FramesOf(0x86).size(), 5u);
}

TEST_F(CommandSetTest, FailedReportRateReadStoresZeroAndStillSucceeds) {
    mouse->SetReplyMode(ReplyMode::Nothing);
    DeviceRequest& r = commands.Request();
    r.reportRate = 8;
    r.op = kOpReportRate;
    EXPECT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(r.reportRate, 0);
}

TEST_F(CommandSetTest, FailedReadsKeepThePreviousValues) {
    DeviceRequest& r = commands.Request();
    r.op = kOpDpi;
    ASSERT_EQ(commands.ReadRequest(), 1);
    const auto dpi = r.dpi;
    mouse->SetReplyMode(ReplyMode::Nothing);
    EXPECT_EQ(commands.ReadRequest(), 0);
    EXPECT_EQ(r.dpi, dpi);
}

TEST_F(CommandSetTest, GarbageRepliesAreDecodedWithinBounds) {
    mouse->SetReplyMode(ReplyMode::Garbage);
    DeviceRequest& r = commands.Request();
    for (std::uint8_t op : {kOpStatus, kOpDpi, kOpLighting, kOpReportRate}) {
        r.op = op;
        commands.ReadRequest();
    }
    r.op = kOpMacro;
    r.macroSlot = 0;
    commands.ReadRequest();
    EXPECT_LE(r.macro.num, kMacroMaxEvents);
}

TEST_F(CommandSetTest, CurrentStateMapsLightingGearAndRate) {
    VirtualMouseState s = mouse->State();
    s.lighting[0] = 0x45;        // switch bit set, mode 5 = UI slot 3
    s.lighting[125 + 1] = 0x77;  // second parameter of mode 5
    s.dpi[1] = 4;
    s.reportRate = 2;
    mouse->SetState(s);
    const CurrentState state = commands.ReadCurrentState();
    EXPECT_EQ(state.lightingSlot, 3);
    EXPECT_EQ(state.lightingParam2, 0x77);
    EXPECT_EQ(state.currentGear, 3);
    EXPECT_EQ(state.reportRateIndex, 2);
    // The parameter block is read where it was written, without the switch bit.
    EXPECT_EQ(FramesOf(0x89).at(1), MakeReport(0x89, 2, 0, 125, {}, 25));
}

TEST_F(CommandSetTest, CurrentStateOfASilentMouseIsUnknownEverywhere) {
    mouse->SetReplyMode(ReplyMode::Nothing);
    const CurrentState state = commands.ReadCurrentState();
    EXPECT_EQ(state.lightingSlot, -1);
    EXPECT_EQ(state.currentGear, -1);
    EXPECT_EQ(state.reportRateIndex, -1);
}

TEST_F(CommandSetTest, BleReadsOnlySendAndPauseTheRepliesComeAsEvents) {
    VirtualBleBridge bridge(mouse);
    std::vector<std::pair<int, std::string>> events;
    bridge.SetEventHandler([&](int code, const std::string& text) { events.emplace_back(code, text); });
    link.UseBridge(&bridge);
    bridge.BleConnect("Zor MouseA");
    link.bleMode = 1;
    events.clear();
    DeviceRequest& r = commands.Request();

    r.op = kOpProfile;
    r.subOp = kSubProfileId;
    EXPECT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50, 160}));
    sleeper.clear();
    r.op = kOpDpi;
    EXPECT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(sleeper.pauses(), (std::vector<int>{30, 50, 80}));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].first, 0x606);

    // The main window decodes an event with the same layouts.
    const auto bytes = ParseBleText(events[1].second);
    ASSERT_TRUE(bytes && bytes->size() == 41u);
    commands.StoreReply(kOpDpi, 0, 0, std::span(*bytes).subspan(9));
    EXPECT_EQ(r.dpi[0], 400u);
    EXPECT_EQ(r.currentGear, 1);
}

TEST_F(CommandSetTest, ReportRateReadWaitsForAHidReplyEvenOverBle) {
    VirtualBleBridge bridge(mouse);
    link.UseBridge(&bridge);
    bridge.BleConnect("x");
    link.bleMode = 1;
    // The command goes over the bridge and the reply is awaited on the feature collection, where
    // nothing answers over BLE: five tries, then the stored 0 that reads back as "unknown".
    commands.Request().op = kOpReportRate;
    EXPECT_EQ(commands.ReadRequest(), 1);
    EXPECT_EQ(bridge.SentTexts().size(), 5u);
    EXPECT_EQ(sleeper.totalMs(), 5 * (30 + 50 + 80));
    EXPECT_EQ(commands.Request().reportRate, 0);
    EXPECT_EQ(commands.ReadCurrentState().reportRateIndex, -1);
}

TEST_F(CommandSetTest, CurrentStateOverBleClaimsNothingItHasNotReceived) {
    commands.Request().currentGear = 5;  // left over from an earlier read
    VirtualBleBridge bridge(mouse);
    link.UseBridge(&bridge);
    bridge.BleConnect("x");
    link.bleMode = 1;
    const CurrentState state = commands.ReadCurrentState();
    EXPECT_EQ(state.currentGear, -1);
    EXPECT_EQ(state.lightingSlot, -1);
    EXPECT_EQ(FramesOf(0x86).size(), 1u);  // the read was still asked for
}

}  // namespace
}  // namespace zor::test
