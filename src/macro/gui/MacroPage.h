// The macro page of the main window: the group/macro tree (rename in place, context menus, new
// and delete), the event list of the selected macro, recording from the keyboard, the event
// popup for insert and edit, the loop mode and repeat count, the bindings of the macro, and the
// exchange of macro groups. Every edit goes into the MacroStore at once; the shared rules live
// in macro/MacroEditing so that zorctl applies the same ones.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "macro/MacVkAndText.h"
#include "macro/MacroRecorder.h"
#include "macro/MacroStore.h"
#include "macro/gui/KeyboardCapture.h"
#include "macro/gui/PopMacroSetWnd.h"
#include "ui/Controls.h"
#include "ui/CrossThread.h"
#include "ui/Markup.h"
#include "ui/MenuTray.h"
#include "ui/WindowImplBase.h"

namespace zor {

class MacroPage : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // A language text of the page ("New Group", "SelMacro", ...); empty when there is none.
        std::function<QString(const QString& key)> text;
        // The program's message box: title and text by language key; answers 1 for OK.
        std::function<int(const QString& titleKey, const QString& textKey, bool withCancel)> messageBox;
        // The open dialog for macro group files (several may be chosen); empty when cancelled.
        std::function<QStringList()> chooseImportFiles;
        // The save dialog for one macro group file; empty when cancelled.
        std::function<QString(const QString& suggestedName)> chooseExportFile;
        // A group was written to this file.
        std::function<void(const QString& path)> exported;
        // A bound macro changed: it must be sent to the mouse again.
        std::function<void()> deviceChangesPending;
        // The names of macros changed (rename, delete, import, reset): key texts must follow.
        std::function<void()> macroNamesChanged;
        // The device's code for 400 DPI, the value of inserted DPI events.
        std::function<std::int16_t()> dpiEventCode;
        // Shows the event popup (default: modal); tests show it without waiting.
        std::function<void(CPopMacroSetWnd* popup)> runPopup;
        // Where a context menu opens (default: the cursor).
        std::function<QPoint()> menuPosition;
        // Recording clock (default: the system clock).
        MacroRecorder::Clock clock;
    };

    MacroPage(ui::WindowImplBase& window, MacroStore& store, const MacVkAndText& keys, Hooks hooks);
    ~MacroPage() override;

    // Fills the tree from the store and selects the first macro.
    void Rebuild();
    // The page's notifications; false for those of other pages.
    bool Notify(ui::TNotifyUI& msg);
    // The window messages the main window hands on: key messages (256, 257, 260, 261), 2029,
    // 2027, 2035, 2047, 81 and the mouse buttons 513, 514, 517.
    long long HandleMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled);
    // The macro page was shown or left.
    void SetShown(bool shown);
    bool Shown() const { return m_shown; }

    bool Recording() const { return m_recorder.recording(); }
    int SelectedGroup() const { return m_group; }
    int SelectedMacro() const { return m_macro; }
    int SelectedRow() const;
    bool DeviceChangesPending() const { return m_pending; }
    // The bound macros (group and macro identifiers) changed since they were last sent.
    const std::vector<std::pair<std::string, std::string>>& ChangedBoundMacros() const { return m_changed; }
    // These were sent to the mouse: their marks go; the flag stays while others wait.
    void MacrosSent(const std::vector<std::pair<std::string, std::string>>& sent);
    void ClearDeviceChangesPending() {
        m_pending = false;
        m_changed.clear();
    }
    // Stops a recording (page left, window hidden, program quitting).
    void StopRecording();
    // Writes every edit not yet on disk and waits for it (page left, program quitting).
    void FlushSaves();
    // How long after the last edit of a burst the library is handed to the writer.
    static constexpr int kSaveDelayMs = 300;
    QPointer<CPopMacroSetWnd> Popup() const { return m_popup; }
    // The menu the page opened last (null once closed).
    ui::CMenuWnd* Menu() const { return m_menu; }
    KeyboardCapture& Capture() { return *m_capture; }
    // The event list's rows are built in steps of this many so that no step stalls the window.
    static constexpr int kRowsPerStep = 12;
    int BuiltRows() const;

