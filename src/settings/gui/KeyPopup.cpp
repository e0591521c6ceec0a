#include "settings/gui/KeyPopup.h"

#include <QKeyEvent>
#include <array>
#include <utility>
#include <vector>

#include "common/Debug.h"
#include "common/Text.h"
#include "ui/Controls.h"
#include "ui/LazyInclude.h"

namespace zor {
namespace {

using ui::CButtonUI;
using ui::CContainerUI;
using ui::CControlUI;
using ui::COptionUI;

const QString kRoot = QStringLiteral("PopMouseKeySel");
const QString kPart = QStringLiteral("PopMouseKeySel_part");
const QString kSwitch = QStringLiteral("MouseKey_switch");
const QString kRecordField = QStringLiteral("SetRecordKey");
const QString kGroupButton = QStringLiteral("btn_MouseKey_MacroGroupVal");
const QString kMacroButton = QStringLiteral("btn_MouseKey_MacroVal");
const QString kGroupList = QStringLiteral("macrogrp_list_layout");
const QString kMacroList = QStringLiteral("macro_list_layout");
const QString kGroupItem = QStringLiteral("mac_grp_list_items");
const QString kMacroItem = QStringLiteral("mac_list_items");
const QString kItemPrefix = QStringLiteral("ItemValue");
constexpr int kMacroPage = 2;
constexpr int kWheelPage = 7;

struct Category {
    const char* option;
    const char* list;  // null for the macro page
    KeyCategory category;
};
// Option index = page index of MouseKey_switch.
constexpr std::array<Category, 8> kCategories{{
    {"opt_MouseKey_Mouse", "list_MouseKey_Mouse", KeyCategory::Mouse},
    {"opt_MouseKey_ShortCut", "list_MouseKey_ShortCut", KeyCategory::Shortcut},
    {"opt_KBSet_Macro", nullptr, KeyCategory::Macro},
    {"opt_MouseKey_Media", "list_MouseKey_Media", KeyCategory::Media},
    {"opt_MouseKey_DPI", "list_MouseKey_DPI", KeyCategory::Dpi},
    {"opt_MouseKey_Mode", "list_MouseKey_Mode", KeyCategory::Mode},
    {"opt_MouseKey_Led", "list_MouseKey_Led", KeyCategory::Lighting},
    {"opt_ScrollKey_Base", "list_ScrollKey_Base", KeyCategory::Wheel},
}};

int PageOfCategory(KeyCategory category) {
    for (std::size_t i = 0; i < kCategories.size(); ++i)
        if (kCategories[i].category == category) return static_cast<int>(i);
    return 0;
}

}  // namespace

KeyPopup::KeyPopup(ui::CPaintManagerUI& pm, KeyAssignContext context, Hooks hooks)
    : m_pm(pm), m_ctx(context), m_hooks(std::move(hooks)) {
    FindRoot();
}

void KeyPopup::FindRoot() {
    m_root = m_pm.FindControl(kRoot);
    if (m_root) m_root->installEventFilter(this);
    // Escape reaches the window when no control of the popup holds the focus.
    if (m_root) m_root->window()->installEventFilter(this);
}

// The skin may build the popup only when it first opens (a lazy part named kPart): most runs
// of the program never open it, and it is the largest part of the main window.
bool KeyPopup::Build() {
    if (!m_root) {
        if (auto* part = qobject_cast<ui::CLazyIncludeUI*>(m_pm.FindControl(kPart))) part->Build();
        FindRoot();
    }
    return m_root != nullptr;
}

void KeyPopup::ShowPart(bool show) {
    if (CControlUI* part = m_pm.FindControl(kPart)) {
        part->SetVisible(show);
        if (show) part->raise();
    }
}

KeyPopup::~KeyPopup() {
    StopRecording();
}

CControlUI* KeyPopup::Find(const QString& name) const {
    return m_root ? m_pm.FindSubControlByName(m_root, name) : nullptr;
}

bool KeyPopup::IsOpen() const {
    return m_root && m_root->IsVisible();
}

const doc::KeyAssignment* KeyPopup::Current() const {
    const auto& tables = m_ctx.document.keyTables;
    if (m_table < 0 || m_table >= static_cast<int>(tables.size())) return nullptr;
    const auto& table = tables[static_cast<std::size_t>(m_table)];
    const auto it = table.find(SlotName(m_slot));
    return it == table.end() ? nullptr : &it->second;
}

void KeyPopup::Open(const QString& controlName, int table, const KeyRules& rules) {
    if (!Build()) return;
    StopRecording();
    m_control = controlName;
    m_slot = SlotOfKeyControl(controlName.toStdString());
    m_table = table;
    m_ctx.rules = rules;
    m_changed = false;
    m_group = m_macro = -1;
    m_recorded = {};
    const doc::KeyAssignment* current = Current();
    m_opening = current ? *current : doc::KeyAssignment{};

    // Over BLE the mouse can neither change its report rate by a key nor store macros.
    if (CControlUI* rate = Find(QStringLiteral("ItemValue10_ReportRate"))) rate->SetVisible(!rules.ble);
    for (const QString& name : {kGroupButton, kMacroButton})
        if (CControlUI* c = Find(name)) c->SetEnabled(!rules.ble);

    const bool wheel = controlName.startsWith(QLatin1String("btn_Mouse_Scr"));
    for (std::size_t i = 0; i < kCategories.size(); ++i) {
        CControlUI* option = Find(QLatin1String(kCategories[i].option));
        if (!option) continue;
        const KeyCategory c = kCategories[i].category;
        bool shown = wheel ? (c == KeyCategory::Wheel || c == KeyCategory::Macro) : c != KeyCategory::Wheel;
        if (c == KeyCategory::Lighting) shown = shown && rules.lighting;
        option->SetVisible(shown);
    }
    ShowMacroPrompts();
    if (CControlUI* field = Find(kRecordField)) field->SetText(Text("RecordKeyPrompt"));
    HideDropLists();
    ShowPart(true);
    m_root->SetVisible(true);
    m_root->raise();
    ShowAssignment();
    // Tab stays inside the popup while it is open; a keyboard user goes on at its first control
    // and comes back to the key control when it closes.
    m_pm.SetFocusScope(m_root);
    auto* opener = qobject_cast<CControlUI*>(m_root->window()->focusWidget());
    if (opener != nullptr && opener->HasKeyboardFocus() && !m_root->isAncestorOf(opener)) {
        m_returnFocus = opener;
        const std::vector<QWidget*> stops = ui::TabStops(m_root);
        if (!stops.empty()) stops.front()->setFocus(Qt::TabFocusReason);
    }
}

void KeyPopup::Close() {
    StopRecording();
    HideDropLists();
    if (auto* field = FindAs<COptionUI>(kRecordField)) field->Selected(false, false);
    if (m_root) m_root->SetVisible(false);
    ShowPart(false);
    m_pm.SetFocusScope(nullptr);
    if (QPointer<QWidget> back = std::exchange(m_returnFocus, nullptr);
        back && back->isVisibleTo(back->window()))
        back->setFocus(Qt::TabFocusReason);
    if (m_hooks.closed) m_hooks.closed();
}

void KeyPopup::ShowCategory(int index) {
    if (index != kMacroPage) StopRecording();
    m_showing = true;
    if (auto* option = FindAs<COptionUI>(QLatin1String(kCategories[static_cast<std::size_t>(index)].option)))
        option->Selected(true, false);
    if (auto* pages = FindAs<CContainerUI>(kSwitch)) pages->SelectItem(index);
    m_showing = false;
}

void KeyPopup::ClearListSelections() {
    for (const Category& c : kCategories) {
        if (c.list == nullptr) continue;
        CControlUI* list = Find(QLatin1String(c.list));
        if (!list) continue;
        for (auto* item : list->findChildren<COptionUI*>()) item->Selected(false, false);
    }
}

void KeyPopup::SelectItemOfCode(const QString& listName, KeyCategory category, int code) {
    CControlUI* list = Find(listName);
    if (!list) return;
    // The item is found by the code its name carries, so translated item texts still match.
    for (auto* item : list->findChildren<COptionUI*>()) {
        const QString name = item->GetName();
        if (!name.startsWith(kItemPrefix)) continue;
        if (KeyFunctionCatalog::CodeOfListItem(name.toStdString(), category) == code) {
            item->Selected(true, false);
            return;
        }
    }
}

void KeyPopup::ShowAssignment() {
    const doc::KeyAssignment* key = Current();
    const int code = key ? key->code : 0;
    m_showing = true;
    ClearListSelections();
    if (auto* field = FindAs<COptionUI>(kRecordField)) field->Selected(false, false);
    m_showing = false;
    const bool wheel = m_control.startsWith(QLatin1String("btn_Mouse_Scr"));
    int page = 0;
    if (code >= kMacroFunction) {
        page = kMacroPage;
    } else if (wheel) {
        page = kWheelPage;
    } else {
        page = PageOfCategory(KeyFunctionCatalog::Category(code));
    }
    ShowCategory(page);
    m_showing = true;
    if (page == kMacroPage) {
        if (code > kLastMacroFunction) {
            if (CControlUI* field = Find(kRecordField))
                field->SetText(QString::fromStdString(KeyFunctionCatalog::KeyName(code, m_ctx.keys)));
        } else {
            ShowMacroTexts();
        }
    } else {
        const Category& c = kCategories[static_cast<std::size_t>(page)];
        SelectItemOfCode(QLatin1String(c.list), c.category, code);
    }
    m_showing = false;
}

void KeyPopup::ShowMacroTexts() {
    const doc::KeyAssignment* key = Current();
    if (!key) return;
    const auto& groups = m_ctx.macros.groups();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].guid != key->grpGuid) continue;
        for (std::size_t m = 0; m < groups[g].macros.size(); ++m) {
            if (groups[g].macros[m].guid != key->macGuid) continue;
            m_group = static_cast<int>(g);
            m_macro = static_cast<int>(m);
            if (CControlUI* b = Find(kGroupButton)) b->SetText(QString::fromStdU16String(groups[g].name));
            if (CControlUI* b = Find(kMacroButton))
                b->SetText(QString::fromStdU16String(groups[g].macros[m].name));
            return;
        }
    }
}

