#include "macro/gui/MacroPage.h"

#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

#include "common/Debug.h"
#include "common/Text.h"
#include "macro/MacroEditing.h"
#include "macro/MacroUsage.h"
#include "ui/Messages.h"

namespace zor {

namespace {

using ui::CButtonUI;
using ui::CCheckBoxUI;
using ui::CContainerUI;
using ui::CControlUI;
using ui::CEditUI;
using ui::CListContainerElementUI;
using ui::CListUI;
using ui::COptionUI;
using ui::CTreeNodeUI;
using ui::CTreeViewUI;

const QString kTree = QStringLiteral("tre_Macro_GroupDisplay");
const QString kList = QStringLiteral("list_Macro_KeyDisplay");
const QString kRecord = QStringLiteral("btn_Macro_Record");
const QString kTemp = QStringLiteral("btn_Macro_Temp");
const QString kInsert = QStringLiteral("btn_Macro_InsertKey");
const QString kDelete = QStringLiteral("btn_Macro_Delete");
const QString kAddGroup = QStringLiteral("opt_Macro_AddMacGroup");
const QString kAddMacro = QStringLiteral("opt_Macro_AddNewMac");
const QString kImport = QStringLiteral("opt_Macro_importMacGroup");
const QString kExport = QStringLiteral("opt_Macro_exportMacGroup");
const QString kCount = QStringLiteral("Edit_Macro_Time");
const QString kRename = QStringLiteral("EditGrpNodeAll");
const QString kToSave = QStringLiteral("ToSave");
const QString kBindNum = QStringLiteral("label_bindkeys_num");
const QString kBindList = QStringLiteral("VLayout_BindKeys_Info");
const QString kMacroName = QStringLiteral("lab_Macro_Name");
const QString kMacroCount = QStringLiteral("lab_Macro_Count");
const QString kLoopGroup = QStringLiteral("MacroLoopMode");
const QString kRowSkin = QStringLiteral("listitem.xml");

constexpr std::uint32_t kTabScan = 15;

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::u16string U(const QString& text) {
    return text.toStdU16String();
}

const QString& StateIcon(std::uint8_t code, std::uint8_t state) {
    static const QString kDown = QStringLiteral("MacroVarn/png/KeyDown.png");
    static const QString kUp = QStringLiteral("MacroVarn/png/KeyUp.png");
    static const QString kQuadrant[] = {
        QStringLiteral("MacroVarn/png/2.png"), QStringLiteral("MacroVarn/png/1.png"),
        QStringLiteral("MacroVarn/png/4.png"), QStringLiteral("MacroVarn/png/3.png")};
    static const QString kNone;
    if (code == kMacCodeMove) return state >= 3 && state <= 6 ? kQuadrant[state - 3] : kNone;
    if (code == kMacCodeDpi || code == kMacCodeLighting || code == 0) return kNone;
    return state == kMacStatePress ? kDown : kUp;
}

QString TypeIcon(const MacroDeviceBlock& b, int i) {
    const std::uint8_t code = b.macVal[static_cast<std::size_t>(i)];
    switch (code) {
        case kMacCodeMove:
            return QStringLiteral("MacroVarn/png/move.png");
        case kMacCodeDpi:
            return QStringLiteral("MacroVarn/png/dpi.png");
        case 0:
            // An empty slot shows the icon of the event before it.
            return i > 0 ? TypeIcon(b, i - 1) : QStringLiteral("MacroVarn/png/KB2.png");
        default:
            if (code >= kMacCodeLeftButton && code <= kMacCodeFifthButton)
                return QStringLiteral("MacroVarn/png/mouse.png");
            return QStringLiteral("MacroVarn/png/KB2.png");
    }
}

// Sets a picture attribute only when it changes: re-parsing it for every row is the main cost
// of refilling a long list.
void SetImage(CControlUI* control, const QString& file) {
    if (!control) return;
    if (control->GetAttribute(QStringLiteral("bkimage")) == file) return;
    control->SetAttribute(QStringLiteral("bkimage"), file);
}

void SetLabel(CControlUI* control, const QString& text) {
    if (control && control->GetText() != text) control->SetText(text);
}

bool Inside(const CControlUI* control, const CControlUI* ancestor) {
    for (const QWidget* w = control; w; w = w->parentWidget())
        if (w == ancestor) return true;
    return false;
}

}  // namespace

MacroPage::MacroPage(ui::WindowImplBase& window, MacroStore& store, const MacVkAndText& keys, Hooks hooks)
    : m_window(window),
      m_store(store),
      m_keys(keys),
      m_hooks(std::move(hooks)),
      m_recorder(store, keys,
                 m_hooks.clock ? m_hooks.clock : MacroRecorder::Clock(&std::chrono::system_clock::now)) {
    // Captured keys reach the window as its key messages, which it hands back to the page.
    m_capture = std::make_unique<KeyboardCapture>(
        &window, [this](unsigned message, std::uint32_t vk, std::uint32_t scan) {
            ui::SendMessageTo(&m_window, message, vk, scan);
        });
    m_capture->SetLostHandler([this] { StopRecording(); });
    m_rowMarkup = std::make_unique<ui::CMarkup>();
    m_rowFile = ui::CPaintManagerUI::ResolveFile(kRowSkin);
    m_rowMarkup->LoadFromFile(m_rowFile);

    // Edits never wait for the disk: a burst of them is written once, shortly after the last,
    // by the store's writer thread; hiding the page and ending it write everything at once.
    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, [this] { ReportEdit(m_store.Commit()); });
    m_store.SetWriteBehind([this] { m_saveTimer->start(); },
                           [this](const std::string& error) {
                               m_calls.Post([this, error] { ReportEdit(MacroResult::Fail(error)); });
                           });
}

MacroPage::~MacroPage() {
    // The keyboard is never left grabbed, whatever ends the page.
    m_capture.reset();
    if (m_popup) m_popup->Close(0);
    m_store.EndWriteBehind();
}

