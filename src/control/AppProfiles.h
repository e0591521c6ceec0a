// Profiles per application: rules that name, for an application, the mouse profile (0..2) it is
// used with, a default for applications without a rule (or none: the mouse is left as it is)
// and an on/off switch. The rules live in a small file of the user's (AppProfiles.ini, format in
// docs/app-profiles.md); the program's focus follower and zorctl read and edit it through these
// calls, so both refuse the same input with the same words.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/Operations.h"

namespace zor::control {

// The default profile that leaves the mouse as it is.
inline constexpr int kNoAppProfile = -1;
inline constexpr std::size_t kMaxAppProfileRules = 500;
inline constexpr std::size_t kMaxAppIdBytes = 255;
inline constexpr std::uint64_t kMaxAppProfilesFileBytes = 256u * 1024u;

struct AppProfileRule {
    std::string appId;  // as the user gave it (trimmed); matched by NormalAppId
    int profile = 0;
};

struct AppProfileRules {
    bool enabled = false;
    int defaultProfile = kNoAppProfile;
    std::vector<AppProfileRule> rules;

    // The rule of this application id (any case, with or without ".desktop"), or null.
    const AppProfileRule* Find(std::string_view appId) const;
    // The profile for the focused application, known by its ids in order of preference (the
    // X11 instance name, then its class; a Wayland app_id or a desktop-file id alone): the
    // first id with a rule decides, else the default. kNoAppProfile: leave the mouse alone
    // (also while the rules are switched off).
    int ProfileFor(const std::vector<std::string>& appIds) const;

    // Edits in memory; a refusal changes nothing.
    OpResult Add(std::string_view appId, int profile);  // replaces the profile of a known id
    OpResult Remove(std::string_view appId);
    OpResult SetDefault(int profile);  // 0..2 or kNoAppProfile
};

// An application id as rules compare it: trimmed, ASCII letters in lower case, a trailing
// ".desktop" dropped (so a desktop-file id matches the id it names).
std::string NormalAppId(std::string_view appId);
// Why appId cannot be a rule's id, or "": empty, too long, a control character or '='.
std::string AppIdProblem(std::string_view appId);
// "0", "1", "2" (and "none" when allowNone) as a profile; nullopt for anything else.
std::optional<int> ParseAppProfile(std::string_view text, bool allowNone);
// "none" or the profile's digit.
std::string AppProfileText(int profile);

struct AppProfilesRead {
    bool ok = true;
    AppProfileRules rules;
    std::string error;  // why the text or file was refused (line named)
};
// The file's text; anything unknown or out of range is refused, never guessed.
AppProfilesRead ParseAppProfiles(std::string_view text);
std::string FormatAppProfiles(const AppProfileRules& rules);

// The rules in the file; a missing file is the empty set of rules, switched off.
AppProfilesRead LoadAppProfiles(const std::filesystem::path& file);
bool SaveAppProfiles(const std::filesystem::path& file, const AppProfileRules& rules, std::string* error);
// Loads the file, applies edit and saves the result; refused (file untouched) when the file
// cannot be read or the edit refuses.
OpResult EditAppProfiles(const std::filesystem::path& file,
                         const std::function<OpResult(AppProfileRules&)>& edit);

}  // namespace zor::control
