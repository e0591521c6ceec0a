// Bluetooth LE in the running program, against the virtual mouse's BLE side: the link coming up
// and going down, the battery and the mouse's buttons over BLE, and failed attempts tried again
// on a timer until the program gives up and says so.
#include <QPushButton>

#include "support/Wait.h"
#include "MainWindowFixture.h"
#include "support/UserInput.h"
#include "app/VirtualMouseWindow.h"
#include "device/BleBridge.h"
#include "ui/Dialogs.h"

namespace zor::app::test {
namespace {

QString ConnectionPicture(CZorMainWnd& window) {
    return window.Find<ui::CControlUI>(QStringLiteral("connect_state"))
        ->GetAttribute(QStringLiteral("bkimage"));
}

// Over BLE the header names the mouse and its tile is marked; the Macros tab stays in place,
// greyed, and says what BLE does not offer. The macro page, open when the link comes up, gives
// way to the mouse page.
TEST_F(MainWindowTest, OverBleTheMouseIsShownFollowedAndSynchronisedUntilItGoesBackToItsCable) {
    Start();
    VirtualMouseWindow control(window->Stack());
    auto* macros = Find<ui::COptionUI>("btn_Mac");
    ASSERT_TRUE(zor::test::ClickControl(macros));
    ASSERT_TRUE(macros->IsSelected());
    auto* bleButton = control.findChild<QPushButton*>(QStringLiteral("vm_ble"));
    ASSERT_TRUE(bleButton->isEnabled());
    bleButton->click();
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->Stack().Link().bleMode.load() == 1 &&
                                    window->MessageBox() == nullptr && !window->ApplyRunning() &&
                                    !window->Stack().VirtualBle()->SentTexts().empty(),
                                5000);
    EXPECT_EQ(ConnectionPicture(*window), "Home/bluetooth.svg");
    EXPECT_EQ(Find<ui::CControlUI>("lab_home_devname")->GetText(), QStringLiteral("Zor MouseA"));
    EXPECT_EQ(Find<ui::CControlUI>("lab_home_state")->GetText(), QStringLiteral("Connected over Bluetooth"));
    auto* modelTile = Find<ui::COptionUI>("btn_display0");
    EXPECT_TRUE(modelTile->IsSelected() && modelTile->IsEnabled());
    EXPECT_FALSE(Find<ui::COptionUI>("btn_display1")->IsSelected());
    EXPECT_TRUE(macros->IsVisible());
    EXPECT_FALSE(macros->IsEnabled());
    EXPECT_TRUE(macros->toolTip().contains(QLatin1String("no macros")));
    EXPECT_EQ(Find<ui::CControlUI>("lab_home_state")->toolTip(), macros->toolTip());
    EXPECT_FALSE(macros->IsSelected());
    EXPECT_TRUE(Find<ui::COptionUI>("btn_Null")->IsSelected());
    EXPECT_EQ(Find<ui::CTabLayoutUI>("tab_main")->GetCurSel(), 0);
    EXPECT_FALSE(Find<ui::CControlUI>("ver_MouseUsbRate")->IsVisible());
    EXPECT_TRUE(Find<ui::CControlUI>("lab_MouseAdv_BleRate")->IsVisible());
    EXPECT_TRUE(
        Find<ui::CControlUI>("lab_MouseAdv_BleRate")->GetText().contains(QLatin1String("report rate")));
    EXPECT_FALSE(window->BatteryTimerRunning());  // the mouse reports its battery itself
    EXPECT_FALSE(control.findChild<QPushButton*>(QStringLiteral("vm_plug"))->isEnabled());

    // The battery event carries a status reply: its payload, not the report id, is the level.
    Mouse().SetBattery(55, true);
    window->Stack().VirtualBle()->ReportBattery();
    ZOR_TRY_COMPARE_WITH_TIMEOUT(Find<ui::CControlUI>("battery_Text")->GetText(), QStringLiteral("55%"), 5000);
    EXPECT_EQ(Find<ui::CProgressUI>("battery_progress")->GetValue(), 55);
    EXPECT_TRUE(Find<ui::CControlUI>("in_charge")->IsVisible());

