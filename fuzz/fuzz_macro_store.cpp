// The macro library over arbitrary file bytes: load, walk every macro, select and store the
// working copy, and save the library back.
#include <cstdint>

#include "macro/MacroStore.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256 * 1024) return 0;
    zor::fuzz::TempFolder temp;
    const auto file = temp.path() / "macroConfig.json";
    zor::fuzz::WriteBytes(file, data, size);

    zor::MacroStore store;
    const zor::MacroResult loaded = store.Load(file);
    const int groups = static_cast<int>(store.groups().size());
    for (int g = 0; g < groups; ++g) {
        const int macros = static_cast<int>(store.groups()[static_cast<std::size_t>(g)].macros.size());
        for (int m = 0; m < macros; ++m) {
            const zor::MacroRecord* record = store.macro(g, m);
            zor::fuzz::Check(record != nullptr, "a listed macro is found");
            (void)store.FindMacro(store.groups()[static_cast<std::size_t>(g)].guid, record->guid);
            if (store.SelectMacro(g, m)) (void)store.StoreWorking(g, m);
        }
    }
    (void)store.ExportGroup(0, temp.path() / "export.json");
    if (loaded.ok) {
        (void)store.SaveAll();
        zor::MacroStore again;
        (void)again.Load(file);
    }
    return 0;
}
