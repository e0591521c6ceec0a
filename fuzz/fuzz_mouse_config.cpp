// The mouse configuration document over arbitrary file bytes: load, read every profile the
// command set would send, and when the load worked, save and load the saved file again.
#include <cstdint>

#include "config/MouseConfig.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256 * 1024) return 0;
    zor::fuzz::TempFolder temp;
    const auto file = temp.path() / "MouseConfig.json";
    zor::fuzz::WriteBytes(file, data, size);

    zor::MouseConfigDocument document;
    const zor::ConfigResult loaded = document.LoadFile(file);
    for (int p = -1; p <= zor::kConfigProfiles; ++p) (void)document.Profile(p);
    for (int i = -1; i <= zor::kKeyTables; ++i) (void)document.ProfileId(i);
    (void)document.ChipResetLabelsOf();
    if (!loaded.ok) return 0;

    for (int p = 0; p < zor::kConfigProfiles; ++p) document.DisableSurplusGears(p);
    const auto saved = temp.path() / "saved.json";
    zor::fuzz::Check(document.Save(saved).ok, "a loaded document saves");
    zor::MouseConfigDocument again;
    zor::fuzz::Check(again.LoadFile(saved).ok, "a saved document loads");
    zor::fuzz::Check(again.ToJson() == document.ToJson(), "a saved document loads unchanged");
    return 0;
}
