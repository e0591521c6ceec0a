// The main window's message table: every custom message number with the part of the program
// that owns it, and the program-internal messages the window uses on top of the table.
#pragma once

#include <vector>

#include "ui/Messages.h"

namespace zor::app {

// Program-internal: the device-state read that message 2053 started has finished (worker ->
// window). Outside the range 2025-2074, which is the table's.
inline constexpr unsigned kMsgStateReadDone = 2090;
// Program-internal: the charge counter read the settings window asked for has finished.
inline constexpr unsigned kMsgChargeCounterRead = 2091;

struct MessageOwner {
    unsigned message;
    const char* owner;  // "main window", "apply pipeline", "DPI page", or a page not built yet
    bool built;         // false: the message reaches a handler that says so in a debug line
};

// Every message the window routes (standard, library and custom ones), in number order.
const std::vector<MessageOwner>& MessageOwners();

}  // namespace zor::app
