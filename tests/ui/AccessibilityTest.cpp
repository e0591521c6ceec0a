// Assistive access to skinned windows: every control reachable through QAccessible with the role
// of its class, a name, its state and value; actions that do what a mouse click does.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QSet>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <memory>

#include "support/Wait.h"
#include "UiTestSupport.h"
#include "ui/Accessible.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

std::unique_ptr<RecordingWindow> MakeSample() {
    CPaintManagerUI::SetInstancePath(TestData());
    CPaintManagerUI::SetResourcePath(TestData());
    auto wnd = std::make_unique<RecordingWindow>(QStringLiteral("sample.xml"));
    wnd->Create(nullptr, QStringLiteral("sample"), kWsPopup | kWsVisible);
    return wnd;
}

QAccessibleInterface* Iface(RecordingWindow& wnd, const char* name) {
    CControlUI* control = wnd.FindControl(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control ? QAccessible::queryAccessibleInterface(control) : nullptr;
}

// A user's click: pressed and released on the top-level window (its QWindow) at the control's
// centre, so that the window's hit-testing picks the receiver.
void ClickOnWindow(RecordingWindow& wnd, QWidget* control) {
    ASSERT_NE(wnd.windowHandle(), nullptr);
    QTest::mouseClick(wnd.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      control->mapTo(&wnd, control->rect().center()));
}

std::vector<QString> NotesSince(const RecordingWindow& wnd, size_t from) {
    std::vector<QString> out;
    for (size_t i = from; i < wnd.notes.size(); ++i)
        if (wnd.notes[i].type != QLatin1String("setfocus") && wnd.notes[i].type != QLatin1String("killfocus"))
            out.push_back(wnd.notes[i].type + ':' + wnd.notes[i].sender);
    return out;
}

// Every interface below the window's, depth first.
void Walk(QAccessibleInterface* iface, const std::function<void(QAccessibleInterface*)>& visit) {
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->parent(), iface);
        visit(child);
        Walk(child, visit);
    }
}

}  // namespace

TEST(Accessibility, EveryControlOfTheWindowIsReachableWithTheRoleOfItsClassAndAName) {
    auto wnd = MakeSample();
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(wnd.get());
    ASSERT_NE(root, nullptr);
    QSet<QObject*> reached;
    Walk(root, [&](QAccessibleInterface* iface) {
        if (qobject_cast<CControlUI*>(iface->object())) {
            reached.insert(iface->object());
            EXPECT_NE(dynamic_cast<AccessibleControl*>(iface), nullptr)
                << iface->object()->objectName().toStdString();
        }
    });
    for (CControlUI* control : wnd->findChildren<CControlUI*>())
        EXPECT_TRUE(reached.contains(control)) << control->GetName().toStdString();

    struct Expect {
        const char* name;
        QAccessible::Role role;
        const char* text;
    };
    const Expect expected[] = {
        {"title", QAccessible::StaticText, "Sample"},
        {"text_long", QAccessible::StaticText, "A longer text that wraps."},
        {"btn_ok", QAccessible::PushButton, "OK"},
        {"opt_a", QAccessible::RadioButton, "A"},
        {"chk_c", QAccessible::CheckBox, "C"},
        {"edit_name", QAccessible::EditableText, "edit_name"},  // the typed text is its value
        {"slider_dpi", QAccessible::Slider, "slider_dpi"},
        {"progress", QAccessible::ProgressBar, "progress"},
        {"combo_rate", QAccessible::ComboBox, "combo_rate"},  // the current item is its value
        {"root", QAccessible::Grouping, "root"},
        {"tab_main", QAccessible::Grouping, "tab_main"},
        {"list_macro", QAccessible::List, "list_macro"},
        {"tree_groups", QAccessible::Tree, "tree_groups"},
        {"palette", QAccessible::ColorChooser, "palette"},
        {"gif_busy", QAccessible::Animation, "gif_busy"},
        {"included_label", QAccessible::StaticText, "included"},
    };
    for (const Expect& e : expected) {
        QAccessibleInterface* iface = Iface(*wnd, e.name);
        ASSERT_NE(iface, nullptr) << e.name;
        EXPECT_EQ(iface->role(), e.role) << e.name;
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromUtf8(e.text)) << e.name;
        EXPECT_TRUE(iface->isValid()) << e.name;
    }
    EXPECT_EQ(Iface(*wnd, "edit_name")->text(QAccessible::Value), QStringLiteral("abc"));
    EXPECT_EQ(Iface(*wnd, "combo_rate")->text(QAccessible::Value), QStringLiteral("500 Hz"));
    EXPECT_EQ(Iface(*wnd, "slider_dpi")->text(QAccessible::Value), QStringLiteral("400"));

    // The tool tip is the description; a text set later is the new name.
    wnd->FindControl("btn_ok")->SetAttribute(QStringLiteral("tooltip"), QStringLiteral("Apply the changes"));
    EXPECT_EQ(Iface(*wnd, "btn_ok")->text(QAccessible::Description), QStringLiteral("Apply the changes"));
    wnd->FindControl("title")->SetText(QStringLiteral("Renamed"));
    EXPECT_EQ(Iface(*wnd, "title")->text(QAccessible::Name), QStringLiteral("Renamed"));
    // The inner line edit, which takes the focus, carries the edit's name.
    auto* edit = qobject_cast<CEditUI*>(wnd->FindControl("edit_name"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(edit->LineEdit())->text(QAccessible::Name),
              QStringLiteral("edit_name"));
}

