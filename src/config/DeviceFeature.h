// The model description file "<model folder>/Config/DeviceFeature.ini": what a mouse model offers
// (keys and their device slots, lighting modes, the DPI table of each sensor chip, profile
// identifiers, firmware versions), the record it is read into, and the few values written back.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/DataFile.h"

namespace zor {

inline constexpr int kMaxKeyCount = 16;      // size of the key defaults array
inline constexpr int kKeySlotMapSize = 20;   // K1_MAP .. K20_MAP
inline constexpr int kExtraKeyDefaults = 4;  // K16_DEF .. K19_DEF
inline constexpr int kLedSlotCount = 14;     // LED0_MAP .. LED13_MAP
inline constexpr int kProfileIdCount = 4;    // RANDOM Profile0 .. Profile3
inline constexpr int kResetProfiles = 3;     // ChipReset<c> profile0 .. profile2
inline constexpr int kResetGears = 8;        // DPI gears per ChipReset line
// Upper bound on the DPI table (listed plus generated lines), so that a damaged DPI_GEAR_NUM
// cannot make the reader walk billions of keys.
inline constexpr int kMaxDpiLines = 8192;
// Bounds of the other counts of the file: how often each apply write is repeated (each repeat
// costs about two seconds of protocol pauses), the gears the DPI page shows and the device's
// key slots.
inline constexpr int kDefaultWriteTimes = 4;
inline constexpr int kMaxWriteTimes = 16;
inline constexpr int kMaxUiDpiGears = 8;

struct DeviceFeatureRecord {
    int ledSwitchEnable = 0;             // LED_MODE_SW_EN
    int writeTimes = 4;                  // WriteTimes; below 1 reads as 4, above 16 as 16
    std::map<int, int> ledModes;         // UI lighting slot 0..13 -> device mode (0 = not offered)
    std::uint16_t ledModeMask = 0;       // bit (m - 1) for every offered device mode m
    int dpiStep = 0;                     // GEAR_STEP
    int dpiMax = 0;                      // GEAR_MAX_VALUE
    int dpiLineCount = 0;                // lines of the DPI table, listed and generated
    int uiDpiGearCount = 0;              // UI_DPI_GEAR_NUM, kept within 0..8
    std::map<int, std::string> dpiText;  // line -> DPI label ("400")
    std::map<int, int> dpiDeviceValue;   // line -> device value
    std::map<int, int> dpiMultiplier;    // line -> multiplier index (0 listed, 1..3 generated)
    std::string remoteFirmwareVersion;   // at most 8 characters
    std::string remoteCustomVersion;     // at most 16 characters
    std::string dongleFirmwareVersion;   // at most 8 characters
    std::array<std::uint16_t, kProfileIdCount> profileIds{};
    int keyCount = 0;                                       // KeyNum, kept within 0..16
    int keySlotCount = 0;                                   // MaxKeyNum, kept within 0..20
    std::array<int, kKeySlotMapSize> keySlots{};            // K<i>_MAP, i = 1..keyCount
    std::array<int, kMaxKeyCount> keyDefaults{};            // K<i>_DEF, i = 1..keyCount
    std::array<int, kExtraKeyDefaults> extraKeyDefaults{};  // K16_DEF..K19_DEF
};

std::filesystem::path DeviceFeaturePath(const std::filesystem::path& modelFolder);

// Sensor chip numbers are one byte of the device status.
inline constexpr int kMaxChipNumber = 255;
// Far above any real description; a larger file is not read (the ini reader's own cap).
inline constexpr std::uint64_t kMaxDescriptionBytes = 16u * 1024u * 1024u;

enum class DescriptionFault {
    None,
    CannotRead,  // missing, not a regular file, too large or unreadable (readFault says which)
    Damaged,     // not a model description: empty, cut short, or missing what a model needs
    OutOfRange,  // a number that does not fit the integer it is read into
};

struct DescriptionResult {
    DescriptionFault fault = DescriptionFault::None;
    ReadFault readFault = ReadFault::None;
    std::string error;  // names the file, and the section and key of a refused value
    bool ok() const { return fault == DescriptionFault::None; }
};

// Reads the model file of modelFolder for sensor chip `chip` into record (which is reset first).
// A missing key reads as empty text / 0, and counts are kept within their bounds. Refused, with
// the record left at its defaults: a file that cannot be read as a regular file within
// kMaxDescriptionBytes, one without any section of a model description (empty, cut short before
// its first section, not an ini file), and one with a number that does not fit an int (the
// result names section and key; such a number would otherwise be read as the largest int).
DescriptionResult ReadDeviceFeature(DeviceFeatureRecord& record, const std::filesystem::path& modelFolder,
                                    int chip);
// ReadDeviceFeature, true when the file was read.
bool LoadDeviceFeature(DeviceFeatureRecord& record, const std::filesystem::path& modelFolder, int chip);

// The check both programs make before they use a model (zormouse at start, zorctl before every
// command on a model): ReadDeviceFeature's for every sensor chip the file lists, and a
// description of keys ([KEYMAP] KeyNum of at least 1) and of at least one sensor's DPI table
// ([Chip<n>] DPI_GEAR_NUM of at least 1).
DescriptionResult CheckDeviceFeature(const std::filesystem::path& modelFolder);
// ReadDeviceFeature's check for every sensor chip: every write into the description asks it
// first, so that a file that failed to read is never written into (a write would add sections
// to a damaged file and make it look like a description).
DescriptionResult CheckDeviceFeatureReadable(const std::filesystem::path& modelFolder);

// Continues the DPI table above its last listed line with labels that are 2, 3 and 4 times a
// listed label (multiplier index 1, 2, 3), up to record.dpiMax in steps of (m + 1) * dpiStep.
// Updates record.dpiLineCount. Returns the number of lines added.
int ExtendDpiTable(DeviceFeatureRecord& record);

// K1_MAP..K20_MAP as device key slot -> UI key index (0-based), the first key winning a shared
// slot, and LED0_MAP..LED13_MAP as UI lighting slot -> device mode. Both maps are cleared first.
void LoadKeySlotMap(const std::filesystem::path& modelFolder, std::map<int, int>& keySlotToUi,
                    std::map<int, int>& ledModes);

// LEDEN: per UI lighting slot, the items the lighting page enables for that mode. Only slots
// with a non-empty list are present; items are trimmed and empty items dropped.
std::map<int, std::vector<std::string>> LoadLedItems(const std::filesystem::path& modelFolder);

using ChipResetLabels = std::array<std::array<std::string, kResetGears>, kResetProfiles>;
using ChipResetLines = std::array<std::array<int, kResetGears>, kResetProfiles>;

// Writes ChipReset<chip>/profile0..2 as the eight DPI labels of each profile joined with ",",
// all three in one replacement of the file. Refused (false) when the description fails
// CheckDeviceFeatureReadable, as are the writes of profile identifiers.
bool SaveChipReset(const std::filesystem::path& modelFolder, int chip, const ChipResetLabels& labels);

// Reads ChipReset<chip>/profile0..2 and gives, for every gear, the DPI table line whose label is
// exactly the saved text. 0 (no line; lines count from 1) where the text matches no line or the
// saved list is shorter than eight items.
ChipResetLines LoadChipReset(const DeviceFeatureRecord& record, const std::filesystem::path& modelFolder,
                             int chip);

// Writes RANDOM/Profile<index> = value. Refuses an index outside 0..3.
bool SaveProfileId(const std::filesystem::path& modelFolder, int index, std::uint16_t value);
// Writes several of them (index, value) in one replacement of the file, so that an interrupted
// write never leaves some identifiers new and others old. Refuses (writing nothing) an index
// outside 0..3.
bool SaveProfileIds(const std::filesystem::path& modelFolder,
                    const std::vector<std::pair<int, std::uint16_t>>& ids);

}  // namespace zor
