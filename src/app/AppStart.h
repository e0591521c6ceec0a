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
    std::optional<std::filesystem::path> home;  // --home DIR
    QString screenshot;                         // --screenshot FILE: grab the main window, save it and exit
    QString error;                              // an argument that could not be used
};

StartOptions ParseArguments(const QStringList& arguments);
QString UsageText();

// The whole program; returns the process's exit code.
int RunZorMouse(int argc, char** argv);

}  // namespace zor::app
