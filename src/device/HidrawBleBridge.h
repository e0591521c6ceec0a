// The BLE bridge of this system: BlueZ presents a Bluetooth LE mouse as hidraw nodes with bus
// type Bluetooth, so the bridge finds the mouse by its product string among the BLE device names,
// carries command frames as feature reports and reports replies, input reports, the battery and
// link changes as bridge events.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/Sleeper.h"
#include "device/BleBridge.h"
#include "device/HidBus.h"
#include "device/HotplugMonitor.h"

namespace zor {

class HidrawBleBridge final : public BleBridge {
public:
    HidrawBleBridge(HidBus& bus, Sleeper& sleeper);
    ~HidrawBleBridge() override;
    HidrawBleBridge(const HidrawBleBridge&) = delete;
    HidrawBleBridge& operator=(const HidrawBleBridge&) = delete;

    // Links to the first Bluetooth HID device whose product string is one of the names: link up
    // (then the battery), or connect failed.
    bool BleConnect(const std::string& deviceNames) override;
    // 1 while linked, 0 otherwise.
    std::optional<std::int16_t> BleQuery() override;
    // Sends the frame; a read command's reply comes back as event 0x600 + (command & 0x0F).
    std::optional<std::int16_t> BleSend(const std::string& frameText) override;
    void SetEventHandler(BleEventHandler handler) override;
    bool Registered() const override;

    // Hot-plug: the linked node going away takes the link down; a Bluetooth HID device arriving
    // while unlinked links again to the names of the last BleConnect (link up), or, when there
    // was none, asks the program to connect (event 4).
    void OnHotplug(const HotplugEvent& event);
    bool Linked() const;

    // Whether this system has a Bluetooth adapter (/sys/class/bluetooth is not empty).
    static bool BluetoothPresent();

private:
    void Emit(int code, const std::string& text);
    // Opens the first listed Bluetooth device; link up and battery on success.
    bool Link(const std::string& deviceNames);
    void ReadInput(std::shared_ptr<HidHandle> input);
    void Disconnect(bool announce);
    void ReportBattery();

    HidBus& m_bus;
    Sleeper& m_sleeper;
    mutable std::mutex m_mutex;
    BleEventHandler m_handler;
    std::shared_ptr<HidHandle> m_feature;
    std::shared_ptr<HidHandle> m_input;
    std::string m_featurePath;
    std::string m_inputPath;
    std::string m_names;  // of the last BleConnect
    std::thread m_reader;
    std::atomic<bool> m_stopReader{false};
    std::condition_variable m_readerStop;
    WakeEvent m_readerWake;  // raised to stop the input reader, which sleeps in poll()
};

}  // namespace zor
