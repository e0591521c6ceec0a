// zorctl set dpi / set rate: a DPI gear (value, colour, enable, current) and the report rate of
// the connection in use, changed through the DPI page's rules.
#include <ostream>

#include "ServiceClient.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "config/MouseConfig.h"
#include "control/Operations.h"
#include "settings/DpiRules.h"

namespace zor::ctl {
namespace {

constexpr int kKindReportRate = 3;
constexpr int kKindDpi = 6;
constexpr int kKindDpiColours = 7;

bool ParseNumber(const std::string& text, int& out) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    out = ParseLeadingInt(text);
    return true;
}

bool ParseColour(const std::string& text, std::uint32_t& out) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    out = static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
    return true;
}

int Report(CommandContext& ctx, const std::string& what, const control::RunResult& result) {
    if (!result.saved.ok) return Fail(ctx, "the configuration was not saved: " + result.saved.error);
    if (const std::string problem = DeliveryProblem(result); !problem.empty()) return Fail(ctx, problem);
    ctx.out << what << '\n';
    return 0;
}

int RunSetDpi(CommandContext& ctx) {
    auto args = ctx.options.args;
    const int profile = ProfileOption(ctx, args);
    if (profile == -2) return 1;
    if (profile < 0) return Fail(ctx, "set dpi needs --profile P");
    int gear = -1, value = -1;
    std::uint32_t colour = 0;
    bool setColour = false, enable = false, disable = false, current = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--gear" && hasValue) {
            if (!ParseNumber(args[++i], gear)) return Fail(ctx, "--gear takes a gear number from 0");
        } else if (a == "--value" && hasValue) {
            if (!ParseNumber(args[++i], value)) return Fail(ctx, "--value takes a DPI value");
        } else if (a == "--colour" && hasValue) {
            if (!ParseColour(args[++i], colour)) return Fail(ctx, "--colour takes RRGGBB (six hex digits)");
            setColour = true;
        } else if (a == "--enable") {
            enable = true;
        } else if (a == "--disable") {
            disable = true;
        } else if (a == "--current") {
            current = true;
        } else {
            return Fail(ctx, "set dpi: unknown or incomplete argument \"" + a + "\"");
        }
    }
    if (enable && disable) return Fail(ctx, "--enable and --disable exclude each other");
    if (gear < 0) return Fail(ctx, "set dpi needs --gear N");
    if (value < 0 && !setColour && !enable && !disable && !current)
        return Fail(ctx, "set dpi: nothing to change (--value, --colour, --enable, --disable or --current)");

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    control::ModelSession& model = session.Model();
    if (gear >= model.doc.gearCount || gear >= kDpiGearCount)
        return Fail(ctx, Format("no gear %d: this model has gears 0 to %d", gear, model.doc.gearCount - 1));
    const DpiTable table = DpiTable::FromFeature(model.feature);
    if (value >= 0 && (table.Labels().find(value) == table.Labels().end() || value > table.Max()))
        return Fail(ctx, Format("%d DPI is not in this model's DPI table", value));

    // Every check passes before anything changes.
    doc::MouseAdvSettings adv = model.doc.adv[static_cast<std::size_t>(profile)];
    if (disable && SetGearEnabled(adv, gear, false))
        return Fail(ctx, "the last enabled gear cannot be switched off");
    if (enable) SetGearEnabled(adv, gear, true);
    if (current) {
        if (adv.gears[static_cast<std::size_t>(gear)].enabled == 0)
            return Fail(ctx, Format("gear %d is switched off", gear));
        adv.cruseldpi = gear;
    }
    if (value >= 0) adv.gears[static_cast<std::size_t>(gear)].value = value;
    if (setColour) adv.gears[static_cast<std::size_t>(gear)].colour = colour;

    session.SelectProfile(profile);
    const doc::MouseAdvSettings before = model.doc.adv[static_cast<std::size_t>(profile)];
    model.doc.adv[static_cast<std::size_t>(profile)] = adv;
    bool dpiChanged = adv.cruseldpi != before.cruseldpi, colourChanged = false;
    for (std::size_t k = 0; k < adv.gears.size(); ++k) {
        dpiChanged = dpiChanged || adv.gears[k].value != before.gears[k].value ||
                     adv.gears[k].enabled != before.gears[k].enabled;
        colourChanged = colourChanged || adv.gears[k].colour != before.gears[k].colour;
    }
    control::RunResult result;
    if (dpiChanged) result = session.SaveAndPush(kKindDpi);
    if (colourChanged && !dpiChanged) {
        result = session.SaveAndPush(kKindDpiColours);
    } else if (colourChanged) {
        const control::RunResult colours = session.Scheduler().RunNow(0, kKindDpiColours);
        result.saved = colours.saved;
        result.failedFrames += colours.failedFrames;
        result.badReplies += colours.badReplies;
    }
    return Report(ctx, Format("gear %d of profile %d set", gear, profile), result);
}

int RunSetRate(CommandContext& ctx) {
    auto args = ctx.options.args;
    const int profile = ProfileOption(ctx, args);
    if (profile == -2) return 1;
    if (profile < 0) return Fail(ctx, "set rate needs --profile P");
    int hz = 0;
    if (args.size() != 1 || !ParseNumber(args[0], hz)) return Fail(ctx, "set rate takes the rate in Hz, e.g. 1000");
    const std::string done = Format("report rate of profile %d set to %d Hz", profile, hz);
    if (const auto answer = CallProgram(ctx, "SetReportRate", {profile, hz}))
        return Answered(ctx, *answer, done);

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    const RateConnection connection = control::ConnectionOf(session.Stack());
    int option = -1;
    if (const control::OpResult r =
            control::RateOptionOfHz(session.Model().ModelName(), connection, hz, option);
        !r.Done())
        return Fail(ctx, r.reason);

    session.SelectProfile(profile);
    const control::OpResult set =
        control::SetReportRate(session.Model(), connection, session, profile, option);
    if (!set.Done()) return Fail(ctx, set.reason);
    ctx.out << done << '\n';
    return 0;
}

const SetTargetRegistration kSetDpi("dpi",
                                    "dpi --profile P --gear N [--value DPI] [--colour RRGGBB] "
                                    "[--enable|--disable] [--current]",
                                    RunSetDpi);
const SetTargetRegistration kSetRate("rate", "rate --profile P HZ", RunSetRate);

}  // namespace
}  // namespace zor::ctl