void MacroPage::FlushSaves() {
    m_saveTimer->stop();
    // A write that fails is reported by the writer's handler above, once.
    m_store.Flush();
}

QString MacroPage::Text(const QString& key, const QString& fallback) const {
    const QString t = m_hooks.text ? m_hooks.text(key) : QString();
    return t.isEmpty() ? (fallback.isEmpty() ? key : fallback) : t;
}

int MacroPage::Box(const QString& textKey, bool withCancel) {
    return m_hooks.messageBox ? m_hooks.messageBox(QStringLiteral("Tip"), textKey, withCancel) : 1;
}

int MacroPage::BuiltRows() const {
    return static_cast<int>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const auto& r) { return !r.isNull(); }));
}

int MacroPage::SelectedRow() const {
    auto* list = Find<CListUI>(kList);
    return list ? list->GetCurSel() : -1;
}

// ---------------------------------------------------------------- tree

void MacroPage::ApplyTexts() {
    if (!m_hooks.text) return;
    CControlUI* root = FindControl(QStringLiteral("page_macro"));
    if (!root) return;
    for (CControlUI* control : m_window.PaintManager().AllControls()) {
        const QString id = control->GetTextId();
        if (id.isEmpty() || id == QLatin1String("NoText") || !Inside(control, root)) continue;
        const QString text = m_hooks.text(id);
        if (!text.isEmpty()) SetLabel(control, text);
    }
}

void MacroPage::Rebuild() {
    ApplyTexts();
    const int g = m_group;
    const int m = m_macro;
    BuildTree();
    const auto& groups = m_store.groups();
    if (groups.empty()) {
        m_group = m_macro = -1;
        ShowMacro();
    } else if (g >= 0 && g < static_cast<int>(groups.size())) {
        const int macros = static_cast<int>(groups[static_cast<std::size_t>(g)].macros.size());
        SelectNode(g, m < macros ? m : (macros > 0 ? 0 : -1));
    } else {
        SelectNode(0, groups[0].macros.empty() ? -1 : 0);
    }
    UpdateButtons();
}

void MacroPage::BuildTree() {
    auto* tree = Find<CTreeViewUI>(kTree);
    if (!tree) return;
    tree->RemoveAll();
    m_nodes.clear();
    const auto& groups = m_store.groups();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        tree->SetAttribute(QStringLiteral("nodeskin"), QStringLiteral("node.xml"));
        CTreeNodeUI* groupNode = tree->AddNode(Q(groups[g].name));
        m_nodes.push_back({groupNode, static_cast<int>(g), -1});
        tree->SetAttribute(QStringLiteral("nodeskin"), QStringLiteral("node2.xml"));
        for (std::size_t m = 0; m < groups[g].macros.size(); ++m) {
            CTreeNodeUI* node = tree->AddNode(Q(groups[g].macros[m].name), groupNode);
            m_nodes.push_back({node, static_cast<int>(g), static_cast<int>(m)});
        }
    }
}

const MacroPage::NodeRef* MacroPage::RefOf(const CControlUI* control) const {
    for (const QWidget* w = control; w; w = w->parentWidget()) {
        for (const NodeRef& ref : m_nodes)
            if (ref.node == w) return &ref;
    }
    return nullptr;
}

void MacroPage::SelectNode(int group, int macro) {
    m_group = group;
    m_macro = macro;
    auto* tree = Find<CTreeViewUI>(kTree);
    for (const NodeRef& ref : m_nodes) {
        if (ref.group == group && ref.macro == macro) {
            if (tree) tree->SelectItem(tree->GetItemIndex(ref.node), false);
            break;
        }
    }
    ShowMacro();
}

void MacroPage::OnTreeSelect(int index) {
    auto* tree = Find<CTreeViewUI>(kTree);
    if (!tree) return;
    const NodeRef* ref = RefOf(tree->GetItemAt(index));
    if (!ref) return;
    if (ref->group == m_group && ref->macro == m_macro) return;
    m_group = ref->group;
    m_macro = ref->macro;
    ShowMacro();
}

void MacroPage::UpdateButtons() {
    const bool any = !m_store.groups().empty();
    if (auto* e = FindControl(kExport)) e->SetEnabled(any);
}

void MacroPage::ShowToSave(int g, int m, bool show) {
    for (const NodeRef& ref : m_nodes) {
        if (ref.group != g || ref.macro != m) continue;
        if (auto* marker = m_window.PaintManager().FindSubControlByName(ref.node, kToSave))
            marker->SetVisible(show);
    }
}

void MacroPage::MarkChanged() {
    const MacroRecord* rec = m_store.macro(m_group, m_macro);
    if (!rec || !MacroIsBound(*rec)) return;
    ShowToSave(m_group, m_macro, true);
    NoteChanged(*m_store.group(m_group), *rec);
}

void MacroPage::NoteChanged(const MacroGroup& group, const MacroRecord& macro) {
    const std::pair<std::string, std::string> ids{group.guid, macro.guid};
    if (std::find(m_changed.begin(), m_changed.end(), ids) == m_changed.end()) m_changed.push_back(ids);
    m_pending = true;
    if (m_hooks.deviceChangesPending) m_hooks.deviceChangesPending();
}

void MacroPage::MacrosSent(const std::vector<std::pair<std::string, std::string>>& sent) {
    for (const auto& ids : sent) std::erase(m_changed, ids);
    m_pending = !m_changed.empty();
    if (m_pending) return;
    for (const NodeRef& ref : m_nodes)
        if (ref.macro >= 0) ShowToSave(ref.group, ref.macro, false);
}

// ---------------------------------------------------------------- menus

