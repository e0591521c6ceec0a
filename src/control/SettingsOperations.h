// The settings edits of the model in use, each written once for the window's pages, zorctl and
// any other front-end: the input is checked against the model (DPI table, gear count, lighting
// rows, power ranges, key rules) before anything changes; then the document (or Set.ini) is
// edited, and the edit goes to the mouse through an EditSender, which saves and sends what the
// pages always sent for it. A refused edit changes no file and sends nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/Operations.h"
#include "settings/KeyAssign.h"
#include "settings/LightingRules.h"
#include "settings/PowerOptions.h"

namespace zor::control {

// One DPI gear of a profile; only the fields given change.
struct DpiGearEdit {
    int gear = 0;
    std::optional<int> value;             // a value of the model's DPI table
    std::optional<std::uint32_t> colour;  // 0xRRGGBB
    std::optional<bool> enabled;          // the last enabled gear cannot be switched off
    bool current = false;                 // the gear becomes the current one (it must be enabled)
};
// Sends the DPI write when a value, an enable or the current gear changed, the colour write when
// a colour did (both when both did).
OpResult SetDpiGear(ModelSession& model, EditSender& sender, int profile, const DpiGearEdit& edit);
// The checks SetDpiGear makes, nothing changed: a caller that switches profiles first (the
// program's service) asks before it switches.
OpResult CheckDpiGear(const ModelSession& model, int profile, const DpiGearEdit& edit);

// The fire value (1..20) of a profile: every fire key of the profile is written again with it.
inline constexpr int kFireValueMin = 1;
inline constexpr int kFireValueMax = 20;
OpResult SetFireValue(ModelSession& model, EditSender& sender, int profile, int value);
OpResult CheckFireValue(int profile, int value);

// The lighting of a profile: the mode and each of its values, with the lighting rules on the
// model's rows; only what the edit names changes.
OpResult SetLighting(ModelSession& model, EditSender& sender, int profile, const LightingEdit& edit);
OpResult CheckLighting(const ModelSession& model, int profile, const LightingEdit& edit);
// The lighting mode a decimal mode number or one of the model's mode names stands for, and its
// name; refused when the model offers none such.
OpResult LightingModeOfText(const ModelSession& model, const std::string& text, int& mode,
                            std::string* name = nullptr);
// A lighting direction by its name (backward, positive, twoway, cover; any case).
std::optional<int> LightDirectionOfText(const std::string& text);

// Power and sensor options of Set.ini (mouse-wide, not of a profile): every value is checked
// against its range (ranges: the page's sliders; zorctl the defaults), and deep sleep never
// starts before sleep. All values are written in one replacement of the file, then each distinct
// change's single write is sent once.
OpResult SetPowerOptions(ModelSession& model, EditSender& sender,
                         std::vector<std::pair<PowerKey, int>> values, const PowerRanges& ranges = {});
// A power option by its Set.ini name (any case); refused with the names there are.
OpResult PowerKeyNamed(const std::string& name, PowerKey& key);
// The Set.ini names, comma separated.
std::string PowerKeyNames();
// Refused when a key is given twice (a caller that passes the values on as a map asks first).
OpResult PowerValuesGivenOnce(const std::vector<std::pair<PowerKey, int>>& values);

// A function for one key (slot 0..19) of a profile, with the key rules of the connection and
// model (KeyRulesOf): the macro use counters follow, the document is saved, the key's write
// sent. status (when given) receives the rules' answer, which the key popup shows its own way.
OpResult SetKey(ModelSession& model, EditSender& sender, const KeyRules& rules, int profile, int slot,
                const KeyChoice& choice, AssignStatus* status = nullptr);
// The checks SetKey makes, nothing changed.
OpResult CheckKey(const ModelSession& model, const KeyRules& rules, int profile, int slot,
                  const KeyChoice& choice);
// The slot a button text names: a key index 0 to 19, wheel-up or wheel-down.
OpResult KeySlotOfText(const std::string& text, int& slot);
// Puts back what a key held before (the key popup's Cancel) and sends it.
OpResult RestoreKeyAssignment(ModelSession& model, EditSender& sender, int profile, int slot,
                              const doc::KeyAssignment& previous);
// The key rules of the selected mouse: its connection (no macros over BLE) and whether its model
// has lighting.
KeyRules KeyRulesOf(DeviceStack& stack, const ModelSession& model);
// The one-line reason of a refused key choice.
std::string KeyStatusText(AssignStatus status, int slot);

}  // namespace zor::control
