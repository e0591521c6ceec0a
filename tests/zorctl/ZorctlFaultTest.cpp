// zorctl over a virtual mouse that stops answering, answers with noise or is unplugged part-way:
// every command that sends fails with exit code 1 and one line saying so, and never prints what
// it prints on success.
#include <gtest/gtest.h>

#include <algorithm>
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
    // 1300 DPI is in the table of the mouse's chip only: a chip read that failed must not turn
    // into a refusal of the value. The reads fail as the sends do, whatever part of them failed.
    const char* commands[] = {"set dpi --profile 0 --gear 1 --value 1300",
                              "set rate --profile 0 500",
                              "set power SleepTime=7 LODHeight=1",
                              "reset",
                              "apply",
                              "read",
                              "status"};
    ZorctlHome home;
    for (const char* command : commands) {
        // status sends one frame: a fault due after two never comes.
        if (std::string(command) == "status" && fault.back() == '2') continue;
        const auto run = home.Run("--virtual --virtual-fault " + fault + " " + command);
        SCOPED_TRACE(fault + " / " + command);
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_EQ(run.err.rfind("zorctl: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("mouse"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("DPI table"), std::string::npos) << run.err;
    }
    // The next start, with a mouse that answers, works.
    EXPECT_EQ(home.Run("--virtual set rate --profile 0 1000").status, 0) << fault;
}

// A fault's count starts at the first frame: "unplug" and "unplug:0" pull the cable before it.
INSTANTIATE_TEST_SUITE_P(Faults, ZorctlFaultKind,
                         ::testing::Values("stop:2", "garbage", "unplug:2", "unplug", "unplug:0"),
                         [](const auto& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), ':', '_');
                             return name;
                         });

TEST(ZorctlFault, TheSameCommandsSucceedWithAMouseThatAnswers) {
    ZorctlHome home;
    const auto run = home.Run("--virtual set dpi --profile 0 --gear 1 --value 1300");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "gear 1 of profile 0 set\n");
    for (const char* command : {"read", "status", "--virtual-fault stop:5 status"})
        EXPECT_EQ(home.Run(std::string("--virtual ") + command).status, 0) << command;
    EXPECT_EQ(home.Run("--virtual --virtual-fault sideways set rate --profile 0 500").status, 2);
}
