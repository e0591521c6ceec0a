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

// The description's numbers with _wtoi semantics, except that a number that does not fit an int
// is noted (the first one, naming section and key) instead of being read as the largest int.
class Reader {
public:
    explicit Reader(const fs::path& path) : m_path(path), m_ini(path) {}

    const IniFile& ini() const { return m_ini; }
    int Int(std::string_view section, std::string_view key) {
        return Number(m_ini.GetString(section, key), section, key);
    }
    int Number(std::string_view text, std::string_view section, std::string_view key) {
        if (const auto value = ParseLeadingIntChecked(text)) return *value;
        constexpr std::size_t kShown = 24;
        const std::string shown =
            text.size() > kShown ? std::string(text.substr(0, kShown)) + "..." : std::string(text);
        Refuse(DescriptionFault::OutOfRange,
               Format("[%s] %s = %s is out of range", section, key, Trim(shown)));
        return 0;
    }
    void Refuse(DescriptionFault fault, const std::string& why) {
        if (!m_result.ok()) return;
        m_result.fault = fault;
        m_result.error = m_path.string() + ": " + why;
    }
    // The file itself: readable, a regular file, within the cap, with a section of a description.
    bool CheckFile() {
        if (const ReadFault fault = CheckDataFile(m_path, kMaxDescriptionBytes); fault != ReadFault::None) {
            m_result.fault = DescriptionFault::CannotRead;
            m_result.readFault = fault;
            m_result.error = DescribeReadFault(m_path, fault, kMaxDescriptionBytes);
            return false;
        }
        if (ChipSections().empty() && !HasDescriptionSection())
            Refuse(DescriptionFault::Damaged, "not a model description (none of its sections)");
        return m_result.ok();
    }
    // The chip numbers of the file's [Chip<n>] sections.
    std::vector<int> ChipSections() const {
        std::vector<int> chips;
        for (const std::string& name : m_ini.SectionNames()) {
            if (name.size() < 5 || !EqualsIgnoreCaseAscii(std::string_view(name).substr(0, 4), "Chip"))
                continue;
            const std::string_view digits = std::string_view(name).substr(4);
            if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string_view::npos)
                continue;
            const int chip = ParseLeadingInt(digits);
            if (chip <= kMaxChipNumber && std::find(chips.begin(), chips.end(), chip) == chips.end())
                chips.push_back(chip);
        }
        return chips;
    }
    const DescriptionResult& result() const { return m_result; }

private:
    bool HasDescriptionSection() const {
        static constexpr std::string_view kSections[] = {"Init",  "Config", "KEYMAP", "LEDMAP",
                                                         "LEDEN", "Reset",  "RANDOM", "MacUsed"};
        for (const std::string& name : m_ini.SectionNames()) {
            if (name.size() > 9 && EqualsIgnoreCaseAscii(std::string_view(name).substr(0, 9), "ChipReset"))
                return true;
            for (std::string_view known : kSections)
                if (EqualsIgnoreCaseAscii(name, known)) return true;
        }
        return false;
    }

    fs::path m_path;
    IniFile m_ini;
    DescriptionResult m_result;
};

void ReadKeyMap(Reader& in, DeviceFeatureRecord& record) {
    // KeyNum is capped at the size of the defaults array (16) so that a larger value can never
    // write past keyDefaults or keySlots; a negative value means no keys.
    record.keyCount = std::clamp(in.Int("KEYMAP", "KeyNum"), 0, kMaxKeyCount);
    record.keySlotCount = std::clamp(in.Int("KEYMAP", "MaxKeyNum"), 0, kKeySlotMapSize);
    for (int i = 1; i <= record.keyCount; ++i) {
        record.keySlots[static_cast<std::size_t>(i - 1)] = in.Int("KEYMAP", Format("K%d_MAP", i));
    }
    for (int i = 1; i <= record.keyCount; ++i) {
        record.keyDefaults[static_cast<std::size_t>(i - 1)] = in.Int("KEYMAP", Format("K%d_DEF", i));
    }
    for (int j = 0; j < kExtraKeyDefaults; ++j) {
        record.extraKeyDefaults[static_cast<std::size_t>(j)] = in.Int("KEYMAP", Format("K%d_DEF", 16 + j));
    }
}

