// A macro made from nothing on the running program and played by the mouse, the way a person
// makes it: a new group and macro on the macro page, "Hello" typed while recording, a delay
// changed and a mouse click and a pointer move added through the event popup, the macro put on a
// mouse button on the key page, Apply pressed. The virtual mouse then holds exactly that macro;
// the group goes out to a file and comes back in through the page's exchange buttons.
#include <linux/input-event-codes.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <nlohmann/json.hpp>

#include "MainWindowFixture.h"
#include "config/MouseConfig.h"
#include "device/DeviceRequest.h"
#include "device/MacroStream.h"
#include "macro/gui/FileDialogs.h"
#include "support/MacroTree.h"
#include "support/UserInput.h"
#include "support/Wait.h"

namespace zor::app::test {
namespace {

using ui::CControlUI;
using zor::test::ClickControl;

constexpr int kSlot = 4;        // btn_MouseKey_Click4
constexpr quint32 kNative = 8;  // native key codes are evdev codes + 8

struct Expected {
    std::uint8_t code;   // application code
    std::uint8_t state;  // press, release, or the quadrant of a move
};

class MacroScenarioTest : public MainWindowTest {
protected:
    void TearDown() override {
        SetFileDialogAnswer(nullptr);
        MainWindowTest::TearDown();
    }
    MacroPage& Page() { return window->Macro(); }
    CControlUI* Sub(CControlUI* parent, const char* name) {
        return window->PaintManager().FindSubControlByName(parent, QLatin1String(name));
    }
    ui::CListUI* Events() { return Find<ui::CListUI>("list_Macro_KeyDisplay"); }
    const MacroDeviceBlock& Working() { return window->Macros().working().device; }

    // A key as the desktop delivers it while the page records: to the widget holding the grab.
    void Key(QEvent::Type type, quint32 evdev, int qtKey, Qt::KeyboardModifiers mods = {}) {
        QWidget* target = QWidget::keyboardGrabber();
        ASSERT_NE(target, nullptr) << "recording without the keyboard grabbed";
        QKeyEvent event(type, qtKey, mods, evdev + kNative, 0, 0);
        QApplication::sendEvent(target, &event);
    }
    void Tap(quint32 evdev, int qtKey, Qt::KeyboardModifiers mods = {}) {
        Key(QEvent::KeyPress, evdev, qtKey, mods);
        Key(QEvent::KeyRelease, evdev, qtKey, mods);
    }

    // The event popup is modal: the click that opens it returns once it is closed. What the
    // person does in it is therefore set up first and runs once the popup is on the screen.
    void WhenPopupShown(std::function<void(CPopMacroSetWnd& popup)> act) {
        auto* timer = new QTimer(window.get());
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, window.get(), [this, timer, act] {
            QPointer<CPopMacroSetWnd> popup = Page().Popup();
            if (!popup || !popup->isVisible()) return;
            timer->stop();
            timer->deleteLater();
            act(*popup);
        });
        timer->start();
    }
    // Replaces the text of an edit box of the popup, as a paste does, then confirms the popup.
    static void SetText(CPopMacroSetWnd& popup, const char* name, const QString& text) {
        auto* edit = qobject_cast<ui::CEditUI*>(popup.FindControl(QLatin1String(name)));
        ASSERT_NE(edit, nullptr) << name;
        ASSERT_TRUE(ClickControl(edit));
        edit->LineEdit()->selectAll();
        edit->LineEdit()->insert(text);
    }
    static void Confirm(CPopMacroSetWnd& popup) {
        ASSERT_TRUE(ClickControl(popup.FindControl(QStringLiteral("btn_Motify_Apply"))));
    }
    void ClickMenuItem(const char* item) {
        QMenu* menu = nullptr;
        ZOR_TRY_VERIFY(Page().Menu() != nullptr && (menu = Page().Menu()->Menu()) != nullptr &&
                       menu->isVisible());
        QAction* action = menu->findChild<QAction*>(QLatin1String(item));
        ASSERT_NE(action, nullptr) << item;
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(action).center());
    }
    // Selects a row, then inserts an event of kind before it through the insert menu and the
    // popup, where act sets the event up.
    void InsertBefore(int row, const char* kind, std::function<void(CPopMacroSetWnd&)> act) {
        ASSERT_TRUE(ClickControl(Events()->GetItemAt(row)));
        ZOR_TRY_COMPARE(Page().SelectedRow(), row);
        const int before = Working().num;
        ASSERT_TRUE(ClickControl(Find<CControlUI>("btn_Macro_InsertKey")));
        WhenPopupShown([act](CPopMacroSetWnd& popup) {
            act(popup);
            Confirm(popup);
        });
        ClickMenuItem(kind);
        ZOR_TRY_VERIFY(!Page().Popup());
        ZOR_TRY_COMPARE(static_cast<int>(Working().num), before + 1);
    }
    ui::CTreeNodeUI* Node(int group, int macro) {
        return zor::test::MacroTreeNode(Find<ui::CTreeViewUI>("tre_Macro_GroupDisplay"), group, macro);
    }
    // Picks the item of a drop list of the key popup by its text.
    CControlUI* DropItem(const char* list, const QString& text) {
        auto* container = qobject_cast<ui::CContainerUI*>(Find<CControlUI>(list));
        for (int i = 0; container != nullptr && i < container->GetCount(); ++i)
            if (container->GetItemAt(i)->GetText() == text) return container->GetItemAt(i);
        return nullptr;
    }
};

