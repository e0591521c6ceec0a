// Recording through the page: keys reach the recorder only while the keyboard is grabbed, and
// the grab ends on every way out.
#include <linux/input-event-codes.h>
#include <QGuiApplication>
#include <QStyleHints>

#include "MacroPageFixture.h"
#include "support/Wait.h"
#include "ui/Controls.h"

using namespace std::chrono;

namespace zor::test {
namespace {

constexpr std::uint8_t kUsageA = 4;

class MacroRecordingTest : public MacroPageTest {
protected:
    void StartRecording() {
        StartPage();
        SelectMacro(0, 1);
        Click("btn_Macro_Record");
        ZOR_TRY_VERIFY(page->Recording());
        ASSERT_EQ(QWidget::keyboardGrabber(), host.get());
    }
    bool RecordChecked() { return static_cast<ui::CCheckBoxUI*>(Control("btn_Macro_Record"))->GetCheck(); }
};

TEST_F(MacroRecordingTest, PressAndReleaseCarryTheirTimingAndShowRows) {
    StartRecording();
    EXPECT_EQ(Block().num, 0);  // recording replaces the macro's events
    Key(QEvent::KeyPress, KEY_A, Qt::Key_A);
    now += milliseconds(150);
    Key(QEvent::KeyRelease, KEY_A, Qt::Key_A);
    ASSERT_EQ(Block().num, 2);
    EXPECT_EQ(Block().macVal[0], kUsageA);
    EXPECT_EQ(Block().macSta[0], kMacStatePress);
    EXPECT_EQ(Block().macDly[0], 150u);
    EXPECT_EQ(Block().macSta[1], kMacStateRelease);
    EXPECT_EQ(Block().macDly[1], 20u);
    EXPECT_EQ(page->BuiltRows(), 2);
    auto& pm = host->PaintManager();
    auto* list = host->Find<ui::CListUI>(QStringLiteral("list_Macro_KeyDisplay"));
    EXPECT_EQ(pm.FindSubControlByName(list->GetItemAt(0), QStringLiteral("key"))->GetText(),
              QStringLiteral("A"));
    EXPECT_EQ(pm.FindSubControlByName(list->GetItemAt(0), QStringLiteral("delay"))->GetText(),
              QStringLiteral("150 ms"));
    EXPECT_EQ(pm.FindSubControlByName(list->GetItemAt(1), QStringLiteral("delay"))->GetText(),
              QStringLiteral("20 ms"));
    Shot(host.get(), QStringLiteral("macro_page_recording_black"));

    Click("btn_Macro_Record");
    EXPECT_FALSE(page->Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    // The recording is stored: a new load of the file holds it, loop mode "times" with count 1.
    WaitWritten();
    MacroStore again;
    ASSERT_TRUE(again.Load(store.path()).ok);
    const MacroRecord* rec = again.macro(0, 1);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->device.num, 2);
    EXPECT_EQ(rec->device.macRpt, 1);
    EXPECT_EQ(rec->device.macDly[0], 150u);
}

TEST_F(MacroRecordingTest, AutoRepeatAltGrAndRightShiftRecordWhatTheUserPressed) {
    StartRecording();
    Key(QEvent::KeyPress, KEY_B, Qt::Key_B);
    Key(QEvent::KeyPress, KEY_B, Qt::Key_B, {}, true);  // flagged repeats
    Key(QEvent::KeyPress, KEY_B, Qt::Key_B, {}, true);
    Key(QEvent::KeyPress, KEY_B, Qt::Key_B);  // a repeat without the flag: the same key again
    Key(QEvent::KeyRelease, KEY_B, Qt::Key_B);
    ASSERT_EQ(Block().num, 2);
    // AltGr is the right Alt key: recorded as right Alt, with no Control beside it.
    Tap(KEY_RIGHTALT, Qt::Key_AltGr);
    ASSERT_EQ(Block().num, 4);
    EXPECT_EQ(Block().macVal[2], 230);
    EXPECT_EQ(Block().macVal[3], 230);
    Tap(KEY_RIGHTSHIFT, Qt::Key_Shift);
    ASSERT_EQ(Block().num, 6);
    EXPECT_EQ(Block().macVal[4], 229);  // right Shift, a key the mouse can play
    // A key with no scan code of its own records nothing.
    Tap(KEY_VOLUMEUP, Qt::Key_VolumeUp);
    EXPECT_EQ(Block().num, 6);
}

TEST_F(MacroRecordingTest, TabGoesThroughItsOwnMessageAndEnterPressesNoButton) {
    StartRecording();
    int clicks = 0;
    auto* del = static_cast<ui::CButtonUI*>(Control("btn_Macro_Delete"));
    QObject::connect(del, &ui::CButtonUI::clicked, [&clicks] { ++clicks; });
    del->setFocus();
    Tap(KEY_TAB, Qt::Key_Tab);
    Tap(KEY_ENTER, Qt::Key_Return);
    Tap(KEY_SPACE, Qt::Key_Space);
    EXPECT_EQ(clicks, 0);
    ASSERT_EQ(Block().num, 6);  // Tab's press came as message 2029, its release as a key up
    EXPECT_EQ(Block().macVal[0], 43);
    EXPECT_EQ(Block().macSta[1], kMacStateRelease);
    EXPECT_EQ(Block().macVal[2], 40);
    EXPECT_EQ(Block().macVal[4], 44);
}

TEST_F(MacroRecordingTest, HeldKeysStopAtNineAndGapsAreCappedAndCrossMidnight) {
    StartRecording();
    const std::uint32_t tenKeys[] = {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T, KEY_Y, KEY_U, KEY_I, KEY_O, KEY_P};
    for (std::uint32_t k : tenKeys) Key(QEvent::KeyPress, k);
    EXPECT_EQ(Block().num, 9);
    for (std::uint32_t k : tenKeys) Key(QEvent::KeyRelease, k);
    EXPECT_EQ(Block().num, 18);  // the tenth key's release has no recorded press

    Click("btn_Macro_Record");
    Click("btn_Macro_Record");
    ASSERT_TRUE(page->Recording());
    Key(QEvent::KeyPress, KEY_A);
    now += minutes(5);
    Key(QEvent::KeyRelease, KEY_A);
    EXPECT_EQ(Block().macDly[0], 50000u);
    // 23:59:59.900 -> 00:00:00.100 is 200 ms, not a day backwards.
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    now = system_clock::time_point(milliseconds(ms - ms % 86400000 + 86400000 - 100));
    Key(QEvent::KeyPress, KEY_A);
    now += milliseconds(200);
    Key(QEvent::KeyRelease, KEY_A);
    EXPECT_EQ(Block().macDly[2], 200u);
}

TEST_F(MacroRecordingTest, AFullMacroStopsWithRecordWarnAndGivesTheKeyboardBack) {
    StartRecording();
    for (int i = 0; i < 400 && page->Recording(); ++i) {
        Key(QEvent::KeyPress, KEY_A);
        Key(QEvent::KeyRelease, KEY_A);
    }
    EXPECT_FALSE(page->Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_TRUE(boxes.contains(QStringLiteral("RecordWarn")));
    EXPECT_FALSE(RecordChecked());
    EXPECT_GT(Block().num, 200);
    // Full: another event cannot be inserted.
    Click("btn_Macro_InsertKey");
    EXPECT_EQ(boxes.last(), QStringLiteral("Exceed"));
}

TEST_F(MacroRecordingTest, EveryWayOutReleasesTheKeyboard) {
    // Page change.
    StartRecording();
    page->SetShown(false);
    EXPECT_FALSE(page->Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_FALSE(RecordChecked());
    // Window hidden.
    page->SetShown(true);
    Click("btn_Macro_Record");
    ASSERT_EQ(QWidget::keyboardGrabber(), host.get());
    host->hide();
    EXPECT_FALSE(page->Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    // Minimised.
    Click("btn_Macro_Record");
    ASSERT_EQ(QWidget::keyboardGrabber(), host.get());
    host->showMinimized();
    ZOR_TRY_VERIFY(!page->Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    host->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    ZOR_TRY_VERIFY(!host->isMinimized());
    // A third click at the same place so soon would be a double click.
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    // The page destroyed while recording.
    Click("btn_Macro_Record");
    ZOR_TRY_VERIFY(page->Recording());
    ASSERT_EQ(QWidget::keyboardGrabber(), host.get());
    host->page = nullptr;
    page.reset();
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
}

TEST_F(MacroRecordingTest, ClicksElsewhereAreRefusedWhileRecording) {
    StartRecording();
    const int groups = static_cast<int>(store.groups().size());
    Click("opt_Macro_AddMacGroup");
    EXPECT_EQ(static_cast<int>(store.groups().size()), groups);
    EXPECT_TRUE(boxes.contains(QStringLiteral("RecordingWarn")));
    EXPECT_TRUE(page->Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), host.get());
}

TEST_F(MacroRecordingTest, RecordingNeedsASelectedMacro) {
    StartPage();
    Click(Node(0, -1));
    ZOR_TRY_COMPARE(page->SelectedMacro(), -1);
    Click("btn_Macro_Record");
    EXPECT_FALSE(page->Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("SelMacro")});
    EXPECT_FALSE(RecordChecked());
}

TEST_F(MacroRecordingTest, ARecordingOfABoundMacroMarksItForTheMouse) {
    store.groups()[0].macros[1].bindings[u"MouseA"].push_back({"Left", "1"});
    StartRecording();
    Tap(KEY_H, Qt::Key_H, 30);
    Click("btn_Macro_Record");
    EXPECT_TRUE(page->DeviceChangesPending());
    EXPECT_EQ(pendingSignals, 1);
    auto* marker = host->PaintManager().FindSubControlByName(Node(0, 1), QStringLiteral("ToSave"));
    ASSERT_NE(marker, nullptr);
    EXPECT_TRUE(marker->IsVisible());
    Click(marker);
    EXPECT_FALSE(marker->IsVisible());
}

}  // namespace
}  // namespace zor::test
