// Unpacking a release archive (.tar.gz, .tgz, .tar.xz) with the system's tar: the listing is
// checked first, and an archive with an absolute path, a ".." step or a link is refused as a
// whole. Blocking: call it on a worker thread.
#pragma once

#include <filesystem>
#include <string>

namespace zor::update {

// Creates target (which must not exist yet) and unpacks archive into it; on failure nothing
// is left behind. Answers the error, empty on success.
std::string UnpackArchive(const std::filesystem::path& archive, const std::filesystem::path& target);

}  // namespace zor::update
