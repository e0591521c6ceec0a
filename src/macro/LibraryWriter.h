// A thread of its own that writes snapshots of the macro library, so that saving after an edit
// never holds up the thread that edits. One write runs at a time; a snapshot handed over while an
// older one still waits replaces it (only the newest state matters). Every write goes through
// WriteFileAtomic: a crash leaves the previous file or the new one, never a torn one.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "common/FileStamp.h"

namespace zor {

class LibraryWriter {
public:
    // Called on the writer's thread with the reason a write failed.
    using FailureHandler = std::function<void(const std::string& error)>;

    LibraryWriter();
    // Writes what still waits, then ends the thread.
    ~LibraryWriter();
    LibraryWriter(const LibraryWriter&) = delete;
    LibraryWriter& operator=(const LibraryWriter&) = delete;

    // Hands a document over; it is serialised and written on the writer's thread.
    void Post(std::filesystem::path path, nlohmann::json snapshot);
    // Returns once every document handed over so far is written: the reason of the last write
    // that failed since the previous Wait, or an empty text.
    std::string Wait();
    void SetFailureHandler(FailureHandler handler);
    // Writes done so far (each a whole file).
    int Written() const;
    // The file as it was last read (set by the store) or written here: a write over a file that
    // changed on disk since is refused and reported as failed.
    void SetStamp(const FileStamp& stamp);
    FileStamp Stamp() const;

private:
    struct Job {
        std::filesystem::path path;
        nlohmann::json doc;
    };
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<Job> m_next;
    bool m_writing = false;
    bool m_stop = false;
    int m_written = 0;
    FileStamp m_stamp;
    std::string m_error;
    FailureHandler m_onFailure;
    std::thread m_thread;
};

}  // namespace zor
