// Editing on the page: the tree (new, rename, delete), the event popup for every kind, delete,
// the loop mode and its count, and the exchange of groups.
#include <linux/input-event-codes.h>

#include <QLineEdit>

#include "MacroPageFixture.h"
#include "common/AtomicFile.h"
#include "macro/MacroEditing.h"
#include "support/Wait.h"
#include "ui/Controls.h"

namespace zor::test {
namespace {

class MacroEditTest : public MacroPageTest {
protected:
    ui::CControlUI* PopControl(const char* name) { return page->Popup()->FindControl(QLatin1String(name)); }
    // Opens the insert menu and picks the kind; answers the popup.
    CPopMacroSetWnd* Insert(const char* kind) {
        Click("btn_Macro_InsertKey");
        ClickMenuItem(kind);
        return WaitPopup();
    }
    // Replaces the box's text in one change, as a paste does.
    void TypeInto(ui::CControlUI* control, const QString& text) {
        auto* edit = qobject_cast<ui::CEditUI*>(control);
        Click(edit);
        edit->LineEdit()->selectAll();
        edit->LineEdit()->insert(text);
    }
    void PickComboItem(ui::CControlUI* control, int index) {
        Click(control);
        auto* combo = qobject_cast<ui::CComboUI*>(control);
        ZOR_TRY_VERIFY(combo->DropDown() && combo->DropDown()->isVisible());
        auto* menu = qobject_cast<QMenu*>(combo->DropDown());
        ASSERT_NE(menu, nullptr);
        QAction* action = menu->actions().at(index);
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(action).center());
        ZOR_TRY_COMPARE(combo->GetCurSel(), index);
    }
};

TEST_F(MacroEditTest, EveryEventKindIsInsertedThroughThePopupWithItsCounters) {
    StartPage();
    SelectMacro(0, 1);  // "Two": A down, A up
    auto* list = host->Find<ui::CListUI>(QStringLiteral("list_Macro_KeyDisplay"));
    Click(list->GetItemAt(1));
    ASSERT_EQ(page->SelectedRow(), 1);

    // Mouse button, before the selected row, as a release after 25 ms.
    CPopMacroSetWnd* pop = Insert("menu_Macro_InsertMouse");
    EXPECT_EQ(PopControl("lab_Motify_Title")->GetText(), QStringLiteral("Insert item"));
    Shot(pop, QStringLiteral("macro_popup_mouse_black"));
    PickComboItem(PopControl("btn_Modify_MouseType"), 2);
    Click(PopControl("btn_Motify_Status"));
    TypeInto(PopControl("edit_Motify_Delay"), QStringLiteral("25"));
    Click(PopControl("btn_Motify_Apply"));
    ZOR_TRY_VERIFY(!page->Popup());
    ASSERT_EQ(Block().num, 3);
    EXPECT_EQ(Block().macVal[1], kMacCodeRightButton);
    EXPECT_EQ(Block().macSta[1], kMacStateRelease);
    EXPECT_EQ(Block().macDly[1], 25u);
    EXPECT_EQ(page->BuiltRows(), 3);

    // A keyboard key typed into the popup while its box is ticked; Tab works as well.
    Click(list->GetItemAt(0));
    pop = Insert("menu_Macro_InsertKB");
    Click(PopControl("chk_Modify_KeyboardValue"));
    ZOR_TRY_VERIFY(pop->Capturing());
    EXPECT_EQ(QWidget::keyboardGrabber(), pop);
    Key(QEvent::KeyPress, KEY_F5, Qt::Key_F5);
    ZOR_TRY_COMPARE(PopControl("chk_Modify_KeyboardValue")->GetText(), QStringLiteral("F5"));
    Key(QEvent::KeyPress, KEY_TAB, Qt::Key_Tab);
    ZOR_TRY_COMPARE(PopControl("chk_Modify_KeyboardValue")->GetText(), QStringLiteral("Tab"));
    Shot(pop, QStringLiteral("macro_popup_key_black"));
    // A click on another control ends the capture and gives the keyboard back.
    Click(PopControl("edit_Motify_Delay"));
    EXPECT_FALSE(pop->Capturing());
    EXPECT_NE(QWidget::keyboardGrabber(), pop);
    Click(PopControl("btn_Motify_Apply"));
    ZOR_TRY_VERIFY(!page->Popup());
    ASSERT_EQ(Block().num, 4);
    EXPECT_EQ(Block().macVal[0], 43);  // before row 0
    EXPECT_EQ(Block().macDly[0], 10u);

    // A pointer move after the selected row: left and up, 3 and 9.
    Click(list->GetItemAt(3));
    Click("btn_Macro_InsertKey");
    ClickMenuItem("opt_InsertAfter");
    ZOR_TRY_VERIFY(page->Menu() && page->Menu()->Menu()->isVisible());
    ClickMenuItem("menu_Macro_InsertXY");
    pop = WaitPopup();
    EXPECT_TRUE(PopControl("Layout_Motify_XYValue")->IsVisible());
    EXPECT_FALSE(PopControl("btn_Motify_Status")->IsVisible());
    Click(PopControl("chk_Motify_YDirect"));  // up: quadrant left+up
    TypeInto(PopControl("edit_Motify_Xvalue"), QStringLiteral("3"));
    TypeInto(PopControl("edit_Motify_Yvalue"), QStringLiteral("70000"));
    EXPECT_EQ(PopControl("edit_Motify_Yvalue")->GetText(), QStringLiteral("32767"));
    TypeInto(PopControl("edit_Motify_Yvalue"), QStringLiteral("9"));
    Shot(pop, QStringLiteral("macro_popup_move_black"));
    Click(PopControl("btn_Motify_Apply"));
    ZOR_TRY_VERIFY(!page->Popup());
    ASSERT_EQ(Block().num, 5);
    EXPECT_EQ(Block().macVal[4], kMacCodeMove);
    EXPECT_EQ(Block().macSta[4], 3);
    EXPECT_EQ(Block().extVal[4][0], 3);
    EXPECT_EQ(Block().extVal[4][1], 9);
    EXPECT_EQ(Block().numXY, 1);
    auto& pm = host->PaintManager();
    EXPECT_EQ(pm.FindSubControlByName(list->GetItemAt(4), QStringLiteral("key"))->GetText(),
              QStringLiteral("[←]:3,[↑]:9"));

    // A DPI change: the device's code for 400 DPI, and the loop mode becomes "while held".
    pop = Insert("menu_Macro_InsertDpi");
    EXPECT_FALSE(PopControl("btn_Modify_ListKeyType")->IsEnabled());
    Shot(pop, QStringLiteral("macro_popup_dpi_black"));
    Click(PopControl("btn_Motify_Apply"));
    ZOR_TRY_VERIFY(!page->Popup());
    ASSERT_EQ(Block().num, 6);
    EXPECT_EQ(Block().numCpi, 1);
    EXPECT_EQ(Block().extVal[5][0], 7);
    EXPECT_EQ(Block().rptType & 3, 1);
    EXPECT_TRUE(static_cast<ui::COptionUI*>(Control("opt_Macro_CycleUntilRelease"))->IsSelected());

    // Everything is in the file.
    WaitWritten();
    MacroStore again;
    ASSERT_TRUE(again.Load(store.path()).ok);
    EXPECT_EQ(again.macro(0, 1)->device.num, 6);
    EXPECT_EQ(again.macro(0, 1)->device.numXY, 1);
}

TEST_F(MacroEditTest, EditReplacesTheEventAndCancelChangesNothing) {
    StartPage();
    SelectMacro(0, 1);
    auto* list = host->Find<ui::CListUI>(QStringLiteral("list_Macro_KeyDisplay"));
    auto& pm = host->PaintManager();
    Click(pm.FindSubControlByName(list->GetItemAt(1), QStringLiteral("modify")));
    CPopMacroSetWnd* pop = WaitPopup();
    EXPECT_EQ(pop->Mode(), kPopEdit);
    EXPECT_EQ(PopControl("lab_Motify_Title")->GetText(), QStringLiteral("Edit item"));
    EXPECT_EQ(PopControl("chk_Modify_KeyboardValue")->GetText(), QStringLiteral("A"));
    EXPECT_TRUE(static_cast<ui::CCheckBoxUI*>(PopControl("btn_Motify_Status"))->GetCheck());  // a release
    TypeInto(PopControl("edit_Motify_Delay"), QStringLiteral("60000"));
    EXPECT_EQ(PopControl("edit_Motify_Delay")->GetText(), QStringLiteral("50000"));
    Click(PopControl("btn_Motify_Apply"));
    ZOR_TRY_VERIFY(!page->Popup());
    EXPECT_EQ(Block().num, 2);
    EXPECT_EQ(Block().macDly[1], 50000u);
    EXPECT_EQ(pm.FindSubControlByName(list->GetItemAt(1), QStringLiteral("delay"))->GetText(),
              QStringLiteral("50000 ms"));

    Click(pm.FindSubControlByName(list->GetItemAt(0), QStringLiteral("modify")));
    WaitPopup();
    PickComboItem(PopControl("btn_Modify_ListKeyType"), 2);
    Click(PopControl("btn_Motify_Cancel"));
    ZOR_TRY_VERIFY(!page->Popup());
    EXPECT_EQ(Block().macVal[0], 4);
    EXPECT_EQ(Block().numXY, 0);

    // Enter on Cancel, reached from the keyboard, cancels too (Enter elsewhere applies).
    Click(pm.FindSubControlByName(list->GetItemAt(0), QStringLiteral("modify")));
    pop = WaitPopup();
    PickComboItem(PopControl("btn_Modify_ListKeyType"), 2);
    pop->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pop));
    static_cast<ui::CControlUI*>(PopControl("btn_Motify_Cancel"))->SetKeyboardFocus();
    QTest::keyClick(pop->windowHandle(), Qt::Key_Return);
    ZOR_TRY_VERIFY(!page->Popup());
    EXPECT_EQ(Block().macVal[0], 4);
    EXPECT_EQ(Block().numXY, 0);
}

