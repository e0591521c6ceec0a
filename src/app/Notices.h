// The main window's notices: the one message box it keeps open without waiting for it (no device,
// a failed BLE connection, a run that did not reach the mouse, a limit of the key page) and its
// modal boxes, with their texts in the language in use.
#pragma once

#include <QPointer>
#include <QString>

#include "control/ModelSession.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"

namespace zor::app {

class Notices {
public:
    Notices(QWidget& owner, ui::LanguageManager& language) : m_owner(owner), m_language(language) {}
    ~Notices();
    Notices(const Notices&) = delete;
    Notices& operator=(const Notices&) = delete;

    // A program text of the language in use: the page's own section first, then the others, so
    // that a page refreshed while another one is shown still gets its texts.
    QString Text(const QString& id) const;
    QString Text(const char* id) const { return Text(QLatin1String(id)); }
    // The box that is open, or null.
    ui::CMsgWnd* Box() const { return m_box; }
    bool NoDeviceShown() const { return m_box && m_box->GetType() == ui::CMsgWnd::kNoDevice; }
    void Close();
    // Keeps an open box in the middle of the window that moved.
    void Recentre();
    void Raise();
    // The open box's texts in the language just chosen.
    void Retext();
    // An information box with its OK button, in place of the one that is open.
    void ShowInfo(const QString& title, const QString& text);
    // The mouse cannot be reached: no device, or a receiver without its mouse; with the line on
    // Bluetooth LE when that is not available either.
    void ShowNoDevice(bool unlinkedReceiver, bool bleUnavailable);
    // The BLE connection failed for good; confirming ends the program.
    void ShowBleConnectFailed();
    // The model's configuration file could not be used: which file, why, where the damaged one
    // was kept, and the two ways on. Modal; closing it chooses nothing.
    enum class DocumentChoice { None, RestoreFactory, ReadFromMouse };
    DocumentChoice AskUnreadDocument(const control::UnreadDocument& unread);
    // A modal box: 1 when confirmed, 0 otherwise.
    int Ask(const char* title, const QString& text, bool withCancel = false);

private:
    QWidget& m_owner;
    ui::LanguageManager& m_language;
    QPointer<ui::CMsgWnd> m_box;
};

}  // namespace zor::app
