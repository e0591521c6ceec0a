// The key assignment popup: a panel of the main window ("PopMouseKeySel") that shows what one
// key does and lets the user pick a function by category, a macro of the library, or a single
// keyboard key recorded with the keyboard grabbed. Every choice goes through the shared key rules
// into the current profile's key table at once and is announced (message 2028).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "settings/KeyAssign.h"
#include "ui/PaintManager.h"

namespace zor {

class KeyPopup : public QObject {
public:
    struct Hooks {
        // Posts message 2028 (1, 1): the slot's assignment changed.
        std::function<void()> announce;
        // Sends message 2067 with a recorded key's scan code to the main window.
        std::function<void(unsigned scan)> sendRecordKey;
        // The program's message box with the texts of the current language (keys of the text table).
        std::function<void(const QString& titleId, const QString& textId)> messageBox;
        // Starts the desktop's on-screen keyboard; false when none is installed.
        std::function<bool()> startOnScreenKeyboard;
        // The text of a language id (prompts of the empty drop-downs and the record field).
        std::function<QString(const QString& id)> text;
        // Called when the popup has closed.
        std::function<void()> closed;
    };

    KeyPopup(ui::CPaintManagerUI& pm, KeyAssignContext context, Hooks hooks);
    ~KeyPopup() override;

    // Opens on the key control `controlName` for key table `table`.
    void Open(const QString& controlName, int table, const KeyRules& rules);
    void Close();
    bool IsOpen() const;
    int Slot() const { return m_slot; }
    const QString& ControlName() const { return m_control; }

    // The popup's notifications; false for those of other controls.
    bool Notify(ui::TNotifyUI& msg);
    // Message 2067 came back as "WM_RecordKey".
    void OnRecordKey(unsigned scan);
    bool Recording() const { return m_recording; }
    const RecordedKey& Recorded() const { return m_recorded; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FindRoot();
    // Builds the popup's controls if the skin left them for the first opening; false without them.
    bool Build();
    // Shows or hides the skin's lazy part that holds the popup (when there is one).
    void ShowPart(bool show);
    ui::CControlUI* Find(const QString& name) const;
    template <typename T>
    T* FindAs(const QString& name) const {
        return qobject_cast<T*>(Find(name));
    }
    void ShowCategory(int index);
    void ShowAssignment();
    void SelectItemOfCode(const QString& list, KeyCategory category, int code);
    void ClearListSelections();
    void Choose(const KeyChoice& choice);
    void Restore();
    void StartRecording();
    void StopRecording();
    void FillMacroGroups();
    void FillMacros();
    void ShowMacroTexts();
    void HideDropLists();
    QString Text(const char* id) const;
    void ShowMacroPrompts();
    const doc::KeyAssignment* Current() const;

    ui::CPaintManagerUI& m_pm;
    KeyAssignContext m_ctx;
    Hooks m_hooks;
    QPointer<ui::CControlUI> m_root;
    QString m_control;
    int m_slot = -1;
    int m_table = 0;
    doc::KeyAssignment m_opening;  // the slot when the popup opened (Cancel restores it)
    bool m_changed = false;
    bool m_showing = false;  // set while the popup selects controls itself
    bool m_recording = false;
    RecordedKey m_recorded;
    int m_group = -1;  // the chosen macro group and macro
    int m_macro = -1;
    QPointer<QWidget> m_returnFocus;  // the key control a keyboard user opened the popup from
};

}  // namespace zor
