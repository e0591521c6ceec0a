#include "ui/WindowImplBase.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "common/HandOver.h"
#include "ui/CrossThread.h"

namespace zor::ui {

// ---------------------------------------------------------------- messages

MessageEvent::MessageEvent(unsigned msg, qintptr w, qintptr l, QVariant data)
    : QEvent(EventType()), message(msg), wParam(w), lParam(l), payload(std::move(data)) {}

QEvent::Type MessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

namespace {

class CallEvent : public QEvent {
public:
    explicit CallEvent(std::function<void()> f) : QEvent(Type()), call(std::move(f)) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    std::function<void()> call;
};

#ifdef ZOR_TSAN
// Qt shows an event to the application's event filters first, then to the receiver's filters
// (a window filters its own events), then to the receiver: the hand-over of an event posted
// from another thread is taken before any of our code reads it.
class HandOverFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        HandOverAcquire(e);
        return false;
    }
};
#endif

// Under ThreadSanitizer only: the application filter above, once per application object.
void EnsureHandOverFilter() {
#ifdef ZOR_TSAN
    static QPointer<QObject> filter;
    if (filter || QCoreApplication::instance() == nullptr) return;
    filter = new HandOverFilter(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
#endif
}

}  // namespace

void CallReceiver::Post(std::function<void()> call) {
    auto* event = new CallEvent(std::move(call));
    HandOverRelease(event);
    QCoreApplication::postEvent(this, event);
}

bool CallReceiver::event(QEvent* e) {
    HandOverAcquire(e);  // before the event is read at all
    if (e->type() != CallEvent::Type()) return QObject::event(e);
    auto* call = static_cast<CallEvent*>(e);
    if (call->call) call->call();
    return true;
}

void PostMessageTo(QObject* target, unsigned msg, qintptr wParam, qintptr lParam, const QVariant& payload) {
    if (!target) return;
    auto* event = new MessageEvent(msg, wParam, lParam, payload);
    // Built here, read on the receiver's thread: Qt's queue orders the two.
    HandOverRelease(event);
    QCoreApplication::postEvent(target, event);
}

namespace {

// A message whose sender waits: the reply is finished when the event goes, handled or not.
class ReplyMessageEvent final : public MessageEvent {
public:
    ReplyMessageEvent(unsigned msg, qintptr w, qintptr l, QVariant data, std::shared_ptr<MessageReply> r)
        : MessageEvent(msg, w, l, std::move(data)), m_reply(std::move(r)) {}
    ~ReplyMessageEvent() override { m_reply->Finish(result); }

private:
    std::shared_ptr<MessageReply> m_reply;
};

}  // namespace

void MessageReply::Finish(long long result) {
    {
        std::lock_guard lock(m_mutex);
        if (m_done) return;
        m_done = true;
        m_result = result;
    }
    m_changed.notify_all();
}

long long MessageReply::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_done; });
    return m_result;
}

void PostMessageWithReply(QObject* target, unsigned msg, qintptr wParam, qintptr lParam,
                          const QVariant& payload, std::shared_ptr<MessageReply> reply) {
    if (!target) {
        reply->Abandon();
        return;
    }
    auto* event = new ReplyMessageEvent(msg, wParam, lParam, payload, std::move(reply));
    HandOverRelease(event);
    QCoreApplication::postEvent(target, event);
}

long long SendMessageTo(QObject* target, unsigned msg, qintptr wParam, qintptr lParam,
                        const QVariant& payload) {
    if (!target) return 0;
    if (target->thread() == QThread::currentThread()) {
        MessageEvent event(msg, wParam, lParam, payload);
        QCoreApplication::sendEvent(target, &event);
        return event.result;
    }
    // Posted with a reply rather than through a blocking queued call: the waiting is on our own
    // lock, and the event lives and dies on the receiver's thread. A receiver destroyed before
    // it ran the message destroys the event, which answers 0.
    auto reply = std::make_shared<MessageReply>();
    PostMessageWithReply(target, msg, wParam, lParam, payload, reply);
    return reply->Wait();
}

