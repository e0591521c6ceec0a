#include "control/DeviceStack.h"

#include <unistd.h>

#include "common/Debug.h"
#include "device/BleBridge.h"
#include "device/DeviceMatch.h"
#include "device/HidapiBus.h"
#include "device/HidrawBleBridge.h"
#include "device/UdevHotplugMonitor.h"
#include "device/VirtualBus.h"

namespace zor::control {

DeviceStack::DeviceStack(const DeviceStackOptions& options, MessageSink& sink)
    : m_transport(m_link, options.sleeper != nullptr ? *options.sleeper : m_realSleeper),
      m_finder(options.programFolder) {
    if (options.virtualMouse) {
        auto bus = std::make_unique<VirtualBus>();
        m_virtualBus = bus.get();
        m_mouse = std::make_shared<VirtualMouse>(options.virtualKind);
        m_bus = std::move(bus);
        // A pulled cable: the mouse leaves the bus as a hot-plug removal.
        m_mouse->SetUnplugAction([this] { PlugVirtualMouse(false); });
        if (options.virtualFault != MouseFault::None)
            m_mouse->InjectFault(options.virtualFault, options.virtualFaultAfter);
        PlugVirtualMouse(true);
        if (options.watchHotplug) {
            m_hotplug = std::make_unique<VirtualHotplugMonitor>(*m_virtualBus);
            auto ble = std::make_unique<VirtualBleBridge>(m_mouse);
            ble->SetAdvertising(false);  // the mouse starts on its cable or receiver
            m_virtualBle = ble.get();
            m_ble = std::move(ble);
        }
    } else {
        m_bus = std::make_unique<HidapiBus>();
        if (options.watchHotplug) {
            m_hotplug = std::make_unique<UdevHotplugMonitor>();
            Sleeper& sleeper = options.sleeper != nullptr ? *options.sleeper : m_realSleeper;
            auto ble = std::make_unique<HidrawBleBridge>(*m_bus, sleeper);
            m_hidrawBle = ble.get();
            m_ble = std::move(ble);
        }
    }
    if (options.trace) m_transport.SetTraceSink(options.trace);
    m_programFolder = options.programFolder;
    m_lockHolder = options.lockHolder;
    m_lockWait = options.lockWait;
    m_finder.setMatchHook([this](DeviceEntry& entry) { return MatchAndLock(entry); });
    m_presence = std::make_unique<DevicePresence>(*m_bus, m_link, m_finder.entries(), sink, m_view);
    m_presence->SetMatcher([this](DeviceEntry& entry) { return MatchAndLock(entry); });
}

bool DeviceStack::MatchAndLock(DeviceEntry& entry) {
    if (m_lockHolder.empty()) return MatchDevice(*m_bus, entry, m_link);
    return MatchDevice(*m_bus, entry, m_link, [this, &entry](const std::string& featurePath) {
        // Named after the node the reports go to; every virtual mouse of one program folder is one.
        const std::string name =
            m_virtualBus != nullptr ? VirtualMouseLockName(m_programFolder) : DeviceLockName(featurePath);
        std::unique_ptr<InstanceLock>& lock = m_deviceLocks[name];
        if (!lock) lock = std::make_unique<InstanceLock>(name);
        if (lock->held()) return true;
        switch (lock->TryAcquire(m_lockWait)) {
            case InstanceLock::State::Held:
                lock->SetHolder(m_lockHolder + " (pid " + std::to_string(::getpid()) + ")");
                return true;
            case InstanceLock::State::NoLockFile:
                DebugF("no lock file for %s: the mouse is used without one\n", name);
                return true;
            case InstanceLock::State::HeldElsewhere:
                break;
        }
        m_inUseBy = lock->Holder();
        if (m_inUseBy.empty()) m_inUseBy = "another program";
        DebugF("%s is in use by %s: left alone\n", entry.displayName, m_inUseBy);
        m_deviceLocks.erase(name);
        return false;
    });
}

DeviceStack::~DeviceStack() {
    Shutdown();
    if (m_presence) m_presence->AttachBle(nullptr, std::string());
    m_ble.reset();
    for (DeviceEntry& entry : m_finder.entries())
        if (entry.found) ReleaseDevice(entry, m_link);
}

void DeviceStack::LoadCatalog() {
    m_finder.LoadDeviceList();
}

bool DeviceStack::LoadAndSelect() {
    LoadCatalog();
    m_presence->AutoSelect();
    return SelectedEntry() != nullptr;
}

void DeviceStack::AttachBle() {
    // Reply events reach the command set as they arrive: a read over BLE then really reads.
    m_presence->AttachBle(m_ble.get(), DevicePresence::NameSource([this] { return m_finder.bleNames(); }),
                          &m_commands);
}

bool DeviceStack::StartHotplug(HotplugHandler handler) {
    if (!m_hotplug) return false;
    HidrawBleBridge* ble = m_hidrawBle;
    return m_hotplug->Start([ble, handler = std::move(handler)](const HotplugEvent& event) {
        // A Bluetooth mouse coming or going changes the BLE link; the bridge decides.
        if (ble != nullptr) ble->OnHotplug(event);
        if (handler) handler(event);
    });
}

void DeviceStack::StopHotplug() {
    if (m_hotplug) m_hotplug->Stop();
}

void DeviceStack::Shutdown() {
    StopHotplug();
    if (m_presence) m_presence->Shutdown();
}

const DeviceEntry* DeviceStack::SelectedEntry() const {
    const int selected = m_presence ? m_presence->Selected() : -1;
    const auto& entries = m_finder.entries();
    if (selected < 0 || static_cast<std::size_t>(selected) >= entries.size()) return nullptr;
    return &entries[static_cast<std::size_t>(selected)];
}

int DeviceStack::ReadChargeCounter() {
    if (SelectedEntry() == nullptr) return -1;
    DeviceRequest& r = m_commands.Request();
    r = DeviceRequest{};
    r.op = kOpProfile;
    r.subOp = kSubChargeCounter;
    if (m_commands.ReadRequest() != 1) {
        DebugLine("charge counter not read\n");
        return -1;
    }
    return r.chargeCounter;
}

std::optional<int> DeviceStack::BleReplyBattery(int code, const std::string& text) {
    if (code < kBleEventReplyBase || code >= kBleEventReplyBase + 0x100) return std::nullopt;
    const auto reply = m_commands.DecodeBleReply(code, text);
    if (!reply || reply->op != kOpStatus) return std::nullopt;
    return reply->values.battery;
}

bool DeviceStack::AnyFound() const {
    for (const DeviceEntry& entry : m_finder.entries())
        if (entry.found) return true;
    return false;
}

void DeviceStack::SetVirtualBle(bool ble) {
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

void DeviceStack::PlugVirtualMouse(bool attached) {
    if (m_virtualBus == nullptr || m_plugged.exchange(attached) == attached) return;
    if (attached)
        m_virtualBus->Attach(m_mouse);
    else
        m_virtualBus->Detach(m_mouse);
}

}  // namespace zor::control