    // The mouse's DPI button reaches the DPI page through the bridge.
    const int gear = window->Document().adv[0].cruseldpi;
    control.findChild<QPushButton*>(QStringLiteral("vm_dpi"))->click();
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->Document().adv[0].cruseldpi != gear, 5000);

    // Back on the cable: the BLE link is down and the cable connection is shown again.
    bleButton->click();
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->Stack().Link().bleMode.load() == 0 &&
                                    ConnectionPicture(*window) == QLatin1String("Home/UsbConnect.svg") &&
                                    window->MessageBox() == nullptr && window->BatteryTimerRunning(),
                                5000);
    EXPECT_TRUE(control.findChild<QPushButton*>(QStringLiteral("vm_plug"))->isEnabled());
    EXPECT_TRUE(macros->IsEnabled());
    EXPECT_TRUE(macros->toolTip().isEmpty());
    EXPECT_FALSE(Find<ui::CControlUI>("lab_MouseAdv_BleRate")->IsVisible());
    EXPECT_TRUE(Find<ui::CControlUI>("ver_MouseUsbRate")->IsVisible());
}

// A profile chosen with the mouse's own button sticks over BLE as it does on the receiver: the
// synchronisation that follows brings the pages to the mouse's profile and never pushes the
// previous one back. The header names the mouse, not the receiver it has left.
TEST_F(MainWindowTest, OverBleTheMousesOwnProfileChangeSticks) {
    Start(VirtualLinkKind::Receiver);
    VirtualMouseWindow control(window->Stack());
    control.findChild<QPushButton*>(QStringLiteral("vm_ble"))->click();
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->Stack().Link().bleMode.load() == 1 && !window->ApplyRunning() &&
                                    window->MessageBox() == nullptr,
                                5000);
    ASSERT_EQ(Mouse().State().activeProfile, 0);
    const qsizetype runs = applied->count();
    control.findChild<QPushButton*>(QStringLiteral("vm_profile"))->click();
    ZOR_TRY_VERIFY_WITH_TIMEOUT(applied->count() > runs && !window->ApplyRunning(), 5000);
    EXPECT_EQ(window->PagesProfile(), 1);
    EXPECT_EQ(Find<ui::CComboUI>("btn_Mouse_SelProfile")->GetCurSel(), 1);
    EXPECT_EQ(Mouse().State().activeProfile, 1);
    EXPECT_EQ(Find<ui::CControlUI>("lab_home_devname")->GetText(), QStringLiteral("Zor MouseA"));
    EXPECT_TRUE(Find<ui::COptionUI>("btn_display0")->IsSelected());
    EXPECT_FALSE(Find<ui::COptionUI>("btn_display1")->IsSelected());
}

TEST_F(MainWindowTest, FailedBleAttemptsAreRetriedOnATimerAndTheLastOneEndsInAQuittingNotice) {
    bleRetryMs = 10;
    Start();
    // With the mouse on its cable a failed attempt is not tried again.
    ui::PostMessageTo(window.get(), ui::kMsgBleEvent, 0, kBleEventConnectFailed);
    ZOR_TRY_VERIFY_WITH_TIMEOUT(!window->BleRetryPending(), 5000);
    EXPECT_EQ(window->BleFailures(), 0);

    window->Stack().PlugVirtualMouse(false);
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->MessageBox() != nullptr, 5000);
    // The mouse is not reachable over BLE either: five more tries, one every pause, then the notice.
    ASSERT_TRUE(window->Stack().Presence().ConnectBle());
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->BleRetryPending() || window->BleFailures() > 0, 5000);
    ZOR_TRY_VERIFY_WITH_TIMEOUT(window->MessageBox() != nullptr && window->MessageBox()->GetQuitOnConfirm(),
                             5000);
    EXPECT_EQ(window->BleFailures(), 0);
    EXPECT_FALSE(window->BleRetryPending());
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(zor::test::ClickControl(window->MessageBox()->Find<ui::CButtonUI>(QStringLiteral("confirm_btn"))));
    EXPECT_EQ(quits, 1);
}

}  // namespace
}  // namespace zor::app::test
