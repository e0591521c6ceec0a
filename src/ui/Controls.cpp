// Base control, containers and the simple controls.
#include "ui/Controls.h"

#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHash>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <memory>

#include "common/DataFile.h"
#include "ui/Accessible.h"
#include "ui/PaintManager.h"

namespace zor::ui {

// ---------------------------------------------------------------- attribute parsing

QColor ParseColor(const QString& text) {
    QString t = text.trimmed();
    if (t.startsWith('#'))
        t = t.mid(1);
    else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    const unsigned v = t.toUInt(&ok, 16);
    if (!ok || t.isEmpty()) return {};
    if (t.size() <= 6) return QColor::fromRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    return QColor::fromRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF, (v >> 24) & 0xFF);
}

static std::vector<int> ParseInts(const QString& text) {
    std::vector<int> out;
    for (const QString& part : text.split(',')) out.push_back(part.trimmed().toInt());
    return out;
}

QRect ParseRect(const QString& text) {
    const auto v = ParseInts(text);
    if (v.size() < 4) return {};
    return QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
}

QMargins ParseMargins(const QString& text) {
    const auto v = ParseInts(text);
    if (v.size() < 4) return {};
    return QMargins(v[0], v[1], v[2], v[3]);
}

QSize ParseSize(const QString& text) {
    const auto v = ParseInts(text);
    if (v.size() < 2) return {};
    return QSize(v[0], v[1]);
}

bool ParseBool(const QString& text) {
    return text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

namespace {

bool IsKeyChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Calls visit(key, value) for every `key = 'value'` pair of text (quote: ' or "), the way a scan
// for (\w+)\s*=\s*'([^']*)' finds them: text that is no such pair is skipped. Hand-made because
// start-up reads hundreds of these lists, and a regular expression engine is costly to start.
template <typename Visit>
void ForEachQuotedPair(const QString& text, QChar quote, Visit visit) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!IsKeyChar(text[i])) {
            ++i;
            continue;
        }
        const qsizetype keyStart = i;
        qsizetype p = i;
        while (p < n && IsKeyChar(text[p])) ++p;
        const qsizetype keyEnd = p;
        while (p < n && text[p].isSpace()) ++p;
        if (p < n && text[p] == QLatin1Char('=')) {
            ++p;
            while (p < n && text[p].isSpace()) ++p;
            if (p < n && text[p] == quote) {
                const qsizetype close = text.indexOf(quote, p + 1);
                if (close >= 0) {
                    visit(text.mid(keyStart, keyEnd - keyStart), text.mid(p + 1, close - p - 1));
                    i = close + 1;
                    continue;
                }
            }
        }
        i = keyStart + 1;  // no pair starts here: look again one character on
    }
}

}  // namespace

ImageRef ImageRef::Parse(const QString& text) {
    ImageRef ref;
    const QString t = text.trimmed();
    if (t.isEmpty()) return ref;
    if (!t.contains('=')) {
        ref.file = t;
        return ref;
    }
    ForEachQuotedPair(t, QLatin1Char('\''), [&](const QString& name, const QString& value) {
        const QString key = name.toLower();
        if (key == QLatin1String("file"))
            ref.file = value;
        else if (key == QLatin1String("source"))
            ref.source = ParseRect(value);
        else if (key == QLatin1String("corner"))
            ref.corner = ParseMargins(value);
        else if (key == QLatin1String("fade"))
            ref.fade = std::clamp(value.toInt(), 0, 255);
        else if (key == QLatin1String("dest"))
            ref.dest = ParseRect(value);
    });
    return ref;
}

// ---------------------------------------------------------------- image cache

namespace {

// Pictures are rasterised once and kept, except large SVG drawings without nine-slice corners:
// those keep only their parsed drawing and are rendered on each paint, at the size they are
// drawn, so a window's big backgrounds do not each hold megabytes of pixels.
constexpr qsizetype kMaxRasterBytes = 256 * 1024;

struct CachedImage {
    QImage image;
    qreal scale = 1;  // pixels per source unit (SVG pictures are rendered at the pixel ratio)
    std::shared_ptr<QSvgRenderer> drawing;  // a large SVG: rendered on paint
    QSizeF logical;                         // its size in the drawing's own units
};

// Far above any picture of a skin; a larger file is not read.
constexpr std::uint64_t kMaxPictureFileBytes = 32u * 1024u * 1024u;

struct ImageCache {
    QMutex mutex;
    QHash<QString, CachedImage> images;
};

ImageCache& Cache() {
    static ImageCache cache;
    return cache;
}

const CachedImage* LoadCached(const QString& file, qreal dpr) {
    const QString path = CPaintManagerUI::ResolveFile(file);
    const bool svg = path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
    const QString key = svg ? path + QLatin1Char('@') + QString::number(dpr) : path;
    ImageCache& cache = Cache();
    QMutexLocker lock(&cache.mutex);
    auto it = cache.images.find(key);
    if (it != cache.images.end()) return it->image.isNull() && !it->drawing ? nullptr : &*it;
    CachedImage entry;
    // Read as any data file is: a FIFO or a device in a picture's place is never opened.
    std::string bytes;
    if (ReadDataFile(QFile::encodeName(path).toStdString(), bytes, kMaxPictureFileBytes) != ReadFault::None)
        bytes.clear();
    const QByteArray data = QByteArray::fromStdString(bytes);
    if (svg && !data.isEmpty()) {
        auto renderer = std::make_shared<QSvgRenderer>(data);
        if (renderer->isValid()) {
            const QSize logical = renderer->defaultSize();
            const QSize pixels = (QSizeF(logical) * dpr).toSize();
            entry.scale = dpr;
            entry.logical = QSizeF(logical);
            if (qsizetype(pixels.width()) * pixels.height() * 4 > kMaxRasterBytes) {
                entry.drawing = std::move(renderer);
            } else {
                QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
                image.fill(Qt::transparent);
                QPainter p(&image);
                renderer->render(&p);
                p.end();
                entry.image = image;
            }
        }
    } else if (!data.isEmpty()) {
        entry.image.loadFromData(data);
    }
    // Missing pictures are remembered too, so a broken skin does not hit the disk on every paint.
    it = cache.images.insert(key, entry);
    return it->image.isNull() && !it->drawing ? nullptr : &*it;
}

void DrawNineSlice(QPainter& p, const QRectF& dest, const QImage& img, const QRectF& src,
                   const QMarginsF& cornerSrc, qreal scale) {
    const QMarginsF cs = cornerSrc * scale;
    const QMarginsF cd = cornerSrc;
    const qreal sx[4] = {src.left(), src.left() + cs.left(), src.right() - cs.right(), src.right()};
    const qreal sy[4] = {src.top(), src.top() + cs.top(), src.bottom() - cs.bottom(), src.bottom()};
    const qreal dx[4] = {dest.left(), dest.left() + cd.left(), dest.right() - cd.right(), dest.right()};
    const qreal dy[4] = {dest.top(), dest.top() + cd.top(), dest.bottom() - cd.bottom(), dest.bottom()};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const QRectF s(QPointF(sx[c], sy[r]), QPointF(sx[c + 1], sy[r + 1]));
            const QRectF d(QPointF(dx[c], dy[r]), QPointF(dx[c + 1], dy[r + 1]));
            if (s.width() > 0 && s.height() > 0 && d.width() > 0 && d.height() > 0) p.drawImage(d, img, s);
        }
}

