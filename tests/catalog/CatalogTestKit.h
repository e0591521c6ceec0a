// Helpers of the catalog tests: a program folder with the catalog's folders, encrypted lists
// made with the openssl tool, packages made with the zip tool, and a small zip writer for
// packages that no well-behaved zip tool would make (hostile names, lying sizes).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace zor::test {

// Captures debug lines for the life of the object.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    const std::vector<std::string>& lines() const { return m_lines; }
    bool contains(const std::string& text) const;

private:
    std::vector<std::string> m_lines;
};

// Encrypts plain into out with "openssl enc": AES-256-CBC, the key derived from phrase with
// SHA-256 and no salt, ivHex (32 hex digits) written in front of the cipher text.
bool EncryptWithOpenssl(const std::string& plain, const std::filesystem::path& out, const std::string& phrase,
                        const std::string& ivHex = "00112233445566778899aabbccddeeff");

// Packs the files of folder (recursively, with folder entries) into package with "zip".
bool ZipFolder(const std::filesystem::path& folder, const std::filesystem::path& package,
               const std::string& extraOptions = "");

struct RawZipItem {
    RawZipItem(std::string itemName, std::string itemData, bool deflated = false,
               std::uint32_t attributes = 0, std::optional<std::uint32_t> claimed = std::nullopt)
        : name(std::move(itemName)),
          data(std::move(itemData)),
          deflate(deflated),
          externalAttributes(attributes),
          claimedSize(claimed) {}
    std::string name;
    std::string data;
    bool deflate = false;
    std::uint32_t externalAttributes = 0;
    std::optional<std::uint32_t> claimedSize;  // uncompressed size written in the headers
};

// A zip file with the items as given, names and sizes unchecked.
std::string BuildRawZip(const std::vector<RawZipItem>& items);

bool FileExists(const std::filesystem::path& path);
// Every file below folder (relative names, sorted).
std::vector<std::string> ListFiles(const std::filesystem::path& folder);

}  // namespace zor::test
