// Application values of the sample model's description file.
#include "config/AppFeature.h"
#include "common/ProgramPaths.h"

#include "common/IniFile.h"

namespace zor {

std::filesystem::path AppFeaturePath(const std::filesystem::path& programFolder) {
    return paths::AppDescription(programFolder);
}

AppFeature LoadAppFeature(const std::filesystem::path& programFolder) {
    const IniFile ini(AppFeaturePath(programFolder));
    AppFeature app;
    app.mutexName = ini.GetString("Init", "MutexName");
    app.resPath = ini.GetString("Config", "ResPath");
    app.preResPath1 = ini.GetString("Config", "PreResPath1");
    app.preResPath2 = ini.GetString("Config", "PreResPath2");
    app.keySelLedVis = ini.GetIntOr("Config", "KeySelLedVis", 1);
    return app;
}

bool SaveResPath(const std::filesystem::path& programFolder, std::string_view folder) {
    IniFile ini(AppFeaturePath(programFolder));
    return ini.WriteString("Config", "ResPath", folder);
}

}  // namespace zor