void MacroPage::OpenContextMenu(const NodeRef* ref) {
    const bool macro = ref && ref->macro >= 0;
    m_menuGroup = ref ? ref->group : -1;
    m_menuMacro = ref ? ref->macro : -1;
    const QPoint at = m_hooks.menuPosition ? m_hooks.menuPosition() : QCursor::pos();
    if (m_menu) m_menu->Close();
    m_menu = ui::CMenuWnd::CreateMenu(
        &m_window, macro ? QStringLiteral("marco_menu.xml") : QStringLiteral("marco_group_menu.xml"), at,
        Find(kTree));
    if (!m_menu || macro || !m_menu->Menu()) return;
    // Without a group under the cursor only the library-wide commands apply.
    for (const char* item : {"group_rename", "GroupDelete", "group_export"})
        if (auto* action = m_menu->Menu()->findChild<QAction*>(QLatin1String(item)))
            action->setEnabled(ref != nullptr);
}

void MacroPage::OpenInsertMenu() {
    if (m_menu) m_menu->Close();
    auto* button = FindControl(kInsert);
    m_insertMenuPos = m_hooks.menuPosition
                          ? m_hooks.menuPosition()
                          : (button ? button->mapToGlobal(QPoint(0, button->height() + 4)) : QCursor::pos());
    m_menu =
        ui::CMenuWnd::CreateMenu(&m_window, QStringLiteral("PopMacroInsert.xml"), m_insertMenuPos, button);
    if (!m_menu || !m_menu->Menu()) return;
    for (const auto& [name, mode] :
         {std::pair{"opt_InsertBefor", kPopInsertBefore}, std::pair{"opt_InsertAfter", kPopInsertAfter}}) {
        if (auto* action = m_menu->Menu()->findChild<QAction*>(QLatin1String(name))) {
            action->setCheckable(true);
            action->setChecked(m_insertMode == mode);
        }
    }
}

void MacroPage::OnMenu(const QString& item) {
    const int g = m_menuGroup;
    const int m = m_menuMacro;
    if (item == QLatin1String("group_rename") || item == QLatin1String("marco_rename")) {
        for (const NodeRef& ref : m_nodes)
            if (ref.group == g && ref.macro == (item == QLatin1String("group_rename") ? -1 : m))
                StartRename(&ref);
    } else if (item == QLatin1String("GroupDelete")) {
        DeleteGroup(g);
    } else if (item == QLatin1String("marco_delete")) {
        DeleteMacro(g, m);
    } else if (item == QLatin1String("group_import")) {
        ImportGroups();
    } else if (item == QLatin1String("group_export")) {
        ExportGroup(g);
    } else if (item == QLatin1String("group_reset")) {
        ResetLibrary();
    } else if (item == QLatin1String("opt_InsertBefor") || item == QLatin1String("opt_InsertAfter")) {
        // The place is remembered; the menu comes back for the kind of event.
        m_insertMode = item == QLatin1String("opt_InsertBefor") ? kPopInsertBefore : kPopInsertAfter;
        QTimer::singleShot(0, this, [this] { OpenInsertMenu(); });
    } else if (item.startsWith(QLatin1String("menu_Macro_Insert"))) {
        if (CheckInsert(m_store, m_group, m_macro) != InsertRefusal::None) return;
        PopMacroEvent e;
        e.delay = 10;
        e.state = kMacStatePress;
        if (item == QLatin1String("menu_Macro_InsertMouse")) {
            e.code = kMacCodeLeftButton;
            e.text = EventText(kMacCodeLeftButton, QStringLiteral("Left Click"));
        } else if (item == QLatin1String("menu_Macro_InsertKB")) {
            e.code = 4;
            e.text = Q(m_keys.UsageToText(4));
        } else if (item == QLatin1String("menu_Macro_InsertXY")) {
            e.code = kMacCodeMove;
            e.state = 4;
            e.x = 0;
            e.y = 1;
            e.text = Q(MoveText(4, 0, 1));
        } else if (item == QLatin1String("menu_Macro_InsertDpi")) {
            e.code = kMacCodeDpi;
            e.text = QStringLiteral("[DPI]:400 ");
        } else {
            return;
        }
        OpenPopup(e, m_insertMode);
    }
}

// ---------------------------------------------------------------- rename, new, delete

void MacroPage::StartRename(const NodeRef* ref) {
    if (!ref) return;
    auto& pm = m_window.PaintManager();
    auto* edit = qobject_cast<CEditUI*>(pm.FindSubControlByName(ref->node, kRename));
    if (!edit) return;
    const std::u16string name =
        ref->macro < 0 ? m_store.group(ref->group)->name : m_store.macro(ref->group, ref->macro)->name;
    m_renameOld = Q(name);
    m_renaming = edit;
    edit->SetText(m_renameOld);
    edit->SetVisible(true);
    edit->setFocus();
    if (edit->LineEdit()) {
        edit->LineEdit()->setFocus();
        edit->LineEdit()->selectAll();
    }
}

void MacroPage::FinishRename(CControlUI* control) {
    auto* edit = qobject_cast<CEditUI*>(control);
    if (!edit || edit != m_renaming) return;
    m_renaming = nullptr;
    edit->SetVisible(false);
    const NodeRef* ref = RefOf(edit);
    if (!ref) return;
    const std::u16string typed = U(edit->GetText());
    const std::u16string old = U(m_renameOld);
    std::optional<std::u16string> name;
    MacroResult r;
    if (ref->macro < 0) {
        name = RenamedName(typed, old, GroupNamesExcept(m_store, ref->group));
        if (name) r = m_store.RenameGroup(ref->group, *name);
    } else {
        name = RenamedName(typed, old, MacroNamesExcept(m_store, ref->group, ref->macro));
        if (name) r = m_store.RenameMacro(ref->group, ref->macro, *name);
    }
    const QString shown = name && r.ok ? Q(*name) : m_renameOld;
    if (auto* label = m_window.PaintManager().FindSubControlByName(ref->node, QStringLiteral("text")))
        label->SetText(shown);
    if (ref->group == m_group && ref->macro == m_macro && ref->macro >= 0)
        SetLabel(FindControl(kMacroName), shown);
    if (name && r.ok && m_hooks.macroNamesChanged) m_hooks.macroNamesChanged();
    ReportEdit(r);
}

