// Whole-file writes that never leave a torn file: the data goes to a temporary file in the same
// folder, is flushed to disk and then renamed over the target.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "common/FileStamp.h"

namespace zor {

class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();  // removes the temporary file unless commit() succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Refuses (false) a target that exists and is not a regular file or a link to one.
    bool open();
    bool write(std::string_view data);
    // fsync, close and rename over the target; false leaves the target untouched.
    bool commit();
    // The file the write replaces must still be the one stamp recorded: commit checks it just
    // before the rename and refuses (changedOnDisk()) when another writer got there first.
    void expectUnchanged(const FileStamp& stamp) { m_expected = stamp; }
    bool changedOnDisk() const { return m_changedOnDisk; }
    // The stamp of the file commit put in place.
    const FileStamp& written() const { return m_writtenStamp; }

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
    bool m_changedOnDisk = false;
    FileStamp m_expected;
    FileStamp m_writtenStamp;
    std::string m_error;
};

// Writes data to path atomically; error (when given) receives the reason of a failure.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view data, std::string* error = nullptr);

// WriteFileAtomic over a file that must still be as expected recorded (see FileStamp): Changed,
// and nothing written, when it is not. written receives the new file's stamp.
enum class SaveOutcome { Written, Changed, Failed };
SaveOutcome WriteFileIfUnchanged(const std::filesystem::path& path, std::string_view data,
                                 const FileStamp& expected, FileStamp* written, std::string* error = nullptr);

// True for the name of a temporary file AtomicFile makes: "." + target name + ".tmp-" + six
// letters or digits.
bool IsAtomicTempName(std::string_view name);
// Removes, from folder (not its sub-folders), the temporary files of writes that never finished
// (the process was killed between creating and renaming them): regular files with a temporary
// name, last changed at least minAgeSeconds ago. Returns how many were removed.
int RemoveStaleTempFiles(const std::filesystem::path& folder, long minAgeSeconds);

// Copies of damaged files kept beside them: file + ".bad" is the newest, older ones move on to
// ".bad.1", ".bad.2", ... and the oldest beyond kKeptBadCopies is dropped.
inline constexpr int kKeptBadCopies = 5;
std::filesystem::path BadCopyPath(const std::filesystem::path& file, int age = 0);
// Writes bytes as the newest damaged copy of file, after moving the older copies on.
bool KeepBadCopy(const std::filesystem::path& file, std::string_view bytes, std::string* error = nullptr);
// Moves file itself aside as its newest damaged copy (for a file too large or not readable to be
// copied); false when it could not be moved.
bool MoveAsideAsBad(const std::filesystem::path& file, std::string* error = nullptr);

// Reads a whole file through DataFile; false when it cannot be opened, is not a regular file (a
// folder, a FIFO, a device) or is larger than maxBytes. ReadDataFile tells which.
bool ReadFileBytes(const std::filesystem::path& path, std::string& out,
                   std::size_t maxBytes = 64u * 1024u * 1024u);
// Why ReadFileBytes refuses path, for a message that names the real cause: "path is not there",
// "path is not a regular file", "path is larger than the N MiB such a file may be", or "cannot read
// path: " and the system's reason.
std::string ReadFailure(const std::filesystem::path& path, std::size_t maxBytes = 64u * 1024u * 1024u);

}  // namespace zor
