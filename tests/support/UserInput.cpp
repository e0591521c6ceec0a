#include "support/UserInput.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <QWindow>

namespace zor::test {
namespace {

QPoint CentreInWindow(QWidget* control) {
    return control->mapTo(control->window(), control->rect().center());
}

QWindow* HandleOf(QWidget* control) {
    QWidget* top = control->window();
    return top != nullptr ? top->windowHandle() : nullptr;
}

QString Describe(const QWidget* w) {
    if (w == nullptr) return QStringLiteral("nothing");
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

}  // namespace

QWidget* WidgetAtCentre(QWidget* control) {
    if (control == nullptr || !control->isVisible()) return nullptr;
    QWidget* top = control->window();
    const QPoint at = CentreInWindow(control);
    if (!top->rect().contains(at)) return nullptr;
    QWidget* hit = top->childAt(at);
    return hit != nullptr ? hit : top;
}

bool Reachable(QWidget* control) {
    QWidget* hit = WidgetAtCentre(control);
    return hit != nullptr && (hit == control || control->isAncestorOf(hit));
}

QString Obstruction(QWidget* control) {
    if (control == nullptr) return QStringLiteral("no control");
    if (!control->isVisible()) return QStringLiteral("%1 is not visible").arg(Describe(control));
    if (!control->isEnabled()) return QStringLiteral("%1 is disabled").arg(Describe(control));
    if (HandleOf(control) == nullptr) return QStringLiteral("%1 has no window").arg(Describe(control));
    if (Reachable(control)) return {};
    QWidget* hit = WidgetAtCentre(control);
    // Name the control that takes the click, not an inner widget of it.
    QWidget* owner = hit;
    while (owner != nullptr && owner->objectName().isEmpty()) owner = owner->parentWidget();
    return QStringLiteral("a press at the centre of %1 reaches %2").arg(Describe(control), Describe(owner));
}

bool ClickControl(QWidget* control, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    const QString why = Obstruction(control);
    if (!why.isEmpty()) {
        ADD_FAILURE() << "cannot click: " << why.toStdString();
        return false;
    }
    QTest::mouseClick(HandleOf(control), button, modifiers, CentreInWindow(control));
    return true;
}

bool DoubleClickControl(QWidget* control) {
    const QString why = Obstruction(control);
    if (!why.isEmpty()) {
        ADD_FAILURE() << "cannot double-click: " << why.toStdString();
        return false;
    }
    QTest::mouseDClick(HandleOf(control), Qt::LeftButton, Qt::NoModifier, CentreInWindow(control));
    return true;
}

void ClickWindowAt(QWidget* window, const QPoint& point, Qt::MouseButton button) {
    QTest::mouseClick(window->window()->windowHandle(), button, Qt::NoModifier, point);
}

bool DragControl(QWidget* control, const QPoint& to) {
    const QString why = Obstruction(control);
    if (!why.isEmpty()) {
        ADD_FAILURE() << "cannot drag: " << why.toStdString();
        return false;
    }
    QWindow* handle = HandleOf(control);
    const QPoint start = CentreInWindow(control);
    const QPoint end = control->mapTo(control->window(), to);
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, start);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) QTest::mouseMove(handle, start + (end - start) * i / kSteps);
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, end);
    return true;
}

bool HoverControl(QWidget* control) {
    const QString why = Obstruction(control);
    if (!why.isEmpty()) {
        ADD_FAILURE() << "cannot hover: " << why.toStdString();
        return false;
    }
    QTest::mouseMove(HandleOf(control), CentreInWindow(control));
    return true;
}

}  // namespace zor::test
