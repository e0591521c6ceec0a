#include "ui/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "common/Debug.h"
#include "common/InstanceLock.h"

namespace zor::ui {
namespace {

QString RuntimeFolder() {
    return QString::fromStdString(zor::RuntimeFolder().string());
}

// The socket address of path; false when the path does not fit.
bool SocketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return false;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

// Waits until fd is ready for events, at most until deadline.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

}  // namespace

SingleInstance::SingleInstance(const QString& name)
    : m_name(QString::fromStdString(SafeInstanceName(name.toStdString()))), m_lock(name.toStdString()) {}

SingleInstance::~SingleInstance() {
    m_notifier.reset();
    if (m_serverFd >= 0) {
        ::close(m_serverFd);
        ::unlink(QFile::encodeName(ServerName()).constData());
    }
}

QString SingleInstance::LockPath() const {
    return QString::fromStdString(m_lock.path().string());
}

QString SingleInstance::ServerName() const {
    return RuntimeFolder() + QLatin1Char('/') + m_name + QStringLiteral(".sock");
}

bool SingleInstance::Acquire(std::chrono::milliseconds wait) {
    if (m_lock.held()) return true;
    switch (m_lock.TryAcquire(wait)) {
        case InstanceLock::State::NoLockFile:
            // Without a lock file nothing can be decided: run rather than refuse to start.
            DebugF("lock file %s: %s\n", m_lock.path().string(), std::strerror(errno));
            return true;
        case InstanceLock::State::HeldElsewhere:
            return false;
        case InstanceLock::State::Held:
            break;
    }
    const int fd = m_lock.fd();
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) [[maybe_unused]]
        const ssize_t n = ::write(fd, pid.data(), pid.size());

    // The first copy owns the socket name: a file left by a run that crashed is replaced.
    sockaddr_un address{};
    const QString server = ServerName();
    if (!SocketAddress(server, address)) return true;
    ::unlink(address.sun_path);
    m_serverFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_serverFd < 0 ||
        ::bind(m_serverFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_serverFd, 4) != 0) {
        DebugF("instance socket %s: %s\n", server.toStdString(), std::strerror(errno));
        if (m_serverFd >= 0) ::close(m_serverFd);
        m_serverFd = -1;
        return true;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_serverFd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { AcceptOne(); });
    return true;
}

// A later start says "raise" and waits for the answer; the exchange is a few bytes, read with a
// short bound so that a silent client cannot hold the window.
void SingleInstance::AcceptOne() {
    const int client = ::accept4(m_serverFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    char buffer[64];
    std::string request;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (request.find('\n') == std::string::npos && request.size() < sizeof buffer &&
           WaitFor(client, POLLIN, deadline)) {
        const ssize_t got = ::read(client, buffer, sizeof buffer);
        if (got <= 0) break;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    if (request.rfind("raise", 0) == 0) {
        static const char kAnswer[] = "ok\n";
        [[maybe_unused]] const ssize_t n = ::send(client, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
        ::close(client);
        if (m_raise) m_raise();
        return;
    }
    ::close(client);
}

bool SingleInstance::NotifyFirst(int timeoutMs) const {
    sockaddr_un address{};
    if (!SocketAddress(ServerName(), address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool answered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        static const char kRequest[] = "raise\n";
        if (::send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) == sizeof kRequest - 1 &&
            WaitFor(fd, POLLIN, deadline)) {
            char answer[8];
            answered = ::read(fd, answer, sizeof answer) > 0;
        }
    }
    ::close(fd);
    return answered;
}

}  // namespace zor::ui
