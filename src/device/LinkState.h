// The link record shared by everything that talks to the selected mouse.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/HidBus.h"

namespace zor {

class BleBridge;

struct LinkState {
    // Handles of the selected device: the feature collection carries commands, the input
    // collection the mouse's own reports.
    std::shared_ptr<HidHandle> featureHandle;
    std::shared_ptr<HidHandle> inputHandle;
    // Non-zero while the selected device is reached over BLE.
    std::atomic<int> bleMode{0};
    // Result of setting up the bridge; any non-zero value means that there is no bridge.
    int bleStatus = 1;
    BleBridge* ble = nullptr;
    // One sequence counter for all commands; it wraps 255 -> 0 and is never reset.
    std::uint8_t sequence = 0;
    // Guards one command exchange (a command and the read of its reply) and the counter.
    std::recursive_mutex exchangeMutex;

    void UseBridge(BleBridge* bridge) {
        ble = bridge;
        bleStatus = bridge != nullptr ? 0 : 1;
    }
};

}  // namespace zor
