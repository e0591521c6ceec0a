#include "macro/MacroStore.h"

#include <algorithm>
#include <set>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/Guid.h"
#include "common/JsonText.h"
#include "common/Text.h"
#include "macro/LibraryWriter.h"

namespace zor {

using nlohmann::json;

namespace {

constexpr const char* kGroups = "MacroGrpInfo";

// Member lookup that yields null for a missing member, so that the library reports the
// missing value as "type must be number, but is null" the same way as a wrong type.
const json& Member(const json& object, const char* key) {
    static const json kNull;
    if (!object.is_object()) return kNull;
    auto it = object.find(key);
    return it == object.end() ? kNull : *it;
}

// A number read into the field of type T. One the field cannot hold (2^63 in a counter, a
// negative count, a code unit above 0xFFFF) is damage, refused with JsonRangeError like a wrong
// type: narrowing it would turn it into another value that the next save writes back. A float is
// truncated toward zero; a boolean is 0 or 1.
template <typename T>
T Narrow(const json& value) {
    if (value.is_boolean()) return static_cast<T>(value.get<bool>() ? 1 : 0);
    // Anything else that is not a number throws the library's "type must be number" error.
    return JsonInteger<T>(value);
}

std::u16string ReadUnits(const json& array) {
    std::u16string out;
    if (array.is_null()) return out;
    if (!array.is_array()) {
        // A lone number is one unit, as iterating a plain value yields it once; text is an error.
        out.push_back(static_cast<char16_t>(Narrow<std::uint16_t>(array)));
        return out;
    }
    out.reserve(array.size());
    for (const json& unit : array) out.push_back(static_cast<char16_t>(Narrow<std::uint16_t>(unit)));
    return out;
}

json UnitsToJson(std::u16string_view text) {
    json array = json::array();
    for (char16_t unit : text) array.push_back(static_cast<unsigned>(unit));
    return array;
}

// ForbidView: boolean or number; missing is false and is written back as the integer 0.
bool ReadForbidView(json& object) {
    auto it = object.find("ForbidView");
    if (it == object.end() || it->is_null()) {
        object["ForbidView"] = 0;
        return false;
    }
    if (it->is_boolean()) return it->get<bool>();
    if (it->is_number()) return it->get<double>() != 0;
    return it->get<bool>();  // throws the library's type error
}

template <typename T, std::size_t N>
void ReadColumn(const json& column, std::array<T, N>& out) {
    out.fill(T{});
    if (!column.is_array()) column.get<std::vector<int>>();  // throws "type must be array, ..."

    const std::size_t n = std::min(column.size(), N);
    for (std::size_t i = 0; i < n; ++i) out[i] = Narrow<T>(column[i]);
}

template <typename T, std::size_t N>
json ColumnToJson(const std::array<T, N>& column) {
    json array = json::array();
    for (const T& v : column) array.push_back(v);
    return array;
}

// Index of the data block that the lighting (or type-251) event at position uses: events of
// that code before it, in order.
int OrdinalOf(const MacroDeviceBlock& b, int position, std::uint8_t code) {
    int k = 0;
    for (int i = 0; i < position; ++i)
        if (b.macVal[static_cast<std::size_t>(i)] == code) ++k;
    return k;
}

template <std::size_t W, std::size_t N>
void RemoveBlock(std::array<std::array<std::uint8_t, W>, N>& blocks, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) return;
    for (std::size_t i = static_cast<std::size_t>(index); i + 1 < N; ++i) blocks[i] = blocks[i + 1];
    blocks[N - 1].fill(0);
}

void CountEvent(MacroDeviceBlock& b, std::uint8_t code, int delta) {
    auto adjust = [delta](auto& counter) {
        if (delta > 0) {
            ++counter;
        } else if (counter > 0) {
            --counter;
        }
    };
    switch (code) {
        case 246:
            adjust(b.numXY);
            break;
        case 247:
            adjust(b.numWhl);
            break;
        case kMacCodeDpi:
            adjust(b.numCpi);
            break;
        case kMacCodeLighting:
            adjust(b.numLed);
            break;
        case 250:
            adjust(b.numMedia);
            break;
        case 251:
            adjust(b.num251);
            break;
        default:
            break;
    }
}

bool IsAllDigits(std::u16string_view text) {
    if (text.empty()) return false;
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

std::u16string UniqueName(std::u16string_view base, const std::vector<std::u16string>& scope) {
    bool baseUsed = false;
    std::set<long long> used;
    for (const std::u16string& name : scope) {
        if (name.size() < base.size() || std::u16string_view(name).substr(0, base.size()) != base) continue;
        std::u16string_view rest = std::u16string_view(name).substr(base.size());
        if (rest.empty()) {
            baseUsed = true;
        } else if (IsAllDigits(rest) && rest.size() <= 12) {
            long long n = 0;
            for (char16_t c : rest) n = n * 10 + (c - u'0');
            used.insert(n);
        }
    }
    if (!baseUsed) return std::u16string(base);
    long long n = 1;
    for (long long u : used) {
        if (u < n) continue;
        if (u > n) break;
        ++n;
    }
    return std::u16string(base) + Utf8ToUtf16(std::to_string(n));
}

std::uint8_t ApplyLoopMode(std::uint8_t rptType, std::string_view optionName) {
    if (optionName == kOptCycleUntilRelease) return static_cast<std::uint8_t>((rptType & ~0x07) + 1);
    if (optionName == kOptCycleUntilClick) return static_cast<std::uint8_t>((rptType & ~0x07) + 2);
    return static_cast<std::uint8_t>(rptType & ~0x0B);
}

// ---- JSON <-> records ------------------------------------------------------------------------

void MacroStore::MacDataFromJson(const json& d, MacroDeviceBlock& b) {
    b = MacroDeviceBlock{};
    b.rptType = Narrow<std::uint8_t>(Member(d, "rptType"));
    b.macRpt = Narrow<std::uint16_t>(Member(d, "macRpt"));
    b.num = Narrow<std::uint16_t>(Member(d, "num"));
    b.numXY = Narrow<std::uint16_t>(Member(d, "numXY"));
    b.numWhl = Narrow<std::uint16_t>(Member(d, "numWhl"));
    b.numCpi = Narrow<std::uint16_t>(Member(d, "numCpi"));
    b.numMedia = Narrow<std::uint16_t>(Member(d, "numMedia"));
    b.numLed = Narrow<std::uint8_t>(Member(d, "numLed"));
    b.yStepEn = Narrow<std::uint8_t>(Member(d, "YStepEn"));
    b.yStep = Narrow<std::uint8_t>(Member(d, "YStep"));
    ReadColumn(Member(d, "macSta"), b.macSta);
    ReadColumn(Member(d, "macVal"), b.macVal);
    ReadColumn(Member(d, "macDly"), b.macDly);
    const json& ext = Member(d, "extVal");
    if (!ext.is_array()) ext.get<std::vector<int>>();  // type error
    const std::size_t n = std::min<std::size_t>(ext.size(), kMacroMaxEvents);
    for (std::size_t i = 0; i < n; ++i) {
        const json& pair = ext[i];
        if (!pair.is_array()) pair.get<std::vector<int>>();
        for (std::size_t k = 0; k < 2 && k < pair.size(); ++k) b.extVal[i][k] = Narrow<std::int16_t>(pair[k]);
    }
    // Every reader of the block walks events 0..num-1 of 500-entry columns.
    if (b.num > kMacroMaxEvents) b.num = kMacroMaxEvents;
}

json MacroStore::MacDataToJson(const MacroDeviceBlock& b) {
    json d = json::object();
    d["rptType"] = b.rptType;
    d["macRpt"] = b.macRpt;
    d["num"] = b.num;
    d["numXY"] = b.numXY;
    d["numWhl"] = b.numWhl;
    d["numCpi"] = b.numCpi;
    d["numMedia"] = b.numMedia;
    d["numLed"] = b.numLed;
    d["YStepEn"] = b.yStepEn;
    d["YStep"] = b.yStep;
    d["macSta"] = ColumnToJson(b.macSta);
    d["macVal"] = ColumnToJson(b.macVal);
    json ext = json::array();
    for (const auto& pair : b.extVal) ext.push_back(json::array({pair[0], pair[1]}));
    d["extVal"] = std::move(ext);
    d["macDly"] = ColumnToJson(b.macDly);
    return d;
}

MacroGroup MacroStore::ParseGroup(json& object) {
    MacroGroup group;
    group.name = ReadUnits(Member(object, "GrpName"));
    group.guid = Member(object, "GrpGuid").get<std::string>();
    group.forbidView = ReadForbidView(object);
    auto infos = object.find("MacroInfo");
    if (infos == object.end() || infos->is_null()) return group;
    if (!infos->is_array()) infos->get<std::vector<int>>();  // not a list of macros: type error
    for (json& mo : *infos) {
        if (!mo.is_object()) mo.get<std::string>();  // a macro must be an object: type error
        MacroRecord rec;
        rec.guid = Member(mo, "MacroGuid").get<std::string>();
        rec.forbidView = ReadForbidView(mo);
        rec.name = ReadUnits(Member(mo, "MacroName"));
        const json& bindKeys = Member(mo, "BindKeys");
        rec.bindCount = bindKeys.is_null() ? 0 : Narrow<std::uint32_t>(bindKeys);
        const json& info = Member(mo, "BindKeysInfo");
        if (info.is_array()) {
            for (const json& entry : info) {
                std::u16string device = ReadUnits(Member(entry, "BindDeviceName"));
                auto& list = rec.bindings[device];
                const json& data = Member(entry, "BindKeysData");
                if (!data.is_array()) continue;
                for (const json& key : data) {
                    list.push_back({Member(key, "KeyName").get<std::string>(),
                                    Member(key, "Config").get<std::string>()});
                }
            }
        }
        MacDataFromJson(Member(mo, "macData"), rec.device);
        group.macros.push_back(std::move(rec));
    }
    return group;
}

std::string MacroStore::Serialise(const json& doc) {
    return doc.dump(4, ' ', false, json::error_handler_t::replace);
}

// ---- loading and saving ----------------------------------------------------------------------

MacroStore::WriteBehind::WriteBehind() = default;
MacroStore::WriteBehind::~WriteBehind() = default;

MacroStore::MacroStore() = default;

MacroStore::~MacroStore() {
    Flush();
}

void MacroStore::SetWriteBehind(std::function<void()> changed,
                                std::function<void(const std::string&)> failed) {
    if (!m_wb.writer) {
        m_wb.writer = std::make_unique<LibraryWriter>();
        m_wb.writer->SetStamp(m_stamp);
    }
    m_wb.writer->SetFailureHandler(std::move(failed));
    m_wb.onChanged = std::move(changed);
}

void MacroStore::EndWriteBehind() {
    Flush();
    m_wb.onChanged = nullptr;
    if (m_wb.writer) m_wb.writer->SetFailureHandler(nullptr);
}

MacroResult MacroStore::Commit() {
    if (!m_wb.dirty) return {};
    m_wb.dirty = false;
    if (!m_wb.writer) return writeDocument(m_path, m_doc);
    // The copy is taken here, on the editing thread; the writer never sees the live document.
    m_wb.writer->Post(m_path, m_doc);
    return {};
}

MacroResult MacroStore::Flush() {
    MacroResult result = Commit();
    if (!m_wb.writer) return result;
    const std::string error = m_wb.writer->Wait();
    m_stamp = m_wb.writer->Stamp();
    if (!error.empty()) {
        MacroResult failed = MacroResult::Fail(error);
        failed.changedOnDisk = WouldReplaceNewer(m_path, m_stamp);
        return failed;
    }
    return result;
}

FileStamp MacroStore::Stamp() const {
    return m_wb.writer ? m_wb.writer->Stamp() : m_stamp;
}

MacroResult MacroStore::SaveNow() {
    const MacroResult r = Save();
    if (!r.ok) return r;
    return Flush();
}

MacroResult MacroStore::Load(const std::filesystem::path& path) {
    // Changes still due go to the file they were made for before anything is read.
    Flush();
    m_path = path;
    // Stamped before the read: a change during the read makes the next save refuse, never lose it.
    m_stamp = StampOf(path);
    if (m_wb.writer) m_wb.writer->SetStamp(m_stamp);
    std::string bytes;
    if (!ReadFileBytes(path, bytes, kMaxLibraryBytes)) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            // A file that is there but cannot be read (rights, size) must not be replaced by
            // the first change as if it were missing.
            m_unreadable = true;
            return MacroResult::Fail(ReadFailure(path, kMaxLibraryBytes));
        }
        m_unreadable = false;
        m_groups.clear();
        m_doc = json::object();
        m_workGroup = m_workMacro = -1;
        return {};
    }
    m_unreadable = false;
    json doc;
    try {
        doc = ParseJson(bytes);
    } catch (const json::exception& e) {
        DebugF("%s\n", e.what());
        m_badBytes = std::move(bytes);
        m_badPending = true;
        return MacroResult::Fail(e.what());
    }
    m_badPending = false;
    m_badBytes.clear();
    m_groups.clear();
    m_workGroup = m_workMacro = -1;
    m_doc = std::move(doc);
    if (!m_doc.is_object() || !m_doc.contains(kGroups)) return {};
    try {
        json& groups = m_doc[kGroups];
        if (!groups.is_array()) groups.get<std::vector<int>>();  // not an array: type error
        for (json& object : groups) m_groups.push_back(ParseGroup(object));
    } catch (const json::exception& e) {
        DebugF("%s\n", e.what());
        m_badBytes = std::move(bytes);
        m_badPending = true;
        return MacroResult::Fail(e.what());
    }
    return {};
}

