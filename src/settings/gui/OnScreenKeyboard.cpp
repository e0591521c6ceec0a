#include "settings/gui/OnScreenKeyboard.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include "common/Debug.h"

namespace zor {

QStringList OnScreenKeyboardPrograms() {
    return {QStringLiteral("onboard"), QStringLiteral("florence"), QStringLiteral("matchbox-keyboard"),
            QStringLiteral("kvkbd"), QStringLiteral("xvkbd")};
}

bool StartOnScreenKeyboard() {
    for (const QString& program : OnScreenKeyboardPrograms()) {
        const QString path = QStandardPaths::findExecutable(program);
        if (path.isEmpty()) continue;
        if (QProcess::startDetached(path, {})) {
            DebugF("on-screen keyboard: %s started\n", path.toStdString());
            return true;
        }
    }
    // GNOME Shell has a keyboard of its own, switched on by a setting rather than started.
    const QString desktop =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CURRENT_DESKTOP"));
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (desktop.contains(QLatin1String("GNOME"), Qt::CaseInsensitive) && !gsettings.isEmpty()) {
        return QProcess::startDetached(
            gsettings, {QStringLiteral("set"), QStringLiteral("org.gnome.desktop.a11y.applications"),
                        QStringLiteral("screen-keyboard-enabled"), QStringLiteral("true")});
    }
    DebugLine("on-screen keyboard: none installed\n");
    return false;
}

}  // namespace zor
