#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/AtomicFile.h"
#include "support/TempDir.h"

using namespace zor;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

namespace {

std::size_t CountEntries(const std::filesystem::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

struct HookReset {
    ~HookReset() { AtomicFile::setWriteHookForTest(nullptr); }
};

}  // namespace

TEST(AtomicFile, ReplacesWholeFileAndKeepsPermissions) {
    TempDir dir;
    WriteFile(dir / "MouseConfig.json", "old contents that are longer");
    ::chmod((dir / "MouseConfig.json").c_str(), 0600);
    std::string error;
    ASSERT_TRUE(WriteFileAtomic(dir / "MouseConfig.json", "new", &error)) << error;
    EXPECT_EQ(ReadFile(dir / "MouseConfig.json"), "new");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "MouseConfig.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(CountEntries(dir.path()), 1u) << "no temporary file is left behind";
}

TEST(AtomicFile, WriteThatFailsHalfwayKeepsTheOldFile) {
    TempDir dir;
    HookReset reset;
    WriteFile(dir / "macroConfig.json", "the user's macros");
    // The disk fills up after 10 bytes.
    AtomicFile::setWriteHookForTest([](std::size_t written, std::size_t wanted) {
        return written >= 10 ? 0 : std::min<std::size_t>(wanted, 10 - written);
    });
    AtomicFile file(dir / "macroConfig.json");
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.write("0123456"));
    EXPECT_FALSE(file.write("789abcdef"));
    EXPECT_FALSE(file.commit()) << "a failed write must not be committed";
    EXPECT_FALSE(file.error().empty());
    EXPECT_EQ(ReadFile(dir / "macroConfig.json"), "the user's macros");
}

TEST(AtomicFile, AbandonedWriteRemovesTemporaryFile) {
    TempDir dir;
    WriteFile(dir / "a.json", "keep");
    {
        AtomicFile file(dir / "a.json");
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("partial"));
        EXPECT_TRUE(std::filesystem::exists(file.tempPath()));
    }
    EXPECT_EQ(ReadFile(dir / "a.json"), "keep");
    EXPECT_EQ(CountEntries(dir.path()), 1u);
}

TEST(AtomicFile, MissingFolderIsAnErrorNotACrash) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomic(dir / "no" / "such" / "file.json", "x", &error));
    EXPECT_NE(error.find("file.json"), std::string::npos);
}

TEST(AtomicFile, ReadFileBytesRefusesOversizedAndMissing) {
    TempDir dir;
    WriteFile(dir / "big", std::string(100, 'x'));
    std::string out = "unchanged";
    EXPECT_FALSE(ReadFileBytes(dir / "big", out, 99));
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(ReadFileBytes(dir / "big", out, 100));
    EXPECT_EQ(out.size(), 100u);
    EXPECT_FALSE(ReadFileBytes(dir / "missing", out));
    EXPECT_FALSE(ReadFileBytes(dir.path(), out)) << "a folder is not a file";
}

TEST(AtomicFile, DamagedCopiesFormABoundedSeriesNewestFirst) {
    TempDir dir;
    const auto file = dir / "macroConfig.json";
    EXPECT_EQ(BadCopyPath(file), dir / "macroConfig.json.bad");
    EXPECT_EQ(BadCopyPath(file, 2), dir / "macroConfig.json.bad.2");
    ASSERT_TRUE(KeepBadCopy(file, "first"));
    ASSERT_TRUE(KeepBadCopy(file, "second"));
    EXPECT_EQ(ReadFile(BadCopyPath(file)), "second");
    EXPECT_EQ(ReadFile(BadCopyPath(file, 1)), "first");
    for (int i = 3; i <= 9; ++i) ASSERT_TRUE(KeepBadCopy(file, "copy " + std::to_string(i)));
    // Five copies are kept: the newest five.
    EXPECT_EQ(CountEntries(dir.path()), static_cast<std::size_t>(kKeptBadCopies));
    EXPECT_EQ(ReadFile(BadCopyPath(file)), "copy 9");
    EXPECT_EQ(ReadFile(BadCopyPath(file, kKeptBadCopies - 1)), "copy 5");

    // A file that cannot be copied is moved aside whole, into the same series.
    WriteFile(file, "too large to read");
    ASSERT_TRUE(MoveAsideAsBad(file));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(ReadFile(BadCopyPath(file)), "too large to read");
    EXPECT_EQ(ReadFile(BadCopyPath(file, 1)), "copy 9");
    EXPECT_FALSE(MoveAsideAsBad(dir / "missing.json"));
}
