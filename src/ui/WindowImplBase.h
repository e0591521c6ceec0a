// WindowImplBase: a frameless top-level window built from a skin file. It receives every
// control notification in Notify, every custom message (and the translated standard window
// messages) in HandleCustomMessage, runs modally with ShowModal/Close(code), lets the user drag
// it by the skin's caption area, and calls OnFinalMessage once it is gone.
//
// Messages: PostMessageTo works from any thread; SendMessageTo calls the receiver at once on its
// own thread and blocks until it has run when called from another thread. Payloads travel as
// owned QVariant values, never as raw addresses.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <optional>

#include "ui/Messages.h"
#include "ui/PaintManager.h"

#include <QEventLoop>

namespace zor::ui {

// Window style bits as the windows are created with them.
enum WindowStyle : unsigned {
    kWsPopup = 0x80000000u,
    kWsVisible = 0x10000000u,
    kWsClipChildren = 0x02000000u,
    kWsCaption = 0x00C00000u,
    kWsSysMenu = 0x00080000u,
    kWsMinimizeBox = 0x00020000u,
    kWsOverlappedWindow = 0x00CF0000u,
    kWsDialog = 0x96C80000u,
};
enum WindowExStyle : unsigned { kWsExToolWindow = 0x80u, kWsExTopmost = 0x8u };

// A custom message as a Qt event.
class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned msg, qintptr wParam, qintptr lParam, QVariant payload = {});
    static QEvent::Type EventType();
    unsigned message;
    qintptr wParam;
    qintptr lParam;
    QVariant payload;
    long long result = 0;
    bool handled = false;
};

void PostMessageTo(QObject* target, unsigned msg, qintptr wParam = 0, qintptr lParam = 0,
                   const QVariant& payload = {});
long long SendMessageTo(QObject* target, unsigned msg, qintptr wParam = 0, qintptr lParam = 0,
                        const QVariant& payload = {});
// "lParam" of a mouse message: x in the low 16 bits, y in the high 16 bits (window coordinates).
constexpr qintptr MakePointParam(int x, int y) {
    return qintptr((unsigned(y) & 0xFFFFu) << 16 | (unsigned(x) & 0xFFFFu));
}
inline QPoint PointFromParam(qintptr lParam) {
    return QPoint(static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF));
}

// Ends the program's event loop (the windows' way to quit); tests replace the action.
void PostQuitMessage(int code);
void SetQuitHandler(std::function<void(int)> handler);

class WindowImplBase : public QWidget, public INotifyUI, public IDialogBuilderCallback {
    Q_OBJECT
public:
    WindowImplBase();
    ~WindowImplBase() override;

    virtual QString GetSkinFile() = 0;
    virtual QString GetWindowClassName() const = 0;
    virtual QString GetSkinFolder() { return {}; }
    // Called once the controls exist, before the window is shown.
    virtual void InitWindow() {}
    void Notify(TNotifyUI& msg) override;
    // "click" notifications land here unless Notify is overridden; the default closes the
    // window for "closebtn" and minimises it for "minbtn".
    virtual void OnClick(TNotifyUI& msg);
    CControlUI* CreateControl(const QString& className) override;
    // Custom and translated standard messages; set handled to stop the library's own handling.
    virtual long long HandleCustomMessage(unsigned msg, qintptr wParam, qintptr lParam, bool& handled);
    // Called from the event loop after the window has closed; the default releases the object.
    virtual void OnFinalMessage();
    // True when the control at windowPoint lets the window be dragged (labels, layouts, texts).
    virtual bool IsInStaticControl(CControlUI* control) const;
    // Escape that no control took: in a window that has an owner (a dialog, a picker) the
    // default presses its close button ("closebtn" or "btn_close"), else closes it with code 0.
    virtual bool OnEscape();

    // The skin file as its caller has already read it (the program's start checks read the main
    // skin to name what is wrong with a damaged one): the next Create builds from it instead of
    // reading and parsing the file a second time.
    void UseReadSkin(CMarkup skin) { m_readSkin = std::move(skin); }
    // Builds the skin and creates the window. owner: the owning window (stays on top of it).
    bool Create(QWidget* owner, const QString& name, unsigned style = kWsPopup | kWsVisible,
                unsigned exStyle = 0, const QRect& rc = {});
    void CenterWindow();
    void ShowWindow(bool show = true);
    // Runs a nested event loop until Close; returns the close code.
    int ShowModal();
    // Closes the window with code (the result of ShowModal). A WM_CLOSE handler that marks the
    // message handled keeps the window open.
    void Close(int code = 0);
    bool IsModal() const { return m_modalLoop != nullptr; }
    bool IsClosed() const { return m_closed; }
    QWidget* GetOwner() const { return m_owner; }

    CPaintManagerUI& PaintManager() { return m_pm; }
    CControlUI* FindControl(const QString& name) const { return m_pm.FindControl(name); }
    template <typename T>
    T* Find(const QString& name) const {
        return m_pm.Find<T>(name);
    }
    // Payload of the message being handled in HandleCustomMessage.
    const QVariant& MessagePayload() const { return m_payload; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Tab and Shift+Tab walk the controls in reading order (TabStops), within the focus scope
    // when one is shown, round from the last to the first.
    bool focusNextPrevChild(bool next) override;
    bool DeliverInputMessage(QObject* watched, QEvent* event);
    bool FinishClose();

    CPaintManagerUI m_pm;
    std::optional<CMarkup> m_readSkin;
    QPointer<QWidget> m_owner;
    QPointer<QEventLoop> m_modalLoop;
    int m_closeCode = 0;
    bool m_closed = false;
    bool m_windowInitSent = false;
    bool m_finalScheduled = false;
    QVariant m_payload;
    // Manual caption drag (when the platform cannot move the window itself).
    bool m_dragging = false;
    struct {
        int type = 0;
        quint64 stamp = 0;
        QPointF global;
    } m_lastInput;
    QPoint m_dragOffset;
};

}  // namespace zor::ui