// Draws a large SVG straight from its drawing: source (in the drawing's units) becomes the view
// box, so only that part lands in the target. Nine-slice corners need pixels: those drawings are
// rasterised for the paint.
bool DrawVector(QPainter& painter, const QRect& dest, const ImageRef& ref, const CachedImage& cached) {
    QSvgRenderer& drawing = *cached.drawing;
    const QRectF box = drawing.viewBoxF();
    const qreal sx = cached.logical.width() > 0 ? box.width() / cached.logical.width() : 1;
    const qreal sy = cached.logical.height() > 0 ? box.height() / cached.logical.height() : 1;
    QRectF part = ref.source.isEmpty() ? QRectF(QPointF(0, 0), cached.logical) : QRectF(ref.source);
    part = part.intersected(QRectF(QPointF(0, 0), cached.logical));
    if (part.isEmpty()) return false;
    const QRect target = ref.dest.isEmpty() ? dest : ref.dest.translated(dest.topLeft());
    painter.save();
    if (ref.fade < 255) painter.setOpacity(painter.opacity() * ref.fade / 255.0);
    QMutexLocker lock(&Cache().mutex);  // the view box is shared state of the cached drawing
    drawing.setViewBox(
        QRectF(box.x() + part.x() * sx, box.y() + part.y() * sy, part.width() * sx, part.height() * sy));
    if (ref.corner.isNull()) {
        drawing.render(&painter, QRectF(target));
    } else {
        const QSize pixels = (part.size() * cached.scale).toSize();
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        drawing.render(&p);
        p.end();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        DrawNineSlice(painter, QRectF(target), image, QRectF(QPointF(0, 0), QSizeF(pixels)),
                      QMarginsF(ref.corner), cached.scale);
    }
    drawing.setViewBox(box);
    painter.restore();
    return true;
}

}  // namespace

bool DrawImage(QPainter& painter, const QRect& dest, const ImageRef& ref, qreal dpr) {
    if (ref.IsEmpty()) return false;
    const CachedImage* cached = LoadCached(ref.file, dpr);
    if (!cached) return false;
    if (cached->drawing) return DrawVector(painter, dest, ref, *cached);
    QRectF src = ref.source.isEmpty() ? QRectF(QPointF(0, 0), QSizeF(cached->image.size()))
                                      : QRectF(QPointF(ref.source.topLeft()) * cached->scale,
                                               QSizeF(ref.source.size()) * cached->scale);
    src = src.intersected(QRectF(QPointF(0, 0), QSizeF(cached->image.size())));
    if (src.isEmpty()) return false;
    const QRect target = ref.dest.isEmpty() ? dest : ref.dest.translated(dest.topLeft());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (ref.fade < 255) painter.setOpacity(painter.opacity() * ref.fade / 255.0);
    if (ref.corner.isNull())
        painter.drawImage(QRectF(target), cached->image, src);
    else
        DrawNineSlice(painter, QRectF(target), cached->image, src, QMarginsF(ref.corner), cached->scale);
    painter.restore();
    return true;
}

void ClearImageCache() {
    QMutexLocker lock(&Cache().mutex);
    Cache().images.clear();
}

int ImageCacheSize() {
    QMutexLocker lock(&Cache().mutex);
    return int(Cache().images.size());
}

// ---------------------------------------------------------------- CControlUI

CControlUI::CControlUI(QWidget* parent) : QWidget(parent) {
    InstallAccessibility();
}

CControlUI::~CControlUI() = default;

void CControlUI::SetName(const QString& name) {
    const QString old = objectName();
    setObjectName(name);
    if (m_manager) m_manager->ReapName(this, old);
}

void CControlUI::SetText(const QString& text) {
    if (m_text == text) return;
    m_text = text;
    update();
    emit textChanged(text);
    AnnounceNameChange(this);
    if (m_fixedWidth == 0 || m_fixedHeight == 0) NeedParentUpdate();
}

void CControlUI::SetVisible(bool visible) {
    const bool changed = visible == isHidden();
    setVisible(visible);  // also marks the choice as explicit for controls not shown yet
    if (changed) NeedParentUpdate();
}

// rc mirrored inside parent when the parent lays out right to left (the mirror is its own inverse).
static QRect MirroredIn(const QWidget* parent, const QRect& rc) {
    if (parent == nullptr || !parent->isRightToLeft()) return rc;
    return QRect(parent->width() - rc.x() - rc.width(), rc.y(), rc.width(), rc.height());
}

QRect CControlUI::GetPos() const {
    return isWindow() || m_keepsPlace ? geometry() : MirroredIn(parentWidget(), geometry());
}

void CControlUI::Place(const QRect& rc) {
    setGeometry(isWindow() || m_keepsPlace ? rc : MirroredIn(parentWidget(), rc));
}

QRect CControlUI::TextRect() const {
    const QMargins& m = m_textPadding;
    return rect().marginsRemoved(isRightToLeft() ? QMargins(m.right(), m.top(), m.left(), m.bottom()) : m);
}

QRect CControlUI::Visual(const QRect& r) const {
    return isRightToLeft() ? QRect(width() - r.x() - r.width(), r.y(), r.width(), r.height()) : r;
}

