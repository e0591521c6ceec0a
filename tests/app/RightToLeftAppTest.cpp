// A right-to-left language lays the program out right to left, switched to or started in: the
// skin mirrored, texts from the other side, the parts that are pictures kept as drawn; English
// afterwards is pixel for pixel what it was. With ZOR_SCREENSHOT_DIR set, the pictures compared
// are kept there.
#include <QImage>
#include <map>

#include "MainWindowFixture.h"
#include "common/IniFile.h"
#include "support/UserInput.h"
#include "ui/Language.h"
#include "ui/Messages.h"

namespace zor::app::test {
namespace {

using ui::CControlUI;

class RightToLeftAppTest : public MainWindowTest {
protected:
    void Switch(const char* language) {
        ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, QLatin1String(language));
        QCoreApplication::processEvents();
    }
    QRect InWindow(const char* name) {
        auto* control = Find<CControlUI>(name);
        EXPECT_NE(control, nullptr) << name;
        return control ? QRect(control->mapTo(window.get(), QPoint()), control->size()) : QRect();
    }
    QImage Grab(const QString& name) {
        const QImage picture = window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        if (const QString shots = qEnvironmentVariable("ZOR_SCREENSHOT_DIR"); !shots.isEmpty())
            picture.save(shots + QStringLiteral("/direction-") + name + QStringLiteral(".png"));
        return picture;
    }
    // Columns of control's face left free of its text on the left and on the right: pixels that
    // differ from the face's corner pixel are the text's.
    std::pair<int, int> TextGaps(const char* name) {
        const QImage face = Find<CControlUI>(name)->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QRgb ground = face.pixel(0, 0);
        int first = face.width(), last = -1;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (face.pixel(x, y) != ground) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        EXPECT_LE(first, last) << name << " shows no text";
        return {first, face.width() - 1 - last};
    }
};

TEST_F(RightToLeftAppTest, ArabicMirrorsTheLayoutAndEnglishComesBackPixelForPixel) {
    Start();
    window->show();
    ASSERT_TRUE(zor::test::ClickControl(Find<CControlUI>("opt_nav_dpi")));
    const QImage english = Grab(QStringLiteral("english"));
    const int width = window->width();
    const char* named[] = {"btn_close", "home_page",       "lab_home_devname",
                           "dpi_card0", "btn_Mouse_Apply", "lab_MouseAdv_DpiSliderValue"};
    // A button over the device panel's drawn mouse, which stays as drawn.
    CControlUI* drawnKey = window->PaintManager().FindSubControlByName(Find<CControlUI>("home_page"),
                                                                       QStringLiteral("btn_MouseKey_Click0"));
    const QRect drawnKeyAt = drawnKey->geometry();
    std::map<std::string, QRect> before;
    for (const char* name : named) before[name] = InWindow(name);
    auto* slider = Find<ui::CSliderUI>("btn_MouseAdv_FireCtrl");
    const QRect thumb = slider->GetThumbRect();
    const auto [englishLeft, englishRight] = TextGaps("lab_MouseAdv_DpiSliderValue");
    EXPECT_LT(englishRight, englishLeft) << "the DPI value is right-aligned";
    ASSERT_TRUE(zor::test::ClickControl(Find<CControlUI>("opt_nav_keys")));
    ASSERT_TRUE(Find<CControlUI>("lab_MouseKey2_Name0")->isVisible());  // the model's list of keys
    const QRect keyInPage = Find<CControlUI>("btn_MouseKey2_Click0")->geometry();
    const QRect wheelInPage = Find<CControlUI>("btn_Mouse_Scr_Up")->geometry();
    ASSERT_TRUE(zor::test::ClickControl(Find<CControlUI>("opt_nav_dpi")));

    Switch("lan_ar");
    EXPECT_TRUE(window->isRightToLeft());
    Grab(QStringLiteral("arabic"));
    std::map<std::string, QRect> arabic;
    for (const char* name : named) {
        const QRect was = before[name], now = arabic[name] = InWindow(name);
        EXPECT_EQ(now, QRect(width - was.x() - was.width(), was.y(), was.width(), was.height())) << name;
    }
    EXPECT_EQ(drawnKey->geometry(), drawnKeyAt);
    // The right-aligned value is drawn from the left now, as far from the edge as it was.
    const auto [arabicLeft, arabicRight] = TextGaps("lab_MouseAdv_DpiSliderValue");
    EXPECT_LT(arabicLeft, arabicRight);
    EXPECT_NEAR(arabicLeft, englishRight, 3);
    // A slider grows to the left: its thumb is mirrored, Left raises the value.
    EXPECT_EQ(slider->GetThumbRect(),
              QRect(slider->width() - thumb.x() - thumb.width(), thumb.y(), thumb.width(), thumb.height()));
    const int value = slider->GetValue();
    slider->SetKeyboardFocus();
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(slider->GetValue(), value + slider->GetChangeStep());
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(slider->GetValue(), value);
    slider->clearFocus();  // no focus frame in the English picture
    // The key page is one picture with its controls over it: they stay where the picture has them.
    ASSERT_TRUE(zor::test::ClickControl(Find<CControlUI>("opt_nav_keys")));
    EXPECT_EQ(Find<CControlUI>("btn_MouseKey2_Click0")->geometry(), keyInPage);
    const auto [nameLeft, nameRight] = TextGaps("lab_MouseKey2_Name0");
    EXPECT_LT(nameRight, nameLeft) << "a key's name stays right-aligned beside its button";
    EXPECT_EQ(Find<CControlUI>("btn_Mouse_Scr_Up")->geometry(), wheelInPage);
    ASSERT_TRUE(zor::test::ClickControl(Find<CControlUI>("opt_nav_dpi")));

    Switch("lan_en");
    EXPECT_FALSE(window->isRightToLeft());
    const QImage back = Grab(QStringLiteral("english-again"));
    ASSERT_EQ(back.size(), english.size());
    QRect differing;
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x)
            if (back.pixel(x, y) != english.pixel(x, y)) differing |= QRect(x, y, 1, 1);
    EXPECT_TRUE(differing.isNull()) << "English after Arabic differs from English before it at "
                                    << differing.x() << ',' << differing.y() << ' ' << differing.width()
                                    << 'x' << differing.height();

    // A start in Arabic lays the window out as the switch did.
    window.reset();
    IniFile(folder / "res" / "Set.ini").WriteString("Set", "Language", "13");
    Start();
    window->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isRightToLeft());
    for (const char* name : named) EXPECT_EQ(InWindow(name), arabic[name]) << name << " at start";
}

}  // namespace
}  // namespace zor::app::test
