// The model the programs work on: its description, its configuration document, the key
// function catalog, the macro library and the predefined macro lists, with the operations both
// programs share on them: loading a model, saving (and announcing) the document, the factory
// reset, and drawing profile identifiers. Both zormouse and zorctl go through these, so a save or
// a reset is written once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "config/DeviceFeature.h"
#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "control/ControlEvents.h"
#include "device/DeviceEntry.h"
#include "device/MessageSink.h"
#include "device/SettingsSource.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "settings/ApplyPipeline.h"

namespace zor::control {

struct OperationResult {
    bool ok = true;
    std::string error;  // what went wrong, naming the file, when ok is false
};

// The model's MouseConfig.json when the last load could not use it. Until the user restores the
// factory document or has it rebuilt from the mouse, the document in memory is not the user's:
// it is neither saved nor sent.
struct UnreadDocument {
    std::filesystem::path file;
    bool missing = false;
    std::string reason;            // why it could not be used, when it is there
    std::filesystem::path keptAs;  // the copy of the damaged file; empty when none was made
};

class ModelSession {
public:
    explicit ModelSession(std::filesystem::path programFolder);

    const std::filesystem::path& ProgramFolder() const { return m_root; }
    // The catalog and the macro library (once, at start); the predefined lists are read when a
    // run first needs one of their macros.
    OperationResult LoadSources();

    // Selects the device's model folder (the application's own when there is no device) and
    // runs the reload: identity read (readChip; not over BLE), description, document, texts,
    // macro labels, surplus gears off, missing profile identifiers.
    ReloadOutcome LoadModel(const DeviceEntry* entry, bool ble, const std::function<int()>& readChip);
    // What the command set needs to know about the model in use.
    DeviceModel Model() const;
    const std::filesystem::path& ModelFolder() const { return m_modelFolder; }
    const std::string& ModelName() const { return m_modelName; }
    // The check of the model's description made by the last LoadModel (CheckDeviceFeature): when
    // it failed, the model was not loaded.
    const DescriptionResult& Description() const { return m_description; }

    // The power and sensor options as every push sends them: Set.ini's values over the
    // document's lighting switch.
    PowerSettings LoadPower() const;

    // The document into the model's MouseConfig.json, then the chip-reset DPI labels.
    ConfigResult Save();
    // Save, then the model's macro usage list and the macro library, then MacroLibrarySaved
    // (when events are given).
    ConfigResult SaveAndAnnounce(ControlEvents* events);

    // The factory configuration: ResetMouseConfig.json over MouseConfig.json (refused, changing
    // nothing, when the factory file is missing or damaged), the description's [Reset] power
    // values into Set.ini, the reload, and the profile's macro usage entry dropped.
    OperationResult FactoryReset(int profile, const std::function<int()>& readChip);
    // The factory document alone (ResetMouseConfig.json over MouseConfig.json, then the reload),
    // for a document that could not be read; the power options stay as they are.
    OperationResult RestoreFactoryDocument(const std::function<int()>& readChip);
    // The document rebuilt from what the mouse holds: the factory document for what the mouse
    // cannot report (keys, DPI colours, the other profiles), the mouse's active profile, DPI
    // gears, lighting and report rate over it, and the mouse's profile identifiers, so that the
    // next synchronisation finds the two in step. Saved; refused (changing nothing) when the
    // mouse did not report its profile, identifiers and DPI table.
    OperationResult RebuildFromMouse(const MouseSettingsRead& read, RateLink rateLink);
    // Whether the document holds what the model's MouseConfig.json holds; when not, why.
    bool DocumentLoaded() const { return m_documentLoaded; }
    const std::optional<UnreadDocument>& Unread() const { return m_unread; }

    // Four new profile identifiers, written to the description's RANDOM section and the document.
    void DrawAllProfileIds();
    // One identifier, 1..65535; replaceable for tests.
    std::uint16_t DrawId() const;
    void SetRandomSource(std::function<std::uint16_t()> draw);

    // The pages' profile (the document's current profile, "curporfile" in its file), 0..2.
    int Profile() const { return m_profile; }
    void SetProfile(int profile);

    MouseConfigDocument doc;
    DeviceFeatureRecord feature;
    int chip = 0;
    KeyFunctionCatalog catalog;
    MacroStore macros;
    PredefinedMacroLists predefined;
    MacVkAndText keys;

private:
    // Load, texts, macro labels, surplus gears and identifiers again from the model's files.
    ReloadOutcome ReloadDocument(const std::function<int()>& readChip);
    void NoteLoad(const ConfigResult& load);

    std::filesystem::path m_root;
    std::filesystem::path m_modelFolder;
    std::string m_modelName;
    std::string m_matchedName;
    DescriptionResult m_description;
    int m_profile = 0;
    bool m_documentLoaded = false;  // doc holds what the model's MouseConfig.json holds
    std::optional<UnreadDocument> m_unread;
    std::function<std::uint16_t()> m_draw;
};

}  // namespace zor::control
