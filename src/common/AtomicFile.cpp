#include "common/AtomicFile.h"
#include "common/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "common/Text.h"

namespace zor {

namespace {

std::mutex g_hookMutex;
AtomicFile::WriteHook g_writeHook;

std::string ErrnoText(const char* what, const std::filesystem::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : m_target(std::move(target)) {}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed && !m_tempPath.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
    }
}

void AtomicFile::setWriteHookForTest(WriteHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_writeHook = std::move(hook);
}

bool AtomicFile::open() {
    // Only a regular file (or a link to one) is replaced, or a new name made: the rename would
    // otherwise put a file in the place of a FIFO, a device node (as root, /dev/null) or a socket.
    struct stat target {};
    if (::stat(m_target.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        m_error = "cannot write " + m_target.string() + ": it is not a regular file";
        m_failed = true;
        return false;
    }
    const std::filesystem::path folder = m_target.parent_path();
    std::string name = ".";
    name.append(m_target.filename().string()).append(".tmp-XXXXXX");
    std::string pattern = (folder / name).string();
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_error = ErrnoText("cannot create a temporary file beside", m_target);
        m_failed = true;
        return false;
    }
    m_tempPath = pattern;
    // Keep the permissions of the file being replaced; new files get the usual 0644 (umask applies).
    // A link in the target's place is replaced by the rename, not written through; its target's
    // permissions are not taken over either.
    struct stat st {};
    if (::lstat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(m_fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
    }
    return true;
}

bool AtomicFile::write(std::string_view data) {
    if (m_failed || m_fd < 0) return false;
    std::size_t allowed = data.size();
    {
        std::lock_guard lock(g_hookMutex);
        if (g_writeHook) allowed = g_writeHook(m_written, data.size());
    }
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t n = ::write(m_fd, data.data() + done, allowed - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_error = ErrnoText("cannot write", m_tempPath);
            m_failed = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    m_written += done;
    if (done < data.size()) {
        m_error = "cannot write " + m_tempPath.string() + ": the disk is full";
        m_failed = true;
        return false;
    }
    return true;
}

bool AtomicFile::commit() {
    if (m_failed || m_fd < 0) return false;
    if (::fsync(m_fd) != 0) {
        m_error = ErrnoText("cannot flush", m_tempPath);
        m_failed = true;
        return false;
    }
    m_writtenStamp = StampOfDescriptor(m_fd);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        m_error = ErrnoText("cannot close", m_tempPath);
        m_failed = true;
        return false;
    }
    if (WouldReplaceNewer(m_target, m_expected)) {
        m_error = ChangedOnDiskText(m_target);
        m_changedOnDisk = true;
        m_failed = true;
        return false;
    }
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        m_error = ErrnoText("cannot replace", m_target);
        m_failed = true;
        return false;
    }
    m_committed = true;
    NoteWrittenHere(m_target, m_writtenStamp);
    SyncFolder(m_target.parent_path());
    return true;
}

bool WriteFileAtomic(const std::filesystem::path& path, std::string_view data, std::string* error) {
    AtomicFile file(path);
    const bool ok = file.open() && file.write(data) && file.commit();
    if (!ok && error) *error = file.error();
    return ok;
}

SaveOutcome WriteFileIfUnchanged(const std::filesystem::path& path, std::string_view data,
                                 const FileStamp& expected, FileStamp* written, std::string* error) {
    AtomicFile file(path);
    file.expectUnchanged(expected);
    if (file.open() && file.write(data) && file.commit()) {
        if (written) *written = file.written();
        return SaveOutcome::Written;
    }
    if (error) *error = file.error();
    return file.changedOnDisk() ? SaveOutcome::Changed : SaveOutcome::Failed;
}

bool IsAtomicTempName(std::string_view name) {
    constexpr std::string_view kMark = ".tmp-";
    constexpr std::size_t kRandom = 6;
    if (name.size() < 1 + 1 + kMark.size() + kRandom || name.front() != '.') return false;
    const std::string_view random = name.substr(name.size() - kRandom);
    for (char c : random)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return name.substr(name.size() - kRandom - kMark.size(), kMark.size()) == kMark;
}

int RemoveStaleTempFiles(const std::filesystem::path& folder, long minAgeSeconds) {
    int removed = 0;
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (!IsAtomicTempName(it->path().filename().string())) continue;
        std::error_code fileError;
        if (!it->is_regular_file(fileError) || it->is_symlink(fileError)) continue;
        const auto changed = it->last_write_time(fileError);
        if (fileError || now - changed < std::chrono::seconds(minAgeSeconds)) continue;
        if (std::filesystem::remove(it->path(), fileError)) ++removed;
    }
    return removed;
}

std::filesystem::path BadCopyPath(const std::filesystem::path& file, int age) {
    std::filesystem::path bad = file;
    bad += age == 0 ? std::string(".bad") : ".bad." + std::to_string(age);
    return bad;
}

namespace {

// Makes room for a new newest copy: .bad.(n-2) -> .bad.(n-1), ..., .bad -> .bad.1.
void AgeBadCopies(const std::filesystem::path& file) {
    for (int age = kKeptBadCopies - 1; age >= 1; --age) {
        const std::filesystem::path older = BadCopyPath(file, age - 1);
        std::error_code ec;
        if (std::filesystem::symlink_status(older, ec).type() == std::filesystem::file_type::not_found)
            continue;
        // rename replaces the oldest copy, and a link is moved as a link, never followed.
        ::rename(older.c_str(), BadCopyPath(file, age).c_str());
    }
}

}  // namespace

bool KeepBadCopy(const std::filesystem::path& file, std::string_view bytes, std::string* error) {
    AgeBadCopies(file);
    return WriteFileAtomic(BadCopyPath(file), bytes, error);
}

bool MoveAsideAsBad(const std::filesystem::path& file, std::string* error) {
    AgeBadCopies(file);
    if (::rename(file.c_str(), BadCopyPath(file).c_str()) != 0) {
        if (error) *error = ErrnoText("cannot move aside", file);
        return false;
    }
    SyncFolder(file.parent_path());
    return true;
}

std::string ReadFailure(const std::filesystem::path& path, std::size_t maxBytes) {
    const ReadFault fault = CheckDataFile(path, maxBytes);
    if (fault != ReadFault::None && fault != ReadFault::CannotRead) return DescribeReadFault(path, fault, maxBytes);
    // Found and within the cap: the system's reason, when opening it gives one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return ErrnoText("cannot read", path);
    ::close(fd);
    return "cannot read " + path.string();
}

bool ReadFileBytes(const std::filesystem::path& path, std::string& out, std::size_t maxBytes) {
    return ReadDataFile(path, out, maxBytes) == ReadFault::None;
}

}  // namespace zor
