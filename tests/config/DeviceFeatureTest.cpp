// Model description file: reading order and limits, DPI table extension, key slot map,
// chip-reset labels, profile identifiers, and the shipped sample model.
#include "config/DeviceFeature.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <bit>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace zor {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Line {
    std::string text;
    int deviceValue;
    int multiplier;
    bool operator==(const Line&) const = default;
};

std::vector<Line> LinesFrom(const DeviceFeatureRecord& record, int firstLine) {
    std::vector<Line> lines;
    for (auto it = record.dpiText.lower_bound(firstLine); it != record.dpiText.end(); ++it) {
        const int line = it->first;
        lines.push_back({it->second, record.dpiDeviceValue.at(line), record.dpiMultiplier.at(line)});
    }
    return lines;
}

class DeviceFeatureTest : public ::testing::Test {
protected:
    void WriteModel(const std::string& ini) { WriteFile(DeviceFeaturePath(m_dir.path()), ini); }
    DeviceFeatureRecord Load(int chip = 9, bool read = true) {
        DeviceFeatureRecord record;
        EXPECT_EQ(LoadDeviceFeature(record, m_dir.path(), chip), read);
        return record;
    }
    TempDir m_dir;
};

// Eight listed labels 100..800 with device values 10..80, GEAR_STEP 100.
std::string SmallChip(int maxValue) {
    std::string ini = "[Chip9]\r\nDPI_GEAR_NUM=8\r\nGEAR_STEP=100\r\n";
    ini += "GEAR_MAX_VALUE=" + std::to_string(maxValue) + "\r\n";
    for (int k = 1; k <= 8; ++k) {
        ini += std::to_string(k) + "=" + std::to_string(100 * k) + "," + std::to_string(10 * k) + "\r\n";
    }
    return ini;
}

TEST_F(DeviceFeatureTest, WriteTimesBelowOneBecomesFour) {
    WriteModel("[Config]\nLED_MODE_SW_EN=1\n");
    EXPECT_EQ(Load().writeTimes, 4);
    WriteModel("[Config]\nWriteTimes=2\n");
    EXPECT_EQ(Load().writeTimes, 2);
    WriteModel("[Config]\nWriteTimes=-3\n");
    EXPECT_EQ(Load().writeTimes, 4);
}

TEST_F(DeviceFeatureTest, CountsThatDriveLoopsAreBounded) {
    WriteModel("[Config]\nWriteTimes=16\nUI_DPI_GEAR_NUM=8\n[KEYMAP]\nMaxKeyNum=20\n");
    DeviceFeatureRecord record = Load();
    EXPECT_EQ(record.writeTimes, 16);
    EXPECT_EQ(record.uiDpiGearCount, 8);
    EXPECT_EQ(record.keySlotCount, 20);
    WriteModel("[Config]\nWriteTimes=2147483647\nUI_DPI_GEAR_NUM=100000\n[KEYMAP]\nMaxKeyNum=99999\n");
    record = Load();
    EXPECT_EQ(record.writeTimes, kMaxWriteTimes);
    EXPECT_EQ(record.uiDpiGearCount, 8);
    EXPECT_EQ(record.keySlotCount, 20);
    WriteModel("[Config]\nWriteTimes=17\nUI_DPI_GEAR_NUM=-5\n[KEYMAP]\nMaxKeyNum=-1\n");
    record = Load();
    EXPECT_EQ(record.writeTimes, 16);
    EXPECT_EQ(record.uiDpiGearCount, 0);
    EXPECT_EQ(record.keySlotCount, 0);
}

TEST_F(DeviceFeatureTest, LightingMaskHasOneBitPerOfferedMode) {
    WriteModel("[LEDMAP]\nLED3_MAP=5\nLED0_MAP=1\n");
    DeviceFeatureRecord record = Load();
    EXPECT_EQ(record.ledModeMask, 0x11);
    ASSERT_EQ(record.ledModes.size(), 14u);  // slots without a mode are present with 0
    EXPECT_EQ(record.ledModes.at(3), 5);
    EXPECT_EQ(record.ledModes.at(13), 0);

    // Modes that have no bit in the 16-bit mask stay in the map and leave the mask alone.
    WriteModel("[LEDMAP]\nLED0_MAP=16\nLED1_MAP=17\nLED2_MAP=255\nLED3_MAP=-4\n");
    record = Load();
    EXPECT_EQ(record.ledModeMask, 0x8000);
    EXPECT_EQ(record.ledModes.at(2), 255);
}