void MacroPage::NewGroup() {
    const int position = m_group >= 0 ? m_group + 1 : static_cast<int>(m_store.groups().size());
    int g = -1;
    MacroResult r =
        m_store.NewGroup(position, U(Text(QStringLiteral("New Group"), QStringLiteral("New group"))), &g);
    if (!r.ok) return ReportEdit(r);
    int m = -1;
    r = m_store.NewMacro(g, 0, U(Text(QStringLiteral("New Macro"), QStringLiteral("New macro"))), &m);
    BuildTree();
    SelectNode(g, r.ok ? m : -1);
    UpdateButtons();
    ReportEdit(r);
}

void MacroPage::NewMacro() {
    if (m_store.groups().empty()) return NewGroup();
    const int g = m_group >= 0 ? m_group : 0;
    const int position = m_macro >= 0 ? m_macro + 1 : static_cast<int>(m_store.group(g)->macros.size());
    int m = -1;
    const MacroResult r =
        m_store.NewMacro(g, position, U(Text(QStringLiteral("New Macro"), QStringLiteral("New macro"))), &m);
    if (!r.ok) return ReportEdit(r);
    BuildTree();
    SelectNode(g, m);
}

void MacroPage::DeleteGroup(int g) {
    const MacroGroup* grp = m_store.group(g);
    if (!grp) return;
    const bool bound = std::any_of(grp->macros.begin(), grp->macros.end(),
                                   [](const MacroRecord& r) { return MacroIsBound(r); });
    if (bound && Box(QStringLiteral("DelMacro")) != 1) return;
    // The keys of its bound macros are sent again: without the macro they play nothing.
    const MacroGroup removed = *grp;
    const MacroResult r = m_store.DeleteGroup(g);
    if (!r.ok) return ReportEdit(r);
    for (const MacroRecord& macro : removed.macros)
        if (MacroIsBound(macro)) NoteChanged(removed, macro);
    if (m_hooks.macroNamesChanged) m_hooks.macroNamesChanged();
    BuildTree();
    const int count = static_cast<int>(m_store.groups().size());
    if (count == 0) {
        m_group = m_macro = -1;
        ShowMacro();
    } else {
        const int next = std::min(g, count - 1);
        SelectNode(next, m_store.group(next)->macros.empty() ? -1 : 0);
    }
    UpdateButtons();
}

void MacroPage::DeleteMacro(int g, int m) {
    const MacroRecord* rec = m_store.macro(g, m);
    if (!rec) return;
    const bool bound = MacroIsBound(*rec);
    if (bound && Box(QStringLiteral("DelMacro")) != 1) return;
    const MacroGroup group = *m_store.group(g);
    const MacroRecord removed = *rec;
    const MacroResult r = m_store.DeleteMacro(g, m);
    if (!r.ok) return ReportEdit(r);
    if (bound) NoteChanged(group, removed);
    if (m_hooks.macroNamesChanged) m_hooks.macroNamesChanged();
    BuildTree();
    const int count = static_cast<int>(m_store.group(g)->macros.size());
    // The macro before the removed one when the last was removed; none when the group is empty.
    SelectNode(g, count == 0 ? -1 : std::min(m, count - 1));
}

void MacroPage::ReportEdit(const MacroResult& result) {
    if (result.ok || result.message.empty()) return;
    DebugF("macro edit refused: %s\n", result.message);
    if (m_hooks.messageBox)
        m_hooks.messageBox(QStringLiteral("Error"), QString::fromStdString(result.message), false);
}

// ---------------------------------------------------------------- event list

void MacroPage::ShowMacro() {
    const MacroRecord* rec = m_store.macro(m_group, m_macro);
    if (rec) m_store.SelectMacro(m_group, m_macro);
    SetLabel(FindControl(kMacroName), rec ? Q(rec->name) : QString());
    ShowEvents();
    ShowLoopMode();
    ShowBindings();
}

CListContainerElementUI* MacroPage::NewRow() {
    auto* list = Find<CListUI>(kList);
    if (!list) return nullptr;
    // The row file is read again once the skin folder has changed.
    const QString rowFile = ui::CPaintManagerUI::ResolveFile(kRowSkin);
    if (!m_rowMarkup->IsValid() || rowFile != m_rowFile) {
        m_rowMarkup->LoadFromFile(rowFile);
        m_rowFile = rowFile;
    }
    ui::CDialogBuilder builder;
    auto* row = qobject_cast<CListContainerElementUI*>(
        builder.Create(kRowSkin, *m_rowMarkup, &m_window, &m_window.PaintManager(), list));
    if (!row) {
        row = new CListContainerElementUI(list);
        row->SetManager(&m_window.PaintManager());
        row->SetFixedHeight(34);
    }
    return row;
}

// The three main buttons are named as the language in use names them; other events by their key.
QString MacroPage::EventText(std::uint8_t code, const QString& keyText) const {
    switch (code) {
        case kMacCodeLeftButton:
            return Text(QStringLiteral("ItemValue1_LeftClick"), keyText);
        case kMacCodeMiddleButton:
            return Text(QStringLiteral("ItemValue2_MiddleClick"), keyText);
        case kMacCodeRightButton:
            return Text(QStringLiteral("ItemValue3_RightClick"), keyText);
        default:
            return keyText;
    }
}

