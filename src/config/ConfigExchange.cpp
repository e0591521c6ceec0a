#include "config/ConfigExchange.h"

#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "config/MouseConfig.h"

namespace zor {

using nlohmann::json;

namespace {

char16_t Fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

ConfigExchangeResult Fail(ExchangeOutcome outcome, std::string error = {}) {
    if (!error.empty()) DebugF("%s\n", error);
    return {0, outcome, std::move(error)};
}

}  // namespace

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
        root = json::parse(bytes);
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
    std::string bytes;
    if (source.empty() || !ReadFileBytes(source, bytes)) return Fail(ExchangeOutcome::CannotOpen);
    json root;
    try {
        root = json::parse(bytes);
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
    std::string error;
    if (!WriteFileAtomic(MouseConfigPath(modelFolder), bytes, &error))
        return Fail(ExchangeOutcome::WriteFailed, error);
    return {1, ExchangeOutcome::Done, {}};
}

}  // namespace zor
