// One device of the catalog: what the catalog says about it, and, once matched, its open handles.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zor {

class HidHandle;  // an open HID interface (device/HidBus.h)

// Capabilities of the input collection, as far as the program uses them.
struct HidCaps {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint16_t inputReportLength = 0;
    std::uint16_t featureReportLength = 0;
};

struct DeviceEntry {
    int devType = 0;                           // catalog type (DevType)
    std::vector<std::uint32_t> productIds;     // Pid, base 16
    std::vector<std::uint32_t> vendorIds;      // Vid, base 16, same order as productIds
    std::vector<std::string> names;            // Ser, one per id pair
    std::string matchedName;                   // the name of the matched id pair
    int isUsb = 0;                             // non-zero: cable device
    int report7Value = 255;                    // bytes 14-15 of feature report 7 after a match
    std::vector<std::string> compareStrings;   // product strings accepted when compareFlag is 1
    std::string displayName;                   // DevName
    std::string normalImage, hotImage, pushedImage;
    std::string devFolder;                     // model folder under res/MouseVarn/
    std::string category;                      // DevTypeString
    int width = 0;
    int height = 0;
    std::array<int, 4> padding{};
    int compareFlag = 0;                       // DevCmpStr
    int devNo = 0;                             // DevNO
    std::string productName;                   // PRODUCTNAME of the model's feature file
    bool found = false;
    std::string devicePath;                    // upper case
    std::shared_ptr<HidHandle> featureHandle;
    std::shared_ptr<HidHandle> inputHandle;
    HidCaps inputCaps;
    int inputReportLength = 0;
};

}  // namespace zor
