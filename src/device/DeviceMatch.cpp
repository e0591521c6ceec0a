#include "device/DeviceMatch.h"

#include <algorithm>
#include <array>
#include <bit>

#include "common/Debug.h"
#include "common/Text.h"

namespace zor {
namespace {

bool ProductStringPasses(const DeviceEntry& entry, const std::string& productString) {
    if (entry.compareFlag != 1) return true;
    return std::find(entry.compareStrings.begin(), entry.compareStrings.end(), productString) !=
           entry.compareStrings.end();
}

// Index of the entry's id pair that the interface carries, or -1.
int FindIdPair(const DeviceEntry& entry, const HidInterfaceInfo& info) {
    const std::size_t count = std::min(entry.productIds.size(), entry.vendorIds.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (entry.productIds[i] == info.productId && entry.vendorIds[i] == info.vendorId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ReadReport7(HidHandle& feature, DeviceEntry& entry) {
    wire::Report7 request{};
    request.reportId = kReport7Id;
    auto report = std::bit_cast<std::array<std::uint8_t, kReport7Size>>(request);
    const int got = feature.GetFeature(report);
    entry.report7Value = std::bit_cast<wire::Report7>(report).value.Get();
    DebugF("input7:%d,%d\n", got, entry.report7Value);
}

// The entry's own handle to this interface when it still holds one open: a re-match while the
// device stays (another of its interfaces left) keeps the handles its listener and the link use.
std::shared_ptr<HidHandle> HeldHandle(const std::shared_ptr<HidHandle>& held, const HidInterfaceInfo& info) {
    return held && held->IsOpen() && held->Path() == info.path ? held : nullptr;
}

}  // namespace

bool MatchDevice(HidBus& bus, DeviceEntry& entry, LinkState& link, const DeviceClaim& claim) {
    std::shared_ptr<HidHandle> input;
    std::shared_ptr<HidHandle> feature;
    HidCaps inputCaps;

    // A removed interface in the middle of the list is skipped; the walk goes on to the end.
    for (const HidInterfaceInfo& info : bus.Enumerate()) {
        const int pair = FindIdPair(entry, info);
        if (pair < 0) continue;
        if (static_cast<std::size_t>(pair) < entry.names.size()) entry.matchedName = entry.names[pair];
        if (!ProductStringPasses(entry, info.productString)) continue;

        if (info.usagePage == kInputUsagePage && info.usage == kVendorUsage) {
            // A failed open does not count as held: the walk keeps looking.
            auto handle = HeldHandle(entry.inputHandle, info);
            if (!handle) handle = bus.Open(info.path, HidAccess::Read);
            if (handle) {
                if (input && input != entry.inputHandle) input->Close();
                input = std::move(handle);
                inputCaps = HidCaps{info.usagePage, info.usage, info.inputReportLength, 0};
            }
        } else if (info.usagePage == kFeatureUsagePage && info.usage == kVendorUsage) {
            auto handle = HeldHandle(entry.featureHandle, info);
            if (!handle) handle = bus.Open(info.path, HidAccess::Write);
            if (handle) {
                if (feature && feature != entry.featureHandle) feature->Close();
                feature = std::move(handle);
            }
        }
        if (!input || !feature) continue;
        if (claim && !claim(feature->Path())) break;  // another process has the device

        entry.found = true;
        entry.devicePath = ToUpperAscii(info.path);
        entry.inputCaps = inputCaps;
        entry.inputReportLength =
            inputCaps.inputReportLength != 0 ? inputCaps.inputReportLength : kDefaultInputReportLength;
        {
            // A match of an entry that was already found (after a device change) replaces its
            // handles; the link must not keep using the old ones.
            std::lock_guard lock(link.exchangeMutex);
            if (entry.featureHandle && link.featureHandle == entry.featureHandle)
                link.featureHandle = feature;
            if (entry.inputHandle && link.inputHandle == entry.inputHandle) link.inputHandle = input;
            if (entry.devType != 1) link.featureHandle = feature;
        }
        if (entry.featureHandle && entry.featureHandle != feature) entry.featureHandle->Close();
        if (entry.inputHandle && entry.inputHandle != input) entry.inputHandle->Close();
        entry.inputHandle = input;
        entry.featureHandle = feature;
        if (entry.devType != 1) ReadReport7(*feature, entry);
        return true;
    }
    // A half-opened device is not kept: a handle opened here closes here (the entry's own ones
    // are left to ReleaseDevice).
    if (input && input != entry.inputHandle) input->Close();
    if (feature && feature != entry.featureHandle) feature->Close();
    return false;
}

void ReleaseDevice(DeviceEntry& entry, LinkState& link) {
    {
        std::lock_guard lock(link.exchangeMutex);
        if (entry.featureHandle && link.featureHandle == entry.featureHandle) link.featureHandle.reset();
        if (entry.inputHandle && link.inputHandle == entry.inputHandle) link.inputHandle.reset();
    }
    if (entry.featureHandle) entry.featureHandle->Close();
    if (entry.inputHandle) entry.inputHandle->Close();
    entry.featureHandle.reset();
    entry.inputHandle.reset();
    entry.found = false;
    entry.devicePath.clear();
    entry.report7Value = 255;
}

void SelectDevice(const DeviceEntry& entry, LinkState& link) {
    std::lock_guard lock(link.exchangeMutex);
    link.featureHandle = entry.featureHandle;
    link.inputHandle = entry.inputHandle;
}

}  // namespace zor
