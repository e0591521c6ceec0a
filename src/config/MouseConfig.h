// The mouse configuration document: what the user has set for the attached model, per profile
// (key tables, DPI gears, report rates, lighting of every mode), read from and written to the
// model's Config/MouseConfig.json. It is also the settings source the command set writes from.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/FileStamp.h"
#include "config/DeviceFeature.h"
#include "device/SettingsSource.h"
#include "macro/MacroUsage.h"

namespace zor {

class KeyFunctionCatalog;
class MacroStore;
class MacVkAndText;

inline constexpr int kConfigProfiles = 3;  // profiles with settings (the fourth key table has none)
inline constexpr int kKeyTables = 4;
inline constexpr int kKeySlots = 20;
inline constexpr int kDpiGearCount = 8;
inline constexpr int kLedModes = 14;
inline constexpr int kLedColourSlots = 7;
inline constexpr std::string_view kSlotPrefix = "btn_MouseKey_Click";
inline constexpr std::string_view kInitNull = "InitNull";

// The records of the document live in their own namespace: the device layer has plain records
// of the same names for what it sends.
namespace doc {

struct KeyAssignment {
    int defaultCode = 0;
    int code = 0;
    std::string text{kInitNull};
    std::string macGuid;
    std::string grpGuid;
    bool operator==(const KeyAssignment&) const = default;
};

struct DpiGear {
    int enabled = 0;
    int value = 0;
    std::uint32_t colour = 0;
    bool operator==(const DpiGear&) const = default;
};

struct MouseAdvSettings {
    std::vector<DpiGear> gears;  // eight after loading
    int firevalue = 0;
    int rateusbvalue = 0;
    int ratedonglevalue = 0;
    int rateblevalue = 0;
    int cruseldpi = 0;
    bool operator==(const MouseAdvSettings&) const = default;
};

struct LedColourSlot {
    int enabled = 0;
    std::uint32_t colour = 0;
    bool operator==(const LedColourSlot&) const = default;
};

struct LedModeSettings {
    int curselmode = 0;
    int brightnessvalue = 0;
    int frequencyvalue = 0;
    int directionsel = 0;
    std::vector<LedColourSlot> colours;  // seven after loading
    bool operator==(const LedModeSettings&) const = default;
};

// Slot name -> assignment.
using KeyTable = std::map<std::string, KeyAssignment>;

}  // namespace doc

// "btn_MouseKey_Click" + n.
std::string SlotName(int slot);
// The number after the slot prefix; -1 for a name that is not one of the 20 slots.
int SlotNumber(std::string_view name);

std::filesystem::path MouseConfigPath(const std::filesystem::path& modelFolder);
std::filesystem::path ResetMouseConfigPath(const std::filesystem::path& modelFolder);

// Which report-rate field the command set sends.
enum class RateLink { Usb, Dongle, Ble };

struct ConfigResult {
    bool ok = true;
    bool found = true;  // false when the file did not exist (the document is unchanged)
    std::string error;  // for the GUI when ok is false
    // The file changed on disk since the document was read or saved: nothing was written, the
    // document must be read again first.
    bool changedOnDisk = false;
};

class MouseConfigDocument : public SettingsSource {
public:
    MouseConfigDocument();

    // Facts of the model taken from its description: key defaults, gear count, DPI limits and
    // labels, lighting map, profile identifiers.
    void SetDeviceFacts(const DeviceFeatureRecord& feature, int chip = 0);

    // Reads the model folder's Config/MouseConfig.json. A missing file leaves the document as it
    // is. A file that is not JSON, or lacks a required member or has one of the wrong type,
    // also leaves the document as it is and returns the reason; the next Save to that file
    // first keeps the file's bytes as MouseConfig.json.bad.
    ConfigResult Load(const std::filesystem::path& modelFolder);
    ConfigResult LoadFile(const std::filesystem::path& file);
    // Replaces the document from a parsed one; nothing changes when it throws or fails.
    ConfigResult FromJson(const nlohmann::json& root);
    nlohmann::json ToJson() const;
    // Refused (changedOnDisk) when file is the one last read or saved and it changed on disk
    // since.
    ConfigResult Save(const std::filesystem::path& file);
    // The file as the document last read or saved it (see FileStamp).
    const FileStamp& Stamp() const { return m_stamp; }
    const std::filesystem::path& StampedFile() const { return m_stampedFile; }
    // Saves to the model folder's Config/MouseConfig.json and, when that worked, writes the
    // chip-reset DPI labels, as every save of the program does.
    ConfigResult SaveToModel(const std::filesystem::path& modelFolder);
    // Keeps the bytes of the file that last failed to load beside it now, as its newest .bad
    // copy (none when that copy already holds the same bytes, so loading one damaged file again
    // and again keeps it once). Returns the copy's path; empty when nothing was kept.
    std::filesystem::path KeepDamagedFile();
    // A file that could not even be read is moved aside as its newest .bad copy before the
    // program writes a new one in its place; false when it could not be moved.
    bool SetAsideUnreadableFile(const std::filesystem::path& file);

