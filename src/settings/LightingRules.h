// The rules of the lighting page that do not depend on widgets: the model's lighting layout
// (one visibility row per UI lighting mode, read from the model's Position/lightrows.json),
// which modes are offered, and every edit of a mode's settings (colour slots with the rule that
// one slot always stays enabled, brightness and speed where 0 is stored as 1, direction, the
// single-colour choice). The lighting page and `zorctl set lighting` both edit through these.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/MouseConfig.h"

namespace zor {

inline constexpr int kLightingRowControls = 32;
inline constexpr int kLightingRowHead = 3;  // item control, preview name, the mode's own flag
inline constexpr int kLightingRowMinEntries = 31;
inline constexpr int kLightBrightnessMax = 100;
inline constexpr int kLightSpeedMax = 10;
inline constexpr int kLightDirections = 4;  // Backward, Positive, Twoway, Cover
inline constexpr const char* kLightRowsFile = "Position/lightrows.json";

// The controls a row's flags stand for, in row order.
const std::array<const char*, kLightingRowControls>& LightingRowControls();
// Index of a control in the row order; -1 for a control that is not part of the rows.
int LightingRowIndex(std::string_view control);

struct LightingRow {
    std::vector<std::string> texts;  // as in the file: item, preview, own flag, control flags
    bool singleColour = false;       // one colour at a time, chosen in "SingleColorGroup"

    // A row is applied only when it has more than 30 entries.
    bool Applicable() const { return static_cast<int>(texts.size()) >= kLightingRowMinEntries; }
    std::string Item() const { return texts.size() > 0 ? texts[0] : std::string(); }
    std::string Preview() const { return texts.size() > 1 ? texts[1] : std::string(); }
    bool Visible() const;
    // Flag of control index i (LightingRowControls order); a missing entry hides the control.
    bool Flag(int control) const;
    bool Shows(std::string_view control) const { return Flag(LightingRowIndex(control)); }
};

struct LightingLayout {
    std::map<int, LightingRow> rows;  // UI lighting mode 0..13 -> its row
    std::string error;                // why the file was not (fully) read; empty when it was

    const LightingRow* Row(int mode) const;
};

LightingLayout ParseLightingLayout(std::string_view text);
// <modelFolder>/Position/lightrows.json; a missing or unreadable file gives no rows (and no mode
// is offered) with the reason in error.
LightingLayout LoadLightingLayout(const std::filesystem::path& modelFolder);

using OfferedModes = std::array<bool, kLedModes>;

// A mode is offered when the model maps it to a device mode (LEDMAP non-zero), it has an
// applicable row and that row's own flag is set.
OfferedModes OfferedLightingModes(const std::map<int, int>& ledModes, const LightingLayout& layout);
// A mode's name for scripts (the effect its row previews, e.g. "breathing"); empty without a row.
std::string LightingModeName(const LightingLayout& layout, int mode);
// The mode a name or a decimal UI mode index stands for; -1 for none.
int LightingModeFromText(const LightingLayout& layout, std::string_view text);
// The UI mode that stands for a device mode number (bits 6 and 7 ignored); -1 when none does.
int UiModeForDeviceMode(const std::map<int, int>& ledModes, int deviceMode);

// The profile's current lighting mode: the curselmode of its mode-0 record.
int CurrentLightingMode(const MouseConfigDocument& document, int profile);
doc::LedModeSettings& LightingModeRecord(MouseConfigDocument& document, int profile, int mode);

// Edits. Each changes the record and answers what the page shows afterwards.

// Makes mode the profile's current one. Refused (false) for a mode that is not offered. The
// mode's colour slots stay as they are.
bool SelectLightingMode(MouseConfigDocument& document, int profile, int mode, const OfferedModes& offered,
                        const LightingLayout& layout);
// Enable box of slot k. Unchecking the last enabled slot is refused: the slot stays enabled.
// Returns the slot's enabled state afterwards.
bool SetLightColourEnabled(doc::LedModeSettings& mode, int slot, bool enabled);
void SetLightColour(doc::LedModeSettings& mode, int slot, std::uint32_t colour);
// A slider position becomes a stored level: 0 -> 1, above max -> max.
int LightLevelFromPosition(int position, int max);
void SetLightBrightness(doc::LedModeSettings& mode, int position);
void SetLightSpeed(doc::LedModeSettings& mode, int position);
void SetLightDirection(doc::LedModeSettings& mode, int direction);
// Single-colour modes: slot k becomes the one enabled slot.
void ChooseSingleLightColour(doc::LedModeSettings& mode, int slot);
// The slot a single-colour mode shows: its first enabled slot (0 when none is).
int SingleLightColour(const doc::LedModeSettings& mode);

// Direction names as zorctl takes them, in option order.
const std::array<const char*, kLightDirections>& LightDirectionNames();

// A set of edits as zorctl takes them, applied with the same rules in the order the page would
// see them: mode, colours, enables, brightness, speed, direction.
struct LightingEdit {
    std::optional<int> mode;
    std::vector<std::pair<int, std::uint32_t>> colours;  // slot -> 0xRRGGBB
    std::vector<std::pair<int, bool>> enables;           // slot -> enable / disable
    std::optional<int> brightness;
    std::optional<int> speed;
    std::optional<int> direction;
};

// Checks every edit first (mode offered, slots 0..6, levels 0..max, direction 0..3, no disable
// that the last-slot rule would refuse) and changes nothing when one is wrong: the answer is then
// the one-line reason. Empty answer: all applied.
std::string ApplyLightingEdit(MouseConfigDocument& document, int profile, const LightingEdit& edit,
                              const OfferedModes& offered, const LightingLayout& layout);

}  // namespace zor
