#include "macro/gui/PopMacroSetWnd.h"

#include "macro/MacroEditing.h"
#include "ui/Controls.h"

namespace zor {

namespace {

using ui::CCheckBoxUI;
using ui::CComboUI;
using ui::CControlUI;
using ui::CEditUI;

const QString kTitle = QStringLiteral("lab_Motify_Title");
const QString kTypeName = QStringLiteral("lab_Motify_TypeName");
const QString kKindList = QStringLiteral("btn_Modify_ListKeyType");
const QString kMouseList = QStringLiteral("btn_Modify_MouseType");
const QString kDirectionList = QStringLiteral("btn_Motify_XYType");
const QString kXCheck = QStringLiteral("chk_Motify_XDirect");
const QString kYCheck = QStringLiteral("chk_Motify_YDirect");
const QString kXEdit = QStringLiteral("edit_Motify_Xvalue");
const QString kYEdit = QStringLiteral("edit_Motify_Yvalue");
const QString kKeyCheck = QStringLiteral("chk_Modify_KeyboardValue");
const QString kStatusText = QStringLiteral("lab_Motify_StatusText");
const QString kStatus = QStringLiteral("btn_Motify_Status");
const QString kXYLayout = QStringLiteral("Layout_Motify_XYValue");
const QString kDelay = QStringLiteral("edit_Motify_Delay");
const QString kApply = QStringLiteral("btn_Motify_Apply");
const QString kCancel = QStringLiteral("btn_Motify_Cancel");
const QString kTemp = QStringLiteral("btn_Motify_Temp");
const QString kDpiValue = QStringLiteral("lab_Motify_DpiValue");

constexpr const char16_t* kButtonNames[] = {u"Left Click", u"Middle Click", u"Right Click", u"K4", u"K5"};
constexpr unsigned kVkReturn = 13;

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

}  // namespace

QVariantMap PopMacroEvent::ToVariant() const {
    return {{QStringLiteral("code"), code},   {QStringLiteral("text"), text},
            {QStringLiteral("state"), state}, {QStringLiteral("delay"), delay},
            {QStringLiteral("x"), x},         {QStringLiteral("y"), y}};
}

PopMacroEvent PopMacroEvent::FromVariant(const QVariantMap& map) {
    PopMacroEvent e;
    e.code = static_cast<std::uint8_t>(map.value(QStringLiteral("code")).toUInt());
    e.text = map.value(QStringLiteral("text")).toString();
    e.state = static_cast<std::uint8_t>(map.value(QStringLiteral("state")).toUInt());
    e.delay = map.value(QStringLiteral("delay")).toUInt();
    e.x = map.value(QStringLiteral("x")).toInt();
    e.y = map.value(QStringLiteral("y")).toInt();
    return e;
}

CPopMacroSetWnd::CPopMacroSetWnd(const MacVkAndText& keys, std::function<QString(const QString&)> text)
    : m_keys(keys), m_text(std::move(text)) {
    m_capture = std::make_unique<KeyboardCapture>(
        this, [this](unsigned message, std::uint32_t vk, std::uint32_t scan) {
            // Handed over asynchronously, as a key message posted to this window.
            ui::PostMessageTo(this, message, vk, scan);
        });
    m_capture->SetLostHandler([this] {
        if (auto* box = Find<CCheckBoxUI>(kKeyCheck)) box->SetCheck(false, false);
    });
}

CPopMacroSetWnd::~CPopMacroSetWnd() {
    m_capture.reset();  // never leave the keyboard grabbed
}

QString CPopMacroSetWnd::Text(const QString& key, const QString& fallback) const {
    const QString t = m_text ? m_text(key) : QString();
    return t.isEmpty() ? fallback : t;
}

QString CPopMacroSetWnd::QueryControlText(const QString& id, const QString&) {
    return m_text ? m_text(id) : QString();
}

void CPopMacroSetWnd::ApplyTexts() {
    for (CControlUI* control : m_pm.AllControls()) {
        if (control->GetName().isEmpty() || control->GetName() == kKeyCheck) continue;
        const QString t = QueryControlText(control->GetTextId(), control->GetClass());
        if (!t.isEmpty()) control->SetText(t);
    }
    if (auto* kinds = Find<CComboUI>(kKindList)) {
        const QStringList keys = {QStringLiteral("MouseType"), QStringLiteral("KeyboardValue"),
                                  QStringLiteral("XYType"), QStringLiteral("DPIType")};
        const int sel = kinds->GetCurSel();
        kinds->RemoveAll();
        const QStringList fallback = {QStringLiteral("Mouse button"), QStringLiteral("Keyboard key"),
                                      QStringLiteral("Pointer move"), QStringLiteral("DPI change")};
        for (int i = 0; i < keys.size(); ++i) kinds->AddItem(Text(keys[i], fallback[i]));
        kinds->SelectItem(sel, false);
    }
    if (auto* directions = Find<CComboUI>(kDirectionList)) {
        const int sel = directions->GetCurSel();
        directions->RemoveAll();
        const QStringList fallback = {QStringLiteral("Left and up"), QStringLiteral("Left and down"),
                                      QStringLiteral("Right and up"), QStringLiteral("Right and down")};
        for (int i = 0; i < 4; ++i)
            directions->AddItem(Text(QStringLiteral("XYDirection%1").arg(i), fallback[i]));
        directions->SelectItem(sel, false);
    }
}

void CPopMacroSetWnd::Init(const PopMacroEvent& event, int mode) {
    m_event = event;
    m_mode = mode;
    m_syncing = true;
    ApplyTexts();
    if (auto* title = FindControl(kTitle))
        title->SetText(mode == kPopInsertBefore || mode == kPopInsertAfter
                           ? Text(QStringLiteral("InsertItem"), QStringLiteral("Insert item"))
                           : Text(QStringLiteral("EditItem"), QStringLiteral("Edit item")));
    int kind = kKeyboard;
    if (event.code >= kMacCodeLeftButton && event.code <= kMacCodeFifthButton) {
        kind = kMouse;
        if (auto* list = Find<CComboUI>(kMouseList)) list->SelectItem(event.code - kMacCodeLeftButton, false);
    } else if (event.code == kMacCodeMove) {
        kind = kMove;
        if (auto* list = Find<CComboUI>(kDirectionList))
            list->SelectItem(std::clamp(event.state - 3, 0, 3), false);
        if (auto* x = Find<CEditUI>(kXEdit)) x->SetText(QString::number(event.x));
        if (auto* y = Find<CEditUI>(kYEdit)) y->SetText(QString::number(event.y));
        SyncDirectionChecks();
    } else if (event.code == kMacCodeDpi) {
        kind = kDpi;
    } else {
        m_lastScan = MacVkAndText::UsageToScan(event.code);
        if (auto* box = Find<CCheckBoxUI>(kKeyCheck)) box->SetText(event.text);
    }
    if (auto* kinds = Find<CComboUI>(kKindList)) {
        kinds->SelectItem(kind, false);
        // A DPI event stays a DPI event: its value is the editor's.
        kinds->SetEnabled(kind != kDpi);
    }
    if (auto* status = Find<CCheckBoxUI>(kStatus)) status->SetCheck(event.state != kMacStatePress, false);
    if (auto* delay = Find<CEditUI>(kDelay)) delay->SetText(QString::number(event.delay));
    ShowKind(kind);
    m_syncing = false;
}

void CPopMacroSetWnd::ShowKind(int kind) {
    m_kind = kind;
    auto show = [this](const QString& name, bool visible) {
        if (auto* c = FindControl(name)) c->SetVisible(visible);
    };
    show(kMouseList, kind == kMouse);
    show(kKeyCheck, kind == kKeyboard);
    show(QStringLiteral("lab_Motify_KeyHint"), kind == kKeyboard);
    show(kDirectionList, kind == kMove);
    show(kXYLayout, kind == kMove);
    show(kDpiValue, kind == kDpi);
    show(kStatus, kind != kMove);
    show(kStatusText, kind != kMove);
    static const QStringList kTypeKeys = {QStringLiteral("MouseType"), QStringLiteral("KeyboardValue"),
                                          QStringLiteral("XYType"), QStringLiteral("DPIType")};
    static const QStringList kTypeFallback = {QStringLiteral("Mouse button"), QStringLiteral("Keyboard key"),
                                              QStringLiteral("Pointer move"), QStringLiteral("DPI change")};
    if (auto* label = FindControl(kTypeName)) label->SetText(Text(kTypeKeys[kind], kTypeFallback[kind]));
    if (kind != kKeyboard) SetCapturing(false);
}

void CPopMacroSetWnd::SetCapturing(bool on) {
    auto* box = Find<CCheckBoxUI>(kKeyCheck);
    if (on) {
        if (!m_capture->Start() && box) box->SetCheck(false, false);
        return;
    }
    m_capture->Stop();
    if (box && box->GetCheck()) box->SetCheck(false, false);
}

void CPopMacroSetWnd::OnKey(std::uint32_t scan) {
    const std::uint8_t usage = MacVkAndText::ScanToUsage(scan);
    if (usage == MacVkAndText::kNoUsage) return;  // a key the mouse cannot play
    m_lastScan = scan;
    m_event.code = usage;
    m_event.text = Q(m_keys.ScanToText(scan));
    if (auto* box = Find<CCheckBoxUI>(kKeyCheck)) box->SetText(m_event.text);
}

void CPopMacroSetWnd::RefreshKeyText() {
    if (m_kind != kKeyboard || m_lastScan == MacVkAndText::kNoScanCode) return;
    m_event.text = Q(m_keys.ScanToText(m_lastScan));
    if (auto* box = Find<CCheckBoxUI>(kKeyCheck)) box->SetText(m_event.text);
}

void CPopMacroSetWnd::SyncDirectionChecks() {
    auto* list = Find<CComboUI>(kDirectionList);
    const int index = list ? std::max(0, list->GetCurSel()) : 0;
    const int state = index + 3;
    // X ticked = to the right, Y ticked = upward.
    if (auto* x = Find<CCheckBoxUI>(kXCheck)) x->SetCheck(state == 5 || state == 6, false);
    if (auto* y = Find<CCheckBoxUI>(kYCheck)) y->SetCheck(state == 3 || state == 5, false);
}

void CPopMacroSetWnd::SyncDirectionList() {
    auto* x = Find<CCheckBoxUI>(kXCheck);
    auto* y = Find<CCheckBoxUI>(kYCheck);
    const bool right = x && x->GetCheck();
    const bool up = y && y->GetCheck();
    const int state = right ? (up ? 5 : 6) : (up ? 3 : 4);
    if (auto* list = Find<CComboUI>(kDirectionList)) list->SelectItem(state - 3, false);
}

void CPopMacroSetWnd::Apply() {
    if (m_done) return;
    PopMacroEvent e = m_event;
    if (m_kind == kMouse) {
        auto* list = Find<CComboUI>(kMouseList);
        const int index = list ? std::clamp(list->GetCurSel(), 0, 4) : 0;
        e.code = static_cast<std::uint8_t>(kMacCodeLeftButton + index);
        e.text = QString::fromUtf16(kButtonNames[index]);
    } else if (m_kind == kMove) {
        auto* list = Find<CComboUI>(kDirectionList);
        e.code = kMacCodeMove;
        e.state = static_cast<std::uint8_t>((list ? std::clamp(list->GetCurSel(), 0, 3) : 1) + 3);
        auto* x = Find<CEditUI>(kXEdit);
        auto* y = Find<CEditUI>(kYEdit);
        e.x = static_cast<int>(NumberOf(x ? x->GetText().toStdString() : std::string()));
        e.y = static_cast<int>(NumberOf(y ? y->GetText().toStdString() : std::string()));
        e.x = std::min<int>(e.x, kMoveDistanceMax);
        e.y = std::min<int>(e.y, kMoveDistanceMax);
        e.text = Q(MoveText(e.state, e.x, e.y));
    } else if (m_kind == kDpi) {
        e.code = kMacCodeDpi;
        e.text = QStringLiteral("[DPI]:400 ");
    } else if (e.code == 0 || e.code >= kMacCodeLeftButton) {
        // A key kind opened on something else: the key last shown (A unless another was typed).
        e.code = MacVkAndText::ScanToUsage(m_lastScan);
        e.text = Q(m_keys.ScanToText(m_lastScan));
    }
    if (m_kind != kMove) {
        auto* status = Find<CCheckBoxUI>(kStatus);
        e.state = status && status->GetCheck() ? kMacStateRelease : kMacStatePress;
    }
    auto* delay = Find<CEditUI>(kDelay);
    e.delay = static_cast<std::uint32_t>(
        std::min<long>(NumberOf(delay ? delay->GetText().toStdString() : std::string()), kEventDelayMax));
    m_done = true;
    SetCapturing(false);
    ui::SendMessageTo(GetOwner(), ui::kMsgMacroEventSet, m_mode, 0, e.ToVariant());
    Close(1);
}

void CPopMacroSetWnd::Cancel() {
    if (m_done) return;
    m_done = true;
    SetCapturing(false);
    ui::SendMessageTo(GetOwner(), ui::kMsgMacroEventCancel, 0, 0);
    Close(0);
}

void CPopMacroSetWnd::Notify(ui::TNotifyUI& msg) {
    const QString name = msg.pSender ? msg.pSender->GetName() : QString();
    if (msg.sType == QLatin1String("windowinit")) return;
    // A click or a choice anywhere else ends the key capture.
    if ((msg.sType == QLatin1String("click") || msg.sType == QLatin1String("itemselect") ||
         msg.sType == QLatin1String("setfocus")) &&
        name != kKeyCheck && Capturing())
        SetCapturing(false);
    if (msg.sType == QLatin1String("click")) {
        if (name == kApply) {
            Apply();
        } else if (name == kCancel || name == QLatin1String("closebtn")) {
            Cancel();
        }
        return;
    }
    if (msg.sType == QLatin1String("selectchanged")) {
        if (name == kKeyCheck) {
            SetCapturing(static_cast<CCheckBoxUI*>(msg.pSender)->GetCheck());
        } else if ((name == kXCheck || name == kYCheck) && !m_syncing) {
            SyncDirectionList();
        }
        return;
    }
    if (msg.sType == QLatin1String("itemselect")) {
        if (name == kKindList)
            ShowKind(static_cast<int>(msg.wParam));
        else if (name == kDirectionList)
            SyncDirectionChecks();
        return;
    }
    if (msg.sType == QLatin1String("textchanged") && !m_syncing) {
        auto* edit = qobject_cast<CEditUI*>(msg.pSender);
        if (!edit) return;
        long max = 0;
        if (name == kDelay)
            max = kEventDelayMax;
        else if (name == kXEdit || name == kYEdit)
            max = kMoveDistanceMax;
        else
            return;
        const std::string text = edit->GetText().toStdString();
        const std::string fixed = NormaliseNumberText(text, 0, max);
        if (fixed != text) {
            m_syncing = true;
            edit->SetText(QString::fromStdString(fixed));
            m_syncing = false;
        }
        return;
    }
    if (msg.sType == QLatin1String("return") && name == kDelay) {
        if (auto* temp = FindControl(kTemp)) temp->setFocus();
    }
}

long long CPopMacroSetWnd::HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) {
    switch (msg) {
        case ui::kWmKeyDown:
        case ui::kWmSysKeyDown:
            if (Capturing()) {
                OnKey(static_cast<std::uint32_t>(lParam));
                handled = true;
            } else if (msg == ui::kWmKeyDown && static_cast<unsigned>(wParam) == kVkReturn) {
                // A button the keyboard moved to takes Enter itself (Cancel cancels).
                auto* button = qobject_cast<ui::CButtonUI*>(focusWidget());
                if (button != nullptr && button->HasKeyboardFocus()) break;
                Apply();
                handled = true;
            }
            break;
        case ui::kMsgRecorderKeyUp:
            if (Capturing()) OnKey(static_cast<std::uint32_t>(lParam));
            handled = true;
            break;
        case ui::kWmInputLangChange:
            RefreshKeyText();
            break;
        case ui::kWmLButtonDown:
            // A press on any other control ends the key capture.
            if (Capturing()) {
                ui::CControlUI* at = m_pm.FindControl(ui::PointFromParam(lParam));
                if (at == nullptr || at->GetName() != kKeyCheck) SetCapturing(false);
            }
            break;
        case ui::kWmClose:
            // Closed by the window manager: as Cancel.
            if (!m_done) {
                m_done = true;
                SetCapturing(false);
                ui::SendMessageTo(GetOwner(), ui::kMsgMacroEventCancel, 0, 0);
            }
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace zor
