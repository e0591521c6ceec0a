#include "control/ModelSession.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <random>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/JsonText.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "macro/MacroUsage.h"
#include "settings/PowerOptions.h"

namespace zor::control {
namespace {

// The apply worker draws a run's new identifiers while the UI thread may draw others (an import
// asks for a full push while a run is still on the mouse): one generator, one draw at a time.
std::uint16_t DrawUniform() {
    static std::mutex mutex;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard lock(mutex);
    return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(1, 65535)(generator));
}

}  // namespace

ModelSession::ModelSession(std::filesystem::path programFolder)
    : m_root(std::move(programFolder)), m_modelFolder(paths::ModelFolder(m_root, {})), m_draw(DrawUniform) {}

OperationResult ModelSession::LoadSources() {
    OperationResult result;
    std::string error;
    if (!catalog.LoadFile(paths::KeyCatalog(m_root), &error)) {
        DebugF("key function catalog: %s\n", error);
        result = {false, error};
    }
    const MacroResult library = macros.Load(paths::MacroLibrary(m_root));
    if (!library.ok) {
        DebugF("macro library: %s\n", library.message);
        if (result.ok) result = {false, library.message};
    }
    predefined.LoadOnFirstUse(paths::ShortCutMacros(m_root), paths::OtherKeyMacros(m_root));
    return result;
}

ReloadOutcome ModelSession::LoadModel(const DeviceEntry* entry, bool ble,
                                      const std::function<int()>& readChip) {
    m_modelFolder = paths::ModelFolder(m_root, entry != nullptr ? entry->devFolder : std::string());
    m_modelName = entry != nullptr ? entry->matchedName : std::string();
    m_matchedName = m_modelName;
    // A description that fails the check is neither used nor written into (the reload would
    // draw profile identifiers into it); the document is not taken either, so nothing is saved.
    m_description = CheckDeviceFeature(m_modelFolder);
    if (!m_description.ok()) {
        DebugF("model description refused: %s\n", m_description.error);
        feature = DeviceFeatureRecord{};
        m_documentLoaded = false;
        ReloadOutcome refused;
        refused.load = {false, true, m_description.error};
        return refused;
    }
    ReloadContext context;
    context.modelFolder = m_modelFolder;
    context.ble = ble;
    context.readChip = readChip ? readChip : std::function<int()>([this] { return chip; });
    context.feature = &feature;
    context.chip = &chip;
    context.catalog = &catalog;
    context.macros = &macros;
    context.keys = &keys;
    const ReloadOutcome outcome = Reload(doc, context);
    if (!outcome.load.ok) DebugF("MouseConfig.json not read: %s\n", outcome.load.error);
    NoteLoad(outcome.load);
    m_profile = std::clamp(doc.currentProfile, 0, kConfigProfiles - 1);
    doc.SetPower(LoadPower());
    return outcome;
}

void ModelSession::NoteLoad(const ConfigResult& load) {
    m_documentLoaded = load.ok && load.found;
    if (m_documentLoaded) {
        m_unread.reset();
        return;
    }
    // A damaged file is kept aside at once, before anything could be written in its place.
    m_unread =
        UnreadDocument{paths::MouseConfig(m_modelFolder), !load.found, load.error, doc.KeepDamagedFile()};
}

DeviceModel ModelSession::Model() const {
    DeviceModel model;
    model.matchedName = m_matchedName;
    model.writeTimes = feature.writeTimes;
    model.chip = chip;
    for (const auto& [slot, mode] : feature.ledModes)
        if (slot >= 0 && slot < kLightingSlots) model.lightingMap[static_cast<std::size_t>(slot)] = mode;
    return model;
}

PowerSettings ModelSession::LoadPower() const {
    return PowerOptions(paths::SetIni(m_root)).Device();
}

