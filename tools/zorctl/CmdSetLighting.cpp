// zorctl set lighting: changes the lighting of a profile through the lighting operation the
// lighting page uses, which saves the document and sends what the page sends for such an edit.
#include <ostream>
#include <string>

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
            const std::string& value = args[++i];
            const auto& names = LightDirectionNames();
            for (std::size_t d = 0; d < names.size(); ++d)
                if (EqualsIgnoreCaseAscii(value, names[d])) edit.direction = static_cast<int>(d);
            if (!edit.direction) return Fail(ctx, "--direction takes backward, positive, twoway or cover");
        } else if (!arg.empty() && arg[0] != '-' && modeText.empty()) {
            modeText = arg;
        } else {
            return Fail(ctx, "set lighting: unknown or incomplete argument \"" + arg + "\"");
        }
    }
    if (modeText.empty()) return Fail(ctx, "set lighting needs the MODE (its number or name)");

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);

    // The mode's name is the model's: read from its rows, which the operation checks again.
    const LightingLayout layout = LoadLightingLayout(session.Model().ModelFolder());
    if (!layout.error.empty()) return Fail(ctx, "the model's lighting rows: " + layout.error);
    const int mode = LightingModeFromText(layout, modeText);
    if (mode < 0) return Fail(ctx, "lighting mode " + modeText + " is not offered by this model");
    edit.mode = mode;
    const control::OpResult set = control::SetLighting(session.Model(), session, profile, edit);
    if (!set.Done()) return Fail(ctx, set.reason);
    ctx.out << "lighting of profile " << profile << " set: " << LightingModeName(layout, mode) << " (mode "
            << mode << ")\n";
    return 0;
}

const SetTargetRegistration kSetLighting("lighting",
                                         "lighting --profile P MODE [--colour SLOT=RRGGBB ...] "
                                         "[--enable SLOT|--disable SLOT] [--brightness N] [--speed N] "
                                         "[--direction backward|positive|twoway|cover]",
                                         RunSetLighting);

}  // namespace
}  // namespace zor::ctl
