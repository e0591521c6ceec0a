#include "common/FileStamp.h"

#include <sys/stat.h>

#include <map>
#include <mutex>

namespace zor {
namespace {

FileStamp FromStat(const struct stat& st) {
    FileStamp stamp;
    stamp.known = true;
    stamp.exists = true;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

}  // namespace

FileStamp StampOf(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return FileStamp{true, false};
    return FromStat(st);
}

FileStamp StampOfDescriptor(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    return FromStat(st);
}

namespace {

std::mutex g_writtenMutex;
std::map<std::string, FileStamp>& Written() {
    static std::map<std::string, FileStamp> written;
    return written;
}

}  // namespace

void NoteWrittenHere(const std::filesystem::path& path, const FileStamp& stamp) {
    std::lock_guard lock(g_writtenMutex);
    Written()[std::filesystem::absolute(path).lexically_normal().string()] = stamp;
}

FileStamp WrittenHere(const std::filesystem::path& path) {
    std::lock_guard lock(g_writtenMutex);
    const auto found = Written().find(std::filesystem::absolute(path).lexically_normal().string());
    return found != Written().end() ? found->second : FileStamp{};
}

bool WouldReplaceNewer(const std::filesystem::path& path, const FileStamp& stamp) {
    if (!stamp.known) return false;
    const FileStamp now = StampOf(path);
    return now.exists && now != stamp;
}

std::string ChangedOnDiskText(const std::filesystem::path& path) {
    return path.string() + std::string(kChangedOnDisk);
}

}  // namespace zor
