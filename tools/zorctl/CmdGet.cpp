// zorctl get: a profile's settings as the program sees them after loading the model (the
// mouse's identity read first): buttons with their functions, DPI gears, current gear, report
// rates, lighting of the current mode, and the power and sensor options.
#include <nlohmann/json.hpp>
#include <ostream>

#include "ServiceClient.h"
#include "Session.h"
#include "SetTarget.h"
#include "common/Text.h"
#include "config/MouseConfig.h"
#include "control/ProfileView.h"
#include "settings/DpiRules.h"

namespace zor::ctl {
namespace {

void PrintText(std::ostream& out, const nlohmann::json& d) {
    out << "Model: " << d["model"].get<std::string>() << "   Profile: " << d["profile"].get<int>() << "\n\nButtons:\n";
    for (const auto& key : d["keys"])
        out << Format("  %2d  %s", key["button"].get<int>(), key["function"].get<std::string>()) << '\n';
    out << "\nDPI gears (current " << d["dpi"]["current"].get<int>() << "):\n";
    for (const auto& gear : d["dpi"]["gears"])
        out << Format("  %d  %-6s %-3s #%s", gear["gear"].get<int>(), gear["label"].get<std::string>(),
                      gear["enabled"].get<bool>() ? "on" : "off", gear["colour"].get<std::string>())
            << '\n';
    out << "\nFire value: " << d["fireValue"].get<int>() << "\nReport rate (option): cable "
        << d["reportRate"]["cable"].get<int>() << ", receiver " << d["reportRate"]["receiver"].get<int>()
        << ", BLE " << d["reportRate"]["ble"].get<int>() << '\n';
    const auto& led = d["lighting"];
    out << "\nLighting: mode " << led["mode"].get<int>() << ", brightness " << led["brightness"].get<int>()
        << ", speed " << led["speed"].get<int>() << ", direction " << led["direction"].get<int>() << "\n  colours:";
    for (const auto& c : led["colours"])
        out << ' ' << (c["enabled"].get<bool>() ? "" : "(") << '#' << c["colour"].get<std::string>()
            << (c["enabled"].get<bool>() ? "" : ")");
    out << "\n\nPower and sensor options:\n";
    for (const auto& [key, value] : d["power"].items()) out << "  " << key << '=' << value.get<int>() << '\n';
}

int RunGet(CommandContext& ctx) {
    auto args = ctx.options.args;
    const int profileOption = ProfileOption(ctx, args);
    if (profileOption == -2) return 1;
    if (!args.empty()) return Fail(ctx, "get takes only --profile P");
    nlohmann::json description;
    if (const auto answer = CallProgram(ctx, "GetProfile", {profileOption})) {
        if (const int failed = Answered(ctx, *answer); failed != 0) return failed;
        description = nlohmann::json::parse(answer->text);
    } else {
        control::CommandSession session(SessionOptions(ctx.options, ctx.err));
        std::string error;
        if (!session.LoadModel(error)) return Fail(ctx, error);
        const int profile = profileOption >= 0 ? profileOption : session.Model().Profile();
        description = control::DescribeProfile(session.Model(), profile);
    }
    if (ctx.options.json)
        ctx.out << description.dump(4) << '\n';
    else
        PrintText(ctx.out, description);
    return 0;
}

const CommandRegistration kGet("get", "get [--profile P]", "show a profile's settings as the program sees them",
                               RunGet);

}  // namespace
}  // namespace zor::ctl
