// zorctl's settings commands send what the program sends for the same document: stored values
// the program would correct on the way out are corrected by zorctl too.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "ZorctlRun.h"

using zor::test::ZorctlHome;

namespace {

const char* kConfig = "res/MouseVarn/MouseA/Config/MouseConfig.json";

// The frames zorctl --trace wrote towards the mouse whose command byte is `command`.
std::vector<std::string> Sent(const std::string& trace, const char* command) {
    std::vector<std::string> frames;
    std::istringstream lines(trace);
    const std::string prefix = std::string("> 06 00 00 ") + command;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(prefix, 0) == 0) frames.push_back(line);
    return frames;
}

void EditConfig(const ZorctlHome& home, const std::function<void(nlohmann::json&)>& edit) {
    nlohmann::json document = nlohmann::json::parse(zor::test::ReadFile(home / kConfig));
    edit(document["mouseconfig"]);
    zor::test::WriteFile(home / kConfig, document.dump(4));
}

}  // namespace

TEST(ZorctlOperations, ApplySendsAStoredReportRateBeyondTheModelsMapAsItsHighestRate) {
    ZorctlHome home;
    // Four rates on this model: an index of 5 (written by hand, or by a model with seven) is
    // sent as the fourth, as a run of the program sends it, never dropped.
    EditConfig(home, [](nlohmann::json& config) { config["mouseadv"][0]["rateusbvalue"] = 5; });
    const auto run = home.Run("--virtual --trace apply --profile 0");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> rates = Sent(run.err, "03");
    ASSERT_FALSE(rates.empty()) << run.err;
    // Byte 9 of the write is the rate code: 1 (1000 Hz) for the fourth rate.
    for (const std::string& frame : rates) EXPECT_EQ(frame.substr(2 + 9 * 3, 2), "01") << frame;
}
