// Names from the macro library reach the terminal only with their control characters escaped.
#include <gtest/gtest.h>

#include "ZorctlRun.h"
#include "common/Text.h"
#include "macro/MacroStore.h"

using namespace zor;
using zor::test::ZorctlHome;

TEST(ZorctlNames, MacroListAndShowEscapeControlCharacters) {
    ZorctlHome home;
    MacroStore store;
    store.Load(home / std::string(kMacroLivePath));
    int g = -1;
    ASSERT_TRUE(store.NewGroup(0, u"\x1b]0;owned\a\x1b[2J\r\nX", &g).ok);
    int m = -1;
    ASSERT_TRUE(store.NewMacro(g, 0, u"tab\there\u009b31m", &m).ok);
    ASSERT_TRUE(store.SaveAll().ok);

    for (const char* args : {"macro list", "macro show 0 0"}) {
        const auto run = home.Run(args);
        ASSERT_EQ(run.status, 0) << run.err;
        for (std::size_t i = 0; i < run.out.size(); ++i) {
            const auto c = static_cast<unsigned char>(run.out[i]);
            EXPECT_TRUE(c >= 0x20 || c == '\n') << args << ": byte " << int(c) << " at " << i;
            EXPECT_FALSE(c == 0xC2 && i + 1 < run.out.size() &&
                         static_cast<unsigned char>(run.out[i + 1]) == 0x9B)
                << args;
        }
        if (std::string(args) == "macro list") {
            EXPECT_NE(run.out.find("\\x1b]0;owned\\x07\\x1b[2J\\r\\nX"), std::string::npos) << run.out;
        }
        EXPECT_NE(run.out.find("tab\\there\\u009b31m"), std::string::npos) << run.out;
    }
}

TEST(ZorctlNames, HelpFitsATerminalAndNamesEveryCommandWithItsWholeUsage) {
    ZorctlHome home;
    const auto run = home.Run("--help");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string joined;  // the text with the wrapped lines put back together
    std::size_t start = 0;
    while (start < run.out.size()) {
        const std::size_t end = run.out.find('\n', start);
        const std::string line = run.out.substr(start, end - start);
        EXPECT_LE(line.size(), 79u) << line;
        const std::size_t text = line.find_first_not_of(' ');
        // A line broken after a "|" goes on without a space, one broken at a space with one.
        if (text != std::string::npos)
            joined += (joined.empty() || joined.back() == '|' ? "" : " ") + line.substr(text);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    for (const char* usage :
         {"apply [--profile N] [--keys K,K]", "get [--profile P]", "reset",
          "macro list|show G M|export G FILE|import FILE...|reset|stream G M|add-group NAME|",
          "loop GROUP/NAME until-release|until-click|times N|rename GROUP[/NAME] NEWNAME|remove "
          "GROUP[/NAME] [--force]",
          "set dpi --profile P --gear N [--value DPI] [--colour RRGGBB] [--enable|--disable] [--current]",
          "set rate --profile P HZ"})
        EXPECT_NE(joined.find(usage), std::string::npos) << usage << "\n" << run.out;
}
