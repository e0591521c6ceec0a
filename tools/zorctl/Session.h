// The control layer's session for a zorctl command: the program folder and device choice of the
// command line, and --trace writing every report to the error stream.
#pragma once

#include <ostream>

#include "Command.h"
#include "common/Text.h"
#include "control/CommandSession.h"
#include "control/Operations.h"
#include "device/Transport.h"

namespace zor::ctl {

inline control::CommandSessionOptions SessionOptions(const Options& options, std::ostream& err) {
    control::CommandSessionOptions session;
    session.programFolder = options.home;
    session.virtualMouse = options.virtualMouse;
    session.virtualFault = options.virtualFault;
    session.virtualFaultAfter = options.virtualFaultAfter;
    if (options.trace) {
        session.trace = [&err](TraceDirection direction, std::span<const std::uint8_t> bytes) {
            err << TraceLine(direction, bytes) << '\n';
        };
    }
    return session;
}

// DeliveryProblem (control/Operations) says why a run did not bring a change into the mouse.
using control::DeliveryProblem;

}  // namespace zor::ctl