TEST(Accessibility, StatesFollowTheControls) {
    auto wnd = MakeSample();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.get()));
    QAccessibleInterface* optA = Iface(*wnd, "opt_a");
    QAccessibleInterface* optB = Iface(*wnd, "opt_b");
    QAccessibleInterface* chk = Iface(*wnd, "chk_c");
    EXPECT_TRUE(optA->state().checkable);
    EXPECT_TRUE(optA->state().checked);
    EXPECT_FALSE(optB->state().checked);
    EXPECT_TRUE(chk->state().checkable);
    EXPECT_FALSE(chk->state().checked);

    QAccessibleInterface* ok = Iface(*wnd, "btn_ok");
    EXPECT_FALSE(ok->state().disabled);
    EXPECT_FALSE(ok->state().invisible);
    wnd->FindControl("btn_ok")->SetEnabled(false);
    EXPECT_TRUE(ok->state().disabled);
    EXPECT_TRUE(ok->actionInterface()->actionNames().isEmpty());

    // The unselected tab page and what it holds are invisible.
    EXPECT_FALSE(Iface(*wnd, "page0")->state().invisible);
    EXPECT_TRUE(Iface(*wnd, "page1")->state().invisible);
    EXPECT_TRUE(Iface(*wnd, "tree_groups")->state().invisible);

    // The edit is focusable through its line edit; a read-only edit says so.
    QAccessibleInterface* edit = Iface(*wnd, "edit_name");
    EXPECT_TRUE(edit->state().focusable);
    EXPECT_TRUE(edit->state().editable);
    wnd->FindControl("edit_name")->SetAttribute(QStringLiteral("readonly"), QStringLiteral("true"));
    EXPECT_TRUE(edit->state().readOnly);
    EXPECT_FALSE(edit->state().editable);
    EXPECT_TRUE(Iface(*wnd, "progress")->state().readOnly);
    EXPECT_FALSE(Iface(*wnd, "slider_dpi")->state().readOnly);
}

