#include "ui/Dialogs.h"

#include <QFontMetrics>
#include <QPointer>
#include <algorithm>

#include <QTimer>

#include <QGuiApplication>
#include <QScreen>

namespace zor::ui {

// ---------------------------------------------------------------- CMsgWnd

CMsgWnd::CMsgWnd(int type) : m_type(type) {}

QString CMsgWnd::GetSkinFile() {
    switch (m_type) {
        case kConfirm:
            return QStringLiteral("msg.xml");
        case kNoDevice:
            return QStringLiteral("msg3.xml");
        default:
            return QStringLiteral("msg2.xml");
    }
}

void CMsgWnd::InitWindow() {
    m_closeBtn = FindControl(QStringLiteral("closebtn"));
}

void CMsgWnd::SetTitle(const QString& title) {
    if (title.isEmpty()) return;
    if (CControlUI* label = FindControl(QStringLiteral("MessageTitle"))) label->SetText(title);
}

void CMsgWnd::SetMsg(const QString& text) {
    if (text.isEmpty()) return;
    if (m_type != kNoDevice) {
        if (CControlUI* label = FindControl(QStringLiteral("MessageText"))) label->SetText(text);
        return;
    }
    CControlUI* noDevice = FindControl(QStringLiteral("MessageTextNoDevice"));
    CControlUI* unlinked = FindControl(QStringLiteral("MessageTextWirelessUnconnect"));
    CControlUI* shown = m_subType == kSubNoDevice            ? noDevice
                        : m_subType == kSubReceiverNotLinked ? unlinked
                                                             : nullptr;
    CControlUI* hidden = m_subType == kSubNoDevice            ? unlinked
                         : m_subType == kSubReceiverNotLinked ? noDevice
                                                              : nullptr;
    if (shown) {
        shown->SetText(text);
        shown->SetVisible(true);
    }
    if (hidden) hidden->SetVisible(false);
}

void CMsgWnd::SetButtonTexts(const QString& confirm, const QString& cancel) {
    if (CControlUI* button = FindControl(QStringLiteral("confirm_btn")); button && !confirm.isEmpty())
        button->SetText(confirm);
    if (CControlUI* button = FindControl(QStringLiteral("cancel_btn")); button && !cancel.isEmpty())
        button->SetText(cancel);
}

void CMsgWnd::SetTextKeys(const QString& title, const QStringList& message, const QString& confirm,
                          const QString& cancel) {
    m_titleKey = title;
    m_messageKeys = message;
    m_confirmKey = confirm;
    m_cancelKey = cancel;
}

void CMsgWnd::Retext(const std::function<QString(const QString&)>& text) {
    const auto look = [&text](const QString& key) { return key.isEmpty() ? QString() : text(key); };
    SetTitle(look(m_titleKey));
    QStringList lines;
    for (const QString& key : m_messageKeys) lines << look(key);
    SetMsg(lines.join(QLatin1Char('\n')));
    SetButtonTexts(look(m_confirmKey), look(m_cancelKey));
}

void CMsgWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click") && msg.pSender) {
        const QString name = msg.pSender->GetName();
        if (msg.pSender == m_closeBtn) {
            // The no-device notice cannot simply go away: its owner hides itself to the tray
            // and closes the box. Without an owner the box closes itself.
            if (m_type == kNoDevice && GetOwner())
                SendMessageTo(GetOwner(), kMsgMsgBoxHideToTray);
            else
                Close(0);
            return;
        }
        if (name.compare(QLatin1String("confirm_btn"), Qt::CaseInsensitive) == 0) {
            const bool quit = m_subType == kSubNoDevice || m_quitOnConfirm;
            m_quitOnConfirm = false;
            Close(1);
            if (quit) PostQuitMessage(0);
            return;
        }
        if (name.compare(QLatin1String("cancel_btn"), Qt::CaseInsensitive) == 0) {
            Close(m_cancelCode);
            return;
        }
    }
    WindowImplBase::Notify(msg);
}

namespace {
std::function<void(CMsgWnd&)>& ModalHook() {
    static std::function<void(CMsgWnd&)> hook;
    return hook;
}
}  // namespace

void CMsgWnd::SetModalHook(std::function<void(CMsgWnd& box)> hook) {
    ModalHook() = std::move(hook);
}

int CMsgWnd::ShowMessageBox(QWidget* owner, const QString& title, const QString& text, int type,
                            const QString& confirm, const QString& cancel, int subType, bool quitOnConfirm) {
    auto* box = new CMsgWnd(type);
    box->SetSubType(subType);
    box->SetQuitOnConfirm(quitOnConfirm);
    box->Create(owner, QStringLiteral("msgwnd"), kWsPopup | kWsClipChildren, kWsExToolWindow);
    box->CenterWindow();
    box->SetTitle(title);
    box->SetMsg(text);
    box->SetButtonTexts(confirm, cancel);
    if (ModalHook()) {
        QPointer<CMsgWnd> shown(box);
        QTimer::singleShot(0, box, [shown] {
            if (shown && ModalHook()) ModalHook()(*shown);
        });
    }
    return box->ShowModal() == 1 ? 1 : 0;
}

