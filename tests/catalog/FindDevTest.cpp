#include <gtest/gtest.h>

#include "CatalogTestKit.h"
#include "catalog/BleNames.h"
#include "catalog/DeviceList.h"
#include "catalog/FindDev.h"
#include "common/IniFile.h"

using namespace zor;
using namespace zor::test;

namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<std::uint32_t>;

class FindDevTest : public ::testing::Test {
protected:
    FindDevTest() { std::filesystem::create_directories(icons()); }

    std::filesystem::path icons() const { return m_home / "res/Home/Icons"; }
    std::string log() const { return ReadFile(m_home / "res/file_error.txt"); }

    void packList(const std::string& json) {
        const auto staging = m_home / "staging";
        std::filesystem::remove_all(staging);
        WriteFile(staging / "Ndevice.json", json);
        WriteFile(staging / "tile.svg", "<svg/>");
        std::filesystem::remove(icons() / "Ndevice.zip");
        ASSERT_TRUE(ZipFolder(staging, icons() / "Ndevice.zip", "-D"));
    }
    void writeModel(const std::string& folder, const std::string& productName) {
        WriteFile(m_home / "res/MouseVarn" / folder / "Config/DeviceFeature.ini",
                  "[Init]\r\nPRODUCTNAME=" + productName + "\r\n");
    }

    TempDir m_home;
};

