#include "settings/gui/DesktopNotification.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "common/Debug.h"

namespace zor {

DesktopNotification::DesktopNotification(QDBusConnection bus) : m_bus(std::move(bus)) {}

void DesktopNotification::Show(const QString& summary, const QString& body, int timeoutMs) {
    if (!m_bus.isConnected()) {
        DebugLine("no session bus: the DPI notification is not shown\n");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("transient"), true);
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    call.setArguments({QStringLiteral("Zor Mouse"), QVariant::fromValue(m_id), QStringLiteral("input-mouse"),
                       summary, body, QStringList(), hints, timeoutMs});
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<unsigned> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            DebugF("DPI notification not shown: %s\n", reply.error().message().toStdString());
            return;
        }
        m_id = reply.value();
        ++m_answered;
        emit answered(m_id);
    });
}

}  // namespace zor
