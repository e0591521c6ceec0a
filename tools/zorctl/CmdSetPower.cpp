// zorctl set power NAME=VALUE ...: power and sensor options of res/Set.ini (names as its keys,
// any case), set through the power operation the power page uses: every pair is checked before
// anything is written; then all values are written at once and each change's single write sent.
#include <algorithm>
#include <ostream>

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

std::string KeyNames() {
    std::string names;
    for (const PowerKeyInfo& info : kPowerKeys) names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

int RunSetPower(CommandContext& ctx) {
    const auto& args = ctx.options.args;
    if (args.empty()) return Fail(ctx, "set power needs NAME=VALUE pairs; names: " + KeyNames());
    std::vector<std::pair<PowerKey, int>> values;
    for (const std::string& pair : args) {
        const std::size_t eq = pair.find('=');
        if (eq == std::string::npos) return Fail(ctx, "set power: \"" + pair + "\" is not NAME=VALUE");
        const std::optional<PowerKey> key = PowerKeyByName(pair.substr(0, eq));
        if (!key)
            return Fail(ctx, "set power: no option \"" + pair.substr(0, eq) + "\"; names: " + KeyNames());
        int value = 0;
        if (!ParseValue(pair.substr(eq + 1), value)) {
            const PowerRange range = PowerRanges{}.Of(*key);
            return Fail(ctx, Format("set power: %s takes %d to %d, not \"%s\"", InfoOf(*key).name, range.min,
                                    range.max, pair.substr(eq + 1)));
        }
        values.emplace_back(*key, value);
    }

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    const control::OpResult set = control::SetPowerOptions(session.Model(), session, values);
    if (!set.Done()) return Fail(ctx, set.reason);
    std::sort(values.begin(), values.end());
    for (const auto& [key, value] : values) ctx.out << InfoOf(key).name << '=' << value << '\n';
    return 0;
}

const SetTargetRegistration kPower("power",
                                   "power NAME=VALUE ...  (Set.ini names: SleepTime=5 LODHeight=1 ...)",
                                   RunSetPower);

}  // namespace
}  // namespace zor::ctl