void MacroPage::FillRow(int i) {
    if (i < 0 || i >= static_cast<int>(m_rows.size()) || !m_rows[static_cast<std::size_t>(i)]) return;
    CListContainerElementUI* row = m_rows[static_cast<std::size_t>(i)];
    const MacroDeviceBlock& b = m_store.working().device;
    if (i >= b.num) return;
    auto& pm = m_window.PaintManager();
    const auto k = static_cast<std::size_t>(i);
    SetImage(pm.FindSubControlByName(row, QStringLiteral("type")), TypeIcon(b, i));
    SetLabel(pm.FindSubControlByName(row, QStringLiteral("key")),
             EventText(b.macVal[k], Q(EventKeyText(b, i, m_keys))));
    SetImage(pm.FindSubControlByName(row, QStringLiteral("option")), StateIcon(b.macVal[k], b.macSta[k]));
    SetLabel(pm.FindSubControlByName(row, QStringLiteral("delay")), QStringLiteral("%1 ms").arg(b.macDly[k]));
}

void MacroPage::ShowEvents() {
    auto* list = Find<CListUI>(kList);
    if (!list) return;
    ++m_generation;
    const MacroRecord* rec = m_store.macro(m_group, m_macro);
    m_rowsWanted = rec ? m_store.working().device.num : 0;
    // Rows beyond the new length go; the others are reused.
    m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(), [](const auto& r) { return r.isNull(); }),
                 m_rows.end());
    while (static_cast<int>(m_rows.size()) > m_rowsWanted) {
        list->Remove(m_rows.back());
        m_rows.pop_back();
    }
    list->SelectItem(-1, false);
    list->SetScrollPos(QPoint(0, 0), false);
    m_fillNext = 0;
    SetLabel(FindControl(kMacroCount),
             rec ? QStringLiteral("%1 / %2").arg(m_rowsWanted).arg(kMacroMaxEvents) : QString());
    BuildRowsStep(m_generation);
}

void MacroPage::BuildRowsStep(int generation) {
    if (generation != m_generation) return;  // another macro was shown meanwhile
    auto* list = Find<CListUI>(kList);
    if (!list) return;
    const int done = BuiltRows();
    int filled = 0;
    // Rows already there are refilled in the same steps as new ones are built.
    const int start = std::min(done, m_fillNext);
    const int end = std::min(m_rowsWanted, start + kRowsPerStep);
    std::vector<CListContainerElementUI*> added;
    for (int i = start; i < end; ++i) {
        if (i >= static_cast<int>(m_rows.size())) {
            CListContainerElementUI* row = NewRow();
            if (!row) break;
            row->hide();  // laid out once for the whole step below
            list->Add(row);
            m_rows.emplace_back(row);
            added.push_back(row);
        }
        FillRow(i);
        ++filled;
    }
    for (auto* row : added) row->show();
    if (!added.empty()) list->LayoutChildren();
    m_fillNext = start + filled;
    if (m_fillNext < m_rowsWanted)
        QTimer::singleShot(0, this, [this, generation] { BuildRowsStep(generation); });
}

int MacroPage::RowOf(CControlUI* control) const {
    for (QWidget* w = control; w; w = w->parentWidget()) {
        if (auto* row = qobject_cast<CListContainerElementUI*>(w)) {
            for (std::size_t i = 0; i < m_rows.size(); ++i)
                if (m_rows[i] == row) return static_cast<int>(i);
            return -1;
        }
    }
    return -1;
}

void MacroPage::ShowLoopMode() {
    const MacroRecord* rec = m_store.macro(m_group, m_macro);
    m_filling = true;
    const std::uint8_t mode = rec ? (rec->device.rptType & 0x03) : 0;
    const QString option =
        mode == 1   ? QString::fromLatin1(kOptCycleUntilRelease.data(), kOptCycleUntilRelease.size())
        : mode == 2 ? QString::fromLatin1(kOptCycleUntilClick.data(), kOptCycleUntilClick.size())
                    : QString::fromLatin1(kOptCycleTimes.data(), kOptCycleTimes.size());
    for (COptionUI* o : m_window.PaintManager().GetOptionGroup(kLoopGroup)) {
        o->SetEnabled(rec != nullptr);
        if (o->GetName() == option) o->Selected(true, false);
    }
    if (auto* edit = Find<CEditUI>(kCount)) {
        edit->SetEnabled(rec != nullptr && mode != 1 && mode != 2);
        edit->SetText(QString::number(rec ? std::max<int>(1, rec->device.macRpt) : 1));
    }
    m_filling = false;
}

// "Profile 2" in the language in use for the stored "MouseProfile2"; another name as it is.
QString MacroPage::ProfileText(const QString& config) const {
    static const QRegularExpression numbered(QStringLiteral("^MouseProfile(\\d+)$"));
    const QRegularExpressionMatch match = numbered.match(config);
    if (!match.hasMatch()) return config;
    return Text(QStringLiteral("ProfileItem"), QStringLiteral("Profile")) + QLatin1Char(' ') +
           match.captured(1);
}

void MacroPage::ShowBindings() {
    auto* area = Find<CContainerUI>(kBindList);
    const MacroRecord* rec = m_store.macro(m_group, m_macro);
    int count = 0;
    if (area) {
        area->RemoveAll();
        if (rec) {
            for (const auto& [device, keys] : rec->bindings) {
                for (const MacroBinding& binding : keys) {
                    ui::CDialogBuilder builder;
                    CControlUI* row = builder.Create(QStringLiteral("listBindkeys.xml"), &m_window,
                                                     &m_window.PaintManager(), area);
                    if (!row) continue;
                    auto& pm = m_window.PaintManager();
                    SetLabel(pm.FindSubControlByName(row, QStringLiteral("DeviceName")), Q(device));
                    SetLabel(pm.FindSubControlByName(row, QStringLiteral("DeviceConfig")),
                             ProfileText(QString::fromStdString(binding.config)));
                    SetLabel(pm.FindSubControlByName(row, QStringLiteral("DeviceKey")),
                             QString::fromStdString(binding.keyName));
                    area->Add(row);
                    ++count;
                }
            }
        }
    }
    SetLabel(FindControl(kBindNum), QString::number(count));
}

