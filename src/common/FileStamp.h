// What a save compares before it replaces a user's file: the file as the program last read or
// wrote it. Both programs keep the same rule: a document is never saved over a file that changed
// on disk since (another program, an editor's rename, a sync tool); the program reloads instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace zor {

struct FileStamp {
    bool known = false;  // false: nothing was recorded, so no save is held back by it
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;  // a rename over the file (an editor's save) gives another inode
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path now (links followed); a missing file has a known stamp that
// says so.
FileStamp StampOf(const std::filesystem::path& path);
// The stamp of an open file.
FileStamp StampOfDescriptor(int fd);
// The save rule: writing to path would replace a file that another writer put there since stamp
// was taken. An unknown stamp never holds a save back, and a file that is gone holds nothing to
// lose, so writing it again is no such loss.
bool WouldReplaceNewer(const std::filesystem::path& path, const FileStamp& stamp);
// The stamp of the last file this process wrote at path (every AtomicFile commit notes it), so
// that a watcher tells its own saves from another program's; unknown when it wrote none.
void NoteWrittenHere(const std::filesystem::path& path, const FileStamp& stamp);
FileStamp WrittenHere(const std::filesystem::path& path);

// "<path> changed on disk since it was read": the reason of a save that was held back.
inline constexpr std::string_view kChangedOnDisk = " changed on disk since it was read";
std::string ChangedOnDiskText(const std::filesystem::path& path);

}  // namespace zor
