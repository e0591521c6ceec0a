// How the program judges the mouse's link from what it knows, and how it tries a failed
// Bluetooth LE connection again. Without Qt: the main window's presence display applies them.
#pragma once

#include "device/DevicePresence.h"

namespace zor::control {

// Failed BLE connection attempts tried again before the program gives up and says so.
inline constexpr int kBleConnectTries = 5;

struct LinkFacts {
    bool ble = false;       // the BLE link is up
    bool selected = false;  // a catalog device (cable or receiver) is found and selected
    int connectionKind = kConnectionCable;
    int receiverLink = -1;  // a receiver's mouse: -1 not known yet, 0 away, 1 linked
};

// Counted as connected: over BLE, on a cable, or on a receiver not known to have lost its mouse
// (a fresh receiver is given the benefit of the doubt until it reports).
bool CountsAsLinked(const LinkFacts& facts);
// Reachable without BLE: on a cable, or on a receiver that has reported its mouse.
bool ReachableByHid(const LinkFacts& facts);

// Failed BLE connection attempts: each is tried again after a pause until kBleConnectTries have
// been tried again; the next failure gives up (the user is told) and starts the count afresh.
class BleRetries {
public:
    enum class Next { Nothing, Retry, GiveUp };
    // A failed attempt; nothing is tried while the mouse is reachable another way.
    Next OnFailure(bool reachableOtherwise);
    void Reset() { m_failures = 0; }
    int Failures() const { return m_failures; }

private:
    int m_failures = 0;
};

}  // namespace zor::control