static std::function<void(int)>& QuitHandler() {
    static std::function<void(int)> handler;
    return handler;
}

void PostQuitMessage(int code) {
    if (QuitHandler()) {
        QuitHandler()(code);
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

void SetQuitHandler(std::function<void(int)> handler) {
    QuitHandler() = std::move(handler);
}

// ---------------------------------------------------------------- WindowImplBase

WindowImplBase::WindowImplBase() {
    m_pm.Init(this);
    m_pm.AddNotifier(this);
    m_pm.SetEventFilter(this);
    setAttribute(Qt::WA_TranslucentBackground);
    EnsureHandOverFilter();
    installEventFilter(this);
}

WindowImplBase::~WindowImplBase() {
    // A modal run must not outlive its window (an owner destroyed with its dialog open).
    if (m_modalLoop) m_modalLoop->exit(m_closeCode);
    m_pm.RemoveNotifier(this);
    // The controls go before the manager they are registered with.
    delete m_pm.GetRoot();
}

bool WindowImplBase::Create(QWidget* owner, const QString& name, unsigned style, unsigned exStyle,
                            const QRect& rc) {
    m_owner = owner;
    Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::Window;
    if (exStyle & kWsExToolWindow) flags |= Qt::Tool;
    if (exStyle & kWsExTopmost) flags |= Qt::WindowStaysOnTopHint;
    if (style & kWsMinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    setParent(owner, flags);
    setWindowTitle(name);
    if (!name.isEmpty()) setObjectName(name);
    CDialogBuilder builder;
    const QString skinFile = GetSkinFolder() + GetSkinFile();
    CControlUI* root = m_readSkin ? builder.Create(skinFile, *m_readSkin, this, &m_pm, this)
                                  : builder.Create(skinFile, this, &m_pm, this);
    m_readSkin.reset();
    m_pm.AttachDialog(root);
    if (!rc.isEmpty())
        setGeometry(rc);
    else
        resize(m_pm.GetInitSize());
    if (m_pm.GetMinInfo().isValid()) setMinimumSize(m_pm.GetMinInfo());
    if (root) root->setGeometry(rect());
    CResourceManager::GetInstance().ApplyText(&m_pm);
    InitWindow();
    if (style & kWsVisible) show();
    return root != nullptr;
}

void WindowImplBase::CenterWindow() {
    QRect area;
    if (m_owner && m_owner->isVisible())
        area = m_owner->window()->geometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty()) return;
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void WindowImplBase::ShowWindow(bool showIt) {
    if (showIt)
        show();
    else
        hide();
}

int WindowImplBase::ShowModal() {
    if (m_closed) return m_closeCode;
    if (!isVisible()) {
        setWindowModality(m_owner ? Qt::WindowModal : Qt::ApplicationModal);
        show();
    }
    QEventLoop loop;
    m_modalLoop = &loop;
    QPointer<WindowImplBase> self(this);
    const int code = loop.exec();
    if (self) m_modalLoop = nullptr;
    return code;
}

void WindowImplBase::Close(int code) {
    if (m_closed) return;
    m_closeCode = code;
    bool handled = false;
    HandleCustomMessage(kWmClose, 0, 0, handled);
    if (handled) return;
    FinishClose();
}

bool WindowImplBase::FinishClose() {
    if (m_closed) return false;
    m_closed = true;
    hide();
    if (m_modalLoop) m_modalLoop->exit(m_closeCode);
    if (!m_finalScheduled) {
        m_finalScheduled = true;
        QTimer::singleShot(0, this, [this] { OnFinalMessage(); });
    }
    return true;
}

void WindowImplBase::OnFinalMessage() {
    deleteLater();
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click")) OnClick(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg) {
    if (!msg.pSender) return;
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("closebtn"))
        Close(0);
    else if (name == QLatin1String("minbtn"))
        showMinimized();
}

CControlUI* WindowImplBase::CreateControl(const QString&) {
    return nullptr;
}

long long WindowImplBase::HandleCustomMessage(unsigned, qintptr, qintptr, bool& handled) {
    handled = false;
    return 0;
}

bool WindowImplBase::IsInStaticControl(CControlUI* control) const {
    if (!control) return true;
    return !qobject_cast<CButtonUI*>(control) && !qobject_cast<CEditUI*>(control) &&
           !qobject_cast<CSliderUI*>(control) && !qobject_cast<CListContainerElementUI*>(control) &&
           !qobject_cast<CColorPaletteUI*>(control) && !qobject_cast<CListUI*>(control);
}

bool WindowImplBase::event(QEvent* e) {
    if (e->type() == MessageEvent::EventType()) {
        auto* msg = static_cast<MessageEvent*>(e);
        HandOverAcquire(msg);  // posted from another thread, maybe
        const QVariant saved = m_payload;
        m_payload = msg->payload;
        bool handled = false;
        msg->result = HandleCustomMessage(msg->message, msg->wParam, msg->lParam, handled);
        msg->handled = handled;
        m_payload = saved;
        return true;
    }
    return QWidget::event(e);
}

static qintptr VirtualKey(const QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Delete:
            return 46;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        default:
            break;
    }
    if ((key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) ||
        (key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9))
        return key->key();
    if (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F24) return 112 + (key->key() - Qt::Key_F1);
    return qintptr(key->nativeVirtualKey());
}

// An input event that a child ignored travels on to its parents, passing this filter again:
// each event is translated into a message only once.
bool WindowImplBase::DeliverInputMessage(QObject* watched, QEvent* e) {
    // Parents receive copies of an ignored mouse event: same type, time and screen position.
    auto* input = static_cast<QInputEvent*>(e);
    QPointF global;
    if (auto* point = dynamic_cast<QSinglePointEvent*>(e))
        global = point->globalPosition();
    else if (auto* key = dynamic_cast<QKeyEvent*>(e))
        global = QPointF(key->key(), key->nativeScanCode());
    if (m_lastInput.type == int(e->type()) && m_lastInput.stamp == input->timestamp() &&
        m_lastInput.global == global)
        return false;
    m_lastInput = {int(e->type()), input->timestamp(), global};

    unsigned msg = 0;
    qintptr wParam = 0, lParam = 0;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (auto* mouse = dynamic_cast<QMouseEvent*>(e)) {
        const QPoint pt =
            widget ? widget->mapTo(this, mouse->position().toPoint()) : mouse->position().toPoint();
        lParam = MakePointParam(pt.x(), pt.y());
        const bool right = mouse->button() == Qt::RightButton;
        switch (e->type()) {
            case QEvent::MouseButtonPress:
                msg = right ? kWmRButtonDown : kWmLButtonDown;
                break;
            case QEvent::MouseButtonRelease:
                msg = right ? kWmRButtonUp : kWmLButtonUp;
                break;
            case QEvent::MouseButtonDblClick:
                msg = right ? 0u : unsigned(kWmLButtonDblClk);
                break;
            case QEvent::MouseMove:
                msg = kWmMouseMove;
                break;
            default:
                break;
        }
    } else if (auto* wheel = dynamic_cast<QWheelEvent*>(e)) {
        msg = kWmMouseWheel;
        wParam = qintptr(wheel->angleDelta().y()) << 16;
        const QPoint pt =
            widget ? widget->mapTo(this, wheel->position().toPoint()) : wheel->position().toPoint();
        lParam = MakePointParam(pt.x(), pt.y());
    } else if (auto* key = dynamic_cast<QKeyEvent*>(e)) {
        const bool alt = key->modifiers() & Qt::AltModifier;
        msg = e->type() == QEvent::KeyPress ? (alt ? kWmSysKeyDown : kWmKeyDown)
                                            : (alt ? kWmSysKeyUp : kWmKeyUp);
        wParam = VirtualKey(key);
        lParam = qintptr(key->nativeScanCode()) << 16;
    }
    if (!msg) return false;
    bool handled = false;
    HandleCustomMessage(msg, wParam, lParam, handled);
    return handled;
}

bool WindowImplBase::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress: {
            if (DeliverInputMessage(watched, e)) return true;
            auto* mouse = static_cast<QMouseEvent*>(e);
            auto* widget = qobject_cast<QWidget*>(watched);
            if (mouse->button() != Qt::LeftButton || !widget || widget->window() != this) break;
            const QPoint pt = widget->mapTo(this, mouse->position().toPoint());
            if (!m_pm.CaptionArea(size()).contains(pt) || !IsInStaticControl(m_pm.FindControl(pt))) break;
            if (windowHandle() && windowHandle()->startSystemMove()) return true;
            m_dragging = true;
            m_dragOffset = mouse->globalPosition().toPoint() - pos();
            return true;
        }
        case QEvent::MouseMove:
            if (m_dragging) {
                move(static_cast<QMouseEvent*>(e)->globalPosition().toPoint() - m_dragOffset);
                return true;
            }
            return DeliverInputMessage(watched, e);
        case QEvent::MouseButtonRelease:
            if (m_dragging) {
                m_dragging = false;
                return true;
            }
            return DeliverInputMessage(watched, e);
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return DeliverInputMessage(watched, e);
        default:
            break;
    }
    return QWidget::eventFilter(watched, e);
}

