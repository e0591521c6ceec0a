// The device side of the running program, assembled in one place: the HID bus (the real one,
// or the virtual mouse behind a virtual bus), the link, transport and command set, the device
// catalog matched against the bus, the presence layer with its listeners and event worker, and
// the hot-plug monitor.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "catalog/FindDev.h"
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

namespace zor::app {

struct DeviceHubOptions {
    std::filesystem::path programFolder = ".";
    bool virtualMouse = false;
    VirtualLinkKind virtualKind = VirtualLinkKind::Cable;
    // Protocol pauses; null = real time.
    Sleeper* sleeper = nullptr;
    int listenerTimeoutMs = kListenerReadTimeoutMs;
};

class DeviceHub {
public:
    DeviceHub(const DeviceHubOptions& options, MessageSink& sink);
    ~DeviceHub();
    DeviceHub(const DeviceHub&) = delete;
    DeviceHub& operator=(const DeviceHub&) = delete;

    // Loads the catalog and matches every entry against the bus.
    void LoadCatalog();
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
    std::unique_ptr<HidBus> m_bus;
    VirtualBus* m_virtualBus = nullptr;
    std::shared_ptr<VirtualMouse> m_mouse;
    bool m_plugged = false;
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
};

}  // namespace zor::app
