#include "control/ProfileView.h"

#include <algorithm>

#include "common/Text.h"
#include "config/MouseConfig.h"
#include "settings/DpiRules.h"

namespace zor::control {
namespace {

std::string Hex(std::uint32_t colour) {
    return Format("%06X", colour & 0xFFFFFFu);
}

}  // namespace

nlohmann::json DescribeKey(const ModelSession& model, int profile, int slot) {
    const doc::KeyAssignment& key = model.doc.keyTables[static_cast<std::size_t>(profile)].at(SlotName(slot));
    return {{"profile", profile}, {"button", slot}, {"code", key.code}, {"text", key.text}};
}

nlohmann::json DescribeProfile(const ModelSession& model, int profile) {
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
        colours.push_back(
            {{"slot", k}, {"enabled", led.colours[k].enabled != 0}, {"colour", Hex(led.colours[k].colour)}});
    const PowerSettings power = model.LoadPower();
    return {{"model", model.ModelName()},
            {"profile", profile},
            {"keys", keys},
            {"dpi", {{"gears", gears}, {"current", adv.cruseldpi}, {"max", table.Max()}}},
            {"fireValue", adv.firevalue},
            {"reportRate",
             {{"cable", adv.rateusbvalue}, {"receiver", adv.ratedonglevalue}, {"ble", adv.rateblevalue}}},
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

}  // namespace zor::control
