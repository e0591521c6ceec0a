// SHA-256 of a byte stream, fed piece by piece as a download arrives (OpenSSL EVP, from libcrypto
// opened on first use).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace zor::update {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when libcrypto cannot be opened: then no digest is made (Unavailable() says why).
    bool Available() const;
    static const std::string& Unavailable();

    void Add(std::string_view bytes);
    // Lower-case hex of the digest; ends the stream (later Adds start a new one). Empty when the
    // digest cannot be made.
    std::string FinishHex();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

std::string Sha256Hex(std::string_view bytes);
// Empty when the file cannot be read.
std::string Sha256OfFile(const std::filesystem::path& path);
// 64 hex digits (either case).
bool IsSha256Hex(std::string_view text);

}  // namespace zor::update
