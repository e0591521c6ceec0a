#include "update/Http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "common/Text.h"
#include "update/CurlLibrary.h"
#include "update/Sha256.h"

namespace zor::update {
namespace {

constexpr const char* kUserAgent = "zormouse-update/1";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsLoopbackHost(std::string host) {
    host = Lower(host);
    if (host == "localhost" || host == "[::1]" || host == "::1") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    return false;
}

// Only made once Curl() is loaded.
struct CurlUrl {
    const CurlLibrary& curl = Curl();
    CURLU* handle = curl.url();
    ~CurlUrl() { curl.urlCleanup(handle); }
    std::string Part(CURLUPart part) const {
        char* text = nullptr;
        if (curl.urlGet(handle, part, &text, 0) != CURLUE_OK || text == nullptr) return {};
        std::string out(text);
        curl.free(text);
        return out;
    }
};

// One transfer: the body goes to sink (false from the sink ends it), progress and cancel are
// watched, the size cap and the time-outs hold.
struct Transfer {
    std::function<bool(const char*, std::size_t)> sink;
    ProgressFn progress;
    const std::atomic<bool>* cancel = nullptr;
    std::uint64_t maxBytes = 0;
    std::uint64_t received = 0;
    bool tooLarge = false;
    bool sinkFailed = false;
    std::chrono::steady_clock::time_point lastProgress{};

    static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<Transfer*>(user);
        const std::size_t bytes = size * count;
        if (self->received + bytes > self->maxBytes) {
            self->tooLarge = true;
            return 0;
        }
        self->received += bytes;
        if (!self->sink(data, bytes)) {
            self->sinkFailed = true;
            return 0;
        }
        return bytes;
    }

    static int OnProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
        auto* self = static_cast<Transfer*>(user);
        if (self->cancel != nullptr && self->cancel->load()) return 1;
        if (self->progress) {
            const auto clock = std::chrono::steady_clock::now();
            if (clock - self->lastProgress >= std::chrono::milliseconds(100)) {
                self->lastProgress = clock;
                self->progress(static_cast<std::uint64_t>(now), static_cast<std::uint64_t>(total));
            }
        }
        return 0;
    }

    // Runs the request; answers the HTTP status (0 when no complete reply) and the error text.
    long Run(const std::string& url, long connectMs, long totalMs, long stallSeconds, std::string& error,
             curl_off_t* contentLength = nullptr) {
        if (std::string refusal = AddressRefusal(url); !refusal.empty()) {
            error = refusal;
            return 0;
        }
        const CurlLibrary& lib = Curl();  // loaded: AddressRefusal has opened it
        std::unique_ptr<CURL, decltype(lib.easyCleanup)> curl(lib.easyInit(), lib.easyCleanup);
        if (!curl) {
            error = "the HTTP library could not start a request";
            return 0;
        }
        CURL* h = curl.get();
        lib.easySetopt(h, CURLOPT_URL, url.c_str());
        lib.easySetopt(h, CURLOPT_NOSIGNAL, 1L);
        lib.easySetopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        lib.easySetopt(h, CURLOPT_FOLLOWLOCATION, 0L);
        lib.easySetopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        lib.easySetopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        // Requests to this machine never go through a proxy of the environment.
        lib.easySetopt(h, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
        lib.easySetopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
        lib.easySetopt(h, CURLOPT_USERAGENT, kUserAgent);
        lib.easySetopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
        if (totalMs > 0) lib.easySetopt(h, CURLOPT_TIMEOUT_MS, totalMs);
        if (stallSeconds > 0) {
            lib.easySetopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
            lib.easySetopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds);
        }
        lib.easySetopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
        lib.easySetopt(h, CURLOPT_WRITEFUNCTION, &Transfer::OnWrite);
        lib.easySetopt(h, CURLOPT_WRITEDATA, this);
        lib.easySetopt(h, CURLOPT_NOPROGRESS, 0L);
        lib.easySetopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
        lib.easySetopt(h, CURLOPT_XFERINFODATA, this);
        char curlError[CURL_ERROR_SIZE] = {};
        lib.easySetopt(h, CURLOPT_ERRORBUFFER, curlError);

        const CURLcode code = lib.easyPerform(h);
        long status = 0;
        lib.easyGetinfo(h, CURLINFO_RESPONSE_CODE, &status);
        if (contentLength != nullptr) lib.easyGetinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, contentLength);
        if (code == CURLE_OK) {
            if (progress) progress(received, received);
            return status;
        }
        if (tooLarge || code == CURLE_FILESIZE_EXCEEDED)
            error = Format("the reply is larger than %llu bytes", static_cast<unsigned long long>(maxBytes));
        else if (code == CURLE_ABORTED_BY_CALLBACK)
            error = "cancelled";
        else if (sinkFailed)
            error = "the file could not be written";
        else if (code == CURLE_OPERATION_TIMEDOUT)
            error =
                Format("no complete answer in time (%s)", curlError[0] ? curlError : lib.easyStrerror(code));
        else
            error = curlError[0] ? std::string(curlError) : std::string(lib.easyStrerror(code));
        return 0;
    }
};

}  // namespace

