#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/AtomicFile.h"
#include "common/DataFile.h"
#include "common/FileStamp.h"
#include "common/IniFile.h"
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

// A FIFO would block the reader forever and a device never ends; neither is opened as data, and
// what is refused says why. Writes replace only a regular file (or a link to one) or make a new
// name: never a FIFO or a device node in the target's place.
TEST(AtomicFile, OnlyRegularFilesAreReadAsDataOrReplaced) {
    TempDir dir;
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(dir / "small", "abc");
    WriteFile(dir / "big", "");
    std::filesystem::resize_file(dir / "big", 5000);  // sparse
    std::string out = "unchanged";
    EXPECT_EQ(ReadDataFile(fifo, out, 1000), ReadFault::NotRegular);
    EXPECT_EQ(ReadDataFile("/dev/zero", out, 1000), ReadFault::NotRegular);
    EXPECT_EQ(ReadDataFile(dir.path(), out, 1000), ReadFault::NotRegular);
    EXPECT_EQ(ReadDataFile(dir / "none", out, 1000), ReadFault::Missing);
    EXPECT_EQ(ReadDataFile(dir / "big", out, 4999), ReadFault::TooLarge);
    EXPECT_EQ(CheckDataFile(fifo, 1000), ReadFault::NotRegular);
    EXPECT_FALSE(ReadFileBytes(fifo, out));
    EXPECT_EQ(out, "unchanged");
    EXPECT_EQ(ReadDataFile(dir / "small", out, 3), ReadFault::None);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(DescribeReadFault(fifo, ReadFault::NotRegular, 1), fifo.string() + " is not a regular file");

    std::filesystem::create_symlink("/dev/null", dir / "null-link");
    std::filesystem::create_symlink(dir / "small", dir / "small-link");
    for (const auto& target : {fifo, dir / "null-link"}) {
        std::string error;
        EXPECT_FALSE(WriteFileAtomic(target, "data", &error)) << target;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(fifo)));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "null-link"));
    EXPECT_TRUE(WriteFileAtomic(dir / "small-link", "new"));
    EXPECT_TRUE(WriteFileAtomic(dir / "fresh", "new"));
    EXPECT_EQ(ReadFile(dir / "fresh"), "new");
    EXPECT_EQ(CountEntries(dir.path()), 6u) << "no temporary file is left behind";
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

// Another program replaces the file (as an editor does: a new file renamed over it) while this
// one is in the middle of its save, after it read the file.
TEST(AtomicFile, ASaveNeverReplacesAFileChangedSinceItWasRead) {
    TempDir dir;
    HookReset reset;
    const std::filesystem::path file = dir / "Set.ini";
    auto replaceFromOutside = [&](std::string_view bytes) {
        WriteFile(dir / "editor.tmp", bytes);
        std::filesystem::rename(dir / "editor.tmp", file);
    };
    int outsideWrites = 0;
    auto outsideWriteDuringSave = [&](std::string bytes) {
        AtomicFile::setWriteHookForTest([&, bytes](std::size_t written, std::size_t wanted) {
            if (written == 0 && outsideWrites++ == 0) replaceFromOutside(bytes);
            return wanted;
        });
    };

    // A stamp of what was read: the same size and a time within the same tick still tell the
    // replaced file apart; the refused save leaves the other program's file and no temporary.
    WriteFile(file, "[Set]\nA=1\n");
    const FileStamp read = StampOf(file);
    replaceFromOutside("[Set]\nA=2\n");
    FileStamp written;
    std::string error;
    EXPECT_EQ(WriteFileIfUnchanged(file, "[Set]\nA=3\n", read, &written, &error), SaveOutcome::Changed);
    EXPECT_EQ(error, file.string() + " changed on disk since it was read");
    EXPECT_EQ(ReadFile(file), "[Set]\nA=2\n");
    EXPECT_EQ(CountEntries(dir.path()), 1u);
    // The stamp of a write is the stamp of the file it left; no stamp, no check; a file that is
    // gone has nothing to lose.
    ASSERT_EQ(WriteFileIfUnchanged(file, "[Set]\nA=4\n", StampOf(file), &written), SaveOutcome::Written);
    EXPECT_EQ(written, StampOf(file));
    EXPECT_FALSE(WouldReplaceNewer(file, written));
    std::filesystem::remove(file);
    EXPECT_FALSE(WouldReplaceNewer(file, written));
    EXPECT_EQ(WriteFileIfUnchanged(file, "[Set]\nA=5\n", written, nullptr), SaveOutcome::Written);
    EXPECT_TRUE(WouldReplaceNewer(file, written));
    EXPECT_EQ(WriteFileIfUnchanged(file, "[Set]\nA=5\n", FileStamp{}, nullptr), SaveOutcome::Written);

    // An ini write is of single keys: when the file changes between its read and its rename, it
    // reads the new file and makes its change there, so both programs' keys stay.
    outsideWriteDuringSave("[Set]\nA=5\nOther=7\n");
    ASSERT_TRUE(IniFile(file).WriteString("Set", "Mine", "9"));
    EXPECT_EQ(outsideWrites, 2) << "the write was made twice: before and after the outside change";
    EXPECT_EQ(IniFile(file).GetString("Set", "Other"), "7");
    EXPECT_EQ(IniFile(file).GetString("Set", "Mine"), "9");
    outsideWrites = 0;
    outsideWriteDuringSave("[Set]\nA=5\nOther=7\nMine=9\nGone=1\n");
    ASSERT_TRUE(IniFile(file).DeleteKey("Set", "Mine"));
    EXPECT_EQ(ReadFile(file), "[Set]\nA=5\nOther=7\nGone=1\n");
}
