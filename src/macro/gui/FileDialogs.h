// The system's file dialogs for exchange files, behind one seam that tests answer.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace zor {

struct FileDialogRequest {
    bool save = false;
    QString filter;     // "Config File(*.Macro.Config)"
    QString suggested;  // save: the suggested file name
};

// Open dialog for one or several existing files; empty when cancelled.
QStringList ChooseOpenFiles(QWidget* owner, const QString& filter, bool several);
// Save dialog that asks before replacing a file; suffix ("Macro.Config") is added when the name
// does not end in it. Empty when cancelled.
QString ChooseSaveFile(QWidget* owner, const QString& filter, const QString& suggested,
                       const QString& suffix);

// Tests: every dialog is answered by this function instead (null restores the dialogs).
void SetFileDialogAnswer(std::function<QStringList(const FileDialogRequest&)> answer);

}  // namespace zor
