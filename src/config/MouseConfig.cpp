#include "config/MouseConfig.h"
#include "common/ProgramPaths.h"

#include <algorithm>
#include <random>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/JsonText.h"
#include "common/Text.h"
#include "config/KeyFunctionCatalog.h"
#include "device/CommandSet.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"

namespace zor {

using nlohmann::json;

namespace {

std::string DpiName(int k) {
    return "ctrl_MouseAdv_Dpi" + std::to_string(k);
}
std::string LedName(int k) {
    return "ctrl_MouseLed_Col" + std::to_string(k);
}

doc::KeyTable TemplateTable() {
    doc::KeyTable table;
    for (int i = 0; i < kKeySlots; ++i) table.emplace(SlotName(i), doc::KeyAssignment{});
    return table;
}

std::uint16_t DrawProfileId() {
    // Seeded once per draw, as the identifiers were always made.
    std::random_device seed;
    std::mt19937 generator(seed());
    std::uniform_int_distribution<int> range(1, 65535);
    return static_cast<std::uint16_t>(range(generator));
}

}  // namespace

std::string SlotName(int slot) {
    return std::string(kSlotPrefix) + std::to_string(slot);
}

int SlotNumber(std::string_view name) {
    if (name.size() <= kSlotPrefix.size() || name.substr(0, kSlotPrefix.size()) != kSlotPrefix) return -1;
    const std::string_view digits = name.substr(kSlotPrefix.size());
    if (digits.size() > 2 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    if (digits.size() == 2 && digits[0] == '0') return -1;
    const int n = ParseLeadingInt(digits);
    return n < kKeySlots ? n : -1;
}

std::filesystem::path MouseConfigPath(const std::filesystem::path& modelFolder) {
    return paths::MouseConfig(modelFolder);
}

std::filesystem::path ResetMouseConfigPath(const std::filesystem::path& modelFolder) {
    return paths::ResetMouseConfig(modelFolder);
}

MouseConfigDocument::MouseConfigDocument() : m_draw(DrawProfileId) {}

void MouseConfigDocument::SetDeviceFacts(const DeviceFeatureRecord& f, int chipNumber) {
    keyCount = f.keyCount;
    gearCount = f.uiDpiGearCount;
    dpiMax = f.dpiMax;
    dpiStep = f.dpiStep;
    chip = chipNumber;
    m_dpiText = f.dpiText;
    m_ledModes = f.ledModes;
    m_ledModeMask = f.ledModeMask;
    m_profileIds = f.profileIds;
    m_defaults.fill(0);
    // K<n+1>_DEF is the default of slot n: K1..K<keyCount> from the key list, K16..K19 apart.
    for (int n = 0; n < kMaxKeyCount && n < f.keyCount; ++n)
        m_defaults[static_cast<std::size_t>(n)] = f.keyDefaults[static_cast<std::size_t>(n)];
    for (int k = 0; k < kExtraKeyDefaults; ++k) {
        const int slot = 15 + k;
        if (slot >= f.keyCount)
            m_defaults[static_cast<std::size_t>(slot)] = f.extraKeyDefaults[static_cast<std::size_t>(k)];
    }
}

int MouseConfigDocument::DefaultCodeOfSlot(int slot) const {
    return slot >= 0 && slot < kKeySlots ? m_defaults[static_cast<std::size_t>(slot)] : 0;
}

// ---- load ------------------------------------------------------------------------------------

ConfigResult MouseConfigDocument::Load(const std::filesystem::path& modelFolder) {
    return LoadFile(MouseConfigPath(modelFolder));
}

ConfigResult MouseConfigDocument::LoadFile(const std::filesystem::path& file) {
    std::string bytes;
    // Stamped before the read: a change during the read makes the next save reload, never lose it.
    m_stampedFile = file;
    m_stamp = StampOf(file);
    if (!ReadFileBytes(file, bytes)) {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) return {true, false, {}};
        // There but unreadable: the document stays, and no save replaces that file.
        m_unreadablePath = file;
        return {false, true, "cannot read " + file.string()};
    }
    if (m_unreadablePath == file) m_unreadablePath.clear();
    ConfigResult result;
    try {
        result = FromJson(ParseJson(bytes));
    } catch (const json::exception& e) {
        result = {false, true, e.what()};
    }
    if (!result.ok) {
        DebugF("%s: %s\n", file.string(), result.error);
        m_badPath = file;
        m_badBytes = std::move(bytes);
    } else if (m_badPath == file) {
        m_badPath.clear();  // the broken file was replaced meanwhile: nothing to keep aside
        m_badBytes.clear();
    }
    return result;
}

ConfigResult MouseConfigDocument::FromJson(const json& root) {
    MouseConfigDocument next = *this;
    try {
        next.parse(root);
    } catch (const json::exception& e) {
        return {false, true, e.what()};
    }
    *this = std::move(next);
    return {};
}

void MouseConfigDocument::parse(const json& root) {
    const json& config = root.at("mouseconfig");
    keyTables.assign(kKeyTables, TemplateTable());

    for (const auto& [name, codes] : config.at("mousekey").items()) {
        if (SlotNumber(name) < 0) continue;
        if (!codes.is_array()) codes.get<std::vector<int>>();  // type error
        const std::size_t n = std::min<std::size_t>(codes.size(), kKeyTables);
        for (std::size_t i = 0; i < n; ++i) keyTables[i][name].code = JsonInteger<int>(codes[i]);
    }
    for (const auto& [name, ids] : config.at("mousekeyMacro").items()) {
        if (SlotNumber(name) < 0) continue;
        if (!ids.is_array()) ids.get<std::vector<int>>();
        const std::size_t n = std::min<std::size_t>(ids.size(), kKeyTables);
        for (std::size_t i = 0; i < n; ++i) {
            doc::KeyAssignment& key = keyTables[i][name];
            key.grpGuid = ids[i].at("grpGuid").get<std::string>();
            key.macGuid = ids[i].at("macGuid").get<std::string>();
        }
    }

    const json& advList = config.at("mouseadv");
    if (!advList.is_array()) advList.get<std::vector<int>>();
    for (std::size_t p = 0; p < advList.size() && p < kConfigProfiles; ++p) {
        const json& a = advList[p];
        doc::MouseAdvSettings& s = adv[p];
        s.cruseldpi = JsonInteger<int>(a.at("cruseldpi"));
        s.firevalue = JsonInteger<int>(a.at("firevalue"));
        s.rateusbvalue = JsonInteger<int>(a.at("rateusbvalue"));
        if (a.contains("ratedonglevalue")) s.ratedonglevalue = JsonInteger<int>(a.at("ratedonglevalue"));
        if (a.contains("rateblevalue")) s.rateblevalue = JsonInteger<int>(a.at("rateblevalue"));
        s.gears.clear();
        for (int k = 0; k < kDpiGearCount; ++k) {
            const json& g = a.at(DpiName(k));
            s.gears.push_back(
                {JsonInteger<int>(g.at(0)), JsonInteger<int>(g.at(1)), JsonInteger<std::uint32_t>(g.at(2))});
        }
    }

    const json& ledList = config.at("mouseled");
    if (!ledList.is_array()) ledList.get<std::vector<int>>();
    for (std::size_t p = 0; p < ledList.size() && p < kConfigProfiles; ++p) {
        for (std::size_t m = 0; m < kLedModes; ++m) {
            const json& o = ledList[p].at(m);
            doc::LedModeSettings& s = led[p][m];
            s.colours.clear();
            for (int k = 0; k < kLedColourSlots; ++k) {
                const json& c = o.at(LedName(k));
                s.colours.push_back({JsonInteger<int>(c.at(0)), JsonInteger<std::uint32_t>(c.at(1))});
            }
            s.brightnessvalue = JsonInteger<int>(o.at("brightnessvalue"));
            s.curselmode = JsonInteger<int>(o.at("curselmode"));
            s.directionsel = JsonInteger<int>(o.at("directionsel"));
            s.frequencyvalue = JsonInteger<int>(o.at("frequencyvalue"));
        }
    }

    const json& main = config.at("mousemain");
    ver = JsonInteger<int>(main.at("ver"));
    currentProfile = JsonInteger<int>(main.at("curporfile"));
    if (currentProfile < 0 || currentProfile > 2) currentProfile = 0;
}

// ---- save ------------------------------------------------------------------------------------

json MouseConfigDocument::ToJson() const {
    json config = json::object();
    json& keys = config["mousekey"] = json::object();
    json& macros = config["mousekeyMacro"] = json::object();
    if (!keyTables.empty()) {
        for (const auto& [name, first] : keyTables[0]) {
            json codes = json::array();
            json ids = json::array();
            for (std::size_t t = 0; t < kKeyTables; ++t) {
                doc::KeyAssignment key;
                if (t < keyTables.size()) {
                    auto it = keyTables[t].find(name);
                    if (it != keyTables[t].end()) key = it->second;
                }
                codes.push_back(key.code);
                ids.push_back({{"grpGuid", key.grpGuid}, {"macGuid", key.macGuid}});
            }
            keys[name] = std::move(codes);
            macros[name] = std::move(ids);
        }
    }
    json advList = json::array();
    for (const doc::MouseAdvSettings& s : adv) {
        json a = {{"cruseldpi", s.cruseldpi},
                  {"firevalue", s.firevalue},
                  {"rateusbvalue", s.rateusbvalue},
                  {"ratedonglevalue", s.ratedonglevalue},
                  {"rateblevalue", s.rateblevalue}};
        for (int k = 0; k < kDpiGearCount; ++k) {
            doc::DpiGear g = static_cast<std::size_t>(k) < s.gears.size()
                                 ? s.gears[static_cast<std::size_t>(k)]
                                 : doc::DpiGear{};
            a[DpiName(k)] = json::array({g.enabled, g.value == 0 ? 1 : g.value, g.colour});
        }
        advList.push_back(std::move(a));
    }
    config["mouseadv"] = std::move(advList);
    json ledList = json::array();
    for (const auto& modes : led) {
        json list = json::array();
        for (const doc::LedModeSettings& s : modes) {
            json o = {{"curselmode", s.curselmode},
                      {"brightnessvalue", s.brightnessvalue},
                      {"frequencyvalue", s.frequencyvalue},
                      {"directionsel", s.directionsel}};
            for (int k = 0; k < kLedColourSlots; ++k) {
                doc::LedColourSlot c = static_cast<std::size_t>(k) < s.colours.size()
                                           ? s.colours[static_cast<std::size_t>(k)]
                                           : doc::LedColourSlot{};
                o[LedName(k)] = json::array({c.enabled, c.colour});
            }
            list.push_back(std::move(o));
        }
        ledList.push_back(std::move(list));
    }
    config["mouseled"] = std::move(ledList);
    config["mousemain"] = {{"ver", ver}, {"curporfile", currentProfile}};
    return {{"mouseconfig", std::move(config)}};
}

ConfigResult MouseConfigDocument::Save(const std::filesystem::path& file) {
    std::string error;
    if (!m_unreadablePath.empty() && m_unreadablePath == file)
        return {false, true, file.string() + " could not be read and is left as it is"};
    if (!m_badBytes.empty() && m_badPath == file) {
        // The file that failed to load is replaced only once its bytes are safe beside it.
        if (!KeepBadCopy(file, m_badBytes, &error)) return {false, true, error};
        m_badBytes.clear();
        m_badPath.clear();
    }
    const FileStamp expected = file == m_stampedFile ? m_stamp : FileStamp{};
    FileStamp written;
    const SaveOutcome outcome = WriteFileIfUnchanged(
        file, ToJson().dump(4, ' ', false, json::error_handler_t::replace), expected, &written, &error);
    if (outcome == SaveOutcome::Changed) {
        DebugF("%s\n", error);
        ConfigResult changed{false, true, error};
        changed.changedOnDisk = true;
        return changed;
    }
    if (outcome != SaveOutcome::Written) return {false, true, error};
    m_stampedFile = file;
    m_stamp = written;
    return {};
}

std::filesystem::path MouseConfigDocument::KeepDamagedFile() {
    if (m_badBytes.empty() || m_badPath.empty()) return {};
    const std::filesystem::path copy = BadCopyPath(m_badPath);
    std::string kept;
    std::string error;
    if (!(ReadFileBytes(copy, kept) && kept == m_badBytes) && !KeepBadCopy(m_badPath, m_badBytes, &error)) {
        DebugF("%s not kept: %s\n", m_badPath.string(), error);
        return {};
    }
    m_badBytes.clear();
    m_badPath.clear();
    return copy;
}

bool MouseConfigDocument::SetAsideUnreadableFile(const std::filesystem::path& file) {
    if (m_unreadablePath.empty() || m_unreadablePath != file) return true;
    std::string error;
    if (!MoveAsideAsBad(file, &error)) {
        DebugF("%s not moved aside: %s\n", file.string(), error);
        return false;
    }
    m_unreadablePath.clear();
    if (file == m_stampedFile) m_stamp = StampOf(file);  // moved aside by the program itself
    return true;
}

ConfigResult MouseConfigDocument::SaveToModel(const std::filesystem::path& modelFolder) {
    ConfigResult r = Save(MouseConfigPath(modelFolder));
    if (r.ok) SaveChipResetLabels(modelFolder);
    return r;
}

ConfigResult ResetMouseConfig(const std::filesystem::path& modelFolder) {
    std::string bytes;
    if (!ReadFileBytes(ResetMouseConfigPath(modelFolder), bytes))
        return {false, false, "no factory configuration"};
    MouseConfigDocument probe;
    ConfigResult check;
    try {
        check = probe.FromJson(ParseJson(bytes));
    } catch (const json::exception& e) {
        check = {false, true, e.what()};
    }
    if (!check.ok) return {false, true, "the factory configuration is damaged: " + check.error};
    std::string error;
    if (!WriteFileAtomic(MouseConfigPath(modelFolder), bytes, &error)) return {false, true, error};
    return {};
}

// ---- texts -----------------------------------------------------------------------------------

void MouseConfigDocument::FillKeyTexts(const KeyFunctionCatalog& catalog) {
    for (doc::KeyTable& table : keyTables) {
        for (auto& [name, key] : table) {
            if (key.code < kMacroFunction) key.text = catalog.ButtonLabel(key.code);
            key.defaultCode = DefaultCodeOfSlot(SlotNumber(name));
        }
    }
}

void MouseConfigDocument::RefreshMacroLabels(const MacroStore& macros, const KeyFunctionCatalog& catalog,
                                             const MacVkAndText& keys) {
    for (doc::KeyTable& table : keyTables) {
        for (auto& [name, key] : table) {
            if (IsMacroFunction(key.code)) {
                if (const MacroRecord* rec = macros.FindMacro(key.grpGuid, key.macGuid)) {
                    key.text = "M:" + Utf16ToUtf8(rec->name);
                } else {
                    key.code = key.defaultCode;
                    key.text = catalog.PlainText(key.code, keys);
                }
            } else if (key.code > kLastMacroFunction) {
                key.text = KeyFunctionCatalog::KeyName(key.code, keys);
            }
        }
    }
}

void MouseConfigDocument::ReplaceMacrosForBle(const KeyFunctionCatalog& catalog, const MacVkAndText& keys) {
    for (doc::KeyTable& table : keyTables) {
        for (auto& [name, key] : table) {
            if (!IsMacroFunction(key.code)) continue;
            key.code = key.defaultCode;
            key.text = catalog.PlainText(key.code, keys);
        }
    }
}

std::vector<MacroUse> MouseConfigDocument::MacroUses(const KeyFunctionCatalog& catalog,
                                                     const MacVkAndText& keys) const {
    std::vector<MacroUse> uses;
    for (std::size_t t = 0; t < keyTables.size(); ++t) {
        for (const auto& [name, key] : keyTables[t]) {
            // A key whose macro was set aside (over BLE) does not play it.
            if (!IsMacroFunction(key.code) || key.grpGuid.empty() || key.macGuid.empty()) continue;
            uses.push_back(
                {static_cast<int>(t), catalog.PlainText(key.defaultCode, keys), key.grpGuid, key.macGuid});
        }
    }
    return uses;
}

void MouseConfigDocument::DisableSurplusGears(int profile) {
    // A description without a gear count limits nothing (rather than switching every gear off).
    if (profile < 0 || profile >= kConfigProfiles || gearCount <= 0) return;
    auto& gears = adv[static_cast<std::size_t>(profile)].gears;
    for (auto k = static_cast<std::size_t>(gearCount); k < gears.size(); ++k) gears[k].enabled = 0;
}

// ---- profile identifiers and chip-reset labels -----------------------------------------------

bool MouseConfigDocument::CreateMissingProfileIds(const std::filesystem::path& modelFolder) {
    if (std::any_of(m_profileIds.begin(), m_profileIds.end(), [](std::uint16_t id) { return id != 0; }))
        return false;
    std::vector<std::pair<int, std::uint16_t>> ids;
    for (int i = 0; i < kKeyTables; ++i) {
        std::uint16_t id = m_draw();
        if (id == 0) id = 1;
        m_profileIds[static_cast<std::size_t>(i)] = id;
        DebugF("random:%d\n", id);
        ids.emplace_back(i, id);
    }
    SaveProfileIds(modelFolder, ids);
    return true;
}

void MouseConfigDocument::SetProfileId(int index, std::uint16_t value) {
    if (index >= 0 && index < kKeyTables) m_profileIds[static_cast<std::size_t>(index)] = value;
}

std::uint16_t MouseConfigDocument::ProfileId(int index) const {
    return index >= 0 && index < kKeyTables ? m_profileIds[static_cast<std::size_t>(index)] : 0;
}

ChipResetLabels MouseConfigDocument::ChipResetLabelsOf() const {
    ChipResetLabels labels;
    for (std::size_t p = 0; p < kResetProfiles; ++p) {
        for (std::size_t k = 0; k < kResetGears; ++k) {
            const int value = k < adv[p].gears.size() ? adv[p].gears[k].value : 0;
            std::string label = std::to_string(value);
            for (const auto& [line, text] : m_dpiText) {
                if (ParseLeadingInt(text) == value) {
                    label = text;
                    break;
                }
            }
            labels[p][k] = label;
        }
    }
    return labels;
}

bool MouseConfigDocument::SaveChipResetLabels(const std::filesystem::path& modelFolder) const {
    return SaveChipReset(modelFolder, chip, ChipResetLabelsOf());
}

// ---- settings source -------------------------------------------------------------------------

ProfileSettings MouseConfigDocument::Profile(int profile) const {
    ProfileSettings out;
    if (profile < 0 || profile >= kProfileCount) return out;
    const auto p = static_cast<std::size_t>(profile);
    if (p < keyTables.size()) {
        for (int slot = 0; slot < kKeyCount; ++slot) {
            auto it = keyTables[p].find(SlotName(slot));
            if (it == keyTables[p].end()) continue;
            out.keys[static_cast<std::size_t>(slot)] = {it->second.code, it->second.grpGuid,
                                                        it->second.macGuid};
        }
    }
    if (p >= kConfigProfiles) return out;
    const doc::MouseAdvSettings& a = adv[p];
    for (std::size_t k = 0; k < out.gears.size() && k < a.gears.size(); ++k) {
        out.gears[k].value = a.gears[k].value;
        out.gears[k].enabled = a.gears[k].enabled != 0;
        out.gears[k].colour = a.gears[k].colour;
    }
    out.currentGear = a.cruseldpi;
    switch (m_rateLink) {
        case RateLink::Usb:
            out.reportRateIndex = a.rateusbvalue;
            break;
        case RateLink::Dongle:
            out.reportRateIndex = a.ratedonglevalue;
            break;
        case RateLink::Ble:
            out.reportRateIndex = a.rateblevalue;
            break;
    }
    // The profile's lighting mode is the curselmode of its mode-0 record.
    const int slot = led[p][0].curselmode;
    if (slot >= 0 && slot < kLedModes) {
        const doc::LedModeSettings& mode = led[p][static_cast<std::size_t>(slot)];
        auto it = m_ledModes.find(slot);
        out.lighting.modeNumber = it == m_ledModes.end() ? 0 : it->second;
        out.lighting.headerValue = m_ledModeMask;
        std::uint8_t enables = 0;
        for (std::size_t k = 0; k < mode.colours.size() && k < out.lighting.colours.size(); ++k) {
            out.lighting.colours[k] = mode.colours[k].colour;
            if (mode.colours[k].enabled) enables = static_cast<std::uint8_t>(enables | (1u << k));
        }
        out.lighting.params = {static_cast<std::uint8_t>(mode.brightnessvalue),
                               static_cast<std::uint8_t>(mode.frequencyvalue),
                               static_cast<std::uint8_t>(mode.directionsel), enables};
    }
    return out;
}

// ---- reload ----------------------------------------------------------------------------------

std::function<int()> ChipReader(CommandSet& commands) {
    return [&commands] {
        DeviceRequest& r = commands.Request();
        r.op = kOpStatus;
        r.subOp = 0;
        return commands.ReadRequest() == 1 ? r.chip : 0;
    };
}

ReloadOutcome Reload(MouseConfigDocument& document, ReloadContext& c) {
    ReloadOutcome outcome;
    if (!c.ble && c.feature != nullptr) {
        const int chipNumber = c.readChip ? c.readChip() : 0;
        if (c.chip != nullptr) {
            outcome.chipChanged = *c.chip != chipNumber;
            *c.chip = chipNumber;
        }
        LoadDeviceFeature(*c.feature, c.modelFolder, chipNumber);
        document.SetDeviceFacts(*c.feature, chipNumber);
    }
    outcome.load = document.Load(c.modelFolder);
    if (c.catalog != nullptr) document.FillKeyTexts(*c.catalog);
    if (c.catalog != nullptr && c.macros != nullptr && c.keys != nullptr)
        document.RefreshMacroLabels(*c.macros, *c.catalog, *c.keys);
    document.DisableSurplusGears(document.currentProfile);
    outcome.idsCreated = document.CreateMissingProfileIds(c.modelFolder);
    return outcome;
}

}  // namespace zor
