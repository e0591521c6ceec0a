// The script of `zorctl --virtual watch --script FILE`: one action on the virtual mouse per
// line, checked whole before anything runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/virtual/VirtualMouse.h"

namespace zor::ctl {

enum class ScriptOp { Press, Release, Click, Unplug, Replug, DropLink, RestoreLink, Battery, Wait };

struct ScriptStep {
    ScriptOp op = ScriptOp::Wait;
    MouseButton button = MouseButton::Dpi;
    int value = 0;  // battery percent, or milliseconds to wait
    bool charging = false;
    int line = 0;
};

struct ScriptResult {
    std::vector<ScriptStep> steps;
    std::string error;  // "line N: ..." when the script cannot run
};

// Larger script files are refused: a script is a few lines a person writes.
inline constexpr std::uint64_t kMaxWatchScriptBytes = 1024u * 1024u;

// Lines: "press|release|click dpi|profile|lighting|rate", "unplug", "replug", "drop-link",
// "restore-link", "battery PERCENT [charging]", "wait MS"; blank lines and "#" comments ignored.
ScriptResult ParseWatchScript(const std::string& text);

}  // namespace zor::ctl
