#include "ui/Accessible.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <array>

#include "ui/Controls.h"
#include "ui/WindowImplBase.h"

namespace zor::ui {

namespace {

QAccessibleInterface* CreateInterface(const QString&, QObject* object) {
    if (auto* control = qobject_cast<CControlUI*>(object)) return new AccessibleControl(control);
    if (auto* window = qobject_cast<WindowImplBase*>(object)) return new AccessibleWindow(window);
    return nullptr;
}

// The list of a combo box's items, and each item: interfaces without an object of their own,
// which read the combo box whenever asked, so that they follow its items.
class ComboListInterface : public QAccessibleInterface {
public:
    explicit ComboListInterface(CComboUI* combo) : m_combo(combo) {}
    bool isValid() const override { return !m_combo.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_combo ? m_combo->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return m_combo ? QAccessible::queryAccessibleInterface(m_combo.data()) : nullptr;
    }
    QAccessibleInterface* child(int index) const override {
        auto* owner = static_cast<AccessibleControl*>(parent());
        return owner ? owner->ComboItem(index) : nullptr;
    }
    int childCount() const override { return m_combo ? m_combo->GetCount() : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child) return i;
        return -1;
    }
    QString text(QAccessible::Text t) const override {
        if (!m_combo || t != QAccessible::Name) return {};
        return QAccessible::queryAccessibleInterface(m_combo.data())->text(QAccessible::Name);
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!m_combo) return {};
        if (QWidget* drop = m_combo->DropDown())
            return ScreenPixels(QRect(drop->mapToGlobal(QPoint()), drop->size()), drop);
        return QAccessible::queryAccessibleInterface(m_combo.data())->rect();
    }
    QAccessible::Role role() const override { return QAccessible::List; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !m_combo || m_combo->DropDown() == nullptr;
        s.readOnly = true;
        return s;
    }

private:
    QPointer<CComboUI> m_combo;
};

