#include "app/SingleInstance.h"

#include <unistd.h>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace zor::app {
namespace {

QString RuntimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath() + QStringLiteral("/zormouse-%1").arg(getuid());
    QDir().mkpath(folder);
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name)
    : m_name(name.isEmpty() ? QStringLiteral("zormouse") : name) {
    // Only characters that are safe in a file name.
    for (QChar& c : m_name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_')) c = QLatin1Char('_');
}

SingleInstance::~SingleInstance() {
    if (m_server) m_server->close();
}

QString SingleInstance::LockPath() const {
    return RuntimeFolder() + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

QString SingleInstance::ServerName() const {
    return RuntimeFolder() + QLatin1Char('/') + m_name + QStringLiteral(".sock");
}

bool SingleInstance::Acquire() {
    m_lock = std::make_unique<QLockFile>(LockPath());
    m_lock->setStaleLockTime(0);  // a lock is stale only when its process is gone
    if (!m_lock->tryLock(0)) return false;
    m_server = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(ServerName());  // a socket file left by a crashed run
    if (!m_server->listen(ServerName())) return true;
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (socket->readAll().contains("raise") && m_raise) m_raise();
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

bool SingleInstance::NotifyFirst(int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write("raise\n");
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    return socket.waitForReadyRead(timeoutMs);
}

}  // namespace zor::app
