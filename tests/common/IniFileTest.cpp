#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "support/TempDir.h"

using namespace zor;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

namespace {

std::string Utf16Le(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

}  // namespace

TEST(IniFile, ReadsUtf16WithBomCrlfAndOtherLetterCase) {
    TempDir dir;
    WriteFile(dir / "a.ini", Utf16Le(u"; written by a Windows tool\r\n[KEYMAP]\r\nKeyNum = 8\r\n"
                                     u"k1_map=3\r\nK1_MAP=9\r\nName=\u5B8F\u7D44\r\n[Empty]\r\n"));
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.GetInt("keymap", "KEYNUM"), 8);
    EXPECT_EQ(ini.GetInt("KeyMap", "K1_MAP"), 3) << "the first of duplicate keys wins";
    EXPECT_EQ(ini.GetString("KEYMAP", "name"), "\xE5\xAE\x8F\xE7\xB5\x84");
    EXPECT_EQ(ini.GetString("KEYMAP", "missing"), "");
    EXPECT_EQ(ini.GetInt("Nope", "KeyNum"), 0);
    EXPECT_TRUE(ini.HasSection("empty"));
}

TEST(IniFile, ReadsUtf8WithAndWithoutBomAndMissingFile) {
    TempDir dir;
    WriteFile(dir / "bom.ini", "\xEF\xBB\xBF[Init]\nMutexName=ZorMouse\n");
    WriteFile(dir / "plain.ini", "[Init]\nMutexName=ZorMouse");
    EXPECT_EQ(IniFile(dir / "bom.ini").GetString("Init", "MutexName"), "ZorMouse");
    EXPECT_EQ(IniFile(dir / "plain.ini").GetString("Init", "MutexName"), "ZorMouse");
    IniFile missing(dir / "none.ini");
    EXPECT_EQ(missing.GetString("Init", "MutexName"), "");
    EXPECT_EQ(missing.GetInt("Init", "MutexName"), 0);
    EXPECT_EQ(missing.GetIntOr("Config", "KeySelLedVis", 1), 1);
}

TEST(IniFile, GetStringIsCappedLikeAFixedBuffer) {
    TempDir dir;
    WriteFile(dir / "a.ini",
              "[S]\nLong=" + std::string(300, 'x') + "\nWide=\xE5\xAE\x8F\xE5\xAE\x8F\xE5\xAE\x8F\n");
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.GetString("S", "Long").size(), 259u);
    EXPECT_EQ(ini.GetString("S", "Long", 9), std::string(8, 'x'));
    EXPECT_EQ(ini.GetString("S", "Wide", 3), "\xE5\xAE\x8F\xE5\xAE\x8F")
        << "cap counts characters, not bytes";
}

TEST(IniFile, GetIntAndValuesFollowProfileRules) {
    TempDir dir;
    WriteFile(dir / "a.ini", "[S]\nA=  12abc  \nB=abc\nC=-3\nD=\"quoted text\"\nE=\n");
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.GetInt("S", "A"), 12);
    EXPECT_EQ(ini.GetInt("S", "B"), 0);
    EXPECT_EQ(ini.GetInt("S", "C"), -3);
    EXPECT_EQ(ini.GetString("S", "D"), "quoted text");
    EXPECT_EQ(ini.GetIntOr("S", "E", 1), 0) << "a present but empty key is not the default";
}

TEST(IniFile, GetSectionListsKeyValueLinesWithinCap) {
    TempDir dir;
    WriteFile(dir / "a.ini", "[LEDEN]\n; comment\n0 = speed,bright\n1=color1\n\n[Next]\nx=1\n");
    IniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.GetSection("leden"), (std::vector<std::string>{"0=speed,bright", "1=color1"}));
    // "0=speed,bright" is 14 characters + terminator; with the final terminator a cap of 16 fits it alone.
    EXPECT_EQ(ini.GetSection("LEDEN", 16), (std::vector<std::string>{"0=speed,bright"}));
    EXPECT_TRUE(ini.GetSection("Missing").empty());
}

