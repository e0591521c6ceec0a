// Downloads of a release: the file appears only when it arrived whole and its SHA-256 is the
// published one; a mismatch, an HTTP error, a cancel, a stall or the size cap leave nothing
// behind (no temporary file, no target) and never replace a file that was already there.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <random>

#include "LocalHttpServer.h"
#include "support/TempDir.h"
#include "update/Http.h"
#include "update/Sha256.h"

namespace zor::update {
namespace {

using test::HttpResponse;

std::string RandomBytes(std::size_t size) {
    std::mt19937 generator(42);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

class DownloadTest : public ::testing::Test {
protected:
    void Serve(const std::string& path, const std::string& body, int status = 200) {
        HttpResponse response;
        response.status = status;
        response.body = body;
        response.contentType = "application/octet-stream";
        server.Route(path, response);
    }
    DownloadRequest Request(const std::string& path, const std::string& sha) {
        DownloadRequest request;
        request.url = server.Url(path);
        request.target = folder / "zormouse_9.9.9_amd64.deb";
        request.sha256 = sha;
        return request;
    }
    std::vector<std::string> FilesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::LocalHttpServer server;
    test::TempDir dir;
    std::filesystem::path folder = dir.path();
    const std::string bytes = RandomBytes(600 * 1024);
};

TEST_F(DownloadTest, AFileWithThePublishedDigestIsKeptAndProgressReachesItsSize) {
    Serve("/files/a.deb", bytes);
    DownloadRequest request = Request("/files/a.deb", Sha256Hex(bytes));
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    request.progress = [&](std::uint64_t done, std::uint64_t total) {
        std::lock_guard lock(mutex);
        progress.emplace_back(done, total);
    };
    const DownloadResult result = DownloadFile(request);
    ASSERT_EQ(result.status, DownloadStatus::Done) << result.error;
    EXPECT_EQ(result.bytes, bytes.size());
    EXPECT_EQ(test::ReadFile(request.target), bytes);
    EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"zormouse_9.9.9_amd64.deb"});
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(std::uint64_t(bytes.size()), std::uint64_t(bytes.size())));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end(),
                               [](const auto& a, const auto& b) { return a.first < b.first; }));
}

TEST_F(DownloadTest, ADigestInCapitalsIsTheSameDigest) {
    Serve("/files/a.deb", bytes);
    std::string upper = Sha256Hex(bytes);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_EQ(DownloadFile(Request("/files/a.deb", upper)).status, DownloadStatus::Done);
}

TEST_F(DownloadTest, AMismatchingDigestDeletesTheDownloadAndKeepsTheOldFile) {
    Serve("/files/a.deb", bytes);
    DownloadRequest request = Request("/files/a.deb", Sha256Hex("something else"));
    test::WriteFile(request.target, "the release downloaded before");
    const DownloadResult result = DownloadFile(request);
    EXPECT_EQ(result.status, DownloadStatus::ChecksumMismatch);
    EXPECT_EQ(result.sha256, Sha256Hex(bytes));
    EXPECT_NE(result.error.find(Sha256Hex("something else")), std::string::npos) << result.error;
    EXPECT_EQ(test::ReadFile(request.target), "the release downloaded before");
    EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"zormouse_9.9.9_amd64.deb"});
}

TEST_F(DownloadTest, AnHttpErrorOrAnOversizedFileLeavesNothing) {
    Serve("/files/gone.deb", "<html>not here</html>", 404);
    const DownloadResult missing = DownloadFile(Request("/files/gone.deb", ""));
    EXPECT_EQ(missing.status, DownloadStatus::Failed);
    EXPECT_NE(missing.error.find("404"), std::string::npos) << missing.error;

    Serve("/files/a.deb", bytes);
    DownloadRequest capped = Request("/files/a.deb", Sha256Hex(bytes));
    capped.maxBytes = 1000;
    const DownloadResult large = DownloadFile(capped);
    EXPECT_EQ(large.status, DownloadStatus::Failed);
    EXPECT_NE(large.error.find("larger"), std::string::npos) << large.error;

    DownloadRequest refused = Request("/files/a.deb", "");
    refused.url = "http://192.0.2.1/files/a.deb";
    EXPECT_EQ(DownloadFile(refused).status, DownloadStatus::Failed);
    EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(DownloadTest, ACancelInTheMiddleDeletesThePartialFile) {
    server.Route("/files/a.deb", HttpResponse::Stalling(bytes, 4096));
    DownloadRequest request = Request("/files/a.deb", Sha256Hex(bytes));
    std::atomic<bool> cancel{false};
    std::atomic<std::uint64_t> seen{0};
    request.cancel = &cancel;
    request.progress = [&](std::uint64_t done, std::uint64_t total) {
        seen = done;
        // The user presses Cancel once part of the file is there.
        if (done >= 4096 && total == bytes.size()) cancel = true;
    };
    const DownloadResult result = DownloadFile(request);
    EXPECT_EQ(result.status, DownloadStatus::Cancelled) << result.error;
    EXPECT_EQ(seen.load(), 4096u);
    EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(DownloadTest, ADownloadThatStallsIsGivenUp) {
    server.Route("/files/a.deb", HttpResponse::Stalling(bytes, 100));
    DownloadRequest request = Request("/files/a.deb", Sha256Hex(bytes));
    request.stallSeconds = 1;
    const DownloadResult result = DownloadFile(request);
    EXPECT_EQ(result.status, DownloadStatus::Failed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(FilesInFolder().empty());
}

TEST(Sha256Test, KnownDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256 pieces;
    pieces.Add("a");
    pieces.Add("bc");
    EXPECT_EQ(pieces.FinishHex(), Sha256Hex("abc"));
    test::TempDir dir;
    test::WriteFile(dir / "f", "abc");
    EXPECT_EQ(Sha256OfFile(dir / "f"), Sha256Hex("abc"));
    EXPECT_EQ(Sha256OfFile(dir / "missing"), "");
}

}  // namespace
}  // namespace zor::update
