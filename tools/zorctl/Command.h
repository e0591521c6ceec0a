// zorctl commands register themselves with a name, a one-line usage text and a handler.
// Each command lives in its own Cmd<Name>.cpp file.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "device/virtual/VirtualMouse.h"

namespace zor::ctl {

struct Options {
    std::filesystem::path home;     // program folder (resolved; made the current directory)
    std::filesystem::path cwd;      // the user's current directory when zorctl started
    bool json = false;              // --json: machine-readable output
    bool virtualMouse = false;      // --virtual: the virtual mouse instead of real devices
    bool trace = false;             // --trace: every report on stderr
    bool standalone = false;        // --standalone: in-process even while the program runs
    MouseFault virtualFault = MouseFault::None;  // --virtual-fault KIND[:FRAMES]: after so many
    int virtualFaultAfter = 0;                   // frames the virtual mouse misbehaves
    std::vector<std::string> args;  // the command's own arguments (after the command name)
};

struct CommandContext {
    Options options;
    std::ostream& out;
    std::ostream& err;
};

// Returns the process exit code: 0 success, 1 failure (after one clear line on err), 2 usage.
using CommandHandler = std::function<int(CommandContext&)>;

struct CommandInfo {
    std::string name;
    std::string usage;  // e.g. "feature [--chip N]"
    std::string summary;
    CommandHandler handler;
};

std::vector<CommandInfo>& Commands();

struct CommandRegistration {
    CommandRegistration(std::string name, std::string usage, std::string summary, CommandHandler handler);
};

// Writes "zorctl: <message>" on err and returns 1.
int Fail(CommandContext& ctx, const std::string& message);

// A path given on the command line: a relative one is relative to the user's current directory,
// not to the program folder that zorctl works in.
std::filesystem::path UserPath(const CommandContext& ctx, const std::string& argument);
// True when path names an existing file (or a link to one) inside the program folder: exports
// never replace the program's own files.
bool IsProgramFile(const CommandContext& ctx, const std::filesystem::path& path);

// --json output: commands build an nlohmann::json value and print it with dump(4).

}  // namespace zor::ctl
