#include "catalog/PackageUnpacker.h"

#include <sys/stat.h>
#include <unzip.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "common/AtomicFile.h"
#include "common/DataFile.h"
#include "common/Debug.h"
#include "common/Text.h"

namespace zor {
namespace {

constexpr std::size_t kNameBufferSize = 1024;
constexpr std::size_t kReadChunk = 64 * 1024;

class ZipReader {
public:
    explicit ZipReader(const std::filesystem::path& path) : m_zip(unzOpen64(path.c_str())) {}
    ~ZipReader() {
        if (m_zip) unzClose(m_zip);
    }
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;
    unzFile get() const { return m_zip; }

private:
    unzFile m_zip;
};

struct ItemName {
    std::vector<std::string> parts;  // path components below the target folder
    bool directory = false;
};

// The components of a safe item name, or nothing when the name is empty, absolute, names a
// drive, or contains "..". Backslashes count as separators, as zip tools on Windows write them.
std::optional<ItemName> SafeItemName(std::string name) {
    if (name.empty() || name.find("..") != std::string::npos) return std::nullopt;
    for (char& c : name)
        if (c == '\\') c = '/';
    if (name.front() == '/') return std::nullopt;
    ItemName item;
    item.directory = name.back() == '/';
    for (const auto& part : Split(name, '/')) {
        if (part.empty() || part == ".") continue;
        if (item.parts.empty() && part.back() == ':') return std::nullopt;
        item.parts.push_back(part);
    }
    if (item.parts.empty()) return std::nullopt;
    return item;
}

bool IsSymlinkEntry(const unz_file_info64& info) {
    const auto mode = static_cast<mode_t>((info.external_fa >> 16) & 0xFFFFu);
    return (mode & S_IFMT) == S_IFLNK;
}

// Creates the first count components below folder. An existing component that is a symbolic
// link is refused so that no item can be redirected outside the folder. Sets errno on failure.
bool MakeFolders(const std::filesystem::path& folder, const std::vector<std::string>& parts,
                 std::size_t count) {
    std::filesystem::path path = folder;
    for (std::size_t i = 0; i < count; ++i) {
        path /= parts[i];
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) {
                errno = ELOOP;
                return false;
            }
            if (!S_ISDIR(st.st_mode)) {
                errno = ENOTDIR;
                return false;
            }
            continue;
        }
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

class Unpacker {
public:
    Unpacker(unzFile zip, const std::filesystem::path& folder, std::ostream* log, const UnpackLimits& limits,
             const UnpackItemCheck& accept)
        : m_zip(zip), m_folder(folder), m_log(log), m_limits(limits), m_accept(accept) {}

    void run(UnpackResult& result) {
        for (std::uint64_t index = 0;; ++index) {
            const int step = index == 0 ? unzGoToFirstFile(m_zip) : unzGoToNextFile(m_zip);
            if (step == UNZ_END_OF_LIST_OF_FILE) break;
            if (step != UNZ_OK || index >= m_limits.items) {
                log("[3] ERROR\n");
                ++result.failed;
                break;
            }
            if (unpackCurrent())
                ++result.written;
            else
                ++result.failed;
        }
    }

private:
    void log(const std::string& line) {
        if (!m_log) return;
        *m_log << line;
        m_log->flush();
    }
    bool refuse(int code, const std::string& name) {
        log(Format("[2.2] ERROR:zrt:%d %s\n", code, name));
        return false;
    }
    bool osError(int error, const std::string& name) {
        log(Format("[2.1]ERROR:GetLastError:%d %s\n", error, name));
        return false;
    }

    // Unpacks the current item; true when a file was written or a folder made.
    bool unpackCurrent() {
        unz_file_info64 info{};
        std::array<char, kNameBufferSize> buffer{};
        if (unzGetCurrentFileInfo64(m_zip, &info, buffer.data(), buffer.size(), nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            log("[3] ERROR\n");
            return false;
        }
        const std::string raw(buffer.data(), strnlen(buffer.data(), buffer.size()));
        if (info.size_filename >= buffer.size() || raw.size() != info.size_filename)
            return refuse(kItemUnsafeName, raw);
        const auto item = SafeItemName(raw);
        if (!item) return refuse(kItemUnsafeName, raw);
        if (IsSymlinkEntry(info)) return refuse(kItemSymlink, raw);

        if (item->directory) {
            if (!MakeFolders(m_folder, item->parts, item->parts.size())) return osError(errno, raw);
            return true;
        }
        if (info.uncompressed_size > m_limits.itemBytes ||
            info.uncompressed_size > m_limits.packageBytes - m_total)
            return refuse(kItemTooLarge, raw);

        std::string data;
        const int readResult = readCurrent(data);
        if (readResult != UNZ_OK) return refuse(readResult, raw);
        m_total += data.size();

        if (!MakeFolders(m_folder, item->parts, item->parts.size() - 1)) return osError(errno, raw);
        std::filesystem::path target = m_folder;
        for (const auto& part : item->parts) target /= part;
        if (m_accept && !m_accept(target, data)) return refuse(kItemRejected, raw);
        errno = 0;
        if (!WriteFileAtomic(target, data)) return osError(errno != 0 ? errno : EIO, raw);
        return true;
    }

    // Inflates the current item into data. The size in the item's header is not trusted: reading
    // stops with kItemTooLarge as soon as the data passes the cap.
    int readCurrent(std::string& data) {
        int rc = unzOpenCurrentFile(m_zip);
        if (rc != UNZ_OK) return rc;
        std::vector<char> chunk(kReadChunk);
        const std::uint64_t cap = std::min(m_limits.itemBytes, m_limits.packageBytes - m_total);
        for (;;) {
            const int got = unzReadCurrentFile(m_zip, chunk.data(), static_cast<unsigned>(chunk.size()));
            if (got < 0) {
                rc = got;
                break;
            }
            if (got == 0) break;
            if (data.size() + static_cast<std::size_t>(got) > cap) {
                rc = kItemTooLarge;
                break;
            }
            data.append(chunk.data(), static_cast<std::size_t>(got));
        }
        const int closeResult = unzCloseCurrentFile(m_zip);  // reports a CRC mismatch
        return rc != UNZ_OK ? rc : closeResult;
    }

    unzFile m_zip;
    const std::filesystem::path& m_folder;
    std::ostream* m_log;
    const UnpackLimits& m_limits;
    const UnpackItemCheck& m_accept;
    std::uint64_t m_total = 0;  // never above m_limits.packageBytes
};

}  // namespace

UnpackResult UnpackPackage(const std::filesystem::path& package, const std::filesystem::path& folder,
                           std::ostream* log, const UnpackLimits& limits, const UnpackItemCheck& acceptItem) {
    UnpackResult result;
    // The zip library opens the package by name and would wait forever on a FIFO: only a regular
    // file within the cap is handed to it.
    result.fault = CheckDataFile(package, kMaxPackageFileBytes);
    std::optional<ZipReader> zip;
    if (result.fault == ReadFault::None) zip.emplace(package);
    unz_global_info64 global{};
    if (!zip || !zip->get() || unzGetGlobalInfo64(zip->get(), &global) != UNZ_OK)
        result.code = result.fault == ReadFault::None ? kUnzipNotZip : kUnzipCannotOpen;
    if (result.code != 0) {
        DebugF("Unzip failed!err=%d\n", result.code);
        if (log) {
            *log << Format("[1] ERROR:%d\n", result.code);
            log->flush();
        }
        return result;
    }
    DebugLine("Start Unzip...\n");
    Unpacker(zip->get(), folder, log, limits, acceptItem).run(result);
    return result;
}

}  // namespace zor
