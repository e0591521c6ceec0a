#include "app/Autostart.h"

#include <cstdlib>

#include "common/AtomicFile.h"

namespace zor::app {

namespace {

// An Exec argument in double quotes: quote, backquote, dollar and backslash take a backslash,
// which the file's own string escaping doubles; '%' is doubled because Exec gives it a meaning of its own.
std::string QuoteExecArgument(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\')
            out += "\\\\\\\\";
        else if (c == '"' || c == '`' || c == '$')
            out += std::string("\\\\") + c;
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out + "\"";
}

bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

std::filesystem::path AutostartFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        return std::filesystem::path(config) / "autostart";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::filesystem::path(home) / ".config" / "autostart";
    return {};
}

std::string AutostartEntry(const std::string& name, const std::filesystem::path& executable, bool hidden) {
    std::string exec = QuoteExecArgument(executable.string());
    if (hidden) exec += " -silent";
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec +
           "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

AutostartResult AlignAutostart(const std::filesystem::path& folder, const std::string& name,
                               const std::filesystem::path& executable, bool open, bool hidden) {
    if (folder.empty() || !PlainName(name)) return AutostartResult::Failed;
    const std::filesystem::path file = folder / (name + ".desktop");
    std::error_code ec;
    if (!open) {
        if (!std::filesystem::exists(file, ec)) return AutostartResult::Unchanged;
        return std::filesystem::remove(file, ec) ? AutostartResult::Removed : AutostartResult::Failed;
    }
    if (executable.empty()) return AutostartResult::Failed;
    const std::string text = AutostartEntry(name, executable, hidden);
    std::string current;
    if (ReadFileBytes(file, current) && current == text) return AutostartResult::Unchanged;
    std::filesystem::create_directories(folder, ec);
    return WriteFileAtomic(file, text) ? AutostartResult::Written : AutostartResult::Failed;
}

}  // namespace zor::app
