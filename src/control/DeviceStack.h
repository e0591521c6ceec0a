// The device side of both programs, assembled in one place: the HID bus (the real one, or the
// virtual mouse behind a virtual bus), the link, transport and command set, the device catalog
// matched against the bus, the presence layer with its listeners and event worker, the hot-plug
// monitor and the BLE bridge. zormouse keeps one for its whole run; a zorctl command builds one,
// selects the device the program would select, and talks to it from its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "catalog/FindDev.h"
#include "common/InstanceLock.h"
#include "common/Sleeper.h"
#include "device/CommandSet.h"
#include "device/DevicePresence.h"
#include "device/DeviceView.h"
#include "device/HidBus.h"
#include "device/HotplugMonitor.h"
#include "device/LinkState.h"
#include "device/Transport.h"
#include "device/virtual/VirtualBleBridge.h"
#include "device/virtual/VirtualMouse.h"

namespace zor {
class HidrawBleBridge;
}

namespace zor::control {

struct DeviceStackOptions {
    std::filesystem::path programFolder = ".";
    bool virtualMouse = false;
    VirtualLinkKind virtualKind = VirtualLinkKind::Cable;
    // A fault the virtual mouse gets once it has taken so many frames (see VirtualMouse).
    MouseFault virtualFault = MouseFault::None;
    int virtualFaultAfter = 0;
    // Protocol pauses; null = real time.
    Sleeper* sleeper = nullptr;
    // Every report sent or received (zorctl --trace).
    TraceSink trace;
    // Hot-plug monitor and BLE bridge (the GUI's); a command-line run needs neither.
    bool watchHotplug = true;
    // Who takes each mouse's lock when it opens it ("zormouse", "zorctl"): one process at a
    // time sends a mouse reports. A mouse another process holds is waited for lockWait, then
    // left alone (not found; DeviceInUse() names the holder). Empty: no lock is taken.
    std::string lockHolder;
    std::chrono::milliseconds lockWait{2000};
};

class DeviceStack {
public:
    DeviceStack(const DeviceStackOptions& options, MessageSink& sink);
    ~DeviceStack();
    DeviceStack(const DeviceStack&) = delete;
    DeviceStack& operator=(const DeviceStack&) = delete;

    // Loads the catalog and matches every entry against the bus.
    void LoadCatalog();
    // The catalog, matched, and the device the program selects (the first found entry, else the
    // second), made current on the link. False when no device is found.
    bool LoadAndSelect();
    // Hands the BLE bridge and the catalog's BLE names to the presence layer (before its
    // listeners start). Hot-plug events then also reach a hidraw bridge.
    void AttachBle();
    // The bridge: hidraw Bluetooth nodes, or the virtual mouse's BLE side.
    BleBridge* Ble() const { return m_ble.get(); }
    VirtualBleBridge* VirtualBle() const { return m_virtualBle; }
    // Reports hot-plug events (on the monitor's thread); false when there is no monitor.
    bool StartHotplug(HotplugHandler handler);
    void StopHotplug();
    // Ends listeners, the event worker and the hot-plug monitor.
    void Shutdown();

    // One read of the charge counter (op 2/7) on the caller's thread, who makes sure no run has
    // the device; -1 without a selected device or when the read failed.
    int ReadChargeCounter();
    // The battery byte of a BLE status reply (event code 0x600 + op 1), decoded without handing
    // it to a read; nullopt for every other event.
    std::optional<int> BleReplyBattery(int code, const std::string& text);

    // The holder of a mouse this stack found on the bus but left alone ("zormouse (pid 42)"), or
    // empty.
    const std::string& DeviceInUse() const { return m_inUseBy; }

    FindDev& Finder() { return m_finder; }
    std::vector<DeviceEntry>& Entries() { return m_finder.entries(); }
    const DeviceEntry* SelectedEntry() const;
    bool AnyFound() const;
    DevicePresence& Presence() { return *m_presence; }
    CommandSet& Commands() { return m_commands; }
    Transport& GetTransport() { return m_transport; }
    LinkState& Link() { return m_link; }
    DeviceView& View() { return m_view; }

    // The virtual mouse and its bus (null when running against real devices).
    std::shared_ptr<VirtualMouse> Mouse() const { return m_mouse; }
    void PlugVirtualMouse(bool attached);
    bool VirtualMousePlugged() const { return m_plugged; }
    // Moves the virtual mouse off its cable or receiver onto Bluetooth LE and connects the
    // bridge (true), or drops the BLE link and puts it back on its cable or receiver (false).
    void SetVirtualBle(bool ble);
    bool VirtualOnBle() const { return m_onBle; }

private:
    // Matches the entry, taking its mouse's lock before anything is sent to it; a mouse another
    // process holds is left alone.
    bool MatchAndLock(DeviceEntry& entry);

    std::unique_ptr<HidBus> m_bus;
    VirtualBus* m_virtualBus = nullptr;
    std::shared_ptr<VirtualMouse> m_mouse;
    std::atomic<bool> m_plugged{false};  // changed from the thread of a frame (a fault's unplug) too
    bool m_onBle = false;
    std::unique_ptr<BleBridge> m_ble;
    VirtualBleBridge* m_virtualBle = nullptr;
    HidrawBleBridge* m_hidrawBle = nullptr;
    LinkState m_link;
    RealSleeper m_realSleeper;
    Transport m_transport;
    CommandSet m_commands{m_transport};
    FindDev m_finder;
    DeviceView m_view;
    std::unique_ptr<DevicePresence> m_presence;
    std::unique_ptr<HotplugMonitor> m_hotplug;
    std::filesystem::path m_programFolder;
    std::string m_lockHolder;
    std::chrono::milliseconds m_lockWait{0};
    std::map<std::string, std::unique_ptr<InstanceLock>> m_deviceLocks;  // by lock name, held
    std::string m_inUseBy;
};

}  // namespace zor::control