TEST_F(DeviceFeatureTest, KeyTableLimits) {
    // K16_DEF is both the 16th key default and the first extra default.
    WriteModel(
        "[KEYMAP]\nKeyNum=16\nMaxKeyNum=16\nK16_MAP=16\nK1_DEF=1\n"
        "K16_DEF=27\nK17_DEF=28\nK19_DEF=5\n");
    DeviceFeatureRecord record = Load();
    EXPECT_EQ(record.keyDefaults[15], 27);
    EXPECT_EQ(record.extraKeyDefaults, (std::array<int, 4>{27, 28, 0, 5}));
    EXPECT_EQ(record.keySlots[15], 16);

    // A KeyNum beyond the defaults array is capped: nothing of K17_MAP.. lands in the record.
    WriteModel("[KEYMAP]\nKeyNum=40\nK17_MAP=9\nK20_MAP=9\nK16_DEF=3\n");
    record = Load();
    EXPECT_EQ(record.keyCount, 16);
    EXPECT_EQ(record.keySlots[16], 0);
    EXPECT_EQ(record.keySlots[19], 0);
    EXPECT_EQ(record.keyDefaults[15], 3);
}

TEST_F(DeviceFeatureTest, ReloadForgetsThePreviousModel) {
    WriteModel("[KEYMAP]\nKeyNum=3\nK3_MAP=7\nK3_DEF=12\n" + SmallChip(3200));
    DeviceFeatureRecord record = Load();
    ASSERT_EQ(record.keySlots[2], 7);
    WriteModel("[KEYMAP]\nKeyNum=1\nK1_MAP=1\n[Chip9]\nDPI_GEAR_NUM=1\n1=400,3\n");
    LoadDeviceFeature(record, m_dir.path(), 9);
    EXPECT_EQ(record.keySlots[2], 0);
    EXPECT_EQ(record.keyDefaults[2], 0);
    EXPECT_EQ(LinesFrom(record, 1), (std::vector<Line>{{"400", 3, 0}}));
    EXPECT_EQ(record.dpiLineCount, 1);
}

TEST_F(DeviceFeatureTest, TextsAndIdentifiersAreBounded) {
    WriteModel(
        "[Config]\nRemoteFirmWareVersion=V1.2.3.4567\nRemoteCustomVersion=ABCDEFGHIJKLMNOPQRST\n"
        "DongleFirmWareVersion=D1\n[RANDOM]\nProfile0=65535\nProfile1=65536\nProfile2=-1\nProfile3=77\n"
        "[Chip9]\nDPI_GEAR_NUM=3\n1=\t4\t00\t,\t12\n2=800\n");
    DeviceFeatureRecord record = Load();
    EXPECT_EQ(record.remoteFirmwareVersion, "V1.2.3.4");
    EXPECT_EQ(record.remoteCustomVersion, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(record.dongleFirmwareVersion, "D1");
    EXPECT_EQ(record.profileIds, (std::array<std::uint16_t, 4>{65535, 0, 0, 77}));
    // Tabs are dropped from the label; a missing device value or line reads as 0 / empty.
    EXPECT_EQ(LinesFrom(record, 1), (std::vector<Line>{{"400", 12, 0}, {"800", 0, 0}, {"", 0, 0}}));
}

TEST_F(DeviceFeatureTest, MissingFileGivesDefaults) {
    DeviceFeatureRecord record;
    EXPECT_FALSE(LoadDeviceFeature(record, m_dir.path() / "NoSuchModel", 4));
    EXPECT_EQ(record.writeTimes, 4);
    EXPECT_EQ(record.ledModes.size(), 14u);
    EXPECT_TRUE(record.dpiText.empty());
    EXPECT_EQ(record.keyCount, 0);
}

// A number that does not fit an int would be read as the largest int (a DPI slider up to
// 2147483647, a DPI table walked to its cap): the file is refused, naming section and key, and
// nothing of it is used or written into.
TEST_F(DeviceFeatureTest, NumbersBeyondAnIntRefuseTheFileNamingTheKey) {
    const std::string good = "[KEYMAP]\nKeyNum=1\n" + SmallChip(3200) + "[Chip4]\nDPI_GEAR_NUM=1\n1=400,3\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"GEAR_MAX_VALUE=9223372036854775808", "[Chip9] GEAR_MAX_VALUE = 9223372036854775808"},
        {"2=200,2147483648", "[Chip9] 2 = 2147483648"},
        {"3=-2147483649,30", "[Chip9] 3 = -2147483649"},
    };
    for (const auto& [line, named] : cases) {
        std::string ini = good;
        const std::string key = line.substr(0, line.find('=') + 1);
        ini.replace(ini.find(key), ini.find('\n', ini.find(key)) - ini.find(key), line);
        WriteModel(ini);
        DeviceFeatureRecord record;
        const DescriptionResult read = ReadDeviceFeature(record, m_dir.path(), 9);
        EXPECT_EQ(read.fault, DescriptionFault::OutOfRange) << line;
        EXPECT_NE(read.error.find(named + " is out of range"), std::string::npos) << read.error;
        EXPECT_TRUE(record.dpiText.empty());
        // Another chip's table is checked too before the file is used or written into.
        EXPECT_EQ(ReadDeviceFeature(record, m_dir.path(), 4).fault, DescriptionFault::None);
        EXPECT_EQ(CheckDeviceFeature(m_dir.path()).fault, DescriptionFault::OutOfRange);
        EXPECT_FALSE(SaveProfileId(m_dir.path(), 0, 7));
        EXPECT_EQ(ReadFile(DeviceFeaturePath(m_dir.path())), ini);
    }
    WriteModel("[KEYMAP]\nKeyNum=99999999999\n");
    EXPECT_EQ(Load(9, false).keyCount, 0);
    WriteModel(good);
    EXPECT_TRUE(CheckDeviceFeature(m_dir.path()).ok());
    EXPECT_EQ(Load().keyCount, 1);
}

