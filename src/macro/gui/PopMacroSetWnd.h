// CPopMacroSetWnd: the popup in which one macro event is inserted or edited: a mouse button, a
// keyboard key (typed while its box is ticked), a pointer move, or a DPI change, with its
// press/release state and its delay. Apply reports the event to the owner as message 2027
// (wParam: the mode, payload: the event), Cancel as message 2035.
#pragma once

#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <memory>

#include "macro/MacVkAndText.h"
#include "macro/gui/KeyboardCapture.h"
#include "ui/WindowImplBase.h"

namespace zor {

inline constexpr int kPopInsertBefore = 0;
inline constexpr int kPopInsertAfter = 1;
inline constexpr int kPopEdit = 255;
inline constexpr const char* kPopMacroSetTitle = "MacroMotifyWnd";

// The event the popup shows and gives back.
struct PopMacroEvent {
    std::uint8_t code = 0;
    QString text;
    std::uint8_t state = 1;
    std::uint32_t delay = 0;
    int x = 0;  // distances of a pointer move
    int y = 0;
    QVariantMap ToVariant() const;
    static PopMacroEvent FromVariant(const QVariantMap& map);
};

class CPopMacroSetWnd : public ui::WindowImplBase, public ui::IQueryControlText {
    Q_OBJECT
public:
    // text: the language texts of the popup (key -> text); empty answers keep the skin's text.
    CPopMacroSetWnd(const MacVkAndText& keys, std::function<QString(const QString&)> text);
    ~CPopMacroSetWnd() override;
    QString GetSkinFile() override { return QStringLiteral("popmacroset.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("CPopMacroSetWnd"); }
    void Notify(ui::TNotifyUI& msg) override;
    long long HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled) override;
    QString QueryControlText(const QString& id, const QString& type) override;

    void Init(const PopMacroEvent& event, int mode);
    bool Capturing() const { return m_capture && m_capture->Active(); }
    const PopMacroEvent& Event() const { return m_event; }
    int Mode() const { return m_mode; }
    // Re-renders the captured key's name after the keyboard layout changed.
    void RefreshKeyText();

private:
    enum Kind { kMouse = 0, kKeyboard = 1, kMove = 2, kDpi = 3 };
    void ShowKind(int kind);
    void SetCapturing(bool on);
    void OnKey(std::uint32_t scan);
    void SyncDirectionChecks();
    void SyncDirectionList();
    void Apply();
    void Cancel();
    void ApplyTexts();
    QString Text(const QString& key, const QString& fallback) const;

    const MacVkAndText& m_keys;
    std::function<QString(const QString&)> m_text;
    std::unique_ptr<KeyboardCapture> m_capture;
    PopMacroEvent m_event;
    std::uint32_t m_lastScan = 30;  // the A key
    int m_mode = kPopInsertBefore;
    int m_kind = kKeyboard;
    bool m_syncing = false;
    bool m_done = false;
};

}  // namespace zor
