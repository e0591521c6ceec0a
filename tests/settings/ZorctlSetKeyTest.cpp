// zorctl set key and zorctl functions end to end: the program run against the virtual mouse in a
// private copy of the program folder, its trace and files checked.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "config/MouseConfig.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using zor::test::BuildDir;
using zor::test::ReadFile;
using zor::test::RunShell;
using zor::test::TempDir;

namespace {

class ZorctlSetKey : public ::testing::Test {
protected:
    void SetUp() override {
        zorctl = BuildDir() / "tools" / "zorctl" / "zorctl";
        if (!fs::exists(zorctl) || !fs::exists(BuildDir() / "res" / "Home" / "Icons" / "Ndevice.zip"))
            GTEST_SKIP() << "zorctl is not built";
        fs::copy(BuildDir() / "res", home / "res", fs::copy_options::recursive);
        config = home / "res" / "MouseVarn" / "MouseA" / "Config" / "MouseConfig.json";
    }
    // Runs zorctl with the arguments; out and err receive its output.
    int Run(const std::string& arguments, bool trace = true) {
        const int rc = RunShell(zorctl.string() + " --home " + home.path().string() + " --virtual " +
                                (trace ? "--trace " : "") + arguments + " >" + (home / "out.txt").string() +
                                " 2>" + (home / "err.txt").string());
        out = ReadFile(home / "out.txt");
        err = ReadFile(home / "err.txt");
        return rc == 0 ? 0 : (rc > 255 ? rc >> 8 : rc);
    }
    int Code(int table, int slot) {
        zor::MouseConfigDocument doc;
        EXPECT_TRUE(doc.LoadFile(config).ok);
        return doc.keyTables.at(static_cast<std::size_t>(table)).at(zor::SlotName(slot)).code;
    }

    TempDir home;
    fs::path zorctl, config;
    std::string out, err;
};

}  // namespace

TEST_F(ZorctlSetKey, SetsAndSendsAFunctionAKeyAndTheWheel) {
    ASSERT_EQ(Run("set key --profile 0 3 \"volume up\""), 0) << err;
    EXPECT_EQ(Code(0, 3), 32);
    // Key 3's frame: command 4, offset 12, four bytes: the consumer usage of Volume Up.
    EXPECT_NE(err.find(" 00 0c 00 04 04 e9 00 00"), std::string::npos) << err;
    // The profile's new identifier follows.
    EXPECT_NE(err.find("> 06 00 00 02"), std::string::npos) << err;
    EXPECT_NE(out.find("Vol+"), std::string::npos) << out;

    ASSERT_EQ(Run("set key --profile 0 4 key:A"), 0) << err;
    EXPECT_EQ(Code(0, 4), 256 + 0x41);
    EXPECT_NE(err.find(" 00 10 00 04 02 04 00 00"), std::string::npos) << err;

    ASSERT_EQ(Run("set key --profile 0 wheel-up \"Wheel Down\""), 0) << err;
    EXPECT_EQ(Code(0, 16), 28);
    EXPECT_NE(err.find(" 05 "), std::string::npos);
    EXPECT_NE(err.find(" 00 00 00 04 03 02 00 00"), std::string::npos) << err;
}

TEST_F(ZorctlSetKey, AnotherProfileIsMadeActiveFirst) {
    ASSERT_EQ(Run("set key --profile 2 5 \"DPI Cycle\""), 0) << err;
    EXPECT_EQ(Code(2, 5), 6);
    // Profile 2 made active (command 2, argument 2, one byte: 02), then key 5 (offset 20): DPI cycle.
    EXPECT_TRUE(std::regex_search(err, std::regex("> 06 00 00 02 [0-9a-f]{2} 02 00 00 01 02"))) << err;
    EXPECT_NE(err.find(" 00 14 00 04 08 03 00 00"), std::string::npos) << err;
}

TEST_F(ZorctlSetKey, BadInputIsOneLineExitOneAndChangesNoFile) {
    // A first change draws the profile identifiers loading a model draws when there are none.
    ASSERT_EQ(Run("set key --profile 0 3 3", false), 0) << err;
    const std::string before = ReadFile(config);
    const fs::path feature = home / "res" / "MouseVarn" / "MouseA" / "Config" / "DeviceFeature.ini";
    const std::string featureBefore = ReadFile(feature);
    for (const char* arguments :
         {"set key --profile 0 0 \"Right Click\"", "set key --profile 5 3 3", "set key --profile 0 25 3",
          "set key --profile 0 3 Teleport", "set key --profile 0 3 macro:Nope/Nothing",
          "set key --profile 0 3", "set key 3 3", "set key --profile 0 wheel-up \"Left Click\"",
          "set key --profile 0 3 key:NoSuchKey", "set lights --profile 0"}) {
        EXPECT_EQ(Run(arguments, false), 1) << arguments;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << arguments << ": " << err;
        EXPECT_EQ(err.rfind("zorctl: ", 0), 0u) << arguments << ": " << err;
        EXPECT_EQ(ReadFile(config), before) << arguments;
        EXPECT_EQ(ReadFile(feature), featureBefore) << arguments;
    }
}

TEST_F(ZorctlSetKey, FunctionsListsTheCatalogAsJson) {
    ASSERT_EQ(Run("--json functions"), 0) << err;
    const auto list = nlohmann::json::parse(out);
    ASSERT_TRUE(list.is_array());
    bool left = false, wheel = false;
    for (const auto& f : list) {
        if (f.at("code") == 1) left = f.at("label") == "Left Click" && f.at("category") == "Mouse";
        if (f.at("code") == 28) wheel = f.at("wheel").get<bool>();
    }
    EXPECT_TRUE(left);
    EXPECT_TRUE(wheel);
    ASSERT_EQ(Run("functions"), 0);
    EXPECT_NE(out.find("Left Click"), std::string::npos);
}