MacroResult MacroStore::writeDocument(const std::filesystem::path& path, const json& doc) {
    std::string error;
    if (path != m_path) {
        if (!WriteFileAtomic(path, Serialise(doc), &error)) return MacroResult::Fail(error);
        return {};
    }
    FileStamp written;
    const SaveOutcome outcome = WriteFileIfUnchanged(path, Serialise(doc), m_stamp, &written, &error);
    if (outcome == SaveOutcome::Written) {
        m_stamp = written;
        if (m_wb.writer) m_wb.writer->SetStamp(written);
        return {};
    }
    MacroResult failed = MacroResult::Fail(error);
    failed.changedOnDisk = outcome == SaveOutcome::Changed;
    return failed;
}

MacroResult MacroStore::Save() {
    if (m_path.empty()) return MacroResult::Fail("no macro file");
    if (m_unreadable) return MacroResult::Fail(m_path.string() + " could not be read and is left as it is");
    if (m_badPending) {
        // The file that failed to load is replaced only once its bytes are safe beside it.
        std::string error;
        if (!KeepBadCopy(m_path, m_badBytes, &error)) return MacroResult::Fail(error);
        m_badPending = false;
        m_badBytes.clear();
    }
    std::error_code ec;
    std::filesystem::create_directories(m_path.parent_path(), ec);
    if (m_wb.onChanged) {
        m_wb.dirty = true;
        m_wb.onChanged();
        return {};
    }
    return writeDocument(m_path, m_doc);
}