void ReadLedMap(Reader& in, DeviceFeatureRecord& record) {
    for (int slot = 0; slot < kLedSlotCount; ++slot) {
        const int mode = in.Int("LEDMAP", Format("LED%d_MAP", slot));
        record.ledModes[slot] = mode;
        // The mask has 16 bits: only modes 1..16 have a bit. Anything else (a damaged file) stays
        // in the map but cannot be represented in the mask, and must not become a shift by a
        // negative or oversized amount.
        if (mode >= 1 && mode <= 16) {
            record.ledModeMask = static_cast<std::uint16_t>(record.ledModeMask | (1u << (mode - 1)));
        }
    }
}

void ReadConfig(Reader& in, DeviceFeatureRecord& record) {
    const IniFile& ini = in.ini();
    record.ledSwitchEnable = in.Int("Config", "LED_MODE_SW_EN");
    record.writeTimes = in.Int("Config", "WriteTimes");
    if (record.writeTimes < 1) record.writeTimes = kDefaultWriteTimes;
    // A damaged or hostile file must not make every apply (and the start-up) run for hours.
    record.writeTimes = std::min(record.writeTimes, kMaxWriteTimes);
    record.uiDpiGearCount = std::clamp(in.Int("Config", "UI_DPI_GEAR_NUM"), 0, kMaxUiDpiGears);
    record.remoteFirmwareVersion = ini.GetString("Config", "RemoteFirmWareVersion", kShortVersionCap);
    record.remoteCustomVersion = ini.GetString("Config", "RemoteCustomVersion", kLongVersionCap);
    record.dongleFirmwareVersion = ini.GetString("Config", "DongleFirmWareVersion", kShortVersionCap);
}

void ReadChip(Reader& in, DeviceFeatureRecord& record, int chip) {
    const std::string section = Format("Chip%d", chip);
    const int listed = std::clamp(in.Int(section, "DPI_GEAR_NUM"), 0, kMaxDpiLines);
    for (int line = 1; line <= listed; ++line) {
        const std::string key = std::to_string(line);
        const std::vector<std::string> items = Split(in.ini().GetString(section, key), ',');
        record.dpiText[line] = WithoutTabs(items[0]);
        in.Number(record.dpiText[line], section, key);  // the label is read as a number later
        record.dpiDeviceValue[line] = items.size() > 1 ? in.Number(items[1], section, key) : 0;
        record.dpiMultiplier[line] = 0;
    }
    record.dpiLineCount = listed;
    record.dpiMax = in.Int(section, "GEAR_MAX_VALUE");
    record.dpiStep = in.Int(section, "GEAR_STEP");
    // A refused table is not extended: its numbers are not what the file says.
    if (in.result().ok()) ExtendDpiTable(record);
}

// Every number of a chip's section in one pass over it: reading the table key by key for every
// chip would look each key up in the whole file. Lines beyond DPI_GEAR_NUM are checked too.
void CheckChipNumbers(Reader& in, int chip) {
    const std::string section = Format("Chip%d", chip);
    for (const std::string& line : in.ini().GetSection(section, kMaxDescriptionBytes)) {
        const std::size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (!key.empty() && key.find_first_not_of("0123456789") == std::string::npos) {
            const std::vector<std::string> items = Split(value, ',');
            in.Number(WithoutTabs(items[0]), section, key);
            if (items.size() > 1) in.Number(items[1], section, key);
        } else if (EqualsIgnoreCaseAscii(key, "DPI_GEAR_NUM") || EqualsIgnoreCaseAscii(key, "GEAR_MAX_VALUE") ||
                   EqualsIgnoreCaseAscii(key, "GEAR_STEP")) {
            in.Number(value, section, key);
        }
    }
}

