// The updater's window against the local test service: it finds the newer release, says what it
// will do, downloads with progress, checks the SHA-256 and hands the file over; a mismatch, a
// cancel or a failed check leave nothing behind and are said in the window.
#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTimer>
#include <memory>

#include "LocalHttpServer.h"
#include "UpdateGuiSupport.h"
#include "UpdateService.h"
#include "ui/Controls.h"
#include "update/Sha256.h"
#include "update/UpdatePaths.h"
#include "update/gui/ArchiveUnpack.h"
#include "update/gui/UpdaterWindow.h"

namespace zor::update::test {
namespace {

using zor::test::HttpResponse;
using State = UpdaterWindow::State;

class UpdaterWindowTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        UseSkin(GetParam());
        std::filesystem::create_directories(folder);
        WriteVersionFiles(folder, server);
    }
    void Open(HttpLimits limits = {}) {
        window = std::make_unique<UpdaterWindow>(folder, limits);
        states = std::make_unique<QSignalSpy>(window.get(), &UpdaterWindow::stateChanged);
        window->Create(nullptr, QStringLiteral("AutoUpdate"),
                       ui::kWsDialog | ui::kWsMinimizeBox | ui::kWsVisible, 0,
                       QRect(0, 0, UpdaterWindow::kWidth, UpdaterWindow::kHeight));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    bool WaitFor(State state, int timeoutMs = 10000) {
        return QTest::qWaitFor([&] { return window->GetState() == state; }, timeoutMs);
    }
    std::string Status() const { return window->StatusText().toStdString(); }
    // Whether the text of a word-wrapped label fits in it, as the window draws it.
    bool TextFits(const char* name) const {
        const auto* label = window->Find<ui::CLabelUI>(QLatin1String(name));
        if (label == nullptr) return false;
        const QFontMetrics metrics(label->ResolveFont());
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, label->width(), 100000), Qt::TextWordWrap, label->GetText());
        return needed.height() <= label->height();
    }
    bool DownloadFolderEmpty() const {
        return !std::filesystem::exists(DownloadFolder(folder)) ||
               std::filesystem::is_empty(DownloadFolder(folder));
    }

    const std::string kApi = "/api/zormouse/0.1.0";
    zor::test::LocalHttpServer server;
    zor::test::TempDir dir;
    std::filesystem::path folder = dir.path() / "zormouse";
    std::unique_ptr<UpdaterWindow> window;
    std::unique_ptr<QSignalSpy> states;
};

TEST_P(UpdaterWindowTest, FindsTheReleaseDownloadsItChecksItAndHandsThePackageOver) {
    const std::string bytes(700 * 1024, 'p');
    zor::test::OfferRelease(server, kApi, "zormouse_9.9.9_amd64.deb", bytes);
    OpenedUrls opened;
    Open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("AutoUpdate"));
    EXPECT_EQ(window->GetWindowClassName(), QStringLiteral("CZorMainWnd"));
    ASSERT_TRUE(WaitFor(State::Available)) << Status();
    EXPECT_NE(Status().find("9.9.9"), std::string::npos) << Status();
    EXPECT_NE(Status().find("package installer"), std::string::npos) << Status();
    window->grab().save(QString::fromStdString((zor::test::BuildDir() / "AutoUpdate-").string()) +
                        QLatin1String(GetParam()) + QStringLiteral(".png"));
    ASSERT_TRUE(ClickControl(*window, "btn_Action"));
    ASSERT_TRUE(WaitFor(State::HandedOver)) << Status();
    EXPECT_TRUE(states->contains(QVariantList{QVariant::fromValue(State::Downloading)}));
    const auto file = DownloadFolder(folder) / "zormouse_9.9.9_amd64.deb";
    EXPECT_EQ(window->DownloadedFile(), file);
    EXPECT_EQ(zor::test::ReadFile(file), bytes);
    EXPECT_EQ(window->Find<ui::CProgressUI>(QStringLiteral("prog_Download"))->GetValue(), 1000);
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls[0].toLocalFile(), QString::fromStdString(file.string()));
}

