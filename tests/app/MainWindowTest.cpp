// The running program against the virtual mouse: the DPI page sends what it should, the
// mouse's buttons move the pages, unplugging shows the no-device notice, closing hides or
// exits, and a synchronisation after an identifier mismatch pushes everything.
#include <QApplication>
#include <QLineEdit>
#include <nlohmann/json.hpp>

#include "MainWindowFixture.h"
#include "app/AppMessages.h"
#include "common/Debug.h"
#include "config/MouseConfig.h"
#include "device/KeyCode.h"
#include "support/UserInput.h"

namespace zor::app::test {
namespace {

using ui::CCheckBoxUI;
using ui::CComboUI;
using ui::COptionUI;
using ui::CSliderUI;

constexpr std::uint8_t kDpiWrite = 0x06;
constexpr std::uint8_t kProfileWrite = 0x02;

int MouseGearValue(const VirtualMouseState& s, int gear) {
    return s.dpi[static_cast<std::size_t>(2 + 2 * gear)] |
           (s.dpi[static_cast<std::size_t>(3 + 2 * gear)] << 8);
}

TEST_F(MainWindowTest, StartShowsTheMouseItsConnectionAndBattery) {
    Start(VirtualLinkKind::Receiver);
    EXPECT_EQ(window->Stack().Entries().size(), 2u);
    EXPECT_TRUE(Find<COptionUI>("btn_display1")->IsSelected());  // the receiver's tile
    EXPECT_FALSE(Find<COptionUI>("btn_display0")->IsEnabled());  // no cable attached
    EXPECT_EQ(Find<ui::CControlUI>("connect_state")->GetAttribute("bkimage"), "Home/2.4GConnect.svg");
    EXPECT_EQ(Find<ui::CControlUI>("battery_Text")->GetText(), "80%");
    EXPECT_EQ(Find<ui::CProgressUI>("battery_progress")->GetValue(), 80);
    EXPECT_TRUE(window->BatteryTimerRunning());
    EXPECT_EQ(window->Stack().Presence().RunningListeners(), 1);
    EXPECT_EQ(window->geometry().size(), QSize(990, 690));
}

// The battery timer, not a click or a report, brings the mouse's new battery level to the gauge.
TEST_F(MainWindowTest, TheBatteryTimerReadsTheMouseAgainAndTheGaugeFollows) {
    batteryTimerMs = 100;
    Start(VirtualLinkKind::Receiver);
    ASSERT_EQ(Find<ui::CControlUI>("battery_Text")->GetText(), "80%");
    Mouse().SetBattery(35, false);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Find<ui::CControlUI>("battery_Text")->GetText() == "35%"; }, 5000));
    EXPECT_EQ(Find<ui::CProgressUI>("battery_progress")->GetValue(), 35);
    EXPECT_TRUE(window->BatteryTimerRunning());
}

// Every control a user can click takes a press at its place on the window: no overlay, hidden
// or not, lies on top of it (the apply progress and the dialogs' overlays included).
TEST_F(MainWindowTest, EveryClickableControlTakesAPressAtItsPlace) {
    Start();
    int checked = 0;
    for (ui::CControlUI* control : window->PaintManager().AllControls()) {
        const bool clickable = qobject_cast<ui::CButtonUI*>(control) != nullptr ||
                               qobject_cast<ui::CSliderUI*>(control) != nullptr ||
                               qobject_cast<ui::CEditUI*>(control) != nullptr;
        if (!clickable || !control->isVisible() || !control->isEnabled()) continue;
        if (control->width() <= 1 || control->height() <= 1) continue;  // focus parking spots
        ++checked;
        EXPECT_TRUE(zor::test::Reachable(control)) << zor::test::Obstruction(control).toStdString();
    }
    EXPECT_GT(checked, 30);
}

