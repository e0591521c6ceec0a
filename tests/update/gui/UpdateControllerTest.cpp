// Message 2037's work and the updater's single instance: a check that finds a release hands
// over to the updater, one that finds none or fails shows nothing, the user's own request starts
// it at once (or says it is missing), a running updater is brought forward instead of being
// started twice, and a service that never answers leaves the UI thread free.
#include <gtest/gtest.h>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QWidget>

#include "LocalHttpServer.h"
#include "UpdateGuiSupport.h"
#include "UpdateService.h"
#include "ui/SingleInstance.h"
#include "update/gui/UpdateController.h"
#include "update/gui/UpdaterWindow.h"

namespace zor::update::test {
namespace {

using zor::test::HttpResponse;

class UpdateControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseSkin("res_black");
        WriteVersionFiles(dir.path(), server);
        owner.resize(400, 300);
        owner.show();
    }
    std::unique_ptr<UpdateController> Controller(HttpLimits limits = {}) {
        auto controller = std::make_unique<UpdateController>(dir.path(), &owner, limits);
        checks = std::make_unique<QSignalSpy>(controller.get(), &UpdateController::checkFinished);
        launches = std::make_unique<QSignalSpy>(controller.get(), &UpdateController::launchFinished);
        return controller;
    }
    // The test plays the running updater.
    void RunUpdater() {
        ASSERT_TRUE(updater.Acquire());
        updater.SetRaiseHandler([this] { ++raised; });
    }
    LaunchResult LastLaunch() const { return launches->last().at(0).value<LaunchResult>(); }

    const std::string kApi = "/api/zormouse/0.1.0";
    zor::test::LocalHttpServer server;
    zor::test::TempDir dir;
    QWidget owner;
    ui::SingleInstance updater{QStringLiteral("AutoUpdate")};
    int raised = 0;
    std::unique_ptr<QSignalSpy> checks;
    std::unique_ptr<QSignalSpy> launches;
};

TEST_F(UpdateControllerTest, ACheckThatFindsAReleaseBringsTheRunningUpdaterForwardInsteadOfStartingIt) {
    RunUpdater();
    zor::test::OfferRelease(server, kApi, "zormouse_9.9.9_amd64.deb", "package");
    auto controller = Controller();
    controller->OnStartUpdater(false);
    EXPECT_TRUE(controller->CheckRunning());
    ASSERT_TRUE(launches->wait(10000));
    EXPECT_EQ(checks->count(), 1);
    EXPECT_TRUE(checks->first().at(0).toBool());
    EXPECT_EQ(LastLaunch(), LaunchResult::Raised);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(controller->MessageBox(), nullptr);
}

TEST_F(UpdateControllerTest, NoReleaseOrAFailedCheckLaunchesNothingAndShowsNothing) {
    RunUpdater();
    auto controller = Controller();
    for (const HttpResponse& reply :
         {HttpResponse::Reply(200, zor::test::ServiceReply(0)),
          HttpResponse::Reply(200, zor::test::ServiceReply(-2)), HttpResponse::Reply(404, "{}"),
          HttpResponse::Reply(500, zor::test::ServiceReply(4)), HttpResponse::Reply(200, "{oops"),
          HttpResponse::Redirect(301, server.Url("/x"))}) {
        server.Route(kApi, reply);
        const int before = checks->count();
        controller->OnStartUpdater(false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return checks->count() > before; }, 10000));
        EXPECT_FALSE(checks->last().at(0).toBool()) << reply.status;
    }
    EXPECT_EQ(launches->count(), 0);
    EXPECT_EQ(raised, 0);
    EXPECT_EQ(controller->MessageBox(), nullptr);
    EXPECT_EQ(server.RequestCount("/x"), 0);
}

