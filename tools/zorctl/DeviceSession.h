// The device side of a zorctl command: the HID bus (real devices, or the virtual mouse with
// --virtual), the catalog matched against it, the selected device and the command set over it.
#pragma once

#include <iosfwd>
#include <memory>

#include "Command.h"
#include "catalog/FindDev.h"
#include "common/Sleeper.h"
#include "device/CommandSet.h"
#include "device/HidBus.h"
#include "device/LinkState.h"
#include "device/Transport.h"

namespace zor {
class VirtualMouse;
}

namespace zor::ctl {

class DeviceSession {
public:
    // Loads the catalog of the program folder and matches every entry; --trace sends every
    // report to err.
    DeviceSession(const Options& options, std::ostream& err);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    FindDev& Finder() { return m_finder; }
    // The device the program would select: the first found entry; null when none is found.
    const DeviceEntry* Selected() const;
    CommandSet& Commands() { return m_commands; }

private:
    std::unique_ptr<HidBus> m_bus;
    std::shared_ptr<VirtualMouse> m_mouse;
    LinkState m_link;
    RealSleeper m_sleeper;
    Transport m_transport{m_link, m_sleeper};
    CommandSet m_commands{m_transport};
    FindDev m_finder;
    int m_selected = -1;
};

}  // namespace zor::ctl
