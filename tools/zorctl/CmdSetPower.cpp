// zorctl set power NAME=VALUE ...: power and sensor options of res/Set.ini (names as its keys,
// any case), set through the power operation the power page uses: every pair is checked before
// anything is written; then all values are written at once and each change's single write sent.
#include <algorithm>
#include <ostream>

#include "ServiceClient.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "control/SettingsOperations.h"
#include "settings/PowerOptions.h"

namespace zor::ctl {
namespace {

bool ParseValue(const std::string& text, int& out) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = ParseLeadingInt(text);
    return true;
}

int RunSetPower(CommandContext& ctx) {
    const auto& args = ctx.options.args;
    if (args.empty())
        return Fail(ctx, "set power needs NAME=VALUE pairs; names: " + control::PowerKeyNames());
    std::vector<std::pair<PowerKey, int>> values;
    for (const std::string& pair : args) {
        const std::size_t eq = pair.find('=');
        if (eq == std::string::npos) return Fail(ctx, "set power: \"" + pair + "\" is not NAME=VALUE");
        PowerKey key{};
        if (const control::OpResult named = control::PowerKeyNamed(pair.substr(0, eq), key); !named.Done())
            return Fail(ctx, named.reason);
        int value = 0;
        if (!ParseValue(pair.substr(eq + 1), value)) {
            const PowerRange range = PowerRanges{}.Of(key);
            return Fail(ctx, Format("set power: %s takes %d to %d, not \"%s\"", InfoOf(key).name, range.min,
                                    range.max, pair.substr(eq + 1)));
        }
        values.emplace_back(key, value);
    }
    std::string done;
    {
        auto sorted = values;
        std::sort(sorted.begin(), sorted.end());
        for (const auto& [key, value] : sorted)
            done += (done.empty() ? "" : "\n") + Format("%s=%d", InfoOf(key).name, value);
    }
    // The program takes the values by name, each once.
    if (const control::OpResult once = control::PowerValuesGivenOnce(values); !once.Done())
        return Fail(ctx, once.reason);
    ServiceChanges named;
    for (const auto& [key, value] : values) named[InfoOf(key).name] = value;
    if (const auto answer = CallProgram(ctx, "SetPowerOptions", {named})) return Answered(ctx, *answer, done);

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    const control::OpResult set = control::SetPowerOptions(session.Model(), session, values);
    if (!set.Done()) return Fail(ctx, set.reason);
    ctx.out << done << '\n';
    return 0;
}

const SetTargetRegistration kPower("power",
                                   "power NAME=VALUE ...  (Set.ini names: SleepTime=5 LODHeight=1 ...)",
                                   RunSetPower);

}  // namespace
}  // namespace zor::ctl
