// Exchange files of the macro library: one group per ".Macro.Config" file, import under fresh group
// ids, and the reset to the factory library.
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/Guid.h"
#include "common/JsonText.h"
#include "common/Text.h"
#include "macro/MacroStore.h"

namespace zor {

using nlohmann::json;

namespace {

constexpr const char* kGroups = "MacroGrpInfo";

}  // namespace

MacroResult MacroStore::ExportGroup(int g, const std::filesystem::path& path) const {
    if (!group(g) || !m_doc.is_object() || !m_doc.contains(kGroups) || !m_doc[kGroups].is_array() ||
        static_cast<std::size_t>(g) >= m_doc[kGroups].size())
        return MacroResult::Fail();
    json copy = m_doc[kGroups][static_cast<std::size_t>(g)];
    if (copy.is_object() && copy.contains("MacroInfo") && copy["MacroInfo"].is_array()) {
        for (json& mo : copy["MacroInfo"]) {
            if (!mo.is_object()) continue;
            mo["BindKeys"] = 0;
            mo.erase("BindKeysInfo");
        }
    }
    std::string error;
    if (!WriteFileAtomic(path, Serialise(copy), &error)) return MacroResult::Fail(error);
    return {};
}

MacroImportOutcome MacroStore::ImportGroups(const std::vector<std::filesystem::path>& paths) {
    MacroImportOutcome outcome;
    Flush();
    // Work on a copy: a file that is not JSON stops the import with the live document untouched.
    json doc = m_doc.is_object() ? m_doc : json::object();
    std::vector<std::u16string> names;
    for (const MacroGroup& grp : m_groups) names.push_back(grp.name);
    for (const auto& path : paths) {
        std::string bytes;
        if (!ReadFileBytes(path, bytes, kMaxLibraryBytes)) {
            outcome.refused.push_back(path);
            continue;
        }
        json object;
        try {
            object = ParseJson(bytes);
        } catch (const json::exception& e) {
            DebugF("%s\n", e.what());
            outcome.stoppedAt = path;
            outcome.error = e.what();
            return outcome;
        }
        if (!object.is_object() || !object.contains("GrpName")) {
            outcome.refused.push_back(path);
            continue;
        }
        json group;
        try {
            // A group the store could not read back is refused here rather than breaking the
            // live file for every later load. What is kept is the group as the store reads it:
            // members it does not know (of any size or depth) never reach the library.
            MacroGroup parsed = ParseGroup(object);
            parsed.name = UniqueName(parsed.name, names);
            parsed.guid = NewGuidText();
            group = GroupToJson(parsed);
            group["ForbidView"] = object["ForbidView"];  // as given; 0 when it was missing
            names.push_back(parsed.name);
        } catch (const json::exception& e) {
            DebugF("%s\n", e.what());
            outcome.refused.push_back(path);
            continue;
        }
        json& groups = doc[kGroups];
        if (!groups.is_array()) groups = json::array();
        groups.push_back(std::move(group));
        ++outcome.imported;
    }
    if (outcome.imported == 0) return outcome;
    m_doc = std::move(doc);
    MacroResult saved = SaveNow();
    if (!saved.ok) {
        outcome.error = saved.message;
        Load(m_path);
        return outcome;
    }
    outcome.saved = true;
    Load(m_path);
    return outcome;
}

MacroResult MacroStore::Reset(const std::filesystem::path& factoryPath) {
    if (m_path.empty()) return MacroResult::Fail("no macro file");
    // The ".bak" copy is the library with every change made so far.
    Flush();
    std::filesystem::path bak = m_path;
    bak += ".bak";
    std::string error;
    std::error_code ec;
    const bool factoryThere =
        std::filesystem::symlink_status(factoryPath, ec).type() != std::filesystem::file_type::not_found;
    if (!factoryThere) {
        // No factory library: the old document goes to ".bak" and the live file keeps no groups.
        if (m_unreadable)
            return MacroResult::Fail(m_path.string() + " could not be read and is left as it is");
        MacroResult r = writeDocument(bak, m_doc);
        if (!r.ok) return r;
        if (m_doc.is_object()) m_doc.erase(kGroups);
        r = SaveNow();
        if (!r.ok) return r;
        return Load(m_path);
    }
    // A factory file that is there must be usable: one that cannot be read or is damaged fails
    // the reset and leaves the live library as it is.
    std::string factory;
    if (!ReadFileBytes(factoryPath, factory, kMaxLibraryBytes))
        return MacroResult::Fail("cannot read the factory macro file: " +
                                 ReadFailure(factoryPath, kMaxLibraryBytes));
    MacroStore probe;
    if (const MacroResult check = probe.Load(factoryPath); !check.ok)
        return MacroResult::Fail("the factory macro file is damaged: " + check.message);
    if (m_unreadable) {
        // Too large or without rights to read: moved aside whole rather than copied.
        if (!MoveAsideAsBad(m_path, &error)) return MacroResult::Fail(error);
        m_unreadable = false;
    } else {
        std::string live;
        if (ReadFileBytes(m_path, live, kMaxLibraryBytes) && !WriteFileAtomic(bak, live, &error))
            return MacroResult::Fail(error);
        if (m_badPending && !KeepBadCopy(m_path, m_badBytes, &error)) return MacroResult::Fail(error);
    }
    m_badPending = false;
    m_badBytes.clear();
    std::filesystem::create_directories(m_path.parent_path(), ec);
    if (!WriteFileAtomic(m_path, factory, &error)) return MacroResult::Fail(error);
    return Load(m_path);
}

}  // namespace zor