// Both programs make one check before they use a model: an empty, cut or damaged description,
// or one that is no regular file, is refused with the reason, and never written into.
TEST_F(DeviceFeatureTest, DamagedDescriptionsAreRefusedAndNeverWrittenInto) {
    const fs::path file = DeviceFeaturePath(m_dir.path());
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "not a model description"},
        {"; Zor MouseA model description, and the applicat", "not a model description"},
        {std::string("\x00\xff\xfe\x01garbage\x80", 12), "not a model description"},
        {"[Init]\nMutexName=ZorMouse\n[Config]\nResPath=res_black\n", "no keys ([KEYMAP] KeyNum)"},
        {"[KEYMAP]\nKeyNum=8\n[Chip4]\nGEAR_STEP=50\n", "no DPI table"},
    };
    for (const auto& [text, why] : cases) {
        WriteModel(text);
        const DescriptionResult check = CheckDeviceFeature(m_dir.path());
        EXPECT_EQ(check.fault, DescriptionFault::Damaged) << text;
        EXPECT_NE(check.error.find(file.string()), std::string::npos) << check.error;
        EXPECT_NE(check.error.find(why), std::string::npos) << check.error;
    }
    for (const std::string& text : {std::string(), std::string("garbage\n")}) {
        WriteModel(text);
        EXPECT_FALSE(SaveProfileIds(m_dir.path(), {{0, 7}}));
        EXPECT_FALSE(SaveChipReset(m_dir.path(), 4, {}));
        EXPECT_EQ(ReadFile(file), text);
    }
    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    const DescriptionResult fifo = CheckDeviceFeature(m_dir.path());
    EXPECT_EQ(fifo.fault, DescriptionFault::CannotRead);
    EXPECT_EQ(fifo.readFault, ReadFault::NotRegular);
    EXPECT_FALSE(SaveProfileIds(m_dir.path(), {{0, 7}}));
    EXPECT_TRUE(fs::is_fifo(file));
}

