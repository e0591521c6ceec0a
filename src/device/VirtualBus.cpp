#include "device/VirtualBus.h"

#include <algorithm>

#include "common/Text.h"

namespace zor {

struct VirtualBus::Slot {
    std::shared_ptr<VirtualHidDevice> device;
    std::atomic<bool> attached{true};
    std::atomic<std::uint32_t> goneInterfaces{0};  // bit i: interface i was unplugged alone
};

namespace {

class VirtualHandle final : public HidHandle {
public:
    VirtualHandle(std::shared_ptr<VirtualBus::Slot> slot, int interfaceIndex, std::string path)
        : m_slot(std::move(slot)), m_interfaceIndex(interfaceIndex), m_path(std::move(path)) {}

    int SetFeature(std::span<const std::uint8_t> report) override {
        auto slot = Live();
        return slot ? slot->device->SetFeature(m_interfaceIndex, report) : -1;
    }
    int GetFeature(std::span<std::uint8_t> report) override {
        auto slot = Live();
        return slot ? slot->device->GetFeature(m_interfaceIndex, report) : -1;
    }
    int Read(std::span<std::uint8_t> report, int timeoutMs) override {
        auto slot = Live();
        return slot ? slot->device->Read(m_interfaceIndex, report, timeoutMs) : -1;
    }
    int ReadUntil(std::span<std::uint8_t> report, const WakeEvent& stop) override {
        for (;;) {
            auto slot = Live();
            if (!slot) return -1;
            const int got = slot->device->Read(m_interfaceIndex, report, 0);
            if (got != 0) return got;
            // Looked at after the empty read, which clears the model's wake-up: an unplug marks
            // the interface gone before it wakes the readers, so none is missed.
            if (!Live()) return -1;
            const int ready =
                WaitReadable({slot->device->InputWaitFd(m_interfaceIndex), stop.Fd(), m_closed.Fd()});
            if (ready == 1) return 0;
            if (ready != 0) return -1;
        }
    }
    void Close() override {
        std::lock_guard lock(m_mutex);
        m_slot.reset();
        m_closed.Raise();
    }
    bool IsOpen() const override { return Live() != nullptr; }
    const std::string& Path() const override { return m_path; }

private:
    std::shared_ptr<VirtualBus::Slot> Live() const {
        std::lock_guard lock(m_mutex);
        if (m_slot && m_slot->attached.load() &&
            (m_slot->goneInterfaces.load() & (1u << m_interfaceIndex)) == 0)
            return m_slot;
        return nullptr;
    }

    mutable std::mutex m_mutex;
    std::shared_ptr<VirtualBus::Slot> m_slot;
    int m_interfaceIndex;
    std::string m_path;
    WakeEvent m_closed;
};

}  // namespace

int ReadVirtualInput(VirtualHidDevice& device, int interfaceIndex, std::span<std::uint8_t> report,
                     const WakeEvent& stop, const WakeEvent* closed) {
    for (;;) {
        const int got = device.Read(interfaceIndex, report, 0);
        if (got != 0) return got;
        const int ready =
            WaitReadable({device.InputWaitFd(interfaceIndex), stop.Fd(), closed ? closed->Fd() : -1});
        if (ready == 1) return 0;
        if (ready == 2 || ready < 0) return -1;
    }
}

VirtualBus::~VirtualBus() {
    std::lock_guard lock(m_mutex);
    for (auto& slot : m_slots) slot->attached = false;
}

void VirtualBus::Attach(std::shared_ptr<VirtualHidDevice> device) {
    if (!device) return;
    Detach(device);
    auto slot = std::make_shared<Slot>();
    slot->device = device;
    std::vector<HidInterfaceInfo> arrived;
    {
        std::lock_guard lock(m_mutex);
        const int number = m_nextDeviceNumber++;
        const auto interfaces = device->Interfaces();
        for (std::size_t i = 0; i < interfaces.size(); ++i) {
            Listed listed{interfaces[i], slot, static_cast<int>(i)};
            listed.info.path = Format("/dev/zor-virtual/%d-%d", number, static_cast<int>(i));
            arrived.push_back(listed.info);
            m_listed.push_back(std::move(listed));
        }
        m_slots.push_back(slot);
    }
    device->SetAttached(true);
    Notify(true, arrived);
}

void VirtualBus::Detach(const std::shared_ptr<VirtualHidDevice>& device) {
    bool wasAttached = false;
    std::vector<HidInterfaceInfo> removed;
    {
        std::lock_guard lock(m_mutex);
        for (auto& slot : m_slots) {
            if (slot->device == device) {
                slot->attached = false;
                wasAttached = true;
            }
        }
        std::erase_if(m_slots, [&](const auto& slot) { return slot->device == device; });
        for (const Listed& l : m_listed) {
            if (l.slot && l.slot->device == device) removed.push_back(l.info);
        }
        std::erase_if(m_listed, [&](const Listed& l) { return l.slot && l.slot->device == device; });
    }
    if (wasAttached) device->SetAttached(false);
    Notify(false, removed);
}

void VirtualBus::DetachInterface(const std::shared_ptr<VirtualHidDevice>& device, int interfaceIndex) {
    std::vector<HidInterfaceInfo> removed;
    {
        std::lock_guard lock(m_mutex);
        for (const Listed& l : m_listed) {
            if (l.slot && l.slot->device == device && l.interfaceIndex == interfaceIndex) {
                l.slot->goneInterfaces |= 1u << interfaceIndex;
                removed.push_back(l.info);
            }
        }
        std::erase_if(m_listed, [&](const Listed& l) {
            return l.slot && l.slot->device == device && l.interfaceIndex == interfaceIndex;
        });
    }
    device->WakeReaders();
    Notify(false, removed);
}

void VirtualBus::SetHotplugHook(HotplugHook hook) {
    std::lock_guard lock(m_hookMutex);
    m_hook = std::move(hook);
}

void VirtualBus::Notify(bool arrived, const std::vector<HidInterfaceInfo>& infos) {
    std::lock_guard lock(m_hookMutex);
    if (!m_hook) return;
    for (const auto& info : infos) m_hook(arrived, info);
}

void VirtualBus::AddVanishedInterface(HidInterfaceInfo info) {
    std::lock_guard lock(m_mutex);
    info.path = Format("/dev/zor-virtual/gone-%d", m_nextDeviceNumber++);
    m_listed.push_back(Listed{std::move(info), nullptr, 0});
}

std::vector<HidInterfaceInfo> VirtualBus::Enumerate() {
    std::lock_guard lock(m_mutex);
    std::vector<HidInterfaceInfo> result;
    for (const auto& listed : m_listed) result.push_back(listed.info);
    return result;
}

std::shared_ptr<HidHandle> VirtualBus::Open(const std::string& path, HidAccess /*access*/) {
    std::lock_guard lock(m_mutex);
    for (const auto& listed : m_listed) {
        if (listed.info.path != path) continue;
        if (!listed.slot || !listed.slot->attached.load()) return nullptr;
        ++m_openCount;
        return std::make_shared<VirtualHandle>(listed.slot, listed.interfaceIndex, path);
    }
    return nullptr;
}

}  // namespace zor
