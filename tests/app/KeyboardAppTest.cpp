// The mouse set up from the keyboard alone: Tab walks the window's controls in reading order with
// a frame on the focused one (each press changes the window's pixels), arrows move within option
// groups and sliders, Space and Enter press, Escape closes a drop-down, the colour picker and the
// key popup. What the keys chose reaches the mouse. With ZOR_SCREENSHOT_DIR set, the window is
// kept there each time the focus reaches the control a step was after.
#include <QApplication>
#include <QImage>
#include <QTimer>

#include "MainWindowFixture.h"
#include "support/Wait.h"
#include "ui/PaintManager.h"

namespace zor::app::test {
namespace {

using ui::CControlUI;
constexpr std::uint8_t kKeyWrite = 0x04;

class KeyboardAppTest : public MainWindowTest {
protected:
    // A key pressed and released as the window system delivers it: to an open drop-down first,
    // else to the window's focused control.
    static void Press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->windowHandle(), key, modifiers);
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Press(window.get(), key, modifiers);
    }
    QWidget* Focus() const { return window->focusWidget(); }
    static std::string Name(const QWidget* w) { return w ? w->objectName().toStdString() : "(none)"; }
    CControlUI* In(const char* part, const char* name) {
        return window->PaintManager().FindSubControlByName(Find<CControlUI>(part), QLatin1String(name));
    }

    // Tab (Shift+Tab when back) until target holds the focus; every press must show on the
    // window's pixels.
    void TabTo(QWidget* target, bool back = false) {
        ASSERT_NE(target, nullptr);
        for (int presses = 0; Focus() != target; ++presses) {
            ASSERT_LT(presses, 120) << "Tab never reached " << Name(target);
            const QImage before = window->grab().toImage();
            Press(Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
            ASSERT_NE(Focus(), nullptr);
            EXPECT_TRUE(Focus()->isVisible()) << Name(Focus());
            EXPECT_NE(window->grab().toImage(), before)
                << "the focus on " << Name(Focus()) << " shows nowhere";
        }
        // With ZOR_SCREENSHOT_DIR set, the window is kept there as each target gets the focus.
        if (const QString shots = qEnvironmentVariable("ZOR_SCREENSHOT_DIR"); !shots.isEmpty())
            window->grab().save(shots + QStringLiteral("/keyboard-") + target->objectName() +
                                QStringLiteral(".png"));
    }

    // Runs act on the top-level window named name as soon as it shows (a modal one included).
    static void WhenShown(const QString& name, std::function<void(QWidget*)> act) {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, name, act] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == name && w->isVisible()) {
                    timer->stop();
                    timer->deleteLater();
                    act(w);
                    return;
                }
        });
        timer->start(20);
    }

    int Gear() { return window->Document().adv[static_cast<std::size_t>(window->PagesProfile())].cruseldpi; }
    int GearValue(int gear) {
        return window->Document()
            .adv[static_cast<std::size_t>(window->PagesProfile())]
            .gears[static_cast<std::size_t>(gear)]
            .value;
    }
    int MouseGearValue(int gear) {
        const VirtualMouseState s = Mouse().State();
        return s.dpi[static_cast<std::size_t>(2 + 2 * gear)] |
               (s.dpi[static_cast<std::size_t>(3 + 2 * gear)] << 8);
    }
};

}  // namespace