private:
    struct NodeRef {
        ui::CTreeNodeUI* node = nullptr;
        int group = -1;
        int macro = -1;  // -1: a group node
    };
    QString Text(const QString& key, const QString& fallback = {}) const;
    int Box(const QString& textKey, bool withCancel = true);
    template <typename T = ui::CControlUI>
    T* Find(const QString& name) const {
        return m_window.Find<T>(name);
    }
    ui::CControlUI* FindControl(const QString& name) const { return m_window.FindControl(name); }

    // The language's texts of the page's controls.
    void ApplyTexts();
    // Tree.
    void BuildTree();
    void SelectNode(int group, int macro);
    const NodeRef* RefOf(const ui::CControlUI* control) const;
    void OnTreeSelect(int index);
    void OpenContextMenu(const NodeRef* ref);
    void OpenInsertMenu();
    void OnMenu(const QString& item);
    void StartRename(const NodeRef* ref);
    void FinishRename(ui::CControlUI* edit);
    void NewGroup();
    void NewMacro();
    void DeleteGroup(int g);
    void DeleteMacro(int g, int m);
    void ShowToSave(int g, int m, bool show);
    void MarkChanged();
    void UpdateButtons();

    // Event list.
    void ShowMacro();
    void ShowEvents();
    void BuildRowsStep(int generation);
    ui::CListContainerElementUI* NewRow();
    void FillRow(int row);
    QString EventText(std::uint8_t code, const QString& keyText) const;
    void ShowLoopMode();
    void ShowBindings();
    QString ProfileText(const QString& config) const;
    int RowOf(ui::CControlUI* control) const;

    // Editing.
    void OnInsertButton();
    void OpenPopup(const PopMacroEvent& event, int mode);
    void OnPopupResult(int mode, const PopMacroEvent& event);
    void OnDeleteButton();
    void OnLoopOption(const QString& name);
    void OnCountChanged(ui::CEditUI* edit);
    void CommitCount();
    void ReportEdit(const MacroResult& result);

    // Recording.
    void OnRecordButton();
    void OnKey(unsigned message, std::uint32_t scan);

    // Exchange.
    void ImportGroups();
    void ExportGroup(int g);
    void ResetLibrary();

    ui::WindowImplBase& m_window;
    MacroStore& m_store;
    ui::CallReceiver m_calls;  // the library writer's failures, reported on the UI thread
    const MacVkAndText& m_keys;
    Hooks m_hooks;
    MacroRecorder m_recorder;
    std::unique_ptr<KeyboardCapture> m_capture;
    std::vector<NodeRef> m_nodes;
    std::vector<QPointer<ui::CListContainerElementUI>> m_rows;
    std::unique_ptr<ui::CMarkup> m_rowMarkup;
    QString m_rowFile;  // the file m_rowMarkup was read from (it changes with the skin)
    QPointer<CPopMacroSetWnd> m_popup;
    QPointer<ui::CMenuWnd> m_menu;
    QPoint m_insertMenuPos;
    int m_group = -1;
    int m_macro = -1;
    int m_insertMode = kPopInsertBefore;
    int m_menuGroup = -1;
    int m_menuMacro = -1;
    int m_rowsWanted = 0;
    int m_fillNext = 0;  // rows before it show the current macro
    int m_generation = 0;
    bool m_pending = false;
    std::vector<std::pair<std::string, std::string>> m_changed;
    // A bound macro changed (or went): it is to be sent again.
    void NoteChanged(const MacroGroup& group, const MacroRecord& macro);
    bool m_shown = false;
    bool m_filling = false;
    QTimer* m_saveTimer = nullptr;
    QPointer<ui::CEditUI> m_renaming;
    QString m_renameOld;
};

}  // namespace zor
