#include "macro/KeyboardLayout.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "macro/MacVkAndText.h"
#include "support/TempDir.h"

namespace zor {
namespace {

// Session inputs from a fixed environment, without the X server.
SessionLayoutInputs Inputs(const std::map<std::string, std::string>& env, std::filesystem::path defaults) {
    SessionLayoutInputs inputs;
    inputs.getEnv = [env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    inputs.keyboardDefaults = std::move(defaults);
    inputs.askXServer = false;
    return inputs;
}

// Sets or clears an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

TEST(KeyboardLayoutSession, EnvironmentLayoutComesFirst) {
    test::TempDir dir;
    test::WriteFile(dir / "keyboard", "XKBLAYOUT=\"fr\"\n");
    const auto layout = KeyboardLayout::BuildSession(
        Inputs({{"XKB_DEFAULT_LAYOUT", "de"}, {"XKB_DEFAULT_VARIANT", "nodeadkeys"}}, dir / "keyboard"));
    EXPECT_EQ(layout->source(), LayoutSource::Environment);
    EXPECT_EQ(layout->description(), "de(nodeadkeys)");
    EXPECT_EQ(layout->character(KEY_Y), U'z');
    EXPECT_EQ(layout->character(KEY_GRAVE), U'^');
}

TEST(KeyboardLayoutSession, VariantAloneDoesNotSelectTheEnvironment) {
    test::TempDir dir;
    test::WriteFile(dir / "keyboard", "# comment\nXKBMODEL=\"pc105\"\nXKBLAYOUT='fr'\nXKBVARIANT=\"\"\n");
    const auto layout =
        KeyboardLayout::BuildSession(Inputs({{"XKB_DEFAULT_VARIANT", "nodeadkeys"}}, dir / "keyboard"));
    EXPECT_EQ(layout->source(), LayoutSource::SystemDefaults);
    EXPECT_EQ(layout->character(KEY_A), U'q');
}

TEST(KeyboardLayoutSession, WithoutAnySourceTheLayoutIsUs) {
    test::TempDir dir;
    const auto layout = KeyboardLayout::BuildSession(Inputs({{"DISPLAY", ":99"}}, dir / "missing"));
    EXPECT_EQ(layout->source(), LayoutSource::Fallback);
    EXPECT_TRUE(layout->valid());
    EXPECT_EQ(layout->character(KEY_Y), U'y');
}

TEST(KeyboardLayoutSession, UnknownEnvironmentLayoutLeavesNoCharacters) {
    const auto layout =
        KeyboardLayout::BuildSession(Inputs({{"XKB_DEFAULT_LAYOUT", "no-such-layout"}}, "/nonexistent"));
    EXPECT_FALSE(layout->valid());
    EXPECT_EQ(layout->character(KEY_A), 0u);
}

TEST(KeyboardLayoutSession, SharedSessionFollowsTheEnvironmentAfterReload) {
    const ScopedEnv display("DISPLAY", nullptr);
    const ScopedEnv variant("XKB_DEFAULT_VARIANT", nullptr);
    const MacVkAndText names;  // the session layout
    {
        const ScopedEnv layout("XKB_DEFAULT_LAYOUT", "de");
        KeyboardLayout::ReloadSession();
        EXPECT_EQ(names.ScanToTextUtf8(21), "Z");
        EXPECT_EQ(KeyboardLayout::Session(), KeyboardLayout::Session());  // built once, then shared
    }
    {
        const ScopedEnv layout("XKB_DEFAULT_LAYOUT", "us");
        EXPECT_EQ(names.ScanToTextUtf8(21), "Z");  // still the cached layout
        KeyboardLayout::ReloadSession();
        EXPECT_EQ(names.ScanToTextUtf8(21), "Y");
    }
    KeyboardLayout::ReloadSession();
}

TEST(KeyboardLayoutDefaults, ReadsTheKeyboardDefaultsFile) {
    test::TempDir dir;
    test::WriteFile(
        dir / "keyboard",
        "  XKBMODEL=pc104\nXKBLAYOUT=\"us,de\"\n#XKBVARIANT=\"wrong\"\nXKBVARIANT=\",nodeadkeys\"\n"
        "XKBOPTIONS=\"grp:alt_shift_toggle\"\nBACKSPACE=\"guess\"\n");
    const auto names = KeyboardLayout::ReadKeyboardDefaults(dir / "keyboard");
    EXPECT_EQ(names.model, "pc104");
    EXPECT_EQ(names.layout, "us,de");
    EXPECT_EQ(names.variant, ",nodeadkeys");
    EXPECT_EQ(names.options, "grp:alt_shift_toggle");
    EXPECT_EQ(KeyboardLayout::ReadKeyboardDefaults(dir / "missing").layout, "");
}

TEST(KeyboardLayoutCharacters, ControlCharactersAndOutOfRangeKeysProduceNothing) {
    const auto us = KeyboardLayout::FromNames({"", "", "us", "", ""});
    EXPECT_EQ(us->character(KEY_ENTER), 0u);
    EXPECT_EQ(us->character(KEY_ESC), 0u);
    EXPECT_EQ(us->character(KEY_DELETE), 0u);
    EXPECT_EQ(us->character(KEY_LEFTSHIFT), 0u);
    EXPECT_EQ(us->character(KEY_KPASTERISK), U'*');
    EXPECT_EQ(us->character(100000), 0u);
    // The first group of a multi-layout keymap is the active one.
    EXPECT_EQ(KeyboardLayout::FromNames({"", "", "de,us", "", ""})->character(KEY_Y), U'z');
}

TEST(KeyboardLayoutCharacters, DeadKeysMapToSpacingAccents) {
    EXPECT_EQ(DeadKeySpacingCharacter(0xfe52), U'^');       // dead_circumflex
    EXPECT_EQ(DeadKeySpacingCharacter(0xfe51), U'\u00B4');  // dead_acute
    EXPECT_EQ(DeadKeySpacingCharacter(0xfe57), U'\u00A8');  // dead_diaeresis
    EXPECT_EQ(DeadKeySpacingCharacter(0xfe60), 0u);         // dead_belowdot: no spacing form
    EXPECT_EQ(DeadKeySpacingCharacter('a'), 0u);
}

TEST(KeyboardLayoutCharacters, UpperCasingCoversLatinGreekAndCyrillic) {
    for (const auto upper : {&UpperCaseCharacter, &detail::UpperCaseWithoutLocale}) {
        EXPECT_EQ(upper(U'a'), U'A');
        EXPECT_EQ(upper(U'é'), U'É');
        EXPECT_EQ(upper(U'ÿ'), U'Ÿ');
        EXPECT_EQ(upper(U'ß'), U'ß');
        EXPECT_EQ(upper(U'÷'), U'÷');
        EXPECT_EQ(upper(U'ą'), U'Ą');
        EXPECT_EQ(upper(U'ł'), U'Ł');
        EXPECT_EQ(upper(U'ž'), U'Ž');
        EXPECT_EQ(upper(U'ş'), U'Ş');
        EXPECT_EQ(upper(U'Ł'), U'Ł');
        EXPECT_EQ(upper(U'ς'), U'Σ');
        EXPECT_EQ(upper(U'ώ'), U'Ώ');
        EXPECT_EQ(upper(U'я'), U'Я');
        EXPECT_EQ(upper(U'ї'), U'Ї');
        EXPECT_EQ(upper(U'ґ'), U'Ґ');
        EXPECT_EQ(upper(U'1'), U'1');
        EXPECT_EQ(upper(U'^'), U'^');
    }
}

}  // namespace
}  // namespace zor
