#include "settings/KeyAssign.h"

#include <algorithm>
#include <array>

#include "common/Text.h"

namespace zor {
namespace {

constexpr std::string_view kClickPrefixes[] = {"btn_MouseKey_Click", "btn_MouseKey_Mark",
                                               "btn_MouseKey2_Click", "btn_MouseKey2_Mark"};
// Models without any lighting: the popup never offers lighting functions for them.
constexpr std::string_view kModelsWithoutLighting[] = {"Zor MouseA Lite", "Zor MouseA Mini"};
constexpr std::uint32_t kAltGrSyntheticCtrl = 0x21D;
constexpr std::uint32_t kExtended = 0xE000;
constexpr std::uint32_t kEvdevToNative = 8;  // xkb keycodes are evdev keycodes + 8

bool AllDigits(std::string_view text) {
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool IsWheelFunction(int code) {
    return std::find(std::begin(kWheelFunctions), std::end(kWheelFunctions), code) !=
           std::end(kWheelFunctions);
}

int SlotOfKeyControl(std::string_view name) {
    if (name == kWheelUpControl) return kWheelUpSlot;
    if (name == kWheelDownControl) return kWheelDownSlot;
    for (std::string_view prefix : kClickPrefixes) {
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
        const std::string_view digits = name.substr(prefix.size());
        if (digits.size() > 2 || !AllDigits(digits)) return -1;
        const int slot = ParseLeadingInt(digits);
        return slot < kKeySlots ? slot : -1;
    }
    return -1;
}

bool IsWheelSlot(int slot) {
    return slot == kWheelUpSlot || slot == kWheelDownSlot;
}

ApplyKind ApplyKindOfSlot(int slot) {
    return slot >= 16 && slot <= 19 ? ApplyKind::ComboKey : ApplyKind::Key;
}

bool ModelHasLighting(bool keySelLedVis, std::string_view productName) {
    for (std::string_view model : kModelsWithoutLighting)
        if (model == productName) return false;
    return keySelLedVis;
}

bool IsOnlyLeftClick(const doc::KeyTable& table, int slot) {
    const auto it = table.find(SlotName(slot));
    if (it == table.end() || it->second.code != kLeftClickFunction) return false;
    const auto count = std::count_if(table.begin(), table.end(), [](const auto& entry) {
        return entry.second.code == kLeftClickFunction;
    });
    return count == 1;
}

AssignStatus CheckChoice(const KeyAssignContext& context, int slot, const KeyChoice& choice) {
    if (slot < 0 || slot >= kKeySlots) return AssignStatus::BadSlot;
    switch (choice.kind) {
        case KeyChoice::Kind::Macro:
            if (context.rules.ble) return AssignStatus::MacroOverBle;
            if (choice.grpGuid.empty() || choice.macGuid.empty() ||
                context.macros.FindMacro(choice.grpGuid, choice.macGuid) == nullptr)
                return AssignStatus::NoMacro;
            return AssignStatus::Assigned;
        case KeyChoice::Kind::Key:
            if (choice.code <= kKeyFunctionBase || VirtualKeyToScan(choice.code - kKeyFunctionBase) == 0)
                return AssignStatus::NoKey;
            return AssignStatus::Assigned;
        case KeyChoice::Kind::Function:
            break;
    }
    if (choice.code < 0 || choice.code >= kMacroFunction) return AssignStatus::NotOffered;
    if (IsWheelSlot(slot))
        return IsWheelFunction(choice.code) ? AssignStatus::Assigned : AssignStatus::NotOffered;
    if (choice.code == kReportRateFunction && context.rules.ble) return AssignStatus::NotOffered;
    if (KeyFunctionCatalog::Category(choice.code) == KeyCategory::Lighting && !context.rules.lighting)
        return AssignStatus::NotOffered;
    return AssignStatus::Assigned;
}

std::string ChoiceText(const KeyAssignContext& context, const KeyChoice& choice) {
    switch (choice.kind) {
        case KeyChoice::Kind::Macro:
            if (const MacroRecord* rec = context.macros.FindMacro(choice.grpGuid, choice.macGuid))
                return "M:" + Utf16ToUtf8(rec->name);
            return std::string(kUnknownKey);
        case KeyChoice::Kind::Key:
            return KeyFunctionCatalog::KeyName(choice.code, context.keys);
        case KeyChoice::Kind::Function:
            break;
    }
    return context.catalog.ButtonLabel(choice.code);
}

AssignStatus AssignKey(KeyAssignContext& context, int table, int slot, const KeyChoice& choice) {
    const AssignStatus status = CheckChoice(context, slot, choice);
    if (status != AssignStatus::Assigned) return status;
    auto& tables = context.document.keyTables;
    if (table < 0 || table >= static_cast<int>(tables.size())) return AssignStatus::BadSlot;
    doc::KeyTable& keys = tables[static_cast<std::size_t>(table)];
    // At least one button always keeps the left click.
    if (choice.code != kLeftClickFunction && IsOnlyLeftClick(keys, slot)) return AssignStatus::OnlyOneKey;

    doc::KeyAssignment& key = keys[SlotName(slot)];
    if (IsMacroFunction(key.code)) {
        if (MacroRecord* old = context.macros.FindMacro(key.grpGuid, key.macGuid); old && old->bindCount > 0)
            --old->bindCount;
    }
    key.code = choice.code;
    key.text = ChoiceText(context, choice);
    if (choice.kind == KeyChoice::Kind::Macro) {
        key.grpGuid = choice.grpGuid;
        key.macGuid = choice.macGuid;
        if (MacroRecord* chosen = context.macros.FindMacro(choice.grpGuid, choice.macGuid))
            ++chosen->bindCount;
    } else {
        key.grpGuid.clear();
        key.macGuid.clear();
    }
    return AssignStatus::Assigned;
}

void RestoreKey(KeyAssignContext& context, int table, int slot, const doc::KeyAssignment& previous) {
    auto& tables = context.document.keyTables;
    if (table < 0 || table >= static_cast<int>(tables.size()) || slot < 0 || slot >= kKeySlots) return;
    doc::KeyAssignment& key = tables[static_cast<std::size_t>(table)][SlotName(slot)];
    if (IsMacroFunction(key.code))
        if (MacroRecord* now = context.macros.FindMacro(key.grpGuid, key.macGuid); now && now->bindCount > 0)
            --now->bindCount;
    if (IsMacroFunction(previous.code))
        if (MacroRecord* back = context.macros.FindMacro(previous.grpGuid, previous.macGuid))
            ++back->bindCount;
    key = previous;
}

std::uint32_t RecordScanCode(std::uint32_t scanCode, bool extended) {
    if (!extended || scanCode == kAltGrSyntheticCtrl) return scanCode;
    return kExtended | (scanCode & 0xFF);
}

std::uint32_t ScanCodeOfNativeKey(std::uint32_t nativeScanCode) {
    if (nativeScanCode <= kEvdevToNative) return 0;
    const std::uint32_t scan = MacVkAndText::ScanCodeFromEvdev(nativeScanCode - kEvdevToNative);
    // Mouse buttons have scan codes of the program's own; a keystroke never names them.
    return scan >= 240 && scan <= 244 ? 0 : scan;
}

RecordedKey RecordKey(std::uint32_t scan, const MacVkAndText& keys) {
    RecordedKey key;
    // The synthetic Ctrl of AltGr carries flag bits above the make code: it is the left Ctrl.
    key.scan = scan < kExtended && scan > 0xFF ? (scan & 0xFF) : scan;
    key.virtualKey = ScanToVirtualKey(key.scan);
    key.name = key.virtualKey != 0 ? KeyFunctionCatalog::KeyName(kKeyFunctionBase + key.virtualKey, keys)
                                   : std::string(kUnknownKey);
    return key;
}

namespace {

std::optional<KeyChoice> KeyByName(std::string_view name, const MacVkAndText& keys) {
    for (int vk = 1; vk < 256; ++vk) {
        const unsigned scan = VirtualKeyToScan(vk);
        if (scan == 0 || !EqualsIgnoreCaseAscii(keys.ScanToTextUtf8(scan), name)) continue;
        const int sided = ScanToVirtualKey(scan);
        return KeyChoice::Key(sided != 0 ? sided : vk);
    }
    return std::nullopt;
}

std::optional<KeyChoice> MacroByName(std::string_view path, const MacroStore& macros) {
    // Group names may hold a "/" themselves: every split is tried.
    for (std::size_t cut = path.find('/'); cut != std::string_view::npos; cut = path.find('/', cut + 1)) {
        const std::u16string group = Utf8ToUtf16(path.substr(0, cut));
        const std::u16string name = Utf8ToUtf16(path.substr(cut + 1));
        for (const MacroGroup& g : macros.groups()) {
            if (g.name != group) continue;
            for (const MacroRecord& m : g.macros)
                if (m.name == name) return KeyChoice::Macro(g.guid, m.guid);
        }
    }
    return std::nullopt;
}

}  // namespace

ParsedFunction ParseFunction(std::string_view text, const KeyFunctionCatalog& catalog,
                             const MacroStore& macros, const MacVkAndText& keys) {
    ParsedFunction out;
    const std::string_view t = TrimView(text);
    if (t.empty()) {
        out.error = "no function given";
        return out;
    }
    if (t.substr(0, 4) == "key:") {
        out.choice = KeyByName(t.substr(4), keys);
        if (!out.choice)
            out.error = "no key named \"" + std::string(t.substr(4)) + "\" in the keyboard layout";
        return out;
    }
    if (t.substr(0, 6) == "macro:") {
        out.choice = MacroByName(t.substr(6), macros);
        if (!out.choice)
            out.error = "no macro \"" + std::string(t.substr(6)) + "\" in the macro library (GROUP/NAME)";
        return out;
    }
    if (AllDigits(t)) {
        const int code = ParseLeadingInt(t);
        if (code < kMacroFunction && catalog.Has(code)) {
            out.choice = KeyChoice::Function(code);
        } else if (IsMacroFunction(code)) {
            out.error = "a macro is chosen as macro:GROUP/NAME";
        } else if (code > kLastMacroFunction && VirtualKeyToScan(code - kKeyFunctionBase) != 0) {
            out.choice = KeyChoice::Key(code - kKeyFunctionBase);
        } else {
            out.error = "function code " + std::string(t) + " is not in the catalog";
        }
        return out;
    }
    for (const bool list : {true, false}) {
        for (int code : catalog.Codes()) {
            const std::string label = list ? catalog.ListLabel(code) : catalog.ButtonLabel(code);
            if (code < kMacroFunction && EqualsIgnoreCaseAscii(label, t)) {
                out.choice = KeyChoice::Function(code);
                return out;
            }
        }
    }
    out.error = "unknown function \"" + std::string(t) + "\" (see zorctl functions)";
    return out;
}

std::string_view CategoryName(KeyCategory category) {
    switch (category) {
        case KeyCategory::Mouse:
            return "Mouse";
        case KeyCategory::Shortcut:
            return "ShortCut";
        case KeyCategory::Macro:
            return "Macro";
        case KeyCategory::Dpi:
            return "DPI";
        case KeyCategory::Lighting:
            return "Lighting";
        case KeyCategory::Mode:
            return "Mode";
        case KeyCategory::Media:
            return "Media";
        case KeyCategory::Wheel:
            return "Wheel";
    }
    return {};
}

std::vector<FunctionInfo> CatalogFunctions(const KeyFunctionCatalog& catalog) {
    std::vector<FunctionInfo> out;
    for (int code : catalog.Codes()) {
        if (code < 0 || code >= kMacroFunction) continue;
        out.push_back({code, catalog.ListLabel(code), catalog.ButtonLabel(code),
                       KeyFunctionCatalog::Category(code), IsWheelFunction(code)});
    }
    return out;
}

}  // namespace zor
