// Key assignment rules shared by the key page's popup and zorctl: which slot a key control
// edits, what the user may choose for it (the last left click stays, macros and the report-rate
// switch not over BLE, lighting only on models with lighting, the wheel's own list), writing the
// choice into a key table with its display text and the macros' use counters, reading a
// recorded keystroke, and naming a function on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/KeyFunctionCatalog.h"
#include "config/MouseConfig.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "settings/ApplyPipeline.h"

namespace zor {

inline constexpr int kWheelUpSlot = 16;
inline constexpr int kWheelDownSlot = 17;
inline constexpr int kLeftClickFunction = 1;
inline constexpr int kReportRateFunction = 10;
inline constexpr std::string_view kWheelUpControl = "btn_Mouse_Scr_Up";
inline constexpr std::string_view kWheelDownControl = "btn_Mouse_Scr_Dn";

// The codes of the wheel list, in list order.
inline constexpr int kWheelFunctions[] = {27, 28, 0, 11, 12, 32, 33};
bool IsWheelFunction(int code);

// The slot a key page control stands for: "btn_MouseKey_Click<n>", "btn_MouseKey_Mark<n>" and
// their "btn_MouseKey2_" forms give n, the wheel controls 16 and 17; -1 for any other name.
int SlotOfKeyControl(std::string_view name);
bool IsWheelSlot(int slot);
// The edit that sends a slot: the key write of slots 0..15, the combination write of 16..19.
ApplyKind ApplyKindOfSlot(int slot);

// Whether the model offers lighting functions: the description's KeySelLedVis, except on the
// models that have no lighting at all.
bool ModelHasLighting(bool keySelLedVis, std::string_view productName);

// What a key may be given.
struct KeyChoice {
    enum class Kind { Function, Macro, Key };
    Kind kind = Kind::Function;
    int code = 0;         // the function code (120 for a macro, 256 + vk for a key)
    std::string grpGuid;  // a macro's group and macro ids
    std::string macGuid;

    static KeyChoice Function(int code) { return {Kind::Function, code, {}, {}}; }
    static KeyChoice Macro(std::string group, std::string macro) {
        return {Kind::Macro, kMacroFunction, std::move(group), std::move(macro)};
    }
    static KeyChoice Key(int virtualKey) { return {Kind::Key, kKeyFunctionBase + virtualKey, {}, {}}; }
};

enum class AssignStatus {
    Assigned,
    OnlyOneKey,    // the slot is the table's only left click
    NoMacro,       // no such macro in the library
    MacroOverBle,  // macros cannot be sent over BLE
    NotOffered,    // the function is not offered for this slot or connection
    NoKey,         // the virtual-key code names no key
    BadSlot,
};

// The facts the rules depend on.
struct KeyRules {
    bool ble = false;
    bool lighting = true;
};

// The document, library and texts an assignment works on.
struct KeyAssignContext {
    MouseConfigDocument& document;
    MacroStore& macros;
    const KeyFunctionCatalog& catalog;
    const MacVkAndText& keys;
    KeyRules rules;
};

// True when the slot holds the table's only left click.
bool IsOnlyLeftClick(const doc::KeyTable& table, int slot);
// Whether the choice may be given to the slot at all (before the left-click rule).
AssignStatus CheckChoice(const KeyAssignContext& context, int slot, const KeyChoice& choice);
// Writes the choice into slot of key table `table`: code, display text, macro ids; the replaced
// macro's use counter goes down by one (never below 0) and a chosen macro's up by one. Nothing
// changes unless the answer is Assigned.
AssignStatus AssignKey(KeyAssignContext& context, int table, int slot, const KeyChoice& choice);
// Puts back an assignment the slot held before (the popup's Cancel): code, text and macro ids as
// they were, with the use counters of the macro it leaves and the macro it gets back.
void RestoreKey(KeyAssignContext& context, int table, int slot, const doc::KeyAssignment& previous);
// The display text a choice stores.
std::string ChoiceText(const KeyAssignContext& context, const KeyChoice& choice);

// A keystroke as the record field takes it: the set-1 scan code, 0xE000 | make code for keys
// flagged extended, except the synthetic Ctrl press (0x21D) that accompanies AltGr, which keeps
// its plain value.
std::uint32_t RecordScanCode(std::uint32_t scanCode, bool extended);
// The scan code of a native key event (X11/xkb keycode = evdev keycode + 8); 0 for none.
std::uint32_t ScanCodeOfNativeKey(std::uint32_t nativeScanCode);
// A recorded key: its scan code, virtual-key code (0 when it names no key) and name.
struct RecordedKey {
    std::uint32_t scan = 0;
    int virtualKey = 0;
    std::string name;
};
RecordedKey RecordKey(std::uint32_t scan, const MacVkAndText& keys);

// A function named on the command line: a function code, a catalog list label, "key:NAME" (a key
// by its name in the current layout) or "macro:GROUP/NAME". Answers the reason on failure.
struct ParsedFunction {
    std::optional<KeyChoice> choice;
    std::string error;
};
ParsedFunction ParseFunction(std::string_view text, const KeyFunctionCatalog& catalog,
                             const MacroStore& macros, const MacVkAndText& keys);

// The name of a category as zorctl shows it.
std::string_view CategoryName(KeyCategory category);

// The function list of the catalog, for zorctl functions.
struct FunctionInfo {
    int code = 0;
    std::string listLabel;
    std::string buttonLabel;
    KeyCategory category = KeyCategory::Mouse;
    bool wheel = false;  // also offered on the wheel
};
std::vector<FunctionInfo> CatalogFunctions(const KeyFunctionCatalog& catalog);

}  // namespace zor
