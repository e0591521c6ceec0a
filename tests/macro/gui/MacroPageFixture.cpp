#include "MacroPageFixture.h"
#include "support/MacroTree.h"
#include "support/Wait.h"

#include <QDir>
#include <QImage>
#include <nlohmann/json.hpp>

#include "macro/MacroEditing.h"
#include "macro/gui/FileDialogs.h"
#include "ui/PaintManager.h"

namespace zor::test {

QString MacroGuiTestData() {
    return QStringLiteral(ZOR_MACRO_GUI_TEST_DATA);
}

void UseMacroSkin(const QString& skin) {
    const QString res = QString::fromStdString((SourceDir() / "res").string()) + '/';
    ui::CPaintManagerUI::SetInstancePath(res);
    ui::CPaintManagerUI::SetResourcePath(res + skin + '/');
    ui::SetResourcePrefix(QStringLiteral("./") + skin);
}

long long MacroHost::HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) {
    switch (msg) {
        case ui::kWmKeyDown:
        case ui::kWmKeyUp:
        case ui::kWmSysKeyDown:
        case ui::kWmSysKeyUp:
        case ui::kWmInputLangChange:
        case ui::kWmLButtonDown:
        case ui::kWmLButtonUp:
        case ui::kWmRButtonUp:
        case ui::kMsgMacroEventSet:
        case ui::kMsgRecorderKeyUp:
        case ui::kMsgMacroEventCancel:
        case ui::kMsgMacroReload:
            return page ? page->HandleMessage(msg, wParam, lParam, handled) : 0;
        default:
            return 0;
    }
}

void MacroPageTest::SetUp() {
    WriteLibrary();
    ASSERT_TRUE(store.Load(dir / "res/MacroVarn/MacroData/macroConfig.json").ok);
}

void MacroPageTest::TearDown() {
    page.reset();
    if (host) host->hide();
    host.reset();
    SetFileDialogAnswer(nullptr);
}

void MacroPageTest::WriteLibrary() {
    using nlohmann::json;
    auto macro = [](const std::u16string& name, const std::string& guid, int events) {
        MacroDeviceBlock b;
        b.macRpt = 1;
        b.num = static_cast<std::uint16_t>(events);
        for (int i = 0; i < events; ++i) {
            b.macVal[static_cast<std::size_t>(i)] = 4;
            b.macSta[static_cast<std::size_t>(i)] = i % 2 ? kMacStateRelease : kMacStatePress;
            b.macDly[static_cast<std::size_t>(i)] = 30;
        }
        json units = json::array();
        for (char16_t c : name) units.push_back(static_cast<unsigned>(c));
        return json{{"MacroName", units},
                    {"MacroGuid", guid},
                    {"ForbidView", 0},
                    {"BindKeys", 0},
                    {"macData", MacroStore::MacDataToJson(b)}};
    };
    json doc = {{"MacroGrpInfo",
                 {{{"GrpName", {87, 111, 114, 107}},
                   {"GrpGuid", "G-1"},
                   {"ForbidView", 0},
                   {"MacroInfo", {macro(u"Hello", "M-1", 0), macro(u"Two", "M-2", 2)}}}}}};
    std::filesystem::create_directories(dir / "res/MacroVarn/MacroData");
    std::filesystem::create_directories(dir / "res/MacroVarn/MacroDataReset");
    WriteFile(dir / "res/MacroVarn/MacroData/macroConfig.json", doc.dump(4));
}

