// zorctl set dpi / set rate / set fire: a DPI gear (value, colour, enable, current), the report
// rate of the connection in use and the fire value, changed through the DPI page's operations.
#include <ostream>

#include "ServiceClient.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "config/MouseConfig.h"
#include "control/Operations.h"
#include "control/SettingsOperations.h"
#include "settings/DpiRules.h"

namespace zor::ctl {
namespace {

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
    const std::string done = Format("gear %d of profile %d set", gear, profile);
    ServiceChanges changes;
    if (value >= 0) changes["value"] = value;
    if (setColour) changes["colour"] = colour;
    if (enable || disable) changes["enabled"] = enable;
    if (current) changes["current"] = true;
    if (const auto answer = CallProgram(ctx, "SetDpiGear", {profile, gear, changes}))
        return Answered(ctx, *answer, done);

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    control::DpiGearEdit edit;
    edit.gear = gear;
    if (value >= 0) edit.value = value;
    if (setColour) edit.colour = colour;
    if (enable || disable) edit.enabled = enable;
    edit.current = current;
    const control::OpResult set = control::SetDpiGear(session.Model(), session, profile, edit);
    if (!set.Done()) return Fail(ctx, set.reason);
    ctx.out << done << '\n';
    return 0;
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
    // The rate in Hz names an option of the connection in use; the operation judges the rest
    // (no report rate over Bluetooth LE).
    const RateConnection connection = control::ConnectionOf(session.Stack());
    int option = -1;
    if (const control::OpResult r =
            control::RateOptionOfHz(session.Model().ModelName(), connection, hz, option);
        !r.Done())
        return Fail(ctx, r.reason);

    const control::OpResult set =
        control::SetReportRate(session.Model(), connection, session, profile, option);
    if (!set.Done()) return Fail(ctx, set.reason);
    ctx.out << done << '\n';
    return 0;
}

int RunSetFire(CommandContext& ctx) {
    auto args = ctx.options.args;
    const int profile = ProfileOption(ctx, args);
    if (profile == -2) return 1;
    if (profile < 0) return Fail(ctx, "set fire needs --profile P");
    int value = 0;
    if (args.size() != 1 || !ParseNumber(args[0], value))
        return Fail(ctx, Format("set fire takes the fire value, %d to %d", control::kFireValueMin,
                                control::kFireValueMax));
    const std::string done = Format("fire value of profile %d set to %d", profile, value);
    if (const auto answer = CallProgram(ctx, "SetFireValue", {profile, value}))
        return Answered(ctx, *answer, done);

    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    const control::OpResult set = control::SetFireValue(session.Model(), session, profile, value);
    if (!set.Done()) return Fail(ctx, set.reason);
    ctx.out << done << '\n';
    return 0;
}

const SetTargetRegistration kSetDpi("dpi",
                                    "dpi --profile P --gear N [--value DPI] [--colour RRGGBB] "
                                    "[--enable|--disable] [--current]",
                                    RunSetDpi);
const SetTargetRegistration kSetRate("rate", "rate --profile P HZ", RunSetRate);
const SetTargetRegistration kSetFire("fire", "fire --profile P VALUE", RunSetFire);

}  // namespace
}  // namespace zor::ctl
