// Whole-file writes that never leave a torn file: the data goes to a temporary file in the same
// folder, is flushed to disk and then renamed over the target.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace zor {

class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();  // removes the temporary file unless commit() succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool write(std::string_view data);
    // fsync, close and rename over the target; false leaves the target untouched.
    bool commit();

    const std::string& error() const { return m_error; }
    const std::filesystem::path& tempPath() const { return m_tempPath; }

    // Test seam: the write hook may refuse (return false) or shorten a write to simulate a full
    // disk; it sees the bytes already written and the bytes of this write.
    using WriteHook = std::function<std::size_t(std::size_t written, std::size_t wanted)>;
    static void setWriteHookForTest(WriteHook hook);

private:
    std::filesystem::path m_target;
    std::filesystem::path m_tempPath;
    int m_fd = -1;
    std::size_t m_written = 0;
    bool m_failed = false;
    bool m_committed = false;
    std::string m_error;
};

// Writes data to path atomically; error (when given) receives the reason of a failure.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view data,
                     std::string* error = nullptr);

// Reads a whole file; false when it cannot be opened or is larger than maxBytes.
bool ReadFileBytes(const std::filesystem::path& path, std::string& out,
                   std::size_t maxBytes = 64u * 1024u * 1024u);

}  // namespace zor
