#include "macro/gui/KeyboardCapture.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "common/Debug.h"
#include "macro/MacVkAndText.h"
#include "macro/MacroRecorder.h"
#include "ui/Messages.h"

namespace zor {

namespace {
constexpr std::uint32_t kNativeKeycodeOffset = 8;
constexpr std::uint32_t kTabScanCode = 15;
}  // namespace

KeyboardCapture::KeyboardCapture(QWidget* window, KeySink sink) : m_window(window), m_sink(std::move(sink)) {
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_active) Lost();
    });
}

KeyboardCapture::~KeyboardCapture() {
    Stop();
}

bool KeyboardCapture::Start() {
    if (m_active) return true;
    if (!m_window || !m_window->isVisible()) return false;
    m_window->installEventFilter(this);
    m_window->grabKeyboard();
    m_active = true;
    DebugLine("keyboard captured\n");
    return true;
}

void KeyboardCapture::Stop() {
    if (!m_active) return;
    m_active = false;
    if (m_window) {
        m_window->removeEventFilter(this);
        m_window->releaseKeyboard();
    }
    DebugLine("keyboard released\n");
}

void KeyboardCapture::Lost() {
    Stop();
    if (m_lost) m_lost();
}

std::uint32_t KeyboardCapture::ScanCodeOf(const QKeyEvent& event) {
    const std::uint32_t native = event.nativeScanCode();
    if (native <= kNativeKeycodeOffset) return 0;
    return MacVkAndText::ScanCodeFromEvdev(native - kNativeKeycodeOffset);
}

std::uint32_t KeyboardCapture::VirtualKeyOf(const QKeyEvent& event) {
    if (event.nativeVirtualKey() != 0) return event.nativeVirtualKey();
    const int key = event.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<std::uint32_t>(key);
    return 0;
}

bool KeyboardCapture::eventFilter(QObject* watched, QEvent* event) {
    if (!m_active || watched != m_window) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->isAutoRepeat()) return true;
            const bool press = event->type() == QEvent::KeyPress;
            const std::uint32_t scan = ScanCodeOf(*key);
            if (scan == 0) return true;  // a key macros cannot hold
            if (press && scan == kTabScanCode) {
                m_sink(ui::kMsgRecorderKeyUp, 0, kTabScanCode);
                return true;
            }
            const bool alt = key->modifiers() & Qt::AltModifier;
            const unsigned message =
                press ? (alt ? kMsgSysKeyDown : kMsgKeyDown) : (alt ? kMsgSysKeyUp : kMsgKeyUp);
            m_sink(message, VirtualKeyOf(*key), scan);
            return true;
        }
        case QEvent::ShortcutOverride:
            event->accept();  // no shortcut of the window fires while keys are captured
            return true;
        case QEvent::Hide:
        case QEvent::Close:
            Lost();
            break;
        case QEvent::WindowStateChange:
            if (m_window->isMinimized()) Lost();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zor
