// The autostart entry: written, rewritten and removed as the preferences say, with an Exec line
// that survives unusual paths, and aligned by the window at start.
#include "MainWindowFixture.h"
#include "app/Autostart.h"
#include "common/IniFile.h"

namespace zor::app::test {
namespace {

std::string ExecLine(const std::string& entry) {
    const auto at = entry.find("\nExec=");
    if (at == std::string::npos) return {};
    return entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
}

TEST(Autostart, TheEntryFollowsTheOpenAndHiddenPreferences) {
    zor::test::TempDir dir;
    const auto folder = dir.path() / "config" / "autostart";
    const auto file = folder / "ZorMouse.desktop";
    const std::filesystem::path exe = "/opt/zor/zormouse";

    EXPECT_EQ(AlignAutostart(folder, "ZorMouse", exe, false, false), AutostartResult::Unchanged);
    EXPECT_FALSE(std::filesystem::exists(folder));

    EXPECT_EQ(AlignAutostart(folder, "ZorMouse", exe, true, true), AutostartResult::Written);
    EXPECT_EQ(ExecLine(zor::test::ReadFile(file)), "\"/opt/zor/zormouse\" -silent");
    EXPECT_EQ(AlignAutostart(folder, "ZorMouse", exe, true, true), AutostartResult::Unchanged);
    EXPECT_EQ(AlignAutostart(folder, "ZorMouse", exe, true, false), AutostartResult::Written);
    EXPECT_EQ(ExecLine(zor::test::ReadFile(file)), "\"/opt/zor/zormouse\"");

    EXPECT_EQ(AlignAutostart(folder, "ZorMouse", exe, false, true), AutostartResult::Removed);
    EXPECT_FALSE(std::filesystem::exists(file));

    // Names that are no plain file name, and a missing folder, change nothing.
    for (const char* name : {"", ".", "..", "../ZorMouse", "a/b"})
        EXPECT_EQ(AlignAutostart(folder, name, exe, true, false), AutostartResult::Failed) << name;
    EXPECT_EQ(AlignAutostart({}, "ZorMouse", exe, true, false), AutostartResult::Failed);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(Autostart, ExecQuotesThePathByTheDesktopEntryRules) {
    const std::string entry = AutostartEntry("Z", "/home/a b/$x/\"q\"/back\\slash/100%/zormouse", false);
    EXPECT_EQ(ExecLine(entry), R"("/home/a b/\\$x/\\"q\\"/back\\\\slash/100%%/zormouse")");
}

TEST_F(MainWindowTest, StartWritesTheAutostartEntryTheSettingsFileAsksFor) {
    WriteSetIni(0, 0, 1, 1);
    ASSERT_TRUE(IniFile(folder / "res" / "Set.ini").WriteString("Set", "SoftName", "ZorMouseTest"));
    Start();
    const std::string entry = zor::test::ReadFile(dir.path() / "autostart" / "ZorMouseTest.desktop");
    EXPECT_NE(ExecLine(entry).find(" -silent"), std::string::npos);
    EXPECT_NE(entry.find("Name=ZorMouseTest"), std::string::npos);
}

}  // namespace
}  // namespace zor::app::test