TEST_F(MainWindowTest, ReleasingTheDpiSliderSendsTheDpiWriteOnceOnCableAndTheMouseHoldsIt) {
    Start();
    auto* slider = Find<CSliderUI>("btn_MouseAdv_DpiSlider");
    const int gear = window->Document().adv[0].cruseldpi;
    Mouse().ClearFrames();
    ASSERT_TRUE(zor::test::Reachable(slider)) << zor::test::Obstruction(slider).toStdString();
    const QPoint at = slider->mapTo(window.get(), QPoint(slider->width() * 3 / 4, slider->height() / 2));
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(Frames(kDpiWrite), 0);  // moving alone sends nothing
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitApply());

    const int value = window->Document().adv[0].gears[static_cast<std::size_t>(gear)].value;
    EXPECT_GT(value, 10000);
    EXPECT_EQ(window->Dpi().Table().Nearest(value), value);  // a value of the model's table
    EXPECT_EQ(Frames(kDpiWrite), 1);
    EXPECT_EQ(Frames(kProfileWrite, kSubProfileId), 1);  // the renewed profile identifier
    EXPECT_EQ(static_cast<int>(Mouse().Frames().size()), 2);
    EXPECT_EQ(MouseGearValue(Mouse().State(), gear), value);
    EXPECT_EQ(Find<ui::CControlUI>("lab_MouseAdv_DpiSliderValue")->GetText(), QString::number(value));
}

TEST_F(MainWindowTest, OnTheReceiverAnEditIsSentWriteTimesTimes) {
    Start(VirtualLinkKind::Receiver);
    Mouse().ClearFrames();
    EXPECT_TRUE(zor::test::ClickControl(Find<COptionUI>("chk_MouseAdv_SelDPI3")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Frames(kDpiWrite), 2);       // WriteTimes of MouseA
    EXPECT_EQ(Mouse().State().dpi[1], 4);  // 1-based current gear
}

TEST_F(MainWindowTest, TypedDpiSnapsAndTheLastGearCannotBeSwitchedOff) {
    Start();
    const int gear = window->Document().adv[0].cruseldpi;
    auto* edit = Find<ui::CEditUI>(QStringLiteral("MouseAdv_Edit%1").arg(gear).toLatin1().constData());
    ASSERT_TRUE(edit->IsVisible());
    // Exactly between two neighbouring values of the model's table: the higher one wins.
    const auto& labels = window->Dpi().Table().Labels();
    const auto low = labels.lower_bound(1000);
    const auto high = std::next(low);
    edit->SetText(QString::number((low->first + high->first) / 2));
    QTest::keyClick(edit->LineEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(window->Document().adv[0].gears[static_cast<std::size_t>(gear)].value, high->first);

    for (int g = 0; g < 8; ++g) {
        auto* box = Find<CCheckBoxUI>(QStringLiteral("chk_MouseAdv_PDIEn%1").arg(g).toLatin1().constData());
        if (box->GetCheck() && g != 2) {
            EXPECT_TRUE(zor::test::ClickControl(box));
            WaitApply();
        }
    }
    auto* last = Find<CCheckBoxUI>("chk_MouseAdv_PDIEn2");
    ASSERT_TRUE(last->GetCheck());
    EXPECT_TRUE(zor::test::ClickControl(last));
    EXPECT_TRUE(last->GetCheck());
    EXPECT_EQ(window->Document().adv[0].gears[2].enabled, 1);
    EXPECT_EQ(window->Document().adv[0].cruseldpi, 2);
}

TEST_F(MainWindowTest, TheMouseButtonsMoveTheDpiGearAndTheProfile) {
    Start();
    const int gear = window->Document().adv[0].cruseldpi;
    Mouse().Click(MouseButton::Dpi);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Document().adv[0].cruseldpi == gear + 1; }, 5000));
    EXPECT_TRUE(Find<COptionUI>(QStringLiteral("chk_MouseAdv_SelDPI%1").arg(gear + 1).toLatin1().constData())
                    ->IsSelected());

    const qsizetype runs = applied->count();
    Mouse().Click(MouseButton::Profile);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->PagesProfile() == 1; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return applied->count() > runs; }, 5000));
    EXPECT_EQ(window->PagesProfile(), 1);
    EXPECT_EQ(Find<CComboUI>("btn_Mouse_SelProfile")->GetCurSel(), 1);
    EXPECT_EQ(Find<ui::CControlUI>("lab_MouseAdv_DpiSliderValue")->GetText(),
              QString::number(window->Document()
                                  .adv[1]
                                  .gears[static_cast<std::size_t>(window->Document().adv[1].cruseldpi)]
                                  .value));
}

