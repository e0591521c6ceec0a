// zorctl set: changes one kind of setting of a profile, saves the document and sends the mouse
// exactly what the program's page sends for the same change. The targets live in files of their
// own (CmdSetDpi.cpp, ...).
#include <algorithm>
#include <ostream>

#include "SetTarget.h"
#include "common/Text.h"
#include "config/MouseConfig.h"

namespace zor::ctl {

std::vector<SetTarget>& SetTargets() {
    static std::vector<SetTarget> targets;
    return targets;
}

SetTargetRegistration::SetTargetRegistration(std::string name, std::string usage, CommandHandler handler) {
    SetTargets().push_back({std::move(name), std::move(usage), std::move(handler)});
}

int ProfileOption(CommandContext& ctx, std::vector<std::string>& args) {
    const auto it = std::find(args.begin(), args.end(), "--profile");
    if (it == args.end()) return -1;
    if (std::next(it) == args.end()) {
        Fail(ctx, "--profile needs 0, 1 or 2");
        return -2;
    }
    const std::string value = *std::next(it);
    if (value.size() != 1 || value[0] < '0' || value[0] >= '0' + kConfigProfiles) {
        Fail(ctx, "--profile takes 0, 1 or 2, not \"" + value + "\"");
        return -2;
    }
    args.erase(it, std::next(it, 2));
    return value[0] - '0';
}

namespace {

int RunSet(CommandContext& ctx) {
    auto& args = ctx.options.args;
    std::string names;
    for (const SetTarget& target : SetTargets()) names += (names.empty() ? "" : ", ") + target.name;
    if (args.empty()) return Fail(ctx, "set needs what to set: " + names);
    for (const SetTarget& target : SetTargets()) {
        if (target.name != args[0]) continue;
        args.erase(args.begin());
        return target.handler(ctx);
    }
    return Fail(ctx, "cannot set \"" + args[0] + "\"; one of: " + names);
}

const CommandRegistration kSet("set", "set WHAT --profile P ... (see below)",
                               "change a setting, save it and send it to the mouse as the program does", RunSet);

}  // namespace
}  // namespace zor::ctl
