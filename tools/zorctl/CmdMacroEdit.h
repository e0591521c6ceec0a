// The editing subcommands of zorctl macro.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Command.h"
#include "macro/MacroStore.h"

namespace zor::ctl {

inline constexpr const char* kMacroEditUsage =
    "add-group NAME|add NAME --group GROUP|events GROUP/NAME|insert GROUP/NAME --at N EVENT|"
    "delete-event GROUP/NAME --at N|loop GROUP/NAME until-release|until-click|times N|"
    "rename GROUP[/NAME] NEWNAME|remove GROUP[/NAME] [--force]";

// Runs an editing subcommand; nothing when args[0] is not one.
std::optional<int> RunMacroEdit(CommandContext& ctx, MacroStore& store, std::vector<std::string> args);

}  // namespace zor::ctl
