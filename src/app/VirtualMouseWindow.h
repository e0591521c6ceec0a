// "Virtual mouse": a small plain window (not part of the skinned program) that drives the
// virtual mouse as if a person held it: its profile, DPI, lighting and report-rate buttons,
// the cable, the receiver link, a Bluetooth LE connection instead of either, and the battery.
#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QSlider;
class QCheckBox;

namespace zor {
class VirtualMouse;
}
namespace zor::control {
class DeviceStack;
}

namespace zor::app {

class VirtualMouseWindow : public QWidget {
    Q_OBJECT
public:
    explicit VirtualMouseWindow(control::DeviceStack& stack, QWidget* parent = nullptr);

    // Shows the mouse's state again (after the program wrote to it).
    void UpdateState();
    // Moves the window beside main on main's screen: right of it, else left of it, else as near
    // as the screen allows; it never leaves the screen. Exact once the window is shown.
    void PlaceBeside(const QWidget& main);

private:
    void SetPlugged(bool plugged);
    void SetLinked(bool linked);
    void SetBle(bool ble);

    control::DeviceStack& m_stack;
    std::shared_ptr<VirtualMouse> m_mouse;
    QLabel* m_state = nullptr;
    QPushButton* m_plug = nullptr;
    QPushButton* m_link = nullptr;
    QPushButton* m_ble = nullptr;
    QSlider* m_battery = nullptr;
    QCheckBox* m_charging = nullptr;
    bool m_linked = true;
};

}  // namespace zor::app
