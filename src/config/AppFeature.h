// The application's own values, kept in the description file of the sample model folder
// "res/MouseVarn/MouseA/Config/DeviceFeature.ini" under the program folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zor {

struct AppFeature {
    std::string mutexName;    // Init/MutexName: name of the single-instance lock
    std::string resPath;      // Config/ResPath: skin folder in use
    std::string preResPath1;  // Config/PreResPath1: first skin folder
    std::string preResPath2;  // Config/PreResPath2: second skin folder
    int keySelLedVis = 1;     // Config/KeySelLedVis: non-zero shows the lighting item of the key popup
};

std::filesystem::path AppFeaturePath(const std::filesystem::path& programFolder);

// Missing keys read as empty text; a missing KeySelLedVis reads as 1.
AppFeature LoadAppFeature(const std::filesystem::path& programFolder);

// Writes Config/ResPath; false when the file could not be written.
bool SaveResPath(const std::filesystem::path& programFolder, std::string_view folder);

}  // namespace zor
