#include "update/gui/SoftVersion.h"

#include <QDesktopServices>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QUrl>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/Text.h"
#include "ui/Controls.h"
#include "update/Http.h"
#include "update/LocalVersion.h"
#include "update/UpdatePaths.h"
#include "update/gui/UpdateTexts.h"
#include "update/gui/UpdaterLauncher.h"

namespace zor::update {
using ui::CControlUI;

namespace {

constexpr std::uint64_t kInstallerCap = 1024ull * 1024 * 1024;
constexpr int kNetworkAnswerMs = 1000;  // the system bus answers at once or not at all

QString FromPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

SoftVersion::SoftVersion(std::filesystem::path programFolder, QString text)
    : m_folder(std::move(programFolder)), m_text(std::move(text)) {}

SoftVersion::~SoftVersion() {
    if (m_msgBox) delete m_msgBox;
}

void SoftVersion::InitWindow() {
    LoadUpdateTexts(m_folder);
    ApplyUpdateTexts(*this);
    SetWorking(false);
    SetStatus(m_text);
}

void SoftVersion::Notify(ui::TNotifyUI& msg) {
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr) return;
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("closebtn")) {
        m_task.Cancel();
        Close(0);
    } else if (name == QLatin1String("btn_CancelDownload")) {
        m_task.Cancel();
    } else if (name == QLatin1String("btn_Online")) {
        CheckOnline();
    } else if (name == QLatin1String("btn_DownVersion")) {
        DownloadVersionFile();
    } else if (name == QLatin1String("btn_IndexVersion")) {
        ShowVersions();
    } else if (name == QLatin1String("btn_StartUpdata")) {
        StartUpdater();
    } else if (name == QLatin1String("btn_TempBtn")) {
        DownloadInstaller();
    } else if (name == QLatin1String("btn_OpenPdf")) {
        OpenDocument(msg.pSender->GetText());
    }
}

void SoftVersion::ShowMessage(const QString& text) {
    if (m_msgBox) m_msgBox->Close(0);
    m_msgBox = ui::CMsgWnd::ShowMessageBoxNonModal(this, UpdateText("UpdMessageTitle", "Tip"), text,
                                                   UpdateText("UpdOK", "OK"));
}

void SoftVersion::SetStatus(const QString& text, bool error) {
    // Two labels in the skin: the plain status and the error (in the skin's warning colour).
    CControlUI* status = FindControl(QStringLiteral("lab_Status"));
    CControlUI* failure = FindControl(QStringLiteral("lab_Error"));
    if (status == nullptr || failure == nullptr) return;
    status->SetText(error ? QString() : text);
    failure->SetText(error ? text : QString());
    status->SetVisible(!error);
    failure->SetVisible(error);
}

void SoftVersion::SetWorking(bool working) {
    if (CControlUI* cancel = FindControl(QStringLiteral("btn_CancelDownload"))) cancel->SetVisible(working);
    if (auto* progress = Find<ui::CProgressUI>(QStringLiteral("prog_Download"))) {
        progress->SetVisible(working);
        if (working) progress->SetValue(0);
    }
    for (const char* name : {"btn_DownVersion", "btn_TempBtn", "btn_StartUpdata"})
        if (CControlUI* button = FindControl(QLatin1String(name))) button->SetEnabled(!working);
}

void SoftVersion::ShowProgress(std::uint64_t received, std::uint64_t total) {
    if (auto* progress = Find<ui::CProgressUI>(QStringLiteral("prog_Download"))) {
        progress->SetMaxValue(1000);
        progress->SetValue(total > 0 ? static_cast<int>(received * 1000 / total) : 0);
    }
    SetStatus(UpdateText("UpdReceived", "Downloading: %1 KiB").arg(received / 1024));
}

void SoftVersion::CheckOnline() {
    // The desktop's own view of the network: NetworkManager's connectivity over the system bus
    // (0 unknown, 1 none, 2 behind a portal, 3 limited, 4 full). No answer: not known.
    QDBusInterface manager(QStringLiteral("org.freedesktop.NetworkManager"),
                           QStringLiteral("/org/freedesktop/NetworkManager"),
                           QStringLiteral("org.freedesktop.NetworkManager"), QDBusConnection::systemBus());
    manager.setTimeout(kNetworkAnswerMs);
    const QVariant connectivity = manager.isValid() ? manager.property("Connectivity") : QVariant();
    DebugF("network connectivity: %s\n",
           connectivity.isValid() ? std::to_string(connectivity.toUInt()) : std::string("not known"));
    const unsigned state = connectivity.isValid() ? connectivity.toUInt() : 0;
    if (state == 0)
        ShowMessage(UpdateText("UpdNetUnknown", "The desktop does not say whether the computer is online."));
    else if (state == 4)
        ShowMessage(UpdateText("UpdOnline", "This computer is online."));
    else
        ShowMessage(UpdateText("UpdOffline", "This computer is offline."));
    emit stepFinished();
}