TEST(IniFile, WriteChangesOneLineAndKeepsEverythingElse) {
    TempDir dir;
    const std::string original =
        "; models\r\n[RANDOM]\r\nProfile0 = 1\r\nprofile1=2\r\n\r\n[Other]\r\nx=1\r\n";
    WriteFile(dir / "a.ini", original);
    IniFile ini(dir / "a.ini");
    ASSERT_TRUE(ini.WriteString("random", "Profile1", "4711"));
    EXPECT_EQ(ReadFile(dir / "a.ini"),
              "; models\r\n[RANDOM]\r\nProfile0 = 1\r\nprofile1=4711\r\n\r\n[Other]\r\nx=1\r\n");
    ASSERT_TRUE(ini.WriteString("RANDOM", "Profile2", "9"));
    EXPECT_EQ(
        ReadFile(dir / "a.ini"),
        "; models\r\n[RANDOM]\r\nProfile0 = 1\r\nprofile1=4711\r\nProfile2=9\r\n\r\n[Other]\r\nx=1\r\n");
    ASSERT_TRUE(ini.WriteString("ChipReset4", "profile0", "400,800"));
    EXPECT_EQ(ReadFile(dir / "a.ini"),
              "; models\r\n[RANDOM]\r\nProfile0 = 1\r\nprofile1=4711\r\nProfile2=9\r\n\r\n"
              "[Other]\r\nx=1\r\n[ChipReset4]\r\nprofile0=400,800\r\n");
    EXPECT_EQ(ini.GetInt("RANDOM", "Profile1"), 4711);
}

