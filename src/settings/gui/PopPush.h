// CPopPush: the DPI pop-up. When the mouse reports a DPI gear or profile change the main window
// fills it (DPI value, gear, mode text, device name) and it slides in at the lower right corner
// of the work area of the screen that holds the pointer. It never takes the keyboard focus, stays
// while the pointer rests on it and slides out two seconds after the pointer leaves or when its
// close button is pressed. Where the window system does not let a program place its windows
// (Wayland) the same content goes to a desktop notification instead.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "settings/gui/DesktopNotification.h"
#include "ui/WindowImplBase.h"

namespace zor {

namespace ui {
class AnimLayout;
}

// The hide timer of the pop-up; tests drive a manual one.
class PopTimer {
public:
    virtual ~PopTimer() = default;
    virtual void Start(int ms) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
    std::function<void()> onTimeout;
};

class QtPopTimer final : public PopTimer {
public:
    QtPopTimer();
    void Start(int ms) override { m_timer.start(ms); }
    void Stop() override { m_timer.stop(); }
    bool IsActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

struct PopPushInfo {
    int level = 1;       // the gear, 1-based
    QString dpiValue;    // "dpivalue"
    QString dpiText;     // "DPIText"
    QString modeText;    // "curmode"
    QString deviceName;  // "dev_name"
    int dpi = 0;         // position of "slider_dpi"
};

// Where the pop-up goes: the lower right corner of the work area of the screen whose geometry
// holds the pointer (the first screen when none does).
struct ScreenArea {
    QRect geometry;
    QRect workArea;
};
QPoint PopPushPosition(const std::vector<ScreenArea>& screens, const QPoint& pointer, const QSize& size);

class CPopPush : public ui::WindowImplBase {
    Q_OBJECT
public:
    static constexpr int kHideMs = 2000;

    explicit CPopPush(std::unique_ptr<PopTimer> timer = nullptr,
                      QDBusConnection bus = QDBusConnection::sessionBus());
    ~CPopPush() override;

    QString GetSkinFile() override { return QStringLiteral("poppush.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("CPopPush"); }
    ui::CControlUI* CreateControl(const QString& className) override;
    void InitWindow() override;
    void Notify(ui::TNotifyUI& msg) override;
    void OnFinalMessage() override {}

    // Creates the hidden tool window (no owner, never focused).
    void CreatePopup();
    void SetSliderMax(int value);
    void Show(const PopPushInfo& info);
    // Slides out and hides (timer 1, btn_close).
    void HidePopup();
    bool IsShown() const { return m_shown; }
    bool TimerActive() const { return m_timer->IsActive(); }

    // Test seams: the screens to place on and the pointer; the notification path.
    void SetScreensForTest(std::function<std::vector<ScreenArea>()> screens, std::function<QPoint()> pointer);
    void SetUseNotification(bool use) { m_useNotification = use; }
    DesktopNotification& Notification() { return m_notification; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Fill(const PopPushInfo& info);
    void Place();

    std::unique_ptr<PopTimer> m_timer;
    QPointer<ui::AnimLayout> m_anim;
    std::function<std::vector<ScreenArea>()> m_screens;
    std::function<QPoint()> m_pointer;
    DesktopNotification m_notification;
    bool m_useNotification;
    bool m_shown = false;
    bool m_hiding = false;
    int m_sliderMax = 0;
};

}  // namespace zor
