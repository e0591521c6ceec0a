// Unpacks the device list package (a zip file) into a folder. Items that could land outside the
// folder (absolute names, "..", symbolic links) or exhaust the disk are refused and logged; every
// file is written atomically, so a failing unpack leaves the previous files as they were.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string_view>

#include "common/DataFile.h"

namespace zor {

// Package result codes.
inline constexpr int kUnzipCannotOpen = 0x10000;  // the package is missing or unreadable
inline constexpr int kUnzipNotZip = 0x80000;      // the file is not a zip package

// Item result codes of refused items, logged with "[2.2] ERROR:zrt:" like the zip library's own
// (negative) codes.
inline constexpr int kItemUnsafeName = 0x100;  // absolute, "..", empty or overlong name
inline constexpr int kItemSymlink = 0x101;     // a symbolic link entry
inline constexpr int kItemTooLarge = 0x102;    // over the item cap, or the package over its cap
inline constexpr int kItemRejected = 0x103;    // the item's content was refused by the caller's check

inline constexpr std::uint64_t kMaxItemBytes = 16u * 1024u * 1024u;
inline constexpr std::uint64_t kMaxPackageBytes = 64u * 1024u * 1024u;
inline constexpr std::uint64_t kMaxPackageItems = 4096;
// The package file itself (compressed) is refused above this size.
inline constexpr std::uint64_t kMaxPackageFileBytes = kMaxPackageBytes;

struct UnpackLimits {
    std::uint64_t itemBytes = kMaxItemBytes;        // unpacked size of one item
    std::uint64_t packageBytes = kMaxPackageBytes;  // unpacked size of all items together
    std::uint64_t items = kMaxPackageItems;         // items walked; the rest is not unpacked
};

// When set, asked before an item replaces its file: false keeps the file there as it is.
using UnpackItemCheck = std::function<bool(const std::filesystem::path& target, std::string_view data)>;

struct UnpackResult {
    int code = 0;     // 0 when the package was opened, else kUnzipCannotOpen or kUnzipNotZip
    ReadFault fault = ReadFault::None;  // why a package that could not be opened was refused
    int written = 0;  // files written
    int failed = 0;   // items refused or failed
};

// Unpacks every item of package into folder. Writes the debug lines "Start Unzip..." or
// "Unzip failed!err=<code>" and logs each failure to log (when not null):
//   "[1] ERROR:<code>"                       the package could not be opened
//   "[2.1]ERROR:GetLastError:<errno> <name>" a file or folder could not be written
//   "[2.2] ERROR:zrt:<code> <name>"          an item was refused (also by acceptItem) or
//                                            could not be unpacked
//   "[3] ERROR"                              the package's directory could not be walked, or
//                                            it holds more than limits.items items
UnpackResult UnpackPackage(const std::filesystem::path& package, const std::filesystem::path& folder,
                           std::ostream* log, const UnpackLimits& limits = {},
                           const UnpackItemCheck& acceptItem = {});

}  // namespace zor
