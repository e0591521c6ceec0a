// The configuration of the mouse to and from a file, and the factory reset, as a user reaches
// them: the mouse page's "more" button, then an item of its menu. The file dialogs are answered
// by the test; message boxes are answered by clicking their buttons.
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWindow>
#include <nlohmann/json.hpp>

#include "MainWindowFixture.h"
#include "config/MouseConfig.h"
#include "device/DeviceRequest.h"
#include "macro/gui/FileDialogs.h"
#include "support/UserInput.h"
#include "support/Wait.h"
#include "ui/Dialogs.h"

namespace zor::app::test {
namespace {

using nlohmann::json;
using zor::test::ClickControl;

class ConfigMenuTest : public MainWindowTest {
protected:
    void TearDown() override {
        SetFileDialogAnswer(nullptr);
        ui::CMsgWnd::SetModalHook(nullptr);
        MainWindowTest::TearDown();
    }
    // The file dialogs answer path (empty: cancelled) and note what they were asked.
    void AnswerDialogs(const std::filesystem::path& path) {
        SetFileDialogAnswer([this, path](const FileDialogRequest& request) {
            requests.push_back(request);
            return path.empty() ? QStringList() : QStringList{QString::fromStdString(path.string())};
        });
    }
    // Message boxes are confirmed by a click on their button; their texts are noted.
    void ConfirmBoxes() {
        ui::CMsgWnd::SetModalHook([this](ui::CMsgWnd& box) {
            ui::CControlUI* text = box.FindControl(QStringLiteral("MessageText"));
            boxes.push_back(text != nullptr ? text->GetText() : QString());
            ClickControl(box.FindControl(QStringLiteral("confirm_btn")));
        });
    }
    // A click on "more", then on the item of the menu that opened.
    void ChooseMore(const char* item) {
        ASSERT_TRUE(ClickControl(Find<ui::CControlUI>("btn_Mouse_More")));
        QMenu* menu = nullptr;
        ZOR_TRY_VERIFY((menu = OpenMenu()) != nullptr);
        QAction* action = menu->findChild<QAction*>(QLatin1String(item));
        ASSERT_NE(action, nullptr) << item;
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(action).center());
    }
    static QMenu* OpenMenu() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w); menu != nullptr && menu->isVisible()) return menu;
        return nullptr;
    }
    json SavedConfig() const {
        return json::parse(zor::test::ReadFile(MouseConfigPath(window->ModelFolder())));
    }
    // A change of the configuration as a page makes it: saved and announced.
    void ChangeConfiguration() {
        auto& adv = window->Document().adv[0];
        adv.cruseldpi = adv.cruseldpi == 0 ? 1 : 0;
        window->SaveAndAnnounce();
    }

    std::vector<FileDialogRequest> requests;
    QStringList boxes;
};

TEST_F(ConfigMenuTest, ExportedConfigurationImportsBackToTheSameDocumentAndIsSent) {
    Start();
    const json original = SavedConfig();
    const std::filesystem::path file = dir.path() / "mine.Mouse.Config";
    AnswerDialogs(file);
    ChooseMore("Export");
    ZOR_TRY_VERIFY(std::filesystem::exists(file));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filter, QStringLiteral("Config File(*.Mouse.Config)"));
    EXPECT_TRUE(requests[0].suggested.endsWith(QStringLiteral(".Mouse.Config")));
    const json exported = json::parse(zor::test::ReadFile(file));
    EXPECT_TRUE(exported.contains("MouseName"));
    // The user is told where the file went.
    ZOR_TRY_VERIFY(window->MessageBox() != nullptr);
    EXPECT_EQ(window->MessageBox()->FindControl(QStringLiteral("MessageText"))->GetText(),
              QStringLiteral("The file was saved:\n") + QString::fromStdString(file.string()));
    ASSERT_TRUE(ClickControl(window->MessageBox()->FindControl(QStringLiteral("confirm_btn"))));

    const int originalGear = window->Document().adv[0].cruseldpi;
    ChangeConfiguration();
    ASSERT_NE(SavedConfig(), original);
    Mouse().ClearFrames();
    requests.clear();
    ChooseMore("Import");
    ASSERT_TRUE(WaitApply());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(SavedConfig(), original);
    // The window took the imported document, too.
    EXPECT_EQ(window->Document().adv[0].cruseldpi, originalGear);
    // The imported configuration went to the mouse: its profiles, keys and DPI tables.
    EXPECT_GT(Frames(kOpProfile), 0);
    EXPECT_GT(Frames(kOpKey), 0);
    EXPECT_GT(Frames(kOpDpi), 0);
}

TEST_F(ConfigMenuTest, AFileThatCannotBeImportedSaysImportErrAndChangesNothing) {
    Start();
    ConfirmBoxes();
    const std::string before = zor::test::ReadFile(MouseConfigPath(window->ModelFolder()));
    const std::filesystem::path broken = dir.path() / "broken.Mouse.Config";
    const std::filesystem::path otherModel = dir.path() / "other.Mouse.Config";
    zor::test::WriteFile(broken, "{ not json");
    json other = json::parse(before);
    other["MouseName"] = json::array({'X', 'Y'});
    zor::test::WriteFile(otherModel, other.dump());
    for (const auto& file : {broken, otherModel}) {
        SCOPED_TRACE(file.string());
        Mouse().ClearFrames();
        boxes.clear();
        AnswerDialogs(file);
        ChooseMore("Import");
        ZOR_TRY_COMPARE(boxes.size(), 1);
        EXPECT_TRUE(boxes[0].contains(QStringLiteral("could not be imported"))) << boxes[0].toStdString();
        EXPECT_EQ(zor::test::ReadFile(MouseConfigPath(window->ModelFolder())), before);
        QTest::qWait(0);
        EXPECT_TRUE(Mouse().Frames().empty());
    }
    // A cancelled dialog does nothing either.
    boxes.clear();
    AnswerDialogs({});
    ChooseMore("Import");
    ZOR_TRY_COMPARE(requests.size(), std::size_t{3});
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(zor::test::ReadFile(MouseConfigPath(window->ModelFolder())), before);
}

TEST_F(ConfigMenuTest, ResetRestoresTheFactoryDocumentAndSendsIt) {
    Start();
    const json factory = json::parse(zor::test::ReadFile(ResetMouseConfigPath(window->ModelFolder())));
    // The copy the program ships starts as the factory document.
    ASSERT_EQ(SavedConfig(), factory);
    const int gearBefore = window->Document().adv[0].cruseldpi;
    ChangeConfiguration();
    ASSERT_NE(SavedConfig(), factory);
    Mouse().ClearFrames();
    ChooseMore("Reset");
    ASSERT_TRUE(WaitApply());
    EXPECT_EQ(SavedConfig(), factory);
    EXPECT_EQ(window->Document().adv[0].cruseldpi, gearBefore);
    EXPECT_GT(Frames(kOpProfile), 0);
    EXPECT_GT(Frames(kOpKey), 0);
    EXPECT_GT(Frames(kOpDpi), 0);
}

}  // namespace
}  // namespace zor::app::test
