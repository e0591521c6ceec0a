// A skin switch while the window is open leaves everything looking exactly as a fresh start in
// the new skin, pixel for pixel: each page (lazy ones built before the switch), the key pop-up,
// the macro page's rows and tree, the device tiles, the DPI pop-up shown before the switch and
// the "more" menu. With ZOR_SCREENSHOT_DIR set, the pictures compared are kept there.
#include <QImage>
#include <QMenu>
#include <map>

#include "MainWindowFixture.h"
#include "common/IniFile.h"
#include "support/UserInput.h"
#include "support/Wait.h"
#include "ui/LazyInclude.h"
#include "ui/PaintManager.h"

namespace zor::app::test {
namespace {

class SkinSwitchAppTest : public MainWindowTest {
protected:
    void StartIn(const QString& skin) {
        const QString home = QString::fromStdString(folder.string()) + '/';
        ui::CPaintManagerUI::SetResourcePath(home + skin + '/');
        ui::SetResourcePrefix(QStringLiteral("./") + skin);
        window.reset();
        IniFile(folder / "res" / "Set.ini").WriteString("Set", "DpiPopEn", "1");
        Start();
        window->show();
        ShowDpiPopup();  // built and shown before any switch
        // Every part built, as after the user has seen each page and opened the key pop-up.
        ui::BuildLazyIncludes(
            window->Find<ui::CControlUI>(QStringLiteral("page_keys"))->GetManager()->GetRoot());
        QCoreApplication::processEvents();
    }

    // The mouse's DPI button pressed until the second gear is in use (the mouse keeps its gear
    // from one window to the next): the pop-up shows it, and every window shows the same.
    void ShowDpiPopup() {
        for (int presses = 0; presses < 9; ++presses) {
            const int before = window->Document().adv[0].cruseldpi;
            Mouse().Click(MouseButton::Dpi);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    return window->Document().adv[0].cruseldpi != before && window->DpiPopup() &&
                           window->DpiPopup()->IsShown();
                },
                5000));
            if (window->Document().adv[0].cruseldpi == 1) return;
        }
        FAIL() << "the DPI button never reached the second gear";
    }

    // Each page shown in turn (and the key pop-up over the window), as pictures by name.
    std::map<QString, QImage> Pictures(const QString& skin) {
        std::map<QString, QImage> out;
        const QString shots = qEnvironmentVariable("ZOR_SCREENSHOT_DIR");
        auto keep = [&](const QString& name, QWidget* widget) {
            out[name] = widget->grab().toImage();
            if (!shots.isEmpty())
                out[name].save(shots + QStringLiteral("/skin-") + skin + '-' + name + QStringLiteral(".png"));
        };
        for (const char* name : {"keys", "light", "power"}) {
            EXPECT_TRUE(
                zor::test::ClickControl(Find<ui::CControlUI>(("opt_nav_" + std::string(name)).c_str())));
            auto* page = Find<ui::CControlUI>(("page_" + std::string(name)).c_str());
            EXPECT_TRUE(page->isVisible());
            keep(QStringLiteral("page_") + QLatin1String(name), page);
            if (QLatin1String(name) == QLatin1String("keys")) {
                // The key pop-up, opened with a click on a button's function and cancelled.
                auto& pm = window->PaintManager();
                ui::CControlUI* key = pm.FindSubControlByName(page, QStringLiteral("btn_MouseKey_Click1"));
                if (!key->isVisible())
                    key = pm.FindSubControlByName(page, QStringLiteral("btn_MouseKey2_Click1"));
                EXPECT_TRUE(zor::test::ClickControl(key));
                auto* popup = Find<ui::CControlUI>("PopMouseKeySel");
                EXPECT_TRUE(popup->isVisible());
                keep(QStringLiteral("key_popup"), popup);
                EXPECT_TRUE(zor::test::ClickControl(
                    pm.FindSubControlByName(popup, QStringLiteral("btn_MouseKey_Cancel"))));
                EXPECT_FALSE(popup->isVisible());
            }
        }
        EXPECT_TRUE(zor::test::ClickControl(Find<ui::CControlUI>("btn_Mac")));
        keep(QStringLiteral("page_macro"), Find<ui::CControlUI>("page_macro"));
        EXPECT_TRUE(zor::test::ClickControl(Find<ui::CControlUI>("btn_Null")));
        EXPECT_TRUE(zor::test::ClickControl(Find<ui::CControlUI>("opt_nav_dpi")));
        // The whole window: header, device panel with its tiles and battery gauge, DPI page.
        keep(QStringLiteral("window"), window.get());
        if (CPopPush* dpi = window->DpiPopup()) keep(QStringLiteral("dpi_popup"), dpi);
        // The mouse page's "more" menu, opened with its button.
        EXPECT_TRUE(zor::test::ClickControl(Find<ui::CControlUI>("btn_Mouse_More")));
        QMenu* menu = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (menu = window->findChild<QMenu*>()) && menu->isVisible(); }));
        if (!menu) return out;
        keep(QStringLiteral("more_menu"), menu);
        menu->close();
        menu->deleteLater();
        QCoreApplication::processEvents();
        return out;
    }
};

TEST_F(SkinSwitchAppTest, ALiveSwitchLooksLikeAFreshStartInBothDirections) {
    const QString dark = QStringLiteral("res_black"), light = QStringLiteral("res_white");
    for (const auto& [from, to] : {std::pair{dark, light}, std::pair{light, dark}}) {
        SCOPED_TRACE((from + QStringLiteral(" to ") + to).toStdString());
        StartIn(to);
        const std::map<QString, QImage> fresh = Pictures(QStringLiteral("fresh-") + to);
        StartIn(from);
        ASSERT_TRUE(zor::test::ClickControl(Find<ui::COptionUI>("ChangeSkin")));
        ZOR_TRY_VERIFY(ui::GetResourcePrefix() == QStringLiteral("./") + to);
        QCoreApplication::processEvents();
        const std::map<QString, QImage> switched = Pictures(QStringLiteral("switched-") + to);
        for (const auto& [name, picture] : fresh) {
            const QImage& other = switched.at(name);
            ASSERT_EQ(picture.size(), other.size()) << name.toStdString();
            int differing = 0;
            const QImage a = picture.convertToFormat(QImage::Format_ARGB32);
            const QImage b = other.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x) differing += a.pixel(x, y) != b.pixel(x, y);
            EXPECT_EQ(differing, 0) << name.toStdString() << " differs from a fresh start in "
                                    << to.toStdString();
        }
    }
}

}  // namespace
}  // namespace zor::app::test
