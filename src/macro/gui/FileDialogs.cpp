#include "macro/gui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace zor {

namespace {
std::function<QStringList(const FileDialogRequest&)>& Answer() {
    static std::function<QStringList(const FileDialogRequest&)> answer;
    return answer;
}
}  // namespace

void SetFileDialogAnswer(std::function<QStringList(const FileDialogRequest&)> answer) {
    Answer() = std::move(answer);
}

QStringList ChooseOpenFiles(QWidget* owner, const QString& filter, bool several) {
    if (Answer()) return Answer()({false, filter, {}});
    // The working directory is left alone: the program folder stays the current directory.
    if (several) return QFileDialog::getOpenFileNames(owner, QString(), QDir::homePath(), filter);
    const QString one = QFileDialog::getOpenFileName(owner, QString(), QDir::homePath(), filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QString ChooseSaveFile(QWidget* owner, const QString& filter, const QString& suggested,
                       const QString& suffix) {
    QString path;
    if (Answer()) {
        const QStringList answer = Answer()({true, filter, suggested});
        path = answer.isEmpty() ? QString() : answer.first();
    } else {
        QFileDialog dialog(owner, QString(), QDir::homePath(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(suggested);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    // A name typed without the exchange suffix gets all of it, so that the open dialog's filter
    // finds the file again.
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        path += QLatin1Char('.') + suffix;
    return path;
}

}  // namespace zor
