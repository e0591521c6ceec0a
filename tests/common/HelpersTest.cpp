#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <set>

#include "common/Colour.h"
#include "common/Debug.h"
#include "common/Guid.h"
#include "common/IniFile.h"
#include "common/ProgramFolder.h"
#include "common/ProgramPaths.h"
#include "common/Sleeper.h"
#include "support/TempDir.h"

using namespace zor;
using zor::test::TempDir;
using zor::test::WriteFile;

TEST(Guid, TextHasTheWindowsFormatAndIsUnique) {
    const std::regex format("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string text = NewGuidText();
        EXPECT_TRUE(std::regex_match(text, format)) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(Guid, FirstThreeFieldsAreLittleEndianNumbers) {
    const GuidBytes bytes{0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB, 0x01, 0xEF, 0, 1, 2, 3, 4, 5, 6, 0xFF};
    EXPECT_EQ(GuidText(bytes), "12345678-ABCD-EF01-0001-0203040506FF");
}

TEST(Colour, WireOrderIsGreenBlueRed) {
    constexpr std::uint32_t orange = 0xFF8000;
    EXPECT_EQ(ColourToWire(orange), (WireColour{0x80, 0x00, 0xFF}));
    EXPECT_EQ(ColourToWire(0x123456), (WireColour{0x34, 0x56, 0x12}));
    EXPECT_EQ(ColourFromWire(ColourToWire(0xA1B2C3)), 0xA1B2C3u);
    EXPECT_EQ(ColourToWire(0xFF123456)[2], 0x12) << "bits above 23 are not colour";
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x123456u);
}

TEST(Debug, LinesReachTheSinkOneLineEach) {
    std::vector<std::string> lines;
    SetDebugSinkForTest([&](const std::string& line) { lines.push_back(line); });
    DebugF("random:%d\n", 12);
    DebugLine("no newline");
    SetDebugSinkForTest(nullptr);
    EXPECT_EQ(lines, (std::vector<std::string>{"random:12\n", "no newline\n"}));
}

TEST(Sleeper, RecordingSleeperWaitsForNothing) {
    RecordingSleeper sleeper;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) sleeper.SleepMs(80);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(sleeper.totalMs(), 8000);
    EXPECT_EQ(sleeper.pauses().size(), 100u);
}

TEST(ProgramFolder, HomeArgumentWinsAndMustHoldResources) {
    TempDir dir;
    std::filesystem::create_directories(dir / "home" / "res");
    auto ok = ResolveProgramFolder(dir / "home", dir / "bin");
    EXPECT_TRUE(ok.error.empty());
    EXPECT_EQ(ok.folder, dir / "home");
    auto bad = ResolveProgramFolder(dir / "nothing", dir / "bin");
    EXPECT_FALSE(bad.error.empty());
}

TEST(ProgramFolder, ExecutableFolderOrParentHoldingResources) {
    TempDir dir;
    std::filesystem::create_directories(dir / "tree" / "res");
    std::filesystem::create_directories(dir / "tree" / "tools" / "zorctl");
    ::unsetenv("ZOR_HOME");
    auto found = ResolveProgramFolder(std::nullopt, dir / "tree" / "tools" / "zorctl");
    EXPECT_EQ(found.folder, dir / "tree");
}

namespace {

// Undoes the user folder that ResolveProgramFolder names for the process.
struct LayoutReset {
    ~LayoutReset() {
        paths::SetUserFolder({}, {});
        ::unsetenv("XDG_DATA_HOME");
    }
};

}  // namespace