TEST(Accessibility, PressActionsNotifyAsAMouseClickDoes) {
    auto wnd = MakeSample();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.get()));

    // Button: one "click", exactly as from the mouse.
    size_t mark = wnd->notes.size();
    ClickOnWindow(*wnd, wnd->FindControl("btn_ok"));
    const auto byMouse = NotesSince(*wnd, mark);
    ASSERT_EQ(byMouse, (std::vector<QString>{QStringLiteral("click:btn_ok")}));
    mark = wnd->notes.size();
    QAccessibleInterface* ok = Iface(*wnd, "btn_ok");
    ASSERT_TRUE(ok->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    ok->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(NotesSince(*wnd, mark), byMouse);

    // Check box: the mouse checks it, the toggle action unchecks it, with the same notifications.
    auto* chk = qobject_cast<CCheckBoxUI*>(wnd->FindControl("chk_c"));
    mark = wnd->notes.size();
    ClickOnWindow(*wnd, chk);
    ASSERT_TRUE(chk->GetCheck());
    const auto checkByMouse = NotesSince(*wnd, mark);
    EXPECT_EQ(checkByMouse,
              (std::vector<QString>{QStringLiteral("click:chk_c"), QStringLiteral("selectchanged:chk_c")}));
    mark = wnd->notes.size();
    QAccessibleInterface* chkIface = QAccessible::queryAccessibleInterface(chk);
    chkIface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(chk->GetCheck());
    EXPECT_FALSE(chkIface->state().checked);
    EXPECT_EQ(NotesSince(*wnd, mark), checkByMouse);

    // Option of a group: the press selects it and clears the other one.
    mark = wnd->notes.size();
    Iface(*wnd, "opt_b")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(NotesSince(*wnd, mark),
              (std::vector<QString>{QStringLiteral("click:opt_b"), QStringLiteral("selectchanged:opt_b")}));
    EXPECT_TRUE(Iface(*wnd, "opt_b")->state().checked);
    EXPECT_FALSE(Iface(*wnd, "opt_a")->state().checked);

    // A disabled button ignores the action as it ignores the mouse.
    wnd->FindControl("btn_ok")->SetEnabled(false);
    mark = wnd->notes.size();
    ok->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ClickOnWindow(*wnd, wnd->FindControl("btn_ok"));
    EXPECT_TRUE(NotesSince(*wnd, mark).empty());

    // Combo: the press opens the drop-down after its "click".
    auto* combo = qobject_cast<CComboUI*>(wnd->FindControl("combo_rate"));
    QAccessibleInterface* comboIface = QAccessible::queryAccessibleInterface(combo);
    EXPECT_TRUE(comboIface->state().collapsed);
    mark = wnd->notes.size();
    comboIface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(NotesSince(*wnd, mark), (std::vector<QString>{QStringLiteral("click:combo_rate")}));
    ASSERT_NE(combo->DropDown(), nullptr);
    EXPECT_TRUE(comboIface->state().expanded);
    combo->DropDown()->close();
    ZOR_TRY_VERIFY(combo->DropDown() == nullptr);
}

TEST(Accessibility, SliderValueIsReadAndSetLikeADragAndProgressOnlyRead) {
    auto wnd = MakeSample();
    auto* slider = qobject_cast<CSliderUI*>(wnd->FindControl("slider_dpi"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(slider);
    QAccessibleValueInterface* value = iface->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 400);
    EXPECT_EQ(value->minimumValue().toInt(), 100);
    EXPECT_EQ(value->maximumValue().toInt(), 1000);
    EXPECT_EQ(value->minimumStepSize().toInt(), 50);

    // A value between the steps lands on the nearest step, out of range on the end.
    size_t mark = wnd->notes.size();
    value->setCurrentValue(612);
    EXPECT_EQ(slider->GetValue(), 600);
    value->setCurrentValue(5000);
    EXPECT_EQ(slider->GetValue(), 1000);
    value->setCurrentValue(1000);  // unchanged: no notification
    ASSERT_EQ(NotesSince(*wnd, mark), (std::vector<QString>{QStringLiteral("valuechanged:slider_dpi"),
                                                            QStringLiteral("valuechanged:slider_dpi")}));
    EXPECT_EQ(wnd->notes[mark].wParam, 600);
    EXPECT_EQ(wnd->notes[mark + 1].wParam, 1000);

    // Increase at the end does nothing; decrease moves one step.
    mark = wnd->notes.size();
    iface->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_TRUE(NotesSince(*wnd, mark).empty());
    iface->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_EQ(slider->GetValue(), 950);
    ASSERT_EQ(NotesSince(*wnd, mark).size(), 1u);
    EXPECT_EQ(wnd->notes.back().wParam, 950);

    // A disabled slider is not moved.
    slider->SetEnabled(false);
    value->setCurrentValue(300);
    EXPECT_EQ(slider->GetValue(), 950);

    auto* progress = qobject_cast<CProgressUI*>(wnd->FindControl("progress"));
    QAccessibleValueInterface* bar = QAccessible::queryAccessibleInterface(progress)->valueInterface();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->currentValue().toInt(), 30);
    EXPECT_EQ(bar->maximumValue().toInt(), 100);
    mark = wnd->notes.size();
    bar->setCurrentValue(80);
    EXPECT_EQ(progress->GetValue(), 30);
    EXPECT_TRUE(NotesSince(*wnd, mark).empty());
    progress->SetValue(55);
    EXPECT_EQ(bar->currentValue().toInt(), 55);
    // Plain buttons have no value.
    EXPECT_EQ(Iface(*wnd, "btn_ok")->valueInterface(), nullptr);
}