void SoftVersion::DownloadVersionFile() {
    std::string error;
    const auto local = LoadLocalVersion(LocalVersionPath(m_folder), &error);
    if (!local) {
        SetStatus(UpdateText("UpdNoLocalVersion", "The local version file cannot be read: %1")
                      .arg(QString::fromStdString(PrintableText(error, 300))),
                  true);
        emit stepFinished();
        return;
    }
    m_current = QString::fromStdString(PrintableText(local->curVersion, 64));
    SetWorking(true);
    SetStatus(UpdateText("UpdAsking", "Asking the server..."));
    const std::filesystem::path target = ServerVersionPath(m_folder);
    m_task.Start(
        [this, url = local->serverUrl, target](const std::atomic<bool>& cancel) -> std::function<void()> {
            const HttpReply reply = HttpGet(url, HttpLimits{}, &cancel);
            std::string problem = reply.error;
            if (problem.empty() && reply.status != 200) problem = "HTTP " + std::to_string(reply.status);
            std::string parseError;
            if (problem.empty() && !ParseServerMaxVersion(reply.body, &parseError))
                problem = "the server's version file is not usable: " + parseError;
            if (problem.empty() && !WriteFileAtomic(target, reply.body, &problem))
                problem = "not saved: " + problem;
            return [this, problem] {
                SetWorking(false);
                if (problem.empty())
                    SetStatus(
                        UpdateText("UpdVersionFileSaved", "The server's version file has been downloaded."));
                else
                    SetStatus(
                        UpdateText("UpdVersionFileFailed", "The server's version file was not downloaded: %1")
                            .arg(QString::fromStdString(PrintableText(problem, 300))),
                        true);
                emit stepFinished();
            };
        });
}

void SoftVersion::ShowVersions() {
    // Each file that cannot be read leaves its version as it was.
    if (const auto newest = LoadServerMaxVersion(ServerVersionPath(m_folder)))
        m_newest = QString::fromStdString(PrintableText(*newest, 64));
    if (auto* label = Find<ui::CLabelUI>(QStringLiteral("lab_IndexVersion")))
        label->SetText(UpdateText("UpdIndexVersion", "Installed version %1, newest version: %2")
                           .arg(m_current, m_newest));
    emit stepFinished();
}

void SoftVersion::StartUpdater() {
    SetStatus(UpdateText("UpdStartingUpdater", "Starting the updater..."));
    QPointer<SoftVersion> self(this);
    LaunchUpdater(m_folder, this, [self](LaunchResult result) {
        if (!self) return;
        if (result == LaunchResult::Started || result == LaunchResult::Raised) {
            self->m_task.Cancel();
            self->Close(kClosedForUpdate);
        } else {
            self->SetStatus({});
            self->ShowMessage(result == LaunchResult::Missing
                                  ? UpdateText("UpdUpdaterMissing", "The updater (AutoUpdate) was not found.")
                                  : UpdateText("UpdUpdaterFailed", "The updater could not be started."));
        }
        emit self->stepFinished();
    });
}

void SoftVersion::DownloadInstaller() {
    std::string error;
    const auto local = LoadLocalVersion(LocalVersionPath(m_folder), &error);
    const std::string name = local ? FileNameFromAddress(local->installerUrl) : std::string();
    if (name.empty()) {
        SetStatus(UpdateText("UpdNoInstallerAddress", "No usable installer address: %1")
                      .arg(QString::fromStdString(local ? local->installerUrl : error)),
                  true);
        emit stepFinished();
        return;
    }
    const std::filesystem::path folder = DownloadFolder(m_folder);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    m_installerTarget = folder / name;
    SetWorking(true);
    SetStatus(UpdateText("UpdDownloading", "Downloading %1...").arg(QString::fromStdString(name)));
    m_task.Start([this, url = local->installerUrl,
                  target = m_installerTarget](const std::atomic<bool>& cancel) -> std::function<void()> {
        DownloadRequest request;
        request.url = url;
        request.target = target;
        request.maxBytes = kInstallerCap;
        request.cancel = &cancel;
        request.progress = [this](std::uint64_t received, std::uint64_t total) {
            m_task.Post([this, received, total] { ShowProgress(received, total); });
        };
        const DownloadResult result = DownloadFile(request);
        return [this, result, target] {
            SetWorking(false);
            if (result.status == DownloadStatus::Done)
                SetStatus(UpdateText("UpdInstallerSaved", "The installer has been saved to %1")
                              .arg(FromPath(target)));
            else if (result.status == DownloadStatus::Cancelled)
                SetStatus(UpdateText("UpdCancelled", "The download was cancelled."));
            else
                SetStatus(UpdateText("UpdInstallerFailed", "The installer was not downloaded: %1")
                              .arg(QString::fromStdString(result.error)),
                          true);
            emit stepFinished();
        };
    });
}

void SoftVersion::OpenDocument(const QString& name) {
    const std::filesystem::path file = m_folder / name.toStdString();
    const bool exists = !name.isEmpty() && std::filesystem::is_regular_file(file);
    if (!exists || !QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(file))))
        ShowMessage(UpdateText("UpdNoDocument", "%1 could not be opened.").arg(name));
    emit stepFinished();
}

}  // namespace zor::update
