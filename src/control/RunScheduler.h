// The scheduler of device runs: at most one device job at a time on the device worker — an
// apply run (mode 1 synchronises on connect, mode 0 pushes an edit) or the device-state read —
// with the pipeline's flags between runs, a read or a run asked for while the device is busy
// kept until it is free, and each run's outcome put back into the document on the owner's
// thread. The worker reports its end through ControlEvents (RunEnded, StateReadEnded); the owner
// then calls FinishRun / FinishStateRead. zorctl runs the same passes on its own thread with
// RunNow.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "control/ControlEvents.h"
#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "settings/ApplyPipeline.h"
#include "settings/DeviceWorker.h"

namespace zor::control {

struct StateRead {
    bool ok = false;
    int connection = 0;
    int battery = 0;
    int chip = 0;
};

// What a finished run changed, for the view to show.
struct RunResult {
    bool ran = false;
    bool fullWrite = false;
    bool profileChanged = false;
    // The changed macros handed to the run whose keys it sent, every frame delivered.
    std::vector<std::pair<std::string, std::string>> macrosSent;
    std::optional<CurrentState> readBack;
    std::optional<OperationResult> rebuilt;  // a read-back run: whether the document was rebuilt
    ConfigResult saved;
    // Frames that did not reach the mouse and replies that were noise (see ApplyOutcome).
    int failedFrames = 0;
    int badReplies = 0;
    bool Complete() const { return failedFrames == 0 && badReplies == 0; }
};

// What a finished state read found.
struct StateReadResult {
    StateRead read;
    bool linkChanged = false;    // the receiver's link (or the first answer) changed
    bool modelReloaded = false;  // the mouse reported another sensor chip
    bool synchronise = false;    // a mouse has just come into reach: a mode-1 run is due
};

class RunScheduler {
public:
    RunScheduler(DeviceStack& stack, ModelSession& model, ControlEvents& events);
    ~RunScheduler();
    RunScheduler(const RunScheduler&) = delete;
    RunScheduler& operator=(const RunScheduler&) = delete;

    ApplyFlags& Flags() { return m_flags; }
    bool RunInProgress() const { return m_running; }
    bool ReadInProgress() const { return m_reading; }
    RunMode Mode() const { return m_mode; }
    ApplyKind Kind() const { return m_kind; }
    // The key the next key write (kinds 4 and 5) sends: the key page's current key.
    void SetCurrentKey(int key) { m_currentKey = key; }
    // A run or a read is on the device (or being collected).
    bool DeviceBusy() const { return m_running || m_reading || m_worker.Busy(); }

    // A push of an edit of this kind (or, with synchronise, a synchronisation run) for the
    // profile: dropped (false) while a state read runs or no device is connected; otherwise the
    // kind and profile are kept and a run starts.
    bool RequestApply(ApplyKind kind, bool synchronise, int profile, bool connected);
    // A power or sensor option changed: its single write (if it has one) is flagged, then an
    // edit run of its kind. Dropped while the device is busy.
    bool RequestSingleWrite(std::optional<SingleSetting> setting, ApplyKind kind, bool connected);

    enum class Start { Started, Waiting, AlreadyRunning, Refused, NoModel };
    // Started: the worker runs it. Waiting: it starts when the state read ends.
    // AlreadyRunning: the mode is stored for the run in progress. Refused: the document could not
    // be read from its file, and a document that was not read is never sent (the flags of the
    // refused request are dropped). NoModel: the model's description was refused, so no document
    // was loaded: nothing is pushed.
    Start StartRun(RunMode mode);
    // A run that only reads what the mouse holds and rebuilds the document from it
    // (ModelSession::RebuildFromMouse when it ends); it writes nothing to the mouse.
    Start StartReadBack();
    // The run's end (after RunEnded): the outcome into the document, the document saved.
    RunResult FinishRun();

    enum class ReadStart { Started, Deferred, NoDevice };
    // A read asked for while the device is busy is kept when it has a cause (a plain refresh is
    // not), its causes joined with those of any other kept read.
    ReadStart StartStateRead(StateReadCause cause);
    // The read's end (after StateReadEnded), judged by the cause it was started for.
    StateReadResult FinishStateRead();
    // The charge counter read (for the settings window) on the device worker: false, and nothing
    // started, while the device is busy or no device is selected. Its end is posted as
    // ChargeCounterReadEnded; FinishChargeCounterRead then answers the count, -1 when the mouse
    // gave no valid reply.
    bool StartChargeCounterRead();
    int FinishChargeCounterRead();
    // What the last device-state read found.
    StateRead LastStateRead() {
        std::lock_guard lock(m_resultMutex);
        return m_stateRead;
    }
    // A read that was deferred while the device was busy: its cause, now due.
    std::optional<StateReadCause> TakePendingRead();
    // A run that waited for the state read: its mode, now due.
    std::optional<RunMode> TakePendingRun();

    // The receiver's link as the last read found it (-1 unknown, 0 no mouse, 1 linked).
    int ReceiverLink() const { return m_receiverLink; }
    void ForgetReceiverLink() { m_receiverLink = -1; }
    bool EverSynchronised() const { return m_everFound; }
    void SetEverSynchronised(bool found) { m_everFound = found; }

    // Waits until the job on the device (if any) has ended; its result is still collected by
    // FinishRun / FinishStateRead when its message arrives.
    void WaitForDevice() { m_worker.Join(); }

    // The factory reset of the model in use (ModelSession::FactoryReset, the document saved and
    // announced), then four new identifiers and the force-push flag: the next mode-1 run pushes
    // everything. Refused while a run is in progress; nothing changes when it fails.
    OperationResult FactoryReset();
    // The factory document over one that could not be read (ModelSession::RestoreFactoryDocument,
    // saved and announced), then four new identifiers and the force-push flag.
    OperationResult RestoreFactoryDocument();
    // Four new identifiers and the force-push flag (import and reset).
    void PrepareFullPush();

    // One pass on the calling thread (the command-line tool): the same job, the same outcome.
    RunResult RunNow(RunMode mode, ApplyKind kind);
    // Everything of a profile (or only the given keys) sent from the document as a full push
    // sends it, on the calling thread; nothing is drawn, read back or saved.
    RunResult SendNow(int profile, const std::vector<int>& keys);

private:
    ApplyJob MakeJob(RunMode mode);
    RunResult Absorb(const ApplyOutcome& outcome);
    std::shared_ptr<const MacroLibrary> SnapshotMacros(const SettingsRecord& settings) const;
    bool Ble() const { return m_stack.Link().bleMode.load() != 0; }

    DeviceStack& m_stack;
    ModelSession& m_model;
    ControlEvents& m_events;
    DeviceWorker m_worker;
    ApplyFlags m_flags;
    RunMode m_mode = RunMode::Push;
    ApplyKind m_kind = ApplyKind::None;
    int m_currentKey = 0;
    bool m_running = false;
    bool m_reading = false;
    bool m_runPending = false;
    bool m_readPending = false;
    StateReadCause m_pendingRead;
    StateReadCause m_readCause;  // of the read on the device
    int m_receiverLink = -1;
    bool m_everFound = false;
    std::mutex m_resultMutex;
    std::optional<ApplyOutcome> m_outcome;
    StateRead m_stateRead;
    int m_chargeCounter = -1;
};

}  // namespace zor::control
