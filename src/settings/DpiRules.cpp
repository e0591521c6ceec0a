#include "settings/DpiRules.h"

#include <algorithm>
#include <cstdlib>

#include "common/Text.h"
#include "device/KeyCode.h"

namespace zor {

DpiTable::DpiTable(const std::map<int, std::string>& lineLabels, int maxValue) : m_max(maxValue) {
    for (const auto& [line, text] : lineLabels) {
        const int value = ParseLeadingInt(text);
        if (value > 0) m_labels.emplace(value, text);  // the first line of a value wins
    }
}

DpiTable DpiTable::FromFeature(const DeviceFeatureRecord& feature) {
    return DpiTable(feature.dpiText, feature.dpiMax);
}

std::string DpiTable::Label(int value) const {
    if (value == 0) value = 1;
    if (value < 0 || value > m_max) return kNullDpiLabel;
    const auto it = m_labels.find(value);
    return it != m_labels.end() ? it->second : std::to_string(value);
}

int DpiTable::Nearest(int value) const {
    if (m_labels.empty()) return value;
    const auto above = m_labels.lower_bound(value);
    if (above == m_labels.begin()) return above->first;
    if (above == m_labels.end()) return std::prev(above)->first;
    if (above->first == value) return value;
    const int low = std::prev(above)->first;
    return value - low < above->first - value ? low : above->first;
}

int DpiTable::FromTypedText(std::string_view text) const {
    std::string clean;
    for (char c : text)
        if (c != '\t') clean.push_back(c);
    for (const auto& [value, label] : m_labels)
        if (label == clean) return value;
    return Nearest(ParseLeadingInt(clean));
}

void ClampGearValues(MouseConfigDocument& document, int maxValue) {
    for (auto& adv : document.adv)
        for (auto& gear : adv.gears) gear.value = std::clamp(gear.value, 1, std::max(1, maxValue));
}

bool SetGearEnabled(doc::MouseAdvSettings& adv, int gear, bool enabled) {
    const int count = static_cast<int>(adv.gears.size());
    if (gear < 0 || gear >= count) return false;
    auto& target = adv.gears[static_cast<std::size_t>(gear)];
    if (enabled) {
        target.enabled = 1;
        return true;
    }
    const bool another = std::any_of(adv.gears.begin(), adv.gears.end(),
                                     [&](const doc::DpiGear& g) { return &g != &target && g.enabled != 0; });
    if (!another) {
        target.enabled = 1;
        return true;
    }
    target.enabled = 0;
    if (adv.cruseldpi == gear) {
        for (int step = 1; step < count; ++step) {
            const int next = (gear + step) % count;
            if (adv.gears[static_cast<std::size_t>(next)].enabled != 0) {
                adv.cruseldpi = next;
                break;
            }
        }
    }
    return false;
}

bool HasExtendedRates(std::string_view model) {
    return model == "Pelo" || model == "Pelu";
}

int ReportRateOptions(std::string_view model, RateConnection connection) {
    const int all = ReportRateCount(model);
    return model == "Pelo" && connection == RateConnection::Cable ? std::min(all, ReportRateCount("")) : all;
}

void LimitReportRates(doc::MouseAdvSettings& adv, std::string_view model, RateConnection connection) {
    // The USB rate as the cable shows it (on the receiver the cable's limit is not known to
    // apply), the receiver's as its map allows.
    const int usb =
        connection == RateConnection::Cable ? ReportRateOptions(model, connection) : ReportRateCount(model);
    adv.rateusbvalue = std::min(adv.rateusbvalue, usb - 1);
    adv.ratedonglevalue = std::min(adv.ratedonglevalue, ReportRateCount(model) - 1);
    if (connection == RateConnection::Ble) adv.rateblevalue = 0;
}

int LimitedReportRateIndex(int index, std::string_view model, RateConnection connection) {
    return std::clamp(index, 0, std::max(ReportRateOptions(model, connection), 1) - 1);
}

int ReportRateOption(const doc::MouseAdvSettings& adv, RateConnection connection) {
    switch (connection) {
        case RateConnection::Cable:
            return adv.rateusbvalue;
        case RateConnection::Receiver:
            return adv.ratedonglevalue;
        case RateConnection::Ble:
            return adv.rateblevalue;
    }
    return 0;
}

void StoreReportRate(doc::MouseAdvSettings& adv, RateConnection connection, int option) {
    switch (connection) {
        case RateConnection::Cable:
            adv.rateusbvalue = option;
            break;
        case RateConnection::Receiver:
            adv.ratedonglevalue = option;
            break;
        case RateConnection::Ble:
            adv.rateblevalue = 0;
            break;
    }
}

}  // namespace zor
