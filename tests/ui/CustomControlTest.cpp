// The stage item container and the animated layout with and without the plug-in.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QScrollBar>
#include <QSignalSpy>

#include "support/Wait.h"
#include "UiTestSupport.h"
#include "support/TempDir.h"
#include "ui/CustomControls.h"

using namespace zor::ui;
using namespace zor::ui::test;

TEST(VerticalLayoutEx, AttributesFollowTheTable) {
    CVerticalLayoutExUI item;
    item.SetAttribute("inset", "1,2,3,4");
    item.SetAttribute("childpadding", "6");
    item.SetAttribute("childalign", "center");
    item.SetAttribute("childalign", "middle");  // unknown: unchanged
    item.SetAttribute("childvalign", "bottom");
    item.SetAttribute("scrollstepsize", "12");
    item.SetAttribute("mousechild", "false");
    item.SetAttribute("vscrollbarstyle", "width=\"4\"");
    item.SetAttribute("vscrollbar", "true");
    item.SetAttribute("group", "stages");  // an option attribute
    EXPECT_EQ(item.GetInset(), QMargins(1, 2, 3, 4));
    EXPECT_EQ(item.GetChildPadding(), 6);
    EXPECT_EQ(item.GetChildAlign(), unsigned(kDtCenter));
    EXPECT_EQ(item.GetChildVAlign(), unsigned(kDtBottom));
    EXPECT_EQ(item.GetScrollStepSize(), 12);
    EXPECT_FALSE(item.IsMouseChildEnabled());
    EXPECT_EQ(item.GetVerticalScrollStyle(), "width=\"4\"");
    EXPECT_FALSE(item.HasScrollBars());  // "vscrollbar" creates none
    EXPECT_TRUE(item.findChildren<QScrollBar*>().isEmpty());
    EXPECT_EQ(item.GetGroup(), "stages");
}

TEST(VerticalLayoutEx, ChildrenLieOverEachOtherInsideTheInset) {
    CVerticalLayoutExUI item;
    item.SetAttribute("inset", "4,5,4,5");
    item.SetAttribute("childpadding", "10");
    auto* a = new CLabelUI;
    auto* b = new CLabelUI;
    b->SetAttribute("maxheight", "20");
    auto* f = new CLabelUI;
    f->SetAttribute("float", "true");
    f->SetAttribute("pos", "1,1,5,5");
    item.Add(a);
    item.Add(b);
    item.Add(f);
    item.SetPos(QRect(0, 0, 80, 100));
    EXPECT_EQ(a->geometry(), QRect(4, 5, 72, 90));
    EXPECT_EQ(b->geometry(), QRect(4, 5, 72, 20));  // same origin, clamped height
    EXPECT_EQ(f->geometry(), QRect(1, 1, 4, 4));
    EXPECT_EQ(item.FindControlAt(QPoint(2, 2)), f);
    item.SetScrollPos(QPoint(0, 30));
    EXPECT_EQ(a->geometry().top(), 5);  // nothing scrolls
    EXPECT_TRUE(item.Remove(b));
    EXPECT_EQ(item.GetCount(), 2);
}

TEST(VerticalLayoutEx, ClickingSelectsLikeAnOption) {
    CVerticalLayoutExUI item;
    item.resize(40, 40);
    item.show();
    Click(&item);
    EXPECT_TRUE(item.IsSelected());
}

namespace {

class AnimTest : public ::testing::Test {
protected:
    void SetUp() override { IUiEffectManagerImpl::ResetForTest(); }
    void TearDown() override {
        IUiEffectManagerImpl::ResetForTest();
        CPaintManagerUI::SetInstancePath(TestData());
    }
    static std::unique_ptr<AnimLayout> MakeLayout() {
        auto layout = std::make_unique<AnimLayout>();
        layout->resize(60, 40);
        layout->SetAttribute("bkcolor", "#FF336699");
        auto* child = new CLabelUI;
        child->SetText("stage");
        layout->Add(child);
        layout->show();
        return layout;
    }
};

}  // namespace