void CControlUI::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LayoutDirectionChange) {
        if (auto* container = qobject_cast<CContainerUI*>(this)) container->LayoutChildren();
        update();
    }
    QWidget::changeEvent(event);
}

void CControlUI::SetPos(const QRect& rc) {
    m_floatPos = rc;
    m_fixedWidth = rc.width();
    m_fixedHeight = rc.height();
    if (m_float || !qobject_cast<CContainerUI*>(parentWidget())) Place(rc);
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int w) {
    m_fixedWidth = std::max(0, w);
    if (m_float) {
        m_floatPos.setWidth(m_fixedWidth);
        Place(QRect(GetPos().topLeft(), QSize(m_fixedWidth, height())));
    }
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int h) {
    m_fixedHeight = std::max(0, h);
    if (m_float) {
        m_floatPos.setHeight(m_fixedHeight);
        Place(QRect(GetPos().topLeft(), QSize(width(), m_fixedHeight)));
    }
    NeedParentUpdate();
}

QSize CControlUI::EstimateSize(const QSize&) const {
    return {m_fixedWidth, m_fixedHeight};
}

void CControlUI::NeedParentUpdate() {
    if (auto* parent = qobject_cast<CContainerUI*>(parentWidget())) parent->LayoutChildren();
    update();
}

void CControlUI::OnFontRebuilt() {
    NeedParentUpdate();
}

QFont CControlUI::ResolveFont() const {
    return m_manager ? m_manager->GetFont(m_font) : font();
}

QString CControlUI::GetAttribute(const QString& name) const {
    for (auto it = m_attributes.crbegin(); it != m_attributes.crend(); ++it)
        if (it->first.compare(name, Qt::CaseInsensitive) == 0) return it->second;
    return {};
}

void CControlUI::ApplyAttributeList(const QString& list) {
    ForEachQuotedPair(list, QLatin1Char('"'),
                      [this](const QString& key, const QString& value) { SetAttribute(key, value); });
}

static unsigned ParseAlign(const QString& value, unsigned style) {
    const QString v = value.toLower();
    if (v.contains(QLatin1String("left"))) style = (style & ~3u) | kDtLeft;
    if (v.contains(QLatin1String("center")) && !v.contains(QLatin1String("vcenter")))
        style = (style & ~3u) | kDtCenter;
    if (v.contains(QLatin1String("right"))) style = (style & ~3u) | kDtRight;
    if (v.contains(QLatin1String("top"))) style = (style & ~12u) | kDtTop;
    if (v.contains(QLatin1String("vcenter"))) style = (style & ~12u) | kDtVCenter;
    if (v.contains(QLatin1String("bottom"))) style = (style & ~12u) | kDtBottom;
    return style;
}

void CControlUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    m_attributes.append({name, value});
    if (name == QLatin1String("name"))
        SetName(value);
    else if (name == QLatin1String("pos")) {
        const QRect rc = ParseRect(value);
        SetPos(rc.isValid() ? rc : QRect());
    } else if (name == QLatin1String("float")) {
        m_float = ParseBool(value);
        NeedParentUpdate();
    } else if (name == QLatin1String("width"))
        SetFixedWidth(value.toInt());
    else if (name == QLatin1String("height"))
        SetFixedHeight(value.toInt());
    else if (name == QLatin1String("minwidth"))
        m_minW = value.toInt();
    else if (name == QLatin1String("maxwidth"))
        m_maxW = value.toInt();
    else if (name == QLatin1String("minheight"))
        m_minH = value.toInt();
    else if (name == QLatin1String("maxheight"))
        m_maxH = value.toInt();
    else if (name == QLatin1String("padding")) {
        m_padding = ParseMargins(value);
        NeedParentUpdate();
    } else if (name == QLatin1String("textpadding"))
        m_textPadding = ParseMargins(value);
    else if (name == QLatin1String("visible"))
        SetVisible(ParseBool(value));
    else if (name == QLatin1String("enabled"))
        SetEnabled(ParseBool(value));
    else if (name == QLatin1String("mirror")) {
        // "false": a part of a picture (a key over the drawn mouse, a page that is one picture)
        // keeps its place and its inside left to right in a right-to-left language.
        m_keepsPlace = !ParseBool(value);
        if (m_keepsPlace)
            setLayoutDirection(Qt::LeftToRight);
        else
            unsetLayoutDirection();
        NeedParentUpdate();
    } else if (name == QLatin1String("mouse"))
        // An overlay that must never catch a click: presses and releases reach whatever lies
        // under it (children of such a control take no mouse input either).
        setAttribute(Qt::WA_TransparentForMouseEvents, !ParseBool(value));
    else if (name == QLatin1String("text"))
        SetText(value);
    else if (name == QLatin1String("textid"))
        m_textId = value;
    else if (name == QLatin1String("tooltip"))
        setToolTip(value);
    else if (name == QLatin1String("userdata"))
        m_userData = value;
    else if (name == QLatin1String("bkcolor") || name == QLatin1String("bkcolor1")) {
        m_bkColor = ParseColor(value);
        // A colour swatch is named by its colour.
        if (auto* button = qobject_cast<CButtonUI*>(this); button && button->IsColourSwatch())
            AnnounceNameChange(this);
    } else if (name == QLatin1String("bkcolor2"))
        m_bkColor2 = ParseColor(value);
    else if (name == QLatin1String("bordercolor"))
        m_borderColor = ParseColor(value);
    else if (name == QLatin1String("focusbordercolor"))
        m_focusBorderColor = ParseColor(value);
    else if (name == QLatin1String("bordersize"))
        m_borderSize = value.toInt();
    else if (name == QLatin1String("borderround"))
        m_borderRound = ParseSize(value);
    else if (name == QLatin1String("textcolor"))
        m_textColor = ParseColor(value);
    else if (name == QLatin1String("disabledtextcolor"))
        m_disabledTextColor = ParseColor(value);
    else if (name == QLatin1String("font"))
        m_font = value.toInt();
    else if (name == QLatin1String("bkimage"))
        m_bkImage = ImageRef::Parse(value);
    else if (name == QLatin1String("align") || name == QLatin1String("valign"))
        m_textStyle = ParseAlign(value, m_textStyle);
    else if (name == QLatin1String("wordbreak") || name == QLatin1String("multiline")) {
        if (ParseBool(value))
            m_textStyle = (m_textStyle | kDtWordBreak) & ~unsigned(kDtSingleLine);
        else
            m_textStyle = (m_textStyle & ~unsigned(kDtWordBreak)) | kDtSingleLine;
    } else if (name == QLatin1String("endellipsis")) {
        m_textStyle =
            ParseBool(value) ? (m_textStyle | kDtEndEllipsis) : (m_textStyle & ~unsigned(kDtEndEllipsis));
    } else if (name == QLatin1String("showhtml"))
        m_showHtml = ParseBool(value);
    else if (name == QLatin1String("cursor")) {
        if (value.compare(QLatin1String("hand"), Qt::CaseInsensitive) == 0) setCursor(Qt::PointingHandCursor);
    }
    update();
}

