// The macro page in a window of its own, over a macro library in a temporary folder. Message
// boxes and file dialogs are answered by the test; the event popup is shown without waiting.
// Clicks go to the top-level window at the control's centre; keys go where the desktop would
// send them: to the window that grabbed the keyboard, else to the focused widget.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <chrono>
#include <deque>
#include <memory>

#include "macro/MacVkAndText.h"
#include "macro/MacroStore.h"
#include "macro/gui/MacroPage.h"
#include "support/TempDir.h"
#include "ui/WindowImplBase.h"

namespace zor::test {

QString MacroGuiTestData();
void UseMacroSkin(const QString& skin);

// The window the page lives in; it hands the page what the main window hands it.
class MacroHost : public ui::WindowImplBase {
public:
    QString GetSkinFile() override { return MacroGuiTestData() + QStringLiteral("/host.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("MacroHost"); }
    void OnFinalMessage() override {}
    void Notify(ui::TNotifyUI& msg) override {
        if (page) page->Notify(msg);
    }
    long long HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) override;
    MacroPage* page = nullptr;
};

class MacroPageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A library with one group "Work" holding macros "Hello" (no events) and "Two" (two events).
    void WriteLibrary();
    void StartPage(const QString& skin = QStringLiteral("res_black"));

    ui::CControlUI* Control(const char* name) const;
    // A click on the top-level window at the centre of the control.
    void Click(QWidget* control, Qt::MouseButton button = Qt::LeftButton);
    void Click(const char* name) { Click(Control(name)); }
    // Picks a menu item the way a user does: a click on the menu's window at the item.
    void ClickMenuItem(const char* item);
    // A key as the desktop delivers it: evdev keycode + 8 as the native scan code.
    void Key(QEvent::Type type, std::uint32_t evdev, int qtKey = 0, Qt::KeyboardModifiers mods = {},
             bool repeat = false);
    void Tap(std::uint32_t evdev, int qtKey, int holdMs = 0);
    ui::CTreeNodeUI* Node(int group, int macro) const;
    void SelectMacro(int group, int macro);
    CPopMacroSetWnd* WaitPopup();
    // Waits until the page handed its edits to the store's writer (shortly after the last edit,
    // with no help from the test), then until the writer put them on disk.
    void WaitWritten();
    const MacroDeviceBlock& Block() const { return store.working().device; }
    QImage Shot(QWidget* widget, const QString& name);

    TempDir dir;
    MacroStore store;
    MacVkAndText keys{KeyboardLayout::FromNames({"", "", "us", "", ""})};
    std::unique_ptr<MacroHost> host;
    std::unique_ptr<MacroPage> page;
    std::chrono::system_clock::time_point now{std::chrono::milliseconds(20000LL * 86400000 + 43200000)};
    // What the message boxes were asked (text keys) and what they answer.
    QStringList boxes;
    int boxAnswer = 1;
    QStringList importAnswer;
    QString exportAnswer;
    int pendingSignals = 0;
    int namesChanged = 0;
};

}  // namespace zor::test
