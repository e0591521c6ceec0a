// The version window, driven by clicks on its buttons against the local test service: the
// server's version file, the comparison, the installer download with its progress and Cancel,
// the updater hand-over, the manual and the online question. Nothing waits on the UI thread.
#include <gtest/gtest.h>
#include <QSignalSpy>
#include <chrono>
#include <memory>

#include "LocalHttpServer.h"
#include "UpdateGuiSupport.h"
#include "ui/SingleInstance.h"
#include "ui/Controls.h"
#include "update/UpdatePaths.h"
#include "update/gui/SoftVersion.h"
#include "update/gui/UpdaterLauncher.h"

namespace zor::update::test {
namespace {

using zor::test::HttpResponse;

class SoftVersionTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        UseSkin(GetParam());
        WriteVersionFiles(folder, server);
        server.Route("/SeverVersion.json",
                     HttpResponse::Reply(200, R"({"SeverVersion":{"MaxVersion":"2.0.0"}})"));
        window = std::make_unique<SoftVersion>(folder);
        window->Create(nullptr, QStringLiteral("Zor Mouse"), ui::kWsPopup | ui::kWsVisible,
                       ui::kWsExToolWindow, QRect(0, 0, SoftVersion::kWidth, SoftVersion::kHeight));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        finished = std::make_unique<QSignalSpy>(window.get(), &SoftVersion::stepFinished);
    }
    // Clicks a button and waits until its step has finished.
    bool Step(const char* button, int timeoutMs = 10000) {
        const auto before = finished->count();
        if (!ClickControl(*window, button)) return false;
        return QTest::qWaitFor([&] { return finished->count() > before; }, timeoutMs);
    }
    QString Status() const { return ControlText(*window, "lab_Status"); }
    QString Error() const { return ControlText(*window, "lab_Error"); }

    zor::test::LocalHttpServer server;
    zor::test::TempDir dir;
    std::filesystem::path folder = dir.path();
    std::unique_ptr<SoftVersion> window;
    std::unique_ptr<QSignalSpy> finished;
};

TEST_P(SoftVersionTest, TheWindowHasItsSizeAndEveryButton) {
    EXPECT_EQ(window->size(), QSize(800, 572));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Zor Mouse"));
    for (const char* name : {"closebtn", "btn_Online", "btn_DownVersion", "btn_IndexVersion",
                             "btn_StartUpdata", "btn_TempBtn", "btn_OpenPdf"}) {
        EXPECT_TRUE(ControlVisible(*window, name)) << name;
        EXPECT_FALSE(ControlText(*window, name).isEmpty() && QLatin1String(name) != QLatin1String("closebtn"))
            << name;
    }
    EXPECT_NE(window->FindControl(QStringLiteral("lab_IndexVersion")), nullptr);
    EXPECT_FALSE(ControlVisible(*window, "prog_Download"));
    EXPECT_FALSE(ControlVisible(*window, "btn_CancelDownload"));
    window->grab().save(QString::fromStdString((zor::test::BuildDir() / "SoftVersion-").string()) +
                        QLatin1String(GetParam()) + QStringLiteral(".png"));
}

TEST_P(SoftVersionTest, VersionsAreZeroUntilTheFilesAreReadThenBothAreShown) {
    ASSERT_TRUE(Step("btn_IndexVersion"));
    EXPECT_EQ(window->CurrentVersion(), "0");
    EXPECT_EQ(window->NewestVersion(), "0");
    ASSERT_TRUE(Step("btn_DownVersion"));
    EXPECT_TRUE(Error().isEmpty()) << Error().toStdString();
    EXPECT_EQ(server.RequestCount("/SeverVersion.json"), 1);
    EXPECT_TRUE(std::filesystem::exists(ServerVersionPath(folder)));
    ASSERT_TRUE(Step("btn_IndexVersion"));
    const QString shown = ControlText(*window, "lab_IndexVersion");
    EXPECT_TRUE(shown.contains(QLatin1String("0.1.0")) && shown.contains(QLatin1String("2.0.0")))
        << shown.toStdString();
}

TEST_P(SoftVersionTest, AFailedOrUnusableVersionDownloadIsShownAndSavesNothing) {
    server.Route("/SeverVersion.json", HttpResponse::Reply(404, "missing"));
    ASSERT_TRUE(Step("btn_DownVersion"));
    EXPECT_TRUE(Error().contains(QLatin1String("404"))) << Error().toStdString();
    EXPECT_TRUE(ControlVisible(*window, "lab_Error"));
    server.Route("/SeverVersion.json", HttpResponse::Reply(200, R"({"SeverVersion":{}})"));
    ASSERT_TRUE(Step("btn_DownVersion"));
    EXPECT_FALSE(Error().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(ServerVersionPath(folder)));
    ASSERT_TRUE(Step("btn_IndexVersion"));
    EXPECT_EQ(window->NewestVersion(), "0");
}

TEST_P(SoftVersionTest, TheInstallerIsDownloadedIntoTheDownloadFolderWithProgress) {
    const std::string bytes(300 * 1024, 'z');
    server.Route("/installer/zormouse_2.0.0_amd64.deb",
                 HttpResponse::Reply(200, bytes, "application/octet-stream"));
    ASSERT_TRUE(Step("btn_TempBtn"));
    const auto file = DownloadFolder(folder) / "zormouse_2.0.0_amd64.deb";
    EXPECT_EQ(window->InstallerTarget(), file);
    EXPECT_EQ(zor::test::ReadFile(file), bytes);
    // The bar went all the way before it was hidden again.
    EXPECT_EQ(window->Find<ui::CProgressUI>(QStringLiteral("prog_Download"))->GetValue(), 1000);
    EXPECT_FALSE(ControlVisible(*window, "prog_Download"));
    EXPECT_TRUE(Status().contains(QString::fromStdString(file.string()))) << Status().toStdString();
}

