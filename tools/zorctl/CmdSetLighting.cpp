// zorctl set lighting: changes the lighting of a profile through the lighting operation the
// lighting page uses, which saves the document and sends what the page sends for such an edit.
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "ServiceClient.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "config/MouseConfig.h"
#include "control/SettingsOperations.h"
#include "settings/LightingRules.h"
#include "settings/PopColor.h"

namespace zor::ctl {
namespace {

bool Number(const std::string& text, int& out) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = ParseLeadingInt(text);
    return true;
}

int RunSetLighting(CommandContext& ctx) {
    auto args = ctx.options.args;
    const int profile = ProfileOption(ctx, args);
    if (profile == -2) return 1;
    if (profile < 0) return Fail(ctx, "set lighting needs --profile P");
    std::string modeText;
    LightingEdit edit;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--colour" || arg == "--enable" || arg == "--disable" ||
                                arg == "--brightness" || arg == "--speed" || arg == "--direction";
        if (takesValue && i + 1 >= args.size()) return Fail(ctx, arg + " needs a value");
        if (arg == "--colour") {
            const std::string& value = args[++i];
            const auto eq = value.find('=');
            int slot = 0;
            const auto colour = eq == std::string::npos ? std::nullopt : ParseHexColour(value.substr(eq + 1));
            if (eq == std::string::npos || !Number(value.substr(0, eq), slot) || !colour)
                return Fail(ctx, "--colour takes SLOT=RRGGBB, for example 0=FF8000");
            edit.colours.emplace_back(slot, *colour);
        } else if (arg == "--enable" || arg == "--disable") {
            int slot = 0;
            if (!Number(args[++i], slot)) return Fail(ctx, arg + " takes a colour slot 0 to 6");
            edit.enables.emplace_back(slot, arg == "--enable");
        } else if (arg == "--brightness" || arg == "--speed") {
            int value = 0;
            if (!Number(args[++i], value)) return Fail(ctx, arg + " takes a number");
            (arg == "--brightness" ? edit.brightness : edit.speed) = value;
        } else if (arg == "--direction") {
            edit.direction = control::LightDirectionOfText(args[++i]);
            if (!edit.direction) return Fail(ctx, "--direction takes backward, positive, twoway or cover");
        } else if (!arg.empty() && arg[0] != '-' && modeText.empty()) {
            modeText = arg;
        } else {
            return Fail(ctx, "set lighting: unknown or incomplete argument \"" + arg + "\"");
        }
    }
    if (modeText.empty()) return Fail(ctx, "set lighting needs the MODE (its number or name)");
    const auto done = [&](const std::string& name, int mode) {
        ctx.out << "lighting of profile " << profile << " set: " << name << " (mode " << mode << ")\n";
        return 0;
    };

    ServiceChanges changes;
    for (const auto& [slot, colour] : edit.colours) changes["colour" + std::to_string(slot)] = colour;
    for (const auto& [slot, on] : edit.enables) changes["enable" + std::to_string(slot)] = on;
    if (edit.brightness) changes["brightness"] = *edit.brightness;
    if (edit.speed) changes["speed"] = *edit.speed;
    if (edit.direction)
        changes["direction"] = std::string(LightDirectionNames()[static_cast<std::size_t>(*edit.direction)]);
    if (const auto answer = CallProgram(ctx, "SetLighting", {profile, modeText, changes})) {
        if (const int failed = Answered(ctx, *answer); failed != 0) return failed;
        // The answer names the mode set: {"mode": M, "name": "..."}.
        const auto set = nlohmann::json::parse(answer->text, nullptr, false);
        if (!set.is_object() || !set.value("mode", nlohmann::json()).is_number_integer() ||
            !set.value("name", nlohmann::json()).is_string())
            return Fail(ctx, "the running program answered no lighting mode");
        return done(set["name"].get<std::string>(), set["mode"].get<int>());
    }

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    int mode = -1;
    std::string name;
    if (const control::OpResult r = control::LightingModeOfText(session.Model(), modeText, mode, &name);
        !r.Done())
        return Fail(ctx, r.reason);
    edit.mode = mode;
    const control::OpResult set = control::SetLighting(session.Model(), session, profile, edit);
    if (!set.Done()) return Fail(ctx, set.reason);
    return done(name, mode);
}

const SetTargetRegistration kSetLighting("lighting",
                                         "lighting --profile P MODE [--colour SLOT=RRGGBB ...] "
                                         "[--enable SLOT|--disable SLOT] [--brightness N] [--speed N] "
                                         "[--direction backward|positive|twoway|cover]",
                                         RunSetLighting);

}  // namespace
}  // namespace zor::ctl
