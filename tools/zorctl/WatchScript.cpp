#include "WatchScript.h"

#include <charconv>
#include <map>
#include <sstream>

#include "common/Text.h"

namespace zor::ctl {
namespace {

const std::map<std::string, MouseButton> kButtons = {{"dpi", MouseButton::Dpi},
                                                     {"profile", MouseButton::Profile},
                                                     {"lighting", MouseButton::Lighting},
                                                     {"rate", MouseButton::ReportRate}};
const std::map<std::string, ScriptOp> kOps = {{"press", ScriptOp::Press},
                                              {"release", ScriptOp::Release},
                                              {"click", ScriptOp::Click},
                                              {"unplug", ScriptOp::Unplug},
                                              {"replug", ScriptOp::Replug},
                                              {"drop-link", ScriptOp::DropLink},
                                              {"restore-link", ScriptOp::RestoreLink},
                                              {"battery", ScriptOp::Battery},
                                              {"wait", ScriptOp::Wait}};

std::optional<int> Number(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace

ScriptResult ParseWatchScript(const std::string& text) {
    ScriptResult result;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::vector<std::string> words;
        std::istringstream split(line);
        for (std::string word; split >> word;) words.push_back(ToLowerAscii(word));
        if (words.empty()) continue;

        auto fail = [&](const std::string& why) {
            result.steps.clear();
            result.error = Format("line %d: %s", number, why);
            return result;
        };
        const auto op = kOps.find(words[0]);
        if (op == kOps.end()) return fail("unknown action \"" + words[0] + "\"");
        ScriptStep step{op->second, MouseButton::Dpi, 0, false, number};
        std::size_t expected = 1;
        switch (step.op) {
            case ScriptOp::Press:
            case ScriptOp::Release:
            case ScriptOp::Click: {
                const auto button = words.size() > 1 ? kButtons.find(words[1]) : kButtons.end();
                if (button == kButtons.end())
                    return fail("expected a button: dpi, profile, lighting or rate");
                step.button = button->second;
                expected = 2;
                break;
            }
            case ScriptOp::Battery: {
                const auto percent = words.size() > 1 ? Number(words[1], 0, 100) : std::nullopt;
                if (!percent) return fail("expected a battery level 0..100");
                step.value = *percent;
                step.charging = words.size() > 2 && words[2] == "charging";
                expected = step.charging ? 3 : 2;
                break;
            }
            case ScriptOp::Wait: {
                const auto ms = words.size() > 1 ? Number(words[1], 0, 60000) : std::nullopt;
                if (!ms) return fail("expected milliseconds 0..60000");
                step.value = *ms;
                expected = 2;
                break;
            }
            default:
                break;
        }
        if (words.size() != expected) return fail("unexpected text after \"" + words[expected - 1] + "\"");
        result.steps.push_back(step);
    }
    return result;
}

}  // namespace zor::ctl