QString KeyPopup::Text(const char* id) const {
    return m_hooks.text ? m_hooks.text(QLatin1String(id)) : QString();
}

void KeyPopup::ShowMacroPrompts() {
    if (CControlUI* b = Find(kGroupButton)) b->SetText(Text("MacroGroupPrompt"));
    if (CControlUI* b = Find(kMacroButton)) b->SetText(Text("MacroPrompt"));
}

void KeyPopup::HideDropLists() {
    for (const QString& name : {kGroupList, kMacroList})
        if (CControlUI* list = Find(name)) list->SetVisible(false);
}

namespace {

// One entry of a drop-down list, styled after the drop-down button it belongs to.
CButtonUI* MakeDropItem(ui::CPaintManagerUI& pm, CContainerUI* list, const QString& name, const QString& text,
                        int index, const CControlUI* button) {
    auto* item = new CButtonUI();
    item->SetManager(&pm);
    item->ApplyAttributeList(
        QStringLiteral("height=\"30\" font=\"2\" align=\"left\" textpadding=\"10,0,8,0\" borderround=\"6,6\" "
                       "endellipsis=\"true\""));
    item->SetAttribute(QStringLiteral("textcolor"), button->GetAttribute(QStringLiteral("textcolor")));
    item->SetAttribute(QStringLiteral("hotbkcolor"), list->GetAttribute(QStringLiteral("bordercolor")));
    item->SetName(name);
    item->SetText(text);
    item->SetUserData(QString::number(index));
    list->Add(item);
    pm.InitControl(item);
    return item;
}

}  // namespace