void CControlUI::Notify(const QString& type, qintptr wParam, qintptr lParam, const QVariant& payload) {
    if (m_manager) m_manager->SendNotify(this, type, wParam, lParam, false, payload);
}

void CControlUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    PaintBkColor(p);
    PaintBkImage(p);
    PaintStatusImage(p);
    PaintText(p);
    PaintBorder(p);
    if (ShowsFocusFrame()) PaintFocusFrame(p);
}

void CControlUI::SetKeyboardFocus(Qt::FocusReason reason) {
    setFocus(reason);
    if (hasFocus() && !m_keyboardFocus) {
        m_keyboardFocus = true;
        update();
    }
}

void CControlUI::focusInEvent(QFocusEvent* event) {
    // Coming back with the window or from a drop-down keeps what the focus was.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QWidget::focusInEvent(event);
    for (QWidget* p = parentWidget(); p != nullptr && !p->isWindow(); p = p->parentWidget())
        if (auto* container = qobject_cast<CContainerUI*>(p)) container->ScrollIntoView(this);
}

bool CControlUI::ShowsFocusFrame() const {
    return HasKeyboardFocus() && (focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

void CControlUI::PaintFocusFrame(QPainter& p) {
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(m_manager ? m_manager->GetFocusColor() : CPaintManagerUI::DefaultFocusColor(), 2));
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal rx = m_borderRound.isEmpty() ? 3.0 : m_borderRound.width() / 2.0;
    const qreal ry = m_borderRound.isEmpty() ? 3.0 : m_borderRound.height() / 2.0;
    p.drawRoundedRect(r, std::min(rx, r.width() / 2), std::min(ry, r.height() / 2));
    p.restore();
}

void CControlUI::PaintBkColor(QPainter& p) {
    if (!m_bkColor.isValid() || m_bkColor.alpha() == 0) return;
    QBrush brush(m_bkColor);
    if (m_bkColor2.isValid()) {
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, m_bkColor);
        g.setColorAt(1, m_bkColor2);
        brush = QBrush(g);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    if (m_borderRound.isEmpty())
        p.drawRect(rect());
    else
        p.drawRoundedRect(QRectF(rect()), m_borderRound.width() / 2.0, m_borderRound.height() / 2.0);
}

void CControlUI::PaintBkImage(QPainter& p) {
    DrawSkinImage(p, m_bkImage);
}

void CControlUI::PaintStatusImage(QPainter&) {}

void CControlUI::PaintText(QPainter&) {}

void CControlUI::PaintBorder(QPainter& p) {
    QColor color = (hasFocus() && m_focusBorderColor.isValid()) ? m_focusBorderColor : m_borderColor;
    if (m_borderSize <= 0 || !color.isValid()) return;
    p.setPen(QPen(color, m_borderSize));
    p.setBrush(Qt::NoBrush);
    const qreal half = m_borderSize / 2.0;
    const QRectF r = QRectF(rect()).adjusted(half, half, -half, -half);
    if (m_borderRound.isEmpty())
        p.drawRect(r);
    else
        p.drawRoundedRect(r, m_borderRound.width() / 2.0, m_borderRound.height() / 2.0);
}

void CControlUI::DrawSkinImage(QPainter& p, const ImageRef& image, const QRect& dest) {
    const QRect area = dest.isEmpty() ? rect() : dest;
    if (image.dest.isEmpty() || !isRightToLeft()) {
        DrawImage(p, area, image, devicePixelRatioF());
        return;
    }
    // A picture placed at a part of the control (a check box's box) goes to the other side.
    ImageRef mirrored = image;
    mirrored.dest.moveLeft(area.width() - image.dest.x() - image.dest.width());
    DrawImage(p, area, mirrored, devicePixelRatioF());
}

void CControlUI::DrawSkinText(QPainter& p, const QString& text, const QRect& rc, const QColor& color,
                              unsigned style) const {
    if (text.isEmpty()) return;
    p.save();
    const QFont f = ResolveFont();
    p.setFont(f);
    p.setPen(color.isValid() ? color : QColor(Qt::black));
    // The control's direction turns its alignment (left-aligned texts go right in a right-to-left
    // part); the text itself reads in the language's direction even inside a part kept left to
    // right (the mouse picture's key names).
    p.setLayoutDirection(QGuiApplication::layoutDirection());
    const unsigned end = isRightToLeft() ? kDtLeft : kDtRight;
    int flags = Qt::AlignAbsolute;
    flags |= (style & 3u) == kDtCenter ? Qt::AlignHCenter
             : (style & 3u) == end     ? Qt::AlignRight
                                       : Qt::AlignLeft;
    flags |= (style & 12u) == kDtVCenter  ? Qt::AlignVCenter
             : (style & 12u) == kDtBottom ? Qt::AlignBottom
                                          : Qt::AlignTop;
    QString shown = text;
    if (style & kDtWordBreak)
        flags |= Qt::TextWordWrap;
    else {
        flags |= Qt::TextSingleLine;
        if (style & kDtEndEllipsis) shown = QFontMetrics(f).elidedText(text, Qt::ElideRight, rc.width());
    }
    p.drawText(rc, flags, shown);
    p.restore();
}

// ---------------------------------------------------------------- CContainerUI

CContainerUI::CContainerUI(QWidget* parent, Arrange arrange) : CControlUI(parent), m_arrange(arrange) {}

QString CContainerUI::GetClass() const {
    switch (m_arrange) {
        case Arrange::Vertical:
            return QStringLiteral("VerticalLayoutUI");
        case Arrange::Horizontal:
            return QStringLiteral("HorizontalLayoutUI");
        case Arrange::Tab:
            return QStringLiteral("TabLayoutUI");
        case Arrange::Stack:
            break;
    }
    return QStringLiteral("ContainerUI");
}

void CContainerUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("inset")) {
        m_inset = ParseMargins(value);
        LayoutChildren();
    } else if (name == QLatin1String("childpadding")) {
        m_childPadding = value.toInt();
        LayoutChildren();
    } else if (name == QLatin1String("childalign")) {
        if (value == QLatin1String("left"))
            m_childAlign = kDtLeft;
        else if (value == QLatin1String("center"))
            m_childAlign = kDtCenter;
        else if (value == QLatin1String("right"))
            m_childAlign = kDtRight;
    } else if (name == QLatin1String("childvalign")) {
        if (value == QLatin1String("top"))
            m_childVAlign = kDtTop;
        else if (value == QLatin1String("vcenter"))
            m_childVAlign = kDtVCenter;
        else if (value == QLatin1String("bottom"))
            m_childVAlign = kDtBottom;
    } else if (name == QLatin1String("mousechild")) {
        m_mouseChild = ParseBool(value);
    } else if (name == QLatin1String("vscrollbar")) {
        EnableScrollBar(ParseBool(value));
    } else if (name == QLatin1String("scrollstepsize")) {
        m_scrollStep = value.toInt();
    } else if (name == QLatin1String("autodestroy")) {
        m_autoDestroy = ParseBool(value);
    } else if (name == QLatin1String("delayeddestroy")) {
        m_delayedDestroy = ParseBool(value);
    } else if (name == QLatin1String("selectedid")) {
        SelectItem(value.toInt());
    } else {
        CControlUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
}

