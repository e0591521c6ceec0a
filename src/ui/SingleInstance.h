// One running copy per user and instance name: a lock held for the life of the process (flock on
// a file in the runtime folder: the kernel drops it when the process ends, however it ends, so no
// lock is ever stale), and a local socket on which a second start asks the first to restore and
// raise its window. Plain POSIX sockets watched by a QSocketNotifier: no network library is
// loaded for it.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

#include "common/InstanceLock.h"

class QSocketNotifier;

namespace zor::ui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the instance name (Init/MutexName); an empty name is replaced by "zormouse".
    explicit SingleInstance(const QString& name);
    ~SingleInstance() override;

    // True when this process is the first one: it holds the lock and listens for later starts.
    // wait: how long a lock held by another process is waited for (see InstanceLock).
    bool Acquire(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // A later start: asks the first one to come to the front. True when it answered.
    bool NotifyFirst(int timeoutMs = 2000) const;
    // Called on the UI thread when a later start asks to be shown.
    void SetRaiseHandler(std::function<void()> handler) { m_raise = std::move(handler); }

    QString LockPath() const;
    QString ServerName() const;

private:
    void AcceptOne();

    QString m_name;
    InstanceLock m_lock;
    int m_serverFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_raise;
};

}  // namespace zor::ui
