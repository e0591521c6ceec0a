// The model description file (Config/DeviceFeature.ini) over arbitrary bytes: the record for
// several sensor chips, the generated DPI lines, the key and lighting maps, and the saved DPI
// labels of a chip reset.
#include <algorithm>
#include <cstdint>
#include <map>

#include "config/DeviceFeature.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    zor::fuzz::TempFolder temp;
    zor::fuzz::WriteBytes(zor::DeviceFeaturePath(temp.path()), data, size);

    for (int chip : {0, 1, 2}) {
        zor::DeviceFeatureRecord record;
        if (!zor::LoadDeviceFeature(record, temp.path(), chip)) return 0;
        const int listed = static_cast<int>(record.dpiText.size());
        const int added = zor::ExtendDpiTable(record);
        zor::fuzz::Check(added >= 0 && record.dpiLineCount == listed + added, "line count adds up");
        zor::fuzz::Check(record.dpiLineCount <= std::max(listed, zor::kMaxDpiLines), "DPI table is capped");
        (void)zor::LoadChipReset(record, temp.path(), chip);
    }
    std::map<int, int> keySlots;
    std::map<int, int> ledModes;
    zor::LoadKeySlotMap(temp.path(), keySlots, ledModes);
    (void)zor::LoadLedItems(temp.path());
    return 0;
}
