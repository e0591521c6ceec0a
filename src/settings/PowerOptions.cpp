#include "settings/PowerOptions.h"

#include <algorithm>
#include <utility>

#include "common/IniFile.h"

namespace zor {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

const PowerKeyInfo& InfoOf(PowerKey key) {
    return kPowerKeys[static_cast<std::size_t>(key)];
}

std::optional<PowerKey> PowerKeyByName(std::string_view name) {
    for (const PowerKeyInfo& info : kPowerKeys)
        if (EqualsNoCase(info.name, name)) return info.key;
    return std::nullopt;
}

PowerRange PowerRanges::Of(PowerKey key) const {
    switch (key) {
        case PowerKey::SleepTime:
            return sleepTime;
        case PowerKey::ShortPress:
            return shortPress;
        case PowerKey::PDTime:
            return pdTime;
        default:
            return kSwitchRange;
    }
}

PowerOptions::PowerOptions(std::filesystem::path setIni, PowerRanges ranges)
    : m_path(std::move(setIni)), m_ranges(ranges) {}

PowerValues PowerOptions::Load() const {
    const IniFile ini(m_path);
    PowerValues values;
    for (const PowerKeyInfo& info : kPowerKeys) {
        const int stored = ini.GetInt(kPowerSection, info.name);
        int value = 0;
        switch (info.key) {
            case PowerKey::SleepTime:
            case PowerKey::ShortPress:
            case PowerKey::PDTime:
                value = m_ranges.Of(info.key).Clamp(stored);
                break;
            case PowerKey::LODHeight:
                value = stored == 1 ? 1 : 0;  // 1 selects the second option, anything else the first
                break;
            default:
                value = stored != 0 ? 1 : 0;
                break;
        }
        values.Set(info.key, value);
    }
    return values;
}

std::optional<int> PowerOptions::Write(PowerKey key, int value) const {
    const int kept = m_ranges.Of(key).Clamp(value);
    if (!IniFile(m_path).WriteString(kPowerSection, InfoOf(key).name, std::to_string(kept)))
        return std::nullopt;
    return kept;
}

bool PowerOptions::WriteAll(const std::vector<std::pair<PowerKey, int>>& values) const {
    std::vector<IniEntry> entries;
    for (const auto& [key, value] : values)
        entries.push_back({kPowerSection, InfoOf(key).name, std::to_string(m_ranges.Of(key).Clamp(value))});
    return IniFile(m_path).WriteStrings(entries);
}

bool PowerOptions::WriteReset(const IniFile& deviceFeature) const {
    std::vector<std::pair<PowerKey, int>> values;
    for (const PowerKeyInfo& info : kPowerKeys) {
        // The power-down time and the power-saving switch are not part of the model's reset.
        if (info.key == PowerKey::PDTime || info.key == PowerKey::SavePowerSelect) continue;
        values.emplace_back(info.key, deviceFeature.GetInt("Reset", info.name));
    }
    return WriteAll(values);
}

PowerSettings PowerOptions::ToDevice(const PowerValues& v) {
    PowerSettings power;
    power.sleepMinutes = v.Get(PowerKey::SleepTime);
    power.secondTimeMinutes = v.Get(PowerKey::PDTime);
    power.straightLineCorrectEn = v.Get(PowerKey::StraightLineCorrectEn);
    power.rippleCtrlEn = v.Get(PowerKey::RippleCtrlEn);
    power.jitterCorrectEn = v.Get(PowerKey::JitterCorrectEn);
    power.smoothLineEn = v.Get(PowerKey::SmoothLineEn);
    power.lodHeight = v.Get(PowerKey::LODHeight);
    power.shortPress = v.Get(PowerKey::ShortPress);
    power.moveWakeEn = v.Get(PowerKey::MoveWakeEn);
    power.lightingSwitch = v.Get(PowerKey::SavePowerSelect) != 0;
    return power;
}

PowerChange PowerChangeFor(PowerKey key) {
    switch (key) {
        case PowerKey::SavePowerSelect:
            return {ApplyKind::Lighting, std::nullopt};
        case PowerKey::SleepTime:
            return {ApplyKind::ActiveProfile, SingleSetting::SleepTime};
        case PowerKey::PDTime:
            return {ApplyKind::ActiveProfile, SingleSetting::SecondTime};
        case PowerKey::StraightLineCorrectEn:
        case PowerKey::RippleCtrlEn:
        case PowerKey::JitterCorrectEn:
        case PowerKey::SmoothLineEn:
            return {ApplyKind::ActiveProfile, SingleSetting::OptionA};
        case PowerKey::LODHeight:
            return {ApplyKind::ActiveProfile, SingleSetting::OptionB};
        case PowerKey::ShortPress:
            return {ApplyKind::Params, SingleSetting::ValueB};
        case PowerKey::MoveWakeEn:
            return {ApplyKind::Params, SingleSetting::ValueD};
        case PowerKey::Count:
            break;
    }
    return {ApplyKind::ActiveProfile, std::nullopt};
}

PowerVisibility VisibilityFor(int chip, std::string_view model, bool powerSavingFlag) {
    using enum RowVisibility;
    PowerVisibility v;
    v.savePower = (model == "Pelo" || model == "Pelu" || !powerSavingFlag) ? Hide : Show;
    const auto rows = [&v](RowVisibility straight, RowVisibility ripple, RowVisibility lod,
                           RowVisibility jitter, RowVisibility smooth) {
        v.straightLine = straight;
        v.rippleCtrl = ripple;
        v.lodHeight = lod;
        v.jitterCorrect = jitter;
        v.smoothLine = smooth;
    };
    switch (chip) {
        case 0:
        case 1:
        case 2:
        case 11:
            rows(Hide, Hide, Hide, Hide, Hide);
            break;
        case 9:
        case 10:
            rows(Hide, Hide, Hide, Hide, Show);
            break;
        case 3:
            rows(Show, Hide, Hide, Hide, Hide);
            break;
        case 4:
            rows(Show, Show, Show, Hide, Hide);
            break;
        case 6:
            rows(Show, Show, Show, Hide, Hide);
            v.lodText1 = "1mm";
            v.lodText2 = "2mm";
            break;
        case 7:
            rows(Show, Show, Show, Hide, Hide);
            v.lodText1 = "2mm";
            v.lodText2 = "3mm";
            break;
        case 8:
            rows(Show, Show, Hide, Hide, Hide);
            break;
        case 12:
            rows(Hide, Hide, Show, Show, Hide);
            v.lodText1 = "1mm";
            v.lodText2 = "2mm";
            break;
        default:  // 5, 13 and above, and anything unknown
            rows(Keep, Keep, Keep, Keep, Hide);
            break;
    }
    return v;
}

int KeptInOrder(PowerKey key, int value, const PowerValues& current) {
    if (key == PowerKey::SleepTime) return std::min(value, current.Get(PowerKey::PDTime));
    if (key == PowerKey::PDTime) return std::max(value, current.Get(PowerKey::SleepTime));
    return value;
}

bool TimersInOrder(const PowerValues& values) {
    return values.Get(PowerKey::PDTime) >= values.Get(PowerKey::SleepTime);
}

}  // namespace zor
