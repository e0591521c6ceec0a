// The updater's window ("AutoUpdate"): it asks the update service for the newest release, says
// what it will do, downloads the release with a progress bar and a Cancel button into the
// download folder, checks the SHA-256 the service published, and only then hands the file to
// the system: a Debian package is opened with the desktop's package installer, an archive is
// unpacked beside the program folder when that place is writable (else its folder is opened).
// A download that fails or does not match is deleted and the window says so.
#pragma once

#include <filesystem>

#include "ui/WindowImplBase.h"
#include "update/Http.h"
#include "update/VersionCheck.h"
#include "update/gui/BackgroundTask.h"

namespace zor::update {

class UpdaterWindow : public ui::WindowImplBase {
    Q_OBJECT
public:
    enum class State {
        Checking,
        CheckFailed,
        UpToDate,
        Available,
        Downloading,
        Unpacking,
        HandedOver,
        Failed,
        Cancelled
    };
    static constexpr int kWidth = 560;
    static constexpr int kHeight = 400;

    explicit UpdaterWindow(std::filesystem::path programFolder, HttpLimits checkLimits = {});
    ~UpdaterWindow() override;

    QString GetSkinFile() override { return QStringLiteral("AutoUpdate.xml"); }
    QString GetWindowClassName() const override;
    void InitWindow() override;
    void Notify(ui::TNotifyUI& msg) override;
    void OnFinalMessage() override;

    // Shows the window in front, restored from minimised (a later start of the updater asks
    // for this).
    void BringToFront();
    // Asks the service again (also what "Try again" does after a failed check).
    void StartCheck();

    State GetState() const { return m_state; }
    const CheckResult& LastCheck() const { return m_check; }
    // The verified download (empty until one passed its check).
    const std::filesystem::path& DownloadedFile() const { return m_file; }
    // Where an archive was unpacked (empty otherwise).
    const std::filesystem::path& UnpackedFolder() const { return m_unpacked; }
    QString StatusText() const;

    // The folder an archive is unpacked into, beside the program folder; empty when the
    // program folder's parent is not writable.
    static std::filesystem::path UnpackTarget(const std::filesystem::path& programFolder,
                                              const std::string& fileName);
    static bool IsArchive(const std::string& fileName);

signals:
    void stateChanged(zor::update::UpdaterWindow::State state);
    // The window has closed: the updater ends.
    void closed();

private:
    void SetState(State state);
    void ShowCheck();
    void StartDownload();
    void HandOver();
    void ShowFailure(const QString& headline, const QString& detail);
    void SetTexts(const QString& headline, const QString& detail, const QString& notes = {});
    void SetButtons(const QString& action, bool actionEnabled, const QString& cancel);
    void ShowProgress(std::uint64_t received, std::uint64_t total);

    std::filesystem::path m_folder;
    HttpLimits m_limits;
    State m_state = State::Checking;
    CheckResult m_check;
    std::filesystem::path m_file;
    std::filesystem::path m_unpacked;
    BackgroundTask m_task;
};

}  // namespace zor::update
