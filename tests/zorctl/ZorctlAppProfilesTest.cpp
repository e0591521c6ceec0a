// zorctl app-profiles as a user runs it: each edit lands in the user's AppProfiles.ini, list shows
// it (also as JSON), and bad input is one line with exit code 1 and the file as it was.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ZorctlRun.h"
#include "common/ProgramPaths.h"
#include "control/AppProfiles.h"

using zor::test::ZorctlHome;

TEST(ZorctlAppProfiles, EditsListAndRefusalsLeaveTheFileAsTheySay) {
    ZorctlHome home;
    const std::filesystem::path file = zor::paths::AppProfiles(home.home());
    for (const char* edit : {"add Firefox 1", "add 'org.gnome.Terminal.desktop' 2", "add steam 0",
                             "add firefox 2", "remove STEAM", "default 0", "enable"}) {
        const auto run = home.Run(std::string("app-profiles ") + edit);
        EXPECT_EQ(run.status, 0) << edit << ": " << run.err;
    }
    const zor::control::AppProfilesRead read = zor::control::LoadAppProfiles(file);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.rules.enabled);
    EXPECT_EQ(read.rules.defaultProfile, 0);
    EXPECT_EQ(read.rules.ProfileFor({"firefox"}), 2);
    EXPECT_EQ(read.rules.ProfileFor({"org.gnome.Terminal"}), 2);
    EXPECT_EQ(read.rules.rules.size(), 2u) << "steam removed, firefox's rule changed in place";

    const auto list = home.Run("app-profiles list --json");
    ASSERT_EQ(list.status, 0) << list.err;
    const nlohmann::json listed = nlohmann::json::parse(list.out);
    EXPECT_EQ(listed["enabled"], true);
    EXPECT_EQ(listed["default"], 0);
    ASSERT_EQ(listed["rules"].size(), 2u);
    EXPECT_EQ(listed["rules"][0]["app"], "Firefox");
    EXPECT_EQ(listed["rules"][0]["profile"], 2);
    const auto text = home.Run("app-profiles list");
    EXPECT_NE(text.out.find("org.gnome.Terminal.desktop = 2"), std::string::npos) << text.out;
    ASSERT_EQ(home.Run("app-profiles default none").status, 0);
    EXPECT_EQ(nlohmann::json::parse(home.Run("--json app-profiles list").out)["default"], nullptr);

    const std::string before = zor::test::ReadFile(file);
    for (const char* bad : {"add gimp 3", "add gimp none", "add '' 1", "add '  ' 1", "add a=b 1",
                            "remove gimp", "default 5", "default -1"}) {
        const auto run = home.Run(std::string("app-profiles ") + bad);
        EXPECT_EQ(run.status, 1) << bad;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << bad << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << bad;
    }
    EXPECT_EQ(home.Run("app-profiles").status, 2);
    EXPECT_EQ(home.Run("app-profiles add gimp").status, 2);
    EXPECT_EQ(zor::test::ReadFile(file), before);

    // A file damaged by hand is named and kept.
    zor::test::WriteFile(file, "[Rules]\ngimp=7\n");
    const auto damaged = home.Run("app-profiles enable");
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find("AppProfiles.ini line 2"), std::string::npos) << damaged.err;
    EXPECT_EQ(home.Run("app-profiles list").status, 1);
    EXPECT_EQ(zor::test::ReadFile(file), "[Rules]\ngimp=7\n");
}