TEST_F(DeviceFeatureTest, DpiTableIsExtendedUpToTheMaximum) {
    // L = 800, C = 80, S = 100.
    // m=1: a = 800/2 = 400, first label > 400 is 500, Z = 2*500 + 2*100 = 1200.
    //   1200/2 = 600 -> c 60: add 1200; 1400/2 = 700 -> 70: add 1400; 1600/2 = 800 -> 80 = C: add 1600,
    // m=2: a = 1600/3 = 533, first label > 533 is 600, Z = 3*600 + 3*100 = 2100.
    //   2100/3 = 700 -> 70: add 2100; 2400/3 = 800 -> 80 = C: add 2400,
    // m=3: a = 2400/4 = 600, first label > 600 is 700, Z = 4*700 + 4*100 = 3200.
    //   3200/4 = 800 -> 80 = C: add 3200, m=4 ends the extension.
    const std::vector<Line> all = {{"1200", 60, 1}, {"1400", 70, 1}, {"1600", 80, 1},
                                   {"2100", 70, 2}, {"2400", 80, 2}, {"3200", 80, 3}};
    WriteModel(SmallChip(3200));
    DeviceFeatureRecord record = Load();
    EXPECT_EQ(LinesFrom(record, 9), all);
    EXPECT_EQ(record.dpiLineCount, 14);
    EXPECT_EQ(LinesFrom(record, 1).front(), (Line{"100", 10, 0}));

    // 3200 is above a maximum of 3000; a much larger maximum stops after multiplier 3.
    WriteModel(SmallChip(3000));
    EXPECT_EQ(LinesFrom(Load(), 9), std::vector<Line>(all.begin(), all.end() - 1));
    WriteModel(SmallChip(100000));
    EXPECT_EQ(LinesFrom(Load(), 9), all);
}

TEST_F(DeviceFeatureTest, DpiExtensionStopsOnAnUnusableBase) {
    // Line 7 (700) has a device value above the last line's 80: after 1200 (base 600) the next
    // base is 700, and the extension must stop there instead of repeating it.
    WriteModel(
        "[Chip9]\nDPI_GEAR_NUM=8\nGEAR_STEP=100\nGEAR_MAX_VALUE=5000\n1=100,10\n2=200,20\n3=300,30\n"
        "4=400,40\n5=500,50\n6=600,60\n7=700,99\n8=800,80\n");
    EXPECT_EQ(LinesFrom(Load(), 9), (std::vector<Line>{{"1200", 60, 1}}));

    // Without a positive step, or without a table, nothing is generated.
    DeviceFeatureRecord record;
    record.dpiMax = 5000;
    EXPECT_EQ(ExtendDpiTable(record), 0);
    record.dpiText = {{1, "100"}, {2, "200"}};
    record.dpiDeviceValue = {{1, 1}, {2, 2}};
    record.dpiMultiplier = {{1, 0}, {2, 0}};
    for (int step : {0, -100}) {
        record.dpiStep = step;
        EXPECT_EQ(ExtendDpiTable(record), 0);
    }
    EXPECT_EQ(record.dpiLineCount, 2);
}

TEST_F(DeviceFeatureTest, HugeLineCountIsCapped) {
    WriteModel("[Chip9]\nDPI_GEAR_NUM=2000000000\nGEAR_STEP=50\nGEAR_MAX_VALUE=1000000\n1=50,1\n");
    DeviceFeatureRecord record = Load();
    EXPECT_EQ(record.dpiLineCount, kMaxDpiLines);
    EXPECT_EQ(record.dpiText.size(), static_cast<std::size_t>(kMaxDpiLines));
}

TEST_F(DeviceFeatureTest, KeySlotMapKeepsTheFirstKeyOfASlot) {
    WriteModel(
        "[KEYMAP]\nKeyNum=2\nK1_MAP=3\nK2_MAP=1\nK4_MAP=3\nK5_MAP=0\nK20_MAP=12\n"
        "[LEDMAP]\nLED13_MAP=9\n");
    std::map<int, int> keys{{99, 99}};
    std::map<int, int> leds{{40, 1}};
    LoadKeySlotMap(m_dir.path(), keys, leds);
    // K20_MAP is read whatever KeyNum says; missing and 0 slots are not slots.
    EXPECT_EQ(keys, (std::map<int, int>{{1, 1}, {3, 0}, {12, 19}}));
    EXPECT_EQ(leds.size(), 14u);
    EXPECT_EQ(leds.at(13), 9);
    EXPECT_EQ(leds.count(40), 0u);
}