TEST_F(MainWindowTest, TheReportRateGoesToTheConnectionsFieldAndFollowsTheMouse) {
    Start(VirtualLinkKind::Receiver);
    Mouse().ClearFrames();
    const int usb = window->Document().adv[0].rateusbvalue;
    EXPECT_TRUE(zor::test::ClickControl(Find<COptionUI>("opt_MouseUsbRate3")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(window->Document().adv[0].ratedonglevalue, 3);
    EXPECT_EQ(window->Document().adv[0].rateusbvalue, usb);
    EXPECT_EQ(Frames(0x03), 2);
    EXPECT_EQ(Mouse().State().reportRate, ReportRateCode("", 3));

    // The mouse reports a rate change as its device code, the way the event worker sends it;
    // the page shows the option of that code. A code the model does not have changes nothing.
    ui::SendMessageTo(window.get(), ui::kMsgDeviceRateChanged, ReportRateCode("", 1), 1);
    EXPECT_TRUE(Find<COptionUI>("opt_MouseUsbRate1")->IsSelected());
    EXPECT_EQ(window->Document().adv[0].ratedonglevalue, 1);
    ui::SendMessageTo(window.get(), ui::kMsgDeviceRateChanged, 3, 1);
    EXPECT_TRUE(Find<COptionUI>("opt_MouseUsbRate1")->IsSelected());
    EXPECT_EQ(window->Document().adv[0].ratedonglevalue, 1);
}

TEST_F(MainWindowTest, UnpluggingShowsTheNoDeviceNoticeAndReplugClosesIt) {
    Start();
    window->Stack().PlugVirtualMouse(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() != nullptr; }, 5000));
    EXPECT_EQ(window->MessageBox()->GetType(), ui::CMsgWnd::kNoDevice);
    EXPECT_EQ(window->MessageBox()->GetSubType(), ui::CMsgWnd::kSubNoDevice);
    EXPECT_EQ(window->MessageBox()->FindControl(QStringLiteral("confirm_btn"))->GetText(), "Exit");
    EXPECT_TRUE(Find<ui::CControlUI>("tranWnd")->IsVisible());
    EXPECT_FALSE(window->BatteryTimerRunning());

    const qsizetype runs = applied->count();
    window->Stack().PlugVirtualMouse(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() == nullptr; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return applied->count() > runs; }, 5000));
    EXPECT_FALSE(Find<ui::CControlUI>("tranWnd")->IsVisible());
    EXPECT_TRUE(window->BatteryTimerRunning());
}

TEST_F(MainWindowTest, AReceiverThatLosesItsMouseShowsHowToWakeAndPairIt) {
    Start(VirtualLinkKind::Receiver);
    Mouse().DropLink();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() != nullptr; }, 5000));
    EXPECT_EQ(window->MessageBox()->GetSubType(), ui::CMsgWnd::kSubReceiverNotLinked);
    EXPECT_EQ(Find<ui::CControlUI>("connect_state")->GetAttribute("bkimage"), "Home/2.4GNoConnect.svg");
    // Its button only puts the notice away, and says so.
    ui::CControlUI* confirm = window->MessageBox()->FindControl(QStringLiteral("confirm_btn"));
    EXPECT_EQ(confirm->GetText(), "OK");
    ASSERT_TRUE(zor::test::ClickControl(confirm));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() == nullptr; }, 5000));
    EXPECT_EQ(quits, 0);
    Mouse().RestoreLink();
}

TEST_F(MainWindowTest, CloseWithOptionZeroHidesToTheTrayAndRestoreBringsItBack) {
    WriteSetIni(0, 0);
    Start();
    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_close")));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->HiddenToTray());
    EXPECT_EQ(quits, 0);
    window->Restore();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->HiddenToTray());
}

