// The version check against the local test service: the address it asks, the replies that mean
// "newer release", "none" and "could not check", and the limits (size cap, time-out, redirects,
// addresses that are never asked).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "LocalHttpServer.h"
#include "UpdateService.h"
#include "support/Slowdown.h"
#include "support/TempDir.h"
#include "update/UpdatePaths.h"
#include "update/VersionCheck.h"

namespace zor::update {
namespace {

using test::HttpResponse;

class VersionCheckTest : public ::testing::Test {
protected:
    const std::string kPath = "/api/zormouse/0.1.0";
    VersionInfo Info() const { return {"zormouse", "0.1.0", server.Url("/api/")}; }
    void Reply(int status, const std::string& body) {
        HttpResponse response;
        response.status = status;
        response.body = body;
        server.Route(kPath, response);
    }
    CheckResult Check(const HttpLimits& limits = {}) { return CheckForUpdate(Info(), limits); }

    test::LocalHttpServer server;
};

TEST_F(VersionCheckTest, AsksTheAddressMadeFromTheVersionFileOfTheProgramFolder) {
    test::TempDir home;
    test::WriteFile(VersionInfoPath(home.path()),
                    test::VersionInfoJson("zormouse", "0.1.0", server.Url("/api/")));
    Reply(200, test::ServiceReply(0));
    const CheckResult result = CheckForUpdate(home.path());
    EXPECT_EQ(result.outcome, CheckOutcome::NoUpdate) << result.reason;
    EXPECT_EQ(server.Requests(), std::vector<std::string>{kPath});
    EXPECT_EQ(result.address, server.Url(kPath));
    EXPECT_EQ(result.installedVersion, "0.1.0");
}

TEST_F(VersionCheckTest, AMissingOrIncompleteVersionFileFailsWithoutAsking) {
    test::TempDir home;
    EXPECT_EQ(CheckForUpdate(home.path()).outcome, CheckOutcome::Failed);
    test::WriteFile(VersionInfoPath(home.path()), R"({"product_name":"zormouse","version":"0.1.0"})");
    const CheckResult incomplete = CheckForUpdate(home.path());
    EXPECT_EQ(incomplete.outcome, CheckOutcome::Failed);
    EXPECT_NE(incomplete.reason.find("update_url"), std::string::npos) << incomplete.reason;
    test::WriteFile(VersionInfoPath(home.path()), "{\"product_name\": 5,");
    EXPECT_EQ(CheckForUpdate(home.path()).outcome, CheckOutcome::Failed);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(VersionCheckTest, ATotalOfZeroOrLessMeansNoNewerRelease) {
    for (long long total : {0LL, -1LL, -100LL}) {
        Reply(200, test::ServiceReply(total));
        const CheckResult result = Check();
        EXPECT_EQ(result.outcome, CheckOutcome::NoUpdate) << total << ": " << result.reason;
        EXPECT_FALSE(result.UpdateAvailable());
        EXPECT_EQ(result.total, total);
    }
}

TEST_F(VersionCheckTest, APositiveTotalMeansANewerReleaseAndNamesIt) {
    const test::OfferedRelease offered =
        test::OfferRelease(server, kPath, "zormouse_9.9.9_amd64.deb", "package");
    const CheckResult result = Check();
    ASSERT_EQ(result.outcome, CheckOutcome::UpdateAvailable) << result.reason;
    EXPECT_EQ(result.total, 1);
    ASSERT_TRUE(result.latest.has_value()) << result.releaseProblem;
    EXPECT_EQ(result.latest->version, "9.9.9");
    EXPECT_EQ(result.latest->url, offered.url);
    EXPECT_EQ(result.latest->sha256, offered.sha256);
    EXPECT_EQ(result.latest->fileName, "zormouse_9.9.9_amd64.deb");
    EXPECT_EQ(result.latest->size, 7u);
}

TEST_F(VersionCheckTest, AnUnusableReleaseStillReportsTheUpdateButNamesTheProblem) {
    const auto offer = [&](const std::string& url, const std::string& sha) {
        test::OfferedRelease release;
        release.url = url;
        release.sha256 = sha;
        Reply(200, test::ServiceReply(2, &release));
        return Check();
    };
    const std::string goodSha(64, 'a');
    for (const auto& [url, sha] : std::vector<std::pair<std::string, std::string>>{
             {server.Url("/files/a.deb"), "abc"},                 // digest too short
             {server.Url("/files/a.deb"), std::string(64, 'g')},  // not hex
             {"http://192.0.2.7/files/a.deb", goodSha},           // plain http off this machine
             {server.Url("/files/"), goodSha},                    // no file name
             {server.Url("/files/..%2f.bashrc"), goodSha},        // not a plain file name
             {"ftp://127.0.0.1/a.deb", goodSha}}) {
        const CheckResult result = offer(url, sha);
        EXPECT_EQ(result.outcome, CheckOutcome::UpdateAvailable) << url;
        EXPECT_FALSE(result.latest.has_value()) << url;
        EXPECT_FALSE(result.releaseProblem.empty()) << url;
    }
}

TEST_F(VersionCheckTest, HttpErrorsMeanTheCheckCouldNotBeMade) {
    for (int status : {404, 500, 204}) {
        Reply(status, test::ServiceReply(3));
        const CheckResult result = Check();
        EXPECT_EQ(result.outcome, CheckOutcome::Failed) << status;
        EXPECT_EQ(result.httpStatus, status);
        EXPECT_NE(result.reason.find(std::to_string(status)), std::string::npos) << result.reason;
    }
}

TEST_F(VersionCheckTest, MalformedRepliesMeanTheCheckCouldNotBeMade) {
    for (const char* body :
         {"", "not json", "[1,2,3]", "{\"code\":200,\"data\":{\"total\":1}",
          R"({"code":"200","data":{"total":1}})", R"({"code":500,"data":{"total":1}})", R"({"code":200})",
          R"({"code":200,"data":[1]})", R"({"code":200,"data":{"total":"1"}})",
          R"({"code":200,"data":{"total":1.5}})", R"({"code":200,"data":{}})",
          // Counts past the largest the reader holds, which would wrap to -1 and to a negative.
          R"({"code":200,"data":{"total":18446744073709551615}})",
          R"({"code":200,"data":{"total":9223372036854775808}})"}) {
        Reply(200, body);
        const CheckResult result = Check();
        EXPECT_EQ(result.outcome, CheckOutcome::Failed) << body;
        EXPECT_FALSE(result.reason.empty()) << body;
    }
}

TEST_F(VersionCheckTest, AReplyOverOneMebibyteIsRefusedAndOneOfExactlyThatSizeIsRead) {
    const std::string head = R"({"code":200,"data":{"total":0},"pad":")";
    const std::string tail = "\"}";
    const std::size_t cap = HttpLimits{}.maxBytes;
    ASSERT_EQ(cap, 1024u * 1024u);
    const std::string exact = head + std::string(cap - head.size() - tail.size(), 'x') + tail;
    Reply(200, exact);
    EXPECT_EQ(Check().outcome, CheckOutcome::NoUpdate);
    Reply(200, head + std::string(cap - head.size() - tail.size() + 1, 'x') + tail);
    const CheckResult over = Check();
    EXPECT_EQ(over.outcome, CheckOutcome::Failed);
    EXPECT_NE(over.reason.find("larger"), std::string::npos) << over.reason;
}

TEST_F(VersionCheckTest, AServerThatAcceptsAndNeverAnswersIsGivenUpAtTheTimeOut) {
    server.Route(kPath, HttpResponse::NeverAnswering());
    HttpLimits limits;
    limits.totalTimeoutMs = 800;
    const auto start = std::chrono::steady_clock::now();
    const CheckResult result = Check(limits);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, CheckOutcome::Failed);
    EXPECT_NE(result.reason.find("in time"), std::string::npos) << result.reason;
    EXPECT_GE(elapsed, std::chrono::milliseconds(700));
    EXPECT_LT(elapsed, std::chrono::seconds(5) * zor::test::kSlowdown);
    EXPECT_EQ(server.RequestCount(kPath), 1);
}

TEST_F(VersionCheckTest, ACancelEndsAWaitingCheck) {
    server.Route(kPath, HttpResponse::NeverAnswering());
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const CheckResult result = CheckForUpdate(Info(), {}, &cancel);
    canceller.join();
    EXPECT_EQ(result.outcome, CheckOutcome::Failed);
    EXPECT_EQ(result.reason, "cancelled");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(VersionCheckTest, ARedirectIsNotFollowed) {
    server.Route("/elsewhere", HttpResponse::Reply(200, test::ServiceReply(5)));
    server.Route(kPath, HttpResponse::Redirect(302, server.Url("/elsewhere")));
    const CheckResult result = Check();
    EXPECT_EQ(result.outcome, CheckOutcome::Failed);
    EXPECT_EQ(result.httpStatus, 302);
    EXPECT_NE(result.reason.find("redirect"), std::string::npos) << result.reason;
    EXPECT_EQ(server.RequestCount("/elsewhere"), 0);
}

TEST(AddressRefusalTest, PlainHttpOnlyOnTheLoopbackAndNoOtherSchemes) {
    for (const char* allowed :
         {"http://127.0.0.1:8080/a", "http://127.45.0.9/a", "http://localhost:1/x", "http://[::1]:8/x",
          "https://update.zormouse.example/api/", "HTTPS://Example.org"}) {
        EXPECT_EQ(AddressRefusal(allowed), "") << allowed;
    }
    for (const char* refused :
         {"http://192.0.2.1/api/", "http://10.0.0.1/", "http://128.0.0.1/", "http://127.0.0.1.evil.example/",
          "http://localhost.evil.example/", "ftp://127.0.0.1/a", "file:///etc/passwd", "gopher://127.0.0.1/",
          "no address", ""}) {
        EXPECT_NE(AddressRefusal(refused), "") << refused;
    }
}

TEST(AddressRefusalTest, ACheckAgainstARefusedAddressFailsBeforeAnyConnection) {
    const auto start = std::chrono::steady_clock::now();
    const CheckResult result = CheckForUpdate(VersionInfo{"zormouse", "0.1.0", "http://192.0.2.1/api/"});
    EXPECT_EQ(result.outcome, CheckOutcome::Failed);
    EXPECT_NE(result.reason.find("loopback"), std::string::npos) << result.reason;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace zor::update
