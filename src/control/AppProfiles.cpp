#include "control/AppProfiles.h"

#include <algorithm>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/DataFile.h"
#include "common/Text.h"
#include "config/MouseConfig.h"

namespace zor::control {
namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";
constexpr std::string_view kMainSection = "AppProfiles";
constexpr std::string_view kRulesSection = "Rules";

std::string ProfileRange() {
    return Format("0..%d", kConfigProfiles - 1);
}

}  // namespace

std::string NormalAppId(std::string_view appId) {
    std::string id = ToLowerAscii(TrimView(appId));
    if (id.size() > kDesktopSuffix.size() && id.ends_with(kDesktopSuffix))
        id.resize(id.size() - kDesktopSuffix.size());
    return id;
}

std::string AppIdProblem(std::string_view appId) {
    const std::string_view id = TrimView(appId);
    if (id.empty()) return "the application id is empty";
    if (id.size() > kMaxAppIdBytes)
        return Format("the application id is longer than %u bytes", kMaxAppIdBytes);
    if (std::any_of(id.begin(), id.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return "the application id holds a control character";
    if (id.find('=') != std::string_view::npos) return "the application id holds '='";
    if (id.front() == ';' || id.front() == '#' || id.front() == '[')
        return "the application id starts with ';', '#' or '['";
    return {};
}

std::optional<int> ParseAppProfile(std::string_view text, bool allowNone) {
    const std::string_view t = TrimView(text);
    if (allowNone && EqualsIgnoreCaseAscii(t, "none")) return kNoAppProfile;
    if (t.size() != 1 || t[0] < '0' || t[0] >= '0' + kConfigProfiles) return std::nullopt;
    return t[0] - '0';
}

std::string AppProfileText(int profile) {
    return profile == kNoAppProfile ? std::string("none") : std::to_string(profile);
}

const AppProfileRule* AppProfileRules::Find(std::string_view appId) const {
    const std::string id = NormalAppId(appId);
    if (id.empty()) return nullptr;
    for (const AppProfileRule& rule : rules)
        if (NormalAppId(rule.appId) == id) return &rule;
    return nullptr;
}

int AppProfileRules::ProfileFor(const std::vector<std::string>& appIds) const {
    if (!enabled) return kNoAppProfile;
    for (const std::string& id : appIds)
        if (const AppProfileRule* rule = Find(id)) return rule->profile;
    return defaultProfile;
}

OpResult AppProfileRules::Add(std::string_view appId, int profile) {
    if (std::string problem = AppIdProblem(appId); !problem.empty()) return OpResult::Refuse(problem);
    if (profile < 0 || profile >= kConfigProfiles)
        return OpResult::Refuse(Format("profile %d is not %s", profile, ProfileRange()));
    for (AppProfileRule& rule : rules) {
        if (NormalAppId(rule.appId) != NormalAppId(appId)) continue;
        rule.profile = profile;
        return {};
    }
    if (rules.size() >= kMaxAppProfileRules)
        return OpResult::Refuse(Format("there are already %u rules", kMaxAppProfileRules));
    rules.push_back({Trim(appId), profile});
    return {};
}

OpResult AppProfileRules::Remove(std::string_view appId) {
    const AppProfileRule* rule = Find(appId);
    if (rule == nullptr) return OpResult::Refuse("no rule for \"" + PrintableText(appId, 80) + "\"");
    rules.erase(rules.begin() + (rule - rules.data()));
    return {};
}

OpResult AppProfileRules::SetDefault(int profile) {
    if (profile != kNoAppProfile && (profile < 0 || profile >= kConfigProfiles))
        return OpResult::Refuse(Format("profile %d is not %s or none", profile, ProfileRange()));
    defaultProfile = profile;
    return {};
}

AppProfilesRead ParseAppProfiles(std::string_view text) {
    AppProfilesRead read;
    AppProfileRules& rules = read.rules;
    const auto refuse = [&read](int line, const std::string& why) {
        read.ok = false;
        read.rules = {};
        read.error = Format("line %d: %s", line, why);
        return read;
    };
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::string_view section;
    bool seenEnabled = false;
    bool seenDefault = false;
    int number = 0;
    for (const std::string& raw : Split(text, '\n')) {
        ++number;
        const std::string_view line = TrimView(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::string_view name = line.back() == ']' ? TrimView(line.substr(1, line.size() - 2)) : "";
            if (EqualsIgnoreCaseAscii(name, kMainSection))
                section = kMainSection;
            else if (EqualsIgnoreCaseAscii(name, kRulesSection))
                section = kRulesSection;
            else
                return refuse(number, "unknown section " + PrintableText(line, 80));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return refuse(number, "not KEY=VALUE");
        const std::string_view key = TrimView(line.substr(0, eq));
        const std::string_view value = TrimView(line.substr(eq + 1));
        if (section == kRulesSection) {
            if (std::string problem = AppIdProblem(key); !problem.empty()) return refuse(number, problem);
            const std::optional<int> profile = ParseAppProfile(value, false);
            if (!profile) return refuse(number, "the profile is not " + ProfileRange());
            if (rules.Find(key) != nullptr)
                return refuse(number, "a second rule for \"" + PrintableText(key, 80) + "\"");
            if (rules.rules.size() >= kMaxAppProfileRules)
                return refuse(number, Format("more than %u rules", kMaxAppProfileRules));
            rules.rules.push_back({std::string(key), *profile});
        } else if (section == kMainSection && EqualsIgnoreCaseAscii(key, "Enabled") && !seenEnabled) {
            if (value != "0" && value != "1") return refuse(number, "Enabled is not 0 or 1");
            rules.enabled = value == "1";
            seenEnabled = true;
        } else if (section == kMainSection && EqualsIgnoreCaseAscii(key, "Default") && !seenDefault) {
            const std::optional<int> profile = ParseAppProfile(value, true);
            if (!profile) return refuse(number, "Default is not " + ProfileRange() + " or none");
            rules.defaultProfile = *profile;
            seenDefault = true;
        } else {
            return refuse(number, "unknown or repeated key \"" + PrintableText(key, 80) + "\"");
        }
    }
    return read;
}

std::string FormatAppProfiles(const AppProfileRules& rules) {
    std::string text = "; Profiles per application, written by the program (see docs/app-profiles.md).\n";
    text += "[AppProfiles]\n";
    text += std::string("Enabled=") + (rules.enabled ? "1" : "0") + "\n";
    text += "Default=" + AppProfileText(rules.defaultProfile) + "\n";
    text += "[Rules]\n";
    for (const AppProfileRule& rule : rules.rules)
        text += rule.appId + "=" + std::to_string(rule.profile) + "\n";
    return text;
}

AppProfilesRead LoadAppProfiles(const std::filesystem::path& file) {
    std::string text;
    const ReadFault fault = ReadDataFile(file, text, kMaxAppProfilesFileBytes);
    if (fault == ReadFault::Missing) return {};
    if (fault != ReadFault::None)
        return {false, {}, DescribeReadFault(file, fault, kMaxAppProfilesFileBytes)};
    AppProfilesRead read = ParseAppProfiles(text);
    if (!read.ok) read.error = file.string() + " " + read.error;
    return read;
}

bool SaveAppProfiles(const std::filesystem::path& file, const AppProfileRules& rules, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return WriteFileAtomic(file, FormatAppProfiles(rules), error);
}

OpResult EditAppProfiles(const std::filesystem::path& file,
                         const std::function<OpResult(AppProfileRules&)>& edit) {
    AppProfilesRead read = LoadAppProfiles(file);
    if (!read.ok) return OpResult::Refuse(read.error + "; it is left as it is");
    OpResult result = edit(read.rules);
    if (result.outcome == OpResult::Outcome::Refused) return result;
    std::string error;
    if (!SaveAppProfiles(file, read.rules, &error))
        return OpResult::Refuse("cannot write " + file.string() + (error.empty() ? "" : ": " + error));
    return result;
}

}  // namespace zor::control
