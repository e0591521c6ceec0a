#include "settings/LightingRules.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "common/AtomicFile.h"
#include "common/Text.h"

namespace zor {
namespace {

using nlohmann::json;

constexpr std::size_t kMaxLayoutBytes = 256u * 1024u;
constexpr int kMaxLayoutDepth = 8;

bool ValidSlot(int slot) {
    return slot >= 0 && slot < kLedColourSlots;
}

void EnsureSlots(doc::LedModeSettings& mode) {
    if (mode.colours.size() < static_cast<std::size_t>(kLedColourSlots)) mode.colours.resize(kLedColourSlots);
}

int EnabledCount(const doc::LedModeSettings& mode) {
    return static_cast<int>(std::count_if(mode.colours.begin(), mode.colours.end(),
                                          [](const doc::LedColourSlot& s) { return s.enabled != 0; }));
}

}  // namespace

const std::array<const char*, kLightingRowControls>& LightingRowControls() {
    static const std::array<const char*, kLightingRowControls> controls = {
        "LedColorButton",
        "label_MouseLed_ColText",
        "btn_MouseLed_ColVal0",
        "btn_MouseLed_ColVal1",
        "btn_MouseLed_ColVal2",
        "btn_MouseLed_ColVal3",
        "btn_MouseLed_ColVal4",
        "btn_MouseLed_ColVal5",
        "btn_MouseLed_ColVal6",
        "chk_MouseLed_ColEn0",
        "chk_MouseLed_ColEn1",
        "chk_MouseLed_ColEn2",
        "chk_MouseLed_ColEn3",
        "chk_MouseLed_ColEn4",
        "chk_MouseLed_ColEn5",
        "chk_MouseLed_ColEn6",
        "LedBrightButton",
        "label_MouseLed_BrightText",
        "slider_MouseLed_BrightVal",
        "label_MouseLed_BrightValText",
        "LedSpeedButton",
        "label_MouseLed_SpeedText",
        "slider_MouseLed_SpeedVal",
        "label_MouseLed_SpeedValText",
        "label_MouseLed_SymmeText",
        "Chk_MouseLed_SymnetryVal",
        "LedDirectionButton",
        "label_MouseLed_DirtectText",
        "opt_MouseLed_BackwardVal",
        "opt_MouseLed_PositiveVal",
        "opt_MouseLed_TwowayVal",
        "opt_MouseLed_CoverVal",
    };
    return controls;
}

int LightingRowIndex(std::string_view control) {
    const auto& controls = LightingRowControls();
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (control == controls[i]) return static_cast<int>(i);
    return -1;
}

bool LightingRow::Visible() const {
    return texts.size() > 2 && ParseLeadingInt(texts[2]) != 0;
}

bool LightingRow::Flag(int control) const {
    if (control < 0 || control >= kLightingRowControls) return false;
    const auto index = static_cast<std::size_t>(kLightingRowHead + control);
    return index < texts.size() && ParseLeadingInt(texts[index]) != 0;
}

const LightingRow* LightingLayout::Row(int mode) const {
    auto it = rows.find(mode);
    return it == rows.end() ? nullptr : &it->second;
}

LightingLayout ParseLightingLayout(std::string_view text) {
    LightingLayout layout;
    try {
        // The file is small and flat: deeper nesting is refused before it costs anything.
        const json root = json::parse(text, [](int depth, json::parse_event_t, json&) {
            if (depth > kMaxLayoutDepth) throw std::runtime_error("nested too deeply");
            return true;
        });
        const json& modes = root.at("modes");
        if (!modes.is_object()) throw std::runtime_error("\"modes\" is not an object");
        for (const auto& [key, entry] : modes.items()) {
            if (key.empty() ||
                !std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }))
                throw std::runtime_error("mode \"" + key + "\" is not a number");
            const int mode = ParseLeadingInt(key);
            if (mode < 0 || mode >= kLedModes) throw std::runtime_error("mode " + key + " is not 0..13");
            LightingRow row;
            for (const auto& [member, value] : entry.items()) {
                if (member == "row") {
                    for (const json& t : value) row.texts.push_back(t.get<std::string>());
                } else if (member == "single") {
                    row.singleColour = value.get<bool>();
                } else {
                    throw std::runtime_error("mode " + key + ": unknown member \"" + member + "\"");
                }
            }
            layout.rows[mode] = std::move(row);
        }
        for (const auto& [member, value] : root.items())
            if (member != "modes") throw std::runtime_error("unknown member \"" + member + "\"");
    } catch (const std::exception& e) {
        // One bad entry makes the whole file unreadable: no row read before it is offered.
        layout.rows.clear();
        layout.error = e.what();
    }
    return layout;
}