MacroResult MacroStore::SaveAll() {
    if (!m_doc.is_object()) m_doc = json::object();
    json& groups = m_doc[kGroups];
    if (!groups.is_array()) groups = json::array();
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const MacroGroup& group = m_groups[g];
        if (g >= groups.size()) groups.push_back(json::object());
        json& go = groups[g];
        if (!go.is_object()) go = json::object();
        go["GrpName"] = UnitsToJson(group.name);
        go["GrpGuid"] = group.guid;
        go["ForbidView"] = group.forbidView;
        json& infos = go["MacroInfo"];
        if (!infos.is_array()) infos = json::array();
        for (std::size_t m = 0; m < group.macros.size(); ++m) {
            if (m >= infos.size()) infos.push_back(json::object());
            json& mo = infos[m];
            if (!mo.is_object()) mo = json::object();
            // Members of the object that the store does not know stay as they are.
            json known = MacroToJson(group.macros[m]);
            for (auto& [key, value] : known.items()) mo[key] = std::move(value);
        }
    }
    return Save();
}

json MacroStore::MacroToJson(const MacroRecord& rec) {
    json mo = json::object();
    mo["MacroGuid"] = rec.guid;
    mo["MacroName"] = UnitsToJson(rec.name);
    mo["ForbidView"] = rec.forbidView;
    mo["BindKeys"] = rec.bindCount;
    json info = json::array();
    for (const auto& [device, keys] : rec.bindings) {
        json data = json::array();
        for (const MacroBinding& b : keys) data.push_back({{"Config", b.config}, {"KeyName", b.keyName}});
        info.push_back({{"BindDeviceName", UnitsToJson(device)}, {"BindKeysData", std::move(data)}});
    }
    mo["BindKeysInfo"] = std::move(info);
    mo["macData"] = MacDataToJson(rec.device);
    return mo;
}

