// HTTP requests of the update code, over libcurl, with firm limits: a time-out for connecting
// and one for the whole request, a cap on the reply's size, no redirects followed, https checked
// against the system's certificates, and plain http only to the loopback address (a test
// service on this machine). Every call is blocking: run it on a worker thread, never on the UI
// thread. A cancel flag set from another thread ends a request within a fraction of a second.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace zor::update {

struct HttpLimits {
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 15000;           // 0: no limit for the whole request (downloads)
    std::uint64_t maxBytes = 1024 * 1024;  // larger replies are refused
    long stallSeconds = 0;                 // > 0: give up when nothing arrives for this long
};

// Empty when the address may be asked: https to any host, http only to 127.0.0.0/8, ::1 or
// "localhost". Otherwise the reason it is refused.
std::string AddressRefusal(const std::string& url);

struct HttpReply {
    bool received = false;  // a complete reply arrived (any status)
    long status = 0;
    std::string body;
    std::string error;  // why no complete reply arrived
};

HttpReply HttpGet(const std::string& url, const HttpLimits& limits = {},
                  const std::atomic<bool>* cancel = nullptr);

// Progress of a download: bytes so far and the total when the server said it (else 0). Called
// on the downloading thread, at most about ten times a second and once at the end.
using ProgressFn = std::function<void(std::uint64_t received, std::uint64_t total)>;

struct DownloadRequest {
    std::string url;
    std::filesystem::path target;  // the finished file; its folder must exist
    std::string sha256;            // expected digest (hex); empty = not checked
    std::uint64_t maxBytes = 1024ull * 1024 * 1024;
    long connectTimeoutMs = 5000;
    long stallSeconds = 15;
    ProgressFn progress;
    const std::atomic<bool>* cancel = nullptr;
};

enum class DownloadStatus { Done, Cancelled, Failed, ChecksumMismatch };

struct DownloadResult {
    DownloadStatus status = DownloadStatus::Failed;
    std::string error;
    std::string sha256;  // digest of what arrived
    std::uint64_t bytes = 0;
};

// Downloads into a temporary file beside the target, checks its SHA-256 and only then renames
// it to the target. Whatever goes wrong (HTTP status other than 200, size cap, time-out,
// cancel, digest mismatch, disk), the temporary file is deleted and the target is untouched.
DownloadResult DownloadFile(const DownloadRequest& request);

}  // namespace zor::update
