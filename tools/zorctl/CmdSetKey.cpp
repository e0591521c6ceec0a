// zorctl set key: gives one button of a profile a function through the key operation the key
// popup uses, which saves the configuration (and the macro library's use counters) and sends the
// mouse what the key page sends: the profile made active when it is not, then the key's write and
// the profile's new identifier.
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "ServiceClient.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "control/ProfileView.h"
#include "control/SettingsOperations.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "settings/KeyAssign.h"

namespace zor::ctl {
namespace {

constexpr const char* kUsage = "set key --profile P BUTTON FUNCTION";

int RunSetKey(CommandContext& ctx) {
    auto args = ctx.options.args;
    const int profile = ProfileOption(ctx, args);
    if (profile == -2) return 1;
    if (profile < 0) return Fail(ctx, "set key needs --profile P");
    if (args.size() != 2) return Fail(ctx, std::string("usage: zorctl ") + kUsage);
    const std::vector<std::string>& positional = args;
    int slot = -1;
    if (const control::OpResult named = control::KeySlotOfText(positional[0], slot); !named.Done())
        return Fail(ctx, named.reason);
    // The button as it is set, as --json prints it or in a line.
    const auto done = [&](const nlohmann::json& key) {
        if (ctx.options.json) {
            ctx.out << key.dump(4) << '\n';
        } else {
            ctx.out << "button " << positional[0] << " of profile " << profile << " set to "
                    << key["text"].get<std::string>() << " (code " << key["code"].get<int>() << ")\n";
        }
        return 0;
    };
    if (const auto answer = CallProgram(ctx, "SetKey", {profile, positional[0], positional[1]})) {
        if (const int failed = Answered(ctx, *answer); failed != 0) return failed;
        const auto key = nlohmann::json::parse(answer->text, nullptr, false);
        if (!key.is_object() || !key.value("text", nlohmann::json()).is_string() ||
            !key.value("code", nlohmann::json()).is_number_integer())
            return Fail(ctx, "the running program answered no button");
        return done(key);
    }

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    control::ModelSession& model = session.Model();
    const ParsedFunction parsed = ParseFunction(positional[1], model.catalog, model.macros, model.keys);
    if (!parsed.choice) return Fail(ctx, parsed.error);

    const control::OpResult set = control::SetKey(model, session, control::KeyRulesOf(session.Stack(), model),
                                                  profile, slot, *parsed.choice);
    if (!set.Done()) return Fail(ctx, set.reason);

    return done(control::DescribeKey(model, profile, slot));
}

const SetTargetRegistration kSetKey("key", "key --profile P BUTTON FUNCTION", RunSetKey);

}  // namespace
}  // namespace zor::ctl
