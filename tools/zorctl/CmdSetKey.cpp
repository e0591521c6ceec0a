// zorctl set key: gives one button of a profile a function through the key operation the key
// popup uses, which saves the configuration (and the macro library's use counters) and sends the
// mouse what the key page sends: the profile made active when it is not, then the key's write and
// the profile's new identifier.
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "control/SettingsOperations.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "settings/KeyAssign.h"

namespace zor::ctl {
namespace {

constexpr const char* kUsage = "set key --profile P BUTTON FUNCTION";

int ParseButton(const std::string& text) {
    if (text == "wheel-up") return kWheelUpSlot;
    if (text == "wheel-down") return kWheelDownSlot;
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int slot = ParseLeadingInt(text);
    return slot < kKeySlots ? slot : -1;
}

int RunSetKey(CommandContext& ctx) {
    auto args = ctx.options.args;
    const int profile = ProfileOption(ctx, args);
    if (profile == -2) return 1;
    if (profile < 0) return Fail(ctx, "set key needs --profile P");
    if (args.size() != 2) return Fail(ctx, std::string("usage: zorctl ") + kUsage);
    const std::vector<std::string>& positional = args;
    const int slot = ParseButton(positional[0]);
    if (slot < 0)
        return Fail(ctx,
                    "BUTTON is a key index 0 to 19, wheel-up or wheel-down, not \"" + positional[0] + "\"");

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    control::ModelSession& model = session.Model();
    const ParsedFunction parsed = ParseFunction(positional[1], model.catalog, model.macros, model.keys);
    if (!parsed.choice) return Fail(ctx, parsed.error);

    const control::OpResult set = control::SetKey(model, session, control::KeyRulesOf(session.Stack(), model),
                                                  profile, slot, *parsed.choice);
    if (!set.Done()) return Fail(ctx, set.reason);

    const doc::KeyAssignment& key = model.doc.keyTables[static_cast<std::size_t>(profile)].at(SlotName(slot));
    if (ctx.options.json) {
        ctx.out << nlohmann::json{{"profile", profile},
                                  {"button", slot},
                                  {"code", key.code},
                                  {"text", key.text}}
                       .dump(4)
                << '\n';
    } else {
        ctx.out << "button " << positional[0] << " of profile " << profile << " set to " << key.text
                << " (code " << key.code << ")\n";
    }
    return 0;
}

const SetTargetRegistration kSetKey("key", "key --profile P BUTTON FUNCTION", RunSetKey);

}  // namespace
}  // namespace zor::ctl