json MacroStore::GroupToJson(const MacroGroup& group) {
    json infos = json::array();
    for (const MacroRecord& rec : group.macros) infos.push_back(MacroToJson(rec));
    return {{"GrpName", UnitsToJson(group.name)},
            {"GrpGuid", group.guid},
            {"ForbidView", group.forbidView},
            {"MacroInfo", std::move(infos)}};
}

// ---- access ----------------------------------------------------------------------------------

const MacroGroup* MacroStore::group(int g) const {
    if (g < 0 || static_cast<std::size_t>(g) >= m_groups.size()) return nullptr;
    return &m_groups[static_cast<std::size_t>(g)];
}

const MacroRecord* MacroStore::macro(int g, int m) const {
    const MacroGroup* grp = group(g);
    if (!grp || m < 0 || static_cast<std::size_t>(m) >= grp->macros.size()) return nullptr;
    return &grp->macros[static_cast<std::size_t>(m)];
}

MacroRecord* MacroStore::macro(int g, int m) {
    return const_cast<MacroRecord*>(std::as_const(*this).macro(g, m));
}

const MacroRecord* MacroStore::FindMacro(std::string_view grpGuid, std::string_view macGuid) const {
    for (const MacroGroup& grp : m_groups) {
        if (grp.guid != grpGuid) continue;
        for (const MacroRecord& rec : grp.macros)
            if (rec.guid == macGuid) return &rec;
    }
    return nullptr;
}

