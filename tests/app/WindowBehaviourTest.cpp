// The close dialog, the tray menu, the reset command and the Virtual mouse window, each driven
// the way a person would.
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "MainWindowFixture.h"
#include "app/VirtualMouseWindow.h"
#include "common/IniFile.h"
#include "config/DeviceFeature.h"
#include "device/KeyCode.h"
#include "support/UserInput.h"
#include "support/Wait.h"
#include "ui/Dialogs.h"

namespace zor::app::test {
namespace {

// Runs action on the open close dialog once its modal loop runs.
void OnCloseDialog(std::function<void(ui::CCloseWnd*)> action) {
    QTimer::singleShot(0, [action] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<ui::CCloseWnd*>(w); dialog && dialog->isVisible()) {
                action(dialog);
                return;
            }
        ADD_FAILURE() << "no close dialog open";
    });
}

TEST_F(MainWindowTest, TheCloseDialogStoresTheChoiceAndActsOnIt) {
    WriteSetIni(0, 1);
    Start();
    OnCloseDialog([](ui::CCloseWnd* dialog) {
        EXPECT_TRUE(zor::test::ClickControl(dialog->Find<ui::COptionUI>(QStringLiteral("Exit"))));
        EXPECT_TRUE(zor::test::ClickControl(dialog->Find<ui::CCheckBoxUI>(QStringLiteral("NotRemindAgain"))));
        EXPECT_TRUE(zor::test::ClickControl(dialog->Find<ui::CButtonUI>(QStringLiteral("OkButton"))));
    });
    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_close")));
    EXPECT_EQ(quits, 1);
    const IniFile set(folder / "res" / "Set.ini");
    EXPECT_EQ(set.GetInt("CloseConfig", "CloseOption"), 1);
    EXPECT_EQ(set.GetInt("CloseConfig", "Remind"), 0);
    EXPECT_EQ(window->CloseOption(), 1);
}

TEST_F(MainWindowTest, TheMinimiseButtonMinimisesAndTheTrayIconBringsTheWindowBack) {
    Start();
    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_min")));
    ASSERT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->HiddenToTray());
    ui::SendMessageTo(window.get(), ui::kMsgTrayIcon, 0, ui::kWmLButtonDblClk);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, WithoutANotificationAreaOrABrowserTheUserIsToldWhyNothingHappened) {
    assumeTray = false;  // as on a desktop without a notification area
    std::vector<QUrl> asked;
    openUrl = [&asked](const QUrl& url) {
        asked.push_back(url);
        return false;  // and without a browser
    };
    WriteSetIni(0, 0);
    Start();
    const auto shown = [this] {
        ui::CControlUI* text =
            window->MessageBox() ? window->MessageBox()->FindControl(QStringLiteral("MessageText")) : nullptr;
        return text ? text->GetText() : QString();
    };
    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_close")));
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->HiddenToTray());
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(shown(),
              QStringLiteral("This desktop has no notification area, so the window was minimised instead."));
    window->Restore();
    ASSERT_TRUE(zor::test::ClickControl(window->MessageBox()->FindControl(QStringLiteral("confirm_btn"))));
    ZOR_TRY_VERIFY(window->MessageBox() == nullptr);

    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("guideButton")));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(shown(), QStringLiteral("No web browser was found to open this page:\n") + asked[0].toString());
}

TEST_F(MainWindowTest, TheTrayMenuShowsAndExits) {
    Start();
    window->HideToTray();
    ASSERT_FALSE(window->isVisible());
    ui::SendMessageTo(window.get(), ui::kMsgMenuClick, 0, 0, QStringLiteral("show"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->HiddenToTray());
    ui::SendMessageTo(window.get(), ui::kMsgMenuClick, 0, 0, QStringLiteral("exit"));
    EXPECT_EQ(quits, 1);
}

TEST_F(MainWindowTest, ResetRestoresTheFactoryDocumentAndPushesItWithNewIds) {
    Start();
    const auto ids = LoadDeviceFeatureIds();
    window->Document().adv[0].firevalue = 17;
    window->SaveAndAnnounce();
    Mouse().ClearFrames();
    ui::CControlUI opener;
    ui::TNotifyUI reset;
    reset.sType = QStringLiteral("MyMenuClick");
    reset.pSender = &opener;
    reset.sText = QStringLiteral("Reset");
    window->Notify(reset);
    ASSERT_TRUE(WaitApply());
    MouseConfigDocument factory;
    ASSERT_TRUE(factory.LoadFile(ResetMouseConfigPath(window->ModelFolder())).ok);
    EXPECT_EQ(window->Document().adv[0].firevalue, factory.adv[0].firevalue);
    EXPECT_EQ(Frames(0x06), 2);  // a full push: every write WriteTimes times
    const auto renewed = LoadDeviceFeatureIds();
    for (std::size_t p = 0; p < 4; ++p) EXPECT_NE(renewed[p], ids[p]) << p;
}

TEST_F(MainWindowTest, TheVirtualMouseWindowDrivesTheMouseThePagesFollow) {
    Start(VirtualLinkKind::Receiver);
    VirtualMouseWindow control(window->Stack());
    // Beside the main window, but on its screen, wherever that stands.
    window->show();
    const QRect area = window->screen()->availableGeometry();
    for (const QPoint at : {area.topLeft(), area.bottomRight() - QPoint(200, 200)}) {
        window->move(at);
        control.show();
        control.PlaceBeside(*window);
        const QRect placed = control.frameGeometry();
        EXPECT_TRUE(area.contains(placed))
            << at.x() << "," << at.y() << " area " << area.width() << "x" << area.height() << " placed "
            << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
    }
    // A picture of the window for people checking the build (build/screenshots).
    const auto shots = zor::test::BuildDir() / "screenshots";
    std::filesystem::create_directories(shots);
    control.grab().save(QString::fromStdString((shots / "virtual_mouse.png").string()));
    window->grab().save(QString::fromStdString((shots / "zormouse_main.png").string()));
    const int gear = window->Document().adv[0].cruseldpi;
    control.findChild<QPushButton*>(QStringLiteral("vm_dpi"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Document().adv[0].cruseldpi == gear + 1; }, 5000));

    // The report-rate button: the receiver's rate on the DPI page follows the mouse's new rate.
    const int rate = window->Document().adv[0].ratedonglevalue;
    control.findChild<QPushButton*>(QStringLiteral("vm_rate"))->click();
    const int option = ReportRateIndex("", Mouse().State().reportRate);
    ASSERT_NE(option, rate);
    ZOR_TRY_COMPARE_WITH_TIMEOUT(window->Document().adv[0].ratedonglevalue, option, 5000);
    EXPECT_TRUE(Find<ui::COptionUI>(QStringLiteral("opt_MouseUsbRate%1").arg(option).toLatin1().constData())
                    ->IsSelected());
    EXPECT_EQ(window->Stack().View().Get().reportRateCode, Mouse().State().reportRate);

    control.findChild<QPushButton*>(QStringLiteral("vm_plug"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() != nullptr; }, 5000));
    control.findChild<QPushButton*>(QStringLiteral("vm_plug"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() == nullptr; }, 5000));

    control.findChild<QPushButton*>(QStringLiteral("vm_link"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() != nullptr; }, 5000));
    EXPECT_EQ(window->MessageBox()->GetSubType(), ui::CMsgWnd::kSubReceiverNotLinked);
}

}  // namespace
}  // namespace zor::app::test