// ---------------------------------------------------------------- editing

void MacroPage::OnInsertButton() {
    switch (CheckInsert(m_store, m_group, m_macro)) {
        case InsertRefusal::NoMacro:
            Box(QStringLiteral("SelWarn"));
            return;
        case InsertRefusal::TooLong:
        case InsertRefusal::TooManyEvents:
            Box(QStringLiteral("Exceed"));
            return;
        case InsertRefusal::Recording:
            return;
        case InsertRefusal::None:
            break;
    }
    OpenInsertMenu();
}

void MacroPage::OpenPopup(const PopMacroEvent& event, int mode) {
    if (m_popup) return;
    m_popup = new CPopMacroSetWnd(m_keys, m_hooks.text);
    m_popup->Create(&m_window, QString::fromLatin1(kPopMacroSetTitle), ui::kWsPopup);
    m_popup->Init(event, mode);
    m_popup->CenterWindow();
    if (m_hooks.runPopup)
        m_hooks.runPopup(m_popup);
    else
        m_popup->ShowModal();
}

void MacroPage::OnPopupResult(int mode, const PopMacroEvent& e) {
    if (!m_store.macro(m_group, m_macro)) return;
    MacroEvent event;
    event.code = e.code;
    event.state = e.state;
    event.delay = std::min<std::uint32_t>(e.delay, kEventDelayMax);
    if (e.code == kMacCodeMove) {
        event.x = static_cast<std::int16_t>(std::clamp<int>(e.x, 0, kMoveDistanceMax));
        event.y = static_cast<std::int16_t>(std::clamp<int>(e.y, 0, kMoveDistanceMax));
    }
    if (m_hooks.dpiEventCode) m_store.SetDpiEventCode(m_hooks.dpiEventCode());
    const int row = SelectedRow();
    MacroResult r;
    int shown = -1;
    if (mode == kPopEdit) {
        if (row < 0) return;
        r = m_store.ReplaceEvent(m_group, m_macro, row, event);
        shown = row;
    } else {
        const int position = row < 0 ? 0 : row + (mode == kPopInsertAfter ? 1 : 0);
        r = m_store.InsertEvent(m_group, m_macro, position, event);
        shown = position;
    }
    if (!r.ok) {
        if (r.message == kMoreThanLimitText && m_hooks.messageBox)
            m_hooks.messageBox(QString::fromUtf8(kMacroMessageCaption.data(), kMacroMessageCaption.size()),
                               QString::fromLatin1(kMoreThanLimitText.data(), kMoreThanLimitText.size()),
                               false);
        else
            ReportEdit(r);
        return;
    }
    auto* list = Find<CListUI>(kList);
    const bool complete = BuiltRows() == m_rowsWanted && m_fillNext >= m_rowsWanted;
    if (!complete || !list) {
        ShowEvents();
    } else if (mode == kPopEdit) {
        FillRow(row);
    } else if (CListContainerElementUI* newRow = NewRow()) {
        list->AddAt(newRow, shown);
        m_rows.insert(m_rows.begin() + shown, newRow);
        m_rowsWanted = m_fillNext = static_cast<int>(m_rows.size());
        FillRow(shown);
    }
    if (list) list->SelectItem(shown, false);
    SetLabel(FindControl(kMacroCount),
             QStringLiteral("%1 / %2").arg(m_store.working().device.num).arg(kMacroMaxEvents));
    ShowLoopMode();  // a DPI event turns a count loop into "while held"
    MarkChanged();
}

void MacroPage::OnDeleteButton() {
    const int row = SelectedRow();
    if (!m_store.macro(m_group, m_macro) || row < 0) {
        Box(QStringLiteral("SelOne"));
        return;
    }
    const MacroResult r = m_store.DeleteEvent(m_group, m_macro, row);
    if (!r.ok) return ReportEdit(r);
    auto* list = Find<CListUI>(kList);
    const bool complete = BuiltRows() == m_rowsWanted && m_fillNext >= m_rowsWanted;
    if (!complete || !list || row >= static_cast<int>(m_rows.size())) {
        ShowEvents();
    } else {
        list->Remove(m_rows[static_cast<std::size_t>(row)]);
        m_rows.erase(m_rows.begin() + row);
        m_rowsWanted = m_fillNext = static_cast<int>(m_rows.size());
        // The row that moved into the place is selected, so that deleting again goes on.
        if (!m_rows.empty()) list->SelectItem(std::min(row, static_cast<int>(m_rows.size()) - 1), false);
    }
    SetLabel(FindControl(kMacroCount),
             QStringLiteral("%1 / %2").arg(m_store.working().device.num).arg(kMacroMaxEvents));
    MarkChanged();
}

void MacroPage::OnLoopOption(const QString& name) {
    if (m_filling || !m_store.macro(m_group, m_macro)) return;
    auto* edit = Find<CEditUI>(kCount);
    const auto count = static_cast<std::uint16_t>(NumberOf(edit ? edit->GetText().toStdString() : "1"));
    const MacroResult r =
        m_store.SetLoopMode(m_group, m_macro, name.toStdString(), std::max<std::uint16_t>(count, 1));
    if (edit) edit->SetEnabled(name == QLatin1String(kOptCycleTimes.data()));
    ReportEdit(r);
    if (r.ok) MarkChanged();
}

void MacroPage::OnCountChanged(CEditUI* edit) {
    if (m_filling || !edit) return;
    const std::string text = edit->GetText().toStdString();
    const std::string fixed = NormaliseRepeatCount(text);
    if (fixed != text) {
        m_filling = true;
        edit->SetText(QString::fromStdString(fixed));
        m_filling = false;
    }
}

