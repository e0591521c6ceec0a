#include "control/RunScheduler.h"

#include <algorithm>

#include "common/Debug.h"
#include "control/Operations.h"
#include "device/DevicePresence.h"

namespace zor::control {

RunScheduler::RunScheduler(DeviceStack& stack, ModelSession& model, ControlEvents& events)
    : m_stack(stack), m_model(model), m_events(events) {}

RunScheduler::~RunScheduler() {
    m_worker.Join();
}

bool RunScheduler::RequestApply(ApplyKind kind, bool synchronise, int profile, bool connected) {
    if (m_reading || !connected) {
        DebugF("apply of kind %d dropped: %s\n", static_cast<int>(kind),
               m_reading ? "a device-state read runs" : "no device is connected");
        m_flags.profileChanged = false;
        return false;
    }
    m_kind = kind;
    if (profile >= 0 && profile < kConfigProfiles) m_model.SetProfile(profile);
    const Start start = StartRun(synchronise ? RunMode::Synchronise : RunMode::Push);
    return start != Start::Refused && start != Start::NoModel;
}

bool RunScheduler::RequestSingleWrite(std::optional<SingleSetting> setting, ApplyKind kind, bool connected) {
    if (m_reading || m_running) return false;
    if (setting) m_flags.single[static_cast<std::size_t>(*setting)] = true;
    if (!RequestApply(kind, false, m_model.Profile(), connected)) {
        m_flags.single = {};
        return false;
    }
    return true;
}

std::shared_ptr<const MacroLibrary> RunScheduler::SnapshotMacros(const SettingsRecord& settings) const {
    auto snapshot = std::make_shared<MacroSnapshot>();
    for (const ProfileSettings& profile : settings.profiles)
        for (const KeyAssignment& key : profile.keys) {
            if (key.groupGuid.empty() || key.macroGuid.empty()) continue;
            if (const MacroRecord* rec = m_model.macros.FindMacro(key.groupGuid, key.macroGuid))
                snapshot->Add(key.groupGuid, key.macroGuid, rec->device);
        }
    return snapshot;
}

ApplyJob RunScheduler::MakeJob(RunMode mode) {
    // The power and sensor options are read from the settings file before every push, and the
    // rate sent is the one of the connection in use.
    m_model.doc.SetPower(m_model.LoadPower());
    const RateConnection connection = ConnectionOf(m_stack);
    m_model.doc.SetRateLink(connection == RateConnection::Ble        ? RateLink::Ble
                            : connection == RateConnection::Receiver ? RateLink::Dongle
                                                                     : RateLink::Usb);
    ApplyJob job;
    job.mode = mode;
    job.kind = m_kind;
    job.profile = m_model.Profile();
    job.currentKey = m_currentKey;
    job.ble = Ble();
    job.connectionType = m_stack.Presence().ConnectionKind();
    job.writeTimes = m_model.feature.writeTimes;
    job.flags = m_flags;
    m_flags = {};
    for (int p = 0; p < kProfileCount; ++p) {
        job.settings.profiles[static_cast<std::size_t>(p)] = m_model.doc.Profile(p);
        job.settings.profileIds[static_cast<std::size_t>(p)] = m_model.doc.ProfileId(p);
    }
    job.settings.power = m_model.doc.Power();
    ModelSession* model = &m_model;
    job.draw = [model] { return model->DrawId(); };
    job.predefined = &m_model.predefined;
    job.macros = SnapshotMacros(job.settings);
    return job;
}

RunScheduler::Start RunScheduler::StartRun(RunMode mode) {
    if (!m_model.Description().ok()) {
        DebugF("run of mode %d dropped: %s\n", static_cast<int>(mode), m_model.Description().error);
        return Start::NoModel;
    }
    if (!m_model.DocumentLoaded() && !m_flags.rebuildFromMouse) {
        DebugF("run of mode %d refused: the configuration document was not read\n", static_cast<int>(mode));
        m_flags = {};
        return Start::Refused;
    }
    m_mode = mode;
    if (m_running) return Start::AlreadyRunning;
    if (m_worker.Busy()) {
        DebugF("run of mode %d waits for the device-state read\n", static_cast<int>(mode));
        m_runPending = true;
        return Start::Waiting;
    }
    m_runPending = false;
    ApplyJob job = MakeJob(mode);
    m_running = true;
    m_stack.View().Update([](DeviceViewState& view) { view.suppressEvents = true; });
    m_worker.Start([this, job]() mutable {
        ApplyOutcome outcome = RunApply(m_stack.Commands(), job);
        {
            std::lock_guard lock(m_resultMutex);
            m_outcome = outcome;
        }
        m_events.RunEnded();
    });
    return Start::Started;
}

RunScheduler::Start RunScheduler::StartReadBack() {
    m_flags = {};
    m_flags.rebuildFromMouse = true;
    return StartRun(RunMode::Synchronise);
}

RunResult RunScheduler::Absorb(const ApplyOutcome& outcome) {
    RunResult result;
    result.ran = true;
    result.fullWrite = outcome.fullWrite;
    result.failedFrames = outcome.failedFrames;
    result.badReplies = outcome.badReplies;
    if (outcome.mouseSettings) {
        const RateLink link =
            m_stack.Presence().ConnectionKind() == kConnectionReceiver ? RateLink::Dongle : RateLink::Usb;
        result.rebuilt = result.Complete() ? m_model.RebuildFromMouse(*outcome.mouseSettings, link)
                                           : OperationResult{false, "the mouse did not answer every read"};
        if (!result.rebuilt->ok) DebugF("document not rebuilt from the mouse: %s\n", result.rebuilt->error);
        result.profileChanged = result.rebuilt->ok;
        return result;
    }
    if (outcome.Complete()) result.macrosSent = outcome.macrosSent;
    if (outcome.pagesProfile && *outcome.pagesProfile != m_model.Profile()) {
        m_model.SetProfile(*outcome.pagesProfile);
        result.profileChanged = true;
    }
    std::vector<std::pair<int, std::uint16_t>> renewed;
    for (int p : outcome.renewedProfiles) {
        const std::uint16_t id = outcome.profileIds[static_cast<std::size_t>(p)];
        m_model.doc.SetProfileId(p, id);
        renewed.emplace_back(p, id);
    }
    if (!renewed.empty()) SaveProfileIds(m_model.ModelFolder(), renewed);
    if (outcome.readBack) {
        result.readBack = outcome.readBack;
        auto& adv = m_model.doc.adv[static_cast<std::size_t>(m_model.Profile())];
        if (outcome.readBack->currentGear >= 0 && outcome.readBack->currentGear < kDpiGearCount)
            adv.cruseldpi = outcome.readBack->currentGear;
        // The mouse's lighting mode becomes the profile's current one (its mode-0 record).
        if (outcome.readBack->lightingSlot >= 0 && outcome.readBack->lightingSlot < kLedModes)
            m_model.doc.led[static_cast<std::size_t>(m_model.Profile())][0].curselmode =
                outcome.readBack->lightingSlot;
        if (outcome.readBack->reportRateIndex >= 0) {
            if (m_stack.Presence().ConnectionKind() == kConnectionReceiver)
                adv.ratedonglevalue = outcome.readBack->reportRateIndex;
            else
                adv.rateusbvalue = outcome.readBack->reportRateIndex;
        }
    }
    result.saved = m_model.Save();
    return result;
}

RunResult RunScheduler::FinishRun() {
    m_worker.Join();
    std::optional<ApplyOutcome> outcome;
    {
        std::lock_guard lock(m_resultMutex);
        outcome.swap(m_outcome);
    }
    RunResult result;
    if (outcome) result = Absorb(*outcome);
    m_running = false;
    m_stack.View().Update([](DeviceViewState& view) { view.suppressEvents = false; });
    return result;
}

RunScheduler::ReadStart RunScheduler::StartStateRead(StateReadCause cause) {
    if (DeviceBusy()) {
        // A change of the connection must not be lost: it is read as soon as the device is free.
        if (cause.connectionChanged || cause.firstRead) {
            m_pendingRead.connectionChanged = m_pendingRead.connectionChanged || cause.connectionChanged;
            m_pendingRead.firstRead = m_pendingRead.firstRead || cause.firstRead;
            m_readPending = true;
        }
        DebugLine("device-state read deferred: the device is busy\n");
        return ReadStart::Deferred;
    }
    if (m_stack.SelectedEntry() == nullptr) return ReadStart::NoDevice;
    m_reading = true;
    m_readCause = cause;
    m_worker.Start([this] {
        CommandSet& commands = m_stack.Commands();
        commands.Link().Resume();  // each read gives a mouse that stopped answering a new chance
        commands.Request().op = kOpStatus;
        const bool ok = commands.ReadRequest() == 1;
        const StateRead read{ok, commands.Request().connectionState, commands.Request().battery,
                             commands.Request().chip};
        {
            std::lock_guard lock(m_resultMutex);
            m_stateRead = read;
        }
        m_events.StateReadEnded();
    });
    return ReadStart::Started;
}

StateReadResult RunScheduler::FinishStateRead() {
    m_worker.Join();
    StateReadResult result;
    {
        std::lock_guard lock(m_resultMutex);
        result.read = m_stateRead;
    }
    const StateReadCause cause = m_readCause;
    const StateRead& read = result.read;
    const bool cable = m_stack.Presence().ConnectionKind() == kConnectionCable;
    const int before = m_receiverLink;
    DebugF("device state: read %d, link %d, battery %d, chip %d\n", read.ok ? 1 : 0, read.connection,
           read.battery, read.chip);
    if (read.ok) {
        m_receiverLink = cable ? 1 : (read.connection != 0 ? 1 : 0);
        m_stack.Presence().SetReceiverState(m_receiverLink);
        if (m_receiverLink == 1 && cause.firstRead && read.chip != 0 && read.chip != m_model.chip) {
            // Another sensor chip: another DPI table and option set.
            const int chip = read.chip;
            m_model.LoadModel(m_stack.SelectedEntry(), Ble(), [chip] { return chip; });
            m_stack.Commands().SetModel(m_model.Model());
            result.modelReloaded = true;
        }
    } else if (!cable && cause.firstRead) {
        m_receiverLink = 0;
        m_stack.Presence().SetReceiverState(0);
    }
    m_reading = false;
    result.linkChanged = before != m_receiverLink || cause.connectionChanged;
    // A mouse that has just come into reach is brought into step with the document.
    if (read.ok && m_receiverLink == 1 && (before != 1 || !m_everFound)) {
        m_everFound = true;
        result.synchronise = true;
    }
    return result;
}

bool RunScheduler::StartChargeCounterRead() {
    if (DeviceBusy() || m_stack.SelectedEntry() == nullptr) return false;
    m_worker.Start([this] {
        CommandSet& commands = m_stack.Commands();
        commands.Link().Resume();  // off the UI thread, a mouse that stopped answering may try again
        DeviceRequest& r = commands.Request();
        r = DeviceRequest{};
        r.op = kOpProfile;
        r.subOp = kSubChargeCounter;
        const bool read = commands.ReadRequest() == 1 && commands.LastReadReplied();
        if (!read) DebugLine("charge counter not read\n");
        {
            std::lock_guard lock(m_resultMutex);
            m_chargeCounter = read ? r.chargeCounter : -1;
        }
        m_events.ChargeCounterReadEnded();
    });
    return true;
}

int RunScheduler::FinishChargeCounterRead() {
    m_worker.Join();
    std::lock_guard lock(m_resultMutex);
    return m_chargeCounter;
}

std::optional<StateReadCause> RunScheduler::TakePendingRead() {
    if (!m_readPending || DeviceBusy()) return std::nullopt;
    m_readPending = false;
    const StateReadCause pending = m_pendingRead;
    m_pendingRead = {};
    return pending;
}

std::optional<RunMode> RunScheduler::TakePendingRun() {
    if (!m_runPending || DeviceBusy()) return std::nullopt;
    m_runPending = false;
    return m_mode;
}

OperationResult RunScheduler::FactoryReset() {
    if (m_running) return {false, "a transfer to the mouse is in progress"};
    const OpResult reset = ResetToFactory(m_model, &m_events);
    if (!reset.Done()) return {false, reset.reason};
    m_flags.forcePush = true;
    return {};
}

OperationResult RunScheduler::RestoreFactoryDocument() {
    if (m_running) return {false, "a transfer to the mouse is in progress"};
    const int chip = m_model.chip;
    const OperationResult restored = m_model.RestoreFactoryDocument([chip] { return chip; });
    if (!restored.ok) return restored;
    m_model.SaveAndAnnounce(&m_events);
    PrepareFullPush();
    return {};
}

void RunScheduler::PrepareFullPush() {
    m_model.DrawAllProfileIds();
    m_flags.forcePush = true;
}

RunResult RunScheduler::RunNow(RunMode mode, ApplyKind kind) {
    m_mode = mode;
    m_kind = kind;
    ApplyJob job = MakeJob(mode);
    const ApplyOutcome outcome = RunApply(m_stack.Commands(), job);
    return Absorb(outcome);
}

RunResult RunScheduler::SendNow(int profile, const std::vector<int>& keys) {
    ApplyJob job = MakeJob(RunMode::Synchronise);
    job.profile = std::clamp(profile, 0, kConfigProfiles - 1);
    const ApplyOutcome outcome = SendProfile(m_stack.Commands(), job, keys);
    RunResult result;
    result.ran = true;
    result.fullWrite = outcome.fullWrite;
    result.failedFrames = outcome.failedFrames;
    result.badReplies = outcome.badReplies;
    return result;
}

}  // namespace zor::control
