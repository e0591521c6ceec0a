// A desktop notification over D-Bus (org.freedesktop.Notifications): each new one replaces the
// previous one of this program, so repeated DPI changes show as one notification. The call is
// asynchronous: a desktop without a notification service never holds up the program. While a call
// waits for its answer, later contents wait too and only the newest is sent (with the id the
// answer brings), so a burst of changes never stacks up separate notifications.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <optional>

namespace zor {

class DesktopNotification : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotification(QDBusConnection bus = QDBusConnection::sessionBus());

    // Sends the notification, replacing the previous one once its id is known.
    void Show(const QString& summary, const QString& body, int timeoutMs);
    // The id the service gave the last notification (0: none yet).
    unsigned LastId() const { return m_id; }
    int Answered() const { return m_answered; }
    // A call is waiting for its answer or a content for its turn.
    bool Busy() const { return m_inFlight || m_next.has_value(); }

signals:
    void answered(unsigned id);

private:
    struct Content {
        QString summary, body;
        int timeoutMs = 0;
        bool operator==(const Content&) const = default;
    };
    void Send(const Content& content);

    QDBusConnection m_bus;
    std::optional<Content> m_next;  // the newest content that came while a call was in flight
    Content m_sent;                 // what the call in flight shows
    bool m_inFlight = false;
    unsigned m_id = 0;
    int m_answered = 0;
};

}  // namespace zor
