// The main window's part of the update: message 2037 checks off the UI thread and hands a
// found release to the updater (wParam 1: at once), and the version button opens the version
// window modally; when the updater takes over from there, the program ends through its exit
// steps (the configuration is saved).
#include <gtest/gtest.h>
#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>

#include "LocalHttpServer.h"
#include "MainWindowFixture.h"
#include "UpdateService.h"
#include "ui/SingleInstance.h"
#include "config/MouseConfig.h"
#include "support/UserInput.h"
#include "ui/Messages.h"
#include "update/UpdatePaths.h"
#include "update/gui/SoftVersion.h"
#include "update/gui/UpdateController.h"

namespace zor::app::test {
namespace {

using update::LaunchResult;

// Clicks a control of a window the way a user does (tests/support/UserInput.h).
bool ClickOn(ui::WindowImplBase& window, const char* name) {
    ui::CControlUI* control = window.FindControl(QLatin1String(name));
    return control != nullptr && zor::test::ClickControl(control);
}

update::SoftVersion* OpenVersionWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<update::SoftVersion*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// Runs then on the version window once the modal loop shows it (the click that opens it returns
// only when it closes).
void WhenVersionWindowOpens(std::function<void(update::SoftVersion&)> then) {
    QTimer::singleShot(10, [then] {
        if (update::SoftVersion* version = OpenVersionWindow())
            then(*version);
        else
            WhenVersionWindowOpens(then);
    });
}

class UpdateAppTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        // The updater's single-instance channel of this test lives in its own runtime folder.
        const char* previous = std::getenv("XDG_RUNTIME_DIR");
        savedRuntime = previous ? previous : "";
        const auto runtime = dir.path() / "run";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
        zor::test::WriteFile(update::VersionInfoPath(folder),
                             zor::test::VersionInfoJson("zormouse", "0.1.0", server.Url("/api/")));
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        if (savedRuntime.empty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(savedRuntime));
    }
    // The main window on screen, so that clicks reach its controls where they are drawn.
    void StartShown() {
        Start();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void RunUpdater() {
        ASSERT_TRUE(updater.Acquire());
        updater.SetRaiseHandler([this] { ++raised; });
    }

    zor::test::LocalHttpServer server;
    std::string savedRuntime;
    ui::SingleInstance updater{QStringLiteral("AutoUpdate")};
    int raised = 0;
};

TEST_F(UpdateAppTest, Message2037ChecksOffTheUiThreadAndHandsAFoundReleaseToTheUpdater) {
    RunUpdater();
    zor::test::OfferRelease(server, "/api/zormouse/0.1.0", "zormouse_9.9.9_amd64.deb", "package");
    Start();
    QSignalSpy launched(&window->Updates(), &update::UpdateController::launchFinished);
    ui::SendMessageTo(window.get(), ui::kMsgStartUpdater, 0, 0);
    EXPECT_TRUE(window->Updates().CheckRunning());  // the message returned before the answer
    ASSERT_TRUE(launched.wait(10000));
    EXPECT_EQ(launched.first().at(0).value<LaunchResult>(), LaunchResult::Raised);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(quits, 0);
}

TEST_F(UpdateAppTest, Message2037WithWParam1StartsTheUpdaterWithoutChecking) {
    RunUpdater();
    Start();
    QSignalSpy launched(&window->Updates(), &update::UpdateController::launchFinished);
    ui::SendMessageTo(window.get(), ui::kMsgStartUpdater, 1, 0);
    ASSERT_TRUE(launched.wait(5000));
    EXPECT_EQ(raised, 1);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(UpdateAppTest, TheVersionButtonOpensTheVersionWindowModallyAndCloseReturns) {
    StartShown();
    bool seen = false;
    WhenVersionWindowOpens([&](update::SoftVersion& version) {
        seen = true;
        EXPECT_EQ(version.size(), QSize(800, 572));
        EXPECT_TRUE(version.IsModal());
        EXPECT_EQ(version.GetOwner(), window.get());
        // Listed by the window system under the program's own title.
        EXPECT_EQ(version.windowTitle(), QStringLiteral("Zor Mouse"));
        EXPECT_EQ(version.windowTitle(), window->windowTitle());
        ClickOn(version, "closebtn");
    });
    ASSERT_TRUE(ClickOn(*window, "modal_popwnd_btn"));
    EXPECT_TRUE(seen);
    EXPECT_EQ(OpenVersionWindow(), nullptr);
    EXPECT_EQ(quits, 0);
}

TEST_F(UpdateAppTest, StartingTheUpdaterFromTheVersionWindowEndsTheProgramThroughItsExitSteps) {
    RunUpdater();
    StartShown();
    const auto config = MouseConfigPath(window->ModelFolder());
    std::filesystem::remove(config);
    WhenVersionWindowOpens([](update::SoftVersion& version) { ClickOn(version, "btn_StartUpdata"); });
    ASSERT_TRUE(ClickOn(*window, "modal_popwnd_btn"));
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(std::filesystem::exists(config));  // the configuration was saved on the way out
}

}  // namespace
}  // namespace zor::app::test
