#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

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
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
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
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        m_error = ErrnoText("cannot close", m_tempPath);
        m_failed = true;
        return false;
    }
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        m_error = ErrnoText("cannot replace", m_target);
        m_failed = true;
        return false;
    }
    m_committed = true;
    SyncFolder(m_target.parent_path());
    return true;
}

bool WriteFileAtomic(const std::filesystem::path& path, std::string_view data, std::string* error) {
    AtomicFile file(path);
    const bool ok = file.open() && file.write(data) && file.commit();
    if (!ok && error) *error = file.error();
    return ok;
}

bool ReadFileBytes(const std::filesystem::path& path, std::string& out, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > maxBytes) return false;
    in.seekg(0, std::ios::beg);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(bytes.data(), size)) return false;
    out = std::move(bytes);
    return true;
}

}  // namespace zor
