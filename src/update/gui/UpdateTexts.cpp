#include "update/gui/UpdateTexts.h"

#include <utility>
#include <vector>

#include "common/IniFile.h"
#include "ui/Controls.h"
#include "ui/Language.h"
#include "ui/WindowImplBase.h"

namespace zor::update {
namespace {

// The section is longer than the 4096 characters of a plain section read.
constexpr std::size_t kSectionCap = 64 * 1024;

std::vector<std::pair<QString, QString>>& Table() {
    static std::vector<std::pair<QString, QString>> table;
    return table;
}

}  // namespace

void LoadUpdateTexts(const std::filesystem::path& programFolder) {
    Table().clear();
    std::filesystem::path file =
        programFolder /
        ui::LanguageFilePath(ui::ProgramLanguage(programFolder / "res" / "Set.ini")).toStdString();
    if (!std::filesystem::exists(file))
        file = programFolder / ui::LanguageFilePath(ui::kEnglishIndex).toStdString();
    for (const std::string& line : IniFile(file).GetSection("UpdateUI", kSectionCap)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        Table().emplace_back(QString::fromStdString(line.substr(0, eq)).trimmed(),
                             QString::fromStdString(line.substr(eq + 1)));
    }
}

QString UpdateText(const char* id, const char* english) {
    const QString key = QString::fromLatin1(id);
    for (const auto& [name, text] : Table())
        if (name.compare(key, Qt::CaseInsensitive) == 0 && !text.isEmpty()) return text;
    return QString::fromUtf8(english);
}

void ApplyUpdateTexts(ui::WindowImplBase& window) {
    for (const auto& [name, text] : Table())
        if (ui::CControlUI* control = window.FindControl(name)) control->SetText(text);
}

}  // namespace zor::update
