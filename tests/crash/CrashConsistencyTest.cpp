// Crash consistency: zorctl (against the virtual mouse), the macro library's writer thread and
// the first start that fills the user's folder are killed with SIGKILL at random points while
// they save, a few hundred times in all. After every kill each file must hold its old bytes or
// one complete new version, the temporary files left must lie where the next start cleans them,
// and that next start must succeed. ZOR_CRASH_SEED repeats a run; ZOR_CRASH_RUNS sets the kills
// of each case for longer runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "CrashHarness.h"
#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "common/ProgramFolder.h"
#include "common/ProgramPaths.h"
#include "macro/MacroStore.h"
#include "support/TempDir.h"

using namespace zor;
using namespace zor::crash;
namespace fs = std::filesystem;
using zor::test::BuildDir;
using zor::test::ReadFile;
using zor::test::TempDir;
using zor::test::WriteFile;

namespace {

struct Tally {
    int kills = 0;
    int insideSave = 0;  // kills that came while a temporary file was still being written
    int torn = 0;
    int unverifiable = 0;
    int nextStarts = 0;
};

void Print(const std::string& name, const Tally& t) {
    std::printf(
        "crash[%s]: seed %llu, %d kills (%d inside a save), %d torn files, %d unverifiable, %d next starts\n",
        name.c_str(), static_cast<unsigned long long>(CrashSeed()), t.kills, t.insideSave, t.torn,
        t.unverifiable, t.nextStarts);
    std::fflush(stdout);
}

std::mt19937_64 RngFor(const std::string& name) {
    return std::mt19937_64(CrashSeed() ^ std::hash<std::string>{}(name));
}

// The files of expected that have is missing or holds other bytes of (the program may add files
// of its own).
std::string Missing(const Snapshot& have, const Snapshot& expected) {
    Snapshot part;
    for (const auto& [path, bytes] : have)
        if (expected.count(path)) part[path] = bytes;
    return Differences(part, expected);
}

std::set<fs::path> FoldersOf(const std::vector<fs::path>& folders) {
    return {folders.begin(), folders.end()};
}

// What a full run looked like: when its saves began, how long the longest took, how long it ran.
struct Shape {
    std::vector<long> savesUs;
    long longestUs = 200;
    long durationUs = 0;
};

// The shape of a full run, cut at windowUs: a command whose last saves follow a long transfer
// to the mouse (a full push takes seconds) is killed within its first saves only.
Shape ShapeOf(const RunReport& run, long windowUs = 0) {
    Shape shape;
    for (long born : run.tempBornUs)
        if (windowUs <= 0 || born <= windowUs) shape.savesUs.push_back(born);
    shape.longestUs = std::max(run.longestTempUs, 200L);
    shape.durationUs = windowUs > 0 ? std::min(run.durationUs, windowUs) : run.durationUs;
    return shape;
}

// Three kills in four come just after one of the saves began (within twice the life of the
// longest save), the rest anywhere in the run.
Kill ChooseKill(std::mt19937_64& rng, const Shape& shape) {
    Kill kill;
    if (!shape.savesUs.empty() && rng() % 4 != 0) {
        kill.atSave = 1 + static_cast<int>(rng() % shape.savesUs.size());
        kill.delayUs = static_cast<long>(rng() % static_cast<unsigned long>(2 * shape.longestUs + 1));
    } else {
        // Within the first nine tenths: a kill after the end kills nothing.
        kill.delayUs = static_cast<long>(rng() % static_cast<unsigned long>(shape.durationUs * 9 / 10 + 1));
    }
    // A run that saves less than the full one did is still cut within its window.
    kill.latestUs = shape.durationUs + 2 * shape.longestUs;
    return kill;
}

// A copy of the program folder for zorctl, watched while zorctl runs in it.
class ZorctlCrash {
public:
    ZorctlCrash()
        : m_home(m_dir / "home"),
          m_work(m_dir / "work"),
          m_watcher((fs::create_directories(m_work), CopyRes()), m_dir / "capture") {}

    const fs::path& home() const { return m_home; }
    const fs::path& work() const { return m_work; }
    fs::path Config() const { return m_home / "res/MouseVarn/MouseA/Config/MouseConfig.json"; }
    fs::path Description() const { return m_home / "res/MouseVarn/MouseA/Config/DeviceFeature.ini"; }

