#include "settings/gui/KeyPage.h"

#include "common/Debug.h"
#include "ui/Controls.h"

namespace zor {
namespace {

using ui::CCheckBoxUI;
using ui::CControlUI;
using ui::COptionUI;

const QString kPage = QStringLiteral("page_keys");
const QString kPictureVariant = QStringLiteral("ver_mousekeysel");
const QString kListVariant = QStringLiteral("ver_mousehid");
const QString kWheelTip = QStringLiteral("displaytext");
constexpr int kPageKeys = 16;  // key controls of one layout; 16..19 are the wheel's and combinations

QString ClickName(bool picture, int slot) {
    return (picture ? QStringLiteral("btn_MouseKey_Click%1") : QStringLiteral("btn_MouseKey2_Click%1"))
        .arg(slot);
}
QString MarkName(bool picture, int slot) {
    return (picture ? QStringLiteral("btn_MouseKey_Mark%1") : QStringLiteral("btn_MouseKey2_Mark%1"))
        .arg(slot);
}
bool IsMarkName(const QString& name) {
    return name.startsWith(QLatin1String("btn_MouseKey_Mark")) ||
           name.startsWith(QLatin1String("btn_MouseKey2_Mark"));
}
bool IsWheelName(const QString& name) {
    return name.startsWith(QLatin1String("btn_Mouse_Scr"));
}

}  // namespace

KeyPage::KeyPage(ui::CPaintManagerUI& pm, QWidget* owner, MouseConfigDocument& document, MacroStore& macros,
                 const KeyFunctionCatalog& catalog, const MacVkAndText& keys, Hooks hooks)
    : m_pm(pm),
      m_owner(owner),
      m_doc(document),
      m_macros(macros),
      m_catalog(catalog),
      m_keys(keys),
      m_hooks(std::move(hooks)) {
    KeyPopup::Hooks popup;
    popup.assign = [this](int table, int slot, const KeyChoice& choice) {
        return m_hooks.assign ? m_hooks.assign(table, slot, choice) : AssignStatus::BadSlot;
    };
    popup.restore = [this](int table, int slot, const doc::KeyAssignment& previous) {
        if (m_hooks.restore) m_hooks.restore(table, slot, previous);
    };
    popup.announce = [this] {
        if (m_hooks.postSetValue) m_hooks.postSetValue();
    };
    popup.sendRecordKey = [this](unsigned scan) {
        if (m_hooks.sendRecordKey) m_hooks.sendRecordKey(scan);
    };
    popup.messageBox = [this](const QString& title, const QString& text) {
        if (m_hooks.messageBox)
            m_hooks.messageBox(m_hooks.text ? m_hooks.text(title) : title,
                               m_hooks.text ? m_hooks.text(text) : text);
    };
    popup.text = [this](const QString& id) { return m_hooks.text ? m_hooks.text(id) : QString(); };
    popup.startOnScreenKeyboard = [this] {
        return m_hooks.startOnScreenKeyboard && m_hooks.startOnScreenKeyboard();
    };
    m_popup = std::make_unique<KeyPopup>(m_pm, KeyAssignContext{m_doc, m_macros, m_catalog, m_keys, {}},
                                         std::move(popup));
}

KeyPage::~KeyPage() = default;

CControlUI* KeyPage::ControlOfName(const QString& name) const {
    CControlUI* page = m_pm.FindControl(kPage);
    return page ? m_pm.FindSubControlByName(page, name) : nullptr;
}

CControlUI* KeyPage::Variant() const {
    return ControlOfName(m_pictureLayout ? kPictureVariant : kListVariant);
}

CControlUI* KeyPage::KeyControl(int slot, bool mark) const {
    if (slot == kWheelUpSlot) return ControlOfName(QString::fromLatin1(kWheelUpControl.data()));
    if (slot == kWheelDownSlot) return ControlOfName(QString::fromLatin1(kWheelDownControl.data()));
    return ControlOfName(mark ? MarkName(m_pictureLayout, slot) : ClickName(m_pictureLayout, slot));
}

void KeyPage::SetModel(const std::filesystem::path& modelFolder, bool pictureLayout, bool lighting) {
    m_pictureLayout = pictureLayout;
    m_lighting = lighting;
    const std::filesystem::path folder = modelFolder / "Position";
    for (auto* layout : {&m_layout1, &m_layout2}) {
        const auto file = folder / (layout == &m_layout1 ? "mousekey.json" : "mousekey2.json");
        layout->Clear();
        if (layout->LoadFile(file) == ui::PositionLayout::LoadResult::CannotOpen) {
            DebugF("key page layout not read: %s\n", file.string());
            if (m_hooks.messageBox && m_hooks.text)
                m_hooks.messageBox(m_hooks.text(QStringLiteral("Tip")),
                                   m_hooks.text(QStringLiteral("JsonOpenErr")));
        }
    }
    ShowModel();
}

void KeyPage::OnBuilt() {
    ShowModel();
}

void KeyPage::ShowModel() {
    // A model with fewer keys than the last one leaves no stray controls behind.
    for (bool picture : {true, false})
        for (int slot = 0; slot < kPageKeys; ++slot)
            for (const QString& name : {ClickName(picture, slot), MarkName(picture, slot),
                                        QStringLiteral("lab_MouseKey2_Name%1").arg(slot)})
                if (CControlUI* c = ControlOfName(name)) c->SetVisible(false);
    m_layout1.Apply(m_pm);
    m_layout2.Apply(m_pm);
    if (CControlUI* picture = ControlOfName(kPictureVariant)) picture->SetVisible(m_pictureLayout);
    if (CControlUI* list = ControlOfName(kListVariant)) list->SetVisible(!m_pictureLayout);
    Refresh();
}

void KeyPage::SetProfile(int profile) {
    if (profile == m_profile) return;
    m_profile = profile;
    if (m_popup && m_popup->IsOpen() && m_current >= 0 && !m_clicked.isEmpty()) {
        const KeyRules rules{m_hooks.ble && m_hooks.ble(), m_lighting};
        m_popup->Open(m_clicked, m_profile, rules);
    }
}

void KeyPage::Refresh() {
    const auto& tables = m_doc.keyTables;
    if (m_profile < 0 || m_profile >= static_cast<int>(tables.size())) return;
    const doc::KeyTable& table = tables[static_cast<std::size_t>(m_profile)];
    for (int slot = 0; slot < kPageKeys; ++slot) {
        const auto it = table.find(SlotName(slot));
        const QString text = it == table.end() ? QString() : DisplayText(it->second);
        for (bool picture : {true, false}) {
            if (CControlUI* key = ControlOfName(ClickName(picture, slot))) {
                key->SetText(text);
                key->SetToolTip(text);
            }
        }
    }
    ShowWheelSummary();
}

QString KeyPage::WheelText(int slot) const {
    const auto& tables = m_doc.keyTables;
    if (m_profile >= 0 && m_profile < static_cast<int>(tables.size())) {
        const auto& table = tables[static_cast<std::size_t>(m_profile)];
        const auto it = table.find(SlotName(slot));
        if (it != table.end()) return DisplayText(it->second);
    }
    return QString::fromLatin1(kUnknownKey.data(), static_cast<int>(kUnknownKey.size()));
}

QString KeyPage::DisplayText(const doc::KeyAssignment& key) const {
    if (key.code > 0 && !IsMacroFunction(key.code) && key.code < kKeyFunctionBase && m_hooks.functionText) {
        const QString text = m_hooks.functionText(key.code);
        if (!text.isEmpty()) return text;
    }
    return QString::fromStdString(key.text);
}

void KeyPage::ShowWheelSummary() {
    if (CControlUI* tip = ControlOfName(kWheelTip))
        tip->SetText(
            QStringLiteral("\u25B2 %1   \u25BC %2").arg(WheelText(kWheelUpSlot), WheelText(kWheelDownSlot)));
}

const ui::CControlAttributes* KeyPage::LayoutEntry(const QString& name) const {
    for (const auto* layout : {&m_layout1, &m_layout2})
        for (const auto& entry : layout->Entries())
            if (entry->GetName() == name && entry->HasPos()) return entry.get();
    return nullptr;
}

void KeyPage::Highlight(int slot, bool mark, bool on) {
    CControlUI* partner = KeyControl(slot, mark);
    if (!partner) return;
    const ui::CControlAttributes* entry = LayoutEntry(partner->GetName());
    const ui::PositionLayout& layout = m_pictureLayout ? m_layout1 : m_layout2;
    if (!entry || layout.OverImage().isEmpty()) return;
    const auto r = entry->GetPos();
    const QString file = on ? layout.OverImage() : layout.NormalImage();
    partner->SetAttribute(
        QStringLiteral("normalimage"),
        QStringLiteral("file='%1' source='%2,%3,%4,%5'").arg(file).arg(r[0]).arg(r[1]).arg(r[2]).arg(r[3]));
    m_hovered = on ? partner : nullptr;
}

void KeyPage::ClearHover() {
    if (!m_hovered) return;
    const QString name = m_hovered->GetName();
    Highlight(SlotOfKeyControl(name.toStdString()), IsMarkName(name), false);
    m_hovered = nullptr;
}

void KeyPage::OnMouseMove(const QPoint& windowPoint) {
    CControlUI* page = m_pm.FindControl(kPage);
    if (!page || !page->isVisible()) return;
    CControlUI* under = m_pm.FindControl(windowPoint);
    const QString name = under && page->isAncestorOf(under) ? under->GetName() : QString();
    const int slot = SlotOfKeyControl(name.toStdString());
    if (slot >= 0 && IsWheelName(name)) {
        ClearHover();
        if (CControlUI* tip = ControlOfName(kWheelTip)) tip->SetText(WheelText(slot));
        return;
    }
    if (slot < 0) {
        ClearHover();
        ShowWheelSummary();
        return;
    }
    // The partner of a key is its mark, and the reverse.
    CControlUI* partner = KeyControl(slot, !IsMarkName(name));
    if (partner == m_hovered) return;
    ClearHover();
    Highlight(slot, !IsMarkName(name), true);
}

void KeyPage::SelectKey(int slot) {
    for (bool mark : {false, true})
        if (auto* option = qobject_cast<COptionUI*>(KeyControl(slot, mark)); option && slot < kPageKeys)
            option->Selected(true, false);
    for (int wheel : {kWheelUpSlot, kWheelDownSlot})
        if (auto* box = qobject_cast<CCheckBoxUI*>(KeyControl(wheel, false)))
            box->SetCheck(wheel == slot, false);
    if (slot >= kPageKeys) {
        // A wheel direction is the current key: no button stays selected.
        for (bool picture : {true, false})
            for (int s = 0; s < kPageKeys; ++s)
                for (const QString& n : {ClickName(picture, s), MarkName(picture, s)})
                    if (auto* option = qobject_cast<COptionUI*>(ControlOfName(n)))
                        option->Selected(false, false);
    }
}

void KeyPage::OpenOn(const QString& name, int slot) {
    ClearHover();
    m_current = slot;
    m_clicked = IsWheelName(name) ? name : ClickName(m_pictureLayout, slot);
    SelectKey(slot);
    if (m_hooks.setCurrentKey) m_hooks.setCurrentKey(slot);
    QString title;
    if (m_hooks.text)
        title = m_hooks.text(slot == kWheelUpSlot     ? QStringLiteral("KeyWheelUp")
                             : slot == kWheelDownSlot ? QStringLiteral("KeyWheelDown")
                                                      : QStringLiteral("lab_MouseKey2_Name%1").arg(slot));
    const KeyRules rules{m_hooks.ble && m_hooks.ble(), m_lighting};
    m_popup->Open(m_clicked, m_profile, rules);
    // The popup's controls exist once it has opened (the skin builds them on the first opening).
    if (CControlUI* key = m_pm.FindControl(QStringLiteral("lab_PopMouseKey_Key"))) key->SetText(title);
}

bool KeyPage::Notify(ui::TNotifyUI& msg) {
    if (msg.sType == QLatin1String("PopSetValue")) {
        OnPopSetValue(static_cast<int>(msg.wParam));
        return true;
    }
    if (msg.sType == QLatin1String("WM_RecordKey")) {
        OnRecordKey(static_cast<unsigned>(msg.wParam));
        return true;
    }
    if (m_popup->Notify(msg)) return true;
    if (msg.pSender == nullptr) return false;
    const QString name = msg.pSender->GetName();
    const int slot = SlotOfKeyControl(name.toStdString());
    if (slot < 0) return false;
    // The wheel's check boxes have toggled by the time they report a change; keys report the click.
    const bool wheel = IsWheelName(name);
    if (msg.sType != QLatin1String(wheel ? "selectchanged" : "click")) return true;
    CControlUI* page = m_pm.FindControl(kPage);
    if (page && !page->isAncestorOf(msg.pSender)) {
        // A key of another picture of the window (the home panel): the key page takes over.
        if (m_hooks.showPage) m_hooks.showPage();
    }
    OpenOn(name, slot);
    return true;
}

void KeyPage::OnPopSetValue(int value) {
    if (value != 1 || m_current < 0) return;
    if (!IsWheelName(m_clicked)) {
        const auto& table = m_doc.keyTables[static_cast<std::size_t>(m_profile)];
        const auto it = table.find(SlotName(m_current));
        const QString text = it == table.end() ? QString() : DisplayText(it->second);
        for (bool picture : {true, false})
            if (CControlUI* key = ControlOfName(ClickName(picture, m_current))) {
                key->SetText(text);
                key->SetToolTip(text);
            }
    }
    ShowWheelSummary();
}

void KeyPage::OnRecordKey(unsigned scan) {
    m_popup->OnRecordKey(scan);
}

}  // namespace zor
