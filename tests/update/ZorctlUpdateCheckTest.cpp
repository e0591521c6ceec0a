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

TEST_F(ZorctlUpdateCheckTest, TextsFromOutsideReachTheTerminalEscapedAndCut) {
    // A version text that clears the screen, turns the line around and runs on for 500 kB.
    const std::string version = "9.9.9\x1b[2J\xE2\x80\xAE" + std::string(1, '\0') + std::string(500000, 'v');
    test::OfferRelease(server, kPath, "zormouse_9.9.9_amd64.deb", "package", version);
    auto raw = [](const std::string& text) {
        return text.find('\x1b') != std::string::npos || text.find('\0') != std::string::npos ||
               text.find("\xE2\x80\xAE") != std::string::npos;
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(raw(Out())) << Out().substr(0, 80);
    EXPECT_LT(Out().size(), 200u);
    EXPECT_NE(Out().find("9.9.9\\x1b[2J\\u202e\\x00vvv"), std::string::npos) << Out().substr(0, 80);
    EXPECT_EQ(Run("--json"), 0);
    EXPECT_FALSE(raw(Out()));
    EXPECT_EQ(nlohmann::json::parse(Out())["latest"]["version"], version);

    // A release that cannot be used says why, not only in --json.
    test::OfferedRelease unusable;
    unusable.url = "ftp://example.org/zormouse.deb";
    unusable.sha256 = std::string(64, 'a');
    server.Route(kPath, test::HttpResponse::Reply(200, test::ServiceReply(1, &unusable)));
    EXPECT_EQ(Run("--json"), 0);
    const std::string problem = nlohmann::json::parse(Out()).value("releaseProblem", "");
    ASSERT_FALSE(problem.empty()) << Out();
    EXPECT_EQ(Run(), 0);
    EXPECT_NE(Out().find("not usable: " + problem), std::string::npos) << Out();

    // The user's own arguments come back escaped in the error line.
    EXPECT_EQ(Run("\"$(printf 'x\\033[2J\\342\\200\\256')\""), 2);
    EXPECT_FALSE(raw(Err())) << Err();
    EXPECT_NE(Err().find("x\\x1b[2J\\u202e"), std::string::npos) << Err();
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
