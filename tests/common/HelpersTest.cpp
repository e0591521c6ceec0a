#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>

#include "common/Colour.h"
#include "common/Debug.h"
#include "common/Guid.h"
#include "common/ProgramFolder.h"
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

TEST(ProgramFolder, UserFolderIsSeededFromFactoryWithoutOverwriting) {
    TempDir dir;
    WriteFile(dir / "prefix" / "share" / "zormouse" / "res" / "Set.ini", "[Set]\nLanguage=1\n");
    WriteFile(dir / "prefix" / "share" / "zormouse" / "res" / "new.txt", "factory");
    WriteFile(dir / "data" / "zormouse" / "res" / "Set.ini", "[Set]\nLanguage=7\n");
    ::unsetenv("ZOR_HOME");
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    // The user's folder holds res/ already: it is used, its files stay as they are, and the files
    // a newer installation brings are added.
    auto existing = ResolveProgramFolder(std::nullopt, dir / "prefix" / "bin");
    EXPECT_EQ(existing.folder, dir / "data" / "zormouse");
    EXPECT_EQ(zor::test::ReadFile(dir / "data" / "zormouse" / "res" / "Set.ini"), "[Set]\nLanguage=7\n");
    EXPECT_EQ(zor::test::ReadFile(dir / "data" / "zormouse" / "res" / "new.txt"), "factory");

    std::filesystem::remove_all(dir / "data");
    auto seeded = ResolveProgramFolder(std::nullopt, dir / "prefix" / "bin");
    ASSERT_TRUE(seeded.error.empty()) << seeded.error;
    EXPECT_EQ(zor::test::ReadFile(dir / "data" / "zormouse" / "res" / "new.txt"), "factory");

    WriteFile(dir / "data" / "zormouse" / "res" / "Set.ini", "mine");
    ASSERT_TRUE(SeedFromFactory(dir / "prefix" / "share" / "zormouse", dir / "data" / "zormouse"));
    EXPECT_EQ(zor::test::ReadFile(dir / "data" / "zormouse" / "res" / "Set.ini"), "mine");
    ::unsetenv("XDG_DATA_HOME");
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