MacroRecord* MacroStore::FindMacro(std::string_view grpGuid, std::string_view macGuid) {
    return const_cast<MacroRecord*>(std::as_const(*this).FindMacro(grpGuid, macGuid));
}

bool MacroStore::validMacro(int g, int m) const {
    return macro(g, m) != nullptr;
}

json* MacroStore::groupObject(int g) {
    if (!m_doc.is_object()) return nullptr;
    auto it = m_doc.find(kGroups);
    if (it == m_doc.end() || !it->is_array() || g < 0 || static_cast<std::size_t>(g) >= it->size())
        return nullptr;
    return &(*it)[static_cast<std::size_t>(g)];
}

json* MacroStore::macroObject(int g, int m) {
    json* go = groupObject(g);
    if (!go || !go->is_object()) return nullptr;
    json& infos = (*go)["MacroInfo"];
    if (!infos.is_array()) infos = json::array();
    while (static_cast<std::size_t>(m) >= infos.size()) infos.push_back(json::object());
    return &infos[static_cast<std::size_t>(m)];
}

bool MacroStore::SelectMacro(int g, int m) {
    const MacroRecord* rec = macro(g, m);
    if (!rec) return false;
    m_work = *rec;
    m_workGroup = g;
    m_workMacro = m;
    return true;
}

bool MacroStore::ensureWorking(int g, int m) {
    const MacroRecord* rec = macro(g, m);
    if (!rec) return false;
    if (m_workGroup == g && m_workMacro == m && m_work.guid == rec->guid) return true;
    return SelectMacro(g, m);
}

bool MacroStore::StoreWorking(int g, int m) {
    MacroRecord* rec = macro(g, m);
    if (!rec) return false;
    rec->name = m_work.name;
    rec->device = m_work.device;
    return true;
}

// ---- edits -----------------------------------------------------------------------------------

MacroResult MacroStore::SaveMacro(int g, int m) {
    if (!validMacro(g, m)) return MacroResult::Fail();
    const MacroRecord& rec = (m_workGroup == g && m_workMacro == m) ? m_work : *macro(g, m);
    json* mo = macroObject(g, m);
    if (!mo) return MacroResult::Fail();
    if (!mo->is_object()) *mo = json::object();
    (*mo)["MacroName"] = UnitsToJson(rec.name);
    (*mo)["MacroGuid"] = rec.guid;
    (*mo)["ForbidView"] = rec.forbidView;
    (*mo)["macData"] = MacDataToJson(rec.device);
    return Save();
}

