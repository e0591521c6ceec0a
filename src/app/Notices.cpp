#include "app/Notices.h"

#include <QRegularExpression>

#include "common/Text.h"
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

QString Notices::Text(const QString& id) const {
    QString text = m_language.QueryControlText(id, {});
    for (const char* section : {"MouseUI", "MacroUI"})
        if (text.isEmpty()) text = m_language.Current().Find(QLatin1String(section), id).value_or(QString());
    return text;
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
    // Only the no-device notice ends the program from its button; the receiver's notice is read
    // and put away while the program waits for the mouse to link again.
    box->SetTextKeys(QStringLiteral("Tip"), message,
                     unlinkedReceiver ? QStringLiteral("MessageOK") : QStringLiteral("NoDeviceExit"));
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

Notices::DocumentChoice Notices::AskUnreadDocument(const control::UnreadDocument& unread) {
    QStringList lines{Text(unread.missing ? "ConfigMissing" : "ConfigDamaged"),
                      QString::fromStdString(unread.file.string())};
    if (!unread.missing && !unread.reason.empty()) {
        // The reader's reason without the parser's tag and the damaged bytes it quotes.
        QString why = QString::fromStdString(unread.reason);
        why.remove(QRegularExpression(QStringLiteral("^\\[[^\\]]*\\]\\s*")));
        why.remove(QRegularExpression(QStringLiteral("; last read: .*"),
                                      QRegularExpression::DotMatchesEverythingOption));
        lines << QString::fromStdString(PrintableText(why.toStdString(), 160));
    }
    if (!unread.keptAs.empty())
        lines << Text("ConfigKeptAs") + QLatin1Char(' ') +
                     QString::fromStdString(unread.keptAs.filename().string());
    // The headline, what was found, and the choice, each a paragraph of its own.
    lines[0] += QLatin1Char('\n');
    lines << QLatin1Char('\n') + Text("ConfigChoose");
    switch (CMsgWnd::ShowChoiceBox(&m_owner, Text("Error"), lines.join(QLatin1Char('\n')),
                                   Text("ConfigRestore"), Text("ConfigReadBack"))) {
        case 1:
            return DocumentChoice::RestoreFactory;
        case 2:
            return DocumentChoice::ReadFromMouse;
        default:
            return DocumentChoice::None;
    }
}

int Notices::Ask(const char* title, const QString& text, bool withCancel) {
    return CMsgWnd::ShowMessageBox(&m_owner, Text(title), text,
                                   withCancel ? CMsgWnd::kConfirm : CMsgWnd::kInfo, Text("MessageOK"),
                                   withCancel ? Text("MessageCancel") : QString());
}

}  // namespace zor::app
