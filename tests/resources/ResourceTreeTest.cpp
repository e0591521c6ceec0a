// Checks that every resource file the program reads parses and is consistent with the others:
// the device list and the model folders it names, every model description and its DPI tables,
// the generated package and BLE list in the build tree, and every JSON file of the tree.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "catalog/BleNames.h"
#include "catalog/DeviceList.h"
#include "catalog/FindDev.h"
#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "config/DeviceFeature.h"
#include "support/TempDir.h"

using namespace zor;
namespace fs = std::filesystem;
using zor::test::BuildDir;
using zor::test::ReadFile;
using zor::test::SourceDir;

namespace {

DeviceListResult ShippedDeviceList() {
    return ParseDeviceList(ReadFile(SourceDir() / "res-src" / "Ndevice" / "Ndevice.json"));
}

std::vector<fs::path> ModelFolders() {
    std::vector<fs::path> folders;
    for (const auto& e : fs::directory_iterator(SourceDir() / "res" / "MouseVarn")) {
        // Model folders hold a Config folder; res/MouseVarn also holds shared folders (Language).
        if (e.is_directory() && fs::is_directory(e.path() / "Config")) folders.push_back(e.path());
    }
    return folders;
}

// Chip numbers of the "Chip<c>" sections of a model file.
std::vector<int> ChipSections(const fs::path& iniPath) {
    std::vector<int> chips;
    for (const std::string& line : Split(ReadFile(iniPath), '\n')) {
        const std::string_view text = TrimView(line);
        if (text.rfind("[Chip", 0) == 0 && text.rfind("[ChipReset", 0) != 0) {
            chips.push_back(ParseLeadingInt(text.substr(5)));
        }
    }
    return chips;
}

}  // namespace

TEST(ResourceTree, DeviceListIsConsistent) {
    const DeviceListResult list = ShippedDeviceList();
    ASSERT_TRUE(list.ok) << list.error;
    ASSERT_FALSE(list.entries.empty());
    std::set<std::pair<std::uint32_t, std::uint32_t>> ids;
    for (const DeviceEntry& e : list.entries) {
        SCOPED_TRACE(e.displayName);
        EXPECT_FALSE(e.displayName.empty());
        EXPECT_FALSE(e.productIds.empty());
        EXPECT_EQ(e.productIds.size(), e.vendorIds.size()) << "Pid and Vid lists pair up";
        EXPECT_EQ(e.productIds.size(), e.names.size()) << "one Ser name per id pair";
        for (std::size_t i = 0; i < e.productIds.size(); ++i) {
            EXPECT_NE(e.productIds[i], 0u);
            EXPECT_LE(e.productIds[i], 0xFFFFu);
            EXPECT_LE(e.vendorIds[i], 0xFFFFu);
            EXPECT_TRUE(ids.insert({e.vendorIds[i], e.productIds[i]}).second) << "id pair listed twice";
        }
        EXPECT_TRUE(fs::is_regular_file(SourceDir() / "res" / "MouseVarn" / e.devFolder / "Config" / "DeviceFeature.ini"))
            << "DevFolder " << e.devFolder << " has no description";
        for (const std::string& image : {e.normalImage, e.hotImage, e.pushedImage}) {
            EXPECT_TRUE(fs::is_regular_file(SourceDir() / "res-src" / "Ndevice" / image)) << image;
        }
        EXPECT_GT(e.width, 0);
        EXPECT_GT(e.height, 0);
    }
    // The first entry is the cable connection, the receiver follows.
    EXPECT_EQ(list.entries.front().isUsb, 1);
}

