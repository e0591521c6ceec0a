// Profiles per application: which rule an application's ids meet, what the rules refuse, and
// the user's file kept whole through edits and never replaced when it cannot be read.
#include <gtest/gtest.h>

#include "control/AppProfiles.h"
#include "support/TempDir.h"

namespace zor::control::test {
namespace {

AppProfileRules Sample() {
    AppProfileRules rules;
    rules.enabled = true;
    EXPECT_TRUE(rules.Add("Firefox", 1).Done());
    EXPECT_TRUE(rules.Add("org.gnome.Terminal.desktop", 2).Done());
    EXPECT_TRUE(rules.Add("steam", 0).Done());
    return rules;
}

TEST(AppProfilesTest, TheFirstIdWithARuleDecidesInAnyCaseElseTheDefault) {
    AppProfileRules rules = Sample();
    EXPECT_EQ(rules.ProfileFor({"navigator", "FIREFOX"}), 1) << "the class name, in another case";
    EXPECT_EQ(rules.ProfileFor({"steam", "Firefox"}), 0) << "the instance name comes first";
    EXPECT_EQ(rules.ProfileFor({"org.gnome.terminal"}), 2) << "an app_id meets its desktop-file id";
    EXPECT_EQ(rules.ProfileFor({"Steam.desktop"}), 0);
    EXPECT_EQ(rules.ProfileFor({"fire"}), kNoAppProfile) << "no prefix matching";
    ASSERT_TRUE(rules.SetDefault(2).Done());
    EXPECT_EQ(rules.ProfileFor({"gimp", "Gimp"}), 2);
    // Adding a known id again (in another spelling) changes its profile, not the rule count.
    ASSERT_TRUE(rules.Add(" firefox.desktop ", 0).Done());
    EXPECT_EQ(rules.rules.size(), 3u);
    EXPECT_EQ(rules.ProfileFor({"Firefox"}), 0);
    ASSERT_TRUE(rules.Remove("FIREFOX").Done());
    EXPECT_EQ(rules.ProfileFor({"firefox"}), 2);
    rules.enabled = false;
    EXPECT_EQ(rules.ProfileFor({"steam"}), kNoAppProfile) << "switched off, the mouse is left alone";
}

TEST(AppProfilesTest, BadIdsProfilesAndFileLinesAreRefusedChangingNothing) {
    AppProfileRules rules = Sample();
    const AppProfileRules before = rules;
    for (const char* id : {"", "   ", "a=b", "tab\there", "#comment", "[section]"})
        EXPECT_FALSE(rules.Add(id, 1).Done()) << '"' << id << '"';
    EXPECT_FALSE(rules.Add(std::string(kMaxAppIdBytes + 1, 'x'), 1).Done());
    EXPECT_FALSE(rules.Add("gimp", 3).Done());
    EXPECT_FALSE(rules.Add("gimp", -1).Done());
    EXPECT_FALSE(rules.SetDefault(3).Done());
    EXPECT_FALSE(rules.Remove("gimp").Done());
    EXPECT_EQ(FormatAppProfiles(rules), FormatAppProfiles(before));
    EXPECT_EQ(ParseAppProfile("none", true), kNoAppProfile);
    EXPECT_FALSE(ParseAppProfile("none", false));
    EXPECT_FALSE(ParseAppProfile("01", false));

    const std::pair<const char*, const char*> damaged[] = {
        {"[AppProfiles]\nEnabled=2\n", "line 2"},
        {"[AppProfiles]\nDefault=3\n", "line 2"},
        {"[AppProfiles]\nEnable=1\n", "line 2"},  // a misspelt key is not read as 0
        {"[AppProfiles]\nEnabled=1\nEnabled=0\n", "line 3"},
        {"[Other]\n", "line 1"},
        {"[Rules]\nfirefox=1\nFirefox.desktop=2\n", "line 3"},
        {"[Rules]\nfirefox\n", "line 2"},
        {"[Rules]\nfirefox=4\n", "line 2"},
        {"firefox=1\n", "line 1"},  // before any section
    };
    for (const auto& [text, where] : damaged) {
        const AppProfilesRead read = ParseAppProfiles(text);
        EXPECT_FALSE(read.ok) << text;
        EXPECT_NE(read.error.find(where), std::string::npos) << text << " -> " << read.error;
    }
}

TEST(AppProfilesTest, TheFileRoundTripsAndADamagedOneIsNeverReplaced) {
    zor::test::TempDir dir;
    const std::filesystem::path file = dir / "user" / "res" / "AppProfiles.ini";
    const AppProfilesRead missing = LoadAppProfiles(file);
    ASSERT_TRUE(missing.ok);
    EXPECT_FALSE(missing.rules.enabled);
    EXPECT_TRUE(missing.rules.rules.empty());

    AppProfileRules rules = Sample();
    ASSERT_TRUE(rules.SetDefault(1).Done());
    ASSERT_TRUE(SaveAppProfiles(file, rules, nullptr));  // its folder made as needed
    const AppProfilesRead back = LoadAppProfiles(file);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(FormatAppProfiles(back.rules), FormatAppProfiles(rules));
    EXPECT_EQ(back.rules.rules[1].appId, "org.gnome.Terminal.desktop") << "the id kept as given";
    // A file edited by hand: CRLF, a BOM, comments, spaces and other cases are read.
    zor::test::WriteFile(
        file, "\xEF\xBB\xBF; mine\r\n[appprofiles]\r\n enabled = 1 \r\n[RULES]\r\n# x\r\nVLC = 2\r\n");
    const AppProfilesRead hand = LoadAppProfiles(file);
    ASSERT_TRUE(hand.ok) << hand.error;
    EXPECT_EQ(hand.rules.ProfileFor({"vlc"}), 2);

    // An edit through the file: saved whole; a refused edit leaves it as it was.
    ASSERT_TRUE(EditAppProfiles(file, [](AppProfileRules& r) { return r.Add("mpv", 0); }).Done());
    EXPECT_EQ(LoadAppProfiles(file).rules.ProfileFor({"mpv"}), 0);
    const std::string saved = zor::test::ReadFile(file);
    EXPECT_FALSE(EditAppProfiles(file, [](AppProfileRules& r) { return r.Add("", 0); }).Done());
    EXPECT_EQ(zor::test::ReadFile(file), saved);
    // A damaged file is named and kept: no edit replaces what the user wrote.
    zor::test::WriteFile(file, "[Rules]\nvlc=9\n");
    const OpResult refused = EditAppProfiles(file, [](AppProfileRules& r) { return r.SetDefault(0); });
    EXPECT_FALSE(refused.Done());
    EXPECT_NE(refused.reason.find(file.string() + " line 2"), std::string::npos) << refused.reason;
    EXPECT_EQ(zor::test::ReadFile(file), "[Rules]\nvlc=9\n");
    // So is a file that is not a regular file.
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_FALSE(LoadAppProfiles(file).ok);
    EXPECT_FALSE(EditAppProfiles(file, [](AppProfileRules& r) { return r.SetDefault(0); }).Done());
}

}  // namespace
}  // namespace zor::control::test
