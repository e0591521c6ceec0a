// zorctl set key: gives one button of a profile a function through the key popup's rules, saves
// the configuration (and the macro library's use counters) and sends the mouse what the key page
// sends: the profile made active when it is not, then the key's write and the profile's new
// identifier.
#include <nlohmann/json.hpp>
#include <ostream>

#include "Command.h"
#include "SetTarget.h"
#include "Session.h"
#include "common/Text.h"
#include "config/AppFeature.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
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

std::string StatusText(AssignStatus status, int slot) {
    switch (status) {
        case AssignStatus::OnlyOneKey:
            return "button " + std::to_string(slot) +
                   " is the profile's only left click; give another button "
                   "the left click first";
        case AssignStatus::NoMacro:
            return "no such macro in the macro library";
        case AssignStatus::MacroOverBle:
            return "macros cannot be sent over Bluetooth LE";
        case AssignStatus::NotOffered:
            return IsWheelSlot(slot)
                       ? "the wheel takes only the wheel's functions, a macro or a key (see zorctl "
                         "functions)"
                       : "this function is not offered for this button or connection";
        case AssignStatus::NoKey:
            return "that code names no keyboard key";
        case AssignStatus::BadSlot:
            return "no button " + std::to_string(slot);
        case AssignStatus::Assigned:
            break;
    }
    return {};
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

    const AppFeature app = LoadAppFeature(ctx.options.home);
    const bool ble = session.Stack().Link().bleMode.load() != 0;
    MouseConfigDocument& doc = model.doc;
    KeyAssignContext assign{doc, model.macros, model.catalog, model.keys,
                            {ble, ModelHasLighting(app.keySelLedVis != 0, session.Selected()->productName)}};
    // The rules are checked on a copy first: refused input changes no file and sends nothing.
    {
        MouseConfigDocument trial = doc;
        MacroStore trialMacros = model.macros;
        KeyAssignContext check{trial, trialMacros, model.catalog, model.keys, assign.rules};
        const AssignStatus status = AssignKey(check, profile, slot, *parsed.choice);
        if (status != AssignStatus::Assigned) return Fail(ctx, StatusText(status, slot));
    }
    // The pages' profile changes first, as choosing it in the program does; then the key.
    session.SelectProfile(profile);
    AssignKey(assign, profile, slot, *parsed.choice);
    const ConfigResult saved = model.SaveAndAnnounce(nullptr);
    if (!saved.ok) return Fail(ctx, "the configuration was not saved: " + saved.error);
    session.Scheduler().SetCurrentKey(slot);
    const control::RunResult pushed = session.Scheduler().RunNow(0, ApplyKindOfSlot(slot));
    if (!pushed.saved.ok) return Fail(ctx, "the configuration was not saved: " + pushed.saved.error);
    if (const std::string problem = DeliveryProblem(pushed); !problem.empty()) return Fail(ctx, problem);

    const doc::KeyAssignment& key = doc.keyTables[static_cast<std::size_t>(profile)].at(SlotName(slot));
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
