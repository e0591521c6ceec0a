// The main window clicked through a real X server: xdotool moves the X pointer to a control's
// place on the screen and presses the button there, so the press travels the whole way a
// user's does (X server, Qt's xcb platform, the window's hit-testing). Runs under Xvfb.
#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <nlohmann/json.hpp>

#include "../MainWindowFixture.h"
#include "config/MouseConfig.h"

namespace zor::app::test {
namespace {

// Presses and releases the left button of the X pointer at the control's centre on the screen.
void XClick(ui::CControlUI* control) {
    ASSERT_NE(control, nullptr);
    const QPoint at = control->mapToGlobal(control->rect().center());
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                             QString::number(at.x()), QString::number(at.y()),
                                             QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(xdotool.waitForStarted(5000));
    // The program keeps handling its events while xdotool works.
    ASSERT_TRUE(QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, 10000));
    ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
}

nlohmann::json ReadJson(const std::filesystem::path& file) {
    return nlohmann::json::parse(zor::test::ReadFile(file));
}

TEST_F(MainWindowTest, ARealClickOnAReportRateButtonChangesTheRateAndApplySavesIt) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty());
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* rate = Find<ui::COptionUI>("opt_MouseUsbRate1");
    ASSERT_FALSE(rate->IsSelected());
    Mouse().ClearFrames();

    qsizetype runs = applied->count();
    XClick(rate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rate->IsSelected(); }, 5000)) << "the click did not reach the button";
    EXPECT_EQ(window->Document().adv[0].rateusbvalue, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return applied->count() > runs; }, 10000));
    EXPECT_EQ(Frames(0x03), 1);  // one report-rate write on the cable

    runs = applied->count();
    XClick(Find<ui::CButtonUI>("btn_Mouse_Apply"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return applied->count() > runs; }, 10000));
    const nlohmann::json saved = ReadJson(MouseConfigPath(window->ModelFolder()));
    EXPECT_EQ(saved["mouseconfig"]["mouseadv"][0]["rateusbvalue"], 1);
}

}  // namespace
}  // namespace zor::app::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