TEST_F(UpdateControllerTest, TheUsersRequestStartsTheUpdaterAtOnceWithoutAsking) {
    RunUpdater();
    auto controller = Controller();
    controller->OnStartUpdater(true);
    ASSERT_TRUE(launches->wait(5000));
    EXPECT_EQ(LastLaunch(), LaunchResult::Raised);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(checks->count(), 0);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(UpdateControllerTest, AMissingUpdaterIsSaidOnlyWhenTheUserAskedForIt) {
    zor::test::OfferRelease(server, kApi, "zormouse_9.9.9_amd64.deb", "package");
    auto controller = Controller();
    controller->OnStartUpdater(false);
    ASSERT_TRUE(launches->wait(10000));
    EXPECT_EQ(LastLaunch(), LaunchResult::Missing);
    EXPECT_EQ(controller->MessageBox(), nullptr);
    controller->OnStartUpdater(true);
    ASSERT_TRUE(launches->wait(5000));
    EXPECT_EQ(LastLaunch(), LaunchResult::Missing);
    ASSERT_NE(controller->MessageBox(), nullptr);
    EXPECT_TRUE(ControlText(*controller->MessageBox(), "MessageText").contains(QLatin1String("AutoUpdate")));
}

TEST_F(UpdateControllerTest, AServiceThatNeverAnswersEndsAtTheTimeOutAndTheUiThreadRunsMeanwhile) {
    server.Route(kApi, HttpResponse::NeverAnswering());
    HttpLimits limits;
    limits.totalTimeoutMs = 1500;
    auto controller = Controller(limits);
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(50);
    controller->OnStartUpdater(false);
    controller->OnStartUpdater(false);  // a second request while one runs is not a second check
    ASSERT_TRUE(checks->wait(10000));
    EXPECT_FALSE(checks->first().at(0).toBool());
    EXPECT_GE(ticks, 15);
    EXPECT_EQ(server.RequestCount(kApi), 1);
    EXPECT_NE(controller->LastCheck().reason.find("in time"), std::string::npos)
        << controller->LastCheck().reason;
    EXPECT_EQ(controller->MessageBox(), nullptr);
}

TEST_F(UpdateControllerTest, ClosingDuringACheckDoesNotWaitForTheService) {
    server.Route(kApi, HttpResponse::NeverAnswering());
    auto controller = Controller();  // the real 15 s limit
    controller->OnStartUpdater(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.RequestCount(kApi) == 1; }, 5000));
    const auto start = std::chrono::steady_clock::now();
    controller.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(UpdateControllerTest, ASecondStartOfTheUpdaterProgramBringsTheFirstForwardAndEnds) {
    server.Route(kApi, HttpResponse::Reply(200, zor::test::ServiceReply(0)));
    UpdaterWindow window(dir.path());
    window.Create(nullptr, QStringLiteral("AutoUpdate"), ui::kWsDialog | ui::kWsMinimizeBox | ui::kWsVisible,
                  0, QRect(0, 0, UpdaterWindow::kWidth, UpdaterWindow::kHeight));
    ASSERT_TRUE(updater.Acquire());
    updater.SetRaiseHandler([&] {
        ++raised;
        window.BringToFront();
    });
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(QString::fromStdString((zor::test::BuildDir() / "AutoUpdate" / "AutoUpdate").string()),
                 {QStringLiteral("--home"), QString::fromStdString(dir.path().string())});
    ASSERT_TRUE(second.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(raised, 1);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(UpdateControllerTest, TheUpdaterProgramFindsItsProgramFolderAboveItselfAndAsksTheService) {
    // A program folder of its own with the updater in AutoUpdate/, as an installation has it.
    const auto program = dir.path() / "program";
    const auto build = zor::test::BuildDir();
    std::filesystem::create_directories(program);
    for (const char* part : {"res", "res_black", "res_white"})
        std::filesystem::copy(build / part, program / part, std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(program / "AutoUpdate");
    std::filesystem::copy_file(build / "AutoUpdate" / "AutoUpdate", program / "AutoUpdate" / "AutoUpdate");
    WriteVersionFiles(program, server);
    server.Route(kApi, HttpResponse::Reply(200, zor::test::ServiceReply(0)));
    const auto picture = dir.path() / "updater.png";
    QProcess updaterProgram;
    updaterProgram.setProcessChannelMode(QProcess::ForwardedChannels);
    updaterProgram.start(QString::fromStdString((program / "AutoUpdate" / "AutoUpdate").string()),
                         {QStringLiteral("--screenshot"), QString::fromStdString(picture.string())});
    ASSERT_TRUE(updaterProgram.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return updaterProgram.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(updaterProgram.exitCode(), 0);
    EXPECT_EQ(server.RequestCount(kApi), 1);
    EXPECT_TRUE(std::filesystem::exists(picture));
}

}  // namespace
}  // namespace zor::update::test
