// Exchange files of the macro library: one group per ".Macro.Config" file, import under fresh group
// ids, and the reset to the factory library.
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/Guid.h"
#include "common/Text.h"
#include "macro/MacroStore.h"

namespace zor {

using nlohmann::json;

namespace {

constexpr const char* kGroups = "MacroGrpInfo";

json UnitsToJson(std::u16string_view text) {
    json array = json::array();
    for (char16_t unit : text) array.push_back(static_cast<unsigned>(unit));
    return array;
}

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
            object = json::parse(bytes);
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
        try {
            // A group the store could not read back is refused here rather than breaking the
            // live file for every later load.
            json probe = object;
            MacroGroup parsed = ParseGroup(probe);
            std::u16string name = UniqueName(parsed.name, names);
            object["GrpName"] = UnitsToJson(name);
            object["GrpGuid"] = NewGuidText();
            if (!object.contains("ForbidView")) object["ForbidView"] = 0;
            names.push_back(name);
        } catch (const json::exception& e) {
            DebugF("%s\n", e.what());
            outcome.refused.push_back(path);
            continue;
        }
        json& groups = doc[kGroups];
        if (!groups.is_array()) groups = json::array();
        groups.push_back(std::move(object));
        ++outcome.imported;
    }
    if (outcome.imported == 0) return outcome;
    m_doc = std::move(doc);
    MacroResult saved = Save();
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
    if (m_unreadable) return MacroResult::Fail(m_path.string() + " could not be read and is left as it is");
    std::filesystem::path bak = m_path;
    bak += ".bak";
    std::string factory;
    std::string error;
    if (ReadFileBytes(factoryPath, factory, kMaxLibraryBytes)) {
        if (!json::accept(factory)) return MacroResult::Fail("the factory macro file is damaged");
        std::string live;
        if (ReadFileBytes(m_path, live, kMaxLibraryBytes) && !WriteFileAtomic(bak, live, &error))
            return MacroResult::Fail(error);
        std::error_code ec;
        std::filesystem::create_directories(m_path.parent_path(), ec);
        if (!WriteFileAtomic(m_path, factory, &error)) return MacroResult::Fail(error);
        m_badPending = false;
    } else {
        MacroResult r = writeDocument(bak, m_doc);
        if (!r.ok) return r;
        if (m_doc.is_object()) m_doc.erase(kGroups);
        r = Save();
        if (!r.ok) return r;
    }
    return Load(m_path);
}

}  // namespace zor