    std::vector<std::string> Argv(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{ZORCTL_PATH, "--home", m_home.string(), "--virtual"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    RunReport RunToEnd(const std::vector<std::string>& args) {
        m_watcher.Reset();
        return m_watcher.Run(Argv(args));
    }

    // Runs each variant once to its end (they must work), then kills `runs` runs, the variants
    // in turn; each eighth run is a next start (zorctl get) left to finish on what the kills left.
    // invariant, when given, checks what a single file cannot show: values written together
    // (it returns a problem, or nothing).
    void Crash(const std::string& name, const std::vector<std::vector<std::string>>& variants, int runs,
               long windowUs = 0, const std::function<void()>& beforeEach = {},
               const std::function<std::string()>& invariant = {}) {
        std::mt19937_64 rng = RngFor(name);
        const std::set<fs::path> clean = FoldersOf(WritableFolders(m_home));
        std::vector<Shape> shapes;
        for (const auto& args : variants) {
            if (beforeEach) beforeEach();
            const Snapshot before = TakeSnapshot(m_home / "res");
            // A command whose saves all come early is stopped at the end of its window.
            m_watcher.Reset();
            const Kill windowEnd{0, windowUs};
            const RunReport full = m_watcher.Run(Argv(args), {}, windowUs > 0 ? &windowEnd : nullptr);
            if (!full.killed) {
                ASSERT_EQ(full.exitStatus, 0) << name << ": " << full.stderrText;
            }
            ASSERT_GT(full.commits, 0) << name << " saved nothing";
            const Verdict v = Judge(m_home / "res", before, m_watcher, clean);
            ASSERT_EQ(v.torn, 0) << name << ": " << (v.problems.empty() ? "" : v.problems.front());
            shapes.push_back(ShapeOf(full, windowUs));
            std::string born;
            for (long b : full.tempBornUs) born += " " + std::to_string(b / 1000);
            std::printf("crash[%s]: a full run took %ld ms, saves began at (ms)%s\n", name.c_str(),
                        full.durationUs / 1000, born.c_str());
        }
        Tally tally;
        for (int i = 0; i < runs; ++i) {
            const std::size_t which = static_cast<std::size_t>(i) % variants.size();
            if (beforeEach) beforeEach();
            const Snapshot before = TakeSnapshot(m_home / "res");
            m_watcher.Reset();
            const bool nextStart = i % 8 == 7;
            const Kill kill = ChooseKill(rng, shapes[which]);
            // The next start reads everything the kills left: the model, its description, Set.ini.
            const RunReport run =
                nextStart ? m_watcher.Run(Argv({"get"})) : m_watcher.Run(Argv(variants[which]), {}, &kill);
            if (nextStart) {
                ++tally.nextStarts;
                EXPECT_EQ(run.exitStatus, 0)
                    << name << ": the start after the kills failed: " << run.stderrText;
            } else {
                tally.kills += run.killed ? 1 : 0;
                tally.insideSave += run.tempsLeft > 0 ? 1 : 0;
            }
            const Verdict v = Judge(m_home / "res", before, m_watcher, clean);
            tally.torn += v.torn;
            tally.unverifiable += v.unverifiable;
            for (const std::string& problem : v.problems)
                ADD_FAILURE() << name << " run " << i << ": " << problem;
            if (invariant) {
                const std::string problem = invariant();
                if (!problem.empty()) {
                    ++tally.torn;
                    ADD_FAILURE() << name << " run " << i << ": " << problem;
                }
            }
            // What a kill left stays, aged, for the next runs to start beside.
            AgeTempFiles(m_home / "res", 120);
        }
        Print(name, tally);
        EXPECT_EQ(tally.torn, 0);
        // Enough runs must be judged in full for the check to mean something. A save renamed over
        // before the watcher could link its temporary file cannot be; on a machine busy with the
        // rest of the suite that was 40 % of the runs of a fast writer.
        EXPECT_GE((runs - tally.unverifiable) * 4, runs) << name;
    }

    // The start-up's clean-up removes every temporary file the kills left (they are aged).
    void ExpectStartUpCleans() {
        RemoveStaleSaves(m_home, 60);
        EXPECT_EQ(CountTempFiles(m_home / "res"), 0);
    }

#ifdef ZORMOUSE_PATH
    // The same through a real start of the program: it starts, shows the mouse (a picture is
    // taken once it has synchronised) and has removed the temporary files left by the kills.
    void ExpectProgramStartCleans() {
        // One the kills may not have left: a save cut off before its rename, a while ago.
        WriteFile(Config().parent_path() / ".MouseConfig.json.tmp-Kil1ed", "{\"mouseconfig\": {");
        AgeTempFiles(m_home / "res", 120);
        ASSERT_GT(CountTempFiles(m_home / "res"), 0);
        // The program shows itself in a skin.
        for (const char* skin : {"res_black", "res_white"})
            fs::copy(BuildDir() / skin, m_home / skin, fs::copy_options::recursive);
        // A runtime folder of its own: no other copy of the program running meanwhile holds its lock.
        const fs::path runtime = m_work / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        m_watcher.Reset();
        const RunReport run =
            m_watcher.Run({ZORMOUSE_PATH, "--home", m_home.string(), "--virtual", "--screenshot",
                           (m_work / "shot.png").string()},
                          {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime.string()});
        EXPECT_EQ(run.exitStatus, 0) << run.stderrText;
        EXPECT_EQ(CountTempFiles(m_home / "res"), 0);
    }
#endif

private:
    fs::path CopyRes() {
        fs::create_directories(m_home);
        fs::copy(BuildDir() / "res", m_home / "res", fs::copy_options::recursive);
        return m_home / "res";
    }

    TempDir m_dir;
    fs::path m_home;
    fs::path m_work;
    SaveWatcher m_watcher;
};

}  // namespace

TEST(CrashConsistency, MouseConfigThroughSetDpiSetRateAndConfigImport) {
    ZorctlCrash crash;
    crash.Crash("set dpi",
                {{"set", "dpi", "--profile", "0", "--gear", "1", "--value", "1600"},
                 {"set", "dpi", "--profile", "0", "--gear", "1", "--value", "800"}},
                CrashRuns(10));
    crash.Crash("set rate",
                {{"set", "rate", "--profile", "0", "1000"}, {"set", "rate", "--profile", "0", "500"}},
                CrashRuns(5));

    // Two configuration files that differ in a DPI value, imported in turn.
    const fs::path a = crash.work() / "a.Mouse.Config";
    const fs::path b = crash.work() / "b.Mouse.Config";
    ASSERT_EQ(crash.RunToEnd({"config", "export", a.string()}).exitStatus, 0);
    auto doc = nlohmann::json::parse(ReadFile(a));
    doc["mouseconfig"]["mouseadv"][0]["ctrl_MouseAdv_Dpi0"][1] = 1600;
    WriteFile(b, doc.dump(4));
    crash.Crash("config import", {{"config", "import", b.string()}, {"config", "import", a.string()}},
                CrashRuns(60));
    crash.ExpectStartUpCleans();
}

TEST(CrashConsistency, ResetAndPowerOptionsWithSetIniAndProfileIdentifiers) {
    ZorctlCrash crash;
    // The reset writes MouseConfig.json, Set.ini's power values, and four new profile
    // identifiers in the description's RANDOM section, all within its first 350 ms; then the
    // push takes seconds.
    crash.Crash("reset", {{"reset"}}, CrashRuns(10), 350000);
    // Two options set together are both old or both new.
    const fs::path setIni = crash.home() / "res/Set.ini";
    crash.Crash(
        "set power",
        {{"set", "power", "SleepTime=10", "LODHeight=1"}, {"set", "power", "SleepTime=3", "LODHeight=0"}},
        CrashRuns(10), 0, {}, [&]() -> std::string {
            const IniFile ini(setIni);
            const int sleep = ini.GetInt("Set", "SleepTime");
            const int lod = ini.GetInt("Set", "LODHeight");
            if ((sleep == 10 && lod == 1) || (sleep == 3 && lod == 0)) return {};
            return "Set.ini holds SleepTime " + std::to_string(sleep) + " with LODHeight " +
                   std::to_string(lod);
        });
    // Identifiers drawn at load: a description without them gets four at the first start.
    const fs::path description = crash.Description();
    // Drawn identifiers are never 0: the four are all 0 (old) or none is (new).
    crash.Crash(
        "profile ids", {{"get"}}, CrashRuns(10), 0,
        [&] {
            std::vector<IniEntry> zero;
            for (int p = 0; p < 4; ++p) zero.push_back({"RANDOM", "Profile" + std::to_string(p), "0"});
            ASSERT_TRUE(IniFile(description).WriteStrings(zero));
        },
        [&]() -> std::string {
            const IniFile ini(description);
            int drawn = 0;
            for (int p = 0; p < 4; ++p)
                drawn += ini.GetInt("RANDOM", "Profile" + std::to_string(p)) != 0 ? 1 : 0;
            if (drawn == 0 || drawn == 4) return {};
            return std::to_string(drawn) + " of the 4 profile identifiers were written";
        });
    crash.ExpectStartUpCleans();
}

TEST(CrashConsistency, MacroLibraryThroughImportAndReset) {
    ZorctlCrash crash;
    const fs::path group = crash.work() / "g.Macro.Config";
    ASSERT_EQ(crash.RunToEnd({"macro", "export", "0", group.string()}).exitStatus, 0);
    crash.Crash("macro import/reset", {{"macro", "import", group.string()}, {"macro", "reset"}},
                CrashRuns(50));
#ifdef ZORMOUSE_PATH
    crash.ExpectProgramStartCleans();
#else
    crash.ExpectStartUpCleans();
#endif
}

// The writer thread of the macro page, killed while edits keep coming: the library on disk is
// always one of the documents it was handed, and it loads.
TEST(CrashConsistency, MacroLibraryWrittenBehind) {
    TempDir dir;
    const fs::path folder = dir / "MacroData";
    const fs::path library = folder / "macroConfig.json";
    fs::create_directories(folder);
    fs::copy_file(BuildDir() / std::string(kMacroLivePath), library);
    SaveWatcher watcher(folder, dir / "capture");
    std::mt19937_64 rng = RngFor("library writer");
    Tally tally;
    const int runs = CrashRuns(50);
    for (int i = 0; i < runs; ++i) {
        const Snapshot before = TakeSnapshot(folder);
        watcher.Reset();
        Shape shape;
        for (int k = 0; k < 12; ++k) shape.savesUs.push_back(0);  // its first twelve saves
        shape.longestUs = 3000;
        shape.durationUs = 80000;
        const Kill kill = ChooseKill(rng, shape);
        const RunReport run = watcher.Run({CRASH_WRITER_PATH, "library", library.string()}, {}, &kill);
        ASSERT_TRUE(run.killed) << run.stderrText;
        ++tally.kills;
        tally.insideSave += run.tempsLeft > 0 ? 1 : 0;
        const Verdict v = Judge(folder, before, watcher, {folder});
        tally.torn += v.torn;
        tally.unverifiable += v.unverifiable;
        for (const std::string& problem : v.problems) ADD_FAILURE() << "run " << i << ": " << problem;
        MacroStore next;
        EXPECT_TRUE(next.Load(library).ok) << "run " << i;
        EXPECT_FALSE(next.groups().empty()) << "run " << i;
        AgeTempFiles(folder, 120);
        RemoveStaleTempFiles(folder, 60);
    }
    Print("library writer", tally);
    EXPECT_EQ(tally.torn, 0);
    EXPECT_GE((runs - tally.unverifiable) * 4, runs);  // as in ZorctlCrash::Crash
}

// The first start of an installed program writes the user's files (the model's document and the
// macro library copied from the installation, the unpacked device list); killed part-way, the next
// start finishes them, a file is either missing or complete, and every temporary file left lies in
// a folder the program's start cleans.
TEST(CrashConsistency, SeededUserFolder) {
    TempDir dir;
    const fs::path prefix = dir / "prefix";
    fs::create_directories(prefix / "bin");
    const fs::path zorctl = prefix / "bin" / "zorctl";
    std::error_code ec;
    fs::create_hard_link(ZORCTL_PATH, zorctl, ec);
    if (ec) fs::copy_file(ZORCTL_PATH, zorctl);
    const fs::path factory = prefix / "share" / "zormouse";
    fs::create_directories(factory / "res");
    // The installed folder without the two skins (170 files that only make each copy longer).
    for (const auto& entry : fs::directory_iterator(BuildDir() / "res")) {
        const std::string name = entry.path().filename().string();
        if (name != "res_black" && name != "res_white")
            fs::copy(entry.path(), factory / "res" / name, fs::copy_options::recursive);
    }
    const fs::path data = dir / "data";
    const fs::path user = data / "zormouse";
    SaveWatcher watcher(data, dir / "capture");
    const std::vector<std::string> argv{zorctl.string(), "--virtual", "--json", "get", "--profile", "0"};
    const std::vector<std::string> env{"XDG_DATA_HOME=" + data.string(), "ZOR_HOME="};
    const RunReport full = watcher.Run(argv, env);
    ASSERT_EQ(full.exitStatus, 0) << full.stderrText;
    // What every first start writes the same way (the description's overlay holds drawn profile
    // identifiers: it is judged for completeness only).
    Snapshot expected = TakeSnapshot(user);
    expected.erase(paths::ModelDescription(user / "res" / "MouseVarn" / "MouseA"));
    const fs::path document = user / "res" / "MouseVarn" / "MouseA" / "Config" / "MouseConfig.json";
    ASSERT_EQ(expected.count(document), 1u);
    EXPECT_EQ(expected[document],
              ReadFile(factory / "res" / "MouseVarn" / "MouseA" / "Config" / "MouseConfig.json"));
    ASSERT_GE(full.tempsCreated, static_cast<int>(expected.size()));
    const Shape shape = ShapeOf(full);

    std::mt19937_64 rng = RngFor("seed");
    Tally tally;
    const int runs = CrashRuns(30);
    fs::remove_all(user);
    for (int i = 0; i < runs; ++i) {
        const Snapshot before = TakeSnapshot(data);
        watcher.Reset();
        const bool nextStart = i % 5 == 4;
        // A start after a killed one copies only what is still missing: it is cut within that.
        std::size_t missing = 0;
        for (const auto& [path, bytes] : expected) missing += fs::exists(path, ec) ? 0 : 1;
        Shape left = shape;
        left.savesUs.resize(std::max<std::size_t>(1, std::min(missing, shape.savesUs.size())));
        left.durationUs = shape.durationUs * static_cast<long>(std::max<std::size_t>(1, missing)) /
                          static_cast<long>(expected.size());
        const Kill kill = ChooseKill(rng, left);
        const RunReport run = watcher.Run(argv, env, nextStart ? nullptr : &kill);
        const std::vector<fs::path> cleaned = WritableFolders(user);
        const std::set<fs::path> folders(cleaned.begin(), cleaned.end());
        const Verdict v = Judge(data, before, watcher, folders, &expected);
        tally.torn += v.torn;
        tally.unverifiable += v.unverifiable;
        for (const std::string& problem : v.problems) ADD_FAILURE() << "run " << i << ": " << problem;
        if (nextStart) {
            ++tally.nextStarts;
            EXPECT_EQ(run.exitStatus, 0) << run.stderrText;
            EXPECT_EQ(Missing(TakeSnapshot(user), expected), "")
                << "run " << i << ": the next start did not finish the copy";
            AgeTempFiles(data, 120);
            RemoveStaleSaves(user);
            EXPECT_EQ(CountTempFiles(data), 0)
                << "run " << i << ": temporary files outside the cleaned folders";
            fs::remove_all(user);  // the next round starts from nothing again
        } else {
            tally.kills += run.killed ? 1 : 0;
            tally.insideSave += run.tempsLeft > 0 ? 1 : 0;
            AgeTempFiles(data, 120);
        }
    }
    Print("seeded user folder", tally);
    EXPECT_EQ(tally.torn, 0);
    EXPECT_GE((runs - tally.unverifiable) * 4, runs);  // as in ZorctlCrash::Crash
}

// The judge itself: a writer that rewrites its file in place is caught leaving torn files.
TEST(CrashConsistency, AWriterThatIsNotCrashSafeIsCaught) {
    TempDir dir;
    const fs::path folder = dir / "files";
    const fs::path file = folder / "data.json";
    fs::create_directories(folder);
    SaveWatcher watcher(folder, dir / "capture");
    std::mt19937_64 rng = RngFor("in place");
    int torn = 0;
    for (int i = 0; i < 10; ++i) {
        WriteFile(file, "[\"old\"]\n");
        const Snapshot before = TakeSnapshot(folder);
        watcher.Reset();
        const Kill kill{0, 20000 + static_cast<long>(rng() % 100000)};
        const RunReport run = watcher.Run({CRASH_WRITER_PATH, "inplace", file.string()}, {}, &kill);
        ASSERT_TRUE(run.killed);
        torn += Judge(folder, before, watcher, {folder}).torn;
    }
    EXPECT_GE(torn, 5);
}