TEST_F(FindDevTest, PackageFromZipToolFillsEveryFieldInListOrder) {
    packList(R"({"NDevice":[
        {"DevType":2,"Pid":"5678,9ABC","Vid":"1234,1234","Ser":"A,B","isUSB":1,"DevName":"Pad tile",
         "NormalImage":"n.svg","HotImage":"h.svg","PushedImage":"p.svg","DevFolder":"PadA",
         "DevTypeString":"Pad","Width":200,"Height":150,"Padding":[1,2,3,4],"DevCmpStr":1,
         "DevNO":7,"Unknown":"ignored"},
        {"DevName":"Second","Pid":"1","Vid":"2","Ser":"S"}]})");
    writeModel("PadA", "Pad Pro");
    ASSERT_TRUE(
        EncryptWithOpenssl(R"({"bleString":["A","B"]})", icons() / "ble.json", std::string(kBlePassPhrase)));

    FindDev finder(m_home.path());
    DebugCapture debug;
    finder.LoadDeviceList();

    EXPECT_TRUE(finder.listLoaded()) << finder.listError();
    EXPECT_EQ(finder.bleNames(), "A,B");
    EXPECT_EQ(log(), "") << "a clean unpack logs nothing";
    EXPECT_TRUE(debug.contains("Start Unzip..."));
    EXPECT_TRUE(FileExists(icons() / "tile.svg"));
    ASSERT_EQ(finder.entries().size(), 2u);

    const DeviceEntry& pad = finder.entries()[0];
    EXPECT_EQ(pad.devType, 2);
    // The second id pair is vendor 0x1234 / product 0x9ABC with the name "B".
    EXPECT_EQ(pad.productIds, (Ids{0x5678, 0x9ABC}));
    EXPECT_EQ(pad.vendorIds, (Ids{0x1234, 0x1234}));
    EXPECT_EQ(pad.names, (Strings{"A", "B"}));
    EXPECT_EQ(pad.compareStrings, (Strings{"A", "B"}));
    EXPECT_EQ(pad.isUsb, 1);
    EXPECT_EQ(pad.displayName, "Pad tile");
    EXPECT_EQ(pad.normalImage, "n.svg");
    EXPECT_EQ(pad.hotImage, "h.svg");
    EXPECT_EQ(pad.pushedImage, "p.svg");
    EXPECT_EQ(pad.devFolder, "PadA");
    EXPECT_EQ(pad.category, "Pad");
    EXPECT_EQ(pad.width, 200);
    EXPECT_EQ(pad.height, 150);
    EXPECT_EQ(pad.padding, (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(pad.compareFlag, 1);
    EXPECT_EQ(pad.devNo, 7);
    EXPECT_EQ(pad.productName, "Pad Pro");
    EXPECT_EQ(pad.report7Value, 255);
    EXPECT_FALSE(pad.found) << "without a match hook nothing is found";

    const DeviceEntry& second = finder.entries()[1];
    EXPECT_EQ(second.displayName, "Second");
    EXPECT_EQ(second.productIds, Ids{0x1});
    EXPECT_EQ(second.productName, "") << "no model folder, no feature file";
}

TEST_F(FindDevTest, MatchHookDecidesFoundAndSeesTheProductName) {
    packList(R"({"NDevice":[{"DevFolder":"M1","DevNO":1},{"DevFolder":"M2","DevNO":2}]})");
    writeModel("M1", "One");
    writeModel("M2", "Two");
    FindDev finder(m_home.path());
    Strings seen;
    finder.setMatchHook([&](DeviceEntry& entry) {
        seen.push_back(entry.productName);
        entry.matchedName = "matched";
        return entry.devNo == 2;
    });
    finder.LoadDeviceList();
    ASSERT_EQ(finder.entries().size(), 2u);
    EXPECT_EQ(seen, (Strings{"One", "Two"}));
    EXPECT_FALSE(finder.entries()[0].found);
    EXPECT_TRUE(finder.entries()[1].found);
    EXPECT_EQ(finder.entries()[1].matchedName, "matched");
}

TEST_F(FindDevTest, MissingKeysAndWrongTypesLeaveInitialValues) {
    WriteFile(icons() / "Ndevice.json", R"({"NDevice":[
        {},
        "not an object",
        {"DevType":"1","Pid":5678,"Vid":["1234"],"Ser":7,"isUSB":true,"DevName":3,"Width":"80",
         "Height":40.9,"Padding":[5,"x",null],"DevCmpStr":{},"DevNO":-3,"DevTypeString":null},
        {"Padding":"1,2,3,4","Width":1e12}]})");
    FindDev finder(m_home.path());
    finder.LoadDeviceList();
    ASSERT_TRUE(finder.listLoaded()) << finder.listError();
    ASSERT_EQ(finder.entries().size(), 3u) << "the element that is not an object is skipped";

    const DeviceEntry initial;
    for (const auto& entry : finder.entries()) {
        EXPECT_EQ(entry.devType, 0);
        EXPECT_TRUE(entry.productIds.empty());
        EXPECT_TRUE(entry.vendorIds.empty());
        EXPECT_TRUE(entry.names.empty());
        EXPECT_TRUE(entry.compareStrings.empty());
        EXPECT_EQ(entry.isUsb, 0);
        EXPECT_EQ(entry.report7Value, 255);
        EXPECT_EQ(entry.displayName, "");
        EXPECT_EQ(entry.category, "");
        EXPECT_EQ(entry.compareFlag, 0);
        EXPECT_EQ(entry.productName, "");
        EXPECT_FALSE(entry.found);
    }
    EXPECT_EQ(finder.entries()[0].padding, initial.padding);
    const DeviceEntry& typed = finder.entries()[1];
    EXPECT_EQ(typed.width, 0);
    EXPECT_EQ(typed.height, 40) << "a number with a fraction is cut to an integer";
    EXPECT_EQ(typed.padding, (std::array<int, 4>{5, 0, 0, 0}));
    EXPECT_EQ(typed.devNo, -3);
    EXPECT_EQ(finder.entries()[2].padding, initial.padding);
    EXPECT_EQ(finder.entries()[2].width, std::numeric_limits<int>::max()) << "saturates";
    EXPECT_EQ(finder.categories(), FindDev::InitialCategories()) << "no empty category";
}

TEST_F(FindDevTest, CategoriesAreNotDuplicatedAndFollowTheLatestList) {
    packList(R"({"NDevice":[{"DevTypeString":"Mouse"},{"DevTypeString":"Gamepad"},
                            {"DevTypeString":"Keyboard"},{"DevTypeString":"Gamepad"},
                            {"DevTypeString":"Wheel"}]})");
    FindDev finder(m_home.path());
    const Strings expected{"Mouse", "Keyboard", "Pad", "Headphone", "Gamepad", "Wheel"};
    finder.LoadDeviceList();
    EXPECT_EQ(finder.categories(), expected);
    finder.LoadDeviceList();
    EXPECT_EQ(finder.categories(), expected);
    EXPECT_EQ(finder.entries().size(), 5u) << "a second load replaces the entries";

    packList(R"({"NDevice":[{"DevTypeString":"Tablet","DevName":"T"}]})");
    finder.LoadDeviceList();
    EXPECT_EQ(finder.categories(), (Strings{"Mouse", "Keyboard", "Pad", "Headphone", "Tablet"}));
    ASSERT_EQ(finder.entries().size(), 1u);
    EXPECT_EQ(finder.entries()[0].displayName, "T");
}

