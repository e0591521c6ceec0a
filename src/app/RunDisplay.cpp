#include "app/RunDisplay.h"

#include <map>

#include "app/ZorMainWndNames.h"
#include "common/Debug.h"
#include "device/DevicePresence.h"
#include "settings/PowerOptions.h"

namespace zor::app {

void RunDisplay::SetVisible(const char* name, bool visible) {
    if (auto* control = m_parts.window.FindControl(QLatin1String(name))) control->SetVisible(visible);
}

void RunDisplay::StartRun(RunMode mode, bool byUser) {
    if (!m_parts.presence.Ble()) m_parts.presence.StopBatteryTimer();
    const control::RunScheduler::Start start = m_parts.scheduler.StartRun(mode);
    if (start == control::RunScheduler::Start::Started) ShowProgress(true, mode);
    if (start == control::RunScheduler::Start::Refused && byUser && m_hooks.documentUnread)
        m_hooks.documentUnread();
}

void RunDisplay::StartReadBack() {
    if (!m_parts.presence.Ble()) m_parts.presence.StopBatteryTimer();
    if (m_parts.scheduler.StartReadBack() == control::RunScheduler::Start::Started)
        ShowProgress(true, RunMode::Synchronise);
}

void RunDisplay::ShowRunning() {
    if (m_parts.scheduler.RunInProgress()) ShowProgress(true, m_parts.scheduler.Mode());
}

void RunDisplay::ShowProgress(bool show, RunMode mode) {
    if (!show) {
        if (!m_progressShown) return;
        for (const char* name : {"apply_progress", "ring", "text_apply", "gif_vertical", "tranWnd"})
            SetVisible(name, false);
        m_progressShown = false;
        return;
    }
    if (m_progressShown) return;
    m_progressShown = true;
    SetVisible("gif_vertical", true);
    const bool synchronise = mode == RunMode::Synchronise;
    SetVisible("apply_progress", !synchronise);
    if (synchronise) {
        SetVisible("tranWnd_setting", false);
        SetVisible("tranWnd", true);
    }
    SetVisible("ring", synchronise);
    SetVisible("text_apply", synchronise);
}

void RunDisplay::OnApply(const WindowMessage& message) {
    const bool ble = m_parts.presence.Ble();
    // Message 2051: the kind of the edit in the low bits, the synchronisation flag, the profile.
    const auto kind = static_cast<ApplyKind>(message.wParam & kApplyKindMask);
    const bool synchronise = (message.wParam & kApplySyncFlag) != 0;
    if (!synchronise && !m_parts.scheduler.RunInProgress() && m_hooks.documentChanged &&
        m_hooks.documentChanged())
        return;
    if (m_parts.scheduler.RequestApply(kind, synchronise, static_cast<int>(message.lParam),
                                       m_parts.presence.Connected())) {
        if (!ble) m_parts.presence.StopBatteryTimer();
        ShowRunning();
    } else if (!m_parts.model.DocumentLoaded() && m_hooks.documentUnread) {
        m_hooks.documentUnread();  // an edit that can be neither saved nor sent
    }
}

void RunDisplay::OnPowerChanged(const WindowMessage& message) {
    // Each message names one value (the sensor switches one for all four, which share a write),
    // and its single write carries only that value.
    static const std::map<unsigned, PowerKey> kMessages = {
        {kMsgSavePowerChanged, PowerKey::SavePowerSelect},
        {kMsgSleepTimeChanged, PowerKey::SleepTime},
        {kMsgSensorSwitchesChanged, PowerKey::StraightLineCorrectEn},
        {kMsgLiftOffChanged, PowerKey::LODHeight},
        {kMsgPdTimeChanged, PowerKey::PDTime},
        {kMsgMoveWakeChanged, PowerKey::MoveWakeEn},
        {kMsgShortPressChanged, PowerKey::ShortPress}};
    const auto it = kMessages.find(message.id);
    if (it == kMessages.end()) return;
    const PowerChange change = PowerChangeFor(it->second);
    RequestSingleWrite(change.single, change.kind);
}

void RunDisplay::RequestSingleWrite(std::optional<SingleSetting> single, ApplyKind kind) {
    if (m_parts.scheduler.RequestSingleWrite(single, kind, m_parts.presence.Connected()))
        ShowRunning();
    else if (!m_parts.model.DocumentLoaded() && m_hooks.documentUnread)
        m_hooks.documentUnread();
}

void RunDisplay::OnDeviceProfileChanged(const WindowMessage& message) {
    if (m_parts.scheduler.RunInProgress()) return;
    const int profile = static_cast<int>(message.wParam & 0xFF);
    m_parts.model.SetProfile(profile > 2 ? 0 : profile);
    m_hooks.refreshPages();
    StartRun(RunMode::Synchronise);
}

void RunDisplay::OnApplyEnd(const WindowMessage&) {
    const control::RunResult result = m_parts.scheduler.FinishRun();
    ShowProgress(false, m_parts.scheduler.Mode());
    m_hooks.refreshPages();
    if (result.rebuilt && !result.rebuilt->ok && m_hooks.readBackFailed)
        m_hooks.readBackFailed();
    else if (result.ran && !result.Complete())
        ShowApplyFailed();
    if (!m_parts.presence.Ble() && m_parts.stack.SelectedEntry() != nullptr)
        m_parts.presence.StartBatteryTimer();
    m_hooks.runFinished(result);
    RunWaiting();
}

void RunDisplay::ShowApplyFailed() {
    // A mouse that went away gets the no-device notice instead, once its removal comes in.
    const auto& handle = m_parts.stack.Link().featureHandle;
    if (m_parts.stack.SelectedEntry() == nullptr || !handle || !handle->IsOpen()) return;
    // A receiver without its mouse has its own notice, which says what to do.
    if (m_parts.notices.NoDeviceShown()) return;
    if (m_parts.stack.Presence().ConnectionKind() == kConnectionReceiver &&
        m_parts.scheduler.ReceiverLink() == 0)
        return;
    DebugLine("the settings did not reach the mouse\n");
    m_parts.notices.ShowInfo(m_parts.notices.Text("Error"), m_parts.notices.Text("ApplyFailed"));
}

void RunDisplay::OnApplyOverlay(const WindowMessage& message) {
    SetVisible("tranWnd", message.wParam == 1);
    if (message.wParam == 1) SetVisible("tranWnd_setting", false);
}

void RunDisplay::OnApplyProgress(const WindowMessage& message) {
    for (const char* name : {"apply_progress", "ring", "text_apply", "gif_vertical"})
        SetVisible(name, message.wParam != 0 ||
                             (message.lParam != 0 && QLatin1String(name) == QLatin1String("ring")));
}

// ---------------------------------------------------------------- device state

void RunDisplay::OnReadDeviceState(const WindowMessage& message) {
    // 2053: wParam 1 = the connection changed, lParam 1 = the first read of a selected device.
    StartStateRead({message.wParam != 0, message.lParam != 0});
}

void RunDisplay::StartStateRead(control::StateReadCause cause) {
    if (m_parts.scheduler.StartStateRead(cause) == control::RunScheduler::ReadStart::NoDevice)
        m_parts.presence.ShowConnection();
}

void RunDisplay::RunWaiting() {
    if (const auto mode = m_parts.scheduler.TakePendingRun()) StartRun(*mode);
    if (const auto read = m_parts.scheduler.TakePendingRead()) StartStateRead(*read);
}

void RunDisplay::OnStateReadDone(const WindowMessage&) {
    control::RunScheduler& scheduler = m_parts.scheduler;
    const control::StateReadResult result = scheduler.FinishStateRead();
    if (result.read.ok && scheduler.ReceiverLink() == 1) m_parts.presence.ShowBattery(result.read.battery);
    if (result.modelReloaded) m_hooks.modelReloaded();
    if (result.linkChanged || result.modelReloaded) m_parts.presence.Refresh();
    RunWaiting();
    m_hooks.refreshPages();
    m_hooks.stateRead();
    if (result.synchronise) StartRun(RunMode::Synchronise);
}

void RunDisplay::OnChargeCounterRead(const WindowMessage&) {
    const int count = m_parts.scheduler.FinishChargeCounterRead();
    if (m_hooks.chargeCounterRead) m_hooks.chargeCounterRead(count);
    RunWaiting();
}

}  // namespace zor::app
