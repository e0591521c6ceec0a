// zorctl set power NAME=VALUE ...: power and sensor options of res/Set.ini (names as its keys,
// any case). Every pair is checked before anything is written; then all values are written at
// once and each change message's single write sent, as the power page does for one change at a time.
#include <algorithm>
#include <map>
#include <ostream>

#include "Session.h"
#include "SetTarget.h"
#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
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

// Why Set.ini cannot be used, or "". A file there that cannot be read is never replaced (its
// other settings would be lost), and its values cannot be checked against the new ones.
std::string ReadProblem(const std::filesystem::path& path) {
    std::string bytes;
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !ReadFileBytes(path, bytes, IniFile::kMaxFileBytes))
        return ReadFailure(path, IniFile::kMaxFileBytes) + "; it is left as it is and nothing was set";
    return {};
}

// Why Set.ini was not written: what stopped its reading, else the write itself.
std::string WriteProblem(const std::filesystem::path& path) {
    const std::string problem = ReadProblem(path);
    return problem.empty() ? "cannot write " + path.string() : problem;
}

int RunSetPower(CommandContext& ctx) {
    const auto& args = ctx.options.args;
    if (args.empty()) return Fail(ctx, "set power needs NAME=VALUE pairs; names: " + KeyNames());
    const PowerOptions options(paths::SetIni(ctx.options.home));
    std::map<PowerKey, int> values;  // in the order of the keys, whatever the order given
    for (const std::string& pair : args) {
        const std::size_t eq = pair.find('=');
        if (eq == std::string::npos) return Fail(ctx, "set power: \"" + pair + "\" is not NAME=VALUE");
        const std::optional<PowerKey> key = PowerKeyByName(pair.substr(0, eq));
        if (!key)
            return Fail(ctx, "set power: no option \"" + pair.substr(0, eq) + "\"; names: " + KeyNames());
        const char* name = InfoOf(*key).name;
        const PowerRange range = options.Ranges().Of(*key);
        int value = 0;
        if (!ParseValue(pair.substr(eq + 1), value) || value < range.min || value > range.max)
            return Fail(ctx, Format("set power: %s takes %d to %d, not \"%s\"", name, range.min, range.max,
                                    pair.substr(eq + 1)));
        if (!values.emplace(*key, value).second)
            return Fail(ctx, Format("set power: %s is given twice", name));
    }

    if (const std::string problem = ReadProblem(options.Path()); !problem.empty()) return Fail(ctx, problem);
    PowerValues next = options.Load();
    for (const auto& [key, value] : values) next.Set(key, value);
    if (!TimersInOrder(next))
        return Fail(ctx,
                    Format("set power: PDTime %d would start deep sleep before SleepTime %d; give both so "
                           "that PDTime is not shorter",
                           next.Get(PowerKey::PDTime), next.Get(PowerKey::SleepTime)));

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    // Every value in one write of Set.ini (an interrupted one leaves all of them old), then each
    // change's single write.
    if (!options.WriteAll(std::vector<std::pair<PowerKey, int>>(values.begin(), values.end())))
        return Fail(ctx, WriteProblem(options.Path()));
    std::string lines;
    for (const auto& [key, value] : values) {
        const PowerKeyInfo& info = InfoOf(key);
        const std::optional<PowerChange> change = PowerChangeFor(info.message);
        if (!change) continue;
        if (change->single)
            session.Scheduler().Flags().single[static_cast<std::size_t>(*change->single)] = true;
        const control::RunResult run = session.Scheduler().RunNow(0, change->kind);
        if (const std::string problem = DeliveryProblem(run); !problem.empty()) return Fail(ctx, problem);
        lines += std::string(info.name) + '=' + std::to_string(value) + '\n';
    }
    ctx.out << lines;
    return 0;
}

const SetTargetRegistration kPower("power",
                                   "power NAME=VALUE ...  (Set.ini names: SleepTime=5 LODHeight=1 ...)",
                                   RunSetPower);

}  // namespace
}  // namespace zor::ctl