TEST(IniFile, DeleteRemovesOnlyTheFirstLineOfTheKeyInItsSection) {
    TempDir dir;
    WriteFile(dir / "d.ini", "[MacUsed]\r\n0=a\r\n1=b\r\n1=c\r\n[Other]\r\n1=x\r\n");
    IniFile ini(dir / "d.ini");
    ASSERT_TRUE(ini.DeleteKey("macused", "1"));
    EXPECT_EQ(ReadFile(dir / "d.ini"), "[MacUsed]\r\n0=a\r\n1=c\r\n[Other]\r\n1=x\r\n");
    EXPECT_TRUE(ini.DeleteKey("MacUsed", "7"));  // absent key: nothing to do
    EXPECT_TRUE(ini.DeleteKey("Missing", "0"));  // absent section
    EXPECT_EQ(ReadFile(dir / "d.ini"), "[MacUsed]\r\n0=a\r\n1=c\r\n[Other]\r\n1=x\r\n");
    IniFile none(dir / "none.ini");
    EXPECT_TRUE(none.DeleteKey("MacUsed", "0"));
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

TEST(IniFile, WriteKeepsUtf16EncodingAndCreatesMissingFiles) {
    TempDir dir;
    WriteFile(dir / "w.ini", Utf16Le(u"[Config]\r\nResPath=res_black\r\n"));
    IniFile wide(dir / "w.ini");
    ASSERT_TRUE(wide.WriteString("Config", "ResPath", "res_white"));
    EXPECT_EQ(ReadFile(dir / "w.ini"), Utf16Le(u"[Config]\r\nResPath=res_white\r\n"));

    IniFile fresh(dir / "sub-missing.ini");
    ASSERT_TRUE(fresh.WriteString("RANDOM", "Profile0", "17"));
    EXPECT_EQ(ReadFile(dir / "sub-missing.ini"), "[RANDOM]\nProfile0=17\n");

    WriteFile(dir / "noeol.ini", "[A]\nx=1");
    IniFile noEol(dir / "noeol.ini");
    ASSERT_TRUE(noEol.WriteString("B", "y", "2"));
    EXPECT_EQ(ReadFile(dir / "noeol.ini"), "[A]\nx=1\n[B]\ny=2\n");
}

TEST(IniFile, FailedWriteLeavesTheOldFile) {
    TempDir dir;
    WriteFile(dir / "a.ini", "[RANDOM]\nProfile0=1\n");
    AtomicFile::setWriteHookForTest([](std::size_t, std::size_t wanted) { return wanted / 2; });
    IniFile ini(dir / "a.ini");
    EXPECT_FALSE(ini.WriteString("RANDOM", "Profile0", "2"));
    AtomicFile::setWriteHookForTest(nullptr);
    EXPECT_EQ(ReadFile(dir / "a.ini"), "[RANDOM]\nProfile0=1\n");
}

TEST(IniFile, SeveralKeysAreWrittenTogetherOrNotAtAll) {
    TempDir dir;
    WriteFile(dir / "a.ini", "; ids\r\n[RANDOM]\r\nProfile0=1\r\nprofile1=2\r\n");
    IniFile ini(dir / "a.ini");
    EXPECT_TRUE(ini.WriteStrings({{"RANDOM", "Profile0", "7"},
                                  {"RANDOM", "Profile1", "8"},
                                  {"Random", "Profile2", "9"},
                                  {"Set", "SleepTime", "5"}}));
    EXPECT_EQ(ReadFile(dir / "a.ini"),
              "; ids\r\n[RANDOM]\r\nProfile0=7\r\nprofile1=8\r\nProfile2=9\r\n[Set]\r\nSleepTime=5\r\n");

    // A failed write of the batch leaves every key as it was.
    const std::string before = ReadFile(dir / "a.ini");
    AtomicFile::setWriteHookForTest([](std::size_t, std::size_t wanted) { return wanted - 1; });
    EXPECT_FALSE(ini.WriteStrings({{"RANDOM", "Profile0", "1"}, {"RANDOM", "Profile1", "1"}}));
    AtomicFile::setWriteHookForTest(nullptr);
    EXPECT_EQ(ReadFile(dir / "a.ini"), before);
    EXPECT_TRUE(ini.WriteStrings({}));
    EXPECT_EQ(ReadFile(dir / "a.ini"), before);
}

// Reads of many keys parse a file once, yet every change of the file is seen: a write through
// IniFile, a rewrite in place of the same size, and one that puts the old modification time back.
TEST(IniFile, ReadsSeeEveryChangeOfTheFile) {
    namespace fs = std::filesystem;
    TempDir dir;
    const fs::path path = dir / "a.ini";
    const auto settled = fs::file_time_type::clock::now() - std::chrono::hours(1);
    auto rewriteInPlace = [&](const std::string& text) {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
        std::fclose(f);
    };

    WriteFile(path, "[S]\nA=1\n");
    fs::last_write_time(path, settled);
    IniFile ini(path);
    EXPECT_EQ(ini.GetInt("S", "A"), 1);
    EXPECT_EQ(ini.GetInt("S", "A"), 1);

    rewriteInPlace("[S]\nA=2\n");  // same size, a new modification time
    EXPECT_EQ(ini.GetInt("S", "A"), 2);

    fs::last_write_time(path, settled);
    EXPECT_EQ(ini.GetInt("S", "A"), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the clock's tick
    rewriteInPlace("[S]\nA=3\n");
    fs::last_write_time(path, settled);  // same size and the same modification time as before
    EXPECT_EQ(ini.GetInt("S", "A"), 3);

    ASSERT_TRUE(IniFile(path).WriteString("S", "A", "4"));
    EXPECT_EQ(ini.GetInt("S", "A"), 4);
    EXPECT_TRUE(ini.HasSection("S"));

    // A file just written is read again each time: its time may not have ticked yet.
    WriteFile(path, "[S]\nA=5\n");
    EXPECT_EQ(ini.GetInt("S", "A"), 5);
    rewriteInPlace("[S]\nA=6\n");
    EXPECT_EQ(ini.GetInt("S", "A"), 6);

    fs::remove(path);
    EXPECT_EQ(ini.GetString("S", "A"), "");
    EXPECT_EQ(ini.GetIntOr("S", "A", 7), 7);
}
