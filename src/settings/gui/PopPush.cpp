#include "settings/gui/PopPush.h"

#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QScreen>

#include "ui/Controls.h"
#include "ui/CustomControls.h"

namespace zor {
namespace {

constexpr int kShowEffect = 7;
constexpr int kHideEffect = 8;

std::vector<ScreenArea> DesktopScreens() {
    std::vector<ScreenArea> screens;
    for (QScreen* screen : QGuiApplication::screens())
        screens.push_back({screen->geometry(), screen->availableGeometry()});
    return screens;
}

}  // namespace

QtPopTimer::QtPopTimer() {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (onTimeout) onTimeout();
    });
}

QPoint PopPushPosition(const std::vector<ScreenArea>& screens, const QPoint& pointer, const QSize& size) {
    if (screens.empty()) return {};
    const ScreenArea* chosen = &screens.front();
    for (const ScreenArea& s : screens)
        if (s.geometry.contains(pointer)) {
            chosen = &s;
            break;
        }
    const QRect& area = chosen->workArea;
    return {area.right() + 1 - size.width(), area.bottom() + 1 - size.height()};
}

CPopPush::CPopPush(std::unique_ptr<PopTimer> timer, QDBusConnection bus)
    : m_timer(timer ? std::move(timer) : std::make_unique<QtPopTimer>()),
      m_screens(DesktopScreens),
      m_pointer([] { return QCursor::pos(); }),
      m_notification(std::move(bus)),
      m_useNotification(QGuiApplication::platformName() == QLatin1String("wayland")) {
    m_timer->onTimeout = [this] { HidePopup(); };
}

CPopPush::~CPopPush() {
    m_timer->onTimeout = nullptr;
}

ui::CControlUI* CPopPush::CreateControl(const QString& className) {
    if (className == QLatin1String("AnimLayout")) return new ui::AnimLayout();
    return nullptr;
}

void CPopPush::CreatePopup() {
    Create(nullptr, QString(), ui::kWsPopup, ui::kWsExToolWindow | ui::kWsExTopmost);
    // The game or program the user is in keeps the keyboard.
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, true);
    setWindowFlag(Qt::X11BypassWindowManagerHint, false);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setFocusPolicy(Qt::NoFocus);
}

void CPopPush::InitWindow() {
    m_anim = Find<ui::AnimLayout>(QStringLiteral("animlayout"));
    if (m_anim)
        connect(m_anim, &ui::AnimLayout::effectFinished, this, [this](int type) {
            if (type == kHideEffect && m_hiding) {
                m_hiding = false;
                hide();
            }
        });
}

void CPopPush::SetScreensForTest(std::function<std::vector<ScreenArea>()> screens,
                                 std::function<QPoint()> pointer) {
    m_screens = std::move(screens);
    m_pointer = std::move(pointer);
}

void CPopPush::SetSliderMax(int value) {
    m_sliderMax = value;
    if (auto* slider = Find<ui::CSliderUI>(QStringLiteral("slider_dpi"))) {
        slider->SetMinValue(0);
        slider->SetMaxValue(std::max(1, value));
    }
}

void CPopPush::Fill(const PopPushInfo& info) {
    auto set = [this](const char* name, const QString& text) {
        if (auto* c = FindControl(QLatin1String(name))) c->SetText(text);
    };
    set("dpilevel", QString::number(info.level));
    set("dpivalue", info.dpiValue);
    set("dev_name", info.deviceName);
    set("DPIText", info.dpiText);
    set("curmode", info.modeText);
    if (auto* slider = Find<ui::CSliderUI>(QStringLiteral("slider_dpi"))) slider->SetValue(info.dpi);
}

void CPopPush::Place() {
    move(PopPushPosition(m_screens(), m_pointer(), size()));
}

void CPopPush::Show(const PopPushInfo& info) {
    if (m_useNotification) {
        // The window system places windows itself: the same content as a notification.
        m_notification.Show(
            QStringLiteral("%1 %2").arg(info.dpiText, info.dpiValue),
            QStringLiteral("%1 · %2\n%3").arg(info.modeText).arg(info.level).arg(info.deviceName), kHideMs);
        return;
    }
    Fill(info);
    if (!m_shown || m_hiding) {
        m_hiding = false;
        Place();
        show();
        if (m_anim) m_anim->StartEffect(kShowEffect, 1);
        m_shown = true;
    }
    raise();
    m_timer->Start(kHideMs);
}

void CPopPush::HidePopup() {
    m_timer->Stop();
    if (!m_shown) return;
    m_shown = false;
    if (m_anim && isVisible() && m_anim->StartEffect(kHideEffect, 0)) {
        m_hiding = true;  // hidden when the slide has run
        return;
    }
    hide();
}

void CPopPush::Notify(ui::TNotifyUI& msg) {
    if (msg.sType == QLatin1String("click") && msg.pSender &&
        msg.pSender->GetName() == QLatin1String("btn_close"))
        HidePopup();
}

void CPopPush::enterEvent(QEnterEvent* event) {
    // Resting on the pop-up keeps it.
    if (m_shown) m_timer->Stop();
    WindowImplBase::enterEvent(event);
}

void CPopPush::leaveEvent(QEvent* event) {
    if (m_shown) m_timer->Start(kHideMs);
    WindowImplBase::leaveEvent(event);
}

}  // namespace zor
