// The main window's side of device runs: apply requests and single writes handed to the run
// scheduler, the progress overlay while a run goes on, the end of a run (pages refreshed, the
// "ApplyFailed" notice when frames were lost) and the device-state reads with what they found.
#pragma once

#include <functional>

#include "app/Notices.h"
#include "app/PresenceDisplay.h"
#include "app/WindowMessage.h"
#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "control/RunScheduler.h"
#include "ui/WindowImplBase.h"

namespace zor::app {

class RunDisplay {
public:
    // What the window does for it.
    struct Hooks {
        std::function<void()> refreshPages;
        std::function<void()> modelReloaded;  // a state read loaded another model
        std::function<void(const control::RunResult&)> runFinished;
        std::function<void()> stateRead;
        // A run the user asked for was refused: the document could not be read from its file.
        std::function<void()> documentUnread;
        // A read-back run did not rebuild the document.
        std::function<void()> readBackFailed;
        std::function<void(int)> chargeCounterRead;  // the count, -1 when it was not read
        // Before an edit is pushed: true when another program changed the document's file, which
        // was read again (the edit is dropped).
        std::function<bool()> documentChanged;
    };
    struct Parts {
        ui::WindowImplBase& window;
        control::DeviceStack& stack;
        control::ModelSession& model;
        control::RunScheduler& scheduler;
        PresenceDisplay& presence;
        Notices& notices;
    };
    RunDisplay(Parts parts, Hooks hooks) : m_parts(parts), m_hooks(std::move(hooks)) {}

    // Starts a run (mode 1: synchronise; 0: push the stored kind) and shows its progress. A run
    // the user asked for that is refused because the document was not read says so.
    void StartRun(RunMode mode, bool byUser = false);
    // The run that rebuilds the document from what the mouse holds, with its progress.
    void StartReadBack();
    void ShowProgress(bool show, RunMode mode);
    // The progress of the run that goes on, shown again (the window came back).
    void ShowRunning();

    // Message handlers.
    void OnApply(const WindowMessage& message);
    void OnPowerChanged(const WindowMessage& message);
    // A power option's single write (if it has one), then a run of the kind; dropped while the
    // device is busy.
    void RequestSingleWrite(std::optional<SingleSetting> single, ApplyKind kind);
    void OnDeviceProfileChanged(const WindowMessage& message);
    void OnApplyEnd(const WindowMessage& message);
    void OnApplyOverlay(const WindowMessage& message);
    void OnApplyProgress(const WindowMessage& message);
    void OnReadDeviceState(const WindowMessage& message);
    void OnStateReadDone(const WindowMessage& message);
    void OnChargeCounterRead(const WindowMessage& message);

private:
    // Says that the last run's frames did not all reach the mouse (or its replies were noise).
    void ShowApplyFailed();
    void StartStateRead(control::StateReadCause cause);
    // Whatever waited for the device (a read, a run) starts once it is free.
    void RunWaiting();
    void SetVisible(const char* name, bool visible);

    Parts m_parts;
    Hooks m_hooks;
    bool m_progressShown = false;
};

}  // namespace zor::app
