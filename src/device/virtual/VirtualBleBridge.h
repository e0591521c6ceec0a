// A BLE bridge to the virtual mouse: frames arrive as hex text, replies go back as bridge
// events, as the real bridge delivers them.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/BleBridge.h"
#include "device/virtual/VirtualMouse.h"

namespace zor {

class VirtualBleBridge final : public BleBridge {
public:
    explicit VirtualBleBridge(std::shared_ptr<VirtualMouse> mouse) : m_mouse(std::move(mouse)) {}
    ~VirtualBleBridge() override;
    VirtualBleBridge(const VirtualBleBridge&) = delete;
    VirtualBleBridge& operator=(const VirtualBleBridge&) = delete;

    bool BleConnect(const std::string& deviceNames) override;
    std::optional<std::int16_t> BleQuery() override;
    std::optional<std::int16_t> BleSend(const std::string& frameText) override;
    void SetEventHandler(BleEventHandler handler) override;

    // Test controls: make the bridge's calls fail; take the link down (reported when it was up).
    void SetFailing(bool failing);
    // Whether the mouse can be reached over BLE at all (it is on when the bridge is made); a
    // mouse that is not advertising makes BleConnect report a failed attempt.
    void SetAdvertising(bool advertising);
    void DropLink();
    std::vector<std::string> SentTexts() const;
    // Raises the battery event with the mouse's status reply.
    void ReportBattery();

private:
    void Emit(int code, const std::string& text);
    // While linked, the mouse's input reports travel as input events (0x500 + report id). The
    // mouse must then not also be read through a bus listener.
    void RelayInput();
    void StopRelay();

    std::thread m_relay;
    std::atomic<bool> m_relayStop{false};
    WakeEvent m_relayWake;  // raised to stop the relay, which sleeps until the mouse reports

    std::shared_ptr<VirtualMouse> m_mouse;
    mutable std::mutex m_mutex;
    BleEventHandler m_handler;
    std::vector<std::string> m_sent;
    bool m_failing = false;
    bool m_advertising = true;
    bool m_connected = false;
};

}  // namespace zor
