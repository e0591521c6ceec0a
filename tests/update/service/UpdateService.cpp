#include "UpdateService.h"

#include <nlohmann/json.hpp>

#include "update/Sha256.h"

namespace zor::test {

std::string ServiceReply(long long total, const OfferedRelease* latest, int code) {
    nlohmann::json data = {{"total", total}};
    if (latest != nullptr) {
        nlohmann::json release = {
            {"version", latest->version}, {"url", latest->url}, {"sha256", latest->sha256}};
        if (latest->size > 0) release["size"] = latest->size;
        if (!latest->notes.empty()) release["notes"] = latest->notes;
        data["latest"] = release;
    }
    return nlohmann::json{{"code", code}, {"msg", "ok"}, {"data", data}}.dump();
}

OfferedRelease OfferRelease(LocalHttpServer& server, const std::string& apiPath, const std::string& fileName,
                            const std::string& bytes, const std::string& version, const std::string& sha256) {
    OfferedRelease release;
    release.version = version;
    release.url = server.Url("/files/" + fileName);
    release.sha256 = sha256.empty() ? update::Sha256Hex(bytes) : sha256;
    release.size = bytes.size();
    release.notes = "Faster start-up and a new lighting effect.";
    HttpResponse reply;
    reply.body = ServiceReply(1, &release);
    server.Route(apiPath, reply);
    HttpResponse file;
    file.body = bytes;
    file.contentType = "application/octet-stream";
    server.Route("/files/" + fileName, file);
    return release;
}

std::string VersionInfoJson(const std::string& product, const std::string& version, const std::string& url) {
    return nlohmann::json{{"product_name", product}, {"version", version}, {"update_url", url}}.dump(4);
}

}  // namespace zor::test
