#include "app/VirtualMouseWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "control/DeviceStack.h"
#include "device/virtual/VirtualMouse.h"

namespace zor::app {

VirtualMouseWindow::VirtualMouseWindow(control::DeviceStack& stack, QWidget* parent)
    : QWidget(parent, Qt::Window), m_stack(stack), m_mouse(stack.Mouse()) {
    setObjectName(QStringLiteral("VirtualMouseWindow"));
    setWindowTitle(tr("Virtual mouse"));
    auto* layout = new QVBoxLayout(this);

    auto* buttons = new QGroupBox(tr("Buttons on the mouse"), this);
    auto* grid = new QGridLayout(buttons);
    const struct {
        const char* name;
        QString text;
        MouseButton button;
    } keys[] = {{"vm_profile", tr("Profile"), MouseButton::Profile},
                {"vm_dpi", tr("DPI"), MouseButton::Dpi},
                {"vm_lighting", tr("Lighting"), MouseButton::Lighting},
                {"vm_rate", tr("Report rate"), MouseButton::ReportRate}};
    int column = 0;
    for (const auto& key : keys) {
        auto* button = new QPushButton(key.text, buttons);
        button->setObjectName(QLatin1String(key.name));
        const MouseButton which = key.button;
        connect(button, &QPushButton::clicked, this, [this, which] {
            if (m_mouse) m_mouse->Click(which);
            UpdateState();
        });
        grid->addWidget(button, column / 2, column % 2);
        ++column;
    }
    layout->addWidget(buttons);

    auto* link = new QGroupBox(tr("Connection"), this);
    auto* linkRow = new QGridLayout(link);
    m_plug = new QPushButton(tr("Unplug"), link);
    m_plug->setObjectName(QStringLiteral("vm_plug"));
    connect(m_plug, &QPushButton::clicked, this, [this] { SetPlugged(!m_stack.VirtualMousePlugged()); });
    m_link = new QPushButton(tr("Drop receiver link"), link);
    m_link->setObjectName(QStringLiteral("vm_link"));
    m_link->setEnabled(m_mouse && m_mouse->Kind() == VirtualLinkKind::Receiver);
    connect(m_link, &QPushButton::clicked, this, [this] { SetLinked(!m_linked); });
    m_ble = new QPushButton(tr("Connect over BLE"), link);
    m_ble->setObjectName(QStringLiteral("vm_ble"));
    m_ble->setEnabled(m_stack.VirtualBle() != nullptr);
    connect(m_ble, &QPushButton::clicked, this, [this] { SetBle(!m_stack.VirtualOnBle()); });
    linkRow->addWidget(m_plug, 0, 0);
    linkRow->addWidget(m_link, 0, 1);
    linkRow->addWidget(m_ble, 1, 0, 1, 2);
    layout->addWidget(link);

    auto* power = new QGroupBox(tr("Battery"), this);
    auto* powerRow = new QGridLayout(power);
    m_battery = new QSlider(Qt::Horizontal, power);
    m_battery->setObjectName(QStringLiteral("vm_battery"));
    m_battery->setRange(0, 100);
    m_charging = new QCheckBox(tr("Charging"), power);
    m_charging->setObjectName(QStringLiteral("vm_charging"));
    if (m_mouse) {
        m_battery->setValue(m_mouse->State().batteryPercent);
        m_charging->setChecked(m_mouse->State().charging);
    }
    auto applyBattery = [this] {
        if (m_mouse) m_mouse->SetBattery(m_battery->value(), m_charging->isChecked());
        UpdateState();
    };
    connect(m_battery, &QSlider::valueChanged, this, applyBattery);
    connect(m_charging, &QCheckBox::toggled, this, applyBattery);
    powerRow->addWidget(m_battery, 0, 0);
    powerRow->addWidget(m_charging, 0, 1);
    layout->addWidget(power);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("vm_state"));
    layout->addWidget(m_state);
    UpdateState();
}

void VirtualMouseWindow::SetPlugged(bool plugged) {
    m_stack.PlugVirtualMouse(plugged);
    m_plug->setText(plugged ? tr("Unplug") : tr("Plug in"));
    UpdateState();
}

void VirtualMouseWindow::SetBle(bool ble) {
    m_stack.SetVirtualBle(ble);
    const QString back = m_mouse && m_mouse->Kind() == VirtualLinkKind::Receiver ? tr("Back to the receiver")
                                                                                 : tr("Back to the cable");
    m_ble->setText(ble ? back : tr("Connect over BLE"));
    // Over BLE there is no cable to pull and no receiver link to drop.
    m_plug->setEnabled(!ble);
    m_link->setEnabled(!ble && m_mouse && m_mouse->Kind() == VirtualLinkKind::Receiver);
    UpdateState();
}

void VirtualMouseWindow::SetLinked(bool linked) {
    if (!m_mouse) return;
    m_linked = linked;
    if (linked)
        m_mouse->RestoreLink();
    else
        m_mouse->DropLink();
    m_link->setText(linked ? tr("Drop receiver link") : tr("Link to receiver"));
    UpdateState();
}

void VirtualMouseWindow::UpdateState() {
    if (!m_mouse) return;
    const VirtualMouseState s = m_mouse->State();
    const int gear = s.dpi[1];  // 1-based current gear of the DPI block
    m_state->setText(tr("Profile %1, DPI gear %2, report rate code %3, battery %4%%5%6")
                         .arg(s.activeProfile + 1)
                         .arg(gear)
                         .arg(s.reportRate)
                         .arg(s.batteryPercent)
                         .arg(s.charging ? tr(" (charging)") : QString())
                         .arg(m_stack.VirtualOnBle()          ? tr(", over BLE")
                              : m_stack.VirtualMousePlugged() ? QString()
                                                              : tr(", unplugged")));
}

void VirtualMouseWindow::PlaceBeside(const QWidget& main) {
    const QScreen* screen = main.screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QRect owner = main.frameGeometry();
    // Before it is shown the window's frame is not known: its contents plus the owner's frame.
    const QSize size =
        isVisible() ? frameGeometry().size() : sizeHint() + (owner.size() - main.geometry().size());
    constexpr int kGap = 16;
    QPoint at(owner.right() + 1 + kGap, owner.top());
    if (at.x() + size.width() > area.right() + 1) {
        const int left = owner.left() - kGap - size.width();
        at.setX(left >= area.left() ? left : area.right() + 1 - size.width());
    }
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    move(at);
}

}  // namespace zor::app
