#include "settings/gui/DesktopNotification.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <utility>

#include "common/Debug.h"

namespace zor {

DesktopNotification::DesktopNotification(QDBusConnection bus) : m_bus(std::move(bus)) {}

void DesktopNotification::Show(const QString& summary, const QString& body, int timeoutMs) {
    if (!m_bus.isConnected()) {
        DebugLine("no session bus: the DPI notification is not shown\n");
        return;
    }
    const Content content{summary, body, timeoutMs};
    if (m_inFlight) {
        // Sent once the answer brings the id to replace; the same content again adds nothing.
        if (content == m_sent)
            m_next.reset();
        else
            m_next = content;
        return;
    }
    Send(content);
}

void DesktopNotification::Send(const Content& content) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("transient"), true);
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    call.setArguments({QStringLiteral("Zor Mouse"), QVariant::fromValue(m_id), QStringLiteral("input-mouse"),
                       content.summary, content.body, QStringList(), hints, content.timeoutMs});
    m_inFlight = true;
    m_sent = content;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<unsigned> reply = *w;
        w->deleteLater();
        m_inFlight = false;
        if (reply.isError()) {
            DebugF("DPI notification not shown: %s\n", reply.error().message().toStdString());
        } else {
            m_id = reply.value();
            ++m_answered;
            emit answered(m_id);
        }
        if (m_next) Send(*std::exchange(m_next, std::nullopt));
    });
}

}  // namespace zor
