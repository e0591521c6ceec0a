#include "ui/Accessible.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPointer>
#include <algorithm>

#include "ui/Controls.h"

namespace zor::ui {

namespace {

QAccessibleInterface* CreateInterface(const QString&, QObject* object) {
    if (auto* control = qobject_cast<CControlUI*>(object)) return new AccessibleControl(control);
    return nullptr;
}

// The texts a row shows: its own text, or those of the labels it holds, in order.
QString RowText(const CControlUI* row) {
    if (!row->GetText().isEmpty()) return row->GetText();
    QStringList parts;
    for (const CLabelUI* label : row->findChildren<CLabelUI*>()) {
        if (qobject_cast<const CButtonUI*>(label) || !label->isVisibleTo(row)) continue;
        if (!label->GetText().isEmpty()) parts << label->GetText();
    }
    return parts.join(QLatin1Char(' '));
}

bool IsPlainButton(const CControlUI* c) {
    return qobject_cast<const CButtonUI*>(c) && !qobject_cast<const COptionUI*>(c) &&
           !qobject_cast<const CComboUI*>(c);
}

}  // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&CreateInterface);
        return true;
    }();
    (void)installed;
}

void AnnounceValueChange(CControlUI* control, int value) {
    if (!QAccessible::isActive()) return;
    QAccessibleValueChangeEvent event(control, value);
    QAccessible::updateAccessibility(&event);
}

void AnnounceCheckedChange(CControlUI* control, bool) {
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(control, changed);
    QAccessible::updateAccessibility(&event);
}

void AnnounceNameChange(CControlUI* control) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(control, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

AccessibleControl::AccessibleControl(CControlUI* control) : QAccessibleWidget(control) {}

CControlUI* AccessibleControl::Control() const {
    return static_cast<CControlUI*>(widget());
}

bool AccessibleControl::HasValue() const {
    return qobject_cast<CProgressUI*>(Control()) != nullptr;
}

QAccessible::Role AccessibleControl::role() const {
    const CControlUI* c = Control();
    // Most derived classes first: a combo is a button, a check box an option, a slider a
    // progress bar, and all of them labels.
    if (qobject_cast<const CComboUI*>(c)) return QAccessible::ComboBox;
    if (qobject_cast<const CCheckBoxUI*>(c)) return QAccessible::CheckBox;
    if (auto* option = qobject_cast<const COptionUI*>(c))
        // An option outside any group toggles on its own: to the user it is a check box.
        return option->GetGroup().isEmpty() ? QAccessible::CheckBox : QAccessible::RadioButton;
    if (qobject_cast<const CButtonUI*>(c)) return QAccessible::PushButton;
    if (qobject_cast<const CSliderUI*>(c)) return QAccessible::Slider;
    if (qobject_cast<const CProgressUI*>(c)) return QAccessible::ProgressBar;
    if (qobject_cast<const CEditUI*>(c)) return QAccessible::EditableText;
    if (qobject_cast<const CLabelUI*>(c)) return QAccessible::StaticText;
    if (qobject_cast<const CTreeNodeUI*>(c)) return QAccessible::TreeItem;
    if (qobject_cast<const CListContainerElementUI*>(c)) return QAccessible::ListItem;
    if (qobject_cast<const CTreeViewUI*>(c)) return QAccessible::Tree;
    if (qobject_cast<const CListUI*>(c)) return QAccessible::List;
    if (qobject_cast<const CContainerUI*>(c)) return QAccessible::Grouping;
    if (qobject_cast<const CColorPaletteUI*>(c)) return QAccessible::ColorChooser;
    if (qobject_cast<const CGifUI*>(c)) return QAccessible::Animation;
    return c->GetBkImage().IsEmpty() ? QAccessible::Client : QAccessible::Graphic;
}

QString AccessibleControl::text(QAccessible::Text t) const {
    const CControlUI* c = Control();
    switch (t) {
        case QAccessible::Name: {
            if (!c->accessibleName().isEmpty()) return c->accessibleName();
            QString name;
            if (auto* edit = qobject_cast<const CEditUI*>(c))
                // An edit's text is what the user typed (its value); its name is the prompt.
                name = edit->LineEdit()->placeholderText();
            else if (qobject_cast<const CListContainerElementUI*>(c))
                name = RowText(c);
            else
                // A combo's own text, not the current item's (that is its value).
                name = c->CControlUI::GetText();
            return name.isEmpty() ? c->GetName() : name;
        }
        case QAccessible::Description:
            return c->accessibleDescription().isEmpty() ? c->toolTip() : c->accessibleDescription();
        case QAccessible::Value:
            if (auto* progress = qobject_cast<const CProgressUI*>(c))
                return QString::number(progress->GetValue());
            if (qobject_cast<const CEditUI*>(c) || qobject_cast<const CComboUI*>(c)) return c->GetText();
            return {};
        default:
            return QAccessibleWidget::text(t);
    }
}

QAccessible::State AccessibleControl::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    const CControlUI* c = Control();
    if (auto* option = qobject_cast<const COptionUI*>(c)) {
        s.checkable = true;
        s.checked = option->IsSelected();
    }
    if (auto* button = qobject_cast<const CButtonUI*>(c)) {
        s.pressed = button->IsPushed() && button->IsHot();
        s.hotTracked = button->IsHot();
    }
    if (auto* combo = qobject_cast<const CComboUI*>(c)) {
        s.hasPopup = true;
        s.expandable = true;
        s.expanded = combo->DropDown() != nullptr;
        s.collapsed = !s.expanded;
    }
    if (auto* edit = qobject_cast<const CEditUI*>(c)) {
        s.editable = !edit->LineEdit()->isReadOnly();
        s.readOnly = edit->LineEdit()->isReadOnly();
        s.passwordEdit = edit->LineEdit()->echoMode() == QLineEdit::Password;
        s.focusable = edit->LineEdit()->focusPolicy() != Qt::NoFocus;
        s.focused = edit->LineEdit()->hasFocus();
    } else if (qobject_cast<const CProgressUI*>(c) && !qobject_cast<const CSliderUI*>(c)) {
        s.readOnly = true;
    }
    if (auto* row = qobject_cast<const CListContainerElementUI*>(c)) {
        s.selectable = true;
        s.selected = row->IsSelected();
    }
    if (auto* node = qobject_cast<const CTreeNodeUI*>(c); node && !node->GetChildNodes().empty()) {
        s.expandable = true;
        s.expanded = node->IsExpanded();
        s.collapsed = !node->IsExpanded();
    }
    return s;
}