TEST_F(MacroEditTest, DeleteNeedsARowAndKeepsTheCounters) {
    StartPage();
    SelectMacro(0, 1);
    Click("btn_Macro_Delete");
    EXPECT_EQ(boxes, QStringList{QStringLiteral("SelOne")});
    store.SetDpiEventCode(3);
    ASSERT_TRUE(store.InsertEvent(0, 1, 2, {kMacStatePress, kMacCodeDpi, 0, 0, 5}).ok);
    page->Rebuild();
    ZOR_TRY_COMPARE(page->BuiltRows(), 3);
    auto* list = host->Find<ui::CListUI>(QStringLiteral("list_Macro_KeyDisplay"));
    Click(list->GetItemAt(2));
    Click("btn_Macro_Delete");
    EXPECT_EQ(Block().num, 2);
    EXPECT_EQ(Block().numCpi, 0);
    EXPECT_EQ(page->BuiltRows(), 2);
    EXPECT_EQ(page->SelectedRow(), 1);
    Click("btn_Macro_Delete");
    Click("btn_Macro_Delete");
    EXPECT_EQ(Block().num, 0);
    EXPECT_EQ(page->BuiltRows(), 0);
}

TEST_F(MacroEditTest, InsertWithoutAMacroSaysSo) {
    StartPage();
    Click(Node(0, -1));
    ZOR_TRY_COMPARE(page->SelectedMacro(), -1);
    Click("btn_Macro_InsertKey");
    EXPECT_EQ(boxes, QStringList{QStringLiteral("SelWarn")});
    EXPECT_EQ(page->Menu(), nullptr);
}