    // Display texts of the built-in codes and every slot's default code.
    void FillKeyTexts(const KeyFunctionCatalog& catalog);
    // Texts of macro and key assignments: "M:" + the macro's name, or the slot's default
    // function when the macro is gone; key names for single keys.
    void RefreshMacroLabels(const MacroStore& macros, const KeyFunctionCatalog& catalog,
                            const MacVkAndText& keys);
    // Over BLE macros cannot be sent: every macro assignment takes the slot's default function
    // (the macro ids stay for when the mouse is back on a cable).
    void ReplaceMacrosForBle(const KeyFunctionCatalog& catalog, const MacVkAndText& keys);
    // The keys of all four key tables that play a user macro, named by their default function.
    std::vector<MacroUse> MacroUses(const KeyFunctionCatalog& catalog, const MacVkAndText& keys) const;
    // Disables the gears of the profile at and above the model's gear count.
    void DisableSurplusGears(int profile);
    // Draws the four identifiers when all are 0 and writes them to the description file.
    // Returns true when it drew. The generator is replaceable for tests.
    bool CreateMissingProfileIds(const std::filesystem::path& modelFolder);
    void SetRandomSource(std::function<std::uint16_t()> draw) { m_draw = std::move(draw); }
    // The eight gears of each profile as DPI table labels, written after every save.
    ChipResetLabels ChipResetLabelsOf() const;
    bool SaveChipResetLabels(const std::filesystem::path& modelFolder) const;

    // SettingsSource
    ProfileSettings Profile(int profile) const override;
    PowerSettings Power() const override { return m_power; }
    std::uint16_t ProfileId(int index) const override;

    void SetPower(const PowerSettings& power) { m_power = power; }
    void SetRateLink(RateLink link) { m_rateLink = link; }
    void SetProfileId(int index, std::uint16_t value);

    int DefaultCodeOfSlot(int slot) const;

    // The document.
    std::vector<doc::KeyTable> keyTables;  // four after loading
    std::array<doc::MouseAdvSettings, kConfigProfiles> adv;
    std::array<std::array<doc::LedModeSettings, kLedModes>, kConfigProfiles> led;
    int ver = 0;
    int currentProfile = 0;  // "curporfile" in the file

    // Device facts.
    int keyCount = 0;
    int gearCount = kDpiGearCount;
    int dpiMax = 0;
    int dpiStep = 0;
    int chip = 0;

private:
    void parse(const nlohmann::json& root);

    std::array<int, kKeySlots> m_defaults{};
    std::map<int, std::string> m_dpiText;
    std::map<int, int> m_ledModes;
    std::uint16_t m_ledModeMask = 0;
    std::array<std::uint16_t, kKeyTables> m_profileIds{};
    PowerSettings m_power;
    RateLink m_rateLink = RateLink::Usb;
    std::function<std::uint16_t()> m_draw;
    std::filesystem::path m_badPath;
    std::string m_badBytes;
    std::filesystem::path m_unreadablePath;
    std::filesystem::path m_stampedFile;
    FileStamp m_stamp;
};

}  // namespace zor

namespace zor {

// Copies the model's ResetMouseConfig.json over its MouseConfig.json. A missing or damaged
// factory file changes nothing and is reported. The caller then runs Reload.
ConfigResult ResetMouseConfig(const std::filesystem::path& modelFolder);

class CommandSet;

// The identity read of the mouse (op 1) as Reload asks for it: the sensor chip number, 0 when the
// read fails.
std::function<int()> ChipReader(CommandSet& commands);

// What Reload needs besides the document.
struct ReloadContext {
    std::filesystem::path modelFolder;
    bool ble = false;
    std::function<int()> readChip;           // the mouse's chip number (identity read); 0 on failure
    DeviceFeatureRecord* feature = nullptr;  // re-read when not over BLE
    int* chip = nullptr;                     // the chip number in use; updated
    const KeyFunctionCatalog* catalog = nullptr;
    const MacroStore* macros = nullptr;
    const MacVkAndText* keys = nullptr;
};

struct ReloadOutcome {
    ConfigResult load;
    bool chipChanged = false;
    bool idsCreated = false;
};

// The sequence run after start-up, import and reset: identity and description (not over BLE),
// Load, key texts, macro labels, surplus gears of the current profile off, missing profile
// identifiers. Refreshing the pages is the GUI's part.
ReloadOutcome Reload(MouseConfigDocument& document, ReloadContext& context);

}  // namespace zor
