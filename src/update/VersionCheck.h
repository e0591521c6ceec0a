// The version check: the installed product and version come from VersionInfo.json, the update
// service is asked at update_url + product_name + "/" + version, and its reply says whether a
// newer release exists (HTTP 200, "code" 200 and "data"."total" > 0) and, for the updater, which
// one ("data"."latest"). The reply format is described in docs/update-service.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "update/Http.h"

namespace zor::update {

struct VersionInfo {
    std::string productName;
    std::string version;
    std::string updateUrl;
};

// Missing file, malformed JSON or a missing/non-text member: nullopt and the reason in error.
std::optional<VersionInfo> LoadVersionInfo(const std::filesystem::path& path, std::string* error = nullptr);

// The address of the question, concatenated as text.
std::string RequestAddress(const VersionInfo& info);

struct ReleaseInfo {
    std::string version;
    std::string url;
    std::string sha256;      // lower-case hex
    std::string fileName;    // the last segment of url
    std::uint64_t size = 0;  // 0 = not given
    std::string notes;
};

enum class CheckOutcome { UpdateAvailable, NoUpdate, Failed };

struct CheckResult {
    CheckOutcome outcome = CheckOutcome::Failed;
    std::string reason;  // why the check failed (empty otherwise)
    std::string address;
    std::string installedVersion;
    long httpStatus = 0;
    long long total = 0;
    // The newest release as the service describes it; empty when it gave none or an unusable one
    // (then releaseProblem says why).
    std::optional<ReleaseInfo> latest;
    std::string releaseProblem;

    bool UpdateAvailable() const { return outcome == CheckOutcome::UpdateAvailable; }
};

// Judges a reply: status and body as they arrived.
CheckResult EvaluateReply(long httpStatus, const std::string& body);

CheckResult CheckForUpdate(const VersionInfo& info, const HttpLimits& limits = {},
                           const std::atomic<bool>* cancel = nullptr);
// Reads VersionInfo.json of the program folder first; a file that cannot be read fails the check.
CheckResult CheckForUpdate(const std::filesystem::path& programFolder, const HttpLimits& limits = {},
                           const std::atomic<bool>* cancel = nullptr);

}  // namespace zor::update
