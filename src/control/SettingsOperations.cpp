#include "control/SettingsOperations.h"

#include <algorithm>
#include <set>
#include <string>

#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "config/AppFeature.h"

namespace zor::control {
namespace {

bool ValidProfile(int profile) {
    return profile >= 0 && profile < kConfigProfiles;
}

OpResult BadProfile(int profile) {
    return OpResult::Refuse(Format("profile %d is not 0..2", profile));
}

// Why Set.ini cannot be used, or "". A file there that cannot be read is never replaced (its
// other settings would be lost), and its values cannot be checked against the new ones.
std::string SetIniProblem(const std::filesystem::path& path) {
    std::string bytes;
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !ReadFileBytes(path, bytes, IniFile::kMaxFileBytes))
        return ReadFailure(path, IniFile::kMaxFileBytes) + "; it is left as it is and nothing was set";
    return {};
}

// The first edit that was not delivered decides the answer; later ones are still sent.
void Keep(OpResult& answer, OpResult sent) {
    if (answer.Done() && !sent.Done()) answer = std::move(sent);
}

}  // namespace

namespace {

// The profile's DPI settings with edit made, in adv; refused when a check fails.
OpResult GearEdited(const ModelSession& model, int profile, const DpiGearEdit& edit,
                    doc::MouseAdvSettings& adv) {
    if (!ValidProfile(profile)) return BadProfile(profile);
    const int gear = edit.gear;
    if (gear < 0 || gear >= model.doc.gearCount || gear >= kDpiGearCount)
        return OpResult::Refuse(
            Format("no gear %d: this model has gears 0 to %d", gear, model.doc.gearCount - 1));
    const DpiTable table = DpiTable::FromFeature(model.feature);
    if (edit.value && (table.Labels().find(*edit.value) == table.Labels().end() || *edit.value > table.Max()))
        return OpResult::Refuse(Format("%d DPI is not in this model's DPI table", *edit.value));

    // Every check passes on a copy before anything changes.
    adv = model.doc.adv[static_cast<std::size_t>(profile)];
    adv.gears.resize(kDpiGearCount);
    auto& target = adv.gears[static_cast<std::size_t>(gear)];
    if (edit.enabled && !*edit.enabled && SetGearEnabled(adv, gear, false))
        return OpResult::Refuse("the last enabled gear cannot be switched off");
    if (edit.enabled && *edit.enabled) SetGearEnabled(adv, gear, true);
    if (edit.current) {
        if (target.enabled == 0) return OpResult::Refuse(Format("gear %d is switched off", gear));
        adv.cruseldpi = gear;
    }
    if (edit.value) target.value = *edit.value;
    if (edit.colour) target.colour = *edit.colour & 0xFFFFFFu;
    return {};
}

// The model's lighting rows and the modes offered, with edit tried on a copy of the document.
OpResult LightingTried(const ModelSession& model, int profile, const LightingEdit& edit,
                       LightingLayout& layout, OfferedModes& offered) {
    if (!ValidProfile(profile)) return BadProfile(profile);
    layout = LoadLightingLayout(model.ModelFolder());
    if (!layout.error.empty()) return OpResult::Refuse("the model's lighting rows: " + layout.error);
    offered = OfferedLightingModes(model.feature.ledModes, layout);
    MouseConfigDocument trial = model.doc;
    if (std::string refused = ApplyLightingEdit(trial, profile, edit, offered, layout); !refused.empty())
        return OpResult::Refuse(std::move(refused));
    return {};
}

}  // namespace

OpResult CheckDpiGear(const ModelSession& model, int profile, const DpiGearEdit& edit) {
    doc::MouseAdvSettings adv;
    return GearEdited(model, profile, edit, adv);
}

OpResult SetDpiGear(ModelSession& model, EditSender& sender, int profile, const DpiGearEdit& edit) {
    doc::MouseAdvSettings adv;
    if (OpResult checked = GearEdited(model, profile, edit, adv); !checked.Done()) return checked;
    sender.BeforeEdit(profile);
    doc::MouseAdvSettings& stored = model.doc.adv[static_cast<std::size_t>(profile)];
    const doc::MouseAdvSettings before = stored;
    stored = adv;
    bool dpiChanged = adv.cruseldpi != before.cruseldpi || adv.gears.size() != before.gears.size();
    bool colourChanged = false;
    for (std::size_t k = 0; k < adv.gears.size() && k < before.gears.size(); ++k) {
        dpiChanged = dpiChanged || adv.gears[k].value != before.gears[k].value ||
                     adv.gears[k].enabled != before.gears[k].enabled;
        colourChanged = colourChanged || adv.gears[k].colour != before.gears[k].colour;
    }
    OpResult answer;
    if (dpiChanged) Keep(answer, sender.Send(ApplyKind::Dpi, profile));
    if (colourChanged) Keep(answer, sender.Send(ApplyKind::DpiColours, profile));
    return answer;
}

