#include "app/X11FocusWatch.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/Debug.h"

#ifdef ZOR_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace zor::app {

#ifdef ZOR_HAVE_XCB

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Owned(T* reply) {
    return Reply<T>(reply, &std::free);
}

}  // namespace

X11FocusWatch::X11FocusWatch(Report report, const char* displayName) : m_report(std::move(report)) {
    int screenIndex = 0;
    xcb_connection_t* connection = xcb_connect(displayName, &screenIndex);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        DebugLine("focus: no X server to follow the focused application on\n");
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenIndex && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = screens.data->root;
    constexpr std::string_view kActive = "_NET_ACTIVE_WINDOW";
    auto atom = Owned(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, kActive.size(), kActive.data()), nullptr));
    m_activeAtom = atom ? atom->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    constexpr std::string_view kClients = "_NET_CLIENT_LIST";
    auto clients = Owned(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, kClients.size(), kClients.data()), nullptr));
    m_clientListAtom = clients ? clients->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    WatchProperties(m_root, true);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    Follow();
    // Events that came in with the replies above are already off the socket: taken once the
    // event loop runs.
    QMetaObject::invokeMethod(
        this, [this] { OnReadable(); }, Qt::QueuedConnection);
}

X11FocusWatch::~X11FocusWatch() {
    if (m_connection != nullptr) xcb_disconnect(m_connection);
}

void X11FocusWatch::WatchProperties(std::uint32_t window, bool on) {
    const std::uint32_t mask = on ? XCB_EVENT_MASK_PROPERTY_CHANGE : XCB_EVENT_MASK_NO_EVENT;
    // Checked, so that a window gone in the meantime leaves an error reply here, not in the
    // event queue.
    if (auto* error = xcb_request_check(m_connection, xcb_change_window_attributes_checked(
                                                          m_connection, window, XCB_CW_EVENT_MASK, &mask)))
        std::free(error);
}

void X11FocusWatch::OnReadable() {
    // Replies read while handling an event may bring further events into the queue; they are
    // taken too, since the socket will not report them again.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        Handle(event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection) != 0) {
        DebugLine("focus: the connection to the X server ended\n");
        m_notifier->setEnabled(false);
    }
}

void X11FocusWatch::Handle(const void* event) {
    if ((static_cast<const xcb_generic_event_t*>(event)->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return;
    const auto* change = static_cast<const xcb_property_notify_event_t*>(event);
    if ((change->window == m_root && change->atom == m_activeAtom) ||
        (change->window == m_active && change->atom == XCB_ATOM_WM_CLASS))
        Follow();
}

std::uint32_t X11FocusWatch::ActiveWindow() {
    if (m_activeAtom == XCB_ATOM_NONE) return 0;
    auto reply = Owned(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, m_activeAtom, XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return 0;
    std::uint32_t window = 0;
    std::memcpy(&window, xcb_get_property_value(reply.get()), sizeof window);
    return window;
}

std::vector<std::string> X11FocusWatch::ClassOf(std::uint32_t window) {
    // "instance\0class\0", at most 1 KiB of it.
    auto reply = Owned(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr));
    std::vector<std::string> ids;
    if (!reply || reply->format != 8) return ids;
    const char* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const int length = xcb_get_property_value_length(reply.get());
    for (int start = 0; start < length && ids.size() < 2;) {
        const auto* end = static_cast<const char*>(
            std::memchr(bytes + start, '\0', static_cast<std::size_t>(length - start)));
        const int stop = end != nullptr ? static_cast<int>(end - bytes) : length;
        if (stop > start) ids.emplace_back(bytes + start, static_cast<std::size_t>(stop - start));
        start = stop + 1;
    }
    return ids;
}

std::vector<std::string> X11FocusWatch::RunningApplications() {
    std::vector<std::string> names;
    if (m_connection == nullptr || m_clientListAtom == XCB_ATOM_NONE) return names;
    // At most 1024 windows.
    auto reply = Owned(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, m_clientListAtom, XCB_ATOM_WINDOW, 0, 1024),
        nullptr));
    if (!reply || reply->format != 32) return names;
    const auto* windows = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < count; ++i) {
        if (IsOwnWindow(windows[i])) continue;
        const std::vector<std::string> ids = ClassOf(windows[i]);
        if (!ids.empty() && std::find(names.begin(), names.end(), ids.back()) == names.end())
            names.push_back(ids.back());
    }
    return names;
}

bool X11FocusWatch::IsOwnWindow(std::uint32_t window) {
    const QWindowList windows = QGuiApplication::allWindows();
    return std::any_of(windows.begin(), windows.end(),
                       [window](const QWindow* w) { return w->handle() != nullptr && w->winId() == window; });
}

void X11FocusWatch::Follow() {
    const std::uint32_t active = ActiveWindow();
    if (active != m_active) {
        if (m_active != 0) WatchProperties(m_active, false);
        if (active != 0) WatchProperties(active, true);
        m_active = active;
    }
    // No window (the desktop itself) names no application, and the program's own windows are
    // where the user edits any profile: the last application stays in force.
    if (active == 0 || IsOwnWindow(active)) return;
    std::vector<std::string> ids = ClassOf(active);
    if (ids.empty() || ids == m_reported) return;
    m_reported = ids;
    m_report(ids);
}

#else

X11FocusWatch::X11FocusWatch(Report report, const char*) : m_report(std::move(report)) {}
X11FocusWatch::~X11FocusWatch() = default;
std::vector<std::string> X11FocusWatch::RunningApplications() {
    return {};
}

#endif

}  // namespace zor::app
