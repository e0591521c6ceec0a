// Device presence: which catalog devices are attached and how the selected one is reached.
// Hot-plug arrivals and removals re-match catalog entries; one input listener per found device
// turns the mouse's status reports into device events; the event worker turns those into the
// main window's messages; the BLE bridge's input reports take the same path.
//
// Every method runs on the thread that owns the catalog entries (the UI thread); the listeners
// and the worker run on their own threads and only ever touch copies of what they need.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/BleBridge.h"
#include "device/CommandSet.h"
#include "device/DeviceEntry.h"
#include "device/DeviceView.h"
#include "device/EventQueue.h"
#include "device/EventWorker.h"
#include "device/HidBus.h"
#include "device/HotplugMonitor.h"
#include "device/InputListener.h"
#include "device/KeyState.h"
#include "device/LinkState.h"
#include "device/MessageSink.h"

namespace zor {

inline constexpr int kConnectionCable = 1;     // the first catalog entry, or nothing found
inline constexpr int kConnectionReceiver = 2;  // the second catalog entry

// The connection icon of the home page; empty when the icon is to be left as it is.
std::string ConnectionIcon(bool bleMode, int connectionKind, int receiverState);

class DevicePresence {
public:
    DevicePresence(HidBus& bus, LinkState& link, std::vector<DeviceEntry>& entries, MessageSink& sink,
                   DeviceView& view);
    ~DevicePresence();
    DevicePresence(const DevicePresence&) = delete;
    DevicePresence& operator=(const DevicePresence&) = delete;

    // The event worker runs from here until Shutdown.
    void StartWorker();
    // True when a catalog device appeared / disappeared; the caller then refreshes its pages,
    // selects again and restarts the listeners.
    bool OnArrival(std::uint16_t vendorId, std::uint16_t productId);
    bool OnRemoval(std::uint16_t vendorId, std::uint16_t productId);
    // How an entry is matched against the bus (MatchDevice unless replaced: the device stack
    // takes the device's lock with it).
    void SetMatcher(std::function<bool(DeviceEntry&)> matcher) { m_matcher = std::move(matcher); }
    bool OnDeviceChange(const HotplugEvent& event);
    // One listener per found entry; listeners of removed devices or replaced handles are ended.
    void StartListeners();
    void StopListeners();
    int RunningListeners() const;
    // Selects the first found of the first two entries and asks for a device-state read (2053).
    void AutoSelect();
    // Ends every listener and the worker; the destructor does this too.
    void Shutdown();

    // BLE: the bridge (null: none) and the comma-separated names it may connect to. The bridge
    // must outlive the presence, or be detached (null) before it goes. Attach before starting
    // listeners: a receiver that loses its mouse makes its listener call ConnectBle. Reply
    // events go to the command set (when given) on the bridge's thread as they arrive, so that
    // a read waiting for its reply has it, and are then posted like every event.
    void AttachBle(BleBridge* bridge, std::string deviceNames, CommandSet* commands = nullptr);
    // The same, with the names asked for only when a connection is tried.
    using NameSource = std::function<std::string()>;
    void AttachBle(BleBridge* bridge, NameSource deviceNames, CommandSet* commands = nullptr);
    // BleConnect with the names, unless an attempt is already in progress or there is no bridge.
    bool ConnectBle();
    // The link bookkeeping of a bridge event, run where message 2065 is handled: link up and
    // down, a failed attempt, input reports.
    void HandleBleEvent(int code, const std::string& text);
    // An input report as bridge text: the listener's key and DPI rules for the selected device.
    // False (and nothing changed) for malformed or short text.
    bool HandleBleInput(const std::string& text);

    int ReceiverState() const { return m_receiverState.load(); }
    // The link state a state read found: a receiver reports its link only when it changes, so
    // the window's read is where the first value comes from.
    void SetReceiverState(int state) { m_receiverState = state; }
    int ConnectionKind() const { return m_connectionKind; }
    int Selected() const { return m_selected; }
    bool BleConnecting() const { return m_bleConnecting.load(); }
    EventQueue& Queue() { return m_queue; }
    const KeyState& Keys() const { return m_keys; }

private:
    void OnInputReport(const ListenerTarget& target, std::span<const std::uint8_t> report);
    int SelectedCatalogType() const;

    std::function<bool(DeviceEntry&)> m_matcher;
    HidBus& m_bus;
    LinkState& m_link;
    std::vector<DeviceEntry>& m_entries;
    MessageSink& m_sink;
    DeviceView& m_view;

    EventQueue m_queue;
    KeyState m_keys;
    EventWorker m_worker;
    std::vector<std::unique_ptr<InputListener>> m_listeners;

    std::atomic<int> m_receiverState{0};
    int m_connectionKind = kConnectionCable;
    int m_selected = -1;

    BleBridge* m_ble = nullptr;
    NameSource m_bleNames;
    std::atomic<bool> m_bleConnecting{false};
};

}  // namespace zor
