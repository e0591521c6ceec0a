// `zorctl set WHAT ...`: each settings target (dpi, rate, key, lighting, power, ...) registers
// itself here from its own file, as commands do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Command.h"

namespace zor::ctl {

struct SetTarget {
    std::string name;   // "dpi"
    std::string usage;  // "dpi --profile P --gear N [--value DPI] ..."
    // Gets the context with the target's own arguments (the target name removed).
    CommandHandler handler;
};

std::vector<SetTarget>& SetTargets();

struct SetTargetRegistration {
    SetTargetRegistration(std::string name, std::string usage, CommandHandler handler);
};

// Reads "--profile P" (0, 1 or 2); -1 when absent, -2 (after the error line) when invalid.
int ProfileOption(CommandContext& ctx, std::vector<std::string>& args);

}  // namespace zor::ctl