OpResult CheckFireValue(int profile, int value) {
    if (!ValidProfile(profile)) return BadProfile(profile);
    if (value < kFireValueMin || value > kFireValueMax)
        return OpResult::Refuse(Format("fire value %d is not %d to %d", value, kFireValueMin, kFireValueMax));
    return {};
}

OpResult SetFireValue(ModelSession& model, EditSender& sender, int profile, int value) {
    if (OpResult checked = CheckFireValue(profile, value); !checked.Done()) return checked;
    sender.BeforeEdit(profile);
    model.doc.adv[static_cast<std::size_t>(profile)].firevalue = value;
    DeviceEdit edit;
    edit.kind = ApplyKind::Key;
    edit.profile = profile;
    edit.fireKeys = true;
    return sender.SendEdit(edit);
}

OpResult CheckLighting(const ModelSession& model, int profile, const LightingEdit& edit) {
    LightingLayout layout;
    OfferedModes offered;
    return LightingTried(model, profile, edit, layout, offered);
}

OpResult LightingModeOfText(const ModelSession& model, const std::string& text, int& mode,
                            std::string* name) {
    // The mode's name is the model's: read from its rows, which the lighting edit checks again.
    const LightingLayout layout = LoadLightingLayout(model.ModelFolder());
    if (!layout.error.empty()) return OpResult::Refuse("the model's lighting rows: " + layout.error);
    mode = LightingModeFromText(layout, text);
    if (mode < 0) return OpResult::Refuse("lighting mode " + text + " is not offered by this model");
    if (name != nullptr) *name = LightingModeName(layout, mode);
    return {};
}

std::optional<int> LightDirectionOfText(const std::string& text) {
    const auto& names = LightDirectionNames();
    for (std::size_t d = 0; d < names.size(); ++d)
        if (EqualsIgnoreCaseAscii(text, names[d])) return static_cast<int>(d);
    return std::nullopt;
}

OpResult PowerKeyNamed(const std::string& name, PowerKey& key) {
    const std::optional<PowerKey> named = PowerKeyByName(name);
    if (named) {
        key = *named;
        return {};
    }
    return OpResult::Refuse("set power: no option \"" + name + "\"; names: " + PowerKeyNames());
}