TEST_F(MacroScenarioTest, AMacroMadeOnThePageIsWhatTheMouseHoldsAndItsGroupTravelsThroughAFile) {
    // The key page in its picture layout, as the key page's own tests use it.
    zor::test::WriteFile(folder / "res" / "Set.ini",
                         "[Set]\nLanguage=1\nDpiPopEn=0\nOnlyOnePageVersion=1\n[CloseConfig]\nCloseOption=0\n"
                         "Remind=0\n");
    Start();
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("btn_Mac")));
    ASSERT_TRUE(Page().Shown());
    MacroStore& macros = window->Macros();
    const std::size_t groupsBefore = macros.groups().size();

    // A new group with its first macro, selected.
    ASSERT_TRUE(ClickControl(Find<CControlUI>("opt_Macro_AddMacGroup")));
    ZOR_TRY_COMPARE(macros.groups().size(), groupsBefore + 1);
    const int g = Page().SelectedGroup();
    ASSERT_EQ(Page().SelectedMacro(), 0);
    const std::string groupGuid = macros.group(g)->guid;
    const std::string macroGuid = macros.macro(g, 0)->guid;
    EXPECT_EQ(Working().num, 0);

    // "Hello" typed while recording: Shift held for the capital.
    ASSERT_TRUE(ClickControl(Find<CControlUI>("btn_Macro_Record")));
    ZOR_TRY_VERIFY(Page().Recording());
    Key(QEvent::KeyPress, KEY_LEFTSHIFT, Qt::Key_Shift);
    Tap(KEY_H, Qt::Key_H, Qt::ShiftModifier);
    Key(QEvent::KeyRelease, KEY_LEFTSHIFT, Qt::Key_Shift, Qt::ShiftModifier);
    Tap(KEY_E, Qt::Key_E);
    Tap(KEY_L, Qt::Key_L);
    Tap(KEY_L, Qt::Key_L);
    Tap(KEY_O, Qt::Key_O);
    ASSERT_TRUE(ClickControl(Find<CControlUI>("btn_Macro_Record")));
    ZOR_TRY_VERIFY(!Page().Recording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    ASSERT_EQ(Working().num, 12);
    ZOR_TRY_COMPARE(Page().BuiltRows(), 12);

    // The release of H waits 250 ms: changed through the row's popup.
    WhenPopupShown([](CPopMacroSetWnd& popup) {
        SetText(popup, "edit_Motify_Delay", QStringLiteral("250"));
        Confirm(popup);
    });
    ASSERT_TRUE(ClickControl(Sub(Events()->GetItemAt(2), "modify")));
    ZOR_TRY_VERIFY(!Page().Popup());
    EXPECT_EQ(Working().macDly[2], 250u);

    // A left click (press, then release after 30 ms) and a pointer move of 5, 10 before it all.
    InsertBefore(0, "menu_Macro_InsertMouse", [](CPopMacroSetWnd&) {});
    InsertBefore(1, "menu_Macro_InsertMouse", [](CPopMacroSetWnd& popup) {
        ASSERT_TRUE(ClickControl(popup.FindControl(QStringLiteral("btn_Motify_Status"))));
        SetText(popup, "edit_Motify_Delay", QStringLiteral("30"));
    });
    InsertBefore(2, "menu_Macro_InsertXY", [](CPopMacroSetWnd& popup) {
        SetText(popup, "edit_Motify_Xvalue", QStringLiteral("5"));
        SetText(popup, "edit_Motify_Yvalue", QStringLiteral("10"));
    });
    const MacroDeviceBlock made = Working();
    const std::uint8_t quadrant = made.macSta[2];
    const std::vector<Expected> expected{{kMacCodeLeftButton, kMacStatePress},
                                         {kMacCodeLeftButton, kMacStateRelease},
                                         {kMacCodeMove, quadrant},
                                         {225, kMacStatePress},
                                         {11, kMacStatePress},
                                         {11, kMacStateRelease},
                                         {225, kMacStateRelease},
                                         {8, kMacStatePress},
                                         {8, kMacStateRelease},
                                         {15, kMacStatePress},
                                         {15, kMacStateRelease},
                                         {15, kMacStatePress},
                                         {15, kMacStateRelease},
                                         {18, kMacStatePress},
                                         {18, kMacStateRelease}};
    ASSERT_EQ(made.num, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(made.macVal[i], expected[i].code) << "event " << i;
        EXPECT_EQ(made.macSta[i], expected[i].state) << "event " << i;
    }
    EXPECT_EQ(made.macDly[0], 10u);
    EXPECT_EQ(made.macDly[1], 30u);
    EXPECT_EQ(made.macDly[5], 250u);
    EXPECT_EQ(made.extVal[2][0], 5);
    EXPECT_EQ(made.extVal[2][1], 10);
    EXPECT_EQ(made.numXY, 1);

    // The macro goes on the mouse's fifth button through the key page's popup.
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("btn_Null")));
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("opt_nav_keys")));
    CControlUI* keys = Find<CControlUI>("page_keys");
    ASSERT_TRUE(ClickControl(Sub(keys, "btn_MouseKey_Click4")));
    CControlUI* popup = Find<CControlUI>("PopMouseKeySel");
    ASSERT_TRUE(popup->isVisible());
    ASSERT_TRUE(ClickControl(Sub(popup, "opt_KBSet_Macro")));
    ASSERT_TRUE(ClickControl(Sub(popup, "btn_MouseKey_MacroGroupVal")));
    ZOR_TRY_VERIFY(Sub(popup, "macrogrp_list_layout")->isVisible());
    CControlUI* groupItem =
        DropItem("macrogrp_list_layout", QString::fromStdU16String(macros.group(g)->name));
    ASSERT_NE(groupItem, nullptr);
    ASSERT_TRUE(ClickControl(groupItem));
    ASSERT_TRUE(ClickControl(Sub(popup, "btn_MouseKey_MacroVal")));
    ZOR_TRY_VERIFY(Sub(popup, "macro_list_layout")->isVisible());
    CControlUI* macroItem =
        DropItem("macro_list_layout", QString::fromStdU16String(macros.macro(g, 0)->name));
    ASSERT_NE(macroItem, nullptr);
    ASSERT_TRUE(ClickControl(macroItem));
    ASSERT_TRUE(WaitApply());
    const doc::KeyAssignment& key = window->Document().keyTables.at(0).at(SlotName(kSlot));
    EXPECT_EQ(key.grpGuid, groupGuid);
    EXPECT_EQ(key.macGuid, macroGuid);

    // The popup closed with its OK, then Apply: the mouse holds the macro's stream in the key's slot, event
    // for event.
    ASSERT_TRUE(ClickControl(Sub(popup, "btn_MouseKey_Apply")));
    ASSERT_FALSE(popup->isVisible());
    Mouse().ClearFrames();
    ASSERT_TRUE(ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    EXPECT_GT(Frames(kOpMacro, kSlot), 0);
    const VirtualMouseState state = Mouse().State();
    const auto& held = state.macros[kSlot];
    const auto stream = BuildMacroStream(TranslateCodes(made));
    ASSERT_TRUE(stream.has_value());
    ASSERT_LE(stream->size(), held.size());
    EXPECT_TRUE(std::equal(stream->begin(), stream->end(), held.begin()));
    const MacroDeviceBlock played = ParseMacroStream(held);
    ASSERT_EQ(played.num, expected.size());
    EXPECT_EQ(played.macVal[0], kDevCodeLeftButton);
    EXPECT_EQ(played.macVal[2], kDevCodeMove);
    EXPECT_EQ(played.extVal[2][0], 5);
    EXPECT_EQ(played.extVal[2][1], 10);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(played.macSta[i], expected[i].state) << "event " << i;
        EXPECT_EQ(played.macDly[i], made.macDly[i]) << "event " << i;
    }
    EXPECT_EQ(played.macVal[4], TranslateCodes(made).macVal[4]);  // H as the mouse knows it
    EXPECT_EQ(played.macDly[5], 250u);

    // The group goes out to a file through the page's export and comes back as a new group.
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("btn_Mac")));
    ASSERT_TRUE(ClickControl(Node(g, 0)));
    ZOR_TRY_COMPARE(Page().SelectedGroup(), g);
    const std::filesystem::path file = dir.path() / "hello.Macro.Config";
    std::vector<FileDialogRequest> asked;
    SetFileDialogAnswer([&](const FileDialogRequest& request) {
        asked.push_back(request);
        return QStringList{QString::fromStdString(file.string())};
    });
    ASSERT_TRUE(ClickControl(Find<CControlUI>("opt_Macro_exportMacGroup")));
    ZOR_TRY_VERIFY(std::filesystem::exists(file));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].save);
    EXPECT_TRUE(asked[0].filter.contains(QStringLiteral("*.Macro.Config")));
    const nlohmann::json exported = nlohmann::json::parse(zor::test::ReadFile(file));
    EXPECT_EQ(exported.at("MacroInfo").at(0).at("BindKeys"), 0);
    ZOR_TRY_VERIFY(window->MessageBox() != nullptr);
    EXPECT_EQ(window->MessageBox()->FindControl(QStringLiteral("MessageText"))->GetText(),
              QStringLiteral("The file was saved:\n") + QString::fromStdString(file.string()));
    ASSERT_TRUE(ClickControl(window->MessageBox()->FindControl(QStringLiteral("confirm_btn"))));

    const std::size_t groupsNow = macros.groups().size();
    ASSERT_TRUE(ClickControl(Find<CControlUI>("opt_Macro_importMacGroup")));
    ZOR_TRY_COMPARE(macros.groups().size(), groupsNow + 1);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(asked[1].save);
    const MacroGroup& back = macros.groups().back();
    EXPECT_NE(back.guid, groupGuid);
    EXPECT_NE(back.name, macros.group(g)->name);  // a unique name beside the original
    ASSERT_EQ(back.macros.size(), 1u);
    const MacroDeviceBlock& again = back.macros[0].device;
    EXPECT_TRUE(back.macros[0].bindings.empty());
    EXPECT_EQ(back.macros[0].name, macros.macro(g, 0)->name);
    ASSERT_EQ(again.num, made.num);
    for (std::size_t i = 0; i < made.num; ++i) {
        EXPECT_EQ(again.macVal[i], made.macVal[i]) << "event " << i;
        EXPECT_EQ(again.macSta[i], made.macSta[i]) << "event " << i;
        EXPECT_EQ(again.macDly[i], made.macDly[i]) << "event " << i;
        EXPECT_EQ(again.extVal[i][0], made.extVal[i][0]) << "event " << i;
        EXPECT_EQ(again.extVal[i][1], made.extVal[i][1]) << "event " << i;
    }
    EXPECT_EQ(again.rptType, made.rptType);
    EXPECT_EQ(again.macRpt, made.macRpt);
    // Both are in the library file once the page has written it.
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("btn_Null")));
    MacroStore reader;
    ASSERT_TRUE(reader.Load(macros.path()).ok);
    ASSERT_EQ(reader.groups().size(), macros.groups().size());
    EXPECT_EQ(reader.groups().back().macros.at(0).device.num, made.num);
}

