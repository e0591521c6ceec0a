// AutoUpdate: the updater program. It lives in AutoUpdate/ of the program folder, runs once per
// user (a later start brings the running window to the front, also out of minimised) and shows
// the UpdaterWindow in the program's skin and language.
//
//   AutoUpdate [--home DIR] [--screenshot FILE]
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "ui/SingleInstance.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/ProgramFolder.h"
#include "common/ProgramPaths.h"
#include "config/AppFeature.h"
#include "ui/Language.h"
#include "update/UpdatePaths.h"
#include "update/gui/UpdaterWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("AutoUpdate"));
    std::optional<std::filesystem::path> home;
    std::filesystem::path user;
    QString screenshot;
    const QStringList arguments = QApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--home") && i + 1 < arguments.size()) {
            home = arguments[++i].toStdString();
        } else if (arguments[i] == QLatin1String("--user") && i + 1 < arguments.size()) {
            user = arguments[++i].toStdString();
        } else if (arguments[i] == QLatin1String("--screenshot") && i + 1 < arguments.size()) {
            screenshot = arguments[++i];
        } else {
            std::fprintf(stderr, "usage: AutoUpdate [--home DIR [--user DIR]] [--screenshot FILE]\n");
            return 2;
        }
    }
    // The program folder is the one above AutoUpdate/ (which holds a res/ folder of its own),
    // unless given.
    const zor::ProgramFolderResult folder =
        zor::ResolveProgramFolder(home, zor::ExecutableDir().parent_path());
    if (!folder.error.empty()) {
        std::fprintf(stderr, "AutoUpdate: %s\n", folder.error.c_str());
        return 1;
    }
    // The installation's updater of an installed program: what it writes goes to the user's folder.
    if (!user.empty()) zor::paths::SetUserFolder(folder.folder, user);
    std::error_code ec;
    std::filesystem::current_path(folder.folder, ec);

    const QString name =
        QString::fromLatin1(zor::update::kUpdaterInstanceName.data(),
                            static_cast<qsizetype>(zor::update::kUpdaterInstanceName.size()));
    zor::ui::SingleInstance instance(name);
    if (!instance.Acquire()) {
        zor::DebugLine("the updater runs already: asking it to come to the front\n");
        return instance.NotifyFirst() ? 0 : 1;
    }

    const zor::AppFeature feature = zor::LoadAppFeature(folder.folder);
    const QString programFolder =
        QString::fromStdString(std::filesystem::absolute(folder.folder).string()) + '/';
    zor::ui::SetResourcePrefix(QStringLiteral("./") + QString::fromStdString(feature.resPath));
    zor::ui::CPaintManagerUI::SetInstancePath(programFolder);
    zor::ui::CPaintManagerUI::SetResourcePath(programFolder + QString::fromStdString(feature.resPath) + '/');

    zor::update::UpdaterWindow window(std::filesystem::absolute(folder.folder));
    QObject::connect(&window, &zor::update::UpdaterWindow::closed, &app, &QApplication::quit);
    instance.SetRaiseHandler([&window] {
        zor::DebugLine("brought to the front at the request of a later start\n");
        window.BringToFront();
    });
    window.Create(nullptr, name, zor::ui::kWsDialog | zor::ui::kWsMinimizeBox, 0,
                  QRect(0, 0, zor::update::UpdaterWindow::kWidth, zor::update::UpdaterWindow::kHeight));
    // The language's font face, as the program uses it.
    zor::ui::LanguageFile language;
    const int index = zor::ui::ProgramLanguage(folder.folder / "res" / "Set.ini");
    if (language.Load(folder.folder / zor::ui::LanguageFilePath(index).toStdString()) &&
        !language.FontName().isEmpty())
        zor::ui::RebuildFonts(window.PaintManager(), language.FontName());
    window.CenterWindow();
    if (!screenshot.isEmpty()) {
        // The picture is taken once the check has answered (or after a few seconds).
        auto shoot = [&window, screenshot] {
            const bool saved = window.grab().save(screenshot);
            std::fprintf(saved ? stdout : stderr, saved ? "screenshot saved to %s\n" : "could not save %s\n",
                         qPrintable(screenshot));
            QApplication::exit(saved ? 0 : 1);
        };
        QObject::connect(&window, &zor::update::UpdaterWindow::stateChanged, &window,
                         [shoot](zor::update::UpdaterWindow::State state) {
                             if (state != zor::update::UpdaterWindow::State::Checking)
                                 QTimer::singleShot(300, shoot);
                         });
        QTimer::singleShot(20000, &window, shoot);
    }
    return QApplication::exec();
}
