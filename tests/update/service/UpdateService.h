// The update service's replies as the tests and the local test service build them (the format
// is in docs/update-service.md).
#pragma once

#include <cstdint>
#include <string>

#include "LocalHttpServer.h"

namespace zor::test {

struct OfferedRelease {
    std::string version = "9.9.9";
    std::string url;
    std::string sha256;
    std::uint64_t size = 0;
    std::string notes;
};

// {"code":code,"data":{"total":total[,"latest":{...}]}}
std::string ServiceReply(long long total, const OfferedRelease* latest = nullptr, int code = 200);

// Routes apiPath to a reply that offers release file bytes under "/files/<fileName>"; sha256
// empty = the bytes' own digest. Answers the offered release.
OfferedRelease OfferRelease(LocalHttpServer& server, const std::string& apiPath, const std::string& fileName,
                            const std::string& bytes, const std::string& version = "9.9.9",
                            const std::string& sha256 = {});

// A JSON file with product_name, version and update_url.
std::string VersionInfoJson(const std::string& product, const std::string& version, const std::string& url);

}  // namespace zor::test
