// Assistive technology access to the skin controls: every control class answers Qt's
// accessibility queries (role, name, description, state, actions, value), so screen readers and
// AT-SPI tools can read the windows and drive them the way a mouse click does.
#pragma once

#include <QAccessibleWidget>

namespace zor::ui {

class CControlUI;

// Registers the factory of the skin controls' interfaces with QAccessible (once per process;
// the first control built calls it).
void InstallAccessibility();

// Tell listening assistive tools that a control's value, checked state or name changed (cheap
// when no tool listens).
void AnnounceValueChange(CControlUI* control, int value);
void AnnounceCheckedChange(CControlUI* control, bool checked);
void AnnounceNameChange(CControlUI* control);

// The interface of one skin control. The role follows the control's class; the name is the
// control's text or, without text, its skin name; the description is its tool tip.
class AccessibleControl : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleControl(CControlUI* control);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
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

private:
    CControlUI* Control() const;
    bool HasValue() const;
};

}  // namespace zor::ui