TEST_F(MacroEditTest, NewItemsAndRenamesKeepNamesUnique) {
    StartPage();
    SelectMacro(0, 0);
    Click("opt_Macro_AddNewMac");
    Click("opt_Macro_AddNewMac");
    ASSERT_EQ(store.group(0)->macros.size(), 4u);
    EXPECT_EQ(store.group(0)->macros[1].name, u"New macro");
    EXPECT_EQ(store.group(0)->macros[2].name, u"New macro1");
    EXPECT_EQ(page->SelectedMacro(), 2);
    Click("opt_Macro_AddMacGroup");
    ASSERT_EQ(store.groups().size(), 2u);
    EXPECT_EQ(store.group(1)->name, u"New group");
    EXPECT_EQ(store.group(1)->macros.size(), 1u);
    EXPECT_EQ(page->SelectedGroup(), 1);
    EXPECT_EQ(page->SelectedMacro(), 0);

    // Rename "New Macro1" to "Hello" through the context menu: "Hello" is taken, so "Hello1".
    Click(Node(0, 2), Qt::RightButton);
    ClickMenuItem("marco_rename");
    auto* edit = qobject_cast<ui::CEditUI*>(
        host->PaintManager().FindSubControlByName(Node(0, 2), QStringLiteral("EditGrpNodeAll")));
    ASSERT_NE(edit, nullptr);
    ZOR_TRY_VERIFY(edit->IsVisible());
    edit->LineEdit()->selectAll();
    QTest::keyClicks(edit->LineEdit(), QStringLiteral("Hello"));
    QTest::keyClick(edit->LineEdit(), Qt::Key_Return);
    ZOR_TRY_VERIFY(!edit->IsVisible());
    EXPECT_EQ(store.group(0)->macros[2].name, u"Hello1");
    EXPECT_EQ(namesChanged, 1);
    // An empty name keeps the old one.
    Click(Node(0, -1), Qt::RightButton);
    ClickMenuItem("group_rename");
    edit = qobject_cast<ui::CEditUI*>(
        host->PaintManager().FindSubControlByName(Node(0, -1), QStringLiteral("EditGrpNodeAll")));
    ZOR_TRY_VERIFY(edit->IsVisible());
    edit->LineEdit()->clear();
    QTest::keyClick(edit->LineEdit(), Qt::Key_Return);
    EXPECT_EQ(store.group(0)->name, u"Work");
    WaitWritten();
    MacroStore again;
    ASSERT_TRUE(again.Load(store.path()).ok);
    EXPECT_EQ(again.group(0)->macros[2].name, u"Hello1");
}

