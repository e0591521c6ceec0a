// Start-up of zormouse: the command line, the program folder made the current directory, the
// instance name and skin folder from the application's description file, single instance, the
// main window (and with --virtual the virtual mouse and its control window), the event loop.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>

namespace zor::app {

struct StartOptions {
    bool silent = false;        // "-silent": the only argument the described program knows
    bool virtualMouse = false;  // --virtual / --virtual-cable
    bool virtualCable = false;
    bool help = false;
    bool version = false;                       // --version
    std::optional<std::filesystem::path> home;  // --home DIR
    QString screenshot;                         // --screenshot FILE: grab the main window, save it and exit
    QString error;                              // an argument that could not be used
};

StartOptions ParseArguments(const QStringList& arguments);
QString UsageText();
QString VersionText();
// The answer to --help or --version (printed, with the exit code), which needs no display;
// nullopt when the program is to start.
std::optional<int> AnswerWithoutWindow(const StartOptions& options);

// The whole program; returns the process's exit code.
int RunZorMouse(int argc, char** argv);

}  // namespace zor::app