ConfigResult ModelSession::Save() {
    // Only a document read from the model's file is written back: before a model is loaded (an
    // exit during start-up) or after its file could not be read, the document in memory holds
    // defaults, and writing them would replace the user's settings.
    if (!m_documentLoaded) return {false, false, "no configuration loaded"};
    doc.currentProfile = m_profile;
    const ConfigResult saved = doc.SaveToModel(m_modelFolder);
    if (!saved.ok) DebugF("MouseConfig.json not written: %s\n", saved.error);
    return saved;
}

ConfigResult ModelSession::SaveAndAnnounce(ControlEvents* events) {
    const ConfigResult saved = Save();
    // Where each macro is used, for this model: rebuilt from the saved key tables.
    if (!m_modelName.empty()) {
        RebuildMacroUsage(macros, Utf8ToUtf16(m_modelName), doc.MacroUses(catalog, keys));
        const MacroResult library = macros.SaveAll();
        if (!library.ok) DebugF("macro library not written: %s\n", library.message);
    }
    if (events != nullptr) events->MacroLibrarySaved();
    return saved;
}

OperationResult ModelSession::FactoryReset(int profile, const std::function<int()>& readChip) {
    // The description and the factory file are checked (and the file copied) first: a damaged
    // one changes nothing at all.
    if (const DescriptionResult description = CheckDeviceFeature(m_modelFolder); !description.ok())
        return {false, description.error};
    if (!doc.SetAsideUnreadableFile(paths::MouseConfig(m_modelFolder)))
        return {false, "cannot move aside " + paths::MouseConfig(m_modelFolder).string()};
    const ConfigResult copied = ResetMouseConfig(m_modelFolder);
    if (!copied.ok) return {false, paths::ResetMouseConfig(m_modelFolder).string() + ": " + copied.error};
    // The model's power and sensor defaults become the current options of Set.ini.
    if (!PowerOptions(paths::SetIni(m_root)).WriteReset(IniFile(paths::ModelDescription(m_modelFolder))))
        return {false, "cannot write " + paths::SetIni(m_root).string()};
    const ReloadOutcome outcome = ReloadDocument(readChip);
    if (!outcome.load.ok) return {false, outcome.load.error};
    // The profile's entry of the macro usage section goes with the configuration it described.
    if (!IniFile(paths::ModelDescription(m_modelFolder)).DeleteKey("MacUsed", std::to_string(profile)))
        DebugLine("MacUsed entry not removed: the description file could not be written\n");
    return {};
}

ReloadOutcome ModelSession::ReloadDocument(const std::function<int()>& readChip) {
    ReloadContext context;
    context.modelFolder = m_modelFolder;
    context.ble = false;
    context.readChip = readChip ? readChip : std::function<int()>([this] { return chip; });
    context.feature = &feature;
    context.chip = &chip;
    context.catalog = &catalog;
    context.macros = &macros;
    context.keys = &keys;
    const ReloadOutcome outcome = Reload(doc, context);
    if (outcome.load.ok) {
        NoteLoad(outcome.load);
        SetProfile(doc.currentProfile);
        doc.SetPower(LoadPower());
    }
    return outcome;
}

OperationResult ModelSession::RestoreFactoryDocument(const std::function<int()>& readChip) {
    const std::filesystem::path live = paths::MouseConfig(m_modelFolder);
    if (!doc.SetAsideUnreadableFile(live)) return {false, "cannot move aside " + live.string()};
    const ConfigResult copied = ResetMouseConfig(m_modelFolder);
    if (!copied.ok) return {false, paths::ResetMouseConfig(m_modelFolder).string() + ": " + copied.error};
    const ReloadOutcome outcome = ReloadDocument(readChip);
    if (!outcome.load.ok) return {false, outcome.load.error};
    return {};
}