void WindowImplBase::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (m_windowInitSent) return;
    m_windowInitSent = true;
    m_pm.SendNotify(m_pm.GetRoot(), QStringLiteral("windowinit"));
}

void WindowImplBase::closeEvent(QCloseEvent* e) {
    if (m_closed) {
        e->accept();
        return;
    }
    bool handled = false;
    HandleCustomMessage(kWmClose, 0, 0, handled);
    if (handled) {
        e->ignore();
        return;
    }
    FinishClose();
    e->accept();
}

void WindowImplBase::resizeEvent(QResizeEvent*) {
    if (CControlUI* root = m_pm.GetRoot()) root->setGeometry(rect());
}

void WindowImplBase::moveEvent(QMoveEvent*) {
    bool handled = false;
    HandleCustomMessage(kWmMove, 0, MakePointParam(x(), y()), handled);
}

void WindowImplBase::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange) {
        bool handled = false;
        const qintptr wParam = (isMinimized() ? 0x10000 : 0) | (isActiveWindow() ? 1 : 0);
        HandleCustomMessage(kWmActivate, wParam, 0, handled);
    }
    QWidget::changeEvent(e);
}

void WindowImplBase::paintEvent(QPaintEvent*) {}

bool WindowImplBase::OnEscape() {
    if (!m_owner) return false;
    // What the window's own close button does (a notice may hide to the tray instead).
    for (const char* name : {"closebtn", "btn_close"}) {
        auto* button = m_pm.Find<CButtonUI>(QLatin1String(name));
        if (button != nullptr && button->isVisibleTo(this) && button->isEnabled()) {
            button->Activate();
            return true;
        }
    }
    Close(0);
    return true;
}