TEST_F(AnimTest, WithoutThePluginNothingAnimatesAndNothingFails) {
    zor::test::TempDir empty;
    CPaintManagerUI::SetInstancePath(QString::fromStdString(empty.path().string()));
    auto layout = MakeLayout();
    EXPECT_FALSE(IUiEffectManagerImpl::Instance().IsLoaded());
    EXPECT_FALSE(layout->HasEffect());
    EXPECT_FALSE(layout->StartEffect(7, 1));
    EXPECT_FALSE(layout->IsAnimating());
    EXPECT_EQ(layout->StateCounter(), 2);
    EXPECT_FALSE(layout->grab().isNull());
}

TEST_F(AnimTest, ALibraryWithoutTheEntryPointsOrNoLibraryAtAllIsNotUsed) {
    zor::test::TempDir dir;
    const QString plugin = QString::fromStdString((dir / zor::effects::kPluginFileName).string());
    CPaintManagerUI::SetInstancePath(QString::fromStdString(dir.path().string()));
    zor::test::WriteFile(dir / zor::effects::kPluginFileName, "not a library");
    EXPECT_FALSE(IUiEffectManagerImpl::Instance().IsLoaded());
    IUiEffectManagerImpl::ResetForTest();
    // A real shared library that lacks the three entry points.
    QFile::remove(plugin);
    const QString zlib = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + "/libz.so.1";
    if (!QFile::exists(zlib)) GTEST_SKIP() << "no " << zlib.toStdString() << " to stand in for a foreign library";
    ASSERT_TRUE(QFile::copy(zlib, plugin));
    EXPECT_FALSE(IUiEffectManagerImpl::Instance().IsLoaded());
    EXPECT_EQ(IUiEffectManagerImpl::Instance().GetAnimation(), nullptr);
    EXPECT_TRUE(IUiEffectManagerImpl::Instance().GetSupportAnimationType().isEmpty());
}

TEST_F(AnimTest, ThePluginSlidesInRefusesWhileRunningAndRestoresTheChildren) {
    CPaintManagerUI::SetInstancePath(BuildDir());
    ASSERT_TRUE(IUiEffectManagerImpl::Instance().IsLoaded())
        << "plug-in not built in " << BuildDir().toStdString();
    EXPECT_EQ(IUiEffectManagerImpl::Instance().GetSupportAnimationType(), "7,8");
    auto layout = MakeLayout();
    ASSERT_TRUE(layout->HasEffect());
    EXPECT_FALSE(layout->StartEffect(3, 1));  // not a type the plug-in offers
    EXPECT_FALSE(layout->IsAnimating());
    ASSERT_TRUE(layout->StartEffect(7, 1));
    EXPECT_TRUE(layout->IsAnimating());
    EXPECT_FALSE(layout->GetItemAt(0)->isVisible());  // frames are drawn in the children's place
    EXPECT_FALSE(layout->StartEffect(8, 0));          // refused while running, nothing changes
    EXPECT_EQ(layout->StateCounter(), 3);
    ZOR_TRY_VERIFY(!layout->IsAnimating());
    EXPECT_TRUE(layout->GetItemAt(0)->isVisible());
    const QImage after = layout->grab().toImage();
    EXPECT_EQ(QColor(after.pixel(1, 1)), QColor(0x33, 0x66, 0x99));
    ASSERT_TRUE(layout->StartEffect(8, 0));
    ZOR_TRY_VERIFY(!layout->IsAnimating());
    EXPECT_EQ(layout->StateCounter(), 4);
}

TEST_F(AnimTest, TheStateCounterResetsAfterItsLimit) {
    CPaintManagerUI::SetInstancePath(BuildDir());
    auto layout = MakeLayout();
    layout->SetAttribute("duration", "1");
    ASSERT_TRUE(layout->HasEffect());
    QSignalSpy finished(layout.get(), &AnimLayout::effectFinished);
    while (layout->StateCounter() < 81) {
        ASSERT_TRUE(layout->StartEffect(7, 1));
        ASSERT_TRUE(finished.wait(2000));
    }
    EXPECT_EQ(finished.count(), 79);
    EXPECT_EQ(finished.first().at(0).toInt(), 7);
    EXPECT_FALSE(layout->StartEffect(7, 1));
    EXPECT_EQ(layout->StateCounter(), 2);
    EXPECT_TRUE(layout->StartEffect(7, 1));
}
