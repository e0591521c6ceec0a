// The macro library: the parsed macroConfig.json document, a typed copy of it (groups of macros,
// each with its fixed-size event block), and the working copy of the macro the editor shows.
// Every change lands in the typed copy and in the document, and the document is written back
// whole at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/FileStamp.h"
#include "device/MacroDeviceBlock.h"
#include "device/MacroSources.h"

namespace zor {

// Paths below the program folder.
inline constexpr std::string_view kMacroLivePath = "res/MacroVarn/MacroData/macroConfig.json";
inline constexpr std::string_view kMacroFactoryPath = "res/MacroVarn/MacroDataReset/macroConfigReset.json";

// A library larger than this is not read (200 full macros take about 23 MB).
inline constexpr std::size_t kMaxLibraryBytes = 256u * 1024u * 1024u;

// Texts the GUI shows in a message box with the caption kMacroMessageCaption.
inline constexpr std::string_view kMoreThanLimitText = " More than limit!";
inline constexpr std::string_view kDeleteMacroText = " DeleteMacro  !";
inline constexpr std::string_view kMacroMessageCaption = "\xE6\x8F\x90\xE7\xA4\xBA\xE6\xA1\x86";  // 提示框

// Option names of the loop-mode group "MacroLoopMode", in their order in the group.
inline constexpr std::string_view kOptCycleUntilRelease = "opt_Macro_CycleUntilRelease";
inline constexpr std::string_view kOptCycleUntilClick = "opt_Macro_CycleUntilClick";
inline constexpr std::string_view kOptCycleTimes = "opt_Macro_CycleTimes";

struct MacroBinding {
    std::string keyName;  // name of the bound mouse key, as the key list shows it
    std::string config;   // name of the profile in which it is bound
};

struct MacroRecord {
    std::string guid;
    std::u16string name;
    MacroDeviceBlock device;
    std::uint32_t bindCount = 0;
    std::map<std::u16string, std::vector<MacroBinding>> bindings;  // device model -> bound keys
    bool forbidView = false;
};

struct MacroGroup {
    std::string guid;
    std::u16string name;
    bool forbidView = false;
    std::vector<MacroRecord> macros;
};

// One event as the editor inserts it. x and y are the magnitudes of a pointer move; the sign
// comes from the quadrant in state.
struct MacroEvent {
    std::uint8_t state = kMacStatePress;
    std::uint8_t code = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint32_t delay = 0;
};

// ok = false with an empty message: nothing to show (a bad index). A non-empty message is the
// text for the GUI's message box (one of the texts above, or the reason a write failed).
struct MacroResult {
    bool ok = true;
    std::string message;
    // The library file changed on disk since the store read or wrote it: nothing was written.
    bool changedOnDisk = false;
    static MacroResult Fail(std::string text = {}) { return {false, std::move(text)}; }
};

// Outcome of ImportGroups: which files were refused (the GUI shows "ImportErr" for each), and
// whether the import stopped at a file that is not JSON at all.
struct MacroImportOutcome {
    int imported = 0;
    std::vector<std::filesystem::path> refused;
    std::filesystem::path stoppedAt;  // empty unless a file was not valid JSON
    std::string error;                // parse error text, or the reason the save failed
    bool saved = false;
};

// The base name when no name in scope uses it, else the base followed by the smallest number
// from 1 up that no name of the form base + decimal number carries.
std::u16string UniqueName(std::u16string_view base, const std::vector<std::u16string>& scope);

// Loop mode encoding of rptType for an option name of the "MacroLoopMode" group.
std::uint8_t ApplyLoopMode(std::uint8_t rptType, std::string_view optionName);

class LibraryWriter;

class MacroStore {
public:
    MacroStore();
    // Writes every change not yet on disk before it goes.
    ~MacroStore();
    // A copy has the library, not the write-behind: it saves at once. Assigning over a store
    // could drop changes still due to its file, so it is not offered.
    MacroStore(const MacroStore&) = default;
    MacroStore& operator=(const MacroStore&) = delete;

    // Reads path into the document and rebuilds the groups. A missing file empties the store
    // (the first change creates the file) and is not an error. A file that is not JSON leaves
    // the previous state untouched; a wrong member type ends the read with the groups completed
    // before it. In both cases the error text is returned, and the next save first keeps the
    // file's bytes as path + ".bad" (older damaged copies move on to ".bad.1", ...).
    MacroResult Load(const std::filesystem::path& path);
    // Loads the same file again.
    MacroResult Reload() { return Load(m_path); }
    // The last Load found a file it could not read (too large, no rights): no save replaces it.
    bool Unreadable() const { return m_unreadable; }
    // The library file as the store last read or wrote it (the writer's last write, with
    // write-behind on). A save over a file that no longer matches it is refused (changedOnDisk).
    FileStamp Stamp() const;

    MacroResult Save();
    MacroResult SaveAll();

    // Write-behind, for a program whose edits must not wait for the disk: with it on, a save
    // only marks the library changed and calls changed(); Commit() then hands a copy of the
    // document to a writer thread that serialises and writes it (one write at a time, the newest
    // copy only). Flush() waits until every change is on disk. Load, Reload, Reset and
    // ImportGroups flush first, so they never read or replace a file a write is still due to.
    // failed() is called on the writer's thread with the reason a write failed.
    void SetWriteBehind(std::function<void()> changed, std::function<void(const std::string&)> failed);
    // Flushes, then saves at once again.
    void EndWriteBehind();
    MacroResult Commit();
    MacroResult Flush();
    bool Unwritten() const { return m_wb.dirty; }
    MacroResult SaveMacro(int g, int m);

