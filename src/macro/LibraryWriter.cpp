#include "macro/LibraryWriter.h"

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "macro/MacroStore.h"

namespace zor {

LibraryWriter::LibraryWriter() : m_thread([this] { Run(); }) {}

LibraryWriter::~LibraryWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void LibraryWriter::Post(std::filesystem::path path, nlohmann::json snapshot) {
    {
        std::lock_guard lock(m_mutex);
        m_next = Job{std::move(path), std::move(snapshot)};
    }
    m_wake.notify_all();
}

std::string LibraryWriter::Wait() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_next && !m_writing; });
    return std::exchange(m_error, {});
}

void LibraryWriter::SetFailureHandler(FailureHandler handler) {
    std::lock_guard lock(m_mutex);
    m_onFailure = std::move(handler);
}

int LibraryWriter::Written() const {
    std::lock_guard lock(m_mutex);
    return m_written;
}

void LibraryWriter::SetStamp(const FileStamp& stamp) {
    std::lock_guard lock(m_mutex);
    m_stamp = stamp;
}

FileStamp LibraryWriter::Stamp() const {
    std::lock_guard lock(m_mutex);
    return m_stamp;
}

void LibraryWriter::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Sleeps until there is something to write; a stop request still writes what waits.
        m_wake.wait(lock, [this] { return m_next.has_value() || m_stop; });
        if (!m_next) return;
        Job job = std::move(*m_next);
        m_next.reset();
        m_writing = true;
        const FileStamp expected = m_stamp;
        lock.unlock();
        std::string error;
        FileStamp written;
        const bool ok = WriteFileIfUnchanged(job.path, MacroStore::Serialise(job.doc), expected, &written,
                                             &error) == SaveOutcome::Written;
        job.doc = nlohmann::json();
        lock.lock();
        if (ok) {
            m_stamp = written;
            ++m_written;
        } else {
            DebugF("macro library not written: %s\n", error);
            m_error = error;
            if (m_onFailure) {
                // Still counted as writing: Wait (and so the end of write-behind) returns only
                // after the handler is done with whatever it refers to.
                FailureHandler handler = m_onFailure;
                lock.unlock();
                handler(error);
                lock.lock();
            }
        }
        m_writing = false;
        if (!m_next) m_idle.notify_all();
    }
}

}  // namespace zor