namespace {

// A container's children in the order of its items, then any others in creation order.
std::vector<QWidget*> OrderedChildren(QWidget* w) {
    std::vector<QWidget*> out;
    if (auto* container = qobject_cast<CContainerUI*>(w))
        for (int i = 0; i < container->GetCount(); ++i)
            if (CControlUI* item = container->GetItemAt(i)) out.push_back(item);
    for (QObject* child : w->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && std::find(out.begin(), out.end(), widget) == out.end()) out.push_back(widget);
    }
    return out;
}

void CollectTabStops(QWidget* w, std::vector<QWidget*>& out) {
    for (QWidget* child : OrderedChildren(w)) {
        if (child->isWindow() || child->isHidden() || !child->isEnabled()) continue;
        if (auto* row = qobject_cast<CListContainerElementUI*>(child)) {
            auto* list = qobject_cast<CListUI*>(w);
            if (list && list->TabRow() == row) out.push_back(row);
        } else if (qobject_cast<CControlUI*>(child) || qobject_cast<QLineEdit*>(child)) {
            const bool seen = child->width() > 1 && child->height() > 1;
            if (seen && (child->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !child->focusProxy())
                out.push_back(child);
        }
        CollectTabStops(child, out);
    }
}

}  // namespace

std::vector<QWidget*> TabStops(QWidget* root) {
    std::vector<QWidget*> out;
    if (root != nullptr) CollectTabStops(root, out);
    return out;
}

void CContainerUI::ScrollIntoView(const QWidget* descendant) {
    if (!m_vScroll || m_vScroll->isHidden() || !isAncestorOf(descendant)) return;
    const QRect r(descendant->mapTo(this, QPoint()), descendant->size());
    const QRect inner = rect().marginsRemoved(m_inset);
    if (r.top() < inner.top())
        m_vScroll->setValue(m_vScroll->value() - (inner.top() - r.top()));
    else if (r.bottom() > inner.bottom())
        m_vScroll->setValue(m_vScroll->value() +
                            std::min(r.bottom() - inner.bottom(), r.top() - inner.top()));
}

void DisposeChild(CControlUI* control, bool delayed) {
    if (!control) return;
    control->hide();
    if (delayed)
        control->deleteLater();
    else
        delete control;
}

bool CContainerUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (!control || index < 0 || index > GetCount()) return false;
    if (control->parentWidget() != this) control->setParent(this);
    if (m_manager && !control->GetManager()) control->SetManager(m_manager);
    m_items.insert(m_items.begin() + index, control);
    if (m_vScroll) m_vScroll->raise();
    if (m_arrange == Arrange::Tab)
        control->setVisible(index == m_curSel);
    else if (!(control->testAttribute(Qt::WA_WState_ExplicitShowHide) && control->isHidden()))
        control->show();
    LayoutChildren();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    auto it = std::find(m_items.begin(), m_items.end(), control);
    if (it == m_items.end()) return false;
    m_items.erase(it);
    if (m_autoDestroy) DisposeChild(control, m_delayedDestroy);
    LayoutChildren();
    return true;
}

void CContainerUI::RemoveAll() {
    auto items = std::move(m_items);
    m_items.clear();
    if (m_autoDestroy)
        for (auto& item : items) DisposeChild(item, m_delayedDestroy);
    LayoutChildren();
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_items[size_t(index)].data();
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == control) return int(i);
    return -1;
}

CControlUI* CContainerUI::FindControlAt(const QPoint& point) const {
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
        if (*it && !(*it)->isHidden() && (*it)->geometry().contains(point)) return *it;
    return nullptr;
}

void CContainerUI::EnableScrollBar(bool enable) {
    if (enable && !m_vScroll) {
        m_vScroll = new QScrollBar(Qt::Vertical, this);
        m_vScroll->setObjectName(QStringLiteral("vscrollbar"));
        m_vScroll->setFixedWidth(8);
        m_vScroll->setStyleSheet(QStringLiteral(
            "QScrollBar:vertical{background:transparent;width:8px;margin:0}"
            "QScrollBar::handle:vertical{background:rgba(128,128,128,140);border-radius:4px;min-height:24px}"
            "QScrollBar::add-line,QScrollBar::sub-line{height:0}"
            "QScrollBar::add-page,QScrollBar::sub-page{background:transparent}"));
        connect(m_vScroll, &QScrollBar::valueChanged, this, [this](int) {
            LayoutChildren();
            if (m_manager) Notify(QStringLiteral("scroll"), m_vScroll->value());
        });
    } else if (!enable && m_vScroll) {
        delete m_vScroll;
        m_vScroll = nullptr;
    }
    LayoutChildren();
}

