#include "config/DpiEventCode.h"

#include <cstdlib>
#include <limits>

#include "common/Text.h"

namespace zor {

std::int16_t DpiEventCode(const DeviceFeatureRecord& feature, std::string_view dpiLabel) {
    const int wanted = ParseLeadingInt(dpiLabel);
    int best = -1;
    long bestDistance = std::numeric_limits<long>::max();
    for (const auto& [line, label] : feature.dpiText) {
        const auto value = feature.dpiDeviceValue.find(line);
        if (value == feature.dpiDeviceValue.end()) continue;
        if (label == dpiLabel) return static_cast<std::int16_t>(value->second);
        const long distance = std::labs(static_cast<long>(ParseLeadingInt(label)) - wanted);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = value->second;
        }
    }
    return static_cast<std::int16_t>(best < 0 ? 0 : best);
}

}  // namespace zor
