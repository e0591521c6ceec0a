#include "config/KeyFunctionCatalog.h"

#include <array>
#include <utility>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/JsonText.h"
#include "common/Text.h"
#include "macro/MacVkAndText.h"

namespace zor {

using nlohmann::json;

namespace {

constexpr std::string_view kItemPrefix = "ItemValue";

// Virtual-key code -> set-1 scan code (0xE000 + make code for extended keys) on a US keyboard.
constexpr std::array<std::pair<int, unsigned>, 107> kVirtualKeys{{
    {0x08, 14},     {0x09, 15},     {0x0D, 28},     {0x10, 42},     {0x11, 29},     {0x12, 56},
    {0x13, 69},     {0x14, 58},     {0x1B, 1},      {0x20, 57},     {0x21, 0xE049}, {0x22, 0xE051},
    {0x23, 0xE04F}, {0x24, 0xE047}, {0x25, 0xE04B}, {0x26, 0xE048}, {0x27, 0xE04D}, {0x28, 0xE050},
    {0x2C, 0xE037}, {0x2D, 0xE052}, {0x2E, 0xE053}, {0x30, 11},     {0x31, 2},      {0x32, 3},
    {0x33, 4},      {0x34, 5},      {0x35, 6},      {0x36, 7},      {0x37, 8},      {0x38, 9},
    {0x39, 10},     {0x41, 30},     {0x42, 48},     {0x43, 46},     {0x44, 32},     {0x45, 18},
    {0x46, 33},     {0x47, 34},     {0x48, 35},     {0x49, 23},     {0x4A, 36},     {0x4B, 37},
    {0x4C, 38},     {0x4D, 50},     {0x4E, 49},     {0x4F, 24},     {0x50, 25},     {0x51, 16},
    {0x52, 19},     {0x53, 31},     {0x54, 20},     {0x55, 22},     {0x56, 47},     {0x57, 17},
    {0x58, 45},     {0x59, 21},     {0x5A, 44},     {0x5B, 0xE05B}, {0x5C, 0xE05C}, {0x5D, 0xE05D},
    {0x60, 82},     {0x61, 79},     {0x62, 80},     {0x63, 81},     {0x64, 75},     {0x65, 76},
    {0x66, 77},     {0x67, 71},     {0x68, 72},     {0x69, 73},     {0x6A, 55},     {0x6B, 78},
    {0x6D, 74},     {0x6E, 83},     {0x6F, 0xE035}, {0x70, 59},     {0x71, 60},     {0x72, 61},
    {0x73, 62},     {0x74, 63},     {0x75, 64},     {0x76, 65},     {0x77, 66},     {0x78, 67},
    {0x79, 68},     {0x7A, 87},     {0x7B, 88},     {0x90, 0xE045}, {0x91, 70},     {0xA0, 42},
    {0xA1, 0xE036}, {0xA2, 29},     {0xA3, 0xE01D}, {0xA4, 56},     {0xA5, 0xE038}, {0xBA, 39},
    {0xBB, 13},     {0xBC, 51},     {0xBD, 12},     {0xBE, 52},     {0xBF, 53},     {0xC0, 41},
    {0xDB, 26},     {0xDC, 43},     {0xDD, 27},     {0xDE, 40},     {0xE2, 86},
}};

}  // namespace

unsigned VirtualKeyToScan(int vk) {
    for (const auto& [key, scan] : kVirtualKeys)
        if (key == vk) return scan;
    return 0;
}

int ScanToVirtualKey(unsigned scan) {
    // The side-specific codes of the modifiers come first, as a keystroke names its side.
    constexpr std::pair<unsigned, int> kSided[] = {{42, 0xA0}, {29, 0xA2}, {56, 0xA4}, {0xE01C, 0x0D}};
    for (const auto& [code, vk] : kSided)
        if (code == scan) return vk;
    for (const auto& [vk, code] : kVirtualKeys)
        if (code == scan) return vk;
    return 0;
}

std::string_view CategoryList(KeyCategory category) {
    switch (category) {
        case KeyCategory::Mouse:
            return "list_MouseKey_Mouse";
        case KeyCategory::Shortcut:
            return "list_MouseKey_ShortCut";
        case KeyCategory::Dpi:
            return "list_MouseKey_DPI";
        case KeyCategory::Lighting:
            return "list_MouseKey_Led";
        case KeyCategory::Mode:
            return "list_MouseKey_Mode";
        case KeyCategory::Media:
            return "list_MouseKey_Media";
        case KeyCategory::Wheel:
            return "list_ScrollKey_Base";
        case KeyCategory::Macro:
            break;
    }
    return {};
}

void KeyFunctionCatalog::Load(const json& document) {
    m_entries.clear();
    if (!document.is_object()) return;
    auto texts = document.find("MouseFunctionText");
    if (texts == document.end() || !texts->is_object()) return;
    for (const auto& [name, value] : texts->items()) {
        // Only names that are whole decimal numbers name a code ("12", "-1"); others are skipped
        // rather than read as code 0.
        const std::string_view digits = TrimView(name);
        const std::size_t first = !digits.empty() && (digits[0] == '-' || digits[0] == '+') ? 1 : 0;
        if (digits.size() <= first || digits.size() > 10 ||
            digits.find_first_not_of("0123456789", first) != std::string_view::npos || !value.is_array())
            continue;
        // A plain reference: clang before 16 cannot capture a structured binding.
        const auto& list = value;
        auto text = [&list](std::size_t i) {
            return i < list.size() && list[i].is_string() ? list[i].get<std::string>() : std::string();
        };
        m_entries[ParseLeadingInt(digits)] = {text(1), text(3)};
    }
}

bool KeyFunctionCatalog::LoadFile(const std::filesystem::path& path, std::string* error) {
    m_entries.clear();
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        if (error) *error = "cannot open " + path.string();
        return false;
    }
    try {
        Load(ParseJson(bytes));
    } catch (const json::exception& e) {
        DebugF("%s\n", e.what());
        if (error) *error = e.what();
        return false;
    }
    return true;
}

