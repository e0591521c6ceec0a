#include "config/ConfigExchange.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/DataFile.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/JsonText.h"
#include "common/Text.h"
#include "config/DeviceFeature.h"
#include "config/MouseConfig.h"

namespace zor {

using nlohmann::json;

namespace {

// The largest file an import reads: far above any configuration.
constexpr std::uint64_t kMaxImportBytes = 64u * 1024u * 1024u;

char16_t Fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

ConfigExchangeResult Fail(ExchangeOutcome outcome, std::string error = {}) {
    if (!error.empty()) DebugF("%s\n", error);
    return {0, outcome, std::move(error)};
}

// Highest key function id: keyboard keys are 256 + a one-byte usage.
constexpr int kLastKeyFunction = 256 + 0xFF;
constexpr int kByteMax = 0xFF;

}  // namespace

ConfigLimits LimitsOfModel(const std::filesystem::path& modelFolder, int rateCount) {
    ConfigLimits limits;
    limits.rateCount = rateCount;
    const std::filesystem::path path = DeviceFeaturePath(modelFolder);
    std::string text;
    if (!ReadFileBytes(path, text, 4u * 1024u * 1024u)) return limits;
    const IniFile ini(path);
    // Every "[Chip<n>]" section: the mouse may carry any of the sensors.
    for (const std::string& raw : Split(text, '\n')) {
        const std::string line = ToLowerAscii(Trim(raw));
        if (line.size() < 7 || line.compare(0, 5, "[chip") != 0 || line.back() != ']') continue;
        const std::string digits = line.substr(5, line.size() - 6);
        if (digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string section = "Chip" + std::to_string(ParseLeadingInt(digits));
        limits.dpiMax = std::max(limits.dpiMax, ini.GetInt(section, "GEAR_MAX_VALUE"));
    }
    return limits;
}

ConfigLimits LimitsOfFeature(const DeviceFeatureRecord& feature, int rateCount) {
    ConfigLimits limits;
    limits.dpiMax = feature.dpiMax;
    limits.rateCount = rateCount;
    return limits;
}

std::string CheckConfigLimits(const MouseConfigDocument& document, const ConfigLimits& limits) {
    const int dpiMax = limits.dpiMax > 0 ? limits.dpiMax : 0xFFFF;
    for (std::size_t p = 0; p < document.adv.size(); ++p) {
        const doc::MouseAdvSettings& a = document.adv[p];
        const std::string where = Format("profile %d: ", static_cast<int>(p));
        for (std::size_t g = 0; g < a.gears.size(); ++g) {
            const int value = a.gears[g].value;
            if (value < 0 || value > dpiMax)
                return where +
                       Format("DPI %d of gear %d is outside 1..%d", value, static_cast<int>(g), dpiMax);
        }
        if (a.cruseldpi < 0 || a.cruseldpi >= kDpiGearCount)
            return where + Format("current gear %d is outside 0..%d", a.cruseldpi, kDpiGearCount - 1);
        const std::pair<const char*, int> rates[] = {{"rateusbvalue", a.rateusbvalue},
                                                     {"ratedonglevalue", a.ratedonglevalue},
                                                     {"rateblevalue", a.rateblevalue}};
        for (const auto& [name, value] : rates) {
            if (value < 0 || value >= limits.rateCount)
                return where + Format("%s %d is outside 0..%d", name, value, limits.rateCount - 1);
        }
        if (a.firevalue < 0 || a.firevalue > kByteMax)
            return where + Format("fire value %d is outside 0..%d", a.firevalue, kByteMax);
    }
    for (std::size_t p = 0; p < document.led.size(); ++p) {
        const std::string where = Format("profile %d: ", static_cast<int>(p));
        for (std::size_t m = 0; m < document.led[p].size(); ++m) {
            const doc::LedModeSettings& s = document.led[p][m];
            if (s.curselmode < 0 || s.curselmode >= kLedModes)
                return where + Format("lighting mode %d is outside 0..%d", s.curselmode, kLedModes - 1);
            for (int level : {s.brightnessvalue, s.frequencyvalue, s.directionsel}) {
                if (level < 0 || level > kByteMax)
                    return where + Format("lighting level %d of mode %d is outside 0..%d", level,
                                          static_cast<int>(m), kByteMax);
            }
        }
    }
    for (std::size_t t = 0; t < document.keyTables.size(); ++t) {
        bool leftClick = false;
        for (const auto& [name, key] : document.keyTables[t]) {
            if (key.code < 0 || key.code > kLastKeyFunction)
                return Format("key table %d: function %d of %s is outside 0..%d", static_cast<int>(t),
                              key.code, name, kLastKeyFunction);
            if (key.code == 1) leftClick = true;
        }
        // The key page never lets the last left click go; an import may not either.
        if (!leftClick) return Format("key table %d: no button keeps the left click", static_cast<int>(t));
    }
    return {};
}

bool SameModelName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

ConfigExchangeResult ExportConfig(const std::filesystem::path& target,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName) {
    if (target.empty()) return Fail(ExchangeOutcome::CannotOpen);
    std::string bytes;
    if (!ReadFileBytes(MouseConfigPath(modelFolder), bytes)) return Fail(ExchangeOutcome::CannotOpen);
    json root;
    try {
        root = ParseJson(bytes);
    } catch (const json::exception& e) {
        return Fail(ExchangeOutcome::NotJson, e.what());
    }
    if (!root.is_object()) return Fail(ExchangeOutcome::BadDocument);
    json units = json::array();
    for (char16_t unit : modelName) units.push_back(static_cast<unsigned>(unit));
    root["MouseName"] = std::move(units);
    std::string error;
    if (!WriteFileAtomic(target, root.dump(4, ' ', false, json::error_handler_t::replace), &error))
        return Fail(ExchangeOutcome::WriteFailed, error);
    return {1, ExchangeOutcome::Done, {}};
}

ConfigExchangeResult ImportConfig(const std::filesystem::path& source,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName) {
    return ImportConfig(source, modelFolder, modelName, LimitsOfModel(modelFolder));
}

ConfigExchangeResult ImportConfig(const std::filesystem::path& source,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName,
                                  const ConfigLimits& limits) {
    std::string bytes;
    if (source.empty()) return Fail(ExchangeOutcome::CannotOpen);
    if (const ReadFault fault = ReadDataFile(source, bytes, kMaxImportBytes); fault != ReadFault::None)
        return Fail(ExchangeOutcome::CannotOpen, DescribeReadFault(source, fault, kMaxImportBytes));
    json root;
    try {
        root = ParseJson(bytes);
    } catch (const json::exception& e) {
        return Fail(ExchangeOutcome::NotJson, e.what());
    }
    if (!root.is_object() || !root.contains("MouseName")) return Fail(ExchangeOutcome::ImportErr);
    std::u16string name;
    try {
        const json& units = root["MouseName"];
        if (!units.is_array()) units.get<std::uint16_t>();  // a lone string is a type error
        for (const json& unit : units) {
            if (unit.is_number_float()) {
                const double d = unit.get<double>();
                name.push_back(d > -1e9 && d < 1e9 ? static_cast<char16_t>(static_cast<std::int64_t>(d))
                                                   : u'\0');
            } else {
                name.push_back(static_cast<char16_t>(unit.get<std::int64_t>()));
            }
        }
    } catch (const json::exception& e) {
        return Fail(ExchangeOutcome::BadModelName, e.what());
    }
    // A file for another model changes nothing; that is reported as a refusal, not a success,
    // so that no reload and push follow.
    if (!SameModelName(name, modelName)) return Fail(ExchangeOutcome::ImportErr);
    MouseConfigDocument probe;
    ConfigResult check = probe.FromJson(root);
    if (!check.ok) return Fail(ExchangeOutcome::BadDocument, check.error);
    if (std::string range = CheckConfigLimits(probe, limits); !range.empty())
        return Fail(ExchangeOutcome::ImportErr, std::move(range));
    std::string error;
    const std::string clean = probe.ToJson().dump(4, ' ', false, json::error_handler_t::replace);
    if (!WriteFileAtomic(MouseConfigPath(modelFolder), clean, &error))
        return Fail(ExchangeOutcome::WriteFailed, error);
    return {1, ExchangeOutcome::Done, {}};
}

}  // namespace zor
