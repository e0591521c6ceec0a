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
    };
    struct Parts {
        ui::WindowImplBase& window;
        control::DeviceStack& hub;
        control::ModelSession& model;
        control::RunScheduler& scheduler;
        PresenceDisplay& presence;
        Notices& notices;
    };
    RunDisplay(Parts parts, Hooks hooks) : m_parts(parts), m_hooks(std::move(hooks)) {}

    // Starts a run (mode 1: synchronise; 0: push the stored kind) and shows its progress.
    void StartRun(int mode);
    void ShowProgress(bool show, int mode);
    // The progress of the run that goes on, shown again (the window came back).
    void ShowRunning();

    // Message handlers.
    void OnApply(const WindowMessage& message);
    void OnPowerChanged(const WindowMessage& message);
    void OnDeviceProfileChanged(const WindowMessage& message);
    void OnApplyEnd(const WindowMessage& message);
    void OnApplyOverlay(const WindowMessage& message);
    void OnApplyProgress(const WindowMessage& message);
    void OnReadDeviceState(const WindowMessage& message);
    void OnStateReadDone(const WindowMessage& message);

private:
    // Says that the last run's frames did not all reach the mouse (or its replies were noise).
    void ShowApplyFailed();
    void StartStateRead(int wParam, int lParam);
    // Whatever waited for the device (a read, a run) starts once it is free.
    void RunWaiting();
    void SetVisible(const char* name, bool visible);

    Parts m_parts;
    Hooks m_hooks;
    bool m_progressShown = false;
};

}  // namespace zor::app
