// Which control a press reaches: the topmost visible one under the pointer, never a hidden one,
// never one declared mouse="false" (nor anything inside it).
#include <gtest/gtest.h>
#include <QApplication>

#include "UiTestSupport.h"
#include "support/UserInput.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

std::unique_ptr<RecordingWindow> MakeOverlayWindow() {
    CPaintManagerUI::SetInstancePath(TestData());
    CPaintManagerUI::SetResourcePath(TestData());
    auto wnd = std::make_unique<RecordingWindow>(QStringLiteral("overlay.xml"));
    wnd->Create(nullptr, QStringLiteral("overlay"), kWsPopup | kWsVisible);
    return wnd;
}

}  // namespace

TEST(HitTest, AnOverlayWithoutMouseInputLetsTheClickThrough) {
    auto wnd = MakeOverlayWindow();
    auto* button = wnd->FindControl("btn_under_pass");
    EXPECT_TRUE(zor::test::Reachable(button)) << zor::test::Obstruction(button).toStdString();
    ASSERT_TRUE(zor::test::ClickControl(button));
    EXPECT_EQ(wnd->Count("click", "btn_under_pass"), 1);
    // The overlay's own picture is transparent to the mouse too.
    EXPECT_FALSE(zor::test::Reachable(wnd->FindControl("cover_pass_art")));
}

TEST(HitTest, AVisibleOverlayTakesThePressAndAHiddenOneDoesNot) {
    auto wnd = MakeOverlayWindow();
    auto* blocked = wnd->FindControl("btn_under_block");
    EXPECT_FALSE(zor::test::Reachable(blocked));
    EXPECT_NE(zor::test::Obstruction(blocked).indexOf("cover_block"), -1);
    zor::test::ClickWindowAt(wnd.get(), blocked->mapTo(wnd.get(), blocked->rect().center()));
    EXPECT_EQ(wnd->Count("click", "btn_under_block"), 0);

    wnd->FindControl("cover_block")->SetVisible(false);
    ASSERT_TRUE(zor::test::ClickControl(blocked));
    EXPECT_EQ(wnd->Count("click", "btn_under_block"), 1);

    auto* underHidden = wnd->FindControl("btn_under_hidden");
    ASSERT_TRUE(zor::test::ClickControl(underHidden));
    EXPECT_EQ(wnd->Count("click", "btn_under_hidden"), 1);
}

TEST(HitTest, MouseInputCanBeSwitchedOffAndOnFromCode) {
    auto wnd = MakeOverlayWindow();
    auto* cover = wnd->FindControl("cover_block");
    auto* blocked = wnd->FindControl("btn_under_block");
    cover->SetAttribute(QStringLiteral("mouse"), QStringLiteral("false"));
    EXPECT_TRUE(zor::test::Reachable(blocked));
    cover->SetAttribute(QStringLiteral("mouse"), QStringLiteral("true"));
    EXPECT_FALSE(zor::test::Reachable(blocked));
}