std::string AddressRefusal(const std::string& url) {
    if (const CurlLibrary& curl = Curl(); !curl.loaded)
        return "the HTTP library is not available: " + curl.error;
    CurlUrl parsed;
    if (parsed.handle == nullptr ||
        parsed.curl.urlSet(parsed.handle, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return "not a valid address: " + url;
    const std::string scheme = Lower(parsed.Part(CURLUPART_SCHEME));
    const std::string host = parsed.Part(CURLUPART_HOST);
    if (scheme == "https") return {};
    if (scheme == "http") {
        if (IsLoopbackHost(host)) return {};
        return "plain http is used only on this machine (loopback); the address must use https: " + url;
    }
    return "only https addresses are used: " + url;
}

HttpReply HttpGet(const std::string& url, const HttpLimits& limits, const std::atomic<bool>* cancel) {
    HttpReply reply;
    Transfer transfer;
    transfer.maxBytes = limits.maxBytes;
    transfer.cancel = cancel;
    transfer.sink = [&reply](const char* data, std::size_t size) {
        reply.body.append(data, size);
        return true;
    };
    reply.status =
        transfer.Run(url, limits.connectTimeoutMs, limits.totalTimeoutMs, limits.stallSeconds, reply.error);
    reply.received = reply.error.empty();
    if (!reply.received) reply.body.clear();
    return reply;
}

DownloadResult DownloadFile(const DownloadRequest& request) {
    DownloadResult result;
    if (!request.sha256.empty() && !IsSha256Hex(request.sha256)) {
        result.error = "the expected SHA-256 is not 64 hex digits";
        return result;
    }
    Sha256 sha;
    if (!sha.Available()) {
        result.error = "checksums cannot be made: " + Sha256::Unavailable();
        return result;
    }
    const std::filesystem::path folder = request.target.parent_path();
    std::string pattern = (folder / ("." + request.target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        result.error = "no temporary file in " + folder.string();
        return result;
    }
    const std::filesystem::path temp = pattern;
    Transfer transfer;
    transfer.maxBytes = request.maxBytes;
    transfer.cancel = request.cancel;
    transfer.progress = request.progress;
    transfer.sink = [&](const char* data, std::size_t size) {
        sha.Add(std::string_view(data, size));
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    };
    std::string error;
    const long status = transfer.Run(request.url, request.connectTimeoutMs, 0, request.stallSeconds, error);
    result.bytes = transfer.received;
    const bool synced = error.empty() && ::fsync(fd) == 0;
    ::close(fd);

    auto fail = [&](DownloadStatus status_, std::string why) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        result.status = status_;
        result.error = std::move(why);
        return result;
    };
    if (!error.empty())
        return fail(error == "cancelled" ? DownloadStatus::Cancelled : DownloadStatus::Failed, error);
    if (status != 200) return fail(DownloadStatus::Failed, Format("the server answered HTTP %ld", status));
    if (!synced) return fail(DownloadStatus::Failed, "the file could not be written");
    result.sha256 = sha.FinishHex();
    std::string expected = request.sha256;
    std::transform(expected.begin(), expected.end(), expected.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!expected.empty() && result.sha256 != expected)
        return fail(DownloadStatus::ChecksumMismatch, "the SHA-256 of the download (" + result.sha256 +
                                                          ") is not the published one (" + expected + ")");
    std::error_code renameError;
    std::filesystem::rename(temp, request.target, renameError);
    if (renameError)
        return fail(DownloadStatus::Failed, "the file could not be saved: " + renameError.message());
    result.status = DownloadStatus::Done;
    return result;
}

}  // namespace zor::update