void KeyPopup::FillMacroGroups() {
    auto* list = FindAs<CContainerUI>(kGroupList);
    CControlUI* button = Find(kGroupButton);
    if (!list || !button) return;
    list->RemoveAll();
    const auto& groups = m_ctx.macros.groups();
    for (std::size_t g = 0; g < groups.size(); ++g)
        MakeDropItem(m_pm, list, kGroupItem, QString::fromStdU16String(groups[g].name), static_cast<int>(g),
                     button);
    list->LayoutChildren();
}

void KeyPopup::FillMacros() {
    auto* list = FindAs<CContainerUI>(kMacroList);
    CControlUI* button = Find(kMacroButton);
    const MacroGroup* group = m_ctx.macros.group(m_group);
    if (!list || !button || !group) return;
    list->RemoveAll();
    for (std::size_t m = 0; m < group->macros.size(); ++m)
        MakeDropItem(m_pm, list, kMacroItem, QString::fromStdU16String(group->macros[m].name),
                     static_cast<int>(m), button);
    list->LayoutChildren();
}

void KeyPopup::Choose(const KeyChoice& choice) {
    const AssignStatus status = AssignKey(m_ctx, m_table, m_slot, choice);
    if (status == AssignStatus::OnlyOneKey) {
        if (m_hooks.messageBox) m_hooks.messageBox(QStringLiteral("Tip"), QStringLiteral("OnlyOneKey"));
        ShowAssignment();
        return;
    }
    if (status != AssignStatus::Assigned) {
        DebugF("key %d: choice of code %d not taken (%d)\n", m_slot, choice.code, static_cast<int>(status));
        ShowAssignment();
        return;
    }
    m_changed = true;
    if (choice.kind != KeyChoice::Kind::Macro) {
        m_group = m_macro = -1;
        ShowMacroPrompts();
    }
    if (m_hooks.announce) m_hooks.announce();
}

