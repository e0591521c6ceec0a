#include "update/Sha256.h"

#include <openssl/evp.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace zor::update {

struct Sha256::Context {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool started = false;
    ~Context() { EVP_MD_CTX_free(ctx); }
    void Start() {
        if (!started) EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
        started = true;
    }
};

Sha256::Sha256() : m_context(std::make_unique<Context>()) {}
Sha256::~Sha256() = default;

void Sha256::Add(std::string_view bytes) {
    m_context->Start();
    EVP_DigestUpdate(m_context->ctx, bytes.data(), bytes.size());
}

std::string Sha256::FinishHex() {
    m_context->Start();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->ctx, digest, &length);
    m_context->started = false;
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256 sha;
    sha.Add(bytes);
    return sha.FinishHex();
}

std::string Sha256OfFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    Sha256 sha;
    std::vector<char> block(64 * 1024);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        sha.Add(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())));
    }
    if (in.bad()) return {};
    return sha.FinishHex();
}

bool IsSha256Hex(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

}  // namespace zor::update