void WindowImplBase::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && OnEscape()) return;
    QWidget::keyPressEvent(e);
}

bool WindowImplBase::focusNextPrevChild(bool next) {
    QWidget* scope = m_pm.GetFocusScope();
    if (scope == nullptr || !scope->isVisibleTo(this)) scope = m_pm.GetRoot();
    const std::vector<QWidget*> stops = TabStops(scope);
    if (stops.empty()) return false;
    const auto n = static_cast<std::ptrdiff_t>(stops.size());
    // A control the window focused by itself on activation shows no frame: the first Tab
    // starts at the beginning rather than past a focus the user never saw.
    QWidget* current = focusWidget();
    if (auto* control = qobject_cast<CControlUI*>(current); control && !control->HasKeyboardFocus())
        current = nullptr;
    const auto it = std::find(stops.begin(), stops.end(), current);
    std::ptrdiff_t i = next ? 0 : n - 1;
    if (it != stops.end()) i = ((it - stops.begin()) + (next ? 1 : -1) + n) % n;
    QWidget* target = stops[static_cast<std::size_t>(i)];
    const Qt::FocusReason reason = next ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    if (auto* control = qobject_cast<CControlUI*>(target))
        control->SetKeyboardFocus(reason);
    else
        target->setFocus(reason);
    return true;
}

}  // namespace zor::ui
