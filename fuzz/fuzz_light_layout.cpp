// A model's lighting rows over arbitrary bytes: parsed, then every question the lighting page and
// zorctl ask of them. A file that does not read must leave no rows and say why.
#include <cstdint>
#include <map>
#include <string>

#include "FuzzSupport.h"
#include "settings/LightingRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    const zor::LightingLayout layout = zor::ParseLightingLayout(zor::fuzz::AsText(data, size));
    if (!layout.error.empty()) zor::fuzz::Check(layout.rows.empty(), "an unreadable file gives no rows");

    std::map<int, int> ledModes;
    for (int mode = 0; mode < zor::kLedModes; ++mode) ledModes[mode] = mode + 1;
    const zor::OfferedModes offered = zor::OfferedLightingModes(ledModes, layout);
    for (int mode = -1; mode <= zor::kLedModes; ++mode) {
        const zor::LightingRow* row = layout.Row(mode);
        if (row != nullptr) {
            (void)row->Visible();
            for (int control = -1; control <= zor::kLightingRowControls; ++control) (void)row->Flag(control);
        }
        const std::string name = zor::LightingModeName(layout, mode);
        // A name of one or two digits reads as a mode index, not as a name.
        const bool numeric = name.size() <= 2 && name.find_first_not_of("0123456789") == std::string::npos;
        if (mode >= 0 && mode < zor::kLedModes && offered[static_cast<std::size_t>(mode)] && !numeric)
            zor::fuzz::Check(zor::LightingModeFromText(layout, name) >= 0,
                             "an offered mode's name finds a mode");
        (void)zor::UiModeForDeviceMode(ledModes, mode);
    }
    (void)zor::LightingModeFromText(layout, zor::fuzz::AsText(data, size < 16 ? size : 16));
    return 0;
}
