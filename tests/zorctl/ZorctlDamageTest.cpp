// zorctl on damaged or hostile files: macro reset, deeply nested imports, values a model does
// not offer, FIFOs and devices in place of files, damaged model descriptions and the temporary
// files of interrupted saves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "ZorctlRun.h"
#include "common/IniFile.h"
#include "common/InstanceLock.h"
#include "macro/MacroStore.h"

using namespace zor;
using zor::test::ReadFile;
using zor::test::WriteFile;
using zor::test::ZorctlHome;

TEST(ZorctlDamage, MacroResetFailsAndChangesNothingWhenTheFactoryFileCannotBeRead) {
    ZorctlHome home;
    const auto live = home / std::string(kMacroLivePath);
    const auto factory = home / std::string(kMacroFactoryPath);
    const std::string before = ReadFile(live);
    std::filesystem::remove(factory);
    std::filesystem::create_directories(factory);
    const auto run = home.Run("macro reset");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot read the factory macro file"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(live), before);
    EXPECT_NE(home.Run("macro list").out, "");
}

TEST(ZorctlDamage, MacroResetRestoresTheFactoryLibraryOverOneTooLargeToRead) {
    ZorctlHome home;
    const auto live = home / std::string(kMacroLivePath);
    std::filesystem::resize_file(live, kMaxLibraryBytes + 1);  // sparse: no disk space is used
    const auto list = home.Run("macro list");
    EXPECT_EQ(list.status, 1);
    // The cause is the size, not that the file could not be read.
    EXPECT_NE(list.err.find("larger than the 256 MiB"), std::string::npos) << list.err;
    const auto run = home.Run("macro reset");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("macroConfig.json.bad"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(live), ReadFile(home / std::string(kMacroFactoryPath)));
    EXPECT_EQ(home.Run("macro list").status, 0);
    auto bad = live;
    bad += ".bad";
    EXPECT_EQ(std::filesystem::file_size(bad), kMaxLibraryBytes + 1);
}

TEST(ZorctlDamage, ASettingsFileTooLargeToReadIsNamedAsTheCauseAndLeftAsItIs) {
    ZorctlHome home;
    const auto setIni = home / "res" / "Set.ini";
    std::filesystem::resize_file(setIni, IniFile::kMaxFileBytes + 1);  // sparse
    const auto run = home.Run("--virtual set power SleepTime=7");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("larger than the 16 MiB"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::file_size(setIni), IniFile::kMaxFileBytes + 1);
}

TEST(ZorctlDamage, DeeplyNestedImportsAreRefusedAndEverythingKeepsWorking) {
    ZorctlHome home;
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    WriteFile(home.work() / "deep.Macro.Config", "{\"GrpName\":[65],\"GrpGuid\":\"g\",\"x\":" + deep + "}");
    auto run = home.Run("macro import deep.Macro.Config");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a JSON file"), std::string::npos) << run.err;

    ASSERT_EQ(home.Run("config export ok.Mouse.Config").status, 0);
    std::string config = ReadFile(home.work() / "ok.Mouse.Config");
    config.insert(config.find('{') + 1, "\"x\":" + deep + ",");
    WriteFile(home.work() / "deep.Mouse.Config", config);
    run = home.Run("config import deep.Mouse.Config");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(home.Run("config export again.Mouse.Config").status, 0);
    EXPECT_EQ(home.Run("macro list").status, 0);
}

TEST(ZorctlDamage, ConfigImportOutsideWhatTheModelOffersIsRefused) {
    ZorctlHome home;
    ASSERT_EQ(home.Run("config export ok.Mouse.Config").status, 0);
    const auto live = home / "res/MouseVarn/MouseA/Config/MouseConfig.json";
    const std::string before = ReadFile(live);
    auto doc = nlohmann::json::parse(ReadFile(home.work() / "ok.Mouse.Config"));
    doc["mouseconfig"]["mouseadv"][0]["ctrl_MouseAdv_Dpi0"][1] = 999999;
    WriteFile(home.work() / "dpi.Mouse.Config", doc.dump());
    const auto run = home.Run("config import dpi.Mouse.Config");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("DPI 999999"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(live), before);
    EXPECT_EQ(home.Run("config import ok.Mouse.Config").status, 0);
}

namespace {

int CountLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Puts a FIFO in the place of file (which is kept aside and put back when the guard ends).
class FifoInPlaceOf {
public:
    explicit FifoInPlaceOf(std::filesystem::path file) : m_file(std::move(file)) {
        m_kept = m_file;
        m_kept += ".kept";
        std::filesystem::rename(m_file, m_kept);
        EXPECT_EQ(::mkfifo(m_file.c_str(), 0600), 0);
    }
    ~FifoInPlaceOf() {
        std::filesystem::remove(m_file);
        std::filesystem::rename(m_kept, m_file);
    }

private:
    std::filesystem::path m_file;
    std::filesystem::path m_kept;
};

}  // namespace