MacroResult MacroStore::RenameGroup(int g, std::u16string_view name) {
    json* go = groupObject(g);
    if (!group(g) || !go) return MacroResult::Fail();
    m_groups[static_cast<std::size_t>(g)].name = std::u16string(name);
    (*go)["GrpName"] = UnitsToJson(name);
    return Save();
}

MacroResult MacroStore::RenameMacro(int g, int m, std::u16string_view name) {
    if (!ensureWorking(g, m)) return MacroResult::Fail();
    m_work.name = std::u16string(name);
    macro(g, m)->name = m_work.name;
    return SaveMacro(g, m);
}

MacroResult MacroStore::SetLoopMode(int g, int m, std::string_view optionName, std::uint16_t count) {
    if (!ensureWorking(g, m)) return MacroResult::Fail();
    m_work.device.rptType = ApplyLoopMode(m_work.device.rptType, optionName);
    m_work.device.macRpt = count;
    MacroRecord* rec = macro(g, m);
    rec->device.rptType = m_work.device.rptType;
    rec->device.macRpt = count;
    return SaveMacro(g, m);
}

MacroResult MacroStore::InsertEvent(int g, int m, int position, const MacroEvent& event) {
    if (m_busy || !ensureWorking(g, m)) return MacroResult::Fail();
    MacroDeviceBlock& b = m_work.device;
    if (b.num >= kMacroMaxEvents) return MacroResult::Fail(std::string(kMoreThanLimitText));
    if (position < 0 || position > b.num) return MacroResult::Fail();
    const auto pos = static_cast<std::size_t>(position);
    for (std::size_t i = b.num; i > pos; --i) {
        b.macSta[i] = b.macSta[i - 1];
        b.macVal[i] = b.macVal[i - 1];
        b.extVal[i] = b.extVal[i - 1];
        b.macDly[i] = b.macDly[i - 1];
    }
    b.macSta[pos] = event.state;
    b.macVal[pos] = event.code;
    b.extVal[pos] = {0, 0};
    b.macDly[pos] = event.delay;
    if (event.code == kMacCodeMove) b.extVal[pos] = {event.x, event.y};
    if (event.code == kMacCodeDpi) {
        b.extVal[pos] = {m_dpiEventCode, 0};
        if (b.rptType == 0) b.rptType = 1;
    }
    CountEvent(b, event.code, +1);
    ++b.num;
    StoreWorking(g, m);
    return SaveMacro(g, m);
}

MacroResult MacroStore::DeleteEvent(int g, int m, int position) {
    if (!ensureWorking(g, m)) return MacroResult::Fail();
    MacroDeviceBlock& b = m_work.device;
    if (position < 0 || position >= b.num) return MacroResult::Fail();
    const auto pos = static_cast<std::size_t>(position);
    const std::uint8_t code = b.macVal[pos];
    if (code == kMacCodeLighting) RemoveBlock(b.ledData, OrdinalOf(b, position, code));
    if (code == 251) RemoveBlock(b.data251, OrdinalOf(b, position, code));
    for (std::size_t i = pos; i + 1 < b.num; ++i) {
        b.macSta[i] = b.macSta[i + 1];
        b.macVal[i] = b.macVal[i + 1];
        b.extVal[i] = b.extVal[i + 1];
        b.macDly[i] = b.macDly[i + 1];
    }
    const std::size_t last = b.num - 1u;
    b.macSta[last] = 0;
    b.macVal[last] = 0;
    b.extVal[last] = {0, 0};
    b.macDly[last] = 0;
    --b.num;
    CountEvent(b, code, -1);
    StoreWorking(g, m);
    return SaveMacro(g, m);
}

