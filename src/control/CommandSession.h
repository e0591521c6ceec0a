// What a command-line run works on: the device stack with the device the program would select,
// the model loaded for it (the mouse's identity read first, as the program does), and the run
// scheduler, whose passes run on the calling thread. The settings commands change the document
// through the same rules as the pages, save it the same way, and send what the pages send.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "control/DeviceStack.h"
#include "control/ModelSession.h"
#include "control/Operations.h"
#include "control/RunScheduler.h"

namespace zor::control {

struct CommandSessionOptions {
    std::filesystem::path programFolder;
    bool virtualMouse = false;
    MouseFault virtualFault = MouseFault::None;  // the virtual mouse's fault, after so many frames
    int virtualFaultAfter = 0;
    TraceSink trace;
    Sleeper* sleeper = nullptr;
};

class CommandSession final : public EditSender {
public:
    explicit CommandSession(const CommandSessionOptions& options);
    ~CommandSession();
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;

    // The device the program would select; null when none is found.
    const DeviceEntry* Selected() const { return m_stack.SelectedEntry(); }
    // Why there is none: "no device found", or the process that holds the mouse (its lock was
    // not free within two seconds; the two never send it reports at the same time).
    std::string NoDeviceText() const;
    // Loads the selected device's model (identity read, description, document, texts). False
    // with the reason when there is no device, the mouse does not answer the identity read, or
    // the document cannot be read (naming the file).
    bool LoadModel(std::string& error);

    DeviceStack& Stack() { return m_stack; }
    CommandSet& Commands() { return m_stack.Commands(); }
    ModelSession& Model() { return m_model; }
    RunScheduler& Scheduler() { return m_scheduler; }

    // The profile an edit is for becomes the pages' profile first, as choosing it in the program
    // does: a synchronisation run that makes it the mouse's active profile. Nothing when it is
    // the current profile already.
    void SelectProfile(int profile);
    // The program's factory reset, then the whole document pushed (mode 1, forced).
    // pushed (when given) receives the push's result.
    OperationResult ResetAndPush(RunResult* pushed = nullptr);
    // An operation's edit is of the pages' profile: the profile it is for is selected first.
    void BeforeEdit(int profile) override { SelectProfile(profile); }
    // An operation's edit of the selected profile, pushed on this thread: the document saved and
    // announced first (as Apply does: the macro usage follows the keys), except for a power
    // option, whose value is in Set.ini; then the run of mode 0 with the edit's kind.
    OpResult SendEdit(const DeviceEdit& edit) override;
    OpResult SendProfileChoice(int profile) override;
    // The profile's document (or its given keys) written on this thread as a full push writes
    // it (RunScheduler::SendNow); nothing is saved, drawn or read back.
    OpResult SendConfiguration(int profile, const std::vector<int>& keys) override;

private:
    RunResult SaveAndPush(ApplyKind kind);

    class NullSink final : public MessageSink {
    public:
        void post(unsigned, std::intptr_t, std::intptr_t, std::string) override {}
        std::intptr_t send(unsigned, std::intptr_t, std::intptr_t, std::string) override { return 0; }
    };

    NullSink m_sink;
    NoControlEvents m_events;
    DeviceStack m_stack;
    ModelSession m_model;
    RunScheduler m_scheduler;
};

}  // namespace zor::control
