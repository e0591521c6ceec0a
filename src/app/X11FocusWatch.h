// The focused application of an X11 session: the root window's _NET_ACTIVE_WINDOW and that
// window's WM_CLASS (instance and class name), followed through PropertyNotify events on a
// connection of its own whose socket a QSocketNotifier watches. Nothing is polled: the watch
// sleeps until the X server reports a change.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QSocketNotifier;
struct xcb_connection_t;

namespace zor::app {

class X11FocusWatch : public QObject {
    Q_OBJECT
public:
    // The focused application's ids: the WM_CLASS instance name, then its class name.
    using Report = std::function<void(const std::vector<std::string>& appIds)>;

    // Connects to the X server of $DISPLAY (or displayName) and reports the window focused now;
    // Available() is false when there is no X server.
    explicit X11FocusWatch(Report report, const char* displayName = nullptr);
    ~X11FocusWatch() override;

    bool Available() const { return m_connection != nullptr; }
    // The class names of the session's application windows (the window manager's
    // _NET_CLIENT_LIST), the program's own left out.
    std::vector<std::string> RunningApplications();

private:
    void OnReadable();
    // An event from the X server (an xcb_generic_event_t).
    void Handle(const void* event);
    // Reads the active window and its WM_CLASS; reports when the application changed.
    void Follow();
    std::uint32_t ActiveWindow();
    std::vector<std::string> ClassOf(std::uint32_t window);
    void WatchProperties(std::uint32_t window, bool on);
    static bool IsOwnWindow(std::uint32_t window);

    Report m_report;
    xcb_connection_t* m_connection = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_activeAtom = 0;
    std::uint32_t m_clientListAtom = 0;
    std::uint32_t m_active = 0;  // the window whose WM_CLASS is followed
    std::vector<std::string> m_reported;
};

}  // namespace zor::app
