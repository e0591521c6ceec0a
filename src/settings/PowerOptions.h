// Power and sensor options: the mouse-wide values kept in section "Set" of res/Set.ini (sleep
// time, short-press time, power-down time, intelligent power saving, lift-off distance and the
// sensor switches), which of them a model offers, and which single write each change message
// becomes. The power page, the settings window and zorctl all go through this one class.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/SettingsSource.h"
#include "settings/ApplyPipeline.h"

namespace zor {

class IniFile;

inline constexpr const char* kPowerSection = "Set";

// The values, in the order of PowerKey.
enum class PowerKey {
    SavePowerSelect,
    SleepTime,
    ShortPress,
    PDTime,
    LODHeight,
    StraightLineCorrectEn,
    RippleCtrlEn,
    JitterCorrectEn,
    SmoothLineEn,
    MoveWakeEn,
    Count
};
inline constexpr std::size_t kPowerKeyCount = static_cast<std::size_t>(PowerKey::Count);

struct PowerRange {
    int min = 0;
    int max = 1;
    int Clamp(int value) const { return value < min ? min : (value > max ? max : value); }
};

// The timers' ranges. The sliders of the skins carry the same limits (checked by the resource
// tests); the page takes them from its sliders.
inline constexpr PowerRange kSleepTimeRange{1, 120};  // minutes
inline constexpr PowerRange kShortPressRange{1, 30};  // device steps of the short-press time
inline constexpr PowerRange kPdTimeRange{1, 120};     // minutes
inline constexpr PowerRange kSwitchRange{0, 1};

struct PowerKeyInfo {
    PowerKey key;
    const char* name;  // key in section "Set"
};
inline constexpr std::array<PowerKeyInfo, kPowerKeyCount> kPowerKeys{{
    {PowerKey::SavePowerSelect, "SavePowerSelect"},
    {PowerKey::SleepTime, "SleepTime"},
    {PowerKey::ShortPress, "ShortPress"},
    {PowerKey::PDTime, "PDTime"},
    {PowerKey::LODHeight, "LODHeight"},
    {PowerKey::StraightLineCorrectEn, "StraightLineCorrectEn"},
    {PowerKey::RippleCtrlEn, "RippleCtrlEn"},
    {PowerKey::JitterCorrectEn, "JitterCorrectEn"},
    {PowerKey::SmoothLineEn, "SmoothLineEn"},
    {PowerKey::MoveWakeEn, "MoveWakeEn"},
}};

const PowerKeyInfo& InfoOf(PowerKey key);
// The key whose Set.ini name equals name, ignoring case.
std::optional<PowerKey> PowerKeyByName(std::string_view name);

struct PowerRanges {
    PowerRange sleepTime = kSleepTimeRange;
    PowerRange shortPress = kShortPressRange;
    PowerRange pdTime = kPdTimeRange;
    PowerRange Of(PowerKey key) const;
};

struct PowerValues {
    std::array<int, kPowerKeyCount> values{};
    int Get(PowerKey key) const { return values[static_cast<std::size_t>(key)]; }
    void Set(PowerKey key, int value) { values[static_cast<std::size_t>(key)] = value; }
    bool operator==(const PowerValues&) const = default;
};

class PowerOptions {
public:
    explicit PowerOptions(std::filesystem::path setIni, PowerRanges ranges = {});

    const std::filesystem::path& Path() const { return m_path; }
    const PowerRanges& Ranges() const { return m_ranges; }

    // The values of section "Set": an absent key reads as 0, every value is kept within its
    // range (the timers within their sliders', the switches 0/1, the lift-off index 0/1).
    PowerValues Load() const;
    // Writes one value, kept within its range, as decimal text. The value written, or nothing
    // when the file could not be written.
    std::optional<int> Write(PowerKey key, int value) const;
    // Writes several values, each kept within its range, in one replacement of the file (an
    // interrupted write leaves all of them old). False when the file could not be written.
    bool WriteAll(const std::vector<std::pair<PowerKey, int>>& values) const;
    // Writes the [Reset] values of the model description back into section "Set" (all but the
    // power-down time, which keeps its value), in one write. False when Set.ini could not be
    // written.
    bool WriteReset(const IniFile& deviceFeature) const;

    // What the command set sends for these values. lightingSwitch is the intelligent power
    // saving (bit 6 of the lighting mode byte); value A keeps its default.
    static PowerSettings ToDevice(const PowerValues& values);
    PowerSettings Device() const { return ToDevice(Load()); }

private:
    std::filesystem::path m_path;
    PowerRanges m_ranges;
};

// Deep sleep (the power-down time) never starts before sleep: the one rule both the power page
// and zorctl set power keep. KeptInOrder is the value a timer may take beside the others (the
// page's sliders stop there, so each change stays one write); TimersInOrder tells whether a set
// of values keeps the rule (zorctl refuses one that does not).
int KeptInOrder(PowerKey key, int value, const PowerValues& current);
bool TimersInOrder(const PowerValues& values);

// What a change of a value sends: the kind of the edit run and the single write it flags (none
// for the power-saving switch, whose change goes out with the lighting). The four sensor
// switches share one write.
struct PowerChange {
    ApplyKind kind = ApplyKind::ActiveProfile;
    std::optional<SingleSetting> single;
};
PowerChange PowerChangeFor(PowerKey key);

// Visibility of the option rows. Keep leaves a row as it was.
enum class RowVisibility { Keep, Show, Hide };

struct PowerVisibility {
    RowVisibility savePower = RowVisibility::Show;
    RowVisibility straightLine = RowVisibility::Keep;
    RowVisibility rippleCtrl = RowVisibility::Keep;
    RowVisibility lodHeight = RowVisibility::Keep;
    RowVisibility jitterCorrect = RowVisibility::Keep;
    RowVisibility smoothLine = RowVisibility::Keep;
    // The lift-off options' texts; empty: the texts of the language file stay.
    std::string lodText1;
    std::string lodText2;
};

// The rows a model offers: chip is the connected mouse's sensor chip number, model the matched
// name, powerSavingFlag the description's Config/KeySelLedVis.
PowerVisibility VisibilityFor(int chip, std::string_view model, bool powerSavingFlag);

}  // namespace zor