int CMsgWnd::ShowChoiceBox(QWidget* owner, const QString& title, const QString& text, const QString& first,
                           const QString& second) {
    auto* box = new CMsgWnd(kConfirm);
    box->m_cancelCode = 2;
    box->Create(owner, QStringLiteral("msgwnd"), kWsPopup | kWsClipChildren, kWsExToolWindow);
    box->SetTitle(title);
    box->SetMsg(text);
    box->SetButtonTexts(first, second);
    // The skin's box is sized for a short question and two short button texts: the buttons grow
    // to their texts, and the box to the buttons and the message's lines.
    int buttons = 0;
    for (const char* name : {"confirm_btn", "cancel_btn"}) {
        if (CControlUI* button = box->FindControl(QLatin1String(name))) {
            const int width = QFontMetrics(button->ResolveFont()).horizontalAdvance(button->GetText()) + 32;
            button->SetFixedWidth(std::max(width, 96));
            buttons += std::max(width, 96) + 12;
        }
    }
    const int width = std::max({box->width(), buttons + 60, 520});
    int height = box->height();
    if (CControlUI* message = box->FindControl(QStringLiteral("MessageText"))) {
        // The message's column: the box less its insets (24 each side), the icon (36) and the
        // gap after it (14), and the border.
        const int textWidth = width - 2 * 24 - 36 - 14 - 2;
        const QRect lines = QFontMetrics(message->ResolveFont())
                                .boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, text);
        height = std::max(height, 48 + 6 + 8 + lines.height() + 12 + 68);
    }
    box->resize(width, height);
    box->CenterWindow();
    if (ModalHook()) {
        QPointer<CMsgWnd> shown(box);
        QTimer::singleShot(0, box, [shown] {
            if (shown && ModalHook()) ModalHook()(*shown);
        });
    }
    return box->ShowModal();
}

CMsgWnd* CMsgWnd::ShowMessageBoxNonModal(QWidget* owner, const QString& title, const QString& text,
                                         const QString& cancel, int type, const QString& confirm) {
    auto* box = new CMsgWnd(type);
    box->Create(owner, QStringLiteral("msgwnd"), kWsVisible | kWsOverlappedWindow, 0);
    box->CenterWindow();
    box->SetTitle(title);
    box->SetMsg(text);
    box->SetButtonTexts(confirm, cancel);
    return box;
}

// ---------------------------------------------------------------- CCloseWnd

CCloseWnd::CCloseWnd(int closeOption, int remind, int language)
    : m_closeOption(closeOption), m_remind(remind), m_language(language) {}

void CCloseWnd::InitWindow() {
    m_minimize = Find<COptionUI>(QStringLiteral("Minimize"));
    m_exit = Find<COptionUI>(QStringLiteral("Exit"));
    m_notRemind = Find<CCheckBoxUI>(QStringLiteral("NotRemindAgain"));
}

void CCloseWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("windowinit")) {
        if (m_exit) m_exit->Selected(m_closeOption == 1, false);
        if (m_minimize) m_minimize->Selected(m_closeOption != 1, false);
        if (m_notRemind) m_notRemind->SetCheck(m_remind == 0, false);
        return;
    }
    if (msg.sType != QLatin1String("click") || !msg.pSender) {
        WindowImplBase::Notify(msg);
        return;
    }
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("btn_close") || name == QLatin1String("CancelButton")) {
        Close(0);
    } else if (name == QLatin1String("Minimize")) {
        m_closeOption = 0;
    } else if (name == QLatin1String("Exit")) {
        m_closeOption = 1;
    } else if (name == QLatin1String("NotRemindAgain")) {
        // The click is reported before the box toggles: checked before the click means
        // "remind again" from now on.
        m_remind = m_notRemind && m_notRemind->GetCheck() ? 1 : 0;
    } else if (name == QLatin1String("OkButton")) {
        QPointer<QWidget> owner = GetOwner();
        SendMessageTo(owner, kMsgCloseConfig, m_closeOption, -1);
        SendMessageTo(owner, kMsgCloseConfig, -1, m_remind);
        SendMessageTo(owner, kMsgCloseAct);
        Close(1);
    }
}

long long CCloseWnd::HandleCustomMessage(unsigned msg, qintptr, qintptr, bool& handled) {
    handled = false;
    if (msg == kWmClose) PostMessageTo(GetOwner(), kMsgCloseWndGone);
    return 0;
}

// ---------------------------------------------------------------- CPopTipWnd

long long CPopTipWnd::HandleCustomMessage(unsigned msg, qintptr, qintptr, bool& handled) {
    handled = false;
    if (msg == kWmMouseMove && isVisible()) hide();
    return 0;
}

void CPopTipWnd::ShowTip(const QString& text, const QPoint& globalPos) {
    if (CControlUI* label = FindControl(QStringLiteral("tip_text"))) {
        label->SetText(text);
        if (auto* l = qobject_cast<CLabelUI*>(label)) {
            const QSize need = l->EstimateTextSize(label->size());
            const int w = std::max(PaintManager().GetInitSize().width(), need.width() + 24);
            resize(w, height());
        }
    }
    QPoint pos = globalPos;
    if (QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect area = screen->availableGeometry();
        pos.setX(std::min(pos.x(), area.right() - width()));
        pos.setY(std::min(pos.y(), area.bottom() - height()));
    }
    move(pos);
    setAttribute(Qt::WA_ShowWithoutActivating);  // the key page keeps the focus
    show();
    raise();
}

}  // namespace zor::ui