LightingLayout LoadLightingLayout(const std::filesystem::path& modelFolder) {
    std::string text;
    if (!ReadFileBytes(modelFolder / kLightRowsFile, text, kMaxLayoutBytes)) {
        LightingLayout layout;
        layout.error = std::string(kLightRowsFile) + " cannot be read";
        return layout;
    }
    return ParseLightingLayout(text);
}

OfferedModes OfferedLightingModes(const std::map<int, int>& ledModes, const LightingLayout& layout) {
    OfferedModes offered{};
    for (int mode = 0; mode < kLedModes; ++mode) {
        auto it = ledModes.find(mode);
        const LightingRow* row = layout.Row(mode);
        offered[static_cast<std::size_t>(mode)] =
            it != ledModes.end() && it->second != 0 && row != nullptr && row->Applicable() && row->Visible();
    }
    return offered;
}

std::string LightingModeName(const LightingLayout& layout, int mode) {
    const LightingRow* row = layout.Row(mode);
    return row != nullptr ? row->Preview() : std::string();
}

int LightingModeFromText(const LightingLayout& layout, std::string_view text) {
    if (!text.empty() && text.size() <= 2 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const int mode = ParseLeadingInt(text);
        return mode < kLedModes ? mode : -1;
    }
    for (const auto& [mode, row] : layout.rows)
        if (!text.empty() && EqualsIgnoreCaseAscii(row.Preview(), text)) return mode;
    return -1;
}

int UiModeForDeviceMode(const std::map<int, int>& ledModes, int deviceMode) {
    const int number = deviceMode & 0x3F;
    if (number == 0) return -1;
    for (const auto& [slot, mode] : ledModes)
        if (mode == number) return slot;
    return -1;
}

int CurrentLightingMode(const MouseConfigDocument& document, int profile) {
    const auto p = static_cast<std::size_t>(std::clamp(profile, 0, kConfigProfiles - 1));
    return std::clamp(document.led[p][0].curselmode, 0, kLedModes - 1);
}

doc::LedModeSettings& LightingModeRecord(MouseConfigDocument& document, int profile, int mode) {
    const auto p = static_cast<std::size_t>(std::clamp(profile, 0, kConfigProfiles - 1));
    doc::LedModeSettings& record =
        document.led[p][static_cast<std::size_t>(std::clamp(mode, 0, kLedModes - 1))];
    EnsureSlots(record);
    return record;
}

bool SelectLightingMode(MouseConfigDocument& document, int profile, int mode, const OfferedModes& offered,
                        const LightingLayout& /*layout*/) {
    if (mode < 0 || mode >= kLedModes || !offered[static_cast<std::size_t>(mode)]) return false;
    // The mode's own settings stay as stored: a single-colour mode shows its first enabled slot,
    // and only the single-colour choice changes which slots are enabled.
    LightingModeRecord(document, profile, 0).curselmode = mode;
    return true;
}

bool SetLightColourEnabled(doc::LedModeSettings& mode, int slot, bool enabled) {
    EnsureSlots(mode);
    if (!ValidSlot(slot)) return false;
    auto& target = mode.colours[static_cast<std::size_t>(slot)];
    target.enabled = enabled ? 1 : 0;
    // At least one colour slot always stays enabled.
    if (EnabledCount(mode) == 0) target.enabled = 1;
    return target.enabled != 0;
}

void SetLightColour(doc::LedModeSettings& mode, int slot, std::uint32_t colour) {
    EnsureSlots(mode);
    if (ValidSlot(slot)) mode.colours[static_cast<std::size_t>(slot)].colour = colour & 0xFFFFFFu;
}