TEST(ZorctlDamage, FifosAndDevicesAreNeitherReadAsDataNorReplaced) {
    ZorctlHome home;
    const auto fifo = home.work() / "out.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const char* command : {"config export out.fifo", "macro export 0 out.fifo"}) {
        const auto run = home.Run(command);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(CountLines(run.err), 1) << run.err;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
        EXPECT_TRUE(std::filesystem::is_fifo(fifo)) << command;
    }

    {
        const FifoInPlaceOf package(home / "res/Home/Icons/Ndevice.zip");
        std::filesystem::remove(home / "res/Home/Icons/Ndevice.json");  // no list of an earlier unpack
        auto run = home.Run("catalog");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("Ndevice.zip is not a regular file"), std::string::npos) << run.err;
        run = home.Run("devices");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("Ndevice.zip is not a regular file"), std::string::npos) << run.err;
        EXPECT_NE(home.Run("--virtual status").status, 137) << "status never returned";
    }
    {
        const FifoInPlaceOf list(home / "res/Home/Icons/ble.json");
        const auto run = home.Run("ble-names");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("ble.json is not a regular file"), std::string::npos) << run.err;
    }
    EXPECT_EQ(home.Run("catalog").status, 0);
    EXPECT_EQ(home.Run("ble-names").status, 0);
}

// zorctl makes zormouse's check of the description: an empty, cut or out-of-range file is
// refused with the reason, and a setting never writes into it.
TEST(ZorctlDamage, ADamagedDescriptionIsRefusedAndNeverWrittenInto) {
    ZorctlHome home;
    const auto description = home / "res/MouseVarn/MouseA/Config/DeviceFeature.ini";
    const std::string good = ReadFile(description);
    std::string outOfRange = good;
    outOfRange.replace(outOfRange.find("GEAR_MAX_VALUE=26000"), 20, "GEAR_MAX_VALUE=9223372036854775808");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "not a model description"},
        {good.substr(0, good.find("[KEYMAP]")), "no keys ([KEYMAP] KeyNum)"},
        {outOfRange, "[Chip4] GEAR_MAX_VALUE = 9223372036854775808 is out of range"},
    };
    for (const auto& [text, why] : cases) {
        WriteFile(description, text);
        auto run = home.Run("feature");
        EXPECT_EQ(run.status, 1) << why;
        EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
        run = home.Run("--virtual set rate --profile 0 500");
        EXPECT_EQ(run.status, 1) << why;
        EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(description), text) << why;
    }
    WriteFile(description, good);
    EXPECT_EQ(home.Run("--virtual set rate --profile 0 500").status, 0);
}

// The temporary files a killed save leaves are removed as zormouse's start removes them (old
// enough, in the folders the programs write), under its lock: never while it runs.
TEST(ZorctlDamage, TemporaryFilesOfInterruptedSavesAreRemovedUnlessTheProgramRuns) {
    ZorctlHome home;
    const auto runtime = home.work() / "runtime";
    std::filesystem::create_directories(runtime);
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    const std::string restore = previous ? previous : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    const std::vector<std::filesystem::path> stale = {
        home / "res/.Set.ini.tmp-a1B2c3", home / "res/MouseVarn/MouseA/Config/.MouseConfig.json.tmp-Qw3rTy"};
    const auto fresh = home / "res/.Set.ini.tmp-z9Y8x7";
    for (const auto& file : stale) {
        WriteFile(file, std::string(1000, '{'));
        std::filesystem::last_write_time(file, old);
    }
    WriteFile(fresh, "{");
    {
        InstanceLock program("ZorMouse");
        ASSERT_EQ(program.TryAcquire(), InstanceLock::State::Held);
        EXPECT_EQ(home.Run("macro list").status, 0);
        for (const auto& file : stale)
            EXPECT_TRUE(std::filesystem::exists(file)) << "removed while zormouse runs";
    }
    EXPECT_EQ(home.Run("macro list").status, 0);
    for (const auto& file : stale) EXPECT_FALSE(std::filesystem::exists(file)) << file;
    EXPECT_TRUE(std::filesystem::exists(fresh));
    if (restore.empty())
        ::unsetenv("XDG_RUNTIME_DIR");
    else
        ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

// One process at a time sends a mouse reports: a zorctl run while another process holds the
// mouse waits a moment for it, then refuses with one line naming the holder and sends nothing.
TEST(ZorctlDamage, AMouseAnotherProcessHoldsIsWaitedForThenRefusedNamingTheHolder) {
    ZorctlHome home, other;
    const auto runtime = home.work() / "runtime";
    std::filesystem::create_directories(runtime);
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    const std::string restore = previous ? previous : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    {
        InstanceLock program(VirtualMouseLockName(home.home()));
        ASSERT_EQ(program.TryAcquire(), InstanceLock::State::Held);
        program.SetHolder("zormouse (pid 4242)");
        for (const char* command : {"--virtual --trace status", "--virtual --trace get --profile 0"}) {
            const auto start = std::chrono::steady_clock::now();
            const auto run = home.Run(command);
            const auto waited = std::chrono::steady_clock::now() - start;
            EXPECT_EQ(run.status, 1) << command;
            // No trace line: not one report went to the mouse.
            EXPECT_EQ(
                run.err,
                "zorctl: the mouse is in use by zormouse (pid 4242); close it or let zorctl go through it\n");
            EXPECT_GE(waited, std::chrono::milliseconds(1500)) << command;
        }
        // The virtual mouse of another program folder is another mouse.
        EXPECT_EQ(other.Run("--virtual status").status, 0);
    }
    const auto freed = home.Run("--virtual status");
    EXPECT_EQ(freed.status, 0) << freed.err;
    if (restore.empty())
        ::unsetenv("XDG_RUNTIME_DIR");
    else
        ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}
