// Start-up checks of the files without which the main window would open blank: the application's
// description (it names the skin folder) and the main skin file with the controls the window is
// made of. A problem is told in one clear message that names the file, and the program ends
// with exit code 1 instead of showing an empty window.
#pragma once

#include <QString>
#include <filesystem>

#include "config/AppFeature.h"
#include "ui/Markup.h"

namespace zor::ui {
class WindowImplBase;
}

namespace zor::app {

inline constexpr const char* kMainSkinFile = "MainWnd.xml";

// Empty when the skin folder named by the description and its main skin file can be used;
// otherwise what is wrong, naming the file. The main skin file is read to check it; when skin is
// given, it receives what was read, for the window to be built from.
QString CheckSkinResources(const std::filesystem::path& programFolder, const AppFeature& feature,
                           ui::CMarkup* skin = nullptr);

// Empty when the built main window holds, visible, the controls it cannot work without (the
// page tabs and the close button); otherwise what is missing, naming the skin file.
QString CheckMainWindowControls(const ui::WindowImplBase& window, const QString& skinFile);

// Tells the problem on stderr and, where a screen can show it, in a message box.
void ReportStartProblem(const QString& text);

}  // namespace zor::app