void* AccessibleControl::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface && HasValue())
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QStringList AccessibleControl::actionNames() const {
    QStringList names;
    const CControlUI* c = Control();
    if (c->isEnabled()) {
        if (IsPlainButton(c)) names << pressAction();
        if (qobject_cast<const COptionUI*>(c)) names << pressAction() << toggleAction();
        if (qobject_cast<const CComboUI*>(c)) names << pressAction() << showMenuAction();
        if (qobject_cast<const CSliderUI*>(c)) names << increaseAction() << decreaseAction();
        if (qobject_cast<const CListContainerElementUI*>(c)) names << pressAction();
        if (auto* node = qobject_cast<const CTreeNodeUI*>(c); node && !node->GetChildNodes().empty())
            names << toggleAction();
    }
    return names + QAccessibleWidget::actionNames();
}

// Every action goes where a mouse click goes, so the window receives the same notifications
// ("click", then "selectchanged" for options, "itemselect"/"itemclick" for rows, "valuechanged"
// for sliders) and cannot tell the two apart.
void AccessibleControl::doAction(const QString& action) {
    CControlUI* c = Control();
    if (!c->isEnabled() || !actionNames().contains(action)) return;
    if (auto* button = qobject_cast<CButtonUI*>(c);
        button && (action == pressAction() || action == toggleAction() || action == showMenuAction())) {
        button->Activate();
        return;
    }
    if (auto* slider = qobject_cast<CSliderUI*>(c)) {
        const int step = std::max(1, slider->GetChangeStep());
        if (action == increaseAction()) slider->ChangeValue(slider->GetValue() + step);
        if (action == decreaseAction()) slider->ChangeValue(slider->GetValue() - step);
        return;
    }
    if (auto* row = qobject_cast<CListContainerElementUI*>(c)) {
        auto* list = qobject_cast<CListUI*>(row->parentWidget());
        if (!list) return;
        if (action == pressAction()) {
            QPointer<CListContainerElementUI> alive(row);
            list->SelectItem(list->GetItemIndex(row));
            if (alive) list->RowEvent(row, QStringLiteral("itemclick"));
        } else if (auto* node = qobject_cast<CTreeNodeUI*>(row); node && action == toggleAction()) {
            if (auto* tree = qobject_cast<CTreeViewUI*>(list)) tree->SetExpanded(node, !node->IsExpanded());
        }
        return;
    }
    QAccessibleWidget::doAction(action);
}

QStringList AccessibleControl::keyBindingsForAction(const QString& action) const {
    if (action == pressAction() && qobject_cast<const CButtonUI*>(Control()))
        return {QStringLiteral("Space"), QStringLiteral("Return")};
    return QAccessibleWidget::keyBindingsForAction(action);
}

QVariant AccessibleControl::currentValue() const {
    auto* progress = qobject_cast<const CProgressUI*>(Control());
    return progress ? QVariant(progress->GetValue()) : QVariant();
}

void AccessibleControl::setCurrentValue(const QVariant& value) {
    // A progress bar only shows a value; a slider takes it as if the user had moved it.
    auto* slider = qobject_cast<CSliderUI*>(Control());
    if (!slider || !slider->isEnabled() || !value.canConvert<int>()) return;
    int v = std::clamp(value.toInt(), slider->GetMinValue(), slider->GetMaxValue());
    // On the slider's steps, as a drag places it.
    const int step = slider->GetChangeStep(), min = slider->GetMinValue();
    if (step > 1) v = min + ((v - min + step / 2) / step) * step;
    slider->ChangeValue(v);
}

QVariant AccessibleControl::maximumValue() const {
    auto* progress = qobject_cast<const CProgressUI*>(Control());
    return progress ? QVariant(progress->GetMaxValue()) : QVariant();
}

QVariant AccessibleControl::minimumValue() const {
    auto* progress = qobject_cast<const CProgressUI*>(Control());
    return progress ? QVariant(progress->GetMinValue()) : QVariant();
}

QVariant AccessibleControl::minimumStepSize() const {
    auto* slider = qobject_cast<const CSliderUI*>(Control());
    return slider ? QVariant(std::max(1, slider->GetChangeStep())) : QVariant(0);
}

}  // namespace zor::ui
