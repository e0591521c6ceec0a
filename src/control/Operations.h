// The user's operations on the model in use, each written once for both programs: the window's
// pages and zorctl's commands call these, which check the input against the model, change the
// document (or the files), save, and answer with a typed result the front-end turns into text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

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

// How an operation's edit reaches the mouse. The window hands it to its device worker (the end
// of the run comes back to the window, which shows it); zorctl saves and runs it on its own
// thread and answers whether the mouse took it. Either way the same frames are sent.
class EditSender {
public:
    virtual ~EditSender() = default;
    virtual OpResult Send(ApplyKind kind, int profile) = 0;
    // A profile chosen by the user: the synchronisation run that makes it the mouse's profile.
    virtual OpResult SendProfileChoice(int profile) = 0;
};

// The profile the pages show and the edits go to becomes profile (0..2), and the mouse is made
// to switch to it. Refused while a run is on the mouse (the pages keep the profile they show).
OpResult SelectProfile(ModelSession& model, RunScheduler& scheduler, EditSender& sender, int profile);

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
// announced (when a sink is given), four new profile identifiers: the mouse no longer matches
// them, so the next synchronisation pushes everything. Refused, changing nothing, when the
// factory file is missing or damaged.
OpResult ResetToFactory(ModelSession& model, MessageSink* sink);

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
