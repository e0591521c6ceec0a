// HidBus over in-process device models (the virtual mouse). Devices are attached and detached
// like plugging a cable; a handle opened before a detach stays dead after a re-attach, as a
// hidraw node does.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/HidBus.h"

namespace zor {

// A device model behind the virtual bus. Interface numbers index Interfaces().
class VirtualHidDevice {
public:
    virtual ~VirtualHidDevice() = default;
    // Path fields are ignored: the bus names the interfaces.
    virtual std::vector<HidInterfaceInfo> Interfaces() const = 0;
    virtual int SetFeature(int interfaceIndex, std::span<const std::uint8_t> report) = 0;
    virtual int GetFeature(int interfaceIndex, std::span<std::uint8_t> report) = 0;
    virtual int Read(int interfaceIndex, std::span<std::uint8_t> report, int timeoutMs) = 0;
    // Readable while an input report may be waiting on the interface (-1: the interface has no
    // input). A Read that finds nothing clears it, so a stale wake-up costs one empty read.
    virtual int InputWaitFd(int /*interfaceIndex*/) const { return -1; }
    // Wakes every reader waiting on InputWaitFd, so that it looks at its handle again (an
    // interface was unplugged on its own).
    virtual void WakeReaders() {}
    // Called by the bus on attach and detach; a detached model wakes its waiting readers.
    virtual void SetAttached(bool attached) = 0;
};

// Reads one input report of a device model without a time-out: waits on the model's input
// wake-up until a report comes (its length), stop or closed is raised (0 for stop, -1 for
// closed), or the model answers -1 (detached). closed may be null.
int ReadVirtualInput(VirtualHidDevice& device, int interfaceIndex, std::span<std::uint8_t> report,
                     const WakeEvent& stop, const WakeEvent* closed);

class VirtualBus final : public HidBus {
public:
    VirtualBus() = default;
    ~VirtualBus() override;
    VirtualBus(const VirtualBus&) = delete;
    VirtualBus& operator=(const VirtualBus&) = delete;

    // Plugs the device in (again); its interfaces get fresh paths' handles.
    void Attach(std::shared_ptr<VirtualHidDevice> device);
    // Unplugs it: its interfaces leave the enumeration and every open handle to it fails.
    void Detach(const std::shared_ptr<VirtualHidDevice>& device);
    // Unplugs one interface of an attached device: it leaves the enumeration and its open
    // handles fail, while the device's other interfaces stay.
    void DetachInterface(const std::shared_ptr<VirtualHidDevice>& device, int interfaceIndex);
    // Called after every attach and detach, once per interface, outside the bus's lock
    // (arrived = false for a removal). Null stops the reports.
    using HotplugHook = std::function<void(bool arrived, const HidInterfaceInfo& info)>;
    void SetHotplugHook(HotplugHook hook);
    // Lists an interface that cannot be opened (a device removed between enumeration and
    // open), at the current end of the enumeration.
    void AddVanishedInterface(HidInterfaceInfo info);
    // Number of Open calls that returned a handle, for leak checks in tests.
    int OpenCount() const { return m_openCount.load(); }

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::shared_ptr<HidHandle> Open(const std::string& path, HidAccess access) override;

    struct Slot;  // one attach of one device

private:
    struct Listed {
        HidInterfaceInfo info;
        std::shared_ptr<Slot> slot;  // null for a vanished interface
        int interfaceIndex = 0;
    };
    mutable std::mutex m_mutex;
    std::vector<Listed> m_listed;
    std::vector<std::shared_ptr<Slot>> m_slots;
    int m_nextDeviceNumber = 0;
    std::atomic<int> m_openCount{0};
    std::mutex m_hookMutex;  // held while the hook runs, so that clearing it waits for a call
    HotplugHook m_hook;
    void Notify(bool arrived, const std::vector<HidInterfaceInfo>& infos);
};

}  // namespace zor
