// The apply run: one pass that brings the mouse and the configuration document into step, as
// the worker thread runs it. It works on a snapshot of the document taken on the UI thread
// (the command set "takes over" the document) and answers what the UI thread must then put
// back into the document and the pages: it never touches the document or a widget itself.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/CommandSet.h"
#include "device/SettingsSource.h"

namespace zor {

// The single writes of the power and sensor options, in the order a run sends the first one set.
enum class SingleSetting { SleepTime, SecondTime, OptionA, OptionB, ValueB, ValueD, Count };

struct SingleWrite {
    int op;
    int subOp;
};
inline constexpr std::array<SingleWrite, static_cast<std::size_t>(SingleSetting::Count)> kSingleWrites{
    {{kOpProfile, kSubSleepTime},
     {kOpProfile, kSubSecondTime},
     {kOpProfile, kSubOptionA},
     {kOpProfile, kSubOptionB},
     {kOpParams, 2},
     {kOpParams, 6}}};

inline constexpr int kFireKeyFunction = 102;

// What an edit run of mode 0 writes: the command set's operation of the edited setting.
enum class ApplyKind : int {
    None = 0,  // no edit of its own (a push of the macros' keys only)
    ActiveProfile = kOpProfile,
    ReportRate = kOpReportRate,
    Key = kOpKey,
    ComboKey = kOpComboKey,
    Dpi = kOpDpi,
    DpiColours = kOpDpiColours,
    Lighting = kOpLighting,
    Params = kOpParams,
};

// What a run does: synchronise the mouse with the document when it comes into reach (read the
// identifiers, then push everything or read back), or push one edit.
enum class RunMode { Push, Synchronise };

// The user macros a run may send, copied out of the macro library on the UI thread so that the
// worker never reads the library while the window edits or saves it.
class MacroSnapshot final : public MacroLibrary {
public:
    void Add(const std::string& groupGuid, const std::string& macroGuid, const MacroDeviceBlock& block) {
        m_blocks[{groupGuid, macroGuid}] = block;
    }
    std::optional<MacroDeviceBlock> FindMacro(const std::string& groupGuid,
                                              const std::string& macroGuid) const override {
        const auto it = m_blocks.find({groupGuid, macroGuid});
        if (it == m_blocks.end()) return std::nullopt;
        return it->second;
    }
    std::size_t Size() const { return m_blocks.size(); }

private:
    std::map<std::pair<std::string, std::string>, MacroDeviceBlock> m_blocks;
};

// The pipeline's flags, kept by the main window between runs.
struct ApplyFlags {
    bool forcePush = false;
    bool regenerateAll = false;
    bool profileChanged = false;
    bool fireKeyResend = false;
    bool readBackPending = false;
    // The run only reads what the mouse holds, writing nothing: the document is to be rebuilt
    // from it (its file could not be read).
    bool rebuildFromMouse = false;
    std::array<bool, static_cast<std::size_t>(SingleSetting::Count)> single{};
    // Macros of the library (group and macro identifiers) that changed while keys were bound to
    // them: an edit run sends every key of the profile that plays one, with its stream.
    std::vector<std::pair<std::string, std::string>> macroResend;
};

// What the mouse holds for its active profile, read without writing anything.
struct MouseSettingsRead {
    int profile = -1;  // the mouse's active profile; -1 when it did not answer
    std::optional<std::array<std::uint16_t, kProfileCount>> ids;
    CurrentState state;  // lighting slot, DPI gear and report rate, as a synchronisation reads them
    std::optional<std::array<DpiGear, kDpiGears>> gears;  // enables and values
    std::optional<LightingSettings> lighting;             // parameters and colours of the mouse's mode
};

struct ApplyJob {
    RunMode mode = RunMode::Push;
    ApplyKind kind = ApplyKind::None;  // the edit a push writes
    int profile = 0;  // the pages' profile
    int currentKey = 0;
    bool ble = false;
    int connectionType = 1;  // 1 cable, 2 receiver
    int writeTimes = 4;
    ApplyFlags flags;
    SettingsRecord settings;  // the snapshot of the document, profile identifiers included
    // Draws a profile identifier (1..65535).
    std::function<std::uint16_t()> draw;
    // Where the keys' macros come from during the run: the predefined lists (read-only once
    // loaded) and a snapshot of the user's macros. Null: macro keys are sent without a macro.
    const PredefinedMacros* predefined = nullptr;
    std::shared_ptr<const MacroLibrary> macros;
};

struct ApplyOutcome {
    int repeat = 1;
    bool fullWrite = false;
    bool singleWrite = false;  // mode 0 sent something
    bool idsRenewed = false;
    // The changed macros (flags.macroResend) whose keys this run sent.
    std::vector<std::pair<std::string, std::string>> macrosSent;
    std::optional<int> pagesProfile;  // the profile the pages show afterwards, when it changed
    bool idsRead = false;
    std::array<std::uint16_t, kProfileCount> mouseIds{};
    std::optional<CurrentState> readBack;  // the mouse's current state, when read back
    std::optional<MouseSettingsRead> mouseSettings;  // a run with rebuildFromMouse
    // Profile identifiers after the run (the snapshot's, renewed where step 7 drew new ones).
    std::array<std::uint16_t, kProfileCount> profileIds{};
    std::vector<int> renewedProfiles;
    // Frames of the run that did not reach the mouse, and replies that were noise: a run with
    // either did not bring the settings into the mouse for sure.
    int failedFrames = 0;
    int badReplies = 0;
    bool Complete() const { return failedFrames == 0 && badReplies == 0; }
};

// Repeat count of single writes: 1 on a cable connection, otherwise the model's WriteTimes
// (within 1..16; 4 when below 1).
int RepeatCount(int connectionType, int writeTimes, bool ble);

// Runs one pass with the command set (whose model is set). Sets the command set's settings to
// the job's snapshot for the duration of the run.
ApplyOutcome RunApply(CommandSet& commands, ApplyJob& job);
// Everything of the job's profile (or, with keys, only those keys) sent as the full write sends
// it, from the job's snapshot taken over the same way: stored values are sent as a run sends them.
ApplyOutcome SendProfile(CommandSet& commands, ApplyJob& job, const std::vector<int>& keys);

}  // namespace zor
