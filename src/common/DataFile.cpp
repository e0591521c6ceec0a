#include "common/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zor {

DataFile::DataFile(const std::filesystem::path& path, std::uint64_t maxBytes) : m_maxBytes(maxBytes) {
    // stat first: a device node is never opened (opening some has effects of its own).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        m_fault = errno == ENOENT || errno == ENOTDIR ? ReadFault::Missing : ReadFault::CannotRead;
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_fault = ReadFault::NotRegular;
        return;
    }
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        m_fault = errno == ENOENT ? ReadFault::Missing : ReadFault::CannotRead;
        return;
    }
    if (::fstat(m_fd, &st) != 0) {
        m_fault = ReadFault::CannotRead;
    } else if (!S_ISREG(st.st_mode)) {
        m_fault = ReadFault::NotRegular;
    } else if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        m_fault = ReadFault::TooLarge;
    }
    if (m_fault != ReadFault::None) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_size = static_cast<std::uint64_t>(st.st_size);
}

DataFile::~DataFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool DataFile::ReadAll(std::string& out) {
    if (!ok()) return false;
    std::string bytes(static_cast<std::size_t>(m_size), '\0');
    std::size_t done = 0;
    char more[4096];  // what the file gained since fstat, if anything
    for (;;) {
        const bool inPlace = done < bytes.size();
        char* into = inPlace ? bytes.data() + done : more;
        const std::size_t room = inPlace ? bytes.size() - done : sizeof more;
        const ssize_t n = ::read(m_fd, into, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_fault = ReadFault::CannotRead;
            return false;
        }
        if (n == 0) break;
        if (!inPlace) bytes.append(more, static_cast<std::size_t>(n));
        done += static_cast<std::size_t>(n);
        if (done > m_maxBytes) {
            m_fault = ReadFault::TooLarge;
            return false;
        }
    }
    bytes.resize(done);
    out = std::move(bytes);
    return true;
}

ReadFault ReadDataFile(const std::filesystem::path& path, std::string& out, std::uint64_t maxBytes) {
    DataFile file(path, maxBytes);
    file.ReadAll(out);
    return file.fault();
}

ReadFault CheckDataFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
    return DataFile(path, maxBytes).fault();
}

namespace {
constexpr std::uint64_t kMiB = 1024u * 1024u;
}  // namespace

std::string ReadFaultText(ReadFault fault, std::uint64_t maxBytes) {
    switch (fault) {
        case ReadFault::None:
            return {};
        case ReadFault::Missing:
            return "does not exist";
        case ReadFault::NotRegular:
            return "is not a regular file";
        case ReadFault::TooLarge:
            if (maxBytes >= kMiB && maxBytes % kMiB == 0)
                return "is larger than the " + std::to_string(maxBytes / kMiB) + " MiB such a file may be";
            return "is larger than the " + std::to_string(maxBytes) + " bytes such a file may be";
        case ReadFault::CannotRead:
            break;
    }
    return "cannot be read";
}

std::string DescribeReadFault(const std::filesystem::path& path, ReadFault fault, std::uint64_t maxBytes) {
    return path.string() + " " + ReadFaultText(fault, maxBytes);
}

}  // namespace zor