TEST(ProgramFolder, InstalledProgramReadsTheInstallationAndWritesOnlyTheUsersFiles) {
    TempDir dir;
    LayoutReset reset;
    const auto factory = dir / "prefix" / "share" / "zormouse";
    const auto user = dir / "data" / "zormouse";
    const auto model = paths::ModelFolder(factory, {});
    WriteFile(factory / "res" / "Set.ini", "[Set]\nLanguage=1\nDpiPopEn=1\n");
    WriteFile(paths::ModelDescription(model), "[Init]\nPRODUCTNAME=Old\n[RANDOM]\nProfile0=1\nProfile1=2\n");
    WriteFile(model / "Config" / "MouseConfig.json", "factory document");
    ::unsetenv("ZOR_HOME");
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);

    const auto found = ResolveProgramFolder(std::nullopt, dir / "prefix" / "bin");
    ASSERT_TRUE(found.error.empty()) << found.error;
    EXPECT_EQ(found.folder, factory);
    EXPECT_EQ(found.userFolder, user);
    // Preferences and the description's written sections: the user's values over the installation's.
    IniFile set(paths::SetIni(factory));
    ASSERT_TRUE(set.WriteString("Set", "Language", "7"));
    IniFile description(paths::ModelDescription(model));
    ASSERT_TRUE(description.WriteString("RANDOM", "Profile0", "999"));
    ASSERT_TRUE(description.WriteString("Init", "PRODUCTNAME", "Mine")) << "written, never read back";
    EXPECT_EQ(zor::test::ReadFile(user / "res" / "Set.ini"), "[Set]\nLanguage=7\n");
    // A newer installation: its values reach the user at once, under the user's own.
    WriteFile(factory / "res" / "Set.ini", "[Set]\nLanguage=2\nDpiPopEn=0\n");
    WriteFile(paths::ModelDescription(model), "[Init]\nPRODUCTNAME=New\n[RANDOM]\nProfile0=5\nProfile1=6\n");
    EXPECT_EQ(set.GetInt("Set", "Language"), 7);
    EXPECT_EQ(set.GetIntOr("Set", "DpiPopEn", 9), 0);
    EXPECT_EQ(description.GetString("Init", "PRODUCTNAME"), "New");
    EXPECT_EQ(description.GetInt("RANDOM", "Profile0"), 999);
    EXPECT_EQ(description.GetInt("RANDOM", "Profile1"), 6);
    EXPECT_EQ(description.GetSection("RANDOM"), (std::vector<std::string>{"Profile0=999", "Profile1=6"}));
    ASSERT_TRUE(description.DeleteKey("RANDOM", "Profile1"));
    EXPECT_EQ(description.GetString("RANDOM", "Profile1"), "");
    // The configuration document is the factory's on first use, then the user's own.
    const auto document = paths::MouseConfig(model);
    EXPECT_EQ(document, user / "res" / "MouseVarn" / "MouseA" / "Config" / "MouseConfig.json");
    EXPECT_EQ(zor::test::ReadFile(document), "factory document");
    WriteFile(document, "mine");
    WriteFile(model / "Config" / "MouseConfig.json", "newer factory document");
    EXPECT_EQ(zor::test::ReadFile(paths::MouseConfig(model)), "mine");
    // The installation is never written to.
    EXPECT_EQ(zor::test::ReadFile(factory / "res" / "Set.ini"), "[Set]\nLanguage=2\nDpiPopEn=0\n");

    // The build tree and a --home folder are one writable program folder again.
    std::filesystem::create_directories(dir / "home" / "res");
    const auto home = ResolveProgramFolder(dir / "home", dir / "bin");
    EXPECT_TRUE(home.userFolder.empty());
    EXPECT_EQ(paths::MouseConfig(dir / "home" / "res" / "MouseVarn" / "MouseA"),
              dir / "home" / "res" / "MouseVarn" / "MouseA" / "Config" / "MouseConfig.json");
    IniFile homeSet(paths::SetIni(dir / "home"));
    ASSERT_TRUE(homeSet.WriteString("Set", "Language", "3"));
    EXPECT_EQ(zor::test::ReadFile(dir / "home" / "res" / "Set.ini"), "[Set]\nLanguage=3\n");
}

