// What the control layer reports to its owner: the ends of the jobs it ran on the device worker
// and the macro library written after a save. The window turns each into a message of its own and
// collects the job on its thread (RunScheduler::FinishRun, ...); zorctl, whose passes run on its
// own thread, has nothing to collect.
#pragma once

namespace zor::control {

class ControlEvents {
public:
    virtual ~ControlEvents() = default;
    // Called on the device worker's thread: queue, never wait for the owner's thread.
    virtual void RunEnded() = 0;
    virtual void StateReadEnded() = 0;
    virtual void ChargeCounterReadEnded() = 0;
    // Called on the owner's thread after the document and the macro library were saved: what
    // shows the library (the macro page) reads it again.
    virtual void MacroLibrarySaved() = 0;
};

// For a front-end that collects nothing (zorctl).
class NoControlEvents final : public ControlEvents {
public:
    void RunEnded() override {}
    void StateReadEnded() override {}
    void ChargeCounterReadEnded() override {}
    void MacroLibrarySaved() override {}
};

// Why the device state is read: the connection changed (a new receiver link, a mouse in reach),
// or the first read after a device was selected, which may find another sensor chip.
struct StateReadCause {
    bool connectionChanged = false;
    bool firstRead = false;
    bool operator==(const StateReadCause&) const = default;
};

}  // namespace zor::control