TEST_F(MacroEditTest, AMacroGivenToAKeyBeforeTheDocumentWasSavedIsBoundToo) {
    // Counted by the key popup, not yet in the usage list: the same answer zorctl gives.
    store.groups()[0].macros[1].bindCount = 1;
    StartPage();
    Click(Node(0, 1), Qt::RightButton);
    boxAnswer = 0;
    ClickMenuItem("marco_delete");
    EXPECT_EQ(boxes, QStringList{QStringLiteral("DelMacro")});
    EXPECT_EQ(store.group(0)->macros.size(), 2u);
}

TEST_F(MacroEditTest, DeletingBoundItemsAsksFirst) {
    store.groups()[0].macros[1].bindings[u"MouseA"].push_back({"Left", "1"});
    StartPage();
    Click(Node(0, 1), Qt::RightButton);
    boxAnswer = 0;
    ClickMenuItem("marco_delete");
    EXPECT_EQ(boxes, QStringList{QStringLiteral("DelMacro")});
    EXPECT_EQ(store.group(0)->macros.size(), 2u);
    boxAnswer = 1;
    Click(Node(0, 1), Qt::RightButton);
    ClickMenuItem("marco_delete");
    EXPECT_EQ(store.group(0)->macros.size(), 1u);
    EXPECT_TRUE(page->DeviceChangesPending());
    EXPECT_EQ(page->SelectedMacro(), 0);  // the one before the removed last one
    // The only macro goes: the group stays with nothing selected and an empty list.
    Click(Node(0, 0), Qt::RightButton);
    ClickMenuItem("marco_delete");
    EXPECT_EQ(boxes.size(), 2);  // not bound: no question
    EXPECT_EQ(page->SelectedMacro(), -1);
    EXPECT_EQ(page->BuiltRows(), 0);
    Click(Node(0, -1), Qt::RightButton);
    ClickMenuItem("GroupDelete");
    EXPECT_TRUE(store.groups().empty());
    EXPECT_FALSE(Control("opt_Macro_exportMacGroup")->IsEnabled());
}

TEST_F(MacroEditTest, TheRepeatCountFollowsItsRules) {
    StartPage();
    SelectMacro(0, 1);
    auto* count = Control("Edit_Macro_Time");
    EXPECT_TRUE(count->IsEnabled());
    TypeInto(count, QStringLiteral("070000"));
    EXPECT_EQ(count->GetText(), QStringLiteral("65535"));
    TypeInto(count, QStringLiteral("0"));
    EXPECT_EQ(count->GetText(), QStringLiteral("1"));
    TypeInto(count, QStringLiteral("007"));
    EXPECT_EQ(count->GetText(), QStringLiteral("7"));
    QTest::keyClick(qobject_cast<ui::CEditUI*>(count)->LineEdit(), Qt::Key_Return);
    EXPECT_EQ(store.macro(0, 1)->device.macRpt, 7);
    Click("opt_Macro_CycleUntilClick");
    EXPECT_EQ(store.macro(0, 1)->device.rptType & 3, 2);
    EXPECT_FALSE(count->IsEnabled());
    // rptType 6 shows "until pressed again" when the macro is selected again.
    store.groups()[0].macros[0].device.rptType = 6;
    SelectMacro(0, 0);
    SelectMacro(0, 0);
    EXPECT_TRUE(static_cast<ui::COptionUI*>(Control("opt_Macro_CycleUntilClick"))->IsSelected());
}

