// What the main window shows of the mouse's presence and how it keeps it current: the home page
// (tiles, connection, battery gauge), the battery timer of a mouse on its cable or receiver, the
// Bluetooth LE connection with its retries, the no-device notice and hot-plug events.
#pragma once

#include <QTimer>
#include <functional>

#include "app/AppContext.h"
#include "app/HomePage.h"
#include "app/Notices.h"
#include "app/QtMessageSink.h"
#include "app/WindowMessage.h"
#include "control/DeviceStack.h"
#include "control/LinkRules.h"
#include "control/RunScheduler.h"
#include "ui/WindowImplBase.h"

namespace zor::app {

inline constexpr int kBatteryTimerId = 2;

class PresenceDisplay {
public:
    // What the window does for it.
    struct Hooks {
        std::function<void()> refreshPages;
        std::function<void(RunMode mode)> startRun;
        std::function<void()> selectDevice;
        std::function<void()> closeSettings;  // its options belong to the mouse that went away
        std::function<bool()> hiddenToTray;
    };
    struct Parts {
        ui::WindowImplBase& window;
        const AppContext& context;
        control::DeviceStack& stack;
        control::RunScheduler& scheduler;
        QtMessageSink& sink;
        Notices& notices;
    };
    PresenceDisplay(Parts parts, Hooks hooks);

    HomePage& Home() { return m_home; }
    // The connection, the tiles, the notices and the battery timer as the link stands now.
    void Refresh();
    // The connection picture and state line alone.
    void ShowConnection();
    void ShowBattery(int battery) { m_home.ShowBattery(battery); }
    // Attaches the BLE bridge and connects over it when the mouse is on no cable or receiver.
    void AttachBle();
    void OnBleEvent(const WindowMessage& message);
    void OnHotplug(const WindowMessage& message);
    void OnTimer(const WindowMessage& message);

    void StartBatteryTimer();
    void StopBatteryTimer() { m_batteryTimer.stop(); }
    void StopTimers();
    // Counted as linked by the last refresh (apply requests need it).
    bool Connected() const { return m_connected; }
    bool Ble() const { return m_parts.stack.Link().bleMode.load() != 0; }
    bool BatteryTimerRunning() const { return m_batteryTimer.isActive(); }
    int BleFailures() const { return m_bleRetries.Failures(); }
    bool BleRetryPending() const { return m_bleRetry.isActive(); }

private:
    control::LinkFacts Facts() const;
    // Over BLE, or on a cable or a receiver that has reported its mouse: no BLE attempt is needed.
    bool ReachableOtherwise() const { return Ble() || control::ReachableByHid(Facts()); }
    int ConnectionType() const { return m_parts.stack.Presence().ConnectionKind(); }
    void ShowNoDeviceBox();
    void OnBleConnectFailed();

    Parts m_parts;
    Hooks m_hooks;
    HomePage m_home;
    QTimer m_batteryTimer;
    QTimer m_bleRetry;
    control::BleRetries m_bleRetries;
    bool m_bleUnavailable = false;  // no Bluetooth adapter, or no BLE name list
    bool m_connected = false;
    bool m_centredOnDevice = false;
};

}  // namespace zor::app
