// The autostart entry of the desktop session: an XDG autostart file
// ($XDG_CONFIG_HOME/autostart/<SoftName>.desktop) whose Exec line starts the program, with
// "-silent" when it is to start hidden. Start-up brings it in line with the preferences.
#pragma once

#include <filesystem>
#include <string>

namespace zor::app {

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart; empty when neither can be found.
std::filesystem::path AutostartFolder();

// The desktop entry text for the program at executable, named name.
std::string AutostartEntry(const std::string& name, const std::filesystem::path& executable, bool hidden);

enum class AutostartResult { Written, Unchanged, Removed, Failed };

// Writes folder/<name>.desktop when open is set (with -silent when hidden is set), removes it
// otherwise. A name that is empty or not a plain file name, or no folder, fails without touching
// anything; a file that already says the same is left alone.
AutostartResult AlignAutostart(const std::filesystem::path& folder, const std::string& name,
                               const std::filesystem::path& executable, bool open, bool hidden);

}  // namespace zor::app
