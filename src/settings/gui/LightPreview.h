// The lighting page's preview, drawn by the program: "mouse" shows the mouse from above with its
// light strip and logo, "strip" the strip laid out straight, so a moving effect is easy to follow.
// It animates only while it is visible and the mode moves; otherwise it sleeps.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include "settings/LightingPreview.h"
#include "ui/Controls.h"

namespace zor {

class LightPreview : public ui::CControlUI {
    Q_OBJECT
public:
    static constexpr int kFrameMs = 40;

    explicit LightPreview(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("LightPreviewUI"); }
    // "part": "mouse" (default) or "strip".
    void SetAttribute(const QString& name, const QString& value) override;

    void SetInput(const PreviewInput& input);
    const PreviewInput& Input() const { return m_input; }
    bool Animating() const { return m_timer.isActive(); }
    // Draws the picture at a given moment (tests); negative: the running clock again.
    void SetTimeForTest(std::int64_t ms) { m_fixedMs = ms; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void UpdateTimer();
    std::int64_t Now() const;
    void PaintMouse(QPainter& p, std::int64_t t);
    void PaintStrip(QPainter& p, std::int64_t t);

    PreviewInput m_input;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::int64_t m_fixedMs = -1;
    bool m_strip = false;
};

}  // namespace zor
