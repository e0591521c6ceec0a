// The encrypted BLE name list. The first byte chooses the form of the rest: even, the rest is the
// file as it stands (mostly bad lengths and padding); odd, the rest is plain text that is first
// encrypted with the list's key, so that the JSON reader behind the decryption is reached.
#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/BleNames.h"
#include "FuzzSupport.h"

namespace {

std::vector<std::uint8_t> Encrypt(const std::uint8_t* plain, std::size_t size) {
    std::array<unsigned char, EVP_MAX_KEY_LENGTH> key{};
    std::array<unsigned char, EVP_MAX_IV_LENGTH> unused{};
    const std::string_view phrase = zor::kBlePassPhrase;
    EVP_BytesToKey(EVP_aes_256_cbc(), EVP_sha256(), nullptr, reinterpret_cast<const unsigned char*>(phrase.data()),
                   static_cast<int>(phrase.size()), 1, key.data(), unused.data());
    std::array<unsigned char, 16> iv{};
    for (std::size_t i = 0; i < iv.size(); ++i) iv[i] = static_cast<unsigned char>(i * 7);

    std::vector<std::uint8_t> out(iv.begin(), iv.end());
    out.resize(iv.size() + size + 32);
    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int a = 0;
    int b = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data()) != 1 ||
        EVP_EncryptUpdate(ctx.get(), out.data() + iv.size(), &a, plain, static_cast<int>(size)) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), out.data() + iv.size() + a, &b) != 1) {
        std::abort();
    }
    out.resize(iv.size() + static_cast<std::size_t>(a + b));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 64 * 1024) return 0;
    zor::fuzz::TempFolder temp;
    const auto list = temp.path() / zor::kBleListPath;
    if ((data[0] & 1) != 0) {
        const auto encrypted = Encrypt(data + 1, size - 1);
        zor::fuzz::WriteBytes(list, encrypted.data(), encrypted.size());
    } else {
        zor::fuzz::WriteBytes(list, data + 1, size - 1);
    }
    std::string error;
    (void)zor::LoadBleNames(temp.path(), &error);
    auto temporary = list;
    temporary += ".temp";
    zor::fuzz::Check(!std::filesystem::exists(temporary), "the plain text does not stay behind");
    return 0;
}
