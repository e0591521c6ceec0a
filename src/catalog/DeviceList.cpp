#include "catalog/DeviceList.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <nlohmann/json.hpp>

#include "common/Debug.h"
#include "common/JsonText.h"
#include "common/Text.h"

namespace zor {
namespace {

using Json = nlohmann::json;

int ClampToInt(long double value) {
    constexpr auto lo = static_cast<long double>(std::numeric_limits<int>::min());
    constexpr auto hi = static_cast<long double>(std::numeric_limits<int>::max());
    if (value < lo) return std::numeric_limits<int>::min();
    if (value > hi) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// The number at key, or fallback when the key is missing or not a number.
int NumberOr(const Json& object, const char* key, int fallback) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number()) return fallback;
    if (it->is_number_unsigned()) return ClampToInt(static_cast<long double>(it->get<unsigned long long>()));
    if (it->is_number_integer()) return ClampToInt(static_cast<long double>(it->get<long long>()));
    return ClampToInt(std::trunc(static_cast<long double>(it->get<double>())));
}

std::string TextOr(const Json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return {};
    return it->get<std::string>();
}

bool EscapesModelFolder(const std::string& folder) {
    return !folder.empty() &&
           (folder.front() == '/' || folder.front() == '\\' || folder.find("..") != std::string::npos);
}

DeviceEntry EntryFromJson(const Json& element, std::size_t index) {
    DeviceEntry entry;
    entry.devType = NumberOr(element, "DevType", entry.devType);
    entry.productIds = ParseHexIdList(TextOr(element, "Pid"));
    entry.vendorIds = ParseHexIdList(TextOr(element, "Vid"));
    entry.names = SplitNameList(TextOr(element, "Ser"));
    entry.compareStrings = entry.names;
    entry.isUsb = NumberOr(element, "isUSB", entry.isUsb);
    entry.displayName = TextOr(element, "DevName");
    entry.normalImage = TextOr(element, "NormalImage");
    entry.hotImage = TextOr(element, "HotImage");
    entry.pushedImage = TextOr(element, "PushedImage");
    entry.devFolder = TextOr(element, "DevFolder");
    entry.category = TextOr(element, "DevTypeString");
    entry.width = NumberOr(element, "Width", entry.width);
    entry.height = NumberOr(element, "Height", entry.height);
    entry.compareFlag = NumberOr(element, "DevCmpStr", entry.compareFlag);
    entry.devNo = NumberOr(element, "DevNO", entry.devNo);

    const auto padding = element.find("Padding");
    if (padding != element.end() && padding->is_array()) {
        for (std::size_t i = 0; i < entry.padding.size() && i < padding->size(); ++i) {
            const Json& value = (*padding)[i];
            if (value.is_number()) entry.padding[i] = ClampToInt(value.get<long double>());
        }
    }

    if (EscapesModelFolder(entry.devFolder)) {
        DebugLine(Format("Ndevice.json: element %u: DevFolder \"%s\" ignored\n", index, entry.devFolder));
        entry.devFolder.clear();
    }
    if (entry.productIds.size() != entry.vendorIds.size())
        DebugLine(Format("Ndevice.json: element %u: %u product ids but %u vendor ids\n", index,
                         entry.productIds.size(), entry.vendorIds.size()));
    return entry;
}

}  // namespace

std::vector<std::uint32_t> ParseHexIdList(std::string_view text) {
    std::vector<std::uint32_t> ids;
    if (text.empty()) return ids;
    for (const auto& item : Split(text, ',')) {
        errno = 0;
        const unsigned long value = std::strtoul(item.c_str(), nullptr, 16);
        const bool overflow = errno == ERANGE || value > std::numeric_limits<std::uint32_t>::max();
        ids.push_back(overflow ? std::numeric_limits<std::uint32_t>::max()
                               : static_cast<std::uint32_t>(value));
    }
    return ids;
}

std::vector<std::string> SplitNameList(std::string_view text) {
    if (text.empty()) return {};
    return Split(text, ',');
}

DeviceListResult ParseDeviceList(std::string_view jsonText) {
    DeviceListResult result;
    try {
        const Json root = ParseJson(jsonText);
        if (!root.is_object()) {
            result.error = "the root is not an object";
            return result;
        }
        const auto list = root.find("NDevice");
        if (list == root.end() || !list->is_array()) {
            result.error = "no \"NDevice\" array";
            return result;
        }
        for (std::size_t i = 0; i < list->size(); ++i) {
            const Json& element = (*list)[i];
            if (!element.is_object()) {
                DebugLine(Format("Ndevice.json: element %u is not an object\n", i));
                continue;
            }
            result.entries.push_back(EntryFromJson(element, i));
        }
        result.ok = true;
    } catch (const Json::exception& e) {
        result.error = e.what();
        result.entries.clear();
    }
    return result;
}

}  // namespace zor