void MacroPage::CommitCount() {
    const MacroRecord* rec = m_store.macro(m_group, m_macro);
    auto* edit = Find<CEditUI>(kCount);
    if (!rec || !edit || (rec->device.rptType & 0x03) == 1 || (rec->device.rptType & 0x03) == 2) return;
    const auto count =
        static_cast<std::uint16_t>(NumberOf(NormaliseRepeatCount(edit->GetText().toStdString())));
    if (count == rec->device.macRpt) return;
    const MacroResult r = m_store.SetLoopMode(m_group, m_macro, kOptCycleTimes, count);
    ReportEdit(r);
    if (r.ok) MarkChanged();
}

// ---------------------------------------------------------------- recording

void MacroPage::OnRecordButton() {
    auto* button = Find<CCheckBoxUI>(kRecord);
    const bool on = button && button->GetCheck();
    if (!on) {
        StopRecording();
        return;
    }
    if (!m_store.macro(m_group, m_macro)) {
        button->SetCheck(false, false);
        Box(QStringLiteral("SelMacro"));
        return;
    }
    int position = 2;
    const auto options = m_window.PaintManager().GetOptionGroup(kLoopGroup);
    for (COptionUI* o : options) {
        if (!o->IsSelected()) continue;
        if (o->GetName() == QLatin1String(kOptCycleUntilRelease.data())) position = 0;
        if (o->GetName() == QLatin1String(kOptCycleUntilClick.data())) position = 1;
    }
    if (position == 2) {
        if (auto* edit = Find<CEditUI>(kCount)) {
            edit->SetText(QStringLiteral("1"));
            edit->SetEnabled(true);
        }
    }
    if (!m_recorder.Start(m_group, m_macro, position)) {
        button->SetCheck(false, false);
        return;
    }
    if (!m_capture->Start()) {
        // Without the keyboard nothing can be recorded: give the macro back as it was.
        m_recorder.Stop();
        button->SetCheck(false, false);
        ShowMacro();
        return;
    }
    ShowEvents();
    if (auto* temp = FindControl(kTemp)) temp->setFocus();
}

void MacroPage::StopRecording() {
    m_capture->Stop();
    if (!m_recorder.recording()) return;
    const MacroRecorder::StopOutcome outcome = m_recorder.Stop();
    ReportEdit(outcome.saved);
    if (outcome.bound) {
        ShowToSave(m_group, m_macro, true);
        if (const MacroRecord* rec = m_store.macro(m_group, m_macro))
            NoteChanged(*m_store.group(m_group), *rec);
    }
    if (auto* button = Find<CCheckBoxUI>(kRecord); button && button->GetCheck())
        button->SetCheck(false, false);
    ShowMacro();
}

void MacroPage::OnKey(unsigned message, std::uint32_t scan) {
    if (!m_recorder.recording()) return;
    const RecordResult r = m_recorder.RecordKey(scan, message);
    if (r.kind == RecordKind::Error) return;
    if (r.kind == RecordKind::Over) {
        StopRecording();
        Box(QStringLiteral("RecordWarn"));
        return;
    }
    const int i = m_recorder.recorded() - 1;
    auto* list = Find<CListUI>(kList);
    if (!list) return;
    if (i >= static_cast<int>(m_rows.size())) {
        if (CListContainerElementUI* row = NewRow()) {
            list->Add(row);
            m_rows.emplace_back(row);
        }
    }
    m_rowsWanted = m_fillNext = i + 1;
    FillRow(i);
    FillRow(i - 1);  // its delay is now the time to this key
    SetLabel(FindControl(kMacroCount), QStringLiteral("%1 / %2").arg(i + 1).arg(kMacroMaxEvents));
    list->EnsureVisible(i);
}

// ---------------------------------------------------------------- exchange

void MacroPage::ImportGroups() {
    const QStringList files = m_hooks.chooseImportFiles ? m_hooks.chooseImportFiles() : QStringList();
    if (files.isEmpty()) return;
    StopRecording();
    std::vector<std::filesystem::path> paths;
    for (const QString& f : files) paths.emplace_back(f.toStdString());
    const MacroImportOutcome outcome = m_store.ImportGroups(paths);
    const int boxes = static_cast<int>(outcome.refused.size()) + (outcome.stoppedAt.empty() ? 0 : 1);
    for (int i = 0; i < boxes; ++i)
        if (m_hooks.messageBox)
            m_hooks.messageBox(QStringLiteral("Error"), QStringLiteral("ImportErr"), false);
    if (!outcome.error.empty() && outcome.stoppedAt.empty()) ReportEdit(MacroResult::Fail(outcome.error));
    if (outcome.imported > 0) {
        m_group = static_cast<int>(m_store.groups().size()) - outcome.imported;
        m_macro = m_store.group(m_group) && !m_store.group(m_group)->macros.empty() ? 0 : -1;
        if (m_hooks.macroNamesChanged) m_hooks.macroNamesChanged();
    }
    Rebuild();
}

void MacroPage::ExportGroup(int g) {
    const MacroGroup* grp = m_store.group(g);
    if (!grp) return;
    const QString path = m_hooks.chooseExportFile
                             ? m_hooks.chooseExportFile(Q(grp->name) + QStringLiteral(".Macro.Config"))
                             : QString();
    if (path.isEmpty()) return;
    const MacroResult r = m_store.ExportGroup(g, path.toStdString());
    // A file that could not be written is said so instead of passing for a finished export.
    if (!r.ok && m_hooks.messageBox)
        m_hooks.messageBox(QStringLiteral("Error"), QStringLiteral("ExportErr"), false);
    else if (r.ok && m_hooks.exported)
        m_hooks.exported(path);
}

void MacroPage::ResetLibrary() {
    StopRecording();
    const std::filesystem::path factory =
        m_store.path().parent_path().parent_path() / "MacroDataReset" / "macroConfigReset.json";
    const MacroResult r = m_store.Reset(factory);
    ReportEdit(r);
    m_group = m_macro = -1;
    Rebuild();
    if (m_hooks.macroNamesChanged) m_hooks.macroNamesChanged();
}