int LightLevelFromPosition(int position, int max) {
    return std::clamp(position, 1, std::max(1, max));
}

void SetLightBrightness(doc::LedModeSettings& mode, int position) {
    mode.brightnessvalue = LightLevelFromPosition(position, kLightBrightnessMax);
}

void SetLightSpeed(doc::LedModeSettings& mode, int position) {
    mode.frequencyvalue = LightLevelFromPosition(position, kLightSpeedMax);
}

void SetLightDirection(doc::LedModeSettings& mode, int direction) {
    if (direction >= 0 && direction < kLightDirections) mode.directionsel = direction;
}

void ChooseSingleLightColour(doc::LedModeSettings& mode, int slot) {
    EnsureSlots(mode);
    if (!ValidSlot(slot)) return;
    for (int k = 0; k < kLedColourSlots; ++k)
        mode.colours[static_cast<std::size_t>(k)].enabled = k == slot ? 1 : 0;
}

int SingleLightColour(const doc::LedModeSettings& mode) {
    for (std::size_t k = 0; k < mode.colours.size() && k < static_cast<std::size_t>(kLedColourSlots); ++k)
        if (mode.colours[k].enabled != 0) return static_cast<int>(k);
    return 0;
}

const std::array<const char*, kLightDirections>& LightDirectionNames() {
    static const std::array<const char*, kLightDirections> names = {"backward", "positive", "twoway",
                                                                    "cover"};
    return names;
}

std::string ApplyLightingEdit(MouseConfigDocument& document, int profile, const LightingEdit& edit,
                              const OfferedModes& offered, const LightingLayout& layout) {
    if (profile < 0 || profile >= kConfigProfiles) return Format("profile %d is not 0..2", profile);
    const int mode = edit.mode.value_or(CurrentLightingMode(document, profile));
    if (mode < 0 || mode >= kLedModes || !offered[static_cast<std::size_t>(mode)])
        return Format("lighting mode %d is not offered by this model", mode);
    for (const auto& [slot, colour] : edit.colours) {
        if (!ValidSlot(slot)) return Format("colour slot %d is not 0..6", slot);
        if (colour > 0xFFFFFFu) return "a colour is more than six hexadecimal digits";
    }
    for (const auto& [slot, on] : edit.enables)
        if (!ValidSlot(slot)) return Format("colour slot %d is not 0..6", slot);
    if (edit.brightness && (*edit.brightness < 0 || *edit.brightness > kLightBrightnessMax))
        return Format("brightness %d is not 0..%d", *edit.brightness, kLightBrightnessMax);
    if (edit.speed && (*edit.speed < 0 || *edit.speed > kLightSpeedMax))
        return Format("speed %d is not 0..%d", *edit.speed, kLightSpeedMax);
    if (edit.direction && (*edit.direction < 0 || *edit.direction >= kLightDirections))
        return Format("direction %d is not 0..3", *edit.direction);
    const LightingRow* row = layout.Row(mode);
    const bool single = row != nullptr && row->singleColour;

    // Tried on a copy first, so that a refused enable change leaves the document as it was.
    const auto before = document.led;
    // An edit stores only what it names: the mode only when one is given.
    if (edit.mode) SelectLightingMode(document, profile, mode, offered, layout);
    doc::LedModeSettings& record = LightingModeRecord(document, profile, mode);
    for (const auto& [slot, colour] : edit.colours) SetLightColour(record, slot, colour);
    for (const auto& [slot, on] : edit.enables) {
        if (single) {
            if (on)
                ChooseSingleLightColour(record, slot);
            else if (record.colours[static_cast<std::size_t>(slot)].enabled != 0) {
                document.led = before;
                return Format(
                    "colour slot %d is the one colour of a single-colour mode; enable another instead", slot);
            }
            continue;
        }
        if (SetLightColourEnabled(record, slot, on) != on) {
            document.led = before;
            return Format("colour slot %d is the last enabled one and stays enabled", slot);
        }
    }
    if (edit.brightness) SetLightBrightness(record, *edit.brightness);
    if (edit.speed) SetLightSpeed(record, *edit.speed);
    if (edit.direction) SetLightDirection(record, *edit.direction);
    return {};
}

}  // namespace zor