TEST(ProgramFolder, AnOldUserFolderKeepsWhatTheUserSetAndLosesTheFactoryCopiesOnce) {
    TempDir dir;
    LayoutReset reset;
    const auto factory = dir / "prefix" / "share" / "zormouse";
    const auto user = dir / "data" / "zormouse";
    const std::string factoryDescription =
        "[Init]\nPRODUCTNAME=Zor\n[RANDOM]\nProfile0=0\n[Config]\nResPath=res_black\n";
    const std::string mineDescription =
        "[Init]\nPRODUCTNAME=Zor\n[RANDOM]\nProfile0=4242\n[Config]\nResPath=res_white\n";
    const std::pair<std::string, std::string> files[] = {
        // path, factory content
        {"res/Set.ini", "[Set]\nLanguage=1\nDpiPopEn=1\n"},
        {"res/Language/English.ini", "[Main]\nTitle=Zor\n"},
        {"res_black/MainWnd.xml", "<Window/>"},
        {"AutoUpdate/res/version/VersionInfo.json", "{\"version\": \"0.1.0\"}"},
        {"res/MouseVarn/MouseA/Config/DeviceFeature.ini", factoryDescription},
        {"res/MouseVarn/MouseA/Config/MouseConfig.json", "factory"},
        {"res/MacroVarn/MacroData/macroConfig.json", "factory macros"},
    };
    for (const auto& [path, content] : files) {
        WriteFile(factory / path, content);
        WriteFile(user / path, content);  // what the old first start copied
    }
    // What the user set, and a factory file the user edited by hand.
    WriteFile(user / "res/Set.ini", "[Set]\nLanguage=5\nDpiPopEn=1\n");
    WriteFile(user / "res/MouseVarn/MouseA/Config/DeviceFeature.ini", mineDescription);
    WriteFile(user / "res/MouseVarn/MouseA/Config/MouseConfig.json", "mine");
    WriteFile(user / "res/MacroVarn/MacroData/macroConfig.json", "factory macros");
    WriteFile(user / "res/Language/English.ini", "[Main]\nTitle=My title\n");
    WriteFile(user / "res/Home/Icons/Ndevice.json", "unpacked");

    const std::string line = MigrateUserFolder(factory, user);
    EXPECT_NE(line.find("kept 1 factory file you changed in " + (user / "changed-factory-files").string()),
              std::string::npos)
        << line;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(user))
        if (entry.is_regular_file()) left.push_back(entry.path().lexically_relative(user).string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{
                  "changed-factory-files/res/Language/English.ini", "res/Home/Icons/Ndevice.json",
                  "res/MacroVarn/MacroData/macroConfig.json", "res/MouseVarn/MouseA/Config/DeviceFeature.ini",
                  "res/MouseVarn/MouseA/Config/MouseConfig.json", "res/Set.ini"}));
    EXPECT_EQ(zor::test::ReadFile(user / "res/Set.ini"), "[Set]\nLanguage=5\n");
    EXPECT_EQ(zor::test::ReadFile(user / "res/MouseVarn/MouseA/Config/DeviceFeature.ini"),
              "[RANDOM]\nProfile0=4242\n[Config]\nResPath=res_white\n");
    EXPECT_EQ(zor::test::ReadFile(user / "res/MouseVarn/MouseA/Config/MouseConfig.json"), "mine");
    EXPECT_FALSE(std::filesystem::exists(user / "res_black")) << "emptied folders go too";

    // Read through the installation, the user's values are all there.
    paths::SetUserFolder(factory, user);
    EXPECT_EQ(IniFile(paths::SetIni(factory)).GetInt("Set", "Language"), 5);
    EXPECT_EQ(IniFile(paths::AppDescription(factory)).GetString("Config", "ResPath"), "res_white");
    EXPECT_EQ(IniFile(paths::AppDescription(factory)).GetInt("RANDOM", "Profile0"), 4242);
    paths::SetUserFolder({}, {});

    // A second start changes nothing, even after the user set more.
    IniFile(user / "res/Set.ini").WriteString("Set", "DpiPopEn", "1");
    const auto before = zor::test::ReadFile(user / "res/Set.ini");
    EXPECT_EQ(MigrateUserFolder(factory, user), "");
    EXPECT_EQ(zor::test::ReadFile(user / "res/Set.ini"), before);
    EXPECT_TRUE(std::filesystem::exists(user / "changed-factory-files/res/Language/English.ini"));
}

