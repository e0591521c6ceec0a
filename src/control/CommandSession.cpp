#include "control/CommandSession.h"

#include "common/ProgramPaths.h"

namespace zor::control {
namespace {

DeviceStackOptions StackOptions(const CommandSessionOptions& options) {
    DeviceStackOptions stack;
    stack.programFolder = options.programFolder;
    stack.virtualMouse = options.virtualMouse;
    stack.virtualFault = options.virtualFault;
    stack.virtualFaultAfter = options.virtualFaultAfter;
    stack.virtualKind = VirtualLinkKind::Cable;
    stack.sleeper = options.sleeper;
    stack.trace = options.trace;
    stack.watchHotplug = false;
    stack.lockHolder = "zorctl";
    return stack;
}

}  // namespace

CommandSession::CommandSession(const CommandSessionOptions& options)
    : m_stack(StackOptions(options), m_sink),
      m_model(options.programFolder),
      m_scheduler(m_stack, m_model, m_events) {
    m_stack.LoadAndSelect();
}

CommandSession::~CommandSession() {
    m_stack.Shutdown();
}

bool CommandSession::LoadModel(std::string& error) {
    const DeviceEntry* entry = Selected();
    if (entry == nullptr) {
        error = NoDeviceText();
        return false;
    }
    m_model.LoadSources();
    // The sensor chip picks the model's description (DPI table, power rows). A mouse that does not
    // answer its identity read would otherwise be taken for chip 0, and every later check and
    // message would speak of the wrong model.
    bool identified = true;
    auto readChip = [this, &identified] {
        CommandSet& commands = m_stack.Commands();
        DeviceRequest& r = commands.Request();
        r.op = kOpStatus;
        r.subOp = 0;
        if (commands.ReadRequest() == 1 && commands.LastReadReplied()) return static_cast<int>(r.chip);
        identified = false;
        return 0;
    };
    const ReloadOutcome reloaded = m_model.LoadModel(entry, m_stack.Link().bleMode.load() != 0, readChip);
    if (!identified) {
        error = "the mouse gave no valid reply to the read of its sensor chip";
        return false;
    }
    if (!m_model.Description().ok()) {
        error = "cannot use the model description " + m_model.Description().error;
        return false;
    }
    const std::filesystem::path document = paths::MouseConfig(m_model.ModelFolder());
    if (!reloaded.load.ok) {
        error = "cannot read " + document.string() + ": " + reloaded.load.error;
        return false;
    }
    if (!reloaded.load.found) {
        error = "no configuration in " + document.string();
        return false;
    }
    m_stack.Commands().SetModel(m_model.Model());
    return true;
}

std::string CommandSession::NoDeviceText() const {
    const std::string& holder = m_stack.DeviceInUse();
    if (holder.empty()) return "no device found";
    if (holder.starts_with("zormouse"))
        return "the mouse is in use by " + holder + "; close it or let zorctl go through it";
    return "the mouse is in use by " + holder + "; run again when it has finished";
}

void CommandSession::SelectProfile(int profile) {
    if (profile == m_model.Profile()) return;
    control::SelectProfile(m_model, m_scheduler, *this, profile);
}

OpResult CommandSession::SendProfileChoice(int) {
    const RunResult run = m_scheduler.RunNow(RunMode::Synchronise, ApplyKind::ActiveProfile);
    if (std::string problem = DeliveryProblem(run); !problem.empty())
        return {OpResult::Outcome::NoAnswer, std::move(problem)};
    return {};
}

RunResult CommandSession::SaveAndPush(ApplyKind kind) {
    const ConfigResult saved = m_model.SaveAndAnnounce(nullptr);
    if (saved.changedOnDisk) {
        // Another program changed the file since this run read it: this run's edit is of an old
        // document, so neither it nor the document goes anywhere.
        RunResult refused;
        refused.saved = saved;
        return refused;
    }
    RunResult run = m_scheduler.RunNow(RunMode::Push, kind);
    if (!saved.ok) run.saved = saved;
    return run;
}

OpResult CommandSession::SendEdit(const DeviceEdit& edit) {
    // The edit is of the pages' profile: an operation selects its profile before it edits.
    if (edit.profile != m_model.Profile()) return OpResult::Refuse("the profile was not selected first");
    ApplyFlags& flags = m_scheduler.Flags();
    if (edit.single) flags.single[static_cast<std::size_t>(*edit.single)] = true;
    if (edit.fireKeys) flags.fireKeyResend = true;
    if (edit.key >= 0) m_scheduler.SetCurrentKey(edit.key);
    const RunResult run = edit.power ? m_scheduler.RunNow(RunMode::Push, edit.kind) : SaveAndPush(edit.kind);
    if (!run.saved.ok) return OpResult::Refuse("the configuration was not saved: " + run.saved.error);
    if (std::string problem = DeliveryProblem(run); !problem.empty())
        return {OpResult::Outcome::NoAnswer, std::move(problem)};
    return {};
}

OpResult CommandSession::SendConfiguration(int profile, const std::vector<int>& keys) {
    const RunResult sent = m_scheduler.SendNow(profile, keys);
    if (std::string problem = DeliveryProblem(sent); !problem.empty())
        return {OpResult::Outcome::NoAnswer, std::move(problem)};
    return {};
}

OperationResult CommandSession::ResetAndPush(RunResult* pushed) {
    const OperationResult reset = m_scheduler.FactoryReset();
    if (!reset.ok) return reset;
    m_stack.Commands().SetModel(m_model.Model());
    const RunResult run = m_scheduler.RunNow(RunMode::Synchronise, ApplyKind::None);
    if (pushed != nullptr) *pushed = run;
    if (!run.saved.ok) return {false, run.saved.error};
    return {};
}

}  // namespace zor::control