TEST_F(DeviceFeatureTest, ChipResetLabelsRoundTrip) {
    WriteModel("; keep me\r\n[ChipReset4]\r\nprofile1=old\r\n" + SmallChip(3200));
    const DeviceFeatureRecord record = Load();
    const ChipResetLabels labels = {{{"100", "200", "300", "400", "500", "600", "700", "800"},
                                     {"1200", "1400", "1600", "2100", "2400", "3200", "100", "100"},
                                     {"400", "450", "", "800", "800", "800", "800", "800"}}};
    ASSERT_TRUE(SaveChipReset(m_dir.path(), 9, labels));
    const std::string file = ReadFile(DeviceFeaturePath(m_dir.path()));
    EXPECT_NE(file.find("profile1=1200,1400,1600,2100,2400,3200,100,100"), std::string::npos);
    EXPECT_NE(file.find("; keep me"), std::string::npos);
    EXPECT_NE(file.find("profile1=old"), std::string::npos);  // other chips untouched

    const ChipResetLines lines = LoadChipReset(record, m_dir.path(), 9);
    EXPECT_EQ(lines[0], (std::array<int, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(lines[1], (std::array<int, 8>{9, 10, 11, 12, 13, 14, 1, 1}));
    // No line is labelled 450, and an empty text selects nothing: both give 0.
    EXPECT_EQ(lines[2], (std::array<int, 8>{4, 0, 0, 8, 8, 8, 8, 8}));

    // A short list or a missing section leaves the remaining gears at 0.
    WriteModel("[ChipReset9]\nprofile0=200,300\n");
    const ChipResetLines shortLines = LoadChipReset(record, m_dir.path(), 9);
    EXPECT_EQ(shortLines[0], (std::array<int, 8>{2, 3, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(shortLines[2], (std::array<int, 8>{}));
}

TEST_F(DeviceFeatureTest, SaveProfileIdChangesOnlyItsLine) {
    WriteModel("[RANDOM]\r\nProfile0=11\r\nProfile1=22\r\n[Config]\r\nWriteTimes=2\r\n");
    ASSERT_TRUE(SaveProfileId(m_dir.path(), 1, 65535));
    ASSERT_TRUE(SaveProfileId(m_dir.path(), 3, 4));
    EXPECT_FALSE(SaveProfileId(m_dir.path(), 4, 9));
    EXPECT_FALSE(SaveProfileId(m_dir.path(), -1, 9));
    const DeviceFeatureRecord record = Load();
    EXPECT_EQ(record.profileIds, (std::array<std::uint16_t, 4>{11, 65535, 0, 4}));
    EXPECT_EQ(record.writeTimes, 2);
    EXPECT_EQ(ReadFile(DeviceFeaturePath(m_dir.path())).find("Profile4"), std::string::npos);
}

TEST_F(DeviceFeatureTest, LedItemListsPerSlot) {
    WriteModel("[LEDEN]\n0=color1, bright\n3=speed,,direction\n5=\n");
    const auto items = LoadLedItems(m_dir.path());
    EXPECT_EQ(items, (std::map<int, std::vector<std::string>>{{0, {"color1", "bright"}},
                                                              {3, {"speed", "direction"}}}));
}

TEST(ShippedModel, MouseALoadsConsistently) {
    const auto folder = test::SourceDir() / "res" / "MouseVarn" / "MouseA";
    std::map<int, int> keys, leds;
    LoadKeySlotMap(folder, keys, leds);
    for (int chip : {4, 6, 7, 12}) {
        SCOPED_TRACE(chip);
        DeviceFeatureRecord record;
        ASSERT_TRUE(LoadDeviceFeature(record, folder, chip));
        EXPECT_EQ(record.keyCount, 8);
        // Eight keys on eight distinct slots, and slot 9 (the report-rate button) beyond them.
        EXPECT_EQ(keys.size(), 9u);
        EXPECT_EQ(keys.count(9) == 1 ? keys.at(9) : -1, 8);
        EXPECT_GE(record.writeTimes, 1);
        EXPECT_EQ(record.uiDpiGearCount, 8);
        EXPECT_EQ(std::popcount(record.ledModeMask), 10);
        EXPECT_EQ(record.ledModes, leds);
        EXPECT_FALSE(record.remoteFirmwareVersion.empty());

        // Labels rise strictly up to the chip's maximum, and every line count agrees.
        ASSERT_GT(record.dpiLineCount, 100);
        EXPECT_EQ(record.dpiText.size(), static_cast<std::size_t>(record.dpiLineCount));
        int previous = 0;
        for (const auto& [line, text] : record.dpiText) {
            EXPECT_GT(std::stoi(text), previous) << "line " << line;
            previous = std::stoi(text);
        }
        EXPECT_LE(previous, record.dpiMax);
        EXPECT_GT(previous, record.dpiMax - 4 * record.dpiStep);

        // Every saved reset label names a line of the table.
        for (const auto& gears : LoadChipReset(record, folder, chip)) {
            for (int line : gears) EXPECT_GT(line, 0);
        }
    }
}

}  // namespace
}  // namespace zor
