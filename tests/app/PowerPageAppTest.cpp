// The power page of the running program, driven by clicks and typing: what it shows from
// Set.ini, what each change writes there, and the frame each change puts on the virtual mouse.
#include <QApplication>
#include <QTest>

#include "support/Wait.h"
#include "MainWindowFixture.h"
#include "common/IniFile.h"
#include "device/DeviceRequest.h"
#include "support/UserInput.h"

namespace zor::app::test {
namespace {

using ui::CCheckBoxUI;
using ui::CControlUI;
using ui::COptionUI;
using ui::CSliderUI;

class PowerPageTest : public MainWindowTest {
protected:
    IniFile Set() const { return IniFile(folder / "res" / "Set.ini"); }
    void ShowPowerPage() {
        ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("opt_nav_power")));
        ZOR_TRY_VERIFY(Find<CControlUI>("page_power")->isVisible());
        SaveScreenshot("power-page");
    }
    // With ZOR_SCREENSHOT_DIR set, the window's picture is kept there for a person to look at.
    void SaveScreenshot(const char* name) {
        const QByteArray shots = qgetenv("ZOR_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            window->grab().save(QString::fromLocal8Bit(shots) + '/' + QLatin1String(name) + ".png");
    }
    // The frames of the change that just ran, without the identifier renewal that ends it.
    // Types value into the entry and presses Return; answers once the change has run.
    bool Type(const char* entry, const QString& value) {
        if (!zor::test::ClickControl(Find<CControlUI>(entry))) return false;
        if (!QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; })) return false;
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focus, value);
        QTest::keyClick(focus, Qt::Key_Return);
        return WaitApply();
    }
    std::vector<Report> ChangeFrames() {
        std::vector<Report> frames;
        for (const Report& r : Mouse().Frames())
            if (!(r[3] == 0x02 && r[5] == kSubProfileId)) frames.push_back(r);
        return frames;
    }
};

TEST_F(PowerPageTest, ShowsTheStoredValuesKeptWithinTheSlidersAndTheRowsOfTheChip) {
    Set().WriteString("Set", "SleepTime", "500");
    Set().WriteString("Set", "ShortPress", "4");
    Set().WriteString("Set", "LODHeight", "1");
    Set().WriteString("Set", "RippleCtrlEn", "1");
    Start();
    ShowPowerPage();
    auto* sleep = Find<CSliderUI>("Slider_Sleep_Time");
    EXPECT_EQ(sleep->GetValue(), sleep->GetMaxValue());
    EXPECT_EQ(Find<CControlUI>("Edit_Sleep_Time")->GetText(), QString::number(sleep->GetMaxValue()));
    EXPECT_EQ(Find<CControlUI>("Value_Sleep_Time")->GetText(), QString::number(sleep->GetMaxValue()));
    EXPECT_EQ(Find<CSliderUI>("Slider_ShortPress_Time")->GetValue(), 4);
    EXPECT_TRUE(Find<COptionUI>("LODHeight2")->IsSelected());
    EXPECT_TRUE(Find<COptionUI>("RippleControlEn")->IsSelected());
    EXPECT_FALSE(Find<COptionUI>("StraightLineCorrection")->IsSelected());
    // The virtual mouse has chip 6: lift-off in millimetres, no jitter correction, no smooth line.
    EXPECT_EQ(Find<CControlUI>("LODHeight1")->GetText(), QStringLiteral("1mm"));
    EXPECT_EQ(Find<CControlUI>("LODHeight2")->GetText(), QStringLiteral("2mm"));
    EXPECT_TRUE(Find<CControlUI>("StraightLine_Ver")->isVisible());
    EXPECT_FALSE(Find<CControlUI>("JitterCorrect_Ver")->isVisible());
    EXPECT_FALSE(Find<CControlUI>("SmoothLineVer")->isVisible());
    for (const char* name :
         {"intell_save_power", "MoveWakeOption", "StraightLineCorrection", "RippleControlEn", "LODHeight1",
          "LODHeight2", "Slider_Sleep_Time", "Edit_PD_Time"})
        EXPECT_TRUE(zor::test::Reachable(Find<CControlUI>(name)))
            << name << ": " << zor::test::Obstruction(Find<CControlUI>(name)).toStdString();
}

