#include "app/DeviceHub.h"

#include "device/DeviceMatch.h"
#include "device/HidapiBus.h"
#include "device/HidrawBleBridge.h"
#include "device/UdevHotplugMonitor.h"
#include "device/VirtualBus.h"

namespace zor::app {

DeviceHub::DeviceHub(const DeviceHubOptions& options, MessageSink& sink)
    : m_transport(m_link, options.sleeper != nullptr ? *options.sleeper : m_realSleeper),
      m_finder(options.programFolder) {
    if (options.virtualMouse) {
        auto bus = std::make_unique<VirtualBus>();
        m_virtualBus = bus.get();
        m_mouse = std::make_shared<VirtualMouse>(options.virtualKind);
        m_bus = std::move(bus);
        PlugVirtualMouse(true);
        m_hotplug = std::make_unique<VirtualHotplugMonitor>(*m_virtualBus);
        auto ble = std::make_unique<VirtualBleBridge>(m_mouse);
        ble->SetAdvertising(false);  // the mouse starts on its cable or receiver
        m_virtualBle = ble.get();
        m_ble = std::move(ble);
    } else {
        m_bus = std::make_unique<HidapiBus>();
        m_hotplug = std::make_unique<UdevHotplugMonitor>();
        Sleeper& sleeper = options.sleeper != nullptr ? *options.sleeper : m_realSleeper;
        auto ble = std::make_unique<HidrawBleBridge>(*m_bus, sleeper, options.listenerTimeoutMs);
        m_hidrawBle = ble.get();
        m_ble = std::move(ble);
    }
    m_finder.setMatchHook(MatchHookFor(*m_bus, m_link));
    PresenceOptions presence;
    presence.readTimeoutMs = options.listenerTimeoutMs;
    m_presence = std::make_unique<DevicePresence>(*m_bus, m_link, m_finder.entries(), sink, m_view, presence);
}

DeviceHub::~DeviceHub() {
    Shutdown();
    if (m_presence) m_presence->AttachBle(nullptr, {});
    m_ble.reset();
    for (DeviceEntry& entry : m_finder.entries())
        if (entry.found) ReleaseDevice(entry, m_link);
}

void DeviceHub::LoadCatalog() {
    m_finder.LoadDeviceList();
}

void DeviceHub::AttachBle() {
    m_presence->AttachBle(m_ble.get(), m_finder.bleNames());
}

bool DeviceHub::StartHotplug(HotplugHandler handler) {
    if (!m_hotplug) return false;
    HidrawBleBridge* ble = m_hidrawBle;
    return m_hotplug->Start([ble, handler = std::move(handler)](const HotplugEvent& event) {
        // A Bluetooth mouse coming or going changes the BLE link; the bridge decides.
        if (ble != nullptr) ble->OnHotplug(event);
        if (handler) handler(event);
    });
}

void DeviceHub::StopHotplug() {
    if (m_hotplug) m_hotplug->Stop();
}

void DeviceHub::Shutdown() {
    StopHotplug();
    if (m_presence) m_presence->Shutdown();
}

const DeviceEntry* DeviceHub::SelectedEntry() const {
    const int selected = m_presence ? m_presence->Selected() : -1;
    const auto& entries = m_finder.entries();
    if (selected < 0 || static_cast<std::size_t>(selected) >= entries.size()) return nullptr;
    return &entries[static_cast<std::size_t>(selected)];
}

bool DeviceHub::AnyFound() const {
    for (const DeviceEntry& entry : m_finder.entries())
        if (entry.found) return true;
    return false;
}

void DeviceHub::SetVirtualBle(bool ble) {
    if (m_virtualBle == nullptr || ble == m_onBle) return;
    m_onBle = ble;
    if (ble) {
        PlugVirtualMouse(false);
        m_mouse->SetAttached(true);  // powered, now reachable over Bluetooth only
        m_virtualBle->SetAdvertising(true);
        m_presence->ConnectBle();
    } else {
        m_virtualBle->SetAdvertising(false);
        // Switched off first, so that the bridge's relay stops reading it at once.
        m_mouse->SetAttached(false);
        m_virtualBle->DropLink();
        PlugVirtualMouse(true);
    }
}

void DeviceHub::PlugVirtualMouse(bool attached) {
    if (m_virtualBus == nullptr || attached == m_plugged) return;
    m_plugged = attached;
    if (attached)
        m_virtualBus->Attach(m_mouse);
    else
        m_virtualBus->Detach(m_mouse);
}

}  // namespace zor::app
