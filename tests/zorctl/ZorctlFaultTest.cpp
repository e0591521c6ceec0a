// zorctl over a virtual mouse that stops answering, answers with noise or is unplugged part-way:
// every command that sends fails with exit code 1 and one line saying so, and never prints what
// it prints on success.
#include <gtest/gtest.h>

#include <string>

#include "ZorctlRun.h"

using zor::test::ZorctlHome;

namespace {

int Lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n' ? 1 : 0;
    return n;
}

}  // namespace

// One test per fault, so that ctest runs the three (each mostly waiting out time-outs) side by side.
class ZorctlFaultKind : public ::testing::TestWithParam<const char*> {};

TEST_P(ZorctlFaultKind, AFailedSendIsNeverReportedAsSuccess) {
    const std::string fault = GetParam();
    const char* commands[] = {"set dpi --profile 0 --gear 1 --value 1600", "set rate --profile 0 500",
                              "set power SleepTime=7 LODHeight=1", "reset", "apply"};
    ZorctlHome home;
    for (const char* command : commands) {
        // garbage spoils only replies: the commands that read before they write see it.
        if (fault == "garbage" && std::string(command) != "reset") continue;
        const auto run = home.Run("--virtual --virtual-fault " + fault + " " + command);
        SCOPED_TRACE(fault + " / " + command);
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_EQ(run.err.rfind("zorctl: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("mouse"), std::string::npos) << run.err;
    }
    // The next start, with a mouse that answers, works.
    EXPECT_EQ(home.Run("--virtual set rate --profile 0 1000").status, 0) << fault;
}

INSTANTIATE_TEST_SUITE_P(Faults, ZorctlFaultKind, ::testing::Values("stop:2", "garbage", "unplug:2"),
                         [](const auto& param) {
                             std::string name = param.param;
                             return name.substr(0, name.find(':'));
                         });

TEST(ZorctlFault, TheSameCommandsSucceedWithAMouseThatAnswers) {
    ZorctlHome home;
    const auto run = home.Run("--virtual set dpi --profile 0 --gear 1 --value 1600");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "gear 1 of profile 0 set\n");
    EXPECT_EQ(home.Run("--virtual --virtual-fault sideways set rate --profile 0 500").status, 2);
}