void CContainerUI::SetScrollPos(const QPoint& pos, bool) {
    if (m_vScroll) m_vScroll->setValue(pos.y());
}

QPoint CContainerUI::GetScrollPos() const {
    return {0, m_vScroll ? m_vScroll->value() : 0};
}

QSize CContainerUI::EstimateSize(const QSize& available) const {
    return CControlUI::EstimateSize(available);
}

bool CContainerUI::SelectItem(int index) {
    if (m_arrange != Arrange::Tab || index < 0 || index >= GetCount()) return false;
    const int old = m_curSel;
    m_curSel = index;
    for (int i = 0; i < GetCount(); ++i)
        if (auto* item = GetItemAt(i)) item->setVisible(i == index);
    LayoutChildren();
    if (old != index && m_manager) Notify(QStringLiteral("tabselect"), index, old);
    return true;
}

void CContainerUI::resizeEvent(QResizeEvent*) {
    LayoutChildren();
}

void CContainerUI::wheelEvent(QWheelEvent* event) {
    if (m_vScroll && !m_vScroll->isHidden()) {
        const int steps = event->angleDelta().y() / 120;
        m_vScroll->setValue(m_vScroll->value() - steps * m_scrollStep);
        event->accept();
        return;
    }
    event->ignore();
}

void CContainerUI::childEvent(QChildEvent* event) {
    if (event->type() == QEvent::ChildRemoved) {
        m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                     [&](const QPointer<CControlUI>& p) {
                                         return p.isNull() || p.data() == event->child();
                                     }),
                      m_items.end());
    }
    CControlUI::childEvent(event);
}

static int Clamp(int v, int lo, int hi) {
    return std::max(lo, std::min(v, std::max(lo, hi)));
}

namespace {
int g_layoutHolds = 0;
std::vector<QPointer<CContainerUI>>& DeferredLayouts() {
    static std::vector<QPointer<CContainerUI>> deferred;
    return deferred;
}
}  // namespace

CContainerUI::LayoutHold::LayoutHold() {
    ++g_layoutHolds;
}

CContainerUI::LayoutHold::~LayoutHold() {
    if (--g_layoutHolds > 0) return;
    // Outer containers were deferred before the ones inside them, so each is laid out before
    // its children lay out within the size it gives them. One laid out already, because an
    // outer one gave it a new size, is not laid out again.
    auto deferred = std::move(DeferredLayouts());
    DeferredLayouts().clear();
    for (const QPointer<CContainerUI>& container : deferred) {
        if (!container || !container->m_layoutDeferred) continue;
        container->m_layoutDeferred = false;
        if (!container->rect().isEmpty()) container->LayoutChildren();
    }
}

bool CContainerUI::DeferLayout() {
    if (g_layoutHolds == 0) {
        m_layoutDeferred = false;
        return false;
    }
    if (!m_layoutDeferred) {
        m_layoutDeferred = true;
        DeferredLayouts().emplace_back(this);
    }
    return true;
}

void CContainerUI::LayoutChildren() {
    if (m_inLayout || DeferLayout()) return;
    m_inLayout = true;
    QRect inner = rect().marginsRemoved(m_inset);
    if (m_vScroll) {
        m_vScroll->setGeometry(
            Visual(QRect(width() - m_inset.right() - m_vScroll->width(), m_inset.top(), m_vScroll->width(),
                         std::max(0, height() - m_inset.top() - m_inset.bottom()))));
        if (!m_vScroll->isHidden()) inner.setRight(inner.right() - m_vScroll->width());
    }
    for (auto& item : m_items) {
        if (!item || item->isHidden() || !item->IsFloat()) continue;
        item->Place(item->GetFloatPos());
    }
    if (m_arrange == Arrange::Vertical || m_arrange == Arrange::Horizontal) {
        LayoutLinear(inner);
    } else {
        for (auto& item : m_items) {
            if (!item || item->isHidden() || item->IsFloat()) continue;
            const QRect area = inner.marginsRemoved(item->GetPadding());
            const QSize est = item->EstimateSize(area.size());
            const int w =
                Clamp(est.width() > 0 ? est.width() : area.width(), item->GetMinWidth(), item->GetMaxWidth());
            const int h = Clamp(est.height() > 0 ? est.height() : area.height(), item->GetMinHeight(),
                                item->GetMaxHeight());
            item->Place(QRect(area.left(), area.top(), w, h));
        }
    }
    m_inLayout = false;
}