void ReadProfileIds(Reader& in, DeviceFeatureRecord& record) {
    for (int p = 0; p < kProfileIdCount; ++p) {
        const int value = in.Int("RANDOM", Format("Profile%d", p));
        // An identifier is 16 bits; a value that does not fit reads as 0 (missing) rather than
        // being silently cut to some other identifier.
        record.profileIds[static_cast<std::size_t>(p)] =
            (value >= 0 && value <= 0xFFFF) ? static_cast<std::uint16_t>(value) : 0;
    }
}

// What a description without any values gives: every lighting slot present, without a mode.
DeviceFeatureRecord EmptyRecord() {
    DeviceFeatureRecord record;
    for (int slot = 0; slot < kLedSlotCount; ++slot) record.ledModes[slot] = 0;
    return record;
}

// Reads the description into record (reset first): the DPI table of chip, or, when chips is
// given, every chip's table checked and none kept.
DescriptionResult ReadAll(DeviceFeatureRecord& record, const fs::path& modelFolder,
                          const std::vector<int>* chips, int chip) {
    // Start from a fresh record: besides clearing the maps this keeps no key slot or default of a
    // previously loaded model beyond the new model's KeyNum.
    record = EmptyRecord();
    Reader in(DeviceFeaturePath(modelFolder));
    if (!in.CheckFile()) return in.result();
    ReadKeyMap(in, record);
    ReadLedMap(in, record);
    ReadConfig(in, record);
    ReadProfileIds(in, record);
    if (chips == nullptr) {
        ReadChip(in, record, chip);
    } else {
        for (int listed : *chips) CheckChipNumbers(in, listed);
    }
    if (!in.result().ok()) record = EmptyRecord();
    return in.result();
}

}  // namespace

fs::path DeviceFeaturePath(const fs::path& modelFolder) {
    return paths::ModelDescription(modelFolder);
}

DescriptionResult ReadDeviceFeature(DeviceFeatureRecord& record, const fs::path& modelFolder, int chip) {
    return ReadAll(record, modelFolder, nullptr, chip);
}

bool LoadDeviceFeature(DeviceFeatureRecord& record, const fs::path& modelFolder, int chip) {
    return ReadDeviceFeature(record, modelFolder, chip).ok();
}

DescriptionResult CheckDeviceFeatureReadable(const fs::path& modelFolder) {
    const std::vector<int> chips = Reader(DeviceFeaturePath(modelFolder)).ChipSections();
    DeviceFeatureRecord record;
    return ReadAll(record, modelFolder, &chips, 0);
}

DescriptionResult CheckDeviceFeature(const fs::path& modelFolder) {
    const fs::path path = DeviceFeaturePath(modelFolder);
    const std::vector<int> chips = Reader(path).ChipSections();
    DeviceFeatureRecord record;
    DescriptionResult result = ReadAll(record, modelFolder, &chips, 0);
    if (!result.ok()) return result;
    auto damaged = [&](const std::string& why) {
        return DescriptionResult{DescriptionFault::Damaged, ReadFault::None, path.string() + ": " + why};
    };
    if (record.keyCount < 1) return damaged("it describes no keys ([KEYMAP] KeyNum)");
    const IniFile ini(path);
    const bool anyTable = std::any_of(chips.begin(), chips.end(), [&](int chip) {
        return ParseLeadingInt(ini.GetString(Format("Chip%d", chip), "DPI_GEAR_NUM")) >= 1;
    });
    if (!anyTable) return damaged("it describes no DPI table ([Chip<n>] DPI_GEAR_NUM)");
    return result;
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
    if (!CheckDeviceFeatureReadable(modelFolder).ok()) return false;
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
    if (!CheckDeviceFeatureReadable(modelFolder).ok()) return false;
    std::vector<IniEntry> entries;
    for (const auto& [index, value] : ids) {
        if (index < 0 || index >= kProfileIdCount) return false;
        entries.push_back({"RANDOM", Format("Profile%d", index), Format("%d", value)});
    }
    return IniFile(DeviceFeaturePath(modelFolder)).WriteStrings(entries);
}

}  // namespace zor