std::string PowerKeyNames() {
    std::string names;
    for (const PowerKeyInfo& info : kPowerKeys) names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

OpResult PowerValuesGivenOnce(const std::vector<std::pair<PowerKey, int>>& values) {
    std::set<PowerKey> given;
    for (const auto& [key, value] : values)
        if (!given.insert(key).second)
            return OpResult::Refuse(Format("set power: %s is given twice", InfoOf(key).name));
    return {};
}

OpResult SetLighting(ModelSession& model, EditSender& sender, int profile, const LightingEdit& edit) {
    LightingLayout layout;
    OfferedModes offered;
    if (OpResult checked = LightingTried(model, profile, edit, layout, offered); !checked.Done())
        return checked;
    sender.BeforeEdit(profile);
    ApplyLightingEdit(model.doc, profile, edit, offered, layout);
    return sender.Send(ApplyKind::Lighting, profile);
}

OpResult SetPowerOptions(ModelSession& model, EditSender& sender,
                         std::vector<std::pair<PowerKey, int>> values, const PowerRanges& ranges) {
    const PowerOptions options(paths::SetIni(model.ProgramFolder()), ranges);
    // In the order of the keys, whatever the order given.
    std::stable_sort(values.begin(), values.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [key, value] : values) {
        const PowerRange range = options.Ranges().Of(key);
        if (value < range.min || value > range.max)
            return OpResult::Refuse(Format("set power: %s takes %d to %d, not \"%d\"", InfoOf(key).name,
                                           range.min, range.max, value));
    }
    if (OpResult once = PowerValuesGivenOnce(values); !once.Done()) return once;
    std::set<PowerKey> given;
    for (const auto& [key, value] : values) given.insert(key);
    if (std::string problem = SetIniProblem(options.Path()); !problem.empty())
        return OpResult::Refuse(std::move(problem));
    PowerValues next = options.Load();
    for (const auto& [key, value] : values) next.Set(key, value);
    if (!TimersInOrder(next))
        return OpResult::Refuse(
            Format("set power: PDTime %d would start deep sleep before SleepTime %d; give "
                   "both so that PDTime is not shorter",
                   next.Get(PowerKey::PDTime), next.Get(PowerKey::SleepTime)));

    // Every value in one write of Set.ini (an interrupted one leaves all of them old).
    if (!options.WriteAll(values)) {
        const std::string problem = SetIniProblem(options.Path());
        return OpResult::Refuse(problem.empty() ? "cannot write " + options.Path().string() : problem);
    }
    // Then each change's single write, in the order of the keys; the four sensor switches share
    // one write, which goes once.
    OpResult answer;
    std::set<std::pair<int, int>> sent;
    for (const PowerKeyInfo& info : kPowerKeys) {
        if (given.count(info.key) == 0) continue;
        const PowerChange change = PowerChangeFor(info.key);
        const int single = change.single ? static_cast<int>(*change.single) : -1;
        if (!sent.emplace(static_cast<int>(change.kind), single).second) continue;
        DeviceEdit edit;
        edit.kind = change.kind;
        edit.profile = model.Profile();
        edit.single = change.single;
        edit.power = true;
        OpResult delivered = sender.SendEdit(edit);
        if (!delivered.Done()) return delivered;
        Keep(answer, std::move(delivered));
    }
    return answer;
}

KeyRules KeyRulesOf(DeviceStack& stack, const ModelSession& model) {
    const AppFeature app = LoadAppFeature(model.ProgramFolder());
    const DeviceEntry* selected = stack.SelectedEntry();
    return {
        stack.Link().bleMode.load() != 0,
        ModelHasLighting(app.keySelLedVis != 0, selected != nullptr ? selected->productName : std::string())};
}

std::string KeyStatusText(AssignStatus status, int slot) {
    switch (status) {
        case AssignStatus::OnlyOneKey:
            return "button " + std::to_string(slot) +
                   " is the profile's only left click; give another button the left click first";
        case AssignStatus::NoMacro:
            return "no such macro in the macro library";
        case AssignStatus::MacroOverBle:
            return "macros cannot be sent over Bluetooth LE";
        case AssignStatus::NotOffered:
            return IsWheelSlot(slot)
                       ? "the wheel takes only the wheel's functions, a macro or a key (see zorctl functions)"
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

namespace {

// The rules checked on a copy: refused input changes no file and sends nothing.
OpResult KeyTried(const ModelSession& model, const KeyRules& rules, int profile, int slot,
                  const KeyChoice& choice, AssignStatus* status) {
    if (status != nullptr) *status = AssignStatus::BadSlot;
    if (!ValidProfile(profile)) return BadProfile(profile);
    MouseConfigDocument trial = model.doc;
    MacroStore trialMacros = model.macros;
    KeyAssignContext check{trial, trialMacros, model.catalog, model.keys, rules};
    const AssignStatus checked = AssignKey(check, profile, slot, choice);
    if (status != nullptr) *status = checked;
    if (checked != AssignStatus::Assigned) return OpResult::Refuse(KeyStatusText(checked, slot));
    return {};
}

}  // namespace

OpResult CheckKey(const ModelSession& model, const KeyRules& rules, int profile, int slot,
                  const KeyChoice& choice) {
    return KeyTried(model, rules, profile, slot, choice, nullptr);
}

OpResult KeySlotOfText(const std::string& text, int& slot) {
    slot = -1;
    if (text == "wheel-up") {
        slot = kWheelUpSlot;
    } else if (text == "wheel-down") {
        slot = kWheelDownSlot;
    } else if (!text.empty() && text.size() <= 2 &&
               text.find_first_not_of("0123456789") == std::string::npos) {
        const int index = ParseLeadingInt(text);
        if (index < kKeySlots) slot = index;
    }
    if (slot < 0)
        return OpResult::Refuse("BUTTON is a key index 0 to 19, wheel-up or wheel-down, not \"" + text +
                                "\"");
    return {};
}

namespace {
// The write of one key of a profile.
DeviceEdit KeyEdit(int profile, int slot) {
    DeviceEdit edit;
    edit.kind = ApplyKindOfSlot(slot);
    edit.profile = profile;
    edit.key = slot;
    return edit;
}
}  // namespace

OpResult SetKey(ModelSession& model, EditSender& sender, const KeyRules& rules, int profile, int slot,
                const KeyChoice& choice, AssignStatus* status) {
    if (OpResult checked = KeyTried(model, rules, profile, slot, choice, status); !checked.Done())
        return checked;
    sender.BeforeEdit(profile);
    KeyAssignContext assign{model.doc, model.macros, model.catalog, model.keys, rules};
    AssignKey(assign, profile, slot, choice);
    return sender.SendEdit(KeyEdit(profile, slot));
}

OpResult RestoreKeyAssignment(ModelSession& model, EditSender& sender, int profile, int slot,
                              const doc::KeyAssignment& previous) {
    if (!ValidProfile(profile)) return BadProfile(profile);
    if (slot < 0 || slot >= kKeySlots) return OpResult::Refuse(KeyStatusText(AssignStatus::BadSlot, slot));
    sender.BeforeEdit(profile);
    KeyAssignContext assign{model.doc, model.macros, model.catalog, model.keys, {}};
    RestoreKey(assign, profile, slot, previous);
    return sender.SendEdit(KeyEdit(profile, slot));
}

}  // namespace zor::control
