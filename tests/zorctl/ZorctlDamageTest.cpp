// zorctl on damaged or hostile files: macro reset, deeply nested imports and values a model does
// not offer.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ZorctlRun.h"
#include "common/IniFile.h"
#include "macro/MacroStore.h"

using namespace zor;
using zor::test::ReadFile;
using zor::test::WriteFile;
using zor::test::ZorctlHome;

TEST(ZorctlDamage, MacroResetFailsAndChangesNothingWhenTheFactoryFileCannotBeRead) {
    ZorctlHome home;
    const auto live = home / std::string(kMacroLivePath);
    const auto factory = home / std::string(kMacroFactoryPath);
    const std::string before = ReadFile(live);
    std::filesystem::remove(factory);
    std::filesystem::create_directories(factory);
    const auto run = home.Run("macro reset");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot read the factory macro file"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(live), before);
    EXPECT_NE(home.Run("macro list").out, "");
}

TEST(ZorctlDamage, MacroResetRestoresTheFactoryLibraryOverOneTooLargeToRead) {
    ZorctlHome home;
    const auto live = home / std::string(kMacroLivePath);
    std::filesystem::resize_file(live, kMaxLibraryBytes + 1);  // sparse: no disk space is used
    const auto list = home.Run("macro list");
    EXPECT_EQ(list.status, 1);
    // The cause is the size, not that the file could not be read.
    EXPECT_NE(list.err.find("larger than the 256 MiB"), std::string::npos) << list.err;
    const auto run = home.Run("macro reset");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("macroConfig.json.bad"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(live), ReadFile(home / std::string(kMacroFactoryPath)));
    EXPECT_EQ(home.Run("macro list").status, 0);
    auto bad = live;
    bad += ".bad";
    EXPECT_EQ(std::filesystem::file_size(bad), kMaxLibraryBytes + 1);
}

TEST(ZorctlDamage, ASettingsFileTooLargeToReadIsNamedAsTheCauseAndLeftAsItIs) {
    ZorctlHome home;
    const auto setIni = home / "res" / "Set.ini";
    std::filesystem::resize_file(setIni, IniFile::kMaxFileBytes + 1);  // sparse
    const auto run = home.Run("--virtual set power SleepTime=7");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("larger than the 16 MiB"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::file_size(setIni), IniFile::kMaxFileBytes + 1);
}

TEST(ZorctlDamage, DeeplyNestedImportsAreRefusedAndEverythingKeepsWorking) {
    ZorctlHome home;
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    WriteFile(home.work() / "deep.Macro.Config", "{\"GrpName\":[65],\"GrpGuid\":\"g\",\"x\":" + deep + "}");
    auto run = home.Run("macro import deep.Macro.Config");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a JSON file"), std::string::npos) << run.err;

    ASSERT_EQ(home.Run("config export ok.Mouse.Config").status, 0);
    std::string config = ReadFile(home.work() / "ok.Mouse.Config");
    config.insert(config.find('{') + 1, "\"x\":" + deep + ",");
    WriteFile(home.work() / "deep.Mouse.Config", config);
    run = home.Run("config import deep.Mouse.Config");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(home.Run("config export again.Mouse.Config").status, 0);
    EXPECT_EQ(home.Run("macro list").status, 0);
}

TEST(ZorctlDamage, ConfigImportOutsideWhatTheModelOffersIsRefused) {
    ZorctlHome home;
    ASSERT_EQ(home.Run("config export ok.Mouse.Config").status, 0);
    const auto live = home / "res/MouseVarn/MouseA/Config/MouseConfig.json";
    const std::string before = ReadFile(live);
    auto doc = nlohmann::json::parse(ReadFile(home.work() / "ok.Mouse.Config"));
    doc["mouseconfig"]["mouseadv"][0]["ctrl_MouseAdv_Dpi0"][1] = 999999;
    WriteFile(home.work() / "dpi.Mouse.Config", doc.dump());
    const auto run = home.Run("config import dpi.Mouse.Config");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("DPI 999999"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(live), before);
    EXPECT_EQ(home.Run("config import ok.Mouse.Config").status, 0);
}
