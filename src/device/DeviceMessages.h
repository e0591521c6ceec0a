// Message numbers the device layer reports to the main window. They are the same numbers as the
// program's message table (ui/Messages.h); the core keeps its own copy so that it needs no GUI
// header.
#pragma once

namespace zor {

inline constexpr unsigned kMsgDeviceChange = 537;           // a HID interface arrived or left
inline constexpr unsigned kMsgDeviceDpiChanged = 2031;      // post: gear + 256 * UI key, device
inline constexpr unsigned kMsgDeviceProfileChanged = 2032;  // post: profile + 256 * UI key, device
inline constexpr unsigned kMsgDeviceLightChanged = 2040;    // send: (UI key << 8) | mode, device
inline constexpr unsigned kMsgDeviceRateChanged = 2041;     // send: rate code + 256 * UI key, device
inline constexpr unsigned kMsgReadDeviceState = 2053;       // send: 1 = connection changed, 1 = first read
inline constexpr unsigned kMsgBleEvent = 2065;              // post: lParam = event code, payload = text
inline constexpr unsigned kMsgDeviceStageSwitch = 2069;     // post: 0, device

// The name a report of the mouse's own is known by where it is shown outside the window
// (`zorctl watch`, the service's DeviceEvent signal), or null for a message that is none.
constexpr const char* DeviceEventName(unsigned message) {
    switch (message) {
        case kMsgDeviceDpiChanged:
            return "dpi";
        case kMsgDeviceProfileChanged:
            return "profile";
        case kMsgDeviceLightChanged:
            return "lighting";
        case kMsgDeviceRateChanged:
            return "report-rate";
        case kMsgDeviceStageSwitch:
            return "dpi-popup";
        case kMsgBleEvent:
            return "ble";
        default:
            return nullptr;
    }
}

}  // namespace zor
