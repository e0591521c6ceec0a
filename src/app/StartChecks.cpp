#include "app/StartChecks.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

#include "common/AtomicFile.h"
#include "common/ProgramPaths.h"
#include "config/DeviceFeature.h"
#include "ui/Markup.h"
#include "ui/WindowImplBase.h"

namespace zor::app {

namespace {

// Far above any real skin or description file; a larger one is not read at all.
constexpr std::size_t kMaxResourceBytes = 16u * 1024u * 1024u;

QString Path(const std::filesystem::path& path) {
    return QString::fromStdString(path.lexically_normal().string());
}

bool IsFolderName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    return true;
}

}  // namespace

QString CheckSkinResources(const std::filesystem::path& programFolder, const AppFeature& feature,
                           ui::CMarkup* skinOut) {
    const std::filesystem::path description = AppFeaturePath(programFolder);
    // The same check zorctl makes before it uses a model: a damaged description is said here.
    if (const DescriptionResult check =
            CheckDeviceFeature(paths::ModelFolder(programFolder, paths::kAppModel));
        !check.ok())
        return QString::fromStdString(check.error);
    std::string bytes;
    if (!ReadFileBytes(description, bytes, kMaxResourceBytes))
        return QStringLiteral("cannot read %1 (it names the skin folder)").arg(Path(description));
    if (feature.resPath.empty())
        return QStringLiteral("%1: the skin folder (ResPath in section Config) is missing")
            .arg(Path(description));
    if (!IsFolderName(feature.resPath))
        return QStringLiteral("%1: ResPath \"%2\" is not the name of a skin folder")
            .arg(Path(description), QString::fromStdString(feature.resPath));
    const std::filesystem::path folder = programFolder / feature.resPath;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return QStringLiteral("%1: the skin folder \"%2\" named by ResPath does not exist")
            .arg(Path(description), QString::fromStdString(feature.resPath));
    const std::filesystem::path skin = folder / kMainSkinFile;
    if (!ReadFileBytes(skin, bytes, kMaxResourceBytes))
        return QStringLiteral("cannot read %1").arg(Path(skin));
    ui::CMarkup markup;
    if (!markup.Load(QByteArray::fromStdString(bytes)))
        return QStringLiteral("%1 is not a skin file: %2").arg(Path(skin), markup.LastError());
    if (markup.Root().name.compare(QLatin1String("Window"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("%1 is not a skin file: its root element is <%2>, not <Window>")
            .arg(Path(skin), markup.Root().name);
    if (skinOut != nullptr) *skinOut = std::move(markup);
    return {};
}

QString CheckMainWindowControls(const ui::WindowImplBase& window, const QString& skinFile) {
    QStringList missing;
    for (const char* name : {"tab_main", "btn_close"}) {
        const ui::CControlUI* control = window.FindControl(QString::fromLatin1(name));
        if (control == nullptr || !control->isVisibleTo(&window)) missing << QString::fromLatin1(name);
    }
    if (missing.isEmpty()) return {};
    return QStringLiteral("%1 does not give the main window its controls (%2 missing or hidden)")
        .arg(skinFile, missing.join(QStringLiteral(", ")));
}

void ReportStartProblem(const QString& text) {
    std::fprintf(stderr, "zormouse: %s\n", qPrintable(text));
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
    QMessageBox::critical(nullptr, QStringLiteral("Zor Mouse"), text);
}

}  // namespace zor::app