MacroResult MacroStore::ReplaceEvent(int g, int m, int position, const MacroEvent& event) {
    if (!ensureWorking(g, m)) return MacroResult::Fail();
    MacroDeviceBlock& b = m_work.device;
    if (position < 0 || position >= b.num) return MacroResult::Fail();
    const auto pos = static_cast<std::size_t>(position);
    if (b.macVal[pos] != event.code) {
        CountEvent(b, b.macVal[pos], -1);
        CountEvent(b, event.code, +1);
    }
    b.macSta[pos] = event.state;
    b.macVal[pos] = event.code;
    b.macDly[pos] = event.delay;
    if (event.code == kMacCodeMove) {
        b.extVal[pos] = {event.x, event.y};
    } else if (event.code == kMacCodeDpi) {
        b.extVal[pos] = {m_dpiEventCode, 0};
        if (b.rptType == 0) b.rptType = 1;
    } else {
        b.extVal[pos] = {0, 0};
    }
    StoreWorking(g, m);
    return SaveMacro(g, m);
}

MacroResult MacroStore::DeleteMacro(int g, int m) {
    const MacroGroup* grp = group(g);
    if (!grp) return MacroResult::Fail();
    if (grp->macros.empty()) return MacroResult::Fail(std::string(kDeleteMacroText));
    if (!validMacro(g, m)) return MacroResult::Fail();
    json* go = groupObject(g);
    if (!go) return MacroResult::Fail();
    auto& macros = m_groups[static_cast<std::size_t>(g)].macros;
    macros.erase(macros.begin() + m);
    json& infos = (*go)["MacroInfo"];
    if (infos.is_array() && static_cast<std::size_t>(m) < infos.size())
        infos.erase(static_cast<std::size_t>(m));
    if (m_workGroup == g) m_workGroup = m_workMacro = -1;
    return Save();
}

MacroResult MacroStore::DeleteGroup(int g) {
    json* go = groupObject(g);
    if (!group(g) || !go) return MacroResult::Fail();
    m_groups.erase(m_groups.begin() + g);
    m_doc[kGroups].erase(static_cast<std::size_t>(g));
    m_workGroup = m_workMacro = -1;
    return Save();
}

MacroResult MacroStore::NewGroup(int position, std::u16string_view baseName, int* out) {
    std::vector<std::u16string> names;
    for (const MacroGroup& grp : m_groups) names.push_back(grp.name);
    MacroGroup grp;
    grp.guid = NewGuidText();
    grp.name = UniqueName(baseName, names);
    const int pos = std::clamp(position, 0, static_cast<int>(m_groups.size()));
    if (!m_doc.is_object()) m_doc = json::object();
    json& groups = m_doc[kGroups];
    if (!groups.is_array()) groups = json::array();
    json object = {{"GrpName", UnitsToJson(grp.name)}, {"GrpGuid", grp.guid}, {"ForbidView", false}};
    groups.insert(groups.begin() + pos, std::move(object));
    m_groups.insert(m_groups.begin() + pos, std::move(grp));
    if (m_workGroup >= pos) ++m_workGroup;
    if (out) *out = pos;
    return Save();
}

MacroResult MacroStore::NewMacro(int g, int position, std::u16string_view baseName, int* out) {
    json* go = groupObject(g);
    if (!group(g) || !go) return MacroResult::Fail();
    MacroGroup& grp = m_groups[static_cast<std::size_t>(g)];
    std::vector<std::u16string> names;
    for (const MacroRecord& rec : grp.macros) names.push_back(rec.name);
    MacroRecord rec;
    rec.guid = NewGuidText();
    rec.name = UniqueName(baseName, names);
    rec.device.macRpt = 1;
    const int pos = std::clamp(position, 0, static_cast<int>(grp.macros.size()));
    json object = {{"MacroName", UnitsToJson(rec.name)},
                   {"MacroGuid", rec.guid},
                   {"ForbidView", false},
                   {"BindKeys", 0},
                   {"macData", MacDataToJson(rec.device)}};
    json& infos = (*go)["MacroInfo"];
    if (!infos.is_array()) infos = json::array();
    infos.insert(infos.begin() + std::min<std::ptrdiff_t>(pos, static_cast<std::ptrdiff_t>(infos.size())),
                 std::move(object));
    grp.macros.insert(grp.macros.begin() + pos, std::move(rec));
    if (m_workGroup == g && m_workMacro >= pos) ++m_workMacro;
    if (out) *out = pos;
    return Save();
}

}  // namespace zor
