#include "settings/gui/LightPreview.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace zor {
namespace {

constexpr int kSegments = 28;
constexpr int kRimPieces = 64;

QColor ToColor(std::uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A light that is dark shows as an unlit LED rather than a black hole.
QColor Lit(std::uint32_t rgb) {
    const QColor c = ToColor(rgb);
    const QColor unlit(0x3A, 0x40, 0x4B);
    const double l = std::max({c.redF(), c.greenF(), c.blueF()});
    return QColor::fromRgbF(unlit.redF() * (1 - l) + c.redF() * l, unlit.greenF() * (1 - l) + c.greenF() * l,
                            unlit.blueF() * (1 - l) + c.blueF() * l);
}

}  // namespace

LightPreview::LightPreview(QWidget* parent) : ui::CControlUI(parent) {
    m_timer.setInterval(kFrameMs);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A minimised or hidden window is not drawn: the preview sleeps until it is shown again.
        if (!isVisible() || window()->isMinimized()) {
            m_timer.stop();
            return;
        }
        update();
    });
    m_clock.start();
}

void LightPreview::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("part"), Qt::CaseInsensitive) == 0) {
        m_strip = value == QLatin1String("strip");
        update();
        return;
    }
    ui::CControlUI::SetAttribute(name, value);
}

void LightPreview::SetInput(const PreviewInput& input) {
    // A refresh that changes nothing keeps the motion where it is.
    if (input == m_input) return;
    m_input = input;
    m_clock.restart();
    UpdateTimer();
    update();
}

void LightPreview::UpdateTimer() {
    if (PreviewAnimates(m_input.effect) && isVisible() && !window()->isMinimized())
        m_timer.start();
    else
        m_timer.stop();
}

std::int64_t LightPreview::Now() const {
    return m_fixedMs >= 0 ? m_fixedMs : m_clock.elapsed();
}

void LightPreview::showEvent(QShowEvent* event) {
    ui::CControlUI::showEvent(event);
    UpdateTimer();
}

void LightPreview::hideEvent(QHideEvent* event) {
    ui::CControlUI::hideEvent(event);
    m_timer.stop();
}

void LightPreview::paintEvent(QPaintEvent* event) {
    ui::CControlUI::paintEvent(event);
    // Restored from minimised: the first paint starts the motion again.
    if (!m_timer.isActive() && PreviewAnimates(m_input.effect) && !window()->isMinimized()) m_timer.start();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const std::int64_t t = Now();
    if (m_strip)
        PaintStrip(p, t);
    else
        PaintMouse(p, t);
}

void LightPreview::PaintStrip(QPainter& p, std::int64_t t) {
    const QRectF area = QRectF(rect()).adjusted(2, 2, -2, -2);
    if (area.width() <= 0 || area.height() <= 0) return;
    const double gap = 3.0;
    const double w = (area.width() - gap * (kSegments - 1)) / kSegments;
    for (int i = 0; i < kSegments; ++i) {
        const double x = (i + 0.5) / kSegments;
        const QColor c = Lit(PreviewColourAt(m_input, x, t));
        QRectF seg(area.left() + i * (w + gap), area.top(), w, area.height());
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(seg, 2, 2);
    }
}

void LightPreview::PaintMouse(QPainter& p, std::int64_t t) {
    const QRectF area = QRectF(rect()).adjusted(10, 8, -10, -8);
    if (area.width() <= 0 || area.height() <= 0) return;
    // The body: a rounded shell a little narrower than tall.
    const double h = area.height();
    const double w = std::min(area.width(), h * 0.62);
    const QRectF body(area.center().x() - w / 2, area.top(), w, h);
    QPainterPath shell;
    shell.addRoundedRect(body, w * 0.48, w * 0.5);

    // The light runs round the rim: each piece takes the colour of its place along the strip,
    // first as a wide soft glow, then as the thin line of the light itself.
    QPainterPath rim;
    rim.addRoundedRect(body.adjusted(-3, -3, 3, 3), w * 0.5 + 3, w * 0.5 + 3);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kRimPieces; ++i) {
            const double a = double(i) / kRimPieces;
            const double b = double(i + 1) / kRimPieces;
            QColor c = pass == 0 ? ToColor(PreviewColourAt(m_input, (a + b) / 2, t))
                                 : Lit(PreviewColourAt(m_input, (a + b) / 2, t));
            if (pass == 0) c.setAlpha(60);
            p.setPen(QPen(c, pass == 0 ? 10.0 : 3.0, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(rim.pointAtPercent(a), rim.pointAtPercent(b));
        }
    }

    p.setPen(QPen(QColor(0x3A, 0x40, 0x4B), 1.5));
    QLinearGradient fill(body.topLeft(), body.bottomRight());
    fill.setColorAt(0, QColor(0x30, 0x35, 0x40));
    fill.setColorAt(1, QColor(0x16, 0x19, 0x1F));
    p.setBrush(fill);
    p.drawPath(shell);
    // Buttons and wheel.
    p.drawLine(QPointF(body.center().x(), body.top() + 2), QPointF(body.center().x(), body.top() + h * 0.36));
    p.setBrush(QColor(0x1B, 0x1E, 0x24));
    p.drawRoundedRect(QRectF(body.center().x() - w * 0.06, body.top() + h * 0.1, w * 0.12, h * 0.16), 4, 4);
    // The logo shows the middle of the strip.
    const QColor logo = Lit(PreviewColourAt(m_input, 0.5, t));
    const QPointF centre(body.center().x(), body.top() + h * 0.66);
    QColor halo = logo;
    halo.setAlpha(90);
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(centre, w * 0.17, w * 0.17);
    p.setBrush(logo);
    p.drawEllipse(centre, w * 0.09, w * 0.09);
}

}  // namespace zor