TEST_P(UpdaterWindowTest, ADownloadThatDoesNotMatchItsDigestIsDeletedAndNeverHandedOver) {
    zor::test::OfferRelease(server, kApi, "zormouse_9.9.9_amd64.deb", "tampered bytes", "9.9.9",
                            update::Sha256Hex("the real package"));
    OpenedUrls opened;
    Open();
    ASSERT_TRUE(WaitFor(State::Available)) << Status();
    ASSERT_TRUE(ClickControl(*window, "btn_Action"));
    ASSERT_TRUE(WaitFor(State::Failed)) << Status();
    EXPECT_NE(Status().find("SHA-256"), std::string::npos) << Status();
    EXPECT_NE(Status().find("deleted"), std::string::npos) << Status();
    EXPECT_TRUE(TextFits("lab_Headline")) << Status();
    EXPECT_TRUE(DownloadFolderEmpty());
    EXPECT_TRUE(window->DownloadedFile().empty());
    EXPECT_TRUE(opened.urls.isEmpty());
    // "Try again" downloads once more.
    ASSERT_TRUE(ClickControl(*window, "btn_Action"));
    ASSERT_TRUE(WaitFor(State::Failed, 10000) && server.RequestCount("/files/zormouse_9.9.9_amd64.deb") == 2);
}

TEST_P(UpdaterWindowTest, CancelEndsTheDownloadAndLeavesNothing) {
    OpenedUrls opened;
    const std::string bytes(200000, 'p');
    zor::test::OfferRelease(server, kApi, "zormouse_9.9.9_amd64.deb", bytes);
    server.Route("/files/zormouse_9.9.9_amd64.deb", HttpResponse::Stalling(bytes, 5000));
    Open();
    ASSERT_TRUE(WaitFor(State::Available)) << Status();
    ASSERT_TRUE(ClickControl(*window, "btn_Action"));
    ASSERT_TRUE(WaitFor(State::Downloading));
    ASSERT_TRUE(ControlVisible(*window, "prog_Download"));
    ASSERT_TRUE(ClickControl(*window, "btn_Cancel"));
    ASSERT_TRUE(WaitFor(State::Cancelled)) << Status();
    EXPECT_TRUE(DownloadFolderEmpty());
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_FALSE(window->IsClosed());
}

TEST_P(UpdaterWindowTest, NoNewerReleaseSaysSoAndOffersNoDownload) {
    server.Route(kApi, HttpResponse::Reply(200, zor::test::ServiceReply(0)));
    Open();
    ASSERT_TRUE(WaitFor(State::UpToDate)) << Status();
    EXPECT_NE(Status().find("0.1.0"), std::string::npos) << Status();
    EXPECT_FALSE(ControlVisible(*window, "btn_Action"));
}

TEST_P(UpdaterWindowTest, AFailedCheckIsShownAndTryAgainAsksOnceMore) {
    server.Route(kApi, HttpResponse::Reply(500, "{}"));
    Open();
    ASSERT_TRUE(WaitFor(State::CheckFailed)) << Status();
    EXPECT_NE(Status().find("HTTP 500"), std::string::npos) << Status();
    zor::test::OfferRelease(server, kApi, "zormouse_9.9.9_amd64.deb", "package");
    ASSERT_TRUE(ClickControl(*window, "btn_Action"));
    ASSERT_TRUE(WaitFor(State::Available)) << Status();
    EXPECT_EQ(server.RequestCount(kApi), 2);
}

TEST_P(UpdaterWindowTest, AServiceThatNeverAnswersEndsAtTheTimeOutWhileTheWindowKeepsWorking) {
    server.Route(kApi, HttpResponse::NeverAnswering());
    HttpLimits limits;
    limits.totalTimeoutMs = 1500;
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(50);
    Open(limits);
    EXPECT_EQ(window->GetState(), State::Checking);
    ASSERT_TRUE(WaitFor(State::CheckFailed, 10000)) << Status();
    EXPECT_GE(ticks, 15);  // the event loop ran all along
    EXPECT_NE(Status().find("in time"), std::string::npos) << Status();
}

