// zorctl update-check against the local test service: its exit code says newer (0), none (1) or
// no answer (2, with the reason on stderr), and --json carries the same findings.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "LocalHttpServer.h"
#include "UpdateService.h"
#include "support/TempDir.h"
#include "update/UpdatePaths.h"

namespace zor::update {
namespace {

class ZorctlUpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home.path() / "res");
        test::WriteFile(VersionInfoPath(home.path()),
                        test::VersionInfoJson("zormouse", "0.1.0", server.Url("/api/")));
    }
    int Run(const std::string& options = {}) {
        const auto zorctl = test::BuildDir() / "tools" / "zorctl" / "zorctl";
        return test::RunShell("'" + zorctl.string() + "' --home '" + home.path().string() + "' " + options +
                              " update-check >'" + (home / "out").string() + "' 2>'" +
                              (home / "err").string() + "'");
    }
    std::string Out() const { return test::ReadFile(home / "out"); }
    std::string Err() const { return test::ReadFile(home / "err"); }

    test::LocalHttpServer server;
    test::TempDir home;
    const std::string kPath = "/api/zormouse/0.1.0";
};

TEST_F(ZorctlUpdateCheckTest, ExitCodeSaysNewerNoneOrNoAnswer) {
    test::OfferRelease(server, kPath, "zormouse_9.9.9_amd64.deb", "package");
    EXPECT_EQ(Run(), 0);
    EXPECT_NE(Out().find("9.9.9"), std::string::npos) << Out();

    server.Route(kPath, test::HttpResponse::Reply(200, test::ServiceReply(0)));
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(Out().find("no newer release"), std::string::npos) << Out();

    server.Route(kPath, test::HttpResponse::Reply(500, "{}"));
    EXPECT_EQ(Run(), 2);
    EXPECT_NE(Err().find("HTTP 500"), std::string::npos) << Err();

    std::filesystem::remove(VersionInfoPath(home.path()));
    EXPECT_EQ(Run(), 2);
    EXPECT_NE(Err().find("VersionInfo.json"), std::string::npos) << Err();
    EXPECT_EQ(Run("--json"), 2);
    EXPECT_EQ(Run("extra"), 2);
}

TEST_F(ZorctlUpdateCheckTest, JsonCarriesTheFindings) {
    const test::OfferedRelease offered =
        test::OfferRelease(server, kPath, "zormouse_9.9.9_amd64.deb", "package");
    ASSERT_EQ(Run("--json"), 0);
    const nlohmann::json out = nlohmann::json::parse(Out());
    EXPECT_EQ(out["outcome"], "update");
    EXPECT_EQ(out["installed"], "0.1.0");
    EXPECT_EQ(out["httpStatus"], 200);
    EXPECT_EQ(out["latest"]["version"], "9.9.9");
    EXPECT_EQ(out["latest"]["sha256"], offered.sha256);

    server.Route(kPath, test::HttpResponse::Redirect(302, server.Url("/x")));
    ASSERT_EQ(Run("--json"), 2);
    const nlohmann::json failed = nlohmann::json::parse(Out());
    EXPECT_EQ(failed["outcome"], "failed");
    EXPECT_EQ(failed["httpStatus"], 302);
    EXPECT_EQ(server.RequestCount("/x"), 0);
}

}  // namespace
}  // namespace zor::update