TEST_F(FindDevTest, BrokenPackageIsLoggedAndTheEarlierListStillRead) {
    WriteFile(icons() / "Ndevice.json", R"({"NDevice":[{"DevName":"Earlier"}]})");
    WriteFile(icons() / "Ndevice.zip", "PK but not really a zip");
    FindDev finder(m_home.path());
    DebugCapture debug;
    finder.LoadDeviceList();
    EXPECT_EQ(log(), "[1] ERROR:524288\n");
    EXPECT_TRUE(debug.contains("Unzip failed!err=524288"));
    EXPECT_EQ(finder.lastUnpack().code, kUnzipNotZip);
    ASSERT_EQ(finder.entries().size(), 1u);
    EXPECT_EQ(finder.entries()[0].displayName, "Earlier");

    packList(R"({"NDevice":[]})");
    finder.LoadDeviceList();
    EXPECT_EQ(log(), "") << "the log is started afresh at each load";
    EXPECT_TRUE(finder.entries().empty());
}

TEST_F(FindDevTest, UnreadableListKeepsThePreviousEntries) {
    WriteFile(icons() / "Ndevice.json", R"({"NDevice":[{"DevName":"Kept","DevTypeString":"Pen"}]})");
    FindDev finder(m_home.path());
    finder.LoadDeviceList();
    ASSERT_EQ(finder.entries().size(), 1u);

    for (const char* bad : {"{broken", R"(["NDevice"])", R"({"NDevice":{}})", R"({"Devices":[]})"}) {
        SCOPED_TRACE(bad);
        WriteFile(icons() / "Ndevice.json", bad);
        finder.LoadDeviceList();
        EXPECT_FALSE(finder.listLoaded());
        EXPECT_FALSE(finder.listError().empty());
        ASSERT_EQ(finder.entries().size(), 1u);
        EXPECT_EQ(finder.entries()[0].displayName, "Kept");
        EXPECT_EQ(finder.categories().back(), "Pen");
    }
    std::filesystem::remove(icons() / "Ndevice.json");
    finder.LoadDeviceList();
    EXPECT_FALSE(finder.listLoaded());
    EXPECT_EQ(finder.entries().size(), 1u);
}

TEST_F(FindDevTest, ModelFolderThatLeavesTheModelsFolderIsDropped) {
    WriteFile(m_home / "res/Config/DeviceFeature.ini", "[Init]\nPRODUCTNAME=Escaped\n");
    WriteFile(icons() / "Ndevice.json",
              R"({"NDevice":[{"DevFolder":"../"},{"DevFolder":"/etc"},{"DevFolder":"ok"}]})");
    writeModel("ok", "Fine");
    FindDev finder(m_home.path());
    finder.LoadDeviceList();
    ASSERT_EQ(finder.entries().size(), 3u);
    EXPECT_EQ(finder.entries()[0].devFolder, "");
    EXPECT_EQ(finder.entries()[0].productName, "");
    EXPECT_EQ(finder.entries()[1].devFolder, "");
    EXPECT_EQ(finder.entries()[2].productName, "Fine");
}

TEST(DeviceList, HexIdListsReadLikeStrtoul) {
    EXPECT_EQ(ParseHexIdList("5678,9ABC"), (Ids{0x5678, 0x9ABC}));
    EXPECT_EQ(ParseHexIdList("0x1a2b, 00ff"), (Ids{0x1A2B, 0xFF}));
    EXPECT_EQ(ParseHexIdList("12zz,zz,"), (Ids{0x12, 0, 0}));
    EXPECT_EQ(ParseHexIdList("123456789ABCDEF"), Ids{0xFFFFFFFF});
    EXPECT_TRUE(ParseHexIdList("").empty());
    EXPECT_EQ(SplitNameList("A,,B"), (Strings{"A", "", "B"}));
    EXPECT_TRUE(SplitNameList("").empty());
}

