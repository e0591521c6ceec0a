#include "update/gui/UpdaterWindow.h"

#include <unistd.h>
#include <QDesktopServices>
#include <QUrl>

#include "common/Debug.h"
#include "common/Text.h"
#include "ui/Controls.h"
#include "update/UpdatePaths.h"
#include "update/gui/ArchiveUnpack.h"
#include "update/gui/UpdateTexts.h"

namespace zor::update {

using ui::CControlUI;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Texts from the service, the version file and the system's messages: escaped and cut to a
// length the window can show.
constexpr std::size_t kVersionChars = 64;
constexpr std::size_t kReasonChars = 300;
constexpr std::size_t kNotesChars = 2000;
QString Shown(const std::string& text, std::size_t maxChars = kReasonChars, bool keepLineBreaks = false) {
    return Q(PrintableText(text, maxChars, keepLineBreaks));
}

QString Size(std::uint64_t bytes) {
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MiB").arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
    return QStringLiteral("%1 KiB").arg((bytes + 1023) / 1024);
}

bool EndsWith(const std::string& text, const char* tail) {
    const std::string end(tail);
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string ArchiveStem(const std::string& name) {
    for (const char* tail : {".tar.gz", ".tar.xz", ".tgz"})
        if (EndsWith(name, tail)) return name.substr(0, name.size() - std::string(tail).size());
    return name;
}

}  // namespace

UpdaterWindow::UpdaterWindow(std::filesystem::path programFolder, HttpLimits checkLimits)
    : m_folder(std::move(programFolder)), m_limits(checkLimits) {}

UpdaterWindow::~UpdaterWindow() = default;

QString UpdaterWindow::GetWindowClassName() const {
    return QString::fromLatin1(kUpdaterWindowClass.data(),
                               static_cast<qsizetype>(kUpdaterWindowClass.size()));
}

bool UpdaterWindow::IsArchive(const std::string& fileName) {
    return EndsWith(fileName, ".tar.gz") || EndsWith(fileName, ".tar.xz") || EndsWith(fileName, ".tgz");
}

std::filesystem::path UpdaterWindow::UnpackTarget(const std::filesystem::path& programFolder,
                                                  const std::string& fileName) {
    const std::filesystem::path parent =
        std::filesystem::absolute(programFolder).lexically_normal().parent_path();
    if (::access(parent.c_str(), W_OK) != 0) return {};
    return parent / ArchiveStem(fileName);
}

void UpdaterWindow::InitWindow() {
    LoadUpdateTexts(m_folder);
    ApplyUpdateTexts(*this);
    StartCheck();
}

void UpdaterWindow::OnFinalMessage() {
    m_task.Cancel();
    emit closed();
}

void UpdaterWindow::BringToFront() {
    showNormal();
    show();
    raise();
    activateWindow();
}

QString UpdaterWindow::StatusText() const {
    QStringList parts;
    for (const char* name : {"lab_Headline", "lab_Detail", "lab_Notes"})
        if (CControlUI* control = FindControl(QLatin1String(name)); control && control->IsVisible())
            parts << control->GetText();
    return parts.join(QLatin1Char('\n'));
}

void UpdaterWindow::SetState(State state) {
    m_state = state;
    if (CControlUI* progress = FindControl(QStringLiteral("prog_Download")))
        progress->SetVisible(state == State::Downloading);
    if (CControlUI* label = FindControl(QStringLiteral("lab_Progress")))
        label->SetVisible(state == State::Downloading);
    emit stateChanged(state);
}

void UpdaterWindow::SetTexts(const QString& headline, const QString& detail, const QString& notes) {
    if (CControlUI* control = FindControl(QStringLiteral("lab_Headline"))) control->SetText(headline);
    if (CControlUI* control = FindControl(QStringLiteral("lab_Detail"))) control->SetText(detail);
    if (CControlUI* control = FindControl(QStringLiteral("lab_Notes"))) {
        control->SetText(notes);
        control->SetVisible(!notes.isEmpty());
    }
}

void UpdaterWindow::SetButtons(const QString& action, bool actionEnabled, const QString& cancel) {
    if (CControlUI* button = FindControl(QStringLiteral("btn_Action"))) {
        button->SetText(action);
        button->SetVisible(!action.isEmpty());
        button->SetEnabled(actionEnabled);
    }
    if (CControlUI* button = FindControl(QStringLiteral("btn_Cancel"))) button->SetText(cancel);
}

void UpdaterWindow::ShowFailure(const QString& headline, const QString& detail) {
    SetTexts(headline, detail);
    SetButtons(UpdateText("UpdTryAgain", "Try again"), true, UpdateText("UpdClose", "Close"));
}

void UpdaterWindow::StartCheck() {
    if (m_task.Running()) return;
    SetState(State::Checking);
    SetTexts(UpdateText("UpdChecking", "Looking for a newer release..."),
             UpdateText("UpdCheckingDetail", "Asking the update service."));
    SetButtons(UpdateText("UpdDownloadInstall", "Download and install"), false,
               UpdateText("UpdClose", "Close"));
    m_task.Start([this, limits = m_limits](const std::atomic<bool>& cancel) -> std::function<void()> {
        CheckResult result = CheckForUpdate(m_folder, limits, &cancel);
        return [this, result = std::move(result)] {
            m_check = result;
            ShowCheck();
        };
    });
}

void UpdaterWindow::ShowCheck() {
    const QString installed = Shown(m_check.installedVersion, kVersionChars);
    switch (m_check.outcome) {
        case CheckOutcome::Failed:
            SetState(State::CheckFailed);
            ShowFailure(UpdateText("UpdCheckFailed", "The update service could not be asked."),
                        Shown(m_check.reason));
            return;
        case CheckOutcome::NoUpdate:
            SetState(State::UpToDate);
            SetTexts(UpdateText("UpdUpToDate", "Zor Mouse is up to date."),
                     UpdateText("UpdInstalled", "Installed version: %1").arg(installed));
            SetButtons({}, false, UpdateText("UpdClose", "Close"));
            return;
        case CheckOutcome::UpdateAvailable:
            break;
    }
    if (!m_check.latest) {
        SetState(State::CheckFailed);
        ShowFailure(
            UpdateText("UpdNoRelease", "A newer release exists, but the service did not say where it is."),
            Shown(m_check.releaseProblem));
        return;
    }
    const ReleaseInfo& release = *m_check.latest;
    QString plan;
    if (!IsArchive(release.fileName)) {
        plan = UpdateText(
            "UpdPlanPackage",
            "The updater downloads %1%2, checks its SHA-256 and opens it with your package installer.");
    } else if (const auto target = UnpackTarget(m_folder, release.fileName); !target.empty()) {
        plan = UpdateText("UpdPlanArchive",
                          "The updater downloads %1%2, checks its SHA-256 and unpacks it into %3.")
                   .arg(QStringLiteral("%1"), QStringLiteral("%2"), Q(target.string()));
    } else {
        plan =
            UpdateText("UpdPlanFolder",
                       "The updater downloads %1%2, checks its SHA-256 and opens the folder that holds it.");
    }
    plan = plan.arg(Shown(release.fileName),
                    release.size > 0 ? QStringLiteral(" (%1)").arg(Size(release.size)) : QString());
    SetState(State::Available);
    SetTexts(
        UpdateText("UpdAvailable", "Zor Mouse %1 is available.").arg(Shown(release.version, kVersionChars)),
        UpdateText("UpdInstalled", "Installed version: %1").arg(installed) + QLatin1Char('\n') + plan,
        Shown(release.notes, kNotesChars, true));
    SetButtons(UpdateText("UpdDownloadInstall", "Download and install"), true,
               UpdateText("UpdClose", "Close"));
}

void UpdaterWindow::ShowProgress(std::uint64_t received, std::uint64_t total) {
    if (total == 0 && m_check.latest) total = m_check.latest->size;
    if (auto* progress = Find<ui::CProgressUI>(QStringLiteral("prog_Download"))) {
        progress->SetMaxValue(1000);
        progress->SetValue(
            total > 0 ? static_cast<int>(std::min<std::uint64_t>(received * 1000 / total, 1000)) : 0);
    }
    if (CControlUI* label = FindControl(QStringLiteral("lab_Progress")))
        label->SetText(total > 0 ? UpdateText("UpdProgressOf", "%1 of %2").arg(Size(received), Size(total))
                                 : Size(received));
}

void UpdaterWindow::StartDownload() {
    if (m_task.Running() || !m_check.latest) return;
    const ReleaseInfo release = *m_check.latest;
    const std::filesystem::path folder = DownloadFolder(m_folder);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path target = folder / release.fileName;
    m_file.clear();
    SetState(State::Downloading);
    ShowProgress(0, release.size);
    SetTexts(UpdateText("UpdDownloadingRelease", "Downloading Zor Mouse %1...")
                 .arg(Shown(release.version, kVersionChars)),
             Q(target.string()));
    SetButtons(UpdateText("UpdDownloadInstall", "Download and install"), false,
               UpdateText("btn_CancelDownload", "Cancel"));
    m_task.Start([this, release, target](const std::atomic<bool>& cancel) -> std::function<void()> {
        DownloadRequest request;
        request.url = release.url;
        request.target = target;
        request.sha256 = release.sha256;
        request.cancel = &cancel;
        request.progress = [this](std::uint64_t received, std::uint64_t total) {
            m_task.Post([this, received, total] { ShowProgress(received, total); });
        };
        const DownloadResult result = DownloadFile(request);
        return [this, result, target] {
            DebugF("updater download: status %d, %s\n", static_cast<int>(result.status), result.error);
            switch (result.status) {
                case DownloadStatus::Done:
                    m_file = target;
                    HandOver();
                    return;
                case DownloadStatus::Cancelled:
                    SetState(State::Cancelled);
                    SetTexts(UpdateText("UpdDownloadCancelled",
                                        "The download was cancelled. Nothing was installed."),
                             {});
                    SetButtons(UpdateText("UpdDownloadInstall", "Download and install"), true,
                               UpdateText("UpdClose", "Close"));
                    return;
                case DownloadStatus::ChecksumMismatch:
                    SetState(State::Failed);
                    // The headline says what happened; what became of the file goes below it.
                    ShowFailure(
                        UpdateText("UpdMismatch", "The download does not match its published SHA-256."),
                        UpdateText("UpdMismatchDetail", "It has been deleted and nothing was installed.") +
                            QLatin1Char('\n') + Shown(result.error));
                    return;
                case DownloadStatus::Failed:
                    SetState(State::Failed);
                    ShowFailure(
                        UpdateText("UpdDownloadFailed", "The download failed. Nothing was installed."),
                        Shown(result.error));
                    return;
            }
        };
    });
}

void UpdaterWindow::HandOver() {
    const QString file = Q(m_file.string());
    if (!IsArchive(m_file.filename().string())) {
        const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        SetState(opened ? State::HandedOver : State::Failed);
        if (opened) {
            SetTexts(UpdateText("UpdHandedOver", "The package has been handed to your package installer."),
                     UpdateText("UpdHandedOverDetail",
                                "Follow its steps, then start Zor Mouse again. The package stays in %1.")
                         .arg(file));
            SetButtons({}, false, UpdateText("UpdClose", "Close"));
        } else {
            ShowFailure(UpdateText("UpdNoInstaller", "No program on this desktop opens the package."),
                        UpdateText("UpdInstallByHand", "Install %1 by hand.").arg(file));
        }
        return;
    }
    const std::filesystem::path target = UnpackTarget(m_folder, m_file.filename().string());
    if (target.empty()) {
        // The installation's folder is not ours to change: show the user where the archive is.
        const std::filesystem::path folder = m_file.parent_path();
        QDesktopServices::openUrl(QUrl::fromLocalFile(Q(folder.string())));
        SetState(State::HandedOver);
        SetTexts(UpdateText("UpdArchiveReady", "The archive has been checked and is ready."),
                 UpdateText("UpdArchiveFolder", "Its folder has been opened: %1").arg(Q(folder.string())));
        SetButtons({}, false, UpdateText("UpdClose", "Close"));
        return;
    }
    SetState(State::Unpacking);
    SetTexts(UpdateText("UpdUnpacking", "Unpacking..."), Q(target.string()));
    SetButtons({}, false, UpdateText("UpdClose", "Close"));
    m_task.Start([this, archive = m_file, target](const std::atomic<bool>&) -> std::function<void()> {
        const std::string error = UnpackArchive(archive, target);
        return [this, error, target] {
            if (!error.empty()) {
                SetState(State::Failed);
                ShowFailure(UpdateText("UpdUnpackFailed", "The archive could not be unpacked."),
                            Shown(error));
                return;
            }
            m_unpacked = target;
            SetState(State::HandedOver);
            SetTexts(UpdateText("UpdUnpacked", "The new release has been unpacked."),
                     UpdateText("UpdUnpackedDetail", "Start Zor Mouse from %1.").arg(Q(target.string())));
        };
    });
}

void UpdaterWindow::Notify(ui::TNotifyUI& msg) {
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr) return;
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("minbtn")) {
        showMinimized();
    } else if (name == QLatin1String("closebtn")) {
        m_task.Cancel();
        Close(0);
    } else if (name == QLatin1String("btn_Cancel")) {
        if (m_state == State::Downloading)
            m_task.Cancel();
        else if (m_state != State::Unpacking)
            Close(0);
    } else if (name == QLatin1String("btn_Action")) {
        if (m_state == State::CheckFailed)
            StartCheck();
        else if (m_state == State::Available || m_state == State::Cancelled || m_state == State::Failed)
            StartDownload();
    }
}

}  // namespace zor::update
