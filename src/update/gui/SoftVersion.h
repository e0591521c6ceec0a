// SoftVersion: the version window, opened from the main window. Each button does one step by
// hand: ask the desktop whether the computer is online, download the server's version file,
// show the installed and the newest version, start the updater, download the installer, open
// the manual. Downloads run on a worker thread with a progress bar and a Cancel button; every
// failure is shown in the window.
#pragma once

#include <QPointer>
#include <filesystem>
#include <memory>

#include "ui/Dialogs.h"
#include "ui/WindowImplBase.h"
#include "update/gui/BackgroundTask.h"

namespace zor::update {

class SoftVersion : public ui::WindowImplBase {
    Q_OBJECT
public:
    // The close code when the updater took over: the owner then ends the program through its
    // normal exit steps.
    static constexpr int kClosedForUpdate = 2;
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;

    SoftVersion(std::filesystem::path programFolder, QString text = {});
    ~SoftVersion() override;

    QString GetSkinFile() override { return QStringLiteral("SoftVersion.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("SoftVersion"); }
    void InitWindow() override;
    void Notify(ui::TNotifyUI& msg) override;
    void OnFinalMessage() override {}

    const QString& CurrentVersion() const { return m_current; }
    const QString& NewestVersion() const { return m_newest; }
    bool Busy() const { return m_task.Running(); }
    ui::CMsgWnd* MessageBox() const { return m_msgBox; }
    // The installer's file in the download folder (empty before a download was asked for).
    const std::filesystem::path& InstallerTarget() const { return m_installerTarget; }

signals:
    // A step has finished (its outcome is on screen).
    void stepFinished();

private:
    void CheckOnline();
    void DownloadVersionFile();
    void ShowVersions();
    void StartUpdater();
    void DownloadInstaller();
    void OpenDocument(const QString& name);
    void ShowMessage(const QString& text);
    void SetStatus(const QString& text, bool error = false);
    void SetWorking(bool working);
    void ShowProgress(std::uint64_t received, std::uint64_t total);

    std::filesystem::path m_folder;
    QString m_text;
    QString m_current = QStringLiteral("0");
    QString m_newest = QStringLiteral("0");
    std::filesystem::path m_installerTarget;
    BackgroundTask m_task;
    QPointer<ui::CMsgWnd> m_msgBox;
};

}  // namespace zor::update
