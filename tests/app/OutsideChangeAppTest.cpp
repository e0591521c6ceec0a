// Another program changes the configuration file while the window runs: the window reads it
// again, its pages show it, and what it sends afterwards is the new document. An edit the user
// makes to the old document is never saved over the new file.
#include <QTest>
#include <algorithm>

#include "MainWindowFixture.h"
#include "common/ProgramPaths.h"
#include "config/MouseConfig.h"
#include "device/DeviceRequest.h"
#include "support/UserInput.h"
#include "support/Wait.h"
#include "ui/Messages.h"

namespace zor::app::test {
namespace {

int MouseGearValue(const VirtualMouseState& s, int gear) {
    return s.dpi[static_cast<std::size_t>(2 + 2 * gear)] |
           (s.dpi[static_cast<std::size_t>(3 + 2 * gear)] << 8);
}

class OutsideChangeTest : public MainWindowTest {
protected:
    std::filesystem::path ConfigFile() const { return paths::MouseConfig(window->ModelFolder()); }
    // An editor's save: the whole file written beside it, then renamed over it. The value is one
    // of the model's table that no gear of the profile holds yet.
    std::string SaveFromOutside(int gear, int& value) {
        MouseConfigDocument edited = window->Document();
        auto& gears = edited.adv[0].gears;
        for (const auto& [dpi, label] : window->Dpi().Table().Labels()) {
            if (dpi < 1000) continue;
            if (std::none_of(gears.begin(), gears.end(),
                             [&](const doc::DpiGear& g) { return g.value == dpi; })) {
                value = dpi;
                break;
            }
        }
        gears[static_cast<std::size_t>(gear)].value = value;
        const std::string bytes = edited.ToJson().dump(4);
        zor::test::WriteFile(dir / "editor.tmp", bytes);
        std::filesystem::rename(dir / "editor.tmp", ConfigFile());
        return bytes;
    }
};

TEST_F(OutsideChangeTest, TheWindowFollowsAnOutsideSaveAndNeverWritesAnOlderDocumentOverIt) {
    Start();
    const int gear = window->Document().adv[0].cruseldpi;
    const int before = window->Document().adv[0].gears[static_cast<std::size_t>(gear)].value;

    // The document and the DPI page follow the outside save, and the mouse gets it as it gets
    // an imported configuration.
    int value = 0;
    SaveFromOutside(gear, value);
    ASSERT_NE(value, before);
    ZOR_TRY_VERIFY(window->Document().adv[0].gears[static_cast<std::size_t>(gear)].value == value);
    EXPECT_EQ(Find<ui::CControlUI>("lab_MouseAdv_DpiSliderValue")->GetText(), QString::number(value));
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(MouseGearValue(Mouse().State(), gear), value);

    // A later Apply sends from the new document, and the window's own saves (the document after
    // the run, the identifiers in the description) are no outside change: nothing is read again
    // (a value only in memory would be lost) and nothing is sent again.
    Mouse().ClearFrames();
    ASSERT_TRUE(zor::test::ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    EXPECT_FALSE(Mouse().Frames().empty());
    EXPECT_EQ(MouseGearValue(Mouse().State(), gear), value);
    window->Document().ver = 4242;
    const qsizetype runs = applied->count();
    QTest::qWait(600);
    EXPECT_EQ(window->Document().ver, 4242);
    EXPECT_EQ(applied->count(), runs);
    EXPECT_EQ(window->MessageBox(), nullptr);

    // An edit of the old document that reaches the window before the watcher's notice: the file
    // is read first, the edit is dropped (neither saved nor sent: the mouse gets the new file)
    // and the user is told.
    window->Document().ver = 0;
    const int other = (gear + 1) % 2;
    int second = 0;
    const std::string newer = SaveFromOutside(other, second);
    const qsizetype seen = applied->count();
    window->Document().adv[0].cruseldpi = other;
    ui::SendMessageTo(window.get(), ui::kMsgApply, kOpDpi, 0);
    EXPECT_EQ(window->Document().adv[0].cruseldpi, gear);
    EXPECT_EQ(window->Document().adv[0].gears[static_cast<std::size_t>(other)].value, second);
    ASSERT_NE(window->MessageBox(), nullptr);
    EXPECT_TRUE(window->MessageBox()
                    ->FindControl(QStringLiteral("MessageText"))
                    ->GetText()
                    .contains(QStringLiteral("changed by another program")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return applied->count() > seen; }, 10000));
    EXPECT_EQ(zor::test::ReadFile(ConfigFile()), newer) << "the dropped edit was saved";
    EXPECT_EQ(MouseGearValue(Mouse().State(), other), second);
    EXPECT_EQ(Mouse().State().dpi[1], gear + 1);  // 1-based current gear: not the dropped edit's
    EXPECT_EQ(window->Document().adv[0].cruseldpi, gear);
}

}  // namespace
}  // namespace zor::app::test
