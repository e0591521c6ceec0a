// What the command set reads when it writes a profile's settings into the mouse. The
// configuration document implements SettingsSource; SettingsRecord is a plain in-memory one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zor {

inline constexpr int kProfileCount = 4;  // key tables (and profile identifiers) of the mouse
inline constexpr int kKeyCount = 20;
inline constexpr int kLightingSlots = 14;

struct KeyAssignment {
    int function = 0;       // function code: 0-119 built-in, 120-259 user macro, 256+ key
    std::string groupGuid;  // user macros: the macro's group
    std::string macroGuid;  // user macros: the macro
};

struct DpiGear {
    int value = 0;
    bool enabled = false;
    int attribute = 0;         // 2-bit attribute of the gear
    std::uint32_t colour = 0;  // 0xRRGGBB
};

struct LightingSettings {
    int modeNumber = 0;  // device lighting mode number of the profile's mode
    std::uint16_t headerValue = 0;
    std::array<std::uint8_t, 4> params{};
    std::array<std::uint32_t, 7> colours{};
};

struct ProfileSettings {
    std::array<KeyAssignment, kKeyCount> keys{};
    std::array<DpiGear, 8> gears{};
    int currentGear = 0;      // 0-based
    int reportRateIndex = 0;  // UI index; the code depends on the model
    LightingSettings lighting;
};

// Power and sensor options, shared by all profiles.
struct PowerSettings {
    int sleepMinutes = 1;
    int secondTimeMinutes = 0;
    int straightLineCorrectEn = 0;
    int rippleCtrlEn = 0;
    int jitterCorrectEn = 0;
    int smoothLineEn = 0;
    int lodHeight = 0;            // lift-off distance index
    int shortPress = 1;           // sent as value B (op 10/2)
    int moveWakeEn = 0;           // sent as value D (op 10/6)
    int valueA = 21;              // value A (op 10/1)
    bool lightingSwitch = false;  // bit 6 of every lighting mode byte
};

class SettingsSource {
public:
    virtual ~SettingsSource() = default;
    virtual ProfileSettings Profile(int profile) const = 0;
    virtual PowerSettings Power() const = 0;
    virtual std::uint16_t ProfileId(int index) const = 0;
};

struct SettingsRecord final : SettingsSource {
    std::array<ProfileSettings, kProfileCount> profiles{};
    PowerSettings power;
    std::array<std::uint16_t, kProfileCount> profileIds{};

    ProfileSettings Profile(int profile) const override {
        return profile >= 0 && profile < kProfileCount ? profiles[static_cast<std::size_t>(profile)]
                                                       : ProfileSettings{};
    }
    PowerSettings Power() const override { return power; }
    std::uint16_t ProfileId(int index) const override {
        return index >= 0 && index < kProfileCount ? profileIds[static_cast<std::size_t>(index)] : 0;
    }
};

// What the command set needs to know about the selected model (its feature file and match).
struct DeviceModel {
    std::string matchedName;                        // chooses the report-rate map
    int writeTimes = 4;                             // repetitions of every write of the full apply
    std::array<int, kLightingSlots> lightingMap{};  // UI lighting slot -> device mode number (0: none)
    int chip = 0;                                   // sensor chip number from the status read
};

}  // namespace zor
