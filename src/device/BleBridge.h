// The Bluetooth LE bridge: carries command frames as hex text to a mouse linked over BLE and
// reports link events and the mouse's replies and input reports back.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zor {

// Event codes of the bridge.
inline constexpr int kBleEventLinkUp = 1;
inline constexpr int kBleEventLinkDown = 2;
inline constexpr int kBleEventConnectFailed = 3;
inline constexpr int kBleEventReconnect = 4;
inline constexpr int kBleEventBattery = 16;
inline constexpr int kBleEventQueryThenConnect = 17;
inline constexpr int kBleEventInputBase = 0x500;  // 0x500..0x5FF: an input report
inline constexpr int kBleEventReplyBase = 0x600;  // 0x600..0x6FF: a reply; low four bits = op

// code, and for reports the text: upper-case two-digit hex bytes separated by single spaces.
using BleEventHandler = std::function<void(int code, const std::string& text)>;

class BleBridge {
public:
    virtual ~BleBridge() = default;
    // Starts connecting to one of the comma-separated device names; events report the outcome.
    virtual bool BleConnect(const std::string& deviceNames) = 0;
    // The bridge's 16-bit status value; nullopt when the call failed.
    virtual std::optional<std::int16_t> BleQuery() = 0;
    // Sends one frame written as lower-case hex text; the 16-bit result, nullopt when the call
    // failed.
    virtual std::optional<std::int16_t> BleSend(const std::string& frameText) = 0;
    virtual void SetEventHandler(BleEventHandler handler) = 0;
    // The registration result: whether this system can use the bridge at all. When it cannot,
    // the program says that Bluetooth is unavailable instead of connecting.
    virtual bool Registered() const { return true; }
};

}  // namespace zor
