// A desktop notification over D-Bus (org.freedesktop.Notifications): each new one replaces the
// previous one of this program, so repeated DPI changes show as one notification. The call is
// asynchronous: a desktop without a notification service never holds up the program.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantList>

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

signals:
    void answered(unsigned id);

private:
    QDBusConnection m_bus;
    unsigned m_id = 0;
    int m_answered = 0;
};

}  // namespace zor