// ---------------------------------------------------------------- notifications and messages

bool MacroPage::Notify(ui::TNotifyUI& msg) {
    const QString name = msg.pSender ? msg.pSender->GetName() : QString();
    const QString& type = msg.sType;
    if (Recording() && type != QLatin1String("click") &&
        !(type == QLatin1String("selectchanged") && name == kRecord))
        return true;
    if (type == QLatin1String("click")) {
        if (Recording() && name != kRecord) return true;
        if (name == kInsert)
            OnInsertButton();
        else if (name == kDelete)
            OnDeleteButton();
        else if (name == kAddGroup)
            NewGroup();
        else if (name == kAddMacro)
            NewMacro();
        else if (name == kImport)
            ImportGroups();
        else if (name == kExport)
            ExportGroup(m_group >= 0 ? m_group : 0);
        else if (name == kToSave) {
            for (const NodeRef& ref : m_nodes)
                if (ref.macro >= 0) ShowToSave(ref.group, ref.macro, false);
        } else if (name == QLatin1String("modify")) {
            const int row = RowOf(msg.pSender);
            if (row < 0 || !m_store.macro(m_group, m_macro)) return true;
            if (auto* list = Find<CListUI>(kList)) list->SelectItem(row, false);
            const MacroDeviceBlock& b = m_store.working().device;
            const auto k = static_cast<std::size_t>(row);
            PopMacroEvent e;
            e.code = b.macVal[k];
            e.state = b.macSta[k];
            e.delay = b.macDly[k];
            e.x = b.extVal[k][0];
            e.y = b.extVal[k][1];
            e.text = Q(EventKeyText(b, row, m_keys));
            OpenPopup(e, kPopEdit);
        } else if (name != kRecord) {
            return false;
        }
        return true;
    }
    if (type == QLatin1String("selectchanged")) {
        if (name == kRecord) {
            OnRecordButton();
            return true;
        }
        if (name.startsWith(QLatin1String("opt_Macro_Cycle"))) {
            if (auto* o = qobject_cast<COptionUI*>(msg.pSender); o && o->IsSelected()) OnLoopOption(name);
            return true;
        }
        return false;
    }
    if (type == QLatin1String("itemselect") && name == kTree) {
        OnTreeSelect(static_cast<int>(msg.wParam));
        return true;
    }
    if (type == QLatin1String("itemrclick")) {
        if (const NodeRef* ref = RefOf(msg.pSender)) {
            if (ref->group != m_group || ref->macro != m_macro) SelectNode(ref->group, ref->macro);
            OpenContextMenu(ref);
            return true;
        }
        return false;
    }
    if (type == QLatin1String("MyMenuClick")) {
        OnMenu(msg.sText);
        return true;
    }
    if (name == kRename && (type == QLatin1String("return") || type == QLatin1String("killfocus"))) {
        FinishRename(msg.pSender);
        return true;
    }
    if (name == kCount) {
        if (type == QLatin1String("textchanged")) {
            OnCountChanged(qobject_cast<CEditUI*>(msg.pSender));
        } else if (type == QLatin1String("return") || type == QLatin1String("killfocus")) {
            CommitCount();
            if (type == QLatin1String("return"))
                if (auto* temp = FindControl(kTemp)) temp->setFocus();
        }
        return true;
    }
    return false;
}

long long MacroPage::HandleMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) {
    switch (msg) {
        case ui::kWmKeyDown:
        case ui::kWmKeyUp:
        case ui::kWmSysKeyDown:
        case ui::kWmSysKeyUp:
            // Outside a recording, Enter and Space press the control the keyboard focus is on
            // (a click gives no control the focus, so only a keyboard user's choice is pressed).
            if (Recording()) {
                // From the capture: lParam is the scan code.
                OnKey(msg, static_cast<std::uint32_t>(lParam));
                handled = true;
            }
            break;
        case ui::kMsgRecorderKeyUp:
            OnKey(kMsgKeyDown, kTabScan);
            handled = true;
            break;
        case ui::kMsgMacroEventSet:
            OnPopupResult(static_cast<int>(wParam),
                          PopMacroEvent::FromVariant(m_window.MessagePayload().toMap()));
            handled = true;
            break;
        case ui::kMsgMacroEventCancel:
            handled = true;
            break;
        case ui::kMsgMacroReload:
            if (!Recording()) {
                m_store.Reload();
                Rebuild();
            }
            break;
        case ui::kWmInputLangChange:
            KeyboardLayout::ReloadSession();
            if (m_store.macro(m_group, m_macro) && !Recording()) ShowEvents();
            if (m_popup) m_popup->RefreshKeyText();
            break;
        case ui::kWmLButtonDown:
        case ui::kWmLButtonUp: {
            if (!Recording()) break;
            CControlUI* at = m_window.PaintManager().FindControl(ui::PointFromParam(lParam));
            if (at && Inside(at, FindControl(kRecord))) break;
            handled = true;
            if (msg == ui::kWmLButtonUp) Box(QStringLiteral("RecordingWarn"), false);
            break;
        }
        case ui::kWmRButtonUp: {
            if (!m_shown || Recording()) break;
            auto* tree = FindControl(kTree);
            CControlUI* at = m_window.PaintManager().FindControl(ui::PointFromParam(lParam));
            // Over the tree but not over a node: the library commands (import, reset).
            if (tree && at && Inside(at, tree) && !RefOf(at)) {
                OpenContextMenu(nullptr);
                handled = true;
            }
            break;
        }
        default:
            break;
    }
    return 0;
}

void MacroPage::SetShown(bool shown) {
    m_shown = shown;
    if (shown) ApplyTexts();
    if (!shown) {
        StopRecording();
        if (m_renaming) FinishRename(m_renaming);
        FlushSaves();
    }
}

}  // namespace zor
