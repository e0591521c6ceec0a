#include "update/Sha256.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "common/CryptoLibrary.h"

namespace zor::update {

// libcrypto is opened with the first checksum, not with the program. Without it there is no
// context: Add does nothing and FinishHex answers an empty text.
struct Sha256::Context {
    const CryptoLibrary& crypto = Crypto();
    EVP_MD_CTX* ctx = crypto.loaded ? crypto.mdCtxNew() : nullptr;
    bool started = false;
    ~Context() {
        if (ctx != nullptr) crypto.mdCtxFree(ctx);
    }
    bool Start() {
        if (ctx == nullptr) return false;
        if (!started) started = crypto.digestInit(ctx, crypto.sha256(), nullptr) == 1;
        return started;
    }
};

Sha256::Sha256() : m_context(std::make_unique<Context>()) {}
Sha256::~Sha256() = default;

bool Sha256::Available() const {
    return m_context->ctx != nullptr;
}

const std::string& Sha256::Unavailable() {
    return Crypto().error;
}

void Sha256::Add(std::string_view bytes) {
    if (m_context->Start()) m_context->crypto.digestUpdate(m_context->ctx, bytes.data(), bytes.size());
}

std::string Sha256::FinishHex() {
    if (!m_context->Start()) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool done = m_context->crypto.digestFinal(m_context->ctx, digest, &length) == 1;
    m_context->started = false;
    if (!done) return {};
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
