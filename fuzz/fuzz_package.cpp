// The package unpacker over arbitrary bytes as a zip file. Whatever the package holds, every file
// written lands inside the target folder, and no symbolic link is created.
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>

#include "catalog/PackageUnpacker.h"
#include "FuzzSupport.h"

namespace {

bool Inside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto rel = path.lexically_relative(folder);
    return !rel.empty() && *rel.begin() != "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256 * 1024) return 0;
    zor::fuzz::TempFolder temp;
    // The target sits two levels down, so that names climbing out with ".." land in the
    // temporary folder, where they are seen.
    const auto package = temp.path() / "Ndevice.zip";
    const auto target = temp.path() / "a" / "b" / "out";
    std::filesystem::create_directories(target);
    zor::fuzz::WriteBytes(package, data, size);

    // Small caps keep each run short; the caps themselves are what is under test.
    zor::UnpackLimits limits;
    limits.itemBytes = 1024 * 1024;
    limits.packageBytes = 4 * 1024 * 1024;
    limits.items = 256;
    std::ostringstream log;
    const zor::UnpackResult result = zor::UnpackPackage(package, target, &log, limits);
    zor::fuzz::Check(result.written >= 0 && result.failed >= 0, "counts are not negative");

    std::uintmax_t total = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(temp.path());
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const auto& path = it->path();
        zor::fuzz::Check(!it->is_symlink(), "no symbolic link is created");
        if (path == package || path == temp.path() / "a" || path == temp.path() / "a" / "b" || path == target) {
            continue;
        }
        zor::fuzz::Check(Inside(path, target), "nothing is written outside the target folder");
        if (it->is_regular_file()) total += it->file_size();
    }
    zor::fuzz::Check(total <= limits.packageBytes, "the package cap holds");
    return 0;
}
