// The user's operations on the model in use, each written once for both programs: the window's
// pages and zorctl's commands call these, which check the input against the model, change the
// document (or the files), save, and answer with a typed result the front-end turns into text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "control/RunScheduler.h"
#include "settings/DpiRules.h"

namespace zor::control {

class CommandSession;

struct OpResult {
    enum class Outcome {
        Done,      // changed (and, where the operation sends, sent)
        Refused,   // nothing changed: reason says why
        NoAnswer,  // changed and saved, but the mouse did not take it: reason says what was lost
    };
    Outcome outcome = Outcome::Done;
    std::string reason;

    bool Done() const { return outcome == Outcome::Done; }
    static OpResult Refuse(std::string why) { return {Outcome::Refused, std::move(why)}; }
};

// What one edit sends: the write of its kind (the command set's operation of the edited
// setting) for the profile, or, for a power option, that option's own single write; the fire
// value sends every fire key of the profile again, a key's edit that key's write.
struct DeviceEdit {
    ApplyKind kind = ApplyKind::Params;
    int profile = 0;
    std::optional<SingleSetting> single;
    bool fireKeys = false;
    int key = -1;        // the key a key write sends (kinds Key and ComboKey)
    bool power = false;  // a power option of Set.ini: the document itself did not change
};

// How an operation's edit reaches the mouse. The window hands it to its device worker (the end
// of the run comes back to the window, which shows it); zorctl saves and runs it on its own
// thread and answers whether the mouse took it. Either way the same frames are sent.
class EditSender {
public:
    virtual ~EditSender() = default;
    // Called once an edit's input has passed every check and before the document changes: the
    // edit's profile becomes the one the edits go to (zorctl makes it the mouse's profile first,
    // as choosing it in the program does; the window's pages edit their own profile).
    virtual void BeforeEdit(int /*profile*/) {}
    virtual OpResult SendEdit(const DeviceEdit& edit) = 0;
    OpResult Send(ApplyKind kind, int profile) {
        return SendEdit(DeviceEdit{kind, profile, {}, false, -1, false});
    }
    // A profile chosen by the user: the synchronisation run that makes it the mouse's profile.
    virtual OpResult SendProfileChoice(int profile) = 0;
    // Apply: the document of a profile (only the given keys, when there are any) brought into
    // the mouse. The window saves and announces the document and pushes what its pages changed
    // (the edited macros' keys among it) for the profile it shows; zorctl writes everything the
    // document holds for the profile, as a full push does.
    virtual OpResult SendConfiguration(int profile, const std::vector<int>& keys) = 0;
};

// The profile the pages show and the edits go to becomes profile (0..2), and the mouse is made
// to switch to it. Refused while a run is on the mouse (the pages keep the profile they show).
OpResult SelectProfile(ModelSession& model, RunScheduler& scheduler, EditSender& sender, int profile);

// Apply: the profile's document (or only the keys given, 0..19) sent to the mouse; profile -1 is
// the pages' profile.
OpResult ApplyConfiguration(ModelSession& model, EditSender& sender, int profile = -1,
                            const std::vector<int>& keys = {});

// Why a run did not bring a change into the mouse (one line), or "" when it did. The change
// itself is saved: the next synchronisation with the mouse sends it.
std::string DeliveryProblem(const RunResult& run);

// The report rate of the connection in use for a profile: option is an index of the options the
// model offers on that connection (ReportRateOptions). Refused over BLE, where the mouse keeps
// its own rate, and for an option the model does not offer.
OpResult SetReportRate(ModelSession& model, RateConnection connection, EditSender& sender, int profile,
                       int option);

// The option (ReportRateOptions) that stands for hz on the connection: 125 Hz for option 0,
// doubling with each option, as the page labels them. Refused over BLE and for a rate the model
// does not offer there (the refusal names the rates it offers).
OpResult RateOptionOfHz(const std::string& modelName, RateConnection connection, int hz, int& option);

// The connection the selected mouse is reached on, as the report rate and its limits see it.
RateConnection ConnectionOf(DeviceStack& stack);

// The report-rate options a model folder can hold: the largest rate map among the names the
// device list gives the devices of that folder.
int RateCountOfFolder(const std::filesystem::path& programFolder, const std::string& devFolder);

// The factory reset of the loaded model: the factory document, the description's power and
// sensor defaults, the reload, the profile's macro usage entry dropped, the document saved and
// announced (when events are given), four new profile identifiers: the mouse no longer matches
// them, so the next synchronisation pushes everything. Refused, changing nothing, when the
// factory file is missing or damaged.
OpResult ResetToFactory(ModelSession& model, ControlEvents* events);

// The device's code for 400 DPI, which a DPI event of a macro carries, from the model in use as
// the program loads it: the selected mouse's model for the chip it reports (the application's own
// model when no mouse is found).
std::int16_t DpiEventCodeOfModel(const ModelSession& model);
// The same for a command-line run: its model loaded first.
std::int16_t ModelDpiEventCode(CommandSession& session);

// The model folder's configuration written to (export) or read from (import) an exchange file,
// for the model named in the folder's description. An import checks every value against the
// model (its DPI table, gear count and the report rates its folder can hold) before it replaces
// MouseConfig.json; the caller reloads the document afterwards.
OpResult ExportConfiguration(const std::filesystem::path& modelFolder, const std::filesystem::path& target);
OpResult ImportConfiguration(const std::filesystem::path& programFolder,
                             const std::filesystem::path& modelFolder, const std::filesystem::path& source);

}  // namespace zor::control
