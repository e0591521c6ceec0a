// The program's own small windows: the message box (information, confirmation, the no-device
// notice), the close dialog (hide to the tray or exit) and the key page's hover tip.
#pragma once

#include <QStringList>
#include <functional>

#include "ui/WindowImplBase.h"

namespace zor::ui {

class CMsgWnd : public WindowImplBase {
    Q_OBJECT
public:
    enum Type { kInfo = 0, kConfirm = 1, kNoDevice = 2 };
    enum SubType { kSubNone = 0, kSubNoDevice = 1, kSubReceiverNotLinked = 2 };

    explicit CMsgWnd(int type = kInfo);
    QString GetSkinFile() override;
    QString GetWindowClassName() const override { return QStringLiteral("MsgWnd"); }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;

    int GetType() const { return m_type; }
    int GetSubType() const { return m_subType; }
    void SetSubType(int subType) { m_subType = subType; }
    bool GetQuitOnConfirm() const { return m_quitOnConfirm; }
    void SetQuitOnConfirm(bool quit) { m_quitOnConfirm = quit; }
    // Empty texts change nothing.
    void SetTitle(const QString& title);
    void SetMsg(const QString& text);
    void SetButtonTexts(const QString& confirm, const QString& cancel);
    // The language keys of the box's texts (the message's lines joined by line breaks); Retext
    // looks them up again, so that a change of language re-texts a box that is open.
    void SetTextKeys(const QString& title, const QStringList& message, const QString& confirm,
                     const QString& cancel = {});
    void Retext(const std::function<QString(const QString&)>& text);

    // Modal box: 1 when confirmed, 0 otherwise.
    static int ShowMessageBox(QWidget* owner, const QString& title, const QString& text, int type = kInfo,
                              const QString& confirm = {}, const QString& cancel = {}, int subType = kSubNone,
                              bool quitOnConfirm = false);
    // Modal box with two choices on its two buttons: 1 for the first (confirm_btn), 2 for the
    // second (cancel_btn), 0 when it was closed without a choice. The box grows to its texts.
    static int ShowChoiceBox(QWidget* owner, const QString& title, const QString& text, const QString& first,
                             const QString& second);
    // Called with every modal box once it is on the screen (tests answer it by clicking its
    // buttons); null: none.
    static void SetModalHook(std::function<void(CMsgWnd& box)> hook);
    // Shown without waiting; the caller keeps the pointer (the box releases itself when closed).
    static CMsgWnd* ShowMessageBoxNonModal(QWidget* owner, const QString& title, const QString& text,
                                           const QString& cancel = {}, int type = kInfo,
                                           const QString& confirm = {});

private:
    int m_type;
    int m_subType = kSubNone;
    bool m_quitOnConfirm = false;
    int m_cancelCode = 0;  // what the cancel button closes the box with
    CControlUI* m_closeBtn = nullptr;
    QString m_titleKey, m_confirmKey, m_cancelKey;
    QStringList m_messageKeys;
};

class CCloseWnd : public WindowImplBase {
    Q_OBJECT
public:
    CCloseWnd(int closeOption, int remind, int language);
    QString GetSkinFile() override { return QStringLiteral("ClosePop.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("CloseWnd"); }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    long long HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) override;

    int GetCloseOption() const { return m_closeOption; }
    int GetRemind() const { return m_remind; }
    int GetLanguage() const { return m_language; }

private:
    int m_closeOption;
    int m_remind;
    int m_language;
    COptionUI* m_minimize = nullptr;
    COptionUI* m_exit = nullptr;
    CCheckBoxUI* m_notRemind = nullptr;
};

// Hover hint of the key page: created hidden, shown next to a key; moving the mouse onto the
// tip hides it.
class CPopTipWnd : public WindowImplBase {
    Q_OBJECT
public:
    CPopTipWnd() = default;
    QString GetSkinFile() override { return QStringLiteral("poptip.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("PopTipWnd"); }
    long long HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) override;
    // Shows text with the tip's top-left corner at globalPos (kept on the screen).
    void ShowTip(const QString& text, const QPoint& globalPos);
};

}  // namespace zor::ui