TEST(Accessibility, ListRowsAreNamedByTheirLabelsAndPressedLikeAClick) {
    auto wnd = MakeSample();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.get()));
    auto* list = qobject_cast<CListUI*>(wnd->FindControl("list_macro"));
    ASSERT_NE(list, nullptr);
    CListContainerElementUI* first = list->AddRow();
    CListContainerElementUI* second = list->AddRow();
    ASSERT_TRUE(first && second);
    wnd->PaintManager()
        .FindSubControlByName(second, QStringLiteral("row_name"))
        ->SetText(QStringLiteral("Macro 2"));
    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(second);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    EXPECT_EQ(row->text(QAccessible::Name), QStringLiteral("Macro 2"));  // the row's button is not part of it
    EXPECT_TRUE(row->state().selectable);
    EXPECT_FALSE(row->state().selected);

    size_t mark = wnd->notes.size();
    ClickOnWindow(*wnd, wnd->PaintManager().FindSubControlByName(first, QStringLiteral("row_name")));
    const auto byMouse = NotesSince(*wnd, mark);
    ASSERT_FALSE(byMouse.empty());
    mark = wnd->notes.size();
    row->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_TRUE(row->state().selected);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(first)->state().selected);
    // The same notifications, from the other row.
    auto byAction = NotesSince(*wnd, mark);
    ASSERT_EQ(byAction.size(), byMouse.size());
    for (size_t i = 0; i < byMouse.size(); ++i)
        EXPECT_EQ(byAction[i].section(':', 0, 0), byMouse[i].section(':', 0, 0)) << i;
}

TEST(Accessibility, ShippedCloseDialogReadsAndDrivesInBothSkins) {
    for (const char* skin : {"res_black", "res_white"}) {
        SCOPED_TRACE(skin);
        UseSkin(QString::fromLatin1(skin));
        RecordingWindow wnd(QStringLiteral("ClosePop.xml"));
        wnd.Create(nullptr, QStringLiteral("close"), kWsPopup | kWsVisible);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&wnd));
        EXPECT_EQ(Iface(wnd, "Minimize")->role(), QAccessible::RadioButton);
        EXPECT_EQ(Iface(wnd, "Minimize")->text(QAccessible::Name),
                  QStringLiteral("Minimize to the notification area"));
        EXPECT_TRUE(Iface(wnd, "Minimize")->state().checked);
        EXPECT_EQ(Iface(wnd, "NotRemindAgain")->role(), QAccessible::CheckBox);
        EXPECT_EQ(Iface(wnd, "OkButton")->text(QAccessible::Name), QStringLiteral("OK"));
        // A picture button without text is known by its skin name and described by its tip.
        EXPECT_EQ(Iface(wnd, "btn_close")->role(), QAccessible::PushButton);
        EXPECT_EQ(Iface(wnd, "btn_close")->text(QAccessible::Name), QStringLiteral("btn_close"));
        EXPECT_EQ(Iface(wnd, "btn_close")->text(QAccessible::Description), QStringLiteral("Close"));

        const size_t mark = wnd.notes.size();
        Iface(wnd, "Exit")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        Iface(wnd, "NotRemindAgain")->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_EQ(NotesSince(wnd, mark),
                  (std::vector<QString>{QStringLiteral("click:Exit"), QStringLiteral("selectchanged:Exit"),
                                        QStringLiteral("click:NotRemindAgain"),
                                        QStringLiteral("selectchanged:NotRemindAgain")}));
        EXPECT_TRUE(qobject_cast<COptionUI*>(wnd.FindControl("Exit"))->IsSelected());
        EXPECT_FALSE(qobject_cast<COptionUI*>(wnd.FindControl("Minimize"))->IsSelected());
        EXPECT_TRUE(qobject_cast<CCheckBoxUI*>(wnd.FindControl("NotRemindAgain"))->GetCheck());

        // Each Tab shows its control framed in this skin too.
        wnd.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&wnd));
        wnd.setFocus();
        for (int i = 0; i < 4; ++i) {
            const QImage before = wnd.grab().toImage();
            QTest::keyClick(wnd.windowHandle(), Qt::Key_Tab);
            auto* focused = qobject_cast<CControlUI*>(wnd.focusWidget());
            ASSERT_NE(focused, nullptr);
            EXPECT_TRUE(focused->HasKeyboardFocus());
            EXPECT_NE(wnd.grab().toImage(), before) << focused->GetName().toStdString();
        }
    }
}