void MacroPageTest::StartPage(const QString& skin) {
    UseMacroSkin(skin);
    host = std::make_unique<MacroHost>();
    host->Create(nullptr, QStringLiteral("MacroHost"), ui::kWsPopup);
    MacroPage::Hooks hooks;
    hooks.text = [](const QString&) { return QString(); };
    hooks.messageBox = [this](const QString&, const QString& text, bool) {
        boxes << text;
        return boxAnswer;
    };
    hooks.chooseImportFiles = [this] { return importAnswer; };
    hooks.chooseExportFile = [this](const QString&) { return exportAnswer; };
    hooks.deviceChangesPending = [this] { ++pendingSignals; };
    hooks.macroNamesChanged = [this] { ++namesChanged; };
    hooks.dpiEventCode = [] { return std::int16_t(7); };
    hooks.runPopup = [](CPopMacroSetWnd* popup) { popup->show(); };
    hooks.menuPosition = [this] { return host->mapToGlobal(QPoint(300, 200)); };
    hooks.clock = [this] { return now; };
    page = std::make_unique<MacroPage>(*host, store, keys, std::move(hooks));
    host->page = page.get();
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    page->Rebuild();
    page->SetShown(true);
    // The event list is built in steps: wait for the last one.
    ZOR_TRY_VERIFY(page->BuiltRows() == Block().num || page->SelectedMacro() < 0);
}

ui::CControlUI* MacroPageTest::Control(const char* name) const {
    ui::CControlUI* c = host->FindControl(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void MacroPageTest::Click(QWidget* control, Qt::MouseButton button) {
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->isVisible()) << control->objectName().toStdString();
    QWidget* top = control->window();
    const QPoint at = control->mapTo(top, control->rect().center());
    QTest::mouseClick(top->windowHandle(), button, Qt::NoModifier, at);
}

void MacroPageTest::ClickMenuItem(const char* item) {
    ASSERT_NE(page->Menu(), nullptr);
    QMenu* menu = page->Menu()->Menu();
    ASSERT_NE(menu, nullptr);
    ZOR_TRY_VERIFY(menu->isVisible());
    QAction* action = menu->findChild<QAction*>(QLatin1String(item));
    ASSERT_NE(action, nullptr) << item;
    const QPoint at = menu->actionGeometry(action).center();
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

void MacroPageTest::Key(QEvent::Type type, std::uint32_t evdev, int qtKey, Qt::KeyboardModifiers mods,
                        bool repeat) {
    QWidget* target = QWidget::keyboardGrabber();
    if (!target) target = QApplication::focusWidget();
    if (!target) target = host.get();
    QKeyEvent event(type, qtKey, mods, evdev + 8, 0, 0, QString(), repeat);
    QApplication::sendEvent(target, &event);
}

void MacroPageTest::Tap(std::uint32_t evdev, int qtKey, int holdMs) {
    Key(QEvent::KeyPress, evdev, qtKey);
    now += std::chrono::milliseconds(holdMs);
    Key(QEvent::KeyRelease, evdev, qtKey);
}

ui::CTreeNodeUI* MacroPageTest::Node(int group, int macro) const {
    return MacroTreeNode(host->Find<ui::CTreeViewUI>(QStringLiteral("tre_Macro_GroupDisplay")), group, macro);
}

void MacroPageTest::SelectMacro(int group, int macro) {
    Click(Node(group, macro));
    ZOR_TRY_COMPARE(page->SelectedMacro(), macro);
    ZOR_TRY_COMPARE(page->BuiltRows(), static_cast<int>(Block().num));
}

void MacroPageTest::WaitWritten() {
    ZOR_TRY_VERIFY(!store.Unwritten());
    const MacroResult written = store.Flush();
    EXPECT_TRUE(written.ok) << written.message;
}

CPopMacroSetWnd* MacroPageTest::WaitPopup() {
    const bool shown = QTest::qWaitFor([this] { return page->Popup() && page->Popup()->isVisible(); });
    EXPECT_TRUE(shown);
    return page->Popup();
}

QImage MacroPageTest::Shot(QWidget* widget, const QString& name) {
    const QString folder = QString::fromStdString((BuildDir() / "screenshots").string());
    QDir().mkpath(folder);
    QImage image = widget->grab().toImage();
    image.save(folder + '/' + name + QStringLiteral(".png"));
    return image;
}

}  // namespace zor::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