TEST_F(PowerPageTest, EachSwitchIsStoredAndSentAsItsOwnWrite) {
    Start();
    ShowPowerPage();

    Mouse().ClearFrames();
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("StraightLineCorrection")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Set().GetInt("Set", "StraightLineCorrectEn"), 1);
    auto frames = ChangeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][3], 0x02);
    EXPECT_EQ(frames[0][5], kSubOptionA);
    EXPECT_EQ(frames[0][9], 0x01);

    Mouse().ClearFrames();
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("LODHeight2")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Set().GetInt("Set", "LODHeight"), 1);
    frames = ChangeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][5], kSubOptionB);
    EXPECT_EQ(frames[0][9], 2);  // chip 6: the second option is code 2
    EXPECT_EQ(Mouse().State().optionB, 2);

    Mouse().ClearFrames();
    const int wake = Set().GetInt("Set", "MoveWakeEn");
    ASSERT_TRUE(zor::test::ClickControl(Find<COptionUI>("MoveWakeOption")));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(Set().GetInt("Set", "MoveWakeEn"), wake == 0 ? 1 : 0);
    frames = ChangeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][3], 0x0A);
    EXPECT_EQ(frames[0][5], 6);
    EXPECT_EQ(frames[0][9], wake == 0 ? 1 : 0);
}

TEST_F(PowerPageTest, TheSleepSliderAndTheShortPressEntrySendTheirTimes) {
    Set().WriteString("Set", "PDTime", "120");  // deep sleep at its longest: sleep may reach its own
    Start();
    ShowPowerPage();
    auto* slider = Find<CSliderUI>("Slider_Sleep_Time");
    Mouse().ClearFrames();
    ASSERT_TRUE(zor::test::DragControl(slider, QPoint(slider->width() - 2, slider->height() / 2)));
    ASSERT_TRUE(WaitApply());
    const int minutes = Set().GetInt("Set", "SleepTime");
    EXPECT_EQ(minutes, slider->GetMaxValue());
    EXPECT_EQ(Find<CControlUI>("Value_Sleep_Time")->GetText(), QString::number(minutes));
    auto frames = ChangeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][5], kSubSleepTime);
    EXPECT_EQ(frames[0][9] | (frames[0][10] << 8), minutes * 60);

    // Typing a value above the range keeps the maximum.
    auto* edit = Find<CControlUI>("Edit_ShortPress_Time");
    ASSERT_TRUE(zor::test::ClickControl(edit));
    ZOR_TRY_VERIFY(QApplication::focusWidget() != nullptr);
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focus, QStringLiteral("99"));
    Mouse().ClearFrames();
    QTest::keyClick(focus, Qt::Key_Return);
    ASSERT_TRUE(WaitApply());
    const int max = Find<CSliderUI>("Slider_ShortPress_Time")->GetMaxValue();
    EXPECT_EQ(Set().GetInt("Set", "ShortPress"), max);
    EXPECT_EQ(edit->GetText(), QString::number(max));
    frames = ChangeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][3], 0x0A);
    EXPECT_EQ(frames[0][5], 2);
    EXPECT_EQ(frames[0][9], max);
}

TEST_F(PowerPageTest, DeepSleepNeverComesBeforeSleep) {
    Set().WriteString("Set", "SleepTime", "10");
    Set().WriteString("Set", "PDTime", "30");
    Start();
    ShowPowerPage();
    // A deep-sleep time below the sleep time is kept at the sleep time.
    ASSERT_TRUE(Type("Edit_PD_Time", QStringLiteral("5")));
    EXPECT_EQ(Set().GetInt("Set", "PDTime"), 10);
    EXPECT_EQ(Find<CControlUI>("Value_PD_Time")->GetText(), QStringLiteral("10"));
    // A sleep time beyond the deep-sleep time stops at it.
    ASSERT_TRUE(Type("Edit_Sleep_Time", QStringLiteral("20")));
    EXPECT_EQ(Set().GetInt("Set", "SleepTime"), 10);
    EXPECT_EQ(Find<CControlUI>("Edit_Sleep_Time")->GetText(), QStringLiteral("10"));
    ASSERT_TRUE(Type("Edit_Sleep_Time", QStringLiteral("7")));
    EXPECT_EQ(Set().GetInt("Set", "SleepTime"), 7);
}

}  // namespace
}  // namespace zor::app::test