TEST(Accessibility, KeysWalkTheWindowInReadingOrderAndActAsClicksDo) {
    auto wnd = MakeSample();
    wnd->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wnd.get()));
    auto* list = qobject_cast<CListUI*>(wnd->FindControl("list_macro"));
    std::vector<CListContainerElementUI*> rows;
    for (int i = 0; i < 3; ++i) rows.push_back(list->AddRow());
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(wnd->windowHandle(), key, modifiers);
    };
    auto focusName = [&] {
        QWidget* f = wnd->focusWidget();
        if (qobject_cast<QLineEdit*>(f)) f = f->parentWidget();  // an edit box's line edit
        return f ? f->objectName() : QString();
    };

    // Tab: the skin's order, a list once at its first row (the row's own button follows it);
    // Shift+Tab from the first control goes round to the last.
    wnd->setFocus();  // nothing focused yet
    QStringList order;
    for (int i = 0; i < 12; ++i) {
        press(Qt::Key_Tab);
        order << focusName();
        // Assistive tools see the focus where the window shows it.
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(wnd->focusWidget())->state().focused)
            << focusName().toStdString();
    }
    EXPECT_EQ(order, (QStringList{"closebtn", "btn_ok", "opt_a", "opt_b", "chk_c", "edit_name", "slider_dpi",
                                  "combo_rate", "", "row_delete", "row_delete", "row_delete"}));
    EXPECT_EQ(wnd->focusWidget(),
              wnd->PaintManager().FindSubControlByName(rows[2], QStringLiteral("row_delete")));
    for (QWidget* w = wnd->focusWidget(); w != wnd->FindControl("closebtn"); w = wnd->focusWidget())
        press(Qt::Key_Tab, Qt::ShiftModifier);
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_NE(focusName(), QStringLiteral("closebtn"));
    EXPECT_NE(wnd->focusWidget(), nullptr);

    // An option group: the arrows move on and select, round from the last to the first.
    wnd->FindControl("opt_a")->SetKeyboardFocus();
    size_t mark = wnd->notes.size();
    press(Qt::Key_Right);
    EXPECT_EQ(focusName(), QStringLiteral("opt_b"));
    EXPECT_TRUE(qobject_cast<COptionUI*>(wnd->FindControl("opt_b"))->IsSelected());
    press(Qt::Key_Right);
    EXPECT_TRUE(qobject_cast<COptionUI*>(wnd->FindControl("opt_a"))->IsSelected());
    EXPECT_EQ(NotesSince(*wnd, mark), (std::vector<QString>{"click:opt_b", "selectchanged:opt_b",
                                                            "click:opt_a", "selectchanged:opt_a"}));
    // Space on a check box and Enter on a button act as a click.
    mark = wnd->notes.size();
    wnd->FindControl("chk_c")->SetKeyboardFocus();
    press(Qt::Key_Space);
    wnd->FindControl("btn_ok")->SetKeyboardFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(NotesSince(*wnd, mark),
              (std::vector<QString>{"click:chk_c", "selectchanged:chk_c", "click:btn_ok"}));

    // A slider steps with the arrows and jumps with End, as a drag moves it.
    auto* slider = qobject_cast<CSliderUI*>(wnd->FindControl("slider_dpi"));
    slider->SetKeyboardFocus();
    mark = wnd->notes.size();
    press(Qt::Key_Right);
    EXPECT_EQ(slider->GetValue(), 450);
    press(Qt::Key_End);
    EXPECT_EQ(slider->GetValue(), 1000);
    EXPECT_EQ(NotesSince(*wnd, mark),
              (std::vector<QString>{"valuechanged:slider_dpi", "valuechanged:slider_dpi"}));

    // A drop-down takes the next item with Down.
    auto* combo = qobject_cast<CComboUI*>(wnd->FindControl("combo_rate"));
    combo->SetKeyboardFocus();
    mark = wnd->notes.size();
    press(Qt::Key_Down);
    EXPECT_EQ(combo->GetText(), QStringLiteral("1000 Hz"));
    EXPECT_EQ(NotesSince(*wnd, mark), (std::vector<QString>{"itemselect:combo_rate"}));

    // List rows: Down moves the focus and the selection, Space presses the row as a click does.
    rows[0]->SetKeyboardFocus();
    press(Qt::Key_Down);
    EXPECT_EQ(wnd->focusWidget(), rows[1]);
    EXPECT_EQ(list->GetCurSel(), 1);
    mark = wnd->notes.size();
    press(Qt::Key_Space);
    ASSERT_EQ(wnd->notes.size(), mark + 1);
    EXPECT_EQ(wnd->notes.back().type, QStringLiteral("itemclick"));
    EXPECT_EQ(wnd->notes.back().wParam, 1);
    // The list's Tab stop is now its selected row.
    EXPECT_EQ(list->TabRow(), rows[1]);
}

