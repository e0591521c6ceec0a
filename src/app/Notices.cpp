#include "app/Notices.h"

#include "ui/WindowImplBase.h"

namespace zor::app {

using ui::CMsgWnd;

Notices::~Notices() {
    if (m_box) delete m_box;
}

void Notices::Close() {
    if (m_box) m_box->Close(0);
    m_box = nullptr;
}

void Notices::Recentre() {
    if (m_box && m_box->isVisible()) m_box->CenterWindow();
}

void Notices::Raise() {
    if (m_box) m_box->raise();
}

void Notices::Retext() {
    if (m_box) m_box->Retext([this](const QString& id) { return Text(id); });
}

void Notices::ShowInfo(const QString& title, const QString& text) {
    Close();
    m_box = CMsgWnd::ShowMessageBoxNonModal(&m_owner, title, text, {}, CMsgWnd::kInfo, Text("MessageOK"));
    if (m_box) m_box->CenterWindow();
}

void Notices::ShowNoDevice(bool unlinkedReceiver, bool bleUnavailable) {
    auto* box = new CMsgWnd(CMsgWnd::kNoDevice);
    box->SetSubType(unlinkedReceiver ? CMsgWnd::kSubReceiverNotLinked : CMsgWnd::kSubNoDevice);
    box->Create(&m_owner, QStringLiteral("msgwnd"), ui::kWsVisible | ui::kWsPopup, ui::kWsExToolWindow);
    QStringList message = unlinkedReceiver ? QStringList{QStringLiteral("WirelessUnconnect1"),
                                                         QStringLiteral("WirelessUnconnect2"),
                                                         QStringLiteral("WirelessUnconnect3")}
                                           : QStringList{QStringLiteral("NoDevice")};
    if (bleUnavailable) message << QStringLiteral("BleNotAvailable");
    box->SetTextKeys(QStringLiteral("Tip"), message, QStringLiteral("NoDeviceExit"));
    box->Retext([this](const QString& id) { return Text(id); });
    box->CenterWindow();
    box->raise();
    m_box = box;
}

void Notices::ShowBleConnectFailed() {
    Close();
    // A new start registers the bridge afresh.
    m_box = CMsgWnd::ShowMessageBoxNonModal(&m_owner, Text("Tip"), Text("BleConnectFailed"), {},
                                            CMsgWnd::kInfo, Text("MessageOK"));
    if (m_box) {
        m_box->SetTextKeys(QStringLiteral("Tip"), {QStringLiteral("BleConnectFailed")},
                           QStringLiteral("MessageOK"));
        m_box->SetQuitOnConfirm(true);
        m_box->CenterWindow();
    }
}

int Notices::Ask(const char* title, const QString& text, bool withCancel) {
    return CMsgWnd::ShowMessageBox(&m_owner, Text(title), text,
                                   withCancel ? CMsgWnd::kConfirm : CMsgWnd::kInfo, Text("MessageOK"),
                                   withCancel ? Text("MessageCancel") : QString());
}

}  // namespace zor::app
