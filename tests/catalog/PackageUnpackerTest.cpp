#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "CatalogTestKit.h"
#include "catalog/PackageUnpacker.h"
#include "common/AtomicFile.h"

using namespace zor;
using namespace zor::test;

namespace {

constexpr std::uint32_t kUnixFile = 0100644u << 16;
constexpr std::uint32_t kUnixSymlink = 0120777u << 16;

class PackageUnpackerTest : public ::testing::Test {
protected:
    PackageUnpackerTest() { std::filesystem::create_directories(m_icons); }

    UnpackResult unpack(const std::filesystem::path& package, const UnpackLimits& limits = {}) {
        std::ostringstream log;
        auto result = UnpackPackage(package, m_icons, &log, limits);
        m_log = log.str();
        return result;
    }
    UnpackResult unpackRaw(const std::vector<RawZipItem>& items, const UnpackLimits& limits = {}) {
        WriteFile(m_root / "pkg.zip", BuildRawZip(items));
        return unpack(m_root / "pkg.zip", limits);
    }

    TempDir m_root;
    std::filesystem::path m_icons = m_root / "res/Home/Icons";
    std::string m_log;
};

TEST_F(PackageUnpackerTest, PackageFromZipToolIsUnpackedWithItsFolders) {
    const auto staging = m_root / "staging";
    WriteFile(staging / "Ndevice.json", R"({"NDevice":[]})");
    WriteFile(staging / "MouseA_normal.svg", "<svg/>");
    WriteFile(staging / "skins/dark/tile.svg", "<svg id='dark'/>");
    std::filesystem::create_directories(staging / "empty");
    ASSERT_TRUE(ZipFolder(staging, m_root / "pkg.zip"));

    DebugCapture debug;
    const auto result = unpack(m_root / "pkg.zip");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(m_log, "");
    EXPECT_TRUE(debug.contains("Start Unzip..."));
    EXPECT_EQ(ListFiles(m_icons),
              (std::vector<std::string>{"MouseA_normal.svg", "Ndevice.json", "skins/dark/tile.svg"}));
    EXPECT_EQ(ReadFile(m_icons / "skins/dark/tile.svg"), "<svg id='dark'/>");
    EXPECT_TRUE(std::filesystem::is_directory(m_icons / "empty"));
}

TEST_F(PackageUnpackerTest, MissingOrBrokenPackageIsLoggedAndKeepsEarlierFiles) {
    WriteFile(m_icons / "Ndevice.json", "earlier list");
    {
        DebugCapture debug;
        EXPECT_EQ(unpack(m_root / "absent.zip").code, kUnzipCannotOpen);
        EXPECT_EQ(m_log, "[1] ERROR:65536\n");
        EXPECT_TRUE(debug.contains("Unzip failed!err=65536"));
    }
    WriteFile(m_root / "garbage.zip", "this is not a zip package at all, just text");
    EXPECT_EQ(unpack(m_root / "garbage.zip").code, kUnzipNotZip);
    EXPECT_EQ(m_log, "[1] ERROR:524288\n");
    EXPECT_EQ(ReadFile(m_icons / "Ndevice.json"), "earlier list");
}

TEST_F(PackageUnpackerTest, DamagedItemIsRefusedAndTheEarlierFileKept) {
    WriteFile(m_icons / "Ndevice.json", "earlier list");
    const std::string good(4000, 'g');
    const std::string list = R"({"NDevice":[{"DevName":"new"}]})" + std::string(3000, ' ');
    std::string zip = BuildRawZip({{"a.txt", good}, {"Ndevice.json", list}});
    const auto at = zip.find("NDevice");
    ASSERT_NE(at, std::string::npos);
    zip[at] = 'X';  // the stored data no longer matches its CRC
    WriteFile(m_root / "pkg.zip", zip);

    const auto result = unpack(m_root / "pkg.zip");
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(m_log, "[2.2] ERROR:zrt:-105 Ndevice.json\n");
    EXPECT_EQ(ReadFile(m_icons / "Ndevice.json"), "earlier list");
    EXPECT_EQ(ReadFile(m_icons / "a.txt"), good);
}

TEST_F(PackageUnpackerTest, ItemsThatWouldLeaveTheFolderAreRefused) {
    const auto outside = m_root / "outside";
    std::filesystem::create_directories(outside);
    const std::string absolute = (outside / "abs.txt").string();
    const auto result = unpackRaw({
        {"../../evil.txt", "x"},
        {"a/../../../evil2.txt", "x"},
        {"..\\..\\evil3.txt", "x"},
        {absolute, "x"},
        {"C:/evil4.txt", "x"},
        {"link", "../../outside", false, kUnixSymlink},
        {"good.txt", "fine", false, kUnixFile},
    });
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(result.failed, 6);
    EXPECT_EQ(ListFiles(m_root / "res"), (std::vector<std::string>{"Home/Icons/good.txt"}));
    EXPECT_TRUE(ListFiles(outside).empty());
    EXPECT_FALSE(FileExists(m_root / "evil.txt"));
    EXPECT_EQ(m_log,
              "[2.2] ERROR:zrt:256 ../../evil.txt\n"
              "[2.2] ERROR:zrt:256 a/../../../evil2.txt\n"
              "[2.2] ERROR:zrt:256 ..\\..\\evil3.txt\n"
              "[2.2] ERROR:zrt:256 " +
                  absolute +
                  "\n"
                  "[2.2] ERROR:zrt:256 C:/evil4.txt\n"
                  "[2.2] ERROR:zrt:257 link\n");
}

TEST_F(PackageUnpackerTest, SymlinkMadeByZipToolIsRefused) {
    const auto staging = m_root / "staging";
    std::filesystem::create_directories(staging);
    std::filesystem::create_directories(m_root / "secret");
    WriteFile(m_root / "secret/key.txt", "secret");
    std::filesystem::create_symlink(m_root / "secret", staging / "secret");
    WriteFile(staging / "Ndevice.json", "{}");
    ASSERT_TRUE(ZipFolder(staging, m_root / "pkg.zip", "-y"));

    unpack(m_root / "pkg.zip");
    EXPECT_EQ(m_log, "[2.2] ERROR:zrt:257 secret\n");
    EXPECT_FALSE(FileExists(m_icons / "secret"));
    EXPECT_TRUE(FileExists(m_icons / "Ndevice.json"));
}

TEST_F(PackageUnpackerTest, ExistingSymlinkInTheFolderIsNotFollowed) {
    const auto outside = m_root / "outside";
    std::filesystem::create_directories(outside);
    std::filesystem::create_symlink(outside, m_icons / "sub");
    const auto result = unpackRaw({{"sub/planted.txt", "x"}, {"sub/deeper/planted.txt", "x"}});
    EXPECT_EQ(result.failed, 2);
    EXPECT_TRUE(ListFiles(outside).empty());
    EXPECT_NE(m_log.find("[2.1]ERROR:GetLastError:"), std::string::npos) << m_log;
}

TEST_F(PackageUnpackerTest, OversizedItemsAreRefused) {
    const std::string zeros(kMaxItemBytes + 1, '\0');  // deflates to a few kilobytes
    auto result = unpackRaw({{"big.bin", zeros, true}, {"small.txt", "ok", true}});
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(m_log, "[2.2] ERROR:zrt:258 big.bin\n");
    EXPECT_FALSE(FileExists(m_icons / "big.bin"));

    // The header claims a small item; the data inflates past it and is not written either.
    result = unpackRaw({{"liar.bin", zeros, true, 0, 1024}});
    EXPECT_EQ(result.written, 0);
    EXPECT_EQ(result.failed, 1);
    EXPECT_FALSE(FileExists(m_icons / "liar.bin"));
}

TEST_F(PackageUnpackerTest, CapsOnItemsAndOnTheWholePackage) {
    const UnpackLimits limits{100, 250, 5};
    const std::string full(100, 'f');
    auto result =
        unpackRaw({{"a", full, true}, {"b", full}, {"c", full, true}, {"d", std::string(60, 'd')}}, limits);
    EXPECT_EQ(result.written, 2) << "items of exactly the item cap are fine";
    EXPECT_EQ(ReadFile(m_icons / "b"), full);
    EXPECT_EQ(m_log, "[2.2] ERROR:zrt:258 c\n[2.2] ERROR:zrt:258 d\n")
        << "the package cap counts what was written before";

    result = unpackRaw({{"1", "x"}, {"2", "x"}, {"3", "x"}, {"4", "x"}, {"5", "x"}, {"6", "x"}}, limits);
    EXPECT_EQ(result.written, 5);
    EXPECT_EQ(m_log, "[3] ERROR\n");
    EXPECT_FALSE(FileExists(m_icons / "6"));
}

TEST_F(PackageUnpackerTest, WriteFailureIsLoggedAndLeavesNoTornFile) {
    WriteFile(m_icons / "Ndevice.json", "earlier list");
    AtomicFile::setWriteHookForTest([](std::size_t written, std::size_t wanted) {
        return written >= 4 ? 0 : std::min<std::size_t>(wanted, 4 - written);
    });
    const auto result = unpackRaw({{"Ndevice.json", R"({"NDevice":[]})"}});
    AtomicFile::setWriteHookForTest(nullptr);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(m_log.rfind("[2.1]ERROR:GetLastError:", 0), 0u) << m_log;
    EXPECT_EQ(ReadFile(m_icons / "Ndevice.json"), "earlier list");
    EXPECT_EQ(ListFiles(m_icons), std::vector<std::string>{"Ndevice.json"});
}

}  // namespace