    MacroResult RenameGroup(int g, std::u16string_view name);
    MacroResult RenameMacro(int g, int m, std::u16string_view name);
    MacroResult SetLoopMode(int g, int m, std::string_view optionName, std::uint16_t count);
    MacroResult InsertEvent(int g, int m, int position, const MacroEvent& event);
    MacroResult DeleteEvent(int g, int m, int position);
    // Replaces one event in place, keeping the type counters right.
    MacroResult ReplaceEvent(int g, int m, int position, const MacroEvent& event);
    MacroResult DeleteMacro(int g, int m);
    MacroResult DeleteGroup(int g);
    // New group at position (clamped to the list) named uniquely from baseName; its index in out.
    MacroResult NewGroup(int position, std::u16string_view baseName, int* out = nullptr);
    // New empty macro in group g at position, loop mode "times" with count 1.
    MacroResult NewMacro(int g, int position, std::u16string_view baseName, int* out = nullptr);

    // Writes group g to path as an exchange file: every macro with BindKeys 0, no BindKeysInfo.
    MacroResult ExportGroup(int g, const std::filesystem::path& path) const;
    // Appends the groups of the files under fresh group ids and unique names, in one save. Only
    // the members the store knows are taken over; anything else in the files is dropped.
    MacroImportOutcome ImportGroups(const std::vector<std::filesystem::path>& paths);
    // Replaces the live file by the factory file, keeping the old one as live + ".bak"; without a
    // factory file the old document goes to ".bak" and the live file is left without groups.
    // A factory file that is there but cannot be read or used fails and changes nothing. A live
    // file that could not be read (too large, no rights) is moved aside as live + ".bad"; one
    // that was damaged is also kept as ".bad".
    MacroResult Reset(const std::filesystem::path& factoryPath);

    // The working macro: a copy of the macro the editor shows. Selecting copies the stored record.
    bool SelectMacro(int g, int m);
    MacroRecord& working() { return m_work; }
    const MacroRecord& working() const { return m_work; }
    // Copies the working macro's name and events over the stored record of (g, m).
    bool StoreWorking(int g, int m);

    // Set while a recording runs: no event is inserted by hand meanwhile.
    void SetBusy(bool busy) { m_busy = busy; }
    bool busy() const { return m_busy; }

    // The device's code for 400 DPI, used as the parameter of inserted DPI events.
    void SetDpiEventCode(std::int16_t code) { m_dpiEventCode = code; }

    const std::vector<MacroGroup>& groups() const { return m_groups; }
    std::vector<MacroGroup>& groups() { return m_groups; }
    const MacroGroup* group(int g) const;
    const MacroRecord* macro(int g, int m) const;
    MacroRecord* macro(int g, int m);
    // Finds a macro by its group and macro ids.
    const MacroRecord* FindMacro(std::string_view grpGuid, std::string_view macGuid) const;
    MacroRecord* FindMacro(std::string_view grpGuid, std::string_view macGuid);

    const nlohmann::json& document() const { return m_doc; }
    const std::filesystem::path& path() const { return m_path; }
    void SetPath(std::filesystem::path path) { m_path = std::move(path); }

    // Parses one group object into a typed group. Throws the JSON library's errors. Missing
    // ForbidView members are added to object as the integer 0.
    static MacroGroup ParseGroup(nlohmann::json& object);
    static nlohmann::json MacDataToJson(const MacroDeviceBlock& block);
    // A macro, or a whole group, with exactly the members the store knows.
    static nlohmann::json MacroToJson(const MacroRecord& rec);
    static nlohmann::json GroupToJson(const MacroGroup& group);
    static void MacDataFromJson(const nlohmann::json& macData, MacroDeviceBlock& block);
    static std::string Serialise(const nlohmann::json& doc);

private:
    bool validMacro(int g, int m) const;
    bool ensureWorking(int g, int m);
    nlohmann::json* groupObject(int g);
    nlohmann::json* macroObject(int g, int m);
    MacroResult writeDocument(const std::filesystem::path& path, const nlohmann::json& doc);
    // Save, then wait for the disk (with write-behind on, too).
    MacroResult SaveNow();

    std::filesystem::path m_path;
    nlohmann::json m_doc = nlohmann::json::object();
    std::vector<MacroGroup> m_groups;
    MacroRecord m_work;
    int m_workGroup = -1;
    int m_workMacro = -1;
    std::int16_t m_dpiEventCode = 0;
    bool m_busy = false;
    // Bytes of a file that failed to load; kept aside before the next save replaces it.
    std::string m_badBytes;
    bool m_badPending = false;
    bool m_unreadable = false;  // the live file exists but could not be read: never replace it
    FileStamp m_stamp;          // of m_path; the writer keeps its own while write-behind is on
    // What write-behind needs; a copy of the store starts without it.
    struct WriteBehind {
        std::unique_ptr<LibraryWriter> writer;
        std::function<void()> onChanged;  // set while write-behind is on
        bool dirty = false;               // changed since the last copy handed to the writer
        WriteBehind();
        WriteBehind(const WriteBehind&) : WriteBehind() {}
        WriteBehind& operator=(const WriteBehind&) = delete;
        ~WriteBehind();
    };
    WriteBehind m_wb;
};

// The store as the command set sees it: a copy of a macro's block by its group and macro ids.
class MacroLibraryView final : public MacroLibrary {
public:
    explicit MacroLibraryView(const MacroStore& store) : m_store(store) {}
    std::optional<MacroDeviceBlock> FindMacro(const std::string& groupGuid,
                                              const std::string& macroGuid) const override {
        const MacroRecord* rec = m_store.FindMacro(groupGuid, macroGuid);
        if (rec == nullptr) return std::nullopt;
        return rec->device;
    }

private:
    const MacroStore& m_store;
};

}  // namespace zor