TEST_F(MacroEditTest, GroupsTravelThroughExchangeFiles) {
    StartPage();
    exportAnswer = QString::fromStdString((dir / "work.Macro.Config").string());
    Click("opt_Macro_exportMacGroup");
    ASSERT_TRUE(std::filesystem::exists(dir / "work.Macro.Config"));
    WriteFile(dir / "array.Macro.Config", "[1, 2]");
    importAnswer = {exportAnswer, QString::fromStdString((dir / "array.Macro.Config").string()),
                    exportAnswer};
    Click("opt_Macro_importMacGroup");
    ASSERT_EQ(store.groups().size(), 3u);
    EXPECT_EQ(store.group(1)->name, u"Work1");
    EXPECT_EQ(store.group(2)->name, u"Work2");
    EXPECT_NE(store.group(1)->guid, store.group(0)->guid);
    EXPECT_EQ(store.group(1)->macros[1].guid, store.group(0)->macros[1].guid);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("ImportErr")});
    EXPECT_EQ(page->SelectedGroup(), 1);

    // Export to a place that cannot be written is said so.
    exportAnswer = QString::fromStdString((dir / "missing" / "deep" / "x.Macro.Config").string());
    std::filesystem::create_directories(dir / "ro");
    exportAnswer = QString::fromStdString((dir / "ro").string());  // a folder, not a file
    Click("opt_Macro_exportMacGroup");
    EXPECT_EQ(boxes.last(), QStringLiteral("ExportErr"));

    // Reset without a factory file leaves no groups; the old library is in the .bak file.
    Click(Node(0, -1), Qt::RightButton);
    ClickMenuItem("group_reset");
    EXPECT_TRUE(store.groups().empty());
    EXPECT_TRUE(std::filesystem::exists(store.path().string() + ".bak"));
    EXPECT_EQ(page->BuiltRows(), 0);
}

TEST_F(MacroEditTest, ScreenshotsOfThePageInBothSkins) {
    for (const char* skin : {"res_black", "res_white"}) {
        StartPage(QString::fromLatin1(skin));
        SelectMacro(0, 1);
        const QImage shot = Shot(host.get(), QStringLiteral("macro_page_%1").arg(QLatin1String(skin).mid(4)));
        EXPECT_FALSE(shot.isNull());
        // The page paints its own background, not the window's default.
        EXPECT_NE(shot.pixelColor(500, 300), QColor(Qt::black));
        Click(Node(0, -1), Qt::RightButton);
        ZOR_TRY_VERIFY(page->Menu() && page->Menu()->Menu()->isVisible());
        Shot(page->Menu()->Menu(), QStringLiteral("macro_group_menu_%1").arg(QLatin1String(skin).mid(4)));
        page->Menu()->Close();
        page.reset();
        host->page = nullptr;
        host->hide();
        host.reset();
    }
}

}  // namespace
}  // namespace zor::test

namespace zor::test {
namespace {

int EventsOnDisk(const std::filesystem::path& file, int g, int m) {
    MacroStore reader;
    EXPECT_TRUE(reader.Load(file).ok);
    const MacroRecord* rec = reader.macro(g, m);
    return rec != nullptr ? rec->device.num : -1;
}

TEST_F(MacroEditTest, EditsDoNotWaitForTheDiskAndReachItWhenThePageIsLeftOrEnds) {
    StartPage();
    SelectMacro(0, 1);
    auto* list = host->Find<ui::CListUI>(QStringLiteral("list_Macro_KeyDisplay"));
    Click(list->GetItemAt(0));
    Click("btn_Macro_Delete");
    EXPECT_EQ(Block().num, 1);
    // Written shortly after, not during the click.
    EXPECT_TRUE(store.Unwritten());
    EXPECT_EQ(EventsOnDisk(store.path(), 0, 1), 2);
    // Leaving the page writes at once.
    page->SetShown(false);
    EXPECT_FALSE(store.Unwritten());
    EXPECT_EQ(EventsOnDisk(store.path(), 0, 1), 1);

    page->SetShown(true);
    // A write that fails is said once, in the page's box; the edit stays for the next write.
    AtomicFile::setWriteHookForTest([](std::size_t, std::size_t) { return std::size_t{0}; });
    ASSERT_TRUE(store.RenameGroup(0, u"Failing").ok);
    page->SetShown(false);
    AtomicFile::setWriteHookForTest(nullptr);
    ZOR_TRY_COMPARE(boxes.size(), 1);
    EXPECT_EQ(EventsOnDisk(store.path(), 0, 1), 1);
    page->SetShown(true);
    Click(list->GetItemAt(0));
    Click("btn_Macro_Delete");
    EXPECT_EQ(Block().num, 0);
    // The page ends (program quit) before its save timer ran: nothing is lost.
    page.reset();
    EXPECT_EQ(EventsOnDisk(store.path(), 0, 1), 0);
    EXPECT_EQ(boxes.size(), 1);
    // And the store saves at once again without the page.
    ASSERT_TRUE(store.RenameGroup(0, u"Direct").ok);
    MacroStore reader;
    ASSERT_TRUE(reader.Load(store.path()).ok);
    EXPECT_EQ(reader.group(0)->name, u"Direct");
}

}  // namespace
}  // namespace zor::test