TEST_P(UpdaterWindowTest, AnArchiveIsUnpackedBesideTheProgramFolder) {
    const auto source = dir.path() / "src" / "zormouse-9.9.9";
    zor::test::WriteFile(source / "zormouse", "program");
    zor::test::WriteFile(source / "res" / "Set.ini", "[Set]");
    const auto archive = dir.path() / "zormouse-9.9.9.tar.gz";
    ASSERT_EQ(zor::test::RunShell("tar -czf '" + archive.string() + "' -C '" + (dir.path() / "src").string() +
                                  "' zormouse-9.9.9"),
              0);
    zor::test::OfferRelease(server, kApi, "zormouse-9.9.9.tar.gz", zor::test::ReadFile(archive));
    Open();
    ASSERT_TRUE(WaitFor(State::Available)) << Status();
    EXPECT_NE(Status().find("unpacks"), std::string::npos) << Status();
    ASSERT_TRUE(ClickControl(*window, "btn_Action"));
    ASSERT_TRUE(WaitFor(State::HandedOver)) << Status();
    EXPECT_EQ(window->UnpackedFolder(), dir.path() / "zormouse-9.9.9");
    EXPECT_EQ(zor::test::ReadFile(dir.path() / "zormouse-9.9.9" / "zormouse"), "program");
    EXPECT_EQ(zor::test::ReadFile(dir.path() / "zormouse-9.9.9" / "res" / "Set.ini"), "[Set]");
}

TEST_P(UpdaterWindowTest, AnArchiveThatLeavesItsFolderIsRefused) {
    zor::test::WriteFile(dir.path() / "evil" / "x", "x");
    const auto archive = dir.path() / "zormouse-6.6.6.tar.gz";
    ASSERT_EQ(zor::test::RunShell("cd '" + (dir.path() / "evil").string() + "' && tar -P -czf '" +
                                  archive.string() + "' ../evil/x"),
              0);
    zor::test::OfferRelease(server, kApi, "zormouse-6.6.6.tar.gz", zor::test::ReadFile(archive), "6.6.6");
    Open();
    ASSERT_TRUE(WaitFor(State::Available)) << Status();
    ASSERT_TRUE(ClickControl(*window, "btn_Action"));
    ASSERT_TRUE(WaitFor(State::Failed)) << Status();
    EXPECT_NE(Status().find("leaves its folder"), std::string::npos) << Status();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "zormouse-6.6.6"));
}

TEST_P(UpdaterWindowTest, MinimiseAndBringToFront) {
    server.Route(kApi, HttpResponse::Reply(200, zor::test::ServiceReply(0)));
    Open();
    ASSERT_TRUE(ClickControl(*window, "minbtn"));
    EXPECT_TRUE(window->isMinimized());
    window->BringToFront();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
}

// A release is a folder: an archive holding a lone file, or a file where the release folder
// belongs, is refused and leaves nothing behind.
TEST(ArchiveUnpack, AnArchiveWithoutAReleaseFolderIsRefused) {
    zor::test::TempDir dir;
    const auto target = dir.path() / "out" / "zormouse-9.9.9";
    std::filesystem::create_directories(target.parent_path());
    auto pack = [&](const std::string& name, const std::string& what) {
        const auto archive = dir.path() / (name + ".tar.gz");
        EXPECT_EQ(zor::test::RunShell("tar -czf '" + archive.string() + "' -C '" +
                                      (dir.path() / "src").string() + "' " + what),
                  0);
        return archive;
    };
    zor::test::WriteFile(dir.path() / "src" / "zormouse-9.9.9", "a file, not a folder");
    std::string error = UnpackArchive(pack("named", "zormouse-9.9.9"), target);
    EXPECT_NE(error.find("release folder"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(target));
    std::filesystem::remove(dir.path() / "src" / "zormouse-9.9.9");
    zor::test::WriteFile(dir.path() / "src" / "readme", "text");
    error = UnpackArchive(pack("lone", "readme"), target);
    EXPECT_NE(error.find("single file"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(target));
    zor::test::WriteFile(dir.path() / "src" / "zormouse-9.9.9" / "zormouse", "program");
    EXPECT_EQ(UnpackArchive(pack("good", "zormouse-9.9.9"), target), "");
    EXPECT_EQ(zor::test::ReadFile(target / "zormouse"), "program");
}

INSTANTIATE_TEST_SUITE_P(BothSkins, UpdaterWindowTest, ::testing::Values("res_black", "res_white"));

}  // namespace
}  // namespace zor::update::test
