// Reading and writing the model description file, and the extension of a chip's DPI table.
#include "config/DeviceFeature.h"
#include "common/ProgramPaths.h"

#include <algorithm>
#include <cstddef>

#include "common/IniFile.h"
#include "common/Text.h"

namespace zor {

namespace fs = std::filesystem;

namespace {

// Version texts keep at most 8 / 16 characters: the cap counts the terminator like the profile
// API's buffer size does.
constexpr std::size_t kShortVersionCap = 8 + 1;
constexpr std::size_t kLongVersionCap = 16 + 1;

std::string WithoutTabs(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\t'), text.end());
    return text;
}

int ValueOr0(const std::map<int, int>& map, int line) {
    auto it = map.find(line);
    return it == map.end() ? 0 : it->second;
}

// Step 3 of the extension: the first line whose label is above z / (m + 1), or the last line
// when none is, scaled by (m + 1).
long long SnapToMultiplier(const std::map<int, std::string>& text, long long z, long long m) {
    const long long floor = z / (m + 1);
    long long label = ParseLeadingInt(text.rbegin()->second);
    for (const auto& [line, lineText] : text) {
        const long long value = ParseLeadingInt(lineText);
        if (value > floor) {
            label = value;
            break;
        }
    }
    return (m + 1) * label;
}

void ReadKeyMap(const IniFile& ini, DeviceFeatureRecord& record) {
    // KeyNum is capped at the size of the defaults array (16) so that a larger value can never
    // write past keyDefaults or keySlots; a negative value means no keys.
    record.keyCount = std::clamp(ini.GetInt("KEYMAP", "KeyNum"), 0, kMaxKeyCount);
    record.keySlotCount = std::clamp(ini.GetInt("KEYMAP", "MaxKeyNum"), 0, kKeySlotMapSize);
    for (int i = 1; i <= record.keyCount; ++i) {
        record.keySlots[static_cast<std::size_t>(i - 1)] = ini.GetInt("KEYMAP", Format("K%d_MAP", i));
    }
    for (int i = 1; i <= record.keyCount; ++i) {
        record.keyDefaults[static_cast<std::size_t>(i - 1)] = ini.GetInt("KEYMAP", Format("K%d_DEF", i));
    }
    for (int j = 0; j < kExtraKeyDefaults; ++j) {
        record.extraKeyDefaults[static_cast<std::size_t>(j)] =
            ini.GetInt("KEYMAP", Format("K%d_DEF", 16 + j));
    }
}

void ReadLedMap(const IniFile& ini, DeviceFeatureRecord& record) {
    for (int slot = 0; slot < kLedSlotCount; ++slot) {
        const int mode = ini.GetInt("LEDMAP", Format("LED%d_MAP", slot));
        record.ledModes[slot] = mode;
        // The mask has 16 bits: only modes 1..16 have a bit. Anything else (a damaged file) stays
        // in the map but cannot be represented in the mask, and must not become a shift by a
        // negative or oversized amount.
        if (mode >= 1 && mode <= 16) {
            record.ledModeMask = static_cast<std::uint16_t>(record.ledModeMask | (1u << (mode - 1)));
        }
    }
}

void ReadConfig(const IniFile& ini, DeviceFeatureRecord& record) {
    record.ledSwitchEnable = ini.GetInt("Config", "LED_MODE_SW_EN");
    record.writeTimes = ini.GetInt("Config", "WriteTimes");
    if (record.writeTimes < 1) record.writeTimes = kDefaultWriteTimes;
    // A damaged or hostile file must not make every apply (and the start-up) run for hours.
    record.writeTimes = std::min(record.writeTimes, kMaxWriteTimes);
    record.uiDpiGearCount = std::clamp(ini.GetInt("Config", "UI_DPI_GEAR_NUM"), 0, kMaxUiDpiGears);
    record.remoteFirmwareVersion = ini.GetString("Config", "RemoteFirmWareVersion", kShortVersionCap);
    record.remoteCustomVersion = ini.GetString("Config", "RemoteCustomVersion", kLongVersionCap);
    record.dongleFirmwareVersion = ini.GetString("Config", "DongleFirmWareVersion", kShortVersionCap);
}

void ReadChip(const IniFile& ini, DeviceFeatureRecord& record, int chip) {
    const std::string section = Format("Chip%d", chip);
    const int listed = std::clamp(ini.GetInt(section, "DPI_GEAR_NUM"), 0, kMaxDpiLines);
    for (int line = 1; line <= listed; ++line) {
        const std::vector<std::string> items = Split(ini.GetString(section, std::to_string(line)), ',');
        record.dpiText[line] = WithoutTabs(items[0]);
        record.dpiDeviceValue[line] = items.size() > 1 ? ParseLeadingInt(items[1]) : 0;
        record.dpiMultiplier[line] = 0;
    }
    record.dpiLineCount = listed;
    record.dpiMax = ini.GetInt(section, "GEAR_MAX_VALUE");
    record.dpiStep = ini.GetInt(section, "GEAR_STEP");
    ExtendDpiTable(record);
}

void ReadProfileIds(const IniFile& ini, DeviceFeatureRecord& record) {
    for (int p = 0; p < kProfileIdCount; ++p) {
        const int value = ini.GetInt("RANDOM", Format("Profile%d", p));
        // An identifier is 16 bits; a value that does not fit reads as 0 (missing) rather than
        // being silently cut to some other identifier.
        record.profileIds[static_cast<std::size_t>(p)] =
            (value >= 0 && value <= 0xFFFF) ? static_cast<std::uint16_t>(value) : 0;
    }
}

}  // namespace

fs::path DeviceFeaturePath(const fs::path& modelFolder) {
    return paths::ModelDescription(modelFolder);
}

bool LoadDeviceFeature(DeviceFeatureRecord& record, const fs::path& modelFolder, int chip) {
    // Start from a fresh record: besides clearing the maps this keeps no key slot or default of a
    // previously loaded model beyond the new model's KeyNum.
    record = DeviceFeatureRecord{};
    const fs::path path = DeviceFeaturePath(modelFolder);
    std::error_code ec;
    const bool exists = fs::is_regular_file(path, ec);
    const IniFile ini(path);
    ReadKeyMap(ini, record);
    ReadLedMap(ini, record);
    ReadConfig(ini, record);
    ReadChip(ini, record, chip);
    ReadProfileIds(ini, record);
    return exists;
}

int ExtendDpiTable(DeviceFeatureRecord& record) {
    auto& text = record.dpiText;
    record.dpiLineCount = static_cast<int>(text.size());
    // Without a positive step the value never moves and the same line would be generated forever.
    if (text.empty() || record.dpiStep <= 0) return 0;

    const long long step = record.dpiStep;
    const long long maxValue = record.dpiMax;
    const int lastDeviceValue = ValueOr0(record.dpiDeviceValue, text.rbegin()->first);

    // First line of each label, for the base-line lookup of every generated value.
    std::map<std::string, int> firstLineOfText;
    for (const auto& [line, label] : text) firstLineOfText.emplace(label, line);

    // 64-bit arithmetic: labels up to INT_MAX times 5 must not overflow.
    long long m = 1;
    long long z = SnapToMultiplier(text, ParseLeadingInt(text.rbegin()->second), m);
    z += (m + 1) * step;

    int added = 0;
    while (z <= maxValue && m <= 3 && static_cast<int>(text.size()) < kMaxDpiLines) {
        auto base = firstLineOfText.find(std::to_string(z / (m + 1)));
        if (base == firstLineOfText.end()) break;
        const int deviceValue = ValueOr0(record.dpiDeviceValue, base->second);
        // A base line above the last listed line's device value is not a valid source for a
        // generated line; nothing would advance and the same value would repeat, so stop here.
        if (deviceValue > lastDeviceValue) break;

        const int line = text.rbegin()->first + 1;
        const std::string label = std::to_string(z);
        text[line] = label;
        record.dpiDeviceValue[line] = deviceValue;
        record.dpiMultiplier[line] = static_cast<int>(m);
        firstLineOfText.emplace(label, line);
        ++added;

        if (deviceValue == lastDeviceValue) {
            // The base reached the top of the listed table: continue with the next multiple.
            ++m;
            z = SnapToMultiplier(text, z, m);
        }
        z += (m + 1) * step;
    }
    record.dpiLineCount = static_cast<int>(text.size());
    return added;
}

void LoadKeySlotMap(const fs::path& modelFolder, std::map<int, int>& keySlotToUi,
                    std::map<int, int>& ledModes) {
    keySlotToUi.clear();
    ledModes.clear();
    const IniFile ini(DeviceFeaturePath(modelFolder));
    for (int i = 1; i <= kKeySlotMapSize; ++i) {
        const int slot = ini.GetInt("KEYMAP", Format("K%d_MAP", i));
        // Device slots count from 1 (key bit b of an input report is slot b + 1). 0 is what a
        // missing K<i>_MAP reads as, so it and negative values mean "no slot" and stay out of
        // the map; otherwise the first unlisted key would claim slot 0.
        if (slot <= 0) continue;
        keySlotToUi.emplace(slot, i - 1);  // emplace keeps the first key of a shared slot
    }
    for (int slot = 0; slot < kLedSlotCount; ++slot) {
        ledModes[slot] = ini.GetInt("LEDMAP", Format("LED%d_MAP", slot));
    }
}

std::map<int, std::vector<std::string>> LoadLedItems(const fs::path& modelFolder) {
    std::map<int, std::vector<std::string>> result;
    const IniFile ini(DeviceFeaturePath(modelFolder));
    for (int slot = 0; slot < kLedSlotCount; ++slot) {
        std::vector<std::string> items;
        for (const std::string& item : Split(ini.GetString("LEDEN", std::to_string(slot)), ',')) {
            std::string trimmed = Trim(item);
            if (!trimmed.empty()) items.push_back(std::move(trimmed));
        }
        if (!items.empty()) result[slot] = std::move(items);
    }
    return result;
}

bool SaveChipReset(const fs::path& modelFolder, int chip, const ChipResetLabels& labels) {
    const std::string section = Format("ChipReset%d", chip);
    std::vector<IniEntry> entries;
    for (int p = 0; p < kResetProfiles; ++p) {
        const auto& gears = labels[static_cast<std::size_t>(p)];
        entries.push_back({section, Format("profile%d", p),
                           Join(std::vector<std::string>(gears.begin(), gears.end()), ",")});
    }
    return IniFile(DeviceFeaturePath(modelFolder)).WriteStrings(entries);
}

ChipResetLines LoadChipReset(const DeviceFeatureRecord& record, const fs::path& modelFolder, int chip) {
    std::map<std::string, int> firstLineOfText;
    for (const auto& [line, label] : record.dpiText) firstLineOfText.emplace(label, line);

    ChipResetLines lines{};
    const IniFile ini(DeviceFeaturePath(modelFolder));
    const std::string section = Format("ChipReset%d", chip);
    for (int p = 0; p < kResetProfiles; ++p) {
        const std::vector<std::string> items = Split(ini.GetString(section, Format("profile%d", p)), ',');
        auto& gears = lines[static_cast<std::size_t>(p)];
        for (std::size_t g = 0; g < gears.size() && g < items.size(); ++g) {
            // An empty item must not select a table line that happens to have an empty label.
            if (items[g].empty()) continue;
            auto it = firstLineOfText.find(items[g]);
            if (it != firstLineOfText.end()) gears[g] = it->second;
        }
    }
    return lines;
}

bool SaveProfileId(const fs::path& modelFolder, int index, std::uint16_t value) {
    return SaveProfileIds(modelFolder, {{index, value}});
}

bool SaveProfileIds(const fs::path& modelFolder, const std::vector<std::pair<int, std::uint16_t>>& ids) {
    std::vector<IniEntry> entries;
    for (const auto& [index, value] : ids) {
        if (index < 0 || index >= kProfileIdCount) return false;
        entries.push_back({"RANDOM", Format("Profile%d", index), Format("%d", value)});
    }
    return IniFile(DeviceFeaturePath(modelFolder)).WriteStrings(entries);
}

}  // namespace zor