void CContainerUI::LayoutLinear(const QRect& inner) {
    const bool vertical = m_arrange == Arrange::Vertical;
    auto along = [&](const QSize& s) { return vertical ? s.height() : s.width(); };
    auto across = [&](const QSize& s) { return vertical ? s.width() : s.height(); };
    std::vector<CControlUI*> items;
    for (auto& item : m_items)
        if (item && !item->isHidden() && !item->IsFloat()) items.push_back(item);
    if (items.empty()) {
        if (m_vScroll) m_vScroll->hide();
        return;
    }
    const int space = along(inner.size());
    int fixed = 0, autoCount = 0;
    std::vector<QSize> estimates;
    for (auto* item : items) {
        const QSize est = item->EstimateSize(inner.size());
        estimates.push_back(est);
        const QMargins pad = item->GetPadding();
        fixed += vertical ? pad.top() + pad.bottom() : pad.left() + pad.right();
        if (along(est) > 0)
            fixed += along(est);
        else
            ++autoCount;
    }
    fixed += m_childPadding * int(items.size() - 1);
    const int autoSize = autoCount ? std::max(0, (space - fixed) / autoCount) : 0;
    int content = fixed + autoSize * autoCount;
    if (m_vScroll && vertical) {
        const int overflow = std::max(0, content - space);
        m_vScroll->setRange(0, overflow);
        m_vScroll->setPageStep(std::max(1, space));
        m_vScroll->setSingleStep(std::max(1, m_scrollStep));
        const bool show = overflow > 0;
        // isHidden, not isVisible: a container that is not on screen yet must not flip forever.
        if (show == m_vScroll->isHidden()) {
            m_vScroll->setVisible(show);
            m_inLayout = false;
            LayoutChildren();  // the inner width changed with the scroll bar
            m_inLayout = true;
            return;
        }
    }
    m_contentHeight = content;
    int pos = (vertical ? inner.top() : inner.left()) - (m_vScroll && vertical ? m_vScroll->value() : 0);
    const int crossSpace = across(inner.size());
    for (size_t i = 0; i < items.size(); ++i) {
        CControlUI* item = items[i];
        const QMargins pad = item->GetPadding();
        int a = along(estimates[i]) > 0 ? along(estimates[i]) : autoSize;
        int c = across(estimates[i]);
        if (vertical) {
            a = Clamp(a, item->GetMinHeight(), item->GetMaxHeight());
            const int avail = crossSpace - pad.left() - pad.right();
            c = Clamp(c > 0 ? c : avail, item->GetMinWidth(), item->GetMaxWidth());
            int x = inner.left() + pad.left();
            if (m_childAlign == kDtCenter)
                x = inner.left() + (crossSpace - c) / 2;
            else if (m_childAlign == kDtRight)
                x = inner.right() + 1 - pad.right() - c;
            item->Place(QRect(x, pos + pad.top(), c, a));
            pos += pad.top() + a + pad.bottom() + m_childPadding;
        } else {
            a = Clamp(a, item->GetMinWidth(), item->GetMaxWidth());
            const int avail = crossSpace - pad.top() - pad.bottom();
            c = Clamp(c > 0 ? c : avail, item->GetMinHeight(), item->GetMaxHeight());
            int y = inner.top() + pad.top();
            if (m_childVAlign == kDtVCenter)
                y = inner.top() + (crossSpace - c) / 2;
            else if (m_childVAlign == kDtBottom)
                y = inner.bottom() + 1 - pad.bottom() - c;
            item->Place(QRect(pos + pad.left(), y, a, c));
            pos += pad.left() + a + pad.right() + m_childPadding;
        }
    }
}

// ---------------------------------------------------------------- CLabelUI / CTextUI

CLabelUI::CLabelUI(QWidget* parent) : CControlUI(parent) {}

void CLabelUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("autocalcwidth"), Qt::CaseInsensitive) == 0) {
        m_autoCalcWidth = ParseBool(value);
        m_attributes.append({name.toLower(), value});
        NeedParentUpdate();
        return;
    }
    CControlUI::SetAttribute(name, value);
}

QSize CLabelUI::EstimateSize(const QSize& available) const {
    QSize s = CControlUI::EstimateSize(available);
    if (m_autoCalcWidth || s.width() == 0) {
        if (m_autoCalcWidth || !(m_textStyle & kDtWordBreak)) {
            const QFontMetrics fm(ResolveFont());
            if (m_autoCalcWidth)
                s.setWidth(fm.horizontalAdvance(m_text) + m_textPadding.left() + m_textPadding.right());
            if (s.height() == 0 && m_autoCalcWidth)
                s.setHeight(fm.height() + m_textPadding.top() + m_textPadding.bottom());
        }
    }
    return s;
}

QSize CLabelUI::EstimateTextSize(const QSize& current) const {
    const QFontMetrics fm(ResolveFont());
    return {fm.horizontalAdvance(m_text) + m_textPadding.left() + m_textPadding.right(), current.height()};
}

void CLabelUI::PaintText(QPainter& p) {
    const QColor color =
        isEnabled() ? m_textColor : (m_disabledTextColor.isValid() ? m_disabledTextColor : m_textColor);
    DrawSkinText(p, m_text, TextRect(), color, m_textStyle);
}

CTextUI::CTextUI(QWidget* parent) : CLabelUI(parent) {
    m_textStyle = kDtLeft | kDtTop | kDtWordBreak;
}

// ---------------------------------------------------------------- CButtonUI

CButtonUI::CButtonUI(QWidget* parent) : CLabelUI(parent) {
    m_textStyle = kDtCenter | kDtVCenter | kDtSingleLine;
    setFocusPolicy(Qt::TabFocus);
}

void CButtonUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("normalimage"))
        m_normal = ImageRef::Parse(value);
    else if (name == QLatin1String("hotimage"))
        m_hot_ = ImageRef::Parse(value);
    else if (name == QLatin1String("pushedimage"))
        m_pushedImage = ImageRef::Parse(value);
    else if (name == QLatin1String("focusedimage"))
        m_focused = ImageRef::Parse(value);
    else if (name == QLatin1String("disabledimage"))
        m_disabled = ImageRef::Parse(value);
    else if (name == QLatin1String("foreimage"))
        m_fore = ImageRef::Parse(value);
    else if (name == QLatin1String("hotforeimage"))
        m_hotFore = ImageRef::Parse(value);
    else if (name == QLatin1String("hottextcolor"))
        m_hotTextColor = ParseColor(value);
    else if (name == QLatin1String("pushedtextcolor"))
        m_pushedTextColor = ParseColor(value);
    else if (name == QLatin1String("hotbkcolor"))
        m_hotBkColor = ParseColor(value);
    else if (name == QLatin1String("pushedbkcolor"))
        m_pushedBkColor = ParseColor(value);
    else {
        CLabelUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
    update();
}

void CButtonUI::Activate() {
    if (!isEnabled()) return;
    QPointer<CButtonUI> self(this);
    Notify(QStringLiteral("click"));
    if (self) emit clicked();
}

void CButtonUI::PaintStatusImage(QPainter& p) {
    QColor bk = !isEnabled()        ? QColor()
                : m_pushed && m_hot ? m_pushedBkColor
                : m_hot             ? m_hotBkColor
                                    : QColor();
    if (bk.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(bk);
        if (m_borderRound.isEmpty())
            p.drawRect(rect());
        else
            p.drawRoundedRect(QRectF(rect()), m_borderRound.width() / 2.0, m_borderRound.height() / 2.0);
    }
    const ImageRef* image = &m_normal;
    if (!isEnabled() && !m_disabled.IsEmpty())
        image = &m_disabled;
    else if (m_pushed && m_hot && !m_pushedImage.IsEmpty())
        image = &m_pushedImage;
    else if (m_hot && !m_hot_.IsEmpty())
        image = &m_hot_;
    else if (hasFocus() && !m_focused.IsEmpty())
        image = &m_focused;
    DrawSkinImage(p, *image);
    DrawSkinImage(p, (m_hot && !m_hotFore.IsEmpty()) ? m_hotFore : m_fore);
}

