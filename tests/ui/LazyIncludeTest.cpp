// Parts of a window built when first shown (Include lazy="true"): nothing of a hidden page
// exists before it is shown; once shown its controls are findable, translated, clickable, and
// the window hears "pagebuilt" once.
#include <gtest/gtest.h>
#include <QApplication>
#include <QWindow>

#include "UiTestSupport.h"
#include "ui/LazyInclude.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

class FixedTexts final : public IQueryControlText {
public:
    QString QueryControlText(const QString& id, const QString&) override {
        return id == QLatin1String("lazy_caption") ? QStringLiteral("Translated caption") : QString();
    }
};

std::unique_ptr<RecordingWindow> MakeLazyWindow(bool visible = true) {
    CPaintManagerUI::SetInstancePath(TestData());
    CPaintManagerUI::SetResourcePath(TestData());
    auto wnd = std::make_unique<RecordingWindow>(QStringLiteral("lazy_window.xml"));
    wnd->Create(nullptr, QStringLiteral("lazy"), kWsPopup | (visible ? kWsVisible : 0u));
    return wnd;
}

}  // namespace

TEST(LazyInclude, AHiddenTabPageIsBuiltWhenFirstSelectedAndOnlyOnce) {
    FixedTexts texts;
    CResourceManager::GetInstance().SetTextQueryInterface(&texts);
    auto wnd = MakeLazyWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.get()));

    auto* page = qobject_cast<CLazyIncludeUI*>(wnd->FindControl("page_second"));
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->IsBuilt());
    EXPECT_EQ(wnd->FindControl("btn_lazy"), nullptr);
    EXPECT_EQ(wnd->FindControl("included_label"), nullptr);
    EXPECT_EQ(wnd->Count("pagebuilt", "page_second"), 0);

    // The side panel is on screen from the start: it was built before the window showed.
    EXPECT_EQ(wnd->Count("pagebuilt", "side_panel"), 1);
    QWidget* side = wnd->FindControl("btn_side");
    ASSERT_NE(side, nullptr);
    EXPECT_TRUE(side->isVisible());
    // The Include's own size attributes lay out the stand-in.
    EXPECT_EQ(wnd->FindControl("side_panel")->width(), 120);

    auto* tab = qobject_cast<CContainerUI*>(wnd->FindControl("tab_pages"));
    ASSERT_NE(tab, nullptr);
    tab->SelectItem(1);
    EXPECT_TRUE(page->IsBuilt());
    EXPECT_EQ(wnd->Count("pagebuilt", "page_second"), 1);
    QWidget* button = wnd->FindControl("btn_lazy");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    EXPECT_GT(button->width(), 0);
    ASSERT_NE(wnd->FindControl("included_label"), nullptr);  // an ordinary include inside it
    EXPECT_EQ(wnd->FindControl("lazy_caption")->GetText(), QStringLiteral("Translated caption"));

    // A click through the window reaches the control built late.
    const size_t before = wnd->notes.size();
    QTest::mouseClick(wnd->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      button->mapTo(wnd.get(), button->rect().center()));
    ASSERT_GT(wnd->notes.size(), before);
    EXPECT_EQ(wnd->Count("click", "btn_lazy"), 1);

    tab->SelectItem(0);
    tab->SelectItem(1);
    EXPECT_EQ(wnd->Count("pagebuilt", "page_second"), 1);
    EXPECT_EQ(wnd->FindControl("btn_lazy"), button);
    CResourceManager::GetInstance().SetTextQueryInterface(nullptr);
}

TEST(LazyInclude, CodeCanBuildEveryPartAtOnceAndASelfIncludingPartEnds) {
    auto wnd = MakeLazyWindow(false);
    EXPECT_EQ(wnd->FindControl("btn_side"), nullptr);  // not shown yet: nothing built
    BuildLazyIncludes(wnd->PaintManager().GetRoot());
    EXPECT_NE(wnd->FindControl("btn_side"), nullptr);
    EXPECT_NE(wnd->FindControl("btn_lazy"), nullptr);
    EXPECT_EQ(wnd->Count("pagebuilt"), 2);

    RecordingWindow loop(QStringLiteral("self_lazy.xml"));
    loop.Create(nullptr, QStringLiteral("loop"), kWsPopup | kWsVisible);
    BuildLazyIncludes(loop.PaintManager().GetRoot());
    const auto parts = loop.findChildren<CLazyIncludeUI*>();
    ASSERT_FALSE(parts.isEmpty());
    EXPECT_LE(parts.size(), 10);
    for (CLazyIncludeUI* part : parts) EXPECT_TRUE(part->IsBuilt());
}
