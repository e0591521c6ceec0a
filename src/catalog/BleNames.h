// The encrypted list of Bluetooth LE device names (res/Home/Icons/ble.json): AES-256-CBC with the
// IV in the first 16 bytes, decrypted to a temporary file, parsed and turned into one
// comma-separated name text for the BLE bridge.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace zor {

// The pass phrase from which the key of ble.json is derived.
inline constexpr std::string_view kBlePassPhrase = "Kp47RW2xLd8Vn03TqZcY";
// The list, relative to the program folder.
inline constexpr std::string_view kBleListPath = "res/Home/Icons/ble.json";
// Larger files are refused: the list holds a few names.
inline constexpr std::size_t kMaxBleFileBytes = 1024u * 1024u;

// Decrypts inPath into outPath (".temp" is appended to outPath when both are the same file).
// The whole plain text is decrypted before anything is written, and it is written atomically,
// so a failure never leaves a partial plain text behind. Diagnostics go to debug lines.
bool DecryptFile(const std::filesystem::path& inPath, const std::filesystem::path& outPath,
                 std::string_view passPhrase);

// Decrypts <programFolder>/res/Home/Icons/ble.json and returns the names of its "bleString"
// array joined with ","; empty when the file is missing, cannot be decrypted or parsed. The
// temporary plain text "ble.json.temp" is always removed. error (when given) receives why no
// names could be read, and is cleared on success.
std::string LoadBleNames(const std::filesystem::path& programFolder = ".", std::string* error = nullptr);

// Whether <programFolder>/res/Home/Icons/ble.json is a regular file long enough to hold an IV
// and one cipher block. Cheap: nothing is decrypted, so the crypto library is not loaded.
bool BleListPresent(const std::filesystem::path& programFolder = ".");

}  // namespace zor
