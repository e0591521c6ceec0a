// The macro library with 200 full macros (500 events each): one edit (an event inserted and the
// library saved) against the bare cost of writing the same document (serialise + atomic write),
// plus loading and saving the library and the configuration document.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Guid.h"
#include "config/MouseConfig.h"
#include "macro/MacroStore.h"

namespace zor {
namespace {

constexpr int kGroups = 10;
constexpr int kMacrosPerGroup = 20;

// A scratch folder removed when the program ends (the library alone is over 20 MB).
class ScratchFolder {
public:
    ScratchFolder()
        : m_path(std::filesystem::temp_directory_path() / ("zor-macro-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

std::filesystem::path BenchFolder() {
    static const ScratchFolder folder;
    return folder.path();
}

// Every macro holds 499 events, so that an insert fills it to the limit and a delete empties the
// slot again: the document keeps its size through the run.
nlohmann::json FullLibrary() {
    nlohmann::json groups = nlohmann::json::array();
    for (int g = 0; g < kGroups; ++g) {
        nlohmann::json macros = nlohmann::json::array();
        for (int m = 0; m < kMacrosPerGroup; ++m) {
            MacroDeviceBlock b;
            b.num = kMacroMaxEvents - 1;
            b.macRpt = 1;
            for (int i = 0; i < kMacroMaxEvents; ++i) {
                b.macSta[i] = static_cast<std::uint8_t>(1 + i % 2);
                b.macVal[i] = static_cast<std::uint8_t>(4 + (i / 2) % 26);
                b.macDly[i] = static_cast<std::uint32_t>(20 + i * 7 % 300);
                b.extVal[i] = {static_cast<std::int16_t>(i % 50), static_cast<std::int16_t>(i % 30)};
            }
            macros.push_back({{"MacroName", {0x5B8F, 0x0030 + m}},
                              {"MacroGuid", NewGuidText()},
                              {"ForbidView", false},
                              {"BindKeys", 0},
                              {"macData", MacroStore::MacDataToJson(b)}});
        }
        groups.push_back({{"GrpName", {0x7EC4, 0x0030 + g}},
                          {"GrpGuid", NewGuidText()},
                          {"ForbidView", false},
                          {"MacroInfo", std::move(macros)}});
    }
    return {{"MacroGrpInfo", std::move(groups)}};
}

// The library file, written afresh: every run of a benchmark starts from the same document.
std::filesystem::path LibraryFile() {
    static const std::string text = MacroStore::Serialise(FullLibrary());
    const auto path = BenchFolder() / "macroConfig.json";
    WriteFileAtomic(path, text);
    return path;
}

void BM_EditInsertAndSave(benchmark::State& state) {
    const auto file = LibraryFile();
    MacroStore store;
    store.Load(file);
    const MacroEvent event{kMacStatePress, 4, 0, 0, 10};
    int n = 0;
    for (auto _ : state) {
        const int g = n % kGroups;
        const int m = (n / kGroups) % kMacrosPerGroup;
        // Insert then delete on alternate rounds so the library keeps its size; both are edits.
        MacroResult r = (n / (kGroups * kMacrosPerGroup)) % 2 == 0 ? store.InsertEvent(g, m, 0, event)
                                                                   : store.DeleteEvent(g, m, 0);
        if (!r.ok) state.SkipWithError("edit failed");
        ++n;
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
}
BENCHMARK(BM_EditInsertAndSave)->Unit(benchmark::kMillisecond);

// The same edits as the macro page makes them: the save only marks the library changed, and
// the copy handed to the writer thread (what the page's save timer runs after a burst) is what
// the editing thread pays. Argument 1: every edit followed by its hand-over (the worst case);
// 0: the edits of a burst alone.
void BM_EditWithWriteBehind(benchmark::State& state) {
    const auto file = LibraryFile();
    MacroStore store;
    store.Load(file);
    store.SetWriteBehind([] {}, nullptr);
    const MacroEvent event{kMacStatePress, 4, 0, 0, 10};
    int n = 0;
    for (auto _ : state) {
        const int g = n % kGroups;
        const int m = (n / kGroups) % kMacrosPerGroup;
        MacroResult r = (n / (kGroups * kMacrosPerGroup)) % 2 == 0 ? store.InsertEvent(g, m, 0, event)
                                                                   : store.DeleteEvent(g, m, 0);
        if (!r.ok || (state.range(0) != 0 && !store.Commit().ok)) state.SkipWithError("edit failed");
        ++n;
    }
    // After the timed loop: the writes still due, not counted.
    if (!store.Flush().ok) state.SkipWithError("write failed");
}
BENCHMARK(BM_EditWithWriteBehind)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_BareDumpAndAtomicWrite(benchmark::State& state) {
    std::string bytes;
    ReadFileBytes(LibraryFile(), bytes);
    const nlohmann::json doc = nlohmann::json::parse(bytes);
    const auto path = BenchFolder() / "bare.json";
    for (auto _ : state) {
        if (!WriteFileAtomic(path, doc.dump(4))) state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_BareDumpAndAtomicWrite)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
    const auto file = LibraryFile();
    for (auto _ : state) {
        MacroStore store;
        if (!store.Load(file).ok) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(store.groups().data());
    }
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_SaveAll(benchmark::State& state) {
    MacroStore store;
    store.Load(LibraryFile());
    for (auto _ : state) {
        if (!store.SaveAll().ok) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveAll)->Unit(benchmark::kMillisecond);

// The configuration document of the sample model: the save after every apply and the load of
// every reload.
std::filesystem::path ConfigFolder() {
    static const std::filesystem::path folder = [] {
        auto model = BenchFolder() / "MouseA";
        MouseConfigDocument doc;
        doc.keyTables.assign(kKeyTables, {});
        for (auto& table : doc.keyTables)
            for (int s = 0; s < kKeySlots; ++s) table[SlotName(s)].code = s;
        for (auto& a : doc.adv) a.gears.assign(kDpiGearCount, {1, 1600, 0xFF0000});
        for (auto& modes : doc.led)
            for (auto& m : modes) m.colours.assign(kLedColourSlots, {1, 0x00FF00});
        std::filesystem::create_directories(model / "Config");
        doc.Save(MouseConfigPath(model));
        return model;
    }();
    return folder;
}

void BM_ConfigLoad(benchmark::State& state) {
    MouseConfigDocument doc;
    for (auto _ : state) {
        if (!doc.Load(ConfigFolder()).ok) state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_ConfigLoad)->Unit(benchmark::kMicrosecond);

void BM_ConfigSave(benchmark::State& state) {
    MouseConfigDocument doc;
    doc.Load(ConfigFolder());
    const auto path = BenchFolder() / "MouseConfig.json";
    for (auto _ : state) {
        if (!doc.Save(path).ok) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_ConfigSave)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zor