TEST(ResourceTree, EveryModelDescriptionLoadsWithUsableTables) {
    const auto folders = ModelFolders();
    ASSERT_FALSE(folders.empty());
    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.filename().string());
        const fs::path ini = DeviceFeaturePath(folder);
        ASSERT_TRUE(fs::is_regular_file(ini));
        IniFile file(ini);
        EXPECT_FALSE(file.GetString("Init", "PRODUCTNAME").empty());
        const std::vector<int> chips = ChipSections(ini);
        ASSERT_FALSE(chips.empty()) << "no Chip table";
        for (int chip : chips) {
            SCOPED_TRACE("chip " + std::to_string(chip));
            DeviceFeatureRecord record;
            ASSERT_TRUE(LoadDeviceFeature(record, folder, chip));
            EXPECT_GE(record.writeTimes, 1);
            EXPECT_GT(record.keyCount, 0);
            EXPECT_LE(record.keyCount, kMaxKeyCount);
            EXPECT_GT(record.uiDpiGearCount, 0);
            EXPECT_LE(record.uiDpiGearCount, 8);
            ASSERT_FALSE(record.dpiText.empty()) << "empty DPI table";
            EXPECT_EQ(record.dpiLineCount, static_cast<int>(record.dpiText.size()));
            int previous = 0;
            for (const auto& [line, text] : record.dpiText) {
                const int value = ParseLeadingInt(text);
                EXPECT_GT(value, previous) << "labels rise with the line number (line " << line << ")";
                EXPECT_LE(value, record.dpiMax);
                previous = value;
            }
            for (int i = 0; i < record.keyCount; ++i) {
                EXPECT_GE(record.keySlots[static_cast<std::size_t>(i)], 1);
                EXPECT_LE(record.keySlots[static_cast<std::size_t>(i)], record.keySlotCount);
            }
            const ChipResetLines reset = LoadChipReset(record, folder, chip);
            for (const auto& profile : reset) {
                for (int line : profile) EXPECT_GT(line, 0) << "a ChipReset value is not a DPI label";
            }
        }
        DeviceFeatureRecord any;
        LoadDeviceFeature(any, folder, chips.front());
        EXPECT_NE(any.ledModeMask, 0) << "no lighting mode offered";
    }
}

TEST(ResourceTree, GeneratedPackageAndBleListMatchTheirSources) {
    const fs::path icons = BuildDir() / "res" / "Home" / "Icons";
    ASSERT_TRUE(fs::is_regular_file(icons / "Ndevice.zip")) << "the build makes the device package";
    ASSERT_TRUE(fs::is_regular_file(icons / "ble.json")) << "the build encrypts the BLE list";

    // Load the catalog from a copy of the build's program folder, as the program would.
    zor::test::TempDir home;
    fs::copy(BuildDir() / "res", home / "res", fs::copy_options::recursive);
    fs::remove(home / "res" / "Home" / "Icons" / "Ndevice.json");
    FindDev catalog(home.path());
    catalog.LoadDeviceList();
    ASSERT_TRUE(catalog.listLoaded()) << catalog.listError();
    const DeviceListResult source = ShippedDeviceList();
    ASSERT_EQ(catalog.entries().size(), source.entries.size());
    for (std::size_t i = 0; i < source.entries.size(); ++i) {
        EXPECT_EQ(catalog.entries()[i].displayName, source.entries[i].displayName);
        EXPECT_FALSE(catalog.entries()[i].productName.empty()) << "PRODUCTNAME read from the model";
        EXPECT_TRUE(fs::is_regular_file(home / "res" / "Home" / "Icons" / source.entries[i].normalImage));
    }

    const auto plain = nlohmann::json::parse(ReadFile(SourceDir() / "res-src" / "ble-names.json"));
    std::vector<std::string> names;
    for (const auto& n : plain.at("bleString")) names.push_back(n.get<std::string>());
    EXPECT_EQ(catalog.bleNames(), Join(names, ","));
    EXPECT_FALSE(fs::exists(home / "res" / "Home" / "Icons" / "ble.json.temp"));
}

TEST(ResourceTree, EveryJsonFileParses) {
    int checked = 0;
    for (const fs::path& root : {SourceDir() / "res", SourceDir() / "res-src"}) {
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            const std::string ext = ToLowerAscii(e.path().extension().string());
            if (!e.is_regular_file() || (ext != ".json" && ext != ".config")) continue;
            SCOPED_TRACE(e.path().string());
            std::string text;
            ASSERT_TRUE(ReadFileBytes(e.path(), text));
            EXPECT_TRUE(nlohmann::json::accept(text));
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}
