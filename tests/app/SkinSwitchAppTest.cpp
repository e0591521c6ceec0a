// A skin switch while the window is open leaves every page looking exactly as a fresh start in
// the new skin: pages built before the switch (lazy ones and the files they include) take the
// new colours and pictures. With ZOR_SCREENSHOT_DIR set, the pictures compared are kept there.
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

    CPopPush* ShowDpiPopup() {
        Mouse().Click(MouseButton::Dpi);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return window->DpiPopup() && window->DpiPopup()->IsShown(); }, 5000));
        return window->DpiPopup();
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
        auto* tabMain = Find<ui::CContainerUI>("tab_main");
        tabMain->SelectItem(0);
        for (const char* name : {"page_keys", "page_light", "page_power"}) {
            auto* page = Find<ui::CControlUI>(name);
            auto* tab = qobject_cast<ui::CContainerUI*>(page->parentWidget());
            tab->SelectItem(tab->GetItemIndex(page));
            QCoreApplication::processEvents();
            keep(QLatin1String(name), page);
            if (QLatin1String(name) == QLatin1String("page_keys")) {
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
        tabMain->SelectItem(1);
        QCoreApplication::processEvents();
        keep(QStringLiteral("page_macro"), Find<ui::CControlUI>("page_macro"));
        tabMain->SelectItem(0);
        if (CPopPush* dpi = ShowDpiPopup()) keep(QStringLiteral("dpi_popup"), dpi);
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
