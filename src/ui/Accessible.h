// Assistive technology access to the skin controls: every control class answers Qt's
// accessibility queries (role, name, description, state, actions, value), so screen readers and
// AT-SPI tools can read the windows and drive them the way a mouse click does.
#pragma once

#include <QAccessibleWidget>
#include <vector>

namespace zor::ui {

class CControlUI;

// Registers the factory of the skin controls' interfaces with QAccessible (once per process;
// the first control built calls it).
void InstallAccessibility();

// Tell listening assistive tools that a control's value, checked state or name changed (cheap
// when no tool listens).
void AnnounceValueChange(CControlUI* control, int value);
void AnnounceTextValueChange(CControlUI* control, const QString& value);
void AnnounceCheckedChange(CControlUI* control, bool checked);
void AnnounceNameChange(CControlUI* control);

// The name a colour swatch (a button that shows only a colour) is known by: "Red", "White", ...
// for the plain colours, "#RRGGBB" for any other.
QString ColourName(const QColor& colour);

// The interface of one skin control. The role follows the control's class; the name is the
// control's text or, without text, its skin name; the description is its tool tip.
class AccessibleControl : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleControl(CControlUI* control);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    // On the screen's pixels, as assistive tools on X11 measure (the window's scale applied).
    QRect rect() const override;
    // A combo box holds the list of its items (role List) whether or not it is open.
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    // Sliders and progress bars.
    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    // The combo box's list and its items (created when first asked for; the accessibility
    // cache keeps them).
    QAccessibleInterface* ComboList() const;
    QAccessibleInterface* ComboItem(int index) const;

private:
    CControlUI* Control() const;
    bool HasValue() const;
    mutable QAccessible::Id m_listId = 0;
    mutable std::vector<QAccessible::Id> m_itemIds;
};

// A window of the skin layer: a frame whose extents are on the screen's pixels too.
class AccessibleWindow : public QAccessibleWidget {
public:
    explicit AccessibleWindow(QWidget* window);
    QRect rect() const override;
};

// The logical global rectangle of a part of widget's window on the screen's pixels.
QRect ScreenPixels(const QRect& logical, const QWidget* widget);

}  // namespace zor::ui
