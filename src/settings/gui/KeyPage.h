// The key page: the model's picture with one control per key (placed and cut by the model's
// position files mousekey.json and mousekey2.json, one of two layouts), each showing what its key
// does; hovering a key lights up its mark on the picture and the reverse, the wheel's two
// directions show their function in "displaytext", and a click opens the key assignment popup.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>

#include "settings/KeyAssign.h"
#include "settings/gui/KeyPopup.h"
#include "ui/PaintManager.h"
#include "ui/PositionLayout.h"

namespace zor {

class KeyPage {
public:
    struct Hooks {
        // The key operation (SetKey): a choice for a slot of a profile; the rules' answer.
        std::function<AssignStatus(int profile, int slot, const KeyChoice& choice)> assign;
        // Puts back what the slot held (RestoreKeyAssignment).
        std::function<void(int profile, int slot, const doc::KeyAssignment& previous)> restore;
        // True while the mouse is reached over BLE.
        std::function<bool()> ble;
        // The key the next run writes (the page's current key).
        std::function<void(int slot)> setCurrentKey;
        // The text of a language id ("OnlyOneKey", "Tip", ...).
        std::function<QString(const QString& id)> text;
        // Shows the program's message box (information type) with these texts.
        std::function<void(const QString& title, const QString& text)> messageBox;
        // Posts message 2028 (1, 1) to the main window.
        std::function<void()> postSetValue;
        // Sends message 2067 (recorded scan code) to the main window.
        std::function<void(unsigned scan)> sendRecordKey;
        // Starts the desktop's on-screen keyboard; false when none is installed.
        std::function<bool()> startOnScreenKeyboard;
        // Shows the key page (a key of another picture of the window was clicked).
        std::function<void()> showPage;
        // The name of a built-in function in the language in use; empty: the catalog's own.
        std::function<QString(int code)> functionText;
    };

    KeyPage(ui::CPaintManagerUI& pm, QWidget* owner, MouseConfigDocument& document, MacroStore& macros,
            const KeyFunctionCatalog& catalog, const MacVkAndText& keys, Hooks hooks);
    ~KeyPage();

    // Reads and applies the model's two layouts; `pictureLayout` (Set/OnlyOnePageVersion non-zero)
    // shows the picture layout, otherwise the list layout. A missing file shows the layout notice.
    void SetModel(const std::filesystem::path& modelFolder, bool pictureLayout, bool lighting);
    // The page's controls were built (the page is built when first shown): they get the model's
    // layout and the keys' texts.
    void OnBuilt();
    // The profile whose key table the page shows; an open popup follows it, re-opened on the
    // last clicked key, so that its next choice goes into the new profile's table.
    void SetProfile(int profile);
    int Profile() const { return m_profile; }
    // Shows every key's display text of the current profile.
    void Refresh();

    // The page's and the popup's notifications ("PopSetValue" and "WM_RecordKey" included).
    bool Notify(ui::TNotifyUI& msg);
    // Message 2028 from the popup.
    void OnPopSetValue(int value);
    // Message 2067: a recorded key's scan code.
    void OnRecordKey(unsigned scan);
    // Mouse moves over the window (message 512): the hover highlight.
    void OnMouseMove(const QPoint& windowPoint);
    // The window was activated by a click (message 33): no hover is left standing.
    void ClearHover();

    KeyPopup& Popup() { return *m_popup; }
    int CurrentSlot() const { return m_current; }
    bool PictureLayout() const { return m_pictureLayout; }

private:
    // The loaded layouts and the chosen variant onto the page's controls, then the texts.
    void ShowModel();
    ui::CControlUI* Variant() const;
    ui::CControlUI* KeyControl(int slot, bool mark) const;
    ui::CControlUI* ControlOfName(const QString& name) const;
    void OpenOn(const QString& name, int slot);
    void SelectKey(int slot);
    void Highlight(int slot, bool mark, bool on);
    QString WheelText(int slot) const;
    // What a key shows: a built-in function by its name in the language in use, else the
    // assignment's own text.
    QString DisplayText(const doc::KeyAssignment& key) const;
    void ShowWheelSummary();
    const ui::CControlAttributes* LayoutEntry(const QString& name) const;

    ui::CPaintManagerUI& m_pm;
    QWidget* m_owner;
    MouseConfigDocument& m_doc;
    MacroStore& m_macros;
    const KeyFunctionCatalog& m_catalog;
    const MacVkAndText& m_keys;
    Hooks m_hooks;
    std::unique_ptr<KeyPopup> m_popup;
    ui::PositionLayout m_layout1;
    ui::PositionLayout m_layout2;
    bool m_pictureLayout = true;
    bool m_lighting = true;
    int m_profile = 0;
    int m_current = -1;
    QString m_clicked;
    QPointer<ui::CControlUI> m_hovered;  // the partner lit up by the hover
    QString m_hoveredImage;              // its normal image before
};

}  // namespace zor
