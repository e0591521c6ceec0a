#include "catalog/BleNames.h"

#include <algorithm>
#include <array>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>
#include <vector>

#include "common/AtomicFile.h"
#include "common/CryptoLibrary.h"
#include "common/DataFile.h"
#include "common/Debug.h"
#include "common/JsonText.h"
#include "common/ProgramPaths.h"

namespace zor {
namespace {

constexpr std::size_t kIvSize = 16;
constexpr std::size_t kKeySize = 32;
constexpr std::size_t kChunkSize = 4096;

// libcrypto is opened the first time a list is decrypted, not with the program.
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { Crypto().cipherCtxFree(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// Key material is wiped when it goes out of scope.
struct KeyBytes {
    std::array<unsigned char, EVP_MAX_KEY_LENGTH> key{};
    std::array<unsigned char, EVP_MAX_IV_LENGTH> unusedIv{};
    ~KeyBytes() {
        Crypto().cleanse(key.data(), key.size());
        Crypto().cleanse(unusedIv.data(), unusedIv.size());
    }
};

// EVP_BytesToKey with SHA-256, no salt and one round: the same derivation as
// "openssl enc -aes-256-cbc -md sha256 -nosalt". Its IV output is not used: the file carries one.
bool DeriveKey(std::string_view passPhrase, KeyBytes& out) {
    const CryptoLibrary& c = Crypto();
    const int size = c.bytesToKey(
        c.aes256Cbc(), c.sha256(), nullptr, reinterpret_cast<const unsigned char*>(passPhrase.data()),
        static_cast<int>(passPhrase.size()), 1, out.key.data(), out.unusedIv.data());
    return size == static_cast<int>(kKeySize);
}

void Report(std::string_view message, const std::filesystem::path& path) {
    DebugLine(std::string(message) + path.string() + "\n");
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a.lexically_normal() == b.lexically_normal()) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

// Removes the temporary plain text however the load ends.
class RemoveOnExit {
public:
    explicit RemoveOnExit(std::filesystem::path path) : m_path(std::move(path)) {}
    ~RemoveOnExit() { remove(); }
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;
    void remove() {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
    }

private:
    std::filesystem::path m_path;
};

}  // namespace

bool DecryptFile(const std::filesystem::path& inPath, const std::filesystem::path& outPath,
                 std::string_view passPhrase) {
    std::filesystem::path target = outPath;
    if (SameFile(inPath, outPath)) target += ".temp";

    const CryptoLibrary& crypto = Crypto();
    if (!crypto.loaded) return false;
    KeyBytes keys;
    if (!DeriveKey(passPhrase, keys)) {
        DebugLine("cannot derive the key\n");
        return false;
    }

    std::string cipher;
    if (ReadDataFile(inPath, cipher, kMaxBleFileBytes) != ReadFault::None) {
        Report("cannot open the input file: ", inPath);
        return false;
    }
    if (cipher.size() < kIvSize) {
        Report("input file too short: ", inPath);
        return false;
    }
    std::array<unsigned char, kIvSize> iv{};
    std::copy_n(reinterpret_cast<const unsigned char*>(cipher.data()), kIvSize, iv.begin());

    CipherCtx ctx(crypto.cipherCtxNew());
    if (!ctx) {
        DebugLine("cannot create the decryption context\n");
        return false;
    }
    if (crypto.decryptInit(ctx.get(), crypto.aes256Cbc(), nullptr, keys.key.data(), iv.data()) != 1) {
        DebugLine("cannot set the cipher and the key\n");
        return false;
    }

    // The plain text is collected in memory and written only after the padding has been checked.
    std::string plain;
    std::vector<unsigned char> block(kChunkSize + EVP_MAX_BLOCK_LENGTH);
    for (std::size_t at = kIvSize; at < cipher.size(); at += kChunkSize) {
        const std::size_t got = std::min(kChunkSize, cipher.size() - at);
        int produced = 0;
        if (crypto.decryptUpdate(ctx.get(), block.data(), &produced,
                                 reinterpret_cast<const unsigned char*>(cipher.data() + at),
                                 static_cast<int>(got)) != 1) {
            DebugLine("cannot decrypt the input data\n");
            return false;
        }
        plain.append(reinterpret_cast<const char*>(block.data()), static_cast<std::size_t>(produced));
    }
    int produced = 0;
    if (crypto.decryptFinal(ctx.get(), block.data(), &produced) != 1) {
        DebugLine("cannot finish the decryption (wrong key or damaged file)\n");
        return false;
    }
    plain.append(reinterpret_cast<const char*>(block.data()), static_cast<std::size_t>(produced));

    std::string error;
    if (!WriteFileAtomic(target, plain, &error)) {
        Report("cannot write the output file: ", target);
        return false;
    }
    DebugLine("file decrypted: " + inPath.string() + " -> " + target.string() + "\n");
    return true;
}

bool BleListPresent(const std::filesystem::path& programFolder) {
    std::error_code ec;
    const std::filesystem::path list = programFolder / kBleListPath;
    return std::filesystem::is_regular_file(list, ec) &&
           std::filesystem::file_size(list, ec) >= 2 * kIvSize && !ec;
}

std::string LoadBleNames(const std::filesystem::path& programFolder, std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    why.clear();
    const std::filesystem::path list = programFolder / kBleListPath;
    // Decrypted beside the list, or in the user's folder when the list is the installation's.
    const std::filesystem::path plain = paths::UserSide(list);
    std::filesystem::path temp = plain;
    temp += ".temp";
    RemoveOnExit removeTemp(temp);
    std::error_code folderError;
    std::filesystem::create_directories(temp.parent_path(), folderError);

    if (const ReadFault fault = CheckDataFile(list, kMaxBleFileBytes); fault != ReadFault::None) {
        why = fault == ReadFault::Missing ? "missing " + list.string()
                                          : DescribeReadFault(list, fault, kMaxBleFileBytes);
        return {};
    }
    if (!DecryptFile(list, plain == list ? list : temp, kBlePassPhrase)) {
        why = "cannot decrypt " + list.string();
        return {};
    }
    std::string text;
    if (!ReadFileBytes(temp, text, kMaxBleFileBytes)) {
        why = "cannot read " + temp.string();
        return {};
    }
    removeTemp.remove();

    std::string names;
    try {
        const auto root = ParseJson(text);
        const auto member = root.is_object() ? root.find("bleString") : root.end();
        if (!root.is_object() || member == root.end()) {
            why = list.string() + ": no \"bleString\" list";
            return {};
        }
        if (!member->is_array()) {
            why = list.string() + ": \"bleString\" is not an array";
            DebugLine(why + "\n");
            return {};
        }
        std::size_t index = 0;
        for (const auto& item : *member) {
            const auto name = item.get<std::string>();
            if (index++ > 0) names += ',';
            names += name;
        }
    } catch (const nlohmann::json::exception& e) {
        why = list.string() + ": " + e.what();
        DebugLine(std::string(e.what()) + "\n");
    }
    return names;
}

}  // namespace zor
