// Texts of the update windows: section [UpdateUI] of the program's current language file
// (res/Set.ini, Set/Language; English when that language has no file), with the English text
// of the code as the fallback. UI thread only.
#pragma once

#include <QString>
#include <filesystem>

namespace zor::ui {
class WindowImplBase;
}

namespace zor::update {

// Reads the texts again (a window calls it when it opens: the language may have changed).
void LoadUpdateTexts(const std::filesystem::path& programFolder);
QString UpdateText(const char* id, const char* english);
// Gives every control of the window that the section names its text.
void ApplyUpdateTexts(ui::WindowImplBase& window);

}  // namespace zor::update