TEST_P(SoftVersionTest, CancelEndsAStalledInstallerDownloadAndTheWindowKeepsWorking) {
    server.Route("/installer/zormouse_2.0.0_amd64.deb",
                 HttpResponse::Stalling(std::string(100000, 'z'), 1000));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ClickControl(*window, "btn_TempBtn"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));  // the click did not wait
    ASSERT_TRUE(QTest::qWaitFor([&] { return ControlVisible(*window, "btn_CancelDownload"); }, 5000));
    EXPECT_TRUE(window->Busy());
    // The window still answers: the version comparison works during the download.
    ASSERT_TRUE(Step("btn_IndexVersion"));
    ASSERT_TRUE(Step("btn_CancelDownload"));
    EXPECT_FALSE(window->Busy());
    EXPECT_FALSE(ControlVisible(*window, "btn_CancelDownload"));
    EXPECT_TRUE(std::filesystem::is_empty(DownloadFolder(folder)));
}

TEST_P(SoftVersionTest, AMissingUpdaterIsReportedAndTheWindowStays) {
    ASSERT_TRUE(Step("btn_StartUpdata"));
    ASSERT_NE(window->MessageBox(), nullptr);
    EXPECT_TRUE(ControlText(*window->MessageBox(), "MessageText").contains(QLatin1String("AutoUpdate")));
    EXPECT_FALSE(window->IsClosed());
}

TEST_P(SoftVersionTest, ARunningUpdaterIsBroughtForwardAndTheWindowClosesForIt) {
    ui::SingleInstance updater(QStringLiteral("AutoUpdate"));
    ASSERT_TRUE(updater.Acquire());
    int raised = 0;
    updater.SetRaiseHandler([&] { ++raised; });
    ASSERT_TRUE(Step("btn_StartUpdata"));
    EXPECT_EQ(raised, 1);
    EXPECT_TRUE(window->IsClosed());
}

TEST_P(SoftVersionTest, TheManualIsOpenedWithTheDesktopAndAMissingOneIsReported) {
    OpenedUrls opened;
    const QString name = ControlText(*window, "btn_OpenPdf");
    ASSERT_FALSE(name.isEmpty());
    ASSERT_TRUE(Step("btn_OpenPdf"));
    EXPECT_TRUE(opened.urls.isEmpty());
    ASSERT_NE(window->MessageBox(), nullptr);
    EXPECT_TRUE(ControlText(*window->MessageBox(), "MessageText").contains(name));
    zor::test::WriteFile(folder / name.toStdString(), "%PDF-1.4");
    ASSERT_TRUE(Step("btn_OpenPdf"));
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls[0].toLocalFile(), QString::fromStdString((folder / name.toStdString()).string()));
}

TEST_P(SoftVersionTest, TheOnlineQuestionAnswersInAMessageBox) {
    ASSERT_TRUE(Step("btn_Online"));
    ASSERT_NE(window->MessageBox(), nullptr);
    const QString text = ControlText(*window->MessageBox(), "MessageText");
    EXPECT_TRUE(text == QLatin1String("This computer is online.") ||
                text == QLatin1String("This computer is offline.") ||
                text.contains(QLatin1String("does not say")))
        << text.toStdString();
}

TEST_P(SoftVersionTest, CloseEndsTheWindow) {
    ASSERT_TRUE(ClickControl(*window, "closebtn"));
    EXPECT_TRUE(window->IsClosed());
}

TEST_P(SoftVersionTest, TextsComeFromTheProgramsLanguage) {
    std::filesystem::copy(zor::test::SourceDir() / "res" / "Language", folder / "res" / "Language");
    zor::test::WriteFile(folder / "res" / "Set.ini", "[Set]\nLanguage=0\n");  // Simplified Chinese
    SoftVersion chinese(folder);
    chinese.Create(nullptr, QStringLiteral("Zor Mouse"), ui::kWsPopup | ui::kWsVisible, ui::kWsExToolWindow,
                   QRect(0, 0, SoftVersion::kWidth, SoftVersion::kHeight));
    EXPECT_EQ(ControlText(chinese, "btn_Online"), QStringLiteral("检查连接"));
    EXPECT_EQ(ControlText(chinese, "lab_VersionTitle"), QStringLiteral("软件版本"));
    ASSERT_TRUE(ClickControl(chinese, "btn_IndexVersion"));
    EXPECT_EQ(ControlText(chinese, "lab_IndexVersion"), QStringLiteral("当前版本0，最新版本：0"));
    ASSERT_TRUE(ClickControl(chinese, "btn_Online"));
    ASSERT_NE(chinese.MessageBox(), nullptr);
    EXPECT_EQ(ControlText(*chinese.MessageBox(), "MessageTitle"), QStringLiteral("提示框"));
    const QString answer = ControlText(*chinese.MessageBox(), "MessageText");
    EXPECT_TRUE(answer == QStringLiteral("有网") || answer == QStringLiteral("无网") ||
                answer == QStringLiteral("桌面系统没有提供本机的联网状态。"))
        << answer.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothSkins, SoftVersionTest, ::testing::Values("res_black", "res_white"));

}  // namespace
}  // namespace zor::update::test