TEST_F(MacroScenarioTest, ApplySendsABoundMacroEditedOnThePageAndOnlyThenClearsItsMark) {
    zor::test::WriteFile(folder / "res" / "Set.ini",
                         "[Set]\nLanguage=1\nDpiPopEn=0\nOnlyOnePageVersion=1\n[CloseConfig]\nCloseOption=0\n"
                         "Remind=0\n");
    Start();
    MacroStore& macros = window->Macros();
    int g = -1, m = -1;
    ASSERT_TRUE(macros.NewGroup(0, u"Games", &g).ok);
    ASSERT_TRUE(macros.NewMacro(g, 0, u"Reload", &m).ok);
    ASSERT_TRUE(macros.InsertEvent(g, m, 0, {kMacStatePress, 0x15, 0, 0, 20}).ok);
    ASSERT_TRUE(macros.InsertEvent(g, m, 1, {kMacStateRelease, 0x15, 0, 0, 20}).ok);
    ASSERT_TRUE(macros.InsertEvent(g, m, 2, {kMacStatePress, 0x16, 0, 0, 20}).ok);

    // Bound to the fifth button through the key popup, then applied: the mouse plays it.
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("opt_nav_keys")));
    ASSERT_TRUE(ClickControl(Sub(Find<CControlUI>("page_keys"), "btn_MouseKey_Click4")));
    CControlUI* popup = Find<CControlUI>("PopMouseKeySel");
    ASSERT_TRUE(ClickControl(Sub(popup, "opt_KBSet_Macro")));
    ASSERT_TRUE(ClickControl(Sub(popup, "btn_MouseKey_MacroGroupVal")));
    ZOR_TRY_VERIFY(Sub(popup, "macrogrp_list_layout")->isVisible());
    ASSERT_TRUE(ClickControl(DropItem("macrogrp_list_layout", QStringLiteral("Games"))));
    ASSERT_TRUE(ClickControl(Sub(popup, "btn_MouseKey_MacroVal")));
    ZOR_TRY_VERIFY(Sub(popup, "macro_list_layout")->isVisible());
    ASSERT_TRUE(ClickControl(DropItem("macro_list_layout", QStringLiteral("Reload"))));
    ASSERT_TRUE(WaitApply());
    ASSERT_TRUE(ClickControl(Sub(popup, "btn_MouseKey_Apply")));
    ASSERT_TRUE(ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    ASSERT_FALSE(macros.macro(g, m)->bindings.empty());
    // The last change before the macro edit is of another kind: a DPI gear.
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("opt_nav_dpi")));
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("chk_MouseAdv_SelDPI3")));
    ASSERT_TRUE(WaitApply());

    // Its first event deleted on the macro page: marked to be sent.
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("btn_Mac")));
    ASSERT_TRUE(ClickControl(Node(g, m)));
    ZOR_TRY_COMPARE(Page().SelectedMacro(), m);
    ZOR_TRY_COMPARE(Page().BuiltRows(), 3);
    ASSERT_TRUE(ClickControl(Events()->GetItemAt(0)));
    ASSERT_TRUE(ClickControl(Find<CControlUI>("btn_Macro_Delete")));
    ASSERT_EQ(macros.macro(g, m)->device.num, 2);
    EXPECT_TRUE(Page().DeviceChangesPending());

    // Apply: the key's slot holds the new stream, and the mark is gone.
    ASSERT_TRUE(ClickControl(Find<ui::COptionUI>("btn_Null")));
    Mouse().ClearFrames();
    ASSERT_TRUE(ClickControl(Find<ui::CButtonUI>("btn_Mouse_Apply")));
    ASSERT_TRUE(WaitApply());
    EXPECT_GT(Frames(kOpMacro, kSlot), 0);
    const auto stream = BuildMacroStream(TranslateCodes(macros.macro(g, m)->device));
    ASSERT_TRUE(stream.has_value());
    const VirtualMouseState state = Mouse().State();
    EXPECT_TRUE(std::equal(stream->begin(), stream->end(), state.macros[kSlot].begin()));
    EXPECT_FALSE(Page().DeviceChangesPending());
}

}  // namespace
}  // namespace zor::app::test