TEST_F(KeyboardAppTest, TabSpaceEnterEscapeAndArrowsSetTheMouseUpWithTheFocusAlwaysInSight) {
    zor::test::WriteFile(folder / "res" / "Set.ini",
                         "[Set]\nLanguage=1\nDpiPopEn=0\nOnlyOnePageVersion=1\n[CloseConfig]\nCloseOption=0\n"
                         "Remind=0\n");
    Start();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    // The first Tab starts at the window's first control, the first button of the title bar.
    TabTo(Find<CControlUI>("btn_Null"));

    // A DPI gear: the arrows walk the gears (each one chosen as a click chooses it), the
    // slider's arrows and End change its value.
    TabTo(Find<CControlUI>("chk_MouseAdv_SelDPI0"));
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    EXPECT_EQ(Focus(), Find<CControlUI>("chk_MouseAdv_SelDPI2"));
    EXPECT_EQ(Gear(), 2);
    ASSERT_TRUE(WaitApply());
    const int before = GearValue(2);
    TabTo(Find<CControlUI>("btn_MouseAdv_DpiSlider"));
    Press(Qt::Key_End);
    ASSERT_TRUE(WaitApply());
    EXPECT_GT(GearValue(2), before);

    // The gear's colour swatch opens the colour picker with Enter; Escape closes it unchanged.
    const std::uint32_t colour =
        window->Document().adv[static_cast<std::size_t>(window->PagesProfile())].gears[2].colour;
    bool pickerShown = false;
    WhenShown(QStringLiteral("PopColorWnd"), [&](QWidget* picker) {
        pickerShown = true;
        Press(picker, Qt::Key_Escape);
    });
    CControlUI* swatch = Find<CControlUI>("btn_MouseAdv_Color2");
    TabTo(swatch, true);
    Press(Qt::Key_Return);
    ZOR_TRY_VERIFY(pickerShown);
    // The window manager hands the activation back; the focus is where it was.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(Focus(), swatch);
    EXPECT_EQ(window->Document().adv[static_cast<std::size_t>(window->PagesProfile())].gears[2].colour,
              colour);

    // The profile drop-down opens with Space and closes with Escape, the focus back on it.
    auto* profiles = Find<ui::CComboUI>("btn_Mouse_SelProfile");
    TabTo(profiles, true);
    Press(Qt::Key_Space);
    ASSERT_NE(profiles->DropDown(), nullptr);
    Press(Qt::Key_Escape);
    ZOR_TRY_VERIFY(profiles->DropDown() == nullptr);
    ZOR_TRY_COMPARE(Focus(), profiles);

    // A key's function: the arrow moves from the DPI page to the Buttons page; Enter on a key
    // opens the popup with the focus inside, Space picks "Right Click", Enter on Done closes it
    // and the focus is back on the key.
    TabTo(Find<CControlUI>("opt_nav_dpi"), true);
    Press(Qt::Key_Right);
    ASSERT_TRUE(Find<CControlUI>("page_keys")->isVisible());
    CControlUI* key = In("page_keys", "btn_MouseKey_Click3");
    TabTo(key);
    Press(Qt::Key_Return);
    CControlUI* popup = Find<CControlUI>("PopMouseKeySel");
    ASSERT_TRUE(popup->isVisible());
    EXPECT_TRUE(popup->isAncestorOf(Focus())) << Name(Focus());
    TabTo(In("PopMouseKeySel", "ItemValue3_RightClick"));
    Mouse().ClearFrames();
    Press(Qt::Key_Space);
    ASSERT_TRUE(WaitApply());
    const VirtualMouseState state = Mouse().State();
    EXPECT_EQ((std::array<std::uint8_t, 4>{state.keys[12], state.keys[13], state.keys[14], state.keys[15]}),
              (std::array<std::uint8_t, 4>{0x01, 0x02, 0, 0}));
    // Tab stays inside the open popup.
    TabTo(In("PopMouseKeySel", "btn_MouseKey_Apply"));
    Press(Qt::Key_Return);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(Focus(), key);
    // Escape cancels the popup as its Cancel button does.
    Press(Qt::Key_Return);
    ASSERT_TRUE(popup->isVisible());
    Press(Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(Focus(), key);

    // A macro: Space on the Macros tab shows the macro page, Space on the new-group button makes a
    // group with its first macro.
    TabTo(Find<CControlUI>("btn_Mac"), true);
    Press(Qt::Key_Space);
    ASSERT_TRUE(Find<CControlUI>("page_macro")->isVisible());
    const std::size_t groups = window->Macros().groups().size();
    TabTo(Find<CControlUI>("opt_Macro_AddMacGroup"));
    Press(Qt::Key_Space);
    ZOR_TRY_COMPARE(window->Macros().groups().size(), groups + 1);
    ASSERT_NE(window->Macros().macro(static_cast<int>(groups), 0), nullptr);

    // Back on the mouse page, Enter on Apply writes the profile: the mouse holds what the keys
    // chose.
    TabTo(Find<CControlUI>("btn_Null"), true);
    Press(Qt::Key_Space);
    TabTo(Find<CControlUI>("btn_Mouse_Apply"));
    Mouse().ClearFrames();
    Press(Qt::Key_Return);
    ASSERT_TRUE(WaitApply());
    EXPECT_GT(Frames(kKeyWrite), 0);
    EXPECT_EQ(Mouse().State().dpi[1], 3);  // 1-based current gear
    EXPECT_EQ(MouseGearValue(2), GearValue(2));
}

}  // namespace zor::app::test
