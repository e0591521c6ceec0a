// zor-update-test-service: the update service on 127.0.0.1 for trying the updater and the
// version window by hand. It offers one release file and the version window's files:
//
//   zor-update-test-service [--port N] [--version V] [--release FILE] [--bad-checksum] [--home DIR]
//
// --home writes DIR/AutoUpdate/res/version/VersionInfo.json and DIR/Version/LocalVersion.json so
// that the program folder DIR asks this service. It runs until interrupted.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "LocalHttpServer.h"
#include "UpdateService.h"
#include "update/Sha256.h"
#include "update/UpdatePaths.h"

namespace {

bool WriteText(const std::filesystem::path& path, const std::string& text) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string version = "9.9.9";
    std::filesystem::path release;
    std::filesystem::path home;
    bool badChecksum = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue)
            port = std::atoi(argv[++i]);
        else if (arg == "--version" && hasValue)
            version = argv[++i];
        else if (arg == "--release" && hasValue)
            release = argv[++i];
        else if (arg == "--home" && hasValue)
            home = argv[++i];
        else if (arg == "--bad-checksum")
            badChecksum = true;
        else {
            std::cerr << "usage: zor-update-test-service [--port N] [--version V] [--release FILE] "
                         "[--bad-checksum] [--home DIR]\n";
            return 2;
        }
    }
    // The signals are taken synchronously below, by every thread of the process.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    zor::test::LocalHttpServer server(port);
    const std::string api = "/api/v1/release/";
    std::string bytes;
    std::string name;
    if (!release.empty()) {
        std::ifstream in(release, std::ios::binary);
        if (!in) {
            std::cerr << "cannot read " << release << '\n';
            return 1;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        name = release.filename().string();
    }
    zor::test::OfferedRelease offered;
    offered.version = version;
    offered.url = server.Url("/files/" + name);
    offered.sha256 = badChecksum ? std::string(64, '0') : zor::update::Sha256Hex(bytes);
    offered.size = bytes.size();
    offered.notes = "A release served by the local test service.";
    const std::string reply =
        zor::test::ServiceReply(release.empty() ? 0 : 1, release.empty() ? nullptr : &offered);
    server.SetFallback([=](const std::string& path) {
        zor::test::HttpResponse response;
        if (path.rfind(api, 0) == 0) {
            response.body = reply;
        } else if (!name.empty() && (path == "/files/" + name || path == "/installer/" + name)) {
            response.body = bytes;
            response.contentType = "application/octet-stream";
        } else if (path == "/SeverVersion.json") {
            response.body = nlohmann::json{{"SeverVersion", {{"MaxVersion", version}}}}.dump();
        } else {
            response.status = 404;
            response.body = "{\"code\":404}";
        }
        return response;
    });
    if (!home.empty()) {
        const std::string installer =
            server.Url("/installer/" + (name.empty() ? std::string("none.deb") : name));
        WriteText(zor::update::VersionInfoPath(home),
                  zor::test::VersionInfoJson("zormouse", "0.1.0", server.Url(api)));
        WriteText(zor::update::LocalVersionPath(home),
                  nlohmann::json{{"LocalVersion",
                                  {{"CurVersion", "0.1.0"},
                                   {"SeverCenterURL", server.Url("/SeverVersion.json")},
                                   {"InstallerURL", installer}}}}
                      .dump(4));
    }
    std::cout << server.Url(api) << std::endl;
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}