OperationResult ModelSession::RebuildFromMouse(const MouseSettingsRead& read, RateLink rateLink) {
    if (read.profile < 0 || !read.ids || !read.gears)
        return {false, "the mouse did not report its profile, identifiers and DPI gears"};
    const std::filesystem::path live = paths::MouseConfig(m_modelFolder);
    MouseConfigDocument rebuilt = doc;
    // What the mouse cannot report comes from the factory document.
    std::string bytes;
    ConfigResult factory{false, false, "no factory configuration"};
    if (ReadFileBytes(paths::ResetMouseConfig(m_modelFolder), bytes)) {
        try {
            factory = rebuilt.FromJson(ParseJson(bytes));
        } catch (const std::exception& e) {
            factory = {false, true, e.what()};
        }
    }
    if (!factory.ok) DebugF("rebuilt without the factory document: %s\n", factory.error);
    rebuilt.FillKeyTexts(catalog);
    rebuilt.RefreshMacroLabels(macros, catalog, keys);

    const auto p = static_cast<std::size_t>(read.profile);
    doc::MouseAdvSettings& adv = rebuilt.adv[p];
    adv.gears.resize(kDpiGearCount);
    for (std::size_t g = 0; g < adv.gears.size(); ++g) {
        adv.gears[g].enabled = (*read.gears)[g].enabled ? 1 : 0;
        adv.gears[g].value = (*read.gears)[g].value;
    }
    if (read.state.currentGear >= 0 && read.state.currentGear < kDpiGearCount)
        adv.cruseldpi = read.state.currentGear;
    if (read.state.reportRateIndex >= 0)
        (rateLink == RateLink::Dongle ? adv.ratedonglevalue : adv.rateusbvalue) = read.state.reportRateIndex;
    const int slot = read.state.lightingSlot;
    if (slot >= 0 && slot < kLedModes) {
        rebuilt.led[p][0].curselmode = slot;
        if (read.lighting) {
            doc::LedModeSettings& mode = rebuilt.led[p][static_cast<std::size_t>(slot)];
            mode.brightnessvalue = read.lighting->params[0];
            mode.frequencyvalue = read.lighting->params[1];
            mode.directionsel = read.lighting->params[2];
            mode.colours.resize(kLedColourSlots);
            for (std::size_t k = 0; k < mode.colours.size(); ++k)
                mode.colours[k] = {(read.lighting->params[3] >> k) & 1, read.lighting->colours[k]};
        }
    }
    std::vector<std::pair<int, std::uint16_t>> ids;
    for (int i = 0; i < kProfileCount; ++i) {
        rebuilt.SetProfileId(i, (*read.ids)[static_cast<std::size_t>(i)]);
        ids.emplace_back(i, (*read.ids)[static_cast<std::size_t>(i)]);
    }
    if (!rebuilt.SetAsideUnreadableFile(live)) return {false, "cannot move aside " + live.string()};
    rebuilt.currentProfile = read.profile;
    doc = std::move(rebuilt);
    m_documentLoaded = true;
    m_unread.reset();
    SetProfile(read.profile);
    doc.SetPower(LoadPower());
    if (!SaveProfileIds(m_modelFolder, ids)) DebugLine("profile identifiers not written\n");
    const ConfigResult saved = Save();
    if (!saved.ok) return {false, saved.error};
    return {};
}

void ModelSession::DrawAllProfileIds() {
    std::vector<std::pair<int, std::uint16_t>> ids;
    for (int p = 0; p < kProfileCount; ++p) {
        const std::uint16_t id = DrawId();
        doc.SetProfileId(p, id);
        ids.emplace_back(p, id);
    }
    // All four in one write: an interrupted one leaves the old four, never a mix.
    if (!SaveProfileIds(m_modelFolder, ids)) DebugLine("profile identifiers not written\n");
}

std::uint16_t ModelSession::DrawId() const {
    std::uint16_t id = 0;
    while (id == 0) id = m_draw();
    return id;
}

void ModelSession::SetRandomSource(std::function<std::uint16_t()> draw) {
    m_draw = draw;
    doc.SetRandomSource(std::move(draw));
}

void ModelSession::SetProfile(int profile) {
    m_profile = std::clamp(profile, 0, kConfigProfiles - 1);
    doc.currentProfile = m_profile;
}

}  // namespace zor::control
