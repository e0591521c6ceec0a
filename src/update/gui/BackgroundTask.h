// One job at a time on a thread of its own, its result handed back on the UI thread. The job
// gets a cancel flag; destroying the task cancels the job and waits for it, so a window that
// closes never leaves a thread behind. Work of the update code (checks, downloads) runs here,
// never on the UI thread.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

#include "ui/CrossThread.h"

namespace zor::update {

class BackgroundTask : public QObject {
    Q_OBJECT
public:
    // The job runs on the worker thread and answers what the UI thread does with its result.
    using Job = std::function<std::function<void()>(const std::atomic<bool>& cancel)>;

    explicit BackgroundTask(QObject* parent = nullptr) : QObject(parent) {}
    ~BackgroundTask() override;

    // False (and nothing started) while a job runs.
    bool Start(Job job);
    bool Running() const { return m_running; }
    // Asks the running job to stop; its result still arrives.
    void Cancel() { m_cancel = true; }
    // Runs on the UI thread; the worker's progress reports go through it.
    void Post(std::function<void()> onUiThread);

signals:
    void finished();

private:
    void Join();

    ui::CallReceiver m_calls;  // the worker's results and reports, run on the UI thread
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
};

}  // namespace zor::update