TEST(Accessibility, ADropDownsItemsAndAColourSwatchAreReadAsTheUserSeesThem) {
    auto wnd = MakeSample();
    auto* combo = qobject_cast<CComboUI*>(wnd->FindControl("combo_rate"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(combo);
    // The items hang under the drop-down as a list, whether or not it is open.
    ASSERT_EQ(iface->childCount(), 1);
    QAccessibleInterface* items = iface->child(0);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->role(), QAccessible::List);
    EXPECT_EQ(items->parent(), iface);
    EXPECT_EQ(iface->indexOfChild(items), 0);
    ASSERT_EQ(items->childCount(), 3);
    EXPECT_EQ(items->child(2)->text(QAccessible::Name), QStringLiteral("1000 Hz"));
    EXPECT_EQ(items->child(2)->role(), QAccessible::ListItem);
    EXPECT_EQ(items->child(2)->parent(), items);
    EXPECT_TRUE(items->child(1)->state().selected);
    EXPECT_TRUE(items->child(1)->state().invisible);  // closed
    // Pressing an item picks it as a click in the open list does.
    const size_t mark = wnd->notes.size();
    items->child(2)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(NotesSince(*wnd, mark), (std::vector<QString>{QStringLiteral("itemselect:combo_rate")}));
    EXPECT_TRUE(items->child(2)->state().selected);
    // An item added later is there too; the same interfaces answer each time.
    combo->AddItem(QStringLiteral("2000 Hz"));
    ASSERT_EQ(items->childCount(), 4);
    EXPECT_EQ(items->child(3)->text(QAccessible::Name), QStringLiteral("2000 Hz"));
    EXPECT_EQ(items->child(3), items->child(3));

    // A button that shows only a colour is named by it: a plain colour by its name, any other
    // by its code; its tool tip stays its description.
    CControlUI* swatch = wnd->FindControl("closebtn");
    swatch->SetText({});
    swatch->SetAttribute(QStringLiteral("tooltip"), QStringLiteral("Gear colour"));
    swatch->SetAttribute(QStringLiteral("bkcolor"), QStringLiteral("#FFFF0000"));
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(swatch);
    EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("Red"));
    EXPECT_EQ(button->text(QAccessible::Description), QStringLiteral("Gear colour"));
    swatch->SetAttribute(QStringLiteral("bkcolor"), QStringLiteral("#FF12AB34"));
    EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("#12AB34"));
    // A picture button keeps its skin name.
    wnd->FindControl("btn_ok")->SetText({});
    EXPECT_EQ(Iface(*wnd, "btn_ok")->text(QAccessible::Name), QStringLiteral("btn_ok"));
}
