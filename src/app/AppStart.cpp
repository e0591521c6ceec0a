#include "app/AppStart.h"

#include <unistd.h>
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "ui/SingleInstance.h"
#include "app/ControlService.h"
#include "app/StartChecks.h"
#include "app/VirtualMouseWindow.h"
#include "app/ZorMainWnd.h"
#include "common/Debug.h"
#include "common/ProgramFolder.h"
#include "common/Version.h"
#include "config/AppFeature.h"

namespace zor::app {

StartOptions ParseArguments(const QStringList& arguments) {
    StartOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("-silent"))
            options.silent = true;
        else if (a == QLatin1String("--virtual"))
            options.virtualMouse = true;
        else if (a == QLatin1String("--virtual-cable"))
            options.virtualMouse = options.virtualCable = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            options.help = true;
        else if (a == QLatin1String("--version"))
            options.version = true;
        else if ((a == QLatin1String("--home") || a == QLatin1String("--screenshot")) &&
                 i + 1 < arguments.size()) {
            if (a == QLatin1String("--home"))
                options.home = std::filesystem::path(arguments[++i].toStdString());
            else
                options.screenshot = arguments[++i];
        } else if (a.startsWith(QLatin1String("-"))) {
            options.error = QStringLiteral("unknown argument: %1").arg(a);
        }
    }
    return options;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: zormouse [-silent] [--virtual | --virtual-cable] [--home DIR]\n"
        "                [--screenshot FILE]\n"
        "  -silent          start hidden in the notification area (as autostart does)\n"
        "  --virtual        use the built-in virtual mouse behind its 2.4 GHz receiver,\n"
        "                   with the \"Virtual mouse\" window to press its buttons, unplug\n"
        "                   it and so on\n"
        "  --virtual-cable  the same, with the virtual mouse on a cable\n"
        "  --home DIR       the program folder (the one that holds res/); also $ZOR_HOME\n"
        "  --screenshot F   save a picture of the main window to F once it shows the\n"
        "                   mouse, then exit\n"
        "  --version        the program's version\n"
        "  --help           this text\n");
}

QString VersionText() {
    return QStringLiteral("zormouse %1\n").arg(QLatin1String(kVersion));
}

std::optional<int> AnswerWithoutWindow(const StartOptions& options) {
    // Arguments not understood here may still be Qt's own (-platform, -style): not reported.
    if (options.help) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(qPrintable(VersionText()), stdout);
        return 0;
    }
    return std::nullopt;
}

int RunZorMouse(int argc, char** argv) {
    // --help and --version are answered before Qt looks for a display, so that they work on a
    // machine without one. Other arguments are judged once Qt has taken its own (-platform ...).
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    if (const auto code = AnswerWithoutWindow(ParseArguments(raw))) return *code;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zormouse"));
    QApplication::setApplicationVersion(QLatin1String(kVersion));
    QApplication::setQuitOnLastWindowClosed(false);
    const StartOptions options = ParseArguments(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(options.error));
        std::fputs(qPrintable(UsageText()), stderr);
        return 2;
    }

    // Said to a person at a terminal, never refused: containers and CI run everything as root.
    if (const std::string warning = RootWarning("zormouse", ::geteuid());
        !warning.empty() && ::isatty(STDERR_FILENO))
        std::fputs(warning.c_str(), stderr);

    const ProgramFolderResult folder = ResolveProgramFolder(options.home);
    if (!folder.error.empty()) {
        std::fprintf(stderr, "zormouse: %s\n", folder.error.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::current_path(folder.folder, ec);
    const AppFeature feature = LoadAppFeature(folder.folder);
    const QString instanceName = QString::fromStdString(feature.mutexName);

    // The skin folder and main skin file are checked before anything is built on them: a
    // damaged one is said, naming the file, rather than giving an empty window.
    ui::CMarkup mainSkin;
    if (const QString problem = CheckSkinResources(folder.folder, feature, &mainSkin); !problem.isEmpty()) {
        ReportStartProblem(problem);
        return 1;
    }

    ui::SingleInstance instance(instanceName);
    if (!instance.Acquire()) {
        DebugLine("another copy runs: asking it to come to the front\n");
        // No copy answering: the holder was a zorctl tidying the program folder, which lets go
        // at once, or a copy that is ending.
        if (instance.NotifyFirst() || !instance.Acquire(std::chrono::seconds(2))) return 0;
    }
    // No other copy runs now: temporary files of its saves that were cut off can go.
    RemoveStaleSaves(folder.folder);

    const QString programFolder =
        QString::fromStdString(std::filesystem::absolute(folder.folder).string()) + '/';
    ui::SetResourcePrefix(QStringLiteral("./") + QString::fromStdString(feature.resPath));
    ui::CPaintManagerUI::SetInstancePath(programFolder);
    ui::CPaintManagerUI::SetResourcePath(programFolder + QString::fromStdString(feature.resPath) + '/');

    AppContext context;
    context.programFolder = std::filesystem::absolute(folder.folder);
    context.instanceName = instanceName;
    context.commandLine = options.silent ? QStringLiteral("-silent") : QString();
    context.virtualMouse = options.virtualMouse;
    context.virtualKind = options.virtualCable ? VirtualLinkKind::Cable : VirtualLinkKind::Receiver;

    auto* window = new CZorMainWnd(context);
    instance.SetRaiseHandler([window] {
        DebugLine("restored at the request of a later start\n");
        window->Restore(false);
    });
    window->UseReadSkin(std::move(mainSkin));
    const bool built =
        window->Create(nullptr, instanceName, ui::kWsDialog | ui::kWsMinimizeBox, 0, QRect(0, 0, 990, 690));
    const QString skinFile = ui::CPaintManagerUI::GetResourcePath() + QLatin1String(kMainSkinFile);
    if (const QString problem =
            built ? CheckMainWindowControls(*window, skinFile)
                  : QStringLiteral("%1 could not be built into the main window").arg(skinFile);
        !problem.isEmpty()) {
        window->hide();
        ReportStartProblem(problem);
        delete window;
        return 1;
    }
    window->CenterWindow();
    // zorctl and the desktop reach the program's operations on the session bus.
    auto service = std::make_unique<ControlService>(*window);
    service->Register(QDBusConnection::sessionBus());

    std::unique_ptr<VirtualMouseWindow> control;
    if (options.virtualMouse && options.screenshot.isEmpty()) {
        // The stand-in for the mouse in the hand is no part of the program's window: it opens
        // once the event loop runs, after the main window.
        QTimer::singleShot(0, window, [window, &control] {
            control = std::make_unique<VirtualMouseWindow>(window->Stack());
            QObject::connect(window, &CZorMainWnd::applyFinished, control.get(),
                             &VirtualMouseWindow::UpdateState);
            control->show();
            control->PlaceBeside(*window);
        });
    }
    if (!options.screenshot.isEmpty()) {
        // The picture is taken once the first synchronisation has shown the mouse's settings,
        // or after a few seconds when there is nothing to synchronise with.
        auto shoot = [window, file = options.screenshot] {
            const bool saved = window->grab().save(file);
            std::fprintf(saved ? stdout : stderr, saved ? "screenshot saved to %s\n" : "could not save %s\n",
                         qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        };
        QObject::connect(window, &CZorMainWnd::applyFinished, window,
                         [shoot] { QTimer::singleShot(300, shoot); });
        QTimer::singleShot(8000, window, shoot);
    }
    const int code = QApplication::exec();
    control.reset();
    service.reset();
    delete window;
    return code;
}

}  // namespace zor::app
