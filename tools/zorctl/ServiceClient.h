// zorctl's way into the running program. While zormouse runs for the same program folder it is
// the one process that writes the user's files and talks to the mouse, and it serves its
// operations on the session D-Bus (docs/dbus.md); a command that changes the files or talks to
// the mouse then asks it instead of working in-process. With --standalone, without a session
// bus, or with no program serving this folder, CallProgram answers nothing and the command
// works in-process as before. This is the one place that decides which way a command goes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Command.h"

namespace zor::ctl {

// A value of a named-changes argument (a{sv}): i, u, b or s on the bus.
using ServiceValue = std::variant<int, std::uint32_t, bool, std::string>;
using ServiceChanges = std::map<std::string, ServiceValue>;
// An argument: i, s, a{sv} or ai.
using ServiceArg = std::variant<int, std::string, ServiceChanges, std::vector<int>>;

struct ServiceAnswer {
    bool ok = true;
    std::string error;                // why not, in the words of zorctl's one-line errors
    std::string text;                 // the method's answer (GetProfile: the JSON of `get --json`)
    std::vector<std::string> frames;  // every report the call sent ("> ") and read back ("< ")
};

// The method's answer from the program serving ctx's folder; nullopt when none serves it. A
// method of the mouse (mouse) goes there only when --virtual matches the program's mouse, and
// is refused otherwise.
std::optional<ServiceAnswer> CallProgram(CommandContext& ctx, const std::string& method,
                                         const std::vector<ServiceArg>& args, bool mouse = true);

// A report of the mouse's own as the program received it.
struct ProgramEvent {
    unsigned message = 0;
    long long wParam = 0;
    long long lParam = 0;
    std::string text;
};

// Hands each of the mouse's reports the program serving ctx's folder receives to print, until
// SIGINT or SIGTERM (0) or the program ends (1, after the line); nullopt when none serves it.
std::optional<int> WatchProgram(CommandContext& ctx, const std::function<void(const ProgramEvent&)>& print);

// Ends what talking to the program started (the Qt application under the bus connection) while
// the process's statics are all still there; main calls it once the command is done.
void EndProgramConnection();

// The frames on err under --trace, then: a failure's one line (1), or done on out (0; nothing
// when done is empty).
int Answered(CommandContext& ctx, const ServiceAnswer& answer, const std::string& done = {});

}  // namespace zor::ctl