class ComboItemInterface : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ComboItemInterface(CComboUI* combo, int index) : m_combo(combo), m_index(index) {}
    bool isValid() const override { return m_combo && m_index < m_combo->GetCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_combo ? m_combo->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        auto* owner =
            m_combo ? static_cast<AccessibleControl*>(QAccessible::queryAccessibleInterface(m_combo.data()))
                    : nullptr;
        return owner ? owner->ComboList() : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return m_combo && t == QAccessible::Name ? m_combo->GetItemText(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!m_combo) return {};
        // In the open drop-down, the item's own line; else the combo box, where it would show.
        if (auto* menu = qobject_cast<QMenu*>(m_combo->DropDown())) {
            const QList<QAction*> actions = menu->actions();
            if (m_index < actions.size()) {
                const QRect r = menu->actionGeometry(actions[m_index]);
                return ScreenPixels(QRect(menu->mapToGlobal(r.topLeft()), r.size()), menu);
            }
        }
        return QAccessible::queryAccessibleInterface(m_combo.data())->rect();
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.selectable = true;
        s.selected = m_combo && m_combo->GetCurSel() == m_index;
        s.invisible = !m_combo || m_combo->DropDown() == nullptr;
        s.disabled = !m_combo || !m_combo->isEnabled();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override {
        return m_combo && m_combo->isEnabled() ? QStringList{pressAction()} : QStringList{};
    }
    // Picks the item as a click in the drop-down does ("itemselect").
    void doAction(const QString& action) override {
        if (action != pressAction() || !isValid() || !m_combo->isEnabled()) return;
        if (QWidget* drop = m_combo->DropDown()) drop->close();
        m_combo->SelectItem(m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<CComboUI> m_combo;
    int m_index;
};

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

void AnnounceTextValueChange(CControlUI* control, const QString& value) {
    if (!QAccessible::isActive()) return;
    QAccessibleValueChangeEvent event(control, value);
    QAccessible::updateAccessibility(&event);
}

QString ColourName(const QColor& colour) {
    struct Named {
        QRgb rgb;
        const char* name;
    };
    static constexpr std::array<Named, 11> kNames{{{0xFF0000, "Red"},
                                                   {0x00FF00, "Green"},
                                                   {0x0000FF, "Blue"},
                                                   {0xFFFF00, "Yellow"},
                                                   {0x00FFFF, "Cyan"},
                                                   {0xFF00FF, "Magenta"},
                                                   {0xFFFFFF, "White"},
                                                   {0x000000, "Black"},
                                                   {0xFF8000, "Orange"},
                                                   {0x800080, "Purple"},
                                                   {0x808080, "Grey"}}};
    const QRgb rgb = colour.rgb() & 0xFFFFFFu;
    for (const Named& n : kNames)
        if (n.rgb == rgb) return QString::fromLatin1(n.name);
    return colour.name(QColor::HexRgb).toUpper();
}

QRect ScreenPixels(const QRect& logical, const QWidget* widget) {
    if (logical.isEmpty() || widget == nullptr) return logical;
    const QWindow* window = widget->window()->windowHandle();
    const QScreen* screen = window ? window->screen() : nullptr;
    if (window == nullptr || screen == nullptr) return logical;
    const qreal factor = window->devicePixelRatio();
    if (qFuzzyCompare(factor, 1.0)) return logical;
    // A screen keeps its position on the desktop; what lies on it is scaled from there.
    const QPointF origin = screen->geometry().topLeft();
    const QPointF topLeft = (QPointF(logical.topLeft()) - origin) * factor + origin;
    return QRect(topLeft.toPoint(), (QSizeF(logical.size()) * factor).toSize());
}

AccessibleWindow::AccessibleWindow(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

QRect AccessibleWindow::rect() const {
    return ScreenPixels(QAccessibleWidget::rect(), widget());
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
            // A button that shows only a colour (a swatch) is known by its colour.
            if (auto* button = qobject_cast<const CButtonUI*>(c);
                name.isEmpty() && button && IsPlainButton(c) && button->IsColourSwatch())
                return ColourName(button->GetBkColor());
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

QRect AccessibleControl::rect() const {
    return ScreenPixels(QAccessibleWidget::rect(), widget());
}

int AccessibleControl::childCount() const {
    return QAccessibleWidget::childCount() + (qobject_cast<const CComboUI*>(Control()) ? 1 : 0);
}

QAccessibleInterface* AccessibleControl::child(int index) const {
    const int own = QAccessibleWidget::childCount();
    if (index == own && qobject_cast<const CComboUI*>(Control())) return ComboList();
    return QAccessibleWidget::child(index);
}

int AccessibleControl::indexOfChild(const QAccessibleInterface* child) const {
    if (child != nullptr && m_listId != 0 && child == QAccessible::accessibleInterface(m_listId))
        return QAccessibleWidget::childCount();
    return QAccessibleWidget::indexOfChild(child);
}

QAccessibleInterface* AccessibleControl::ComboList() const {
    auto* combo = qobject_cast<CComboUI*>(Control());
    if (combo == nullptr) return nullptr;
    if (m_listId == 0) m_listId = QAccessible::registerAccessibleInterface(new ComboListInterface(combo));
    return QAccessible::accessibleInterface(m_listId);
}

QAccessibleInterface* AccessibleControl::ComboItem(int index) const {
    auto* combo = qobject_cast<CComboUI*>(Control());
    if (combo == nullptr || index < 0 || index >= combo->GetCount()) return nullptr;
    while (m_itemIds.size() <= static_cast<std::size_t>(index))
        m_itemIds.push_back(QAccessible::registerAccessibleInterface(
            new ComboItemInterface(combo, static_cast<int>(m_itemIds.size()))));
    return QAccessible::accessibleInterface(m_itemIds[static_cast<std::size_t>(index)]);
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
    if (action == setFocusAction()) {
        // The focus an assistive tool moves shows as the keyboard's does, in a window brought
        // forward for it.
        if (!c->window()->isActiveWindow()) c->window()->activateWindow();
        c->SetKeyboardFocus(Qt::OtherFocusReason);
        return;
    }
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