std::vector<int> KeyFunctionCatalog::Codes() const {
    std::vector<int> codes;
    codes.reserve(m_entries.size());
    for (const auto& [code, entry] : m_entries) codes.push_back(code);
    return codes;
}

std::string KeyFunctionCatalog::ButtonLabel(int code) const {
    auto it = m_entries.find(code);
    return it == m_entries.end() ? std::string(kUnknownKey) : it->second.buttonLabel;
}

std::string KeyFunctionCatalog::ListLabel(int code) const {
    auto it = m_entries.find(code);
    return it == m_entries.end() ? std::string(kUnknownKey) : it->second.listLabel;
}

KeyCategory KeyFunctionCatalog::Category(int code) {
    if (code >= 1 && code <= 5) return KeyCategory::Mouse;
    if (code == 0 || code == 101 || code == 102) return KeyCategory::Mouse;
    if (code == 100 || (code >= 103 && code <= 110)) return KeyCategory::Shortcut;
    if (code >= kMacroFunction) return KeyCategory::Macro;
    if (code == 6 || code == 11 || code == 12) return KeyCategory::Dpi;
    if (code == 16 || code == 21) return KeyCategory::Lighting;
    if ((code >= 22 && code <= 26) || code == 50 || code == 51) return KeyCategory::Mode;
    if (code >= 29 && code <= 39) return KeyCategory::Media;
    return KeyCategory::Mouse;
}

int KeyFunctionCatalog::CodeOfListItem(std::string_view itemName, KeyCategory category) {
    if (itemName.size() <= kItemPrefix.size()) return 0;
    std::string_view rest = itemName.substr(kItemPrefix.size());
    if (category == KeyCategory::Mouse || category == KeyCategory::Shortcut) {
        return ParseLeadingInt(rest.substr(0, rest.find('_')));
    }
    return ParseLeadingInt(rest.substr(0, 2));
}

std::string KeyFunctionCatalog::KeyName(int code, const MacVkAndText& keys) {
    const unsigned scan = VirtualKeyToScan(code - kKeyFunctionBase);
    if (scan == 0) return std::string(kUnknownKey);
    return keys.ScanToTextUtf8(scan);
}

std::string KeyFunctionCatalog::PlainText(int code, const MacVkAndText& keys) const {
    return code >= kKeyFunctionBase ? KeyName(code, keys) : ButtonLabel(code);
}

// ---- predefined macro lists -------------------------------------------------------------------

namespace {

constexpr std::array<int, 9> kShortcutCodes{100, 103, 104, 105, 106, 107, 108, 109, 110};
constexpr std::array<int, 7> kOtherKeyCodes{101, 102, 111, 112, 113, 114, 115};

std::vector<MacroRecord> Flatten(const MacroStore& store) {
    std::vector<MacroRecord> out;
    for (const MacroGroup& group : store.groups())
        for (const MacroRecord& rec : group.macros) out.push_back(rec);
    return out;
}

template <std::size_t N>
int IndexOf(const std::array<int, N>& codes, int code) {
    for (std::size_t i = 0; i < N; ++i)
        if (codes[i] == code) return static_cast<int>(i);
    return -1;
}

}  // namespace

MacroResult PredefinedMacroLists::Load(const std::filesystem::path& shortcutFile,
                                       const std::filesystem::path& otherKeyFile) {
    std::lock_guard lock(m_mutex);
    m_pending.reset();
    MacroStore reader;
    MacroResult result = reader.Load(shortcutFile);
    m_shortcuts = Flatten(reader);
    MacroResult other = reader.Load(otherKeyFile);
    m_others = Flatten(reader);
    return result.ok ? other : result;
}

void PredefinedMacroLists::LoadOnFirstUse(std::filesystem::path shortcutFile,
                                          std::filesystem::path otherKeyFile) {
    std::lock_guard lock(m_mutex);
    m_shortcuts.clear();
    m_others.clear();
    m_pending.emplace(std::move(shortcutFile), std::move(otherKeyFile));
}

void PredefinedMacroLists::LoadPending() const {
    std::lock_guard lock(m_mutex);
    if (!m_pending) return;
    const auto files = std::move(*m_pending);
    m_pending.reset();
    MacroStore reader;
    for (auto [file, list] : {std::pair{&files.first, &m_shortcuts}, std::pair{&files.second, &m_others}}) {
        const MacroResult result = reader.Load(*file);
        if (!result.ok) DebugF("predefined macros: %s\n", result.message);
        *list = Flatten(reader);
    }
}

const MacroRecord* PredefinedMacroLists::MacroForCode(int code) const {
    LoadPending();
    int i = IndexOf(kShortcutCodes, code);
    if (i >= 0)
        return static_cast<std::size_t>(i) < m_shortcuts.size() ? &m_shortcuts[static_cast<std::size_t>(i)]
                                                                : nullptr;
    i = IndexOf(kOtherKeyCodes, code);
    if (i >= 0)
        return static_cast<std::size_t>(i) < m_others.size() ? &m_others[static_cast<std::size_t>(i)]
                                                             : nullptr;
    return nullptr;
}

std::optional<MacroDeviceBlock> PredefinedMacroLists::PredefinedMacro(int k) const {
    const MacroRecord* rec = MacroForCode(100 + k);
    if (rec == nullptr) return std::nullopt;
    return rec->device;
}

}  // namespace zor
