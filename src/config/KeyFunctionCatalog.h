// The key function catalog: the meaning of a key assignment's function code, the texts of the
// built-in codes (LanguageText.json), the popup category of a code, the code carried in a popup
// list item's name, and the display text of an assignment (built-in, user macro or single key).
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/MacroSources.h"
#include "macro/MacroStore.h"

namespace zor {

class MacVkAndText;

inline constexpr int kMacroFunction = 120;      // a user macro named by grpGuid/macGuid
inline constexpr int kLastMacroFunction = 259;  // 120..259 are classified as macros
inline constexpr int kKeyFunctionBase = 256;    // 256 + virtual-key code: one keyboard key
inline constexpr std::string_view kUnknownKey = "Unknown Key";
inline constexpr std::string_view kLanguageTextPath = "res/MouseVarn/Language/LanguageText.json";
inline constexpr std::string_view kShortCutMacPath = "res/MouseVarn/ShortCutMac.json";
inline constexpr std::string_view kOtherKeyMacPath = "res/MouseVarn/OtherKeyMac.json";

enum class KeyCategory { Mouse, Shortcut, Macro, Dpi, Lighting, Mode, Media, Wheel };

// The popup list that shows the category ("list_MouseKey_Mouse", ...); empty for Macro.
std::string_view CategoryList(KeyCategory category);

// True for the codes the popup treats as a macro (120..259).
constexpr bool IsMacroFunction(int code) {
    return code >= kMacroFunction && code <= kLastMacroFunction;
}

// The scan code of a Windows virtual-key code on a US keyboard (the key a code of 256 + vk
// stands for); 0 when the key has none.
unsigned VirtualKeyToScan(int vk);
// The virtual-key code of a scan code, left and right modifiers told apart (keypad Enter gives
// Enter's code); 0 when no key of the table has it.
int ScanToVirtualKey(unsigned scan);

class KeyFunctionCatalog {
public:
    // Replaces the catalog from the document's "MouseFunctionText" member. Members whose name
    // is not a number or whose value is not an array of strings are skipped.
    void Load(const nlohmann::json& document);
    // Reads the file; a missing or unreadable file leaves the catalog empty and returns false.
    bool LoadFile(const std::filesystem::path& path, std::string* error = nullptr);

    std::string ButtonLabel(int code) const;
    std::string ListLabel(int code) const;
    bool Has(int code) const { return m_entries.count(code) != 0; }
    std::size_t size() const { return m_entries.size(); }
    // The codes of the catalog in ascending order.
    std::vector<int> Codes() const;

    static KeyCategory Category(int code);
    // The code in a list item's name ("ItemValue" + code + "_" ...) by the rule of its list.
    static int CodeOfListItem(std::string_view itemName, KeyCategory category);

    // The name of the keyboard key of a code of 256 and above; "Unknown Key" when it has none.
    static std::string KeyName(int code, const MacVkAndText& keys);

    // The button text of a code that is not a macro: the catalog's label below 256, the key
    // name from 256 on.
    std::string PlainText(int code, const MacVkAndText& keys) const;

private:
    struct Entry {
        std::string listLabel;
        std::string buttonLabel;
    };
    std::map<int, Entry> m_entries;
};

// The two predefined macro lists the command set programs shortcut and other functions with.
// Both files have the macro library's format; their macros, in file order, stand for these
// function codes: the shortcut list for 100, 103..110, the other-keys list for 101, 102, 111..115.
class PredefinedMacroLists final : public PredefinedMacros {
public:
    // Reads both files; a missing file leaves its list empty. The error text of a damaged file.
    MacroResult Load(const std::filesystem::path& shortcutFile, const std::filesystem::path& otherKeyFile);
    // Names both files and reads them when a macro is first asked for (from any thread): most
    // runs of the programs never program a predefined macro, and the lists are large. A damaged
    // file is then written to the debug log and leaves its list as Load would.
    void LoadOnFirstUse(std::filesystem::path shortcutFile, std::filesystem::path otherKeyFile);
    // Predefined macro k stands for function code 100 + k.
    std::optional<MacroDeviceBlock> PredefinedMacro(int k) const override;
    const MacroRecord* MacroForCode(int code) const;

private:
    void LoadPending() const;

    mutable std::mutex m_mutex;
    mutable std::optional<std::pair<std::filesystem::path, std::filesystem::path>> m_pending;
    mutable std::vector<MacroRecord> m_shortcuts;
    mutable std::vector<MacroRecord> m_others;
};

}  // namespace zor
