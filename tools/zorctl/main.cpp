// zorctl: the command-line tool over the program's core.
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include "Command.h"
#include "ServiceClient.h"
#include "SetTarget.h"
#include "common/FileStamp.h"
#include "common/ProgramFolder.h"
#include "common/Text.h"
#include "common/Version.h"
#include "config/AppFeature.h"

namespace zor::ctl {

std::vector<CommandInfo>& Commands() {
    static std::vector<CommandInfo> commands;
    return commands;
}

CommandRegistration::CommandRegistration(std::string name, std::string usage, std::string summary,
                                         CommandHandler handler) {
    Commands().push_back({std::move(name), std::move(usage), std::move(summary), std::move(handler)});
}

int Fail(CommandContext& ctx, const std::string& message) {
    // Messages carry the user's arguments, paths and texts of files: never raw to the terminal.
    ctx.err << "zorctl: " << PrintableText(message);
    // A save held back because another program changed the file: the command read an old
    // document, and running it again reads the new one.
    if (message.ends_with(kChangedOnDisk)) ctx.err << "; run again";
    ctx.err << '\n';
    return 1;
}

std::filesystem::path UserPath(const CommandContext& ctx, const std::string& argument) {
    const std::filesystem::path path(argument);
    return path.is_absolute() || ctx.options.cwd.empty() ? path : ctx.options.cwd / path;
}

bool IsProgramFile(const CommandContext& ctx, const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false;
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    if (ec) return false;
    const std::filesystem::path home = std::filesystem::weakly_canonical(ctx.options.home, ec);
    if (ec) return false;
    const auto rel = target.lexically_relative(home);
    return !rel.empty() && *rel.begin() != "..";
}

namespace {

bool ParseVirtualFault(const std::string& text, Options& options) {
    const std::size_t colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    if (kind == "stop")
        options.virtualFault = MouseFault::StopAnswering;
    else if (kind == "garbage")
        options.virtualFault = MouseFault::Garbage;
    else if (kind == "unplug")
        options.virtualFault = MouseFault::Unplug;
    else
        return false;
    if (colon == std::string::npos) return true;
    const std::string frames = text.substr(colon + 1);
    if (frames.empty() || frames.size() > 4 || frames.find_first_not_of("0123456789") != std::string::npos)
        return false;
    options.virtualFaultAfter = std::stoi(frames);
    return true;
}

// The parts of text between the separators sep outside square brackets; with keep, each part
// but the last ends with its separator.
std::vector<std::string> SplitOutsideBrackets(const std::string& text, char sep, bool keep) {
    std::vector<std::string> parts(1);
    int depth = 0;
    for (const char c : text) {
        if (c == '[') ++depth;
        if (c == ']' && depth > 0) --depth;
        if (c == sep && depth == 0) {
            if (keep) parts.back() += c;
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// text broken into lines of at most kHelpColumns characters, the first line after first, the
// others after next. A line breaks after a "|" between alternatives, or at a space when an
// alternative is longer than a line; never inside square brackets.
constexpr std::size_t kHelpColumns = 79;

std::string WrapHelp(const std::string& text, const std::string& first, const std::string& next) {
    std::string out;
    std::string line = first;
    bool empty = true;  // nothing of text on the line yet
    auto add = [&](const std::string& piece, const std::string& glue) {
        if (!empty && line.size() + glue.size() + piece.size() > kHelpColumns) {
            out += line + '\n';
            line = next;
            empty = true;
        }
        line += (empty ? std::string() : glue) + piece;
        empty = false;
    };
    for (const std::string& alternative : SplitOutsideBrackets(text, '|', true)) {
        const bool fits = std::min(line.size(), next.size()) + alternative.size() <= kHelpColumns;
        if (fits) {
            add(alternative, "");
            continue;
        }
        bool firstWord = true;
        for (const std::string& word : SplitOutsideBrackets(alternative, ' ', false)) {
            if (word.empty()) continue;
            add(word, firstWord ? "" : " ");
            firstWord = false;
        }
    }
    return out + line + '\n';
}

void PrintHelp(std::ostream& out) {
    out << "Usage: zorctl [options] COMMAND [arguments]\n\n"
           "Options:\n"
           "  --home DIR   the program folder (holds res/); default: $ZOR_HOME, the\n"
           "               executable's folder, or the installation's share/zormouse\n"
           "               with your own files in ~/.local/share/zormouse\n"
           "  --json       machine-readable output\n"
           "  --virtual    talk to the virtual mouse instead of real devices\n"
           "  --trace      print every report sent (\"> \") and read back (\"< \") on stderr\n"
           "  --standalone work in-process even while zormouse runs for the same folder\n"
           "               (otherwise the running program does the work)\n"
           "  --virtual-fault KIND[:N]\n"
           "               the virtual mouse misbehaves after N frames: stop (stops\n"
           "               answering), garbage (replies with noise) or unplug (is\n"
           "               unplugged)\n"
           "  --version    the program's version\n"
           "  --help       this text\n\n"
           "Commands:\n";
    auto commands = Commands();
    std::sort(commands.begin(), commands.end(), [](auto& a, auto& b) { return a.name < b.name; });
    // Each command's usage, wrapped at spaces to the terminal's customary 80 columns, then its
    // summary indented below it: one usage as long as macro's would otherwise push every summary
    // hundreds of columns to the right.
    for (const auto& c : commands) {
        out << WrapHelp(c.usage, "  ", "      ");
        out << WrapHelp(c.summary, "        ", "        ");
    }
    out << "\nSettings (zorctl [--virtual] [--trace] set ...):\n";
    for (const SetTarget& target : SetTargets()) out << WrapHelp("set " + target.usage, "  ", "      ");
}

}  // namespace

int Main(int argc, char** argv) {
    Options options;
    std::optional<std::filesystem::path> home;
    std::string commandName;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Global options are recognised before and after the command name.
        if ((arg == "--help" || arg == "-h") && commandName.empty()) {
            PrintHelp(std::cout);
            return 0;
        } else if (arg == "--version" && commandName.empty()) {
            std::cout << "zorctl " << kVersion << '\n';
            return 0;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--virtual") {
            options.virtualMouse = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--standalone") {
            options.standalone = true;
        } else if (arg == "--virtual-fault") {
            if (i + 1 >= argc || !ParseVirtualFault(argv[i + 1], options)) {
                std::cerr
                    << "zorctl: --virtual-fault takes stop, garbage or unplug, optionally with :FRAMES\n";
                return 2;
            }
            ++i;
        } else if (arg == "--home") {
            if (i + 1 >= argc) {
                std::cerr << "zorctl: --home needs a folder\n";
                return 2;
            }
            home = argv[++i];
        } else if (!commandName.empty()) {
            options.args.push_back(arg);
        } else if (arg.rfind("--", 0) == 0) {
            std::cerr << "zorctl: unknown option " << PrintableText(arg) << " (see zorctl --help)\n";
            return 2;
        } else {
            commandName = arg;
        }
    }
    if (commandName.empty()) {
        PrintHelp(std::cerr);
        return 2;
    }
    const auto& commands = Commands();
    const auto it =
        std::find_if(commands.begin(), commands.end(), [&](auto& c) { return c.name == commandName; });
    if (it == commands.end()) {
        std::cerr << "zorctl: unknown command " << PrintableText(commandName) << " (see zorctl --help)\n";
        return 2;
    }
    if (std::find(options.args.begin(), options.args.end(), "--help") != options.args.end()) {
        std::cout << "Usage: zorctl [options] " << it->usage << "\n  " << it->summary << '\n';
        return 0;
    }

    // Said to a person at a terminal, never refused (containers and CI run as root), and kept
    // out of the output that scripts read.
    if (const std::string warning = RootWarning("zorctl", ::geteuid());
        !warning.empty() && ::isatty(STDERR_FILENO))
        std::cerr << warning;
    // Paths on the command line are the user's: remember where they are relative to before
    // entering the program folder.
    std::error_code cwdError;
    options.cwd = std::filesystem::current_path(cwdError);
    const ProgramFolderResult folder = ResolveProgramFolder(home);
    if (!folder.error.empty()) {
        std::cerr << "zorctl: " << PrintableText(folder.error) << '\n';
        return 1;
    }
    // Every relative resource path of the core is relative to the program folder.
    if (::chdir(folder.folder.c_str()) != 0) {
        std::cerr << "zorctl: cannot enter the program folder " << PrintableText(folder.folder.string())
                  << '\n';
        return 1;
    }
    options.home = folder.folder;
    // A zorctl killed while saving leaves temporary files as the program does: they are removed
    // the way the program's start removes them, under its lock, never while it runs.
    RemoveStaleSavesUnderInstanceLock(folder.folder, LoadAppFeature(folder.folder).mutexName);
    CommandContext ctx{options, std::cout, std::cerr};
    int code = 1;
    try {
        code = it->handler(ctx);
    } catch (const std::exception& e) {
        code = Fail(ctx, std::string("unexpected error: ") + e.what());
    }
    EndProgramConnection();
    return code;
}

}  // namespace zor::ctl

int main(int argc, char** argv) {
    return zor::ctl::Main(argc, argv);
}
