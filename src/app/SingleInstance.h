// One running copy per user and instance name: a lock file held for the life of the process,
// and a local socket on which a second start asks the first to restore and raise its window.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace zor::app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the instance name (Init/MutexName); an empty name is replaced by "zormouse".
    explicit SingleInstance(const QString& name);
    ~SingleInstance() override;

    // True when this process is the first one: it holds the lock and listens for later starts.
    bool Acquire();
    // A later start: asks the first one to come to the front. True when it answered.
    bool NotifyFirst(int timeoutMs = 2000) const;
    // Called on the UI thread when a later start asks to be shown.
    void SetRaiseHandler(std::function<void()> handler) { m_raise = std::move(handler); }

    QString LockPath() const;
    QString ServerName() const;

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_raise;
};

}  // namespace zor::app