void CButtonUI::PaintText(QPainter& p) {
    QColor color = m_textColor;
    if (!isEnabled() && m_disabledTextColor.isValid())
        color = m_disabledTextColor;
    else if (m_pushed && m_hot && m_pushedTextColor.isValid())
        color = m_pushedTextColor;
    else if (m_hot && m_hotTextColor.isValid())
        color = m_hotTextColor;
    DrawSkinText(p, m_text, TextRect(), color, m_textStyle);
}

void CButtonUI::enterEvent(QEnterEvent*) {
    m_hot = true;
    update();
}

void CButtonUI::leaveEvent(QEvent*) {
    m_hot = false;
    update();
}

void CButtonUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pushed = true;
    m_hot = true;
    update();
}

void CButtonUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const bool wasPushed = m_pushed;
    m_pushed = false;
    update();
    if (wasPushed && rect().contains(event->position().toPoint())) Activate();
}

void CButtonUI::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat())
        Activate();
    else
        event->ignore();
}

// ---------------------------------------------------------------- COptionUI

COptionUI::COptionUI(QWidget* parent) : CButtonUI(parent) {}

COptionUI::~COptionUI() {
    if (m_manager && !m_group.isEmpty()) m_manager->RemoveOptionGroup(m_group, this);
}

void COptionUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("group"))
        SetGroup(value);
    else if (name == QLatin1String("selected") || name == QLatin1String("checked"))
        Selected(ParseBool(value), false);
    else if (name == QLatin1String("selectedimage"))
        m_selectedImage = ImageRef::Parse(value);
    else if (name == QLatin1String("selectedhotimage"))
        m_selectedHot = ImageRef::Parse(value);
    else if (name == QLatin1String("selectedpushedimage"))
        m_selectedPushed = ImageRef::Parse(value);
    else if (name == QLatin1String("selectedforeimage"))
        m_selectedFore = ImageRef::Parse(value);
    else if (name == QLatin1String("selectedtextcolor"))
        m_selectedTextColor = ParseColor(value);
    else if (name == QLatin1String("selectedbkcolor"))
        m_selectedBkColor = ParseColor(value);
    else {
        CButtonUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
    update();
}

void COptionUI::SetGroup(const QString& group) {
    if (m_manager && !m_group.isEmpty()) m_manager->RemoveOptionGroup(m_group, this);
    m_group = group;
    if (m_manager && !m_group.isEmpty()) {
        m_manager->AddOptionGroup(m_group, this);
        if (m_selected) Selected(true, false);
    }
}

void COptionUI::Selected(bool selected, bool notify) {
    if (m_selected == selected) return;
    m_selected = selected;
    if (m_selected && m_manager && !m_group.isEmpty())
        for (COptionUI* other : m_manager->GetOptionGroup(m_group))
            if (other != this && other->IsSelected()) other->Selected(false, false);
    update();
    AnnounceCheckedChange(this, m_selected);
    if (notify) Notify(QStringLiteral("selectchanged"));
}

// The click is reported before the selection changes, so handlers see the state the user
// clicked on.
void COptionUI::Activate() {
    if (!isEnabled()) return;
    QPointer<COptionUI> self(this);
    Notify(QStringLiteral("click"));
    if (!self) return;
    emit clicked();
    if (!self) return;
    if (!m_group.isEmpty())
        Selected(true);
    else
        Selected(!m_selected);
}

std::vector<COptionUI*> COptionUI::GroupInReadingOrder() const {
    if (m_group.isEmpty() || !m_manager) return {const_cast<COptionUI*>(this)};
    const std::vector<COptionUI*> members = m_manager->GetOptionGroup(m_group);
    std::vector<COptionUI*> out;
    // The window's options depth first: the skin's order, which is the reading order.
    for (COptionUI* option : window()->findChildren<COptionUI*>())
        if (option->isVisibleTo(window()) && option->isEnabled() &&
            std::find(members.begin(), members.end(), option) != members.end())
            out.push_back(option);
    return out;
}

void COptionUI::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Right to left the next option lies to the left.
    const int before = isRightToLeft() ? Qt::Key_Right : Qt::Key_Left;
    const int after = isRightToLeft() ? Qt::Key_Left : Qt::Key_Right;
    const bool back = key == before || key == Qt::Key_Up;
    const bool forward = key == after || key == Qt::Key_Down;
    if (m_group.isEmpty() || !(back || forward)) {
        CButtonUI::keyPressEvent(event);
        return;
    }
    const std::vector<COptionUI*> group = GroupInReadingOrder();
    const auto it = std::find(group.begin(), group.end(), this);
    if (group.size() < 2 || it == group.end()) return;
    const auto n = static_cast<std::ptrdiff_t>(group.size());
    const std::ptrdiff_t i = ((it - group.begin()) + (forward ? 1 : -1) + n) % n;
    COptionUI* next = group[static_cast<std::size_t>(i)];
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    next->Activate();
}

void COptionUI::PaintStatusImage(QPainter& p) {
    if (!m_selected) {
        CButtonUI::PaintStatusImage(p);
        return;
    }
    if (m_selectedBkColor.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(m_selectedBkColor);
        if (m_borderRound.isEmpty())
            p.drawRect(rect());
        else
            p.drawRoundedRect(QRectF(rect()), m_borderRound.width() / 2.0, m_borderRound.height() / 2.0);
    }
    const ImageRef* image = &m_selectedImage;
    if (m_pushed && m_hot && !m_selectedPushed.IsEmpty())
        image = &m_selectedPushed;
    else if (m_hot && !m_selectedHot.IsEmpty())
        image = &m_selectedHot;
    if (image->IsEmpty()) image = &m_normal;
    DrawSkinImage(p, *image);
    DrawSkinImage(p, m_selectedFore.IsEmpty() ? m_fore : m_selectedFore);
}

void COptionUI::PaintText(QPainter& p) {
    if (m_selected && m_selectedTextColor.isValid() && isEnabled()) {
        DrawSkinText(p, m_text, TextRect(), m_selectedTextColor, m_textStyle);
        return;
    }
    CButtonUI::PaintText(p);
}

}  // namespace zor::ui
