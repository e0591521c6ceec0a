// Ends the program the orderly way when the session asks it to (SIGTERM at logout, SIGHUP, or
// SIGINT from a terminal): the signal only wakes the event loop, which then runs the given quit
// action, so the windows close, the files are saved and the single-instance lock is released,
// and the next start finds no stale lock to clear away.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace zor::app {

class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    // One object at a time; it restores the previous handlers when destroyed.
    explicit QuitOnSignal(std::function<void()> quit);
    ~QuitOnSignal() override;
    bool Installed() const { return m_installed; }

private:
    std::function<void()> m_quit;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_installed = false;
};

}  // namespace zor::app