void KeyPopup::Restore() {
    if (!m_changed) return;
    RestoreKey(m_ctx, m_table, m_slot, m_opening);
    m_changed = false;
    if (m_hooks.announce) m_hooks.announce();
}

void KeyPopup::StartRecording() {
    if (m_recording || !m_root) return;
    m_recording = true;
    m_root->setFocusPolicy(Qt::StrongFocus);
    m_root->setFocus(Qt::OtherFocusReason);
    // While the field is selected every keystroke comes here and reaches no other program.
    m_root->grabKeyboard();
    if (CControlUI* field = Find(kRecordField)) field->SetText(Text("RecordKeyPress"));
    DebugLine("key recording: keyboard grabbed\n");
}

void KeyPopup::StopRecording() {
    if (!m_recording) return;
    m_recording = false;
    // The field is selected exactly while recording.
    if (auto* field = FindAs<COptionUI>(kRecordField)) field->Selected(false, false);
    if (m_root) m_root->releaseKeyboard();
    DebugLine("key recording: keyboard released\n");
}

bool KeyPopup::eventFilter(QObject* watched, QEvent* event) {
    // Escape cancels the popup as its Cancel button does (a recording takes every key).
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        !m_recording && IsOpen() && (watched == m_root || (m_root && watched == m_root->window()))) {
        Restore();
        Close();
        return true;
    }
    if (watched != m_root) return false;
    if (event->type() == QEvent::Hide) {
        StopRecording();
        return false;
    }
    if (!m_recording || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const std::uint32_t scan = ScanCodeOfNativeKey(key->nativeScanCode());
    if (scan != 0 && m_hooks.sendRecordKey) m_hooks.sendRecordKey(scan);
    return true;
}

