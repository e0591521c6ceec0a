#include "update/VersionCheck.h"

#include <nlohmann/json.hpp>

#include <cctype>

#include "common/AtomicFile.h"
#include "common/Text.h"
#include "update/Sha256.h"
#include "update/UpdatePaths.h"

namespace zor::update {
namespace {

constexpr std::size_t kVersionFileCap = 64 * 1024;

std::optional<nlohmann::json> ParseObject(const std::string& text) {
    nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded() || !value.is_object()) return std::nullopt;
    return value;
}

bool TextMember(const nlohmann::json& object, const char* key, std::string& out) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return false;
    out = it->get<std::string>();
    return true;
}

// "data"."latest": the newest release. Answers the problem when it cannot be used.
std::string ReadRelease(const nlohmann::json& data, std::optional<ReleaseInfo>& out) {
    const auto it = data.find("latest");
    if (it == data.end()) return "the service named no release to download";
    if (!it->is_object()) return "the release description is not an object";
    ReleaseInfo release;
    if (!TextMember(*it, "version", release.version) || release.version.empty())
        return "the release has no version";
    if (!TextMember(*it, "url", release.url) || release.url.empty()) return "the release has no address";
    if (std::string refusal = AddressRefusal(release.url); !refusal.empty()) return refusal;
    release.fileName = FileNameFromAddress(release.url);
    if (release.fileName.empty()) return "the release's address does not end in a usable file name";
    if (!TextMember(*it, "sha256", release.sha256) || !IsSha256Hex(release.sha256))
        return "the release has no SHA-256 of 64 hex digits";
    for (char& c : release.sha256) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const auto size = it->find("size"); size != it->end()) {
        if (!size->is_number_unsigned()) return "the release's size is not a whole number";
        release.size = size->get<std::uint64_t>();
    }
    TextMember(*it, "notes", release.notes);
    out = std::move(release);
    return {};
}

}  // namespace

std::optional<VersionInfo> LoadVersionInfo(const std::filesystem::path& path, std::string* error) {
    auto failed = [&](std::string why) -> std::optional<VersionInfo> {
        if (error != nullptr) *error = std::move(why);
        return std::nullopt;
    };
    std::string text;
    if (!ReadFileBytes(path, text, kVersionFileCap)) return failed("cannot read " + path.string());
    const auto json = ParseObject(text);
    if (!json) return failed(path.string() + " is not a JSON object");
    VersionInfo info;
    if (!TextMember(*json, "product_name", info.productName) || !TextMember(*json, "version", info.version) ||
        !TextMember(*json, "update_url", info.updateUrl))
        return failed(path.string() + " lacks product_name, version or update_url");
    return info;
}

std::string RequestAddress(const VersionInfo& info) {
    return info.updateUrl + info.productName + "/" + info.version;
}

CheckResult EvaluateReply(long httpStatus, const std::string& body) {
    CheckResult result;
    result.httpStatus = httpStatus;
    if (httpStatus != 200) {
        result.reason = httpStatus >= 300 && httpStatus < 400
                            ? Format("the service answered HTTP %ld (a redirect, not followed)", httpStatus)
                            : Format("the service answered HTTP %ld", httpStatus);
        return result;
    }
    const auto json = ParseObject(body);
    if (!json) {
        result.reason = "the reply is not a JSON object";
        return result;
    }
    const auto code = json->find("code");
    if (code == json->end() || !code->is_number_integer()) {
        result.reason = "the reply has no \"code\"";
        return result;
    }
    if (code->get<long long>() != 200) {
        result.reason = Format("the service answered code %lld", code->get<long long>());
        return result;
    }
    const auto data = json->find("data");
    if (data == json->end() || !data->is_object()) {
        result.reason = "the reply has no \"data\" object";
        return result;
    }
    const auto total = data->find("total");
    if (total == data->end() || !total->is_number_integer()) {
        result.reason = "the reply has no whole number \"data\".\"total\"";
        return result;
    }
    // A count too large for the reader (2^63 and up, which would wrap to a negative number, 2^64 - 1
    // to -1) is a broken reply, not "no newer release".
    if (total->is_number_unsigned() && total->get<std::uint64_t>() > std::uint64_t{INT64_MAX}) {
        result.reason = "the reply's \"data\".\"total\" is out of range: " + total->dump();
        return result;
    }
    result.total = total->get<long long>();
    if (result.total <= 0) {
        result.outcome = CheckOutcome::NoUpdate;
        return result;
    }
    result.outcome = CheckOutcome::UpdateAvailable;
    result.releaseProblem = ReadRelease(*data, result.latest);
    return result;
}

CheckResult CheckForUpdate(const VersionInfo& info, const HttpLimits& limits,
                           const std::atomic<bool>* cancel) {
    const std::string address = RequestAddress(info);
    const HttpReply reply = HttpGet(address, limits, cancel);
    CheckResult result;
    if (!reply.received) {
        result.reason = reply.error;
    } else {
        result = EvaluateReply(reply.status, reply.body);
    }
    result.address = address;
    result.installedVersion = info.version;
    return result;
}

CheckResult CheckForUpdate(const std::filesystem::path& programFolder, const HttpLimits& limits,
                           const std::atomic<bool>* cancel) {
    std::string error;
    const auto info = LoadVersionInfo(VersionInfoPath(programFolder), &error);
    if (!info) {
        CheckResult result;
        result.reason = error;
        return result;
    }
    return CheckForUpdate(*info, limits, cancel);
}

}  // namespace zor::update
