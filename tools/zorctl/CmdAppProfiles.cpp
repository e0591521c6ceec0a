// zorctl app-profiles: the rules that make the mouse's profile follow the focused application
// (res/AppProfiles.ini in the user's folder). zorctl edits the rules only; the program applies
// them. Every edit is checked before the file is written, and a file that cannot be read is
// never replaced.
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "control/AppProfiles.h"

namespace zor::ctl {
namespace {

using control::AppProfileRules;
using control::OpResult;

constexpr const char* kUsage =
    "app-profiles list | add APP_ID PROFILE | remove APP_ID | default PROFILE|none | enable | disable";

int List(CommandContext& ctx, const std::filesystem::path& file) {
    const control::AppProfilesRead read = control::LoadAppProfiles(file);
    if (!read.ok) return Fail(ctx, PrintableText(read.error));
    const AppProfileRules& rules = read.rules;
    if (ctx.options.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const control::AppProfileRule& rule : rules.rules)
            list.push_back({{"app", rule.appId}, {"profile", rule.profile}});
        nlohmann::json out{{"enabled", rules.enabled}, {"default", nullptr}, {"rules", list}};
        if (rules.defaultProfile != control::kNoAppProfile) out["default"] = rules.defaultProfile;
        ctx.out << out.dump(4, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return 0;
    }
    ctx.out << "profiles per application: " << (rules.enabled ? "on" : "off") << '\n'
            << "default profile: " << control::AppProfileText(rules.defaultProfile) << '\n';
    for (const control::AppProfileRule& rule : rules.rules)
        ctx.out << PrintableText(rule.appId) << " = " << rule.profile << '\n';
    return 0;
}

int RunAppProfiles(CommandContext& ctx) {
    const auto& args = ctx.options.args;
    const std::filesystem::path file = paths::AppProfiles(ctx.options.home);
    const std::string verb = args.empty() ? std::string() : args[0];
    const std::size_t count = args.size();
    if (verb == "list" && count == 1) return List(ctx, file);

    std::function<OpResult(AppProfileRules&)> edit;
    std::string done;
    if (verb == "add" && count == 3) {
        const std::optional<int> profile = control::ParseAppProfile(args[2], false);
        if (!profile)
            return Fail(ctx, "app-profiles: profile \"" + PrintableText(args[2], 20) + "\" is not 0..2");
        edit = [&](AppProfileRules& rules) { return rules.Add(args[1], *profile); };
        done = PrintableText(Trim(args[1])) + " uses profile " + args[2];
    } else if (verb == "remove" && count == 2) {
        edit = [&](AppProfileRules& rules) { return rules.Remove(args[1]); };
        done = "rule for " + PrintableText(Trim(args[1])) + " removed";
    } else if (verb == "default" && count == 2) {
        const std::optional<int> profile = control::ParseAppProfile(args[1], true);
        if (!profile)
            return Fail(ctx,
                        "app-profiles: profile \"" + PrintableText(args[1], 20) + "\" is not 0..2 or none");
        edit = [&](AppProfileRules& rules) { return rules.SetDefault(*profile); };
        done = "default profile: " + control::AppProfileText(*profile);
    } else if ((verb == "enable" || verb == "disable") && count == 1) {
        const bool on = verb == "enable";
        edit = [on](AppProfileRules& rules) {
            rules.enabled = on;
            return OpResult{};
        };
        done = std::string("profiles per application: ") + (on ? "on" : "off");
    } else {
        ctx.err << "usage: zorctl " << kUsage << '\n';
        return 2;
    }
    const OpResult result = control::EditAppProfiles(file, edit);
    if (!result.Done())
        return Fail(ctx, "app-profiles: " + PrintableText(result.reason) + "; nothing changed");
    if (ctx.options.json)
        ctx.out << nlohmann::json{{"done", true}}.dump(4) << '\n';
    else
        ctx.out << done << '\n';
    return 0;
}

const CommandRegistration kAppProfiles("app-profiles", kUsage,
                                       "the mouse profile (0..2) used while an application has the focus; "
                                       "the rules only, the program applies them",
                                       RunAppProfiles);

}  // namespace
}  // namespace zor::ctl