TEST_F(MainWindowTest, CloseWithOptionOneExitsAndTheFileOnDiskEqualsTheDocument) {
    WriteSetIni(1, 0);
    Start();
    window->Document().adv[2].firevalue = 9;  // an edit not sent yet must not be lost
    EXPECT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_close")));
    EXPECT_EQ(quits, 1);
    const std::string saved = zor::test::ReadFile(MouseConfigPath(window->ModelFolder()));
    EXPECT_EQ(nlohmann::json::parse(saved), window->Document().ToJson());
    EXPECT_EQ(nlohmann::json::parse(saved)["mouseconfig"]["mouseadv"][2]["firevalue"], 9);
}

TEST_F(MainWindowTest, SynchronisingAfterAProfileIdMismatchSendsTheFullApply) {
    Start();
    auto state = Mouse().State();
    state.profileIds = {7, 7, 7, 7};
    Mouse().SetState(state);
    Mouse().ClearFrames();
    window->StartRun(RunMode::Synchronise);
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Frames(kDpiWrite), 2);  // ApplyAll: every write WriteTimes times
    EXPECT_GT(Frames(0x04), 0);       // keys
    EXPECT_GT(Frames(0x09), 0);       // lighting
    EXPECT_EQ(Mouse().State().profileIds[0], window->Document().ProfileId(0));

    Mouse().ClearFrames();  // identifiers agree now: only reads
    window->StartRun(RunMode::Synchronise);
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Frames(kDpiWrite), 0);
}

TEST_F(MainWindowTest, AnApplyRequestDuringAStateReadIsDropped) {
    Start();
    Mouse().ClearFrames();
    ui::SendMessageTo(window.get(), ui::kMsgReadDeviceState, 0, 0);
    ASSERT_TRUE(window->RefreshRunning());
    ui::SendMessageTo(window.get(), ui::kMsgApply, kOpDpi, 0);
    EXPECT_FALSE(window->ApplyRunning());
    ASSERT_TRUE(WaitStateRead());
    EXPECT_EQ(Frames(kDpiWrite), 0);
}

TEST_F(MainWindowTest, TheBatteryRefreshShowsLevelAndCharging) {
    Start(VirtualLinkKind::Receiver);
    Mouse().SetBattery(15, true);
    ui::SendMessageTo(window.get(), ui::kMsgReadDeviceState, 0, 0);
    ASSERT_TRUE(WaitStateRead());
    EXPECT_EQ(Find<ui::CControlUI>("battery_Text")->GetText(), "15%");
    EXPECT_TRUE(Find<ui::CControlUI>("in_charge")->IsVisible());
}

TEST_F(MainWindowTest, SilentStartHidesOnlyWhenBothAutostartFlagsAreSet) {
    WriteSetIni(0, 0, 1, 1);
    Start(VirtualLinkKind::Cable, QStringLiteral("-silent"));
    EXPECT_FALSE(window->isVisible());
    window.reset();
    WriteSetIni(0, 0, 1, 0);
    Start(VirtualLinkKind::Cable, QStringLiteral("-silent"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, MessagesOfPagesNotBuiltYetSayWhereTheyWent) {
    Start();
    std::vector<std::string> lines;
    SetDebugSinkForTest([&lines](const std::string& line) { lines.push_back(line); });
    for (const MessageOwner& owner : MessageOwners()) {
        if (owner.built) continue;
        lines.clear();
        ui::SendMessageTo(window.get(), owner.message, 0, 0);
        ASSERT_EQ(lines.size(), 1u) << owner.message;
        EXPECT_NE(lines[0].find(std::to_string(owner.message)), std::string::npos);
    }
    SetDebugSinkForTest(nullptr);
    for (unsigned m : {2025u, 2031u, 2051u, 2053u, 2065u, 2074u})
        EXPECT_TRUE(std::any_of(MessageOwners().begin(), MessageOwners().end(), [m](const MessageOwner& o) {
            return o.message == m;
        })) << m;
}

}  // namespace
}  // namespace zor::app::test