void KeyPopup::OnRecordKey(unsigned scan) {
    if (!m_recording) return;
    m_recorded = RecordKey(scan, m_ctx.keys);
    if (CControlUI* field = Find(kRecordField)) field->SetText(QString::fromStdString(m_recorded.name));
}

bool KeyPopup::Notify(ui::TNotifyUI& msg) {
    if (!m_root || msg.pSender == nullptr || !m_root->isAncestorOf(msg.pSender)) return false;
    const QString name = msg.pSender->GetName();
    const bool click = msg.sType == QLatin1String("click");
    auto* option = qobject_cast<COptionUI*>(msg.pSender);
    const bool selected = msg.sType == QLatin1String("selectchanged") && option && option->IsSelected();

    for (std::size_t i = 0; i < kCategories.size(); ++i) {
        if (name != QLatin1String(kCategories[i].option)) continue;
        if (selected && !m_showing) {
            HideDropLists();
            ShowCategory(static_cast<int>(i));
        }
        return true;
    }
    if (name.startsWith(kItemPrefix)) {
        if (!selected || m_showing) return true;
        for (const Category& c : kCategories) {
            if (c.list == nullptr) continue;
            CControlUI* list = Find(QLatin1String(c.list));
            if (list && list->isAncestorOf(msg.pSender)) {
                Choose(
                    KeyChoice::Function(KeyFunctionCatalog::CodeOfListItem(name.toStdString(), c.category)));
                break;
            }
        }
        return true;
    }
    if (name == kRecordField) {
        if (option && msg.sType == QLatin1String("selectchanged") && !m_showing) {
            if (option->IsSelected())
                StartRecording();
            else
                StopRecording();
        }
        return true;
    }
    if (!click) return true;
    if (name == kGroupButton) {
        CControlUI* list = Find(kGroupList);
        const bool show = list && !list->IsVisible();
        HideDropLists();
        if (show) {
            FillMacroGroups();
            list->SetVisible(true);
            list->raise();
        }
    } else if (name == kGroupItem) {
        m_group = msg.pSender->GetUserData().toInt();
        m_macro = -1;
        if (CControlUI* b = Find(kGroupButton)) b->SetText(msg.pSender->GetText());
        if (CControlUI* b = Find(kMacroButton)) b->SetText(Text("MacroPrompt"));
        HideDropLists();
    } else if (name == kMacroButton) {
        CControlUI* list = Find(kMacroList);
        const bool show = list && !list->IsVisible() && m_ctx.macros.group(m_group) != nullptr;
        HideDropLists();
        if (show) {
            FillMacros();
            list->SetVisible(true);
            list->raise();
        }
    } else if (name == kMacroItem) {
        m_macro = msg.pSender->GetUserData().toInt();
        if (CControlUI* b = Find(kMacroButton)) b->SetText(msg.pSender->GetText());
        HideDropLists();
        const MacroGroup* group = m_ctx.macros.group(m_group);
        const MacroRecord* macro = m_ctx.macros.macro(m_group, m_macro);
        if (group && macro) Choose(KeyChoice::Macro(group->guid, macro->guid));
    } else if (name == QLatin1String("BtnRecordConfirm")) {
        StopRecording();
        m_showing = true;
        if (auto* field = FindAs<COptionUI>(kRecordField)) field->Selected(false, false);
        m_showing = false;
        if (m_recorded.virtualKey != 0) Choose(KeyChoice::Key(m_recorded.virtualKey));
    } else if (name == QLatin1String("PopSoftKB")) {
        if (!(m_hooks.startOnScreenKeyboard && m_hooks.startOnScreenKeyboard()) && m_hooks.messageBox)
            m_hooks.messageBox(QStringLiteral("Tip"), QStringLiteral("NoSoftKeyboard"));
    } else if (name == QLatin1String("btn_MouseKey_Apply")) {
        Close();
    } else if (name == QLatin1String("btn_MouseKey_Cancel")) {
        Restore();
        Close();
    }
    return true;
}

}  // namespace zor
