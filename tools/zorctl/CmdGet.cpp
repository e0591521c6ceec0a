// zorctl get: a profile's settings as the program sees them after loading the model (the
// mouse's identity read first): buttons with their functions, DPI gears, current gear, report
// rates, lighting of the current mode, and the power and sensor options.
#include <nlohmann/json.hpp>
#include <ostream>

#include "SetTarget.h"
#include "Session.h"
#include "common/Text.h"
#include "config/MouseConfig.h"
#include "settings/DpiRules.h"

namespace zor::ctl {
namespace {

std::string Hex(std::uint32_t colour) {
    return Format("%06X", colour & 0xFFFFFFu);
}

nlohmann::json Describe(control::ModelSession& model, int profile) {
    const MouseConfigDocument& doc = model.doc;
    const auto p = static_cast<std::size_t>(profile);
    nlohmann::json keys = nlohmann::json::array();
    for (int slot = 0; slot < kKeySlots; ++slot) {
        if (doc.keyTables.size() <= p) break;
        const auto it = doc.keyTables[p].find(SlotName(slot));
        if (it == doc.keyTables[p].end()) continue;
        const doc::KeyAssignment& key = it->second;
        nlohmann::json entry{{"button", slot}, {"code", key.code}, {"function", key.text}};
        if (!key.macGuid.empty()) entry["macro"] = {{"group", key.grpGuid}, {"macro", key.macGuid}};
        keys.push_back(entry);
    }
    const DpiTable table = DpiTable::FromFeature(model.feature);
    const doc::MouseAdvSettings& adv = doc.adv[p];
    nlohmann::json gears = nlohmann::json::array();
    for (std::size_t g = 0; g < adv.gears.size(); ++g)
        gears.push_back({{"gear", g},
                         {"value", adv.gears[g].value},
                         {"label", table.Label(adv.gears[g].value)},
                         {"enabled", adv.gears[g].enabled != 0},
                         {"colour", Hex(adv.gears[g].colour)}});
    const int mode = std::clamp(doc.led[p][0].curselmode, 0, kLedModes - 1);
    const doc::LedModeSettings& led = doc.led[p][static_cast<std::size_t>(mode)];
    nlohmann::json colours = nlohmann::json::array();
    for (std::size_t k = 0; k < led.colours.size(); ++k)
        colours.push_back({{"slot", k}, {"enabled", led.colours[k].enabled != 0}, {"colour", Hex(led.colours[k].colour)}});
    const PowerSettings power = model.LoadPower();
    return {{"model", model.ModelName()},
            {"profile", profile},
            {"keys", keys},
            {"dpi", {{"gears", gears}, {"current", adv.cruseldpi}, {"max", table.Max()}}},
            {"fireValue", adv.firevalue},
            {"reportRate", {{"cable", adv.rateusbvalue}, {"receiver", adv.ratedonglevalue}, {"ble", adv.rateblevalue}}},
            {"lighting",
             {{"mode", mode},
              {"brightness", led.brightnessvalue},
              {"speed", led.frequencyvalue},
              {"direction", led.directionsel},
              {"colours", colours}}},
            {"power",
             {{"SavePowerSelect", power.lightingSwitch ? 1 : 0},
              {"SleepTime", power.sleepMinutes},
              {"PDTime", power.secondTimeMinutes},
              {"ShortPress", power.shortPress},
              {"LODHeight", power.lodHeight},
              {"StraightLineCorrectEn", power.straightLineCorrectEn},
              {"RippleCtrlEn", power.rippleCtrlEn},
              {"JitterCorrectEn", power.jitterCorrectEn},
              {"SmoothLineEn", power.smoothLineEn},
              {"MoveWakeEn", power.moveWakeEn}}}};
}

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
    control::CommandSession session(SessionOptions(ctx.options, ctx.err));
    std::string error;
    if (!session.LoadModel(error)) return Fail(ctx, error);
    const int profile = profileOption >= 0 ? profileOption : session.Model().Profile();
    const nlohmann::json description = Describe(session.Model(), profile);
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
