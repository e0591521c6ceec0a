// The control layer's session for a zorctl command: the program folder and device choice of the
// command line, and --trace writing every report to the error stream.
#pragma once

#include <ostream>

#include "Command.h"
#include "common/Text.h"
#include "control/CommandSession.h"
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

// Why a run did not bring the change into the mouse (one line), or "" when it did. The change
// itself is saved: the next synchronisation with the mouse sends it.
inline std::string DeliveryProblem(const control::RunResult& run) {
    if (run.failedFrames > 0)
        return Format(
            "the mouse did not answer (%d %s not delivered); the change is saved and is sent when the "
            "mouse answers again",
            run.failedFrames, run.failedFrames == 1 ? "frame" : "frames");
    if (run.badReplies > 0)
        return "the mouse's replies were not answers to what was sent; the change is saved and is sent when "
               "the mouse answers again";
    return {};
}

}  // namespace zor::ctl