TEST(ProgramFolder, SeedingCopiesWholeFilesAndRemovesTheTemporaryFilesOfAKilledCopy) {
    TempDir dir;
    const auto factory = dir / "factory";
    const auto user = dir / "user";
    WriteFile(factory / "res" / "Skin" / "big.xml", std::string(100000, 'x'));
    WriteFile(factory / "res" / "Set.ini", "[Set]\n");
    // A copy killed half-way left its temporary file; one of a start copying right now is young.
    const auto stale = user / "res" / "Skin" / ".big.xml.tmp-a1B2c3";
    const auto young = user / "res" / ".Set.ini.tmp-Zz9Yy8";
    WriteFile(stale, "xxx");
    WriteFile(young, "[Se");
    std::filesystem::last_write_time(stale,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));

    ASSERT_TRUE(SeedFromFactory(factory, user));
    EXPECT_EQ(zor::test::ReadFile(user / "res" / "Skin" / "big.xml"), std::string(100000, 'x'));
    EXPECT_EQ(zor::test::ReadFile(user / "res" / "Set.ini"), "[Set]\n");
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(young));
}

TEST(ProgramFolder, StaleTemporaryFilesOfKilledSavesAreRemovedAndNothingElse) {
    TempDir dir;
    const auto home = dir / "home";
    const auto config = home / "res" / "MouseVarn" / "MouseA" / "Config";
    const auto macros = home / "res" / "MacroVarn" / "MacroData";
    const std::filesystem::path stale[] = {config / ".MouseConfig.json.tmp-a1B2c3",
                                           macros / ".macroConfig.json.tmp-Zz9Yy8",
                                           home / "res" / ".Set.ini.tmp-000000"};
    const std::filesystem::path kept[] = {
        config / "MouseConfig.json",
        config / ".MouseConfig.json.tmp-abc",    // not six letters
        macros / "macroConfig.json.tmp-abcdef",  // no leading dot
        macros / ".macroConfig.json.tmp-ab_def",
        home / ".Set.ini.tmp-abcdef",                     // not a folder of ours
        home / "res" / "Language" / ".x.ini.tmp-abcdef",  // a sub-folder
    };
    for (const auto& p : stale) WriteFile(p, "partial");
    for (const auto& p : kept) WriteFile(p, "keep");
    std::filesystem::create_directories(macros / ".folder.tmp-abcdef");
    // A fresh one may belong to a save going on right now.
    const auto fresh = config / ".MouseConfig.json.tmp-FRESH1";
    WriteFile(fresh, "in progress");
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& p : stale) std::filesystem::last_write_time(p, old);

    EXPECT_EQ(RemoveStaleSaves(home, 60), 3);
    for (const auto& p : stale) EXPECT_FALSE(std::filesystem::exists(p)) << p;
    for (const auto& p : kept) EXPECT_TRUE(std::filesystem::exists(p)) << p;
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_TRUE(std::filesystem::is_directory(macros / ".folder.tmp-abcdef"));
    EXPECT_EQ(RemoveStaleSaves(home, 0), 1);  // the fresh one once no age is asked for
}

TEST(ProgramFolder, RootIsWarnedAboutNotRefused) {
    EXPECT_EQ(RootWarning("zorctl", 1000), "");
    const std::string warning = RootWarning("zorctl", 0);
    EXPECT_EQ(warning.rfind("zorctl: running as root", 0), 0u) << warning;
    EXPECT_EQ(warning.back(), '\n');
}
