// File names given to zorctl are the user's: relative ones are relative to where zorctl was
// started, and an export never replaces a file of the program folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ZorctlRun.h"
#include "support/TempDir.h"

using zor::test::ReadFile;
using zor::test::ZorctlHome;

namespace {

const char* kSetIni = "res/Set.ini";

}  // namespace

TEST(ZorctlPaths, RelativeFilesAreRelativeToTheCurrentDirectory) {
    ZorctlHome home;
    auto run = home.Run("config export my.Mouse.Config");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(home.work() / "my.Mouse.Config"));
    EXPECT_FALSE(std::filesystem::exists(home / "my.Mouse.Config"));

    run = home.Run("config import my.Mouse.Config");
    EXPECT_EQ(run.status, 0) << run.err;

    run = home.Run("macro export 0 group.Macro.Config");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(home.work() / "group.Macro.Config"));
    EXPECT_FALSE(std::filesystem::exists(home / "group.Macro.Config"));

    run = home.Run("macro import group.Macro.Config");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("imported 1 group"), std::string::npos) << run.out;
}

TEST(ZorctlPaths, ExportRefusesToReplaceAFileOfTheProgramFolder) {
    ZorctlHome home;
    const std::string before = ReadFile(home / kSetIni);
    ASSERT_FALSE(before.empty());
    // Given as an absolute path, and relative from inside the program folder.
    auto run = home.Run("macro export 0 '" + (home / kSetIni).string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("program folder"), std::string::npos) << run.err;
    run = home.Run("config export '" + (home / kSetIni).string() + "'");
    EXPECT_EQ(run.status, 1);
    // Through a link in the user's folder.
    std::filesystem::create_symlink(home / kSetIni, home.work() / "link.Mouse.Config");
    run = home.Run("config export link.Mouse.Config");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadFile(home / kSetIni), before);
    // A new file inside the program folder is not one of its files.
    run = home.Run("config export '" + (home / "res" / "new.Mouse.Config").string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST(ZorctlRoot, RunningAsRootIsSaidOnceAtATerminalAndTheCommandStillRuns) {
    ZorctlHome home;
    // At a terminal (a pseudo-terminal from script(1)): the warning once, then the output.
    const auto shown = home / "terminal.txt";
    const int status = zor::test::RunShell("script -qec \"'" + std::string(ZORCTL_PATH) + "' --home '" +
                                           home.home().string() + "' macro list\" /dev/null >'" +
                                           shown.string() + "' </dev/null");
    EXPECT_EQ(status, 0);
    const std::string text = ReadFile(shown);
    const std::size_t first = text.find("running as root");
    if (::geteuid() == 0) {
        EXPECT_NE(first, std::string::npos) << text;
        EXPECT_EQ(text.find("running as root", first + 1), std::string::npos) << text;
    } else {
        EXPECT_EQ(first, std::string::npos) << text;
    }
    EXPECT_NE(text.find("  ("), std::string::npos) << "the list follows: " << text;
    // Into a file, as scripts read it: nothing but the command's own output.
    const auto run = home.Run("macro list");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}
