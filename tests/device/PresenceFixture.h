// The presence test bench: a virtual bus with hot-plug reports, the catalog's two entries (the
// mouse by cable and its 2.4G receiver), a recording message sink and a window state that
// follows the messages the way the main window does.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceMessages.h"
#include "device/DevicePresence.h"
#include "device/HotplugMonitor.h"
#include "device/RecordingMessageSink.h"
#include "device/VirtualBus.h"
#include "device/virtual/VirtualMouse.h"

namespace zor::test {

using namespace std::chrono_literals;
inline constexpr auto kWait = 3s;  // bound on every wait; a pass never comes near it

// The virtual mouse seen through another bus type or product string, optionally with a third
// interface (a boot keyboard) in front of its two vendor collections, as receivers have.
class WrappedMouse final : public VirtualHidDevice {
public:
    WrappedMouse(std::shared_ptr<VirtualMouse> mouse, HidBusType busType, std::string product, bool keyboard)
        : m_mouse(std::move(mouse)),
          m_busType(busType),
          m_product(std::move(product)),
          m_keyboard(keyboard) {}

    std::vector<HidInterfaceInfo> Interfaces() const override {
        auto list = m_mouse->Interfaces();
        for (auto& info : list) {
            info.busType = m_busType;
            if (!m_product.empty()) info.productString = m_product;
        }
        if (m_keyboard) {
            HidInterfaceInfo keyboard = list.front();
            keyboard.usagePage = 0x01;
            keyboard.usage = 0x06;
            list.push_back(keyboard);
        }
        return list;
    }
    int SetFeature(int i, std::span<const std::uint8_t> r) override {
        return i < 2 ? m_mouse->SetFeature(i, r) : -1;
    }
    int GetFeature(int i, std::span<std::uint8_t> r) override {
        return i < 2 ? m_mouse->GetFeature(i, r) : -1;
    }
    int Read(int i, std::span<std::uint8_t> r, int timeoutMs) override {
        return i < 2 ? m_mouse->Read(i, r, timeoutMs) : -1;
    }
    int InputWaitFd(int i) const override { return i < 2 ? m_mouse->InputWaitFd(i) : -1; }
    void WakeReaders() override { m_mouse->WakeReaders(); }
    void SetAttached(bool attached) override { m_mouse->SetAttached(attached); }

private:
    std::shared_ptr<VirtualMouse> m_mouse;
    HidBusType m_busType;
    std::string m_product;
    bool m_keyboard;
};

inline std::vector<DeviceEntry> CatalogEntries() {
    DeviceEntry cable;
    cable.devType = 1;
    cable.isUsb = 1;
    cable.vendorIds = {kVirtualVendorId};
    cable.productIds = {kVirtualCableProductId};
    cable.names = {"Zor MouseA"};
    DeviceEntry receiver = cable;
    receiver.isUsb = 0;
    receiver.productIds = {kVirtualReceiverProductId};
    receiver.names = {"Zor MouseA Receiver"};
    return {cable, receiver};
}

// UI key index of the mouse's buttons: slot = key bit + 1.
inline constexpr int kUiDpiKey = 10;
inline constexpr int kUiProfileKey = 11;
inline constexpr int kUiLightingKey = 12;
inline constexpr int kUiRateKey = 13;

class PresenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.SetKeySlotMap({{6, kUiDpiKey}, {7, kUiProfileKey}, {8, kUiLightingKey}, {9, kUiRateKey}});
        DeviceViewState shown;
        shown.gearMask = 0x1F;
        shown.reportRateCode = 1;
        view.Set(shown);
        // Follow the reported changes as the main window does.
        sink.SetObserver([this](const SinkMessage& m) {
            const int value = static_cast<int>(m.wParam & 0xFF);
            view.Update([&](DeviceViewState& s) {
                if (m.message == kMsgDeviceDpiChanged) s.currentGear = value - 1;
                if (m.message == kMsgDeviceProfileChanged) s.activeProfile = value;
                if (m.message == kMsgDeviceLightChanged) s.lightingMode = (value & 0x3F) - 1;
                if (m.message == kMsgDeviceRateChanged) s.reportRateCode = value;
            });
        });
        monitor.Start([this](const HotplugEvent& e) { changes.push_back(e); });
        presence.StartWorker();
    }
    void TearDown() override {
        presence.Shutdown();
        monitor.Stop();
    }

    // Plugs a device in, lets presence handle the arrivals, selects and starts listeners.
    void PlugIn(const std::shared_ptr<VirtualHidDevice>& device) {
        bus.Attach(device);
        HandleChanges();
    }
    bool HandleChanges() {
        bool changed = false;
        for (const auto& e : changes) changed = presence.OnDeviceChange(e) || changed;
        changes.clear();
        presence.AutoSelect();
        presence.StartListeners();
        return changed;
    }
    std::size_t Count(unsigned message) const { return sink.MessagesOf(message).size(); }
    bool WaitFor(unsigned message, std::size_t count) { return sink.WaitForCount(message, count, kWait); }

    VirtualBus bus;
    VirtualHotplugMonitor monitor{bus};
    std::vector<HotplugEvent> changes;
    std::vector<DeviceEntry> entries = CatalogEntries();
    LinkState link;
    RecordingMessageSink sink;
    DeviceView view;
    DevicePresence presence{
        bus, link, entries, sink, view,
    };
};

}  // namespace zor::test
