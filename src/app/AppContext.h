// What start-up hands to the main window: the program folder, the instance name, the command
// line and the device choice.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "device/virtual/VirtualMouse.h"

namespace zor {
class Sleeper;
}

namespace zor::app {

struct AppContext {
    std::filesystem::path programFolder = ".";
    QString instanceName;
    QString commandLine;  // the arguments as one text; only "-silent" has a meaning
    bool virtualMouse = false;
    VirtualLinkKind virtualKind = VirtualLinkKind::Receiver;
    Sleeper* sleeper = nullptr;  // protocol pauses; null = real time
    int hotplugSettleMs = 1000;  // wait after a device change before the device is used
    bool showNoDeviceBox = true;
    // Where the autostart entry lives; empty: the session's XDG autostart folder.
    std::filesystem::path autostartFolder;
    // Pause before a failed Bluetooth LE connection is tried again.
    int bleRetryMs = 10000;
    // How often the battery of a mouse on its cable or receiver is read again.
    int batteryTimerMs = 20000;
    // Treat the desktop as having a notification area (tests on the offscreen platform).
    bool assumeTray = false;
    // Opens a web address and answers whether it was opened; empty: the desktop's default
    // handler (tests record instead).
    std::function<bool(const QUrl&)> openUrl;
};

}  // namespace zor::app
