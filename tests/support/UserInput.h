// Input the way a user gives it: presses and releases delivered to a top-level window at a
// point of the screen, so that the window's own hit-testing decides which control receives them.
// GUI tests click controls only through these functions (docs/gui-testing.md).
#pragma once

#include <QPoint>
#include <QString>
#include <Qt>

class QWidget;

namespace zor::test {

// The widget the window's hit-testing finds at the centre of control: the control itself, a
// child of it, or whatever covers it. Null when the control is not on the screen.
QWidget* WidgetAtCentre(QWidget* control);
// True when a press at the control's centre reaches the control (or a child of it).
bool Reachable(QWidget* control);
// Why a control cannot be clicked: empty when it can, else a line naming what is in the way.
QString Obstruction(QWidget* control);

// Presses and releases a mouse button at the control's centre on its top-level window. Fails
// the running test (and sends nothing) when something else lies on top of the control.
bool ClickControl(QWidget* control, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier);
bool DoubleClickControl(QWidget* control);
// A click at a point of a top-level window (window coordinates), wherever it lands.
void ClickWindowAt(QWidget* window, const QPoint& point, Qt::MouseButton button = Qt::LeftButton);
// Drags from the centre of control to a point given in the control's coordinates.
bool DragControl(QWidget* control, const QPoint& to);
// Moves the pointer over the control (hover), through the window.
bool HoverControl(QWidget* control);

}  // namespace zor::test
