// The functions of OpenSSL's libcrypto the program uses (the BLE list's decryption, SHA-256 of
// downloads), opened on first use. They are those of the OpenSSL version the program was built
// against; only its headers are needed at build time.
#pragma once

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <string>

namespace zor {

struct CryptoLibrary {
    decltype(&EVP_CIPHER_CTX_new) cipherCtxNew = nullptr;
    decltype(&EVP_CIPHER_CTX_free) cipherCtxFree = nullptr;
    decltype(&EVP_BytesToKey) bytesToKey = nullptr;
    decltype(&EVP_aes_256_cbc) aes256Cbc = nullptr;
    decltype(&EVP_DecryptInit_ex) decryptInit = nullptr;
    decltype(&EVP_DecryptUpdate) decryptUpdate = nullptr;
    decltype(&EVP_DecryptFinal_ex) decryptFinal = nullptr;
    decltype(&EVP_sha256) sha256 = nullptr;
    decltype(&EVP_MD_CTX_new) mdCtxNew = nullptr;
    decltype(&EVP_MD_CTX_free) mdCtxFree = nullptr;
    decltype(&EVP_DigestInit_ex) digestInit = nullptr;
    decltype(&EVP_DigestUpdate) digestUpdate = nullptr;
    decltype(&EVP_DigestFinal_ex) digestFinal = nullptr;
    decltype(&OPENSSL_cleanse) cleanse = nullptr;
    bool loaded = false;
    std::string error;  // why it is not loaded
};

// Opened once, by the first caller; every member is set when loaded is true.
const CryptoLibrary& Crypto();

}  // namespace zor