// The package and list that the build generates load as the product's catalog.
TEST(ShippedCatalog, GeneratedPackageAndBleListLoad) {
    const auto built = BuildDir() / "res/Home/Icons";
    ASSERT_TRUE(FileExists(built / "Ndevice.zip")) << "build the zor_resources target";
    TempDir home;
    std::filesystem::create_directories(home / "res/Home/Icons");
    std::filesystem::copy(built / "Ndevice.zip", home / "res/Home/Icons/Ndevice.zip");
    std::filesystem::copy(built / "ble.json", home / "res/Home/Icons/ble.json");
    std::filesystem::copy(SourceDir() / "res/MouseVarn", home / "res/MouseVarn",
                          std::filesystem::copy_options::recursive);

    FindDev finder(home.path());
    finder.LoadDeviceList();
    EXPECT_EQ(ReadFile(home / "res/file_error.txt"), "");
    EXPECT_EQ(finder.bleNames(), "Zor MouseA BLE,Zor MouseA");
    ASSERT_TRUE(finder.listLoaded()) << finder.listError();
    ASSERT_EQ(finder.entries().size(), 2u);

    const std::string rules = ReadFile(SourceDir() / "packaging/70-zormouse.rules");
    for (const auto& entry : finder.entries()) {
        SCOPED_TRACE(entry.displayName);
        EXPECT_EQ(entry.devType, 1);
        EXPECT_EQ(entry.devFolder, "MouseA");
        EXPECT_FALSE(entry.productName.empty());
        EXPECT_EQ(entry.vendorIds, Ids{0x3A5C});
        EXPECT_EQ(entry.productIds.size(), entry.names.size());
        for (const auto* image : {&entry.normalImage, &entry.hotImage, &entry.pushedImage})
            EXPECT_TRUE(FileExists(home / "res/Home/Icons" / *image)) << *image;
        for (auto id : entry.productIds) {
            char pair[64];
            std::snprintf(pair, sizeof pair, "ATTRS{idVendor}==\"3a5c\", ATTRS{idProduct}==\"%04x\"", id);
            EXPECT_NE(rules.find(pair), std::string::npos) << "the udev rule grants access to " << pair;
        }
    }
    EXPECT_EQ(finder.entries()[0].isUsb, 1);
    EXPECT_EQ(finder.entries()[0].productIds, Ids{0x1001});
    EXPECT_EQ(finder.entries()[1].isUsb, 0);
    EXPECT_EQ(finder.entries()[1].productIds, Ids{0x1002});
}

}  // namespace

TEST_F(FindDevTest, PackageWithADamagedListKeepsTheGoodOneUnpackedBefore) {
    packList(R"({"NDevice":[{"DevName":"Good","DevFolder":"MouseA"}]})");
    FindDev finder(m_home.path());
    finder.LoadDeviceList();
    ASSERT_EQ(finder.entries().size(), 1u);
    const std::string good = ReadFile(icons() / "Ndevice.json");

    for (const char* bad : {"{\"NDevice\":[{\"DevName\":", "[]", "{\"Devices\":[]}"}) {
        SCOPED_TRACE(bad);
        packList(bad);
        // A fresh start of the program, with only the files on disk.
        FindDev later(m_home.path());
        later.LoadDeviceList();
        EXPECT_EQ(ReadFile(icons() / "Ndevice.json"), good);
        EXPECT_TRUE(later.listLoaded()) << later.listError();
        ASSERT_EQ(later.entries().size(), 1u);
        EXPECT_EQ(later.entries()[0].displayName, "Good");
        EXPECT_NE(log().find("[2.2] ERROR:zrt:259 Ndevice.json"), std::string::npos) << log();
        // The package's other files are still unpacked.
        EXPECT_TRUE(FileExists(icons() / "tile.svg"));
    }
}

TEST_F(FindDevTest, LogReplacesALinkInsteadOfWritingThroughIt) {
    const auto victim = m_home / "victim.txt";
    WriteFile(victim, "precious");
    std::filesystem::create_directories(m_home / "res");
    std::filesystem::create_symlink(victim, m_home / "res/file_error.txt");
    WriteFile(icons() / "Ndevice.zip", "PK but not really a zip");
    FindDev finder(m_home.path());
    finder.LoadDeviceList();
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(m_home / "res/file_error.txt"));
    EXPECT_EQ(log(), "[1] ERROR:524288\n");
}
