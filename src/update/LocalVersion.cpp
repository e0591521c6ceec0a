#include "update/LocalVersion.h"

#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"

namespace zor::update {
namespace {

constexpr std::size_t kFileCap = 64 * 1024;

template <typename T>
std::optional<T> Fail(std::string* error, std::string why) {
    if (error != nullptr) *error = std::move(why);
    return std::nullopt;
}

const nlohmann::json* Member(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<std::string> Text(const nlohmann::json& object, const char* key) {
    const nlohmann::json* value = Member(object, key);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

}  // namespace

std::optional<LocalVersion> LoadLocalVersion(const std::filesystem::path& path, std::string* error) {
    std::string text;
    if (!ReadFileBytes(path, text, kFileCap))
        return Fail<LocalVersion>(error, "cannot read " + path.string());
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    const nlohmann::json* local = json.is_discarded() ? nullptr : Member(json, "LocalVersion");
    if (local == nullptr || !local->is_object())
        return Fail<LocalVersion>(error, path.string() + " has no \"LocalVersion\" object");
    const auto current = Text(*local, "CurVersion");
    const auto server = Text(*local, "SeverCenterURL");
    if (!current || !server)
        return Fail<LocalVersion>(error, path.string() + " lacks \"CurVersion\" or \"SeverCenterURL\"");
    LocalVersion out{*current, *server, Text(*local, "InstallerURL").value_or(kDefaultInstallerUrl)};
    if (out.installerUrl.empty()) out.installerUrl = kDefaultInstallerUrl;
    return out;
}

std::optional<std::string> ParseServerMaxVersion(const std::string& text, std::string* error) {
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    const nlohmann::json* server = json.is_discarded() ? nullptr : Member(json, "SeverVersion");
    if (server == nullptr) return Fail<std::string>(error, "no \"SeverVersion\" object");
    auto max = Text(*server, "MaxVersion");
    if (!max) return Fail<std::string>(error, "no \"SeverVersion\".\"MaxVersion\" text");
    return max;
}

std::optional<std::string> LoadServerMaxVersion(const std::filesystem::path& path, std::string* error) {
    std::string text;
    if (!ReadFileBytes(path, text, kFileCap)) return Fail<std::string>(error, "cannot read " + path.string());
    return ParseServerMaxVersion(text, error);
}

}  // namespace zor::update
