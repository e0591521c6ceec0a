// The device list parser and its id and name list helpers over arbitrary text.
#include <cstdint>
#include <filesystem>
#include <string>

#include "catalog/DeviceList.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256 * 1024) return 0;
    const std::string_view text = zor::fuzz::AsText(data, size);
    const zor::DeviceListResult result = zor::ParseDeviceList(text);
    for (const zor::DeviceEntry& entry : result.entries) {
        // A model folder must stay below the models' folder.
        const std::filesystem::path folder(entry.devFolder);
        zor::fuzz::Check(!folder.is_absolute(), "model folder is relative");
        for (const auto& part : folder) zor::fuzz::Check(part != "..", "model folder has no ..");
    }
    (void)zor::ParseHexIdList(text.substr(0, 4096));
    (void)zor::SplitNameList(text.substr(0, 4096));
    return 0;
}
