// Shared set-up of the skin tests: the QApplication (offscreen), the shipped skin folders and
// a window class that records what reaches it.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <QVariant>
#include <vector>

#include "ui/WindowImplBase.h"

namespace zor::ui::test {

QString SourceRes();  // <source>/res/
QString TestData();   // tests/ui/data/
QString BuildDir();   // build folder
// Points the library at <source>/res/<skin>/ (instance path <source>/res/).
void UseSkin(const QString& skin);

struct Received {
    unsigned msg;
    qintptr wParam, lParam;
    QVariant payload;
};

// A window built from any skin file that records notifications and messages.
class RecordingWindow : public WindowImplBase {
public:
    explicit RecordingWindow(QString skin, QString folder = {})
        : m_skin(std::move(skin)), m_folder(std::move(folder)) {}
    QString GetSkinFile() override { return m_skin; }
    QString GetSkinFolder() override { return m_folder; }
    QString GetWindowClassName() const override { return QStringLiteral("RecordingWindow"); }
    void Notify(TNotifyUI& msg) override {
        notes.push_back({msg.sType, msg.pSender ? msg.pSender->GetName() : QString(), msg.wParam, msg.sText});
        WindowImplBase::Notify(msg);
    }
    long long HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) override {
        if (msg >= kMsgUser || msg == kWmClose) messages.push_back({msg, wParam, lParam, MessagePayload()});
        if (msg == kWmLButtonDown) clicks.push_back(PointFromParam(lParam));
        handled = msg == kWmClose && keepOpenOnClose;
        return msg == 2053 ? 42 : 0;
    }
    CControlUI* CreateControl(const QString& cls) override {
        if (factory) return factory(cls);
        return nullptr;
    }
    void OnFinalMessage() override { ++finalCount; }

    struct Note {
        QString type, sender;
        qintptr wParam;
        QString text;
    };
    std::vector<Note> notes;
    std::vector<Received> messages;
    std::vector<QPoint> clicks;
    bool keepOpenOnClose = false;
    int finalCount = 0;
    std::function<CControlUI*(const QString&)> factory;

    int Count(const QString& type, const QString& sender = {}) const {
        int n = 0;
        for (const auto& note : notes)
            if (note.type == type && (sender.isEmpty() || note.sender == sender)) ++n;
        return n;
    }

private:
    QString m_skin, m_folder;
};

// Clicks the centre of a control on its top-level window, through the window's hit-testing
// (fails the test when another control lies on top of it).
void Click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton);

}  // namespace zor::ui::test
