// KeyboardCapture: while active, every key press and release of the desktop goes to one window
// and to no other program (an active keyboard grab on X11; on Wayland the compositor hands keys
// to the focused window only). Each key is turned into the PC set-1 scan code (0xE000 + make code
// for extended keys) and handed on as the key message of the key (0x100/0x101, 0x104/0x105 with
// Alt), Tab as message 2029. Auto-repeats are dropped. The grab ends on Stop, when the window is
// hidden or destroyed, and when the program quits; the owner hears of every end it did not ask for.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

class QKeyEvent;

namespace zor {

class KeyboardCapture : public QObject {
    Q_OBJECT
public:
    // A key as the capture hands it on: the message number, the virtual key and the scan code.
    using KeySink = std::function<void(unsigned message, std::uint32_t virtualKey, std::uint32_t scanCode)>;
    KeyboardCapture(QWidget* window, KeySink sink);
    ~KeyboardCapture() override;

    // Grabs the keyboard for the window. False when the window is not shown.
    bool Start();
    void Stop();
    bool Active() const { return m_active; }
    // Called when the capture ended by itself (window hidden, program quitting).
    void SetLostHandler(std::function<void()> lost) { m_lost = std::move(lost); }

    // The scan code of a native key event: the X server's and the compositors' keycodes are the
    // evdev keycodes plus 8. 0 for keys without one.
    static std::uint32_t ScanCodeOf(const QKeyEvent& event);
    static std::uint32_t VirtualKeyOf(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Lost();

    QPointer<QWidget> m_window;
    KeySink m_sink;
    std::function<void()> m_lost;
    bool m_active = false;
};

}  // namespace zor
