// Controls that hold a value or a choice: progress bar, slider, edit box and combo box.
#include <QEnterEvent>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QValidator>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ui/Accessible.h"
#include "ui/Controls.h"
#include "ui/PaintManager.h"

namespace zor::ui {
// ---------------------------------------------------------------- CProgressUI / CSliderUI

CProgressUI::CProgressUI(QWidget* parent) : CLabelUI(parent) {
    m_textStyle = kDtCenter | kDtVCenter | kDtSingleLine;
}

void CProgressUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("min"))
        SetMinValue(value.toInt());
    else if (name == QLatin1String("max"))
        SetMaxValue(value.toInt());
    else if (name == QLatin1String("value"))
        SetValue(value.toInt());
    else if (name == QLatin1String("hor"))
        m_horizontal = ParseBool(value);
    else if (name == QLatin1String("foreimage"))
        m_foreImage = ImageRef::Parse(value);
    else if (name == QLatin1String("forecolor"))
        m_foreColor = ParseColor(value);
    else {
        CLabelUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
    update();
}

void CProgressUI::SetMinValue(int v) {
    m_min = v;
    if (m_max < m_min) m_max = m_min;
    m_value = std::clamp(m_value, m_min, m_max);
    update();
}

void CProgressUI::SetMaxValue(int v) {
    m_max = v;
    if (m_min > m_max) m_min = m_max;
    m_value = std::clamp(m_value, m_min, m_max);
    update();
}

void CProgressUI::SetValue(int v) {
    const int old = m_value;
    m_value = std::clamp(v, m_min, m_max);
    update();
    if (m_value != old) AnnounceValueChange(this, m_value);
}

QRect CProgressUI::ForeRect() const {
    const double f = m_max > m_min ? double(m_value - m_min) / (m_max - m_min) : 0.0;
    // Right to left, a bar fills from the right.
    if (m_horizontal) return Visual(QRect(0, 0, int(std::lround(width() * f)), height()));
    const int h = int(std::lround(height() * f));
    return QRect(0, height() - h, width(), h);
}

void CProgressUI::PaintStatusImage(QPainter& p) {
    const QRect fore = ForeRect();
    if (fore.isEmpty()) return;
    p.save();
    QPainterPath clip;
    if (m_borderRound.isEmpty())
        clip.addRect(rect());
    else
        clip.addRoundedRect(QRectF(rect()), m_borderRound.width() / 2.0, m_borderRound.height() / 2.0);
    p.setClipPath(clip);
    p.setClipRect(fore, Qt::IntersectClip);
    if (m_foreColor.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(m_foreColor);
        p.drawRect(rect());
    }
    DrawSkinImage(p, m_foreImage);
    p.restore();
}

CSliderUI::CSliderUI(QWidget* parent) : CProgressUI(parent) {
    setFocusPolicy(Qt::TabFocus);
}

void CSliderUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("thumbsize"))
        m_thumbSize = ParseSize(value);
    else if (name == QLatin1String("thumbimage"))
        m_thumb = ImageRef::Parse(value);
    else if (name == QLatin1String("thumbhotimage"))
        m_thumbHot = ImageRef::Parse(value);
    else if (name == QLatin1String("thumbpushedimage"))
        m_thumbPushed = ImageRef::Parse(value);
    else if (name == QLatin1String("thumbcolor"))
        m_thumbColor = ParseColor(value);
    else if (name == QLatin1String("step"))
        m_step = std::max(1, value.toInt());
    else {
        CProgressUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
    update();
}

QRect CSliderUI::GetThumbRect() const {
    const double f = m_max > m_min ? double(m_value - m_min) / (m_max - m_min) : 0.0;
    if (m_horizontal) {
        const int x = int(std::lround((width() - m_thumbSize.width()) * f));
        return Visual(
            QRect(x, (height() - m_thumbSize.height()) / 2, m_thumbSize.width(), m_thumbSize.height()));
    }
    const int y = int(std::lround((height() - m_thumbSize.height()) * (1.0 - f)));
    return QRect((width() - m_thumbSize.width()) / 2, y, m_thumbSize.width(), m_thumbSize.height());
}

void CSliderUI::PaintStatusImage(QPainter& p) {
    const QRect thumb = GetThumbRect();
    // Without a track picture or colour of its own, a slider draws a thin track.
    const bool plain = m_bkImage.IsEmpty() && !m_bkColor.isValid() && m_foreImage.IsEmpty();
    if (plain) {
        const QRectF track = m_horizontal ? QRectF(0, height() / 2.0 - 2, width(), 4)
                                          : QRectF(width() / 2.0 - 2, 0, 4, height());
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(128, 128, 128, 110));
        p.drawRoundedRect(track, 2, 2);
        p.save();
        p.setClipRect(m_horizontal ? Visual(QRect(0, 0, Visual(thumb).center().x() + 1, height()))
                                   : QRect(0, thumb.center().y(), width(), height() - thumb.center().y()));
        p.setBrush(m_foreColor.isValid()    ? m_foreColor
                   : m_thumbColor.isValid() ? m_thumbColor
                                            : QColor(0x4C, 0x8D, 0xFF));
        p.drawRoundedRect(track, 2, 2);
        p.restore();
    }
    p.save();
    p.setClipRect(m_horizontal ? Visual(QRect(0, 0, Visual(thumb).center().x() + 1, height()))
                               : QRect(0, thumb.center().y(), width(), height() - thumb.center().y()));
    if (m_foreColor.isValid() && !plain) {
        p.setPen(Qt::NoPen);
        p.setBrush(m_foreColor);
        if (m_borderRound.isEmpty())
            p.drawRect(rect());
        else
            p.drawRoundedRect(QRectF(rect()), m_borderRound.width() / 2.0, m_borderRound.height() / 2.0);
    }
    DrawSkinImage(p, m_foreImage);
    p.restore();
    const ImageRef& image = (m_dragging && !m_thumbPushed.IsEmpty()) ? m_thumbPushed
                            : (m_hot && !m_thumbHot.IsEmpty())       ? m_thumbHot
                                                                     : m_thumb;
    if (!DrawImage(p, thumb, image, devicePixelRatioF()) && m_thumbColor.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(m_thumbColor);
        p.drawEllipse(QRectF(thumb));
    }
}

int CSliderUI::ValueAt(const QPoint& point) const {
    double f;
    if (m_horizontal) {
        const int span = std::max(1, width() - m_thumbSize.width());
        const int x = isRightToLeft() ? width() - point.x() : point.x();  // the minimum is at the right
        f = double(x - m_thumbSize.width() / 2) / span;
    } else {
        const int span = std::max(1, height() - m_thumbSize.height());
        f = 1.0 - double(point.y() - m_thumbSize.height() / 2) / span;
    }
    f = std::clamp(f, 0.0, 1.0);
    int v = m_min + int(std::lround(f * (m_max - m_min)));
    if (m_step > 1) v = m_min + ((v - m_min + m_step / 2) / m_step) * m_step;
    return std::clamp(v, m_min, m_max);
}

void CSliderUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    m_dragging = true;
    const int v = ValueAt(event->position().toPoint());
    if (v != m_value) {
        SetValue(v);
        Notify(QStringLiteral("movevaluechanged"), m_value);
    }
    update();
}

void CSliderUI::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    const int v = ValueAt(event->position().toPoint());
    if (v != m_value) {
        SetValue(v);
        Notify(QStringLiteral("movevaluechanged"), m_value);
    }
}

void CSliderUI::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging || event->button() != Qt::LeftButton) return;
    m_dragging = false;
    SetValue(ValueAt(event->position().toPoint()));
    update();
    Notify(QStringLiteral("valuechanged"), m_value);
}

void CSliderUI::wheelEvent(QWheelEvent* event) {
    if (!isEnabled()) return;
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) return;
    ChangeValue(m_value + steps * m_step);
}

void CSliderUI::ChangeValue(int v) {
    const int old = m_value;
    SetValue(v);
    if (m_value != old) Notify(QStringLiteral("valuechanged"), m_value);
}

void CSliderUI::keyPressEvent(QKeyEvent* event) {
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    // A bar that grows to the left grows with Left.
    int key = event->key();
    if (m_horizontal && isRightToLeft() && (key == Qt::Key_Left || key == Qt::Key_Right))
        key = key == Qt::Key_Left ? Qt::Key_Right : Qt::Key_Left;
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            ChangeValue(m_value - m_step);
            break;
        case Qt::Key_Right:
        case Qt::Key_Up:
            ChangeValue(m_value + m_step);
            break;
        case Qt::Key_PageDown:
            ChangeValue(m_value - 10 * m_step);
            break;
        case Qt::Key_PageUp:
            ChangeValue(m_value + 10 * m_step);
            break;
        case Qt::Key_Home:
            ChangeValue(m_min);
            break;
        case Qt::Key_End:
            ChangeValue(m_max);
            break;
        default:
            event->ignore();
            break;
    }
}

void CSliderUI::enterEvent(QEnterEvent*) {
    m_hot = true;
    update();
}

void CSliderUI::leaveEvent(QEvent*) {
    m_hot = false;
    update();
}

// ---------------------------------------------------------------- CEditUI

namespace {

// "numberonly": the digits 0-9 and nothing else (without a regular expression engine).
class DigitsOnly final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (const QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
        return Acceptable;
    }
};

}  // namespace

CEditUI::CEditUI(QWidget* parent) : CLabelUI(parent), m_edit(new QLineEdit(this)) {
    m_edit->setFrame(false);
    m_edit->installEventFilter(this);
    setFocusProxy(m_edit);
    ApplyEditStyle();
    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString& t) {
        m_text = t;
        Notify(QStringLiteral("textchanged"));
    });
    connect(m_edit, &QLineEdit::returnPressed, this, [this] { Notify(QStringLiteral("return")); });
    // Assistive tools meet the inner line edit (it takes the focus): it carries the edit's name,
    // the prompt text or else the skin name.
    connect(this, &QObject::objectNameChanged, m_edit, [this](const QString& name) {
        if (m_edit->placeholderText().isEmpty()) m_edit->setAccessibleName(name);
    });
}

void CEditUI::ApplyEditStyle() {
    const QColor c = m_textColor.isValid() ? m_textColor : QColor(Qt::black);
    const QString sheet = QStringLiteral("QLineEdit{background:transparent;border:none;color:%1;"
                                         "selection-background-color:#3d7eff;}")
                              .arg(c.name(QColor::HexArgb));
    if (sheet != m_editSheet) {
        m_edit->setStyleSheet(sheet);
        m_editSheet = sheet;
    }
    m_edit->setFont(ResolveFont());
    Qt::Alignment a = (m_textStyle & 3u) == kDtCenter  ? Qt::AlignHCenter
                      : (m_textStyle & 3u) == kDtRight ? Qt::AlignRight
                                                       : Qt::AlignLeft;
    m_edit->setAlignment(a | Qt::AlignVCenter);
}

void CEditUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("maxchar"))
        SetMaxChar(value.toInt());
    else if (name == QLatin1String("readonly"))
        SetReadOnly(ParseBool(value));
    else if (name == QLatin1String("password"))
        m_edit->setEchoMode(ParseBool(value) ? QLineEdit::Password : QLineEdit::Normal);
    else if (name == QLatin1String("numberonly")) {
        if (ParseBool(value))
            m_edit->setValidator(new DigitsOnly(m_edit));
        else
            m_edit->setValidator(nullptr);
    } else if (name == QLatin1String("prompttext")) {
        m_edit->setPlaceholderText(value);
        m_edit->setAccessibleName(value.isEmpty() ? objectName() : value);
    } else if (name == QLatin1String("normalimage"))
        m_normal = ImageRef::Parse(value);
    else if (name == QLatin1String("hotimage"))
        m_hotImage = ImageRef::Parse(value);
    else if (name == QLatin1String("focusedimage"))
        m_focusedImage = ImageRef::Parse(value);
    else if (name == QLatin1String("disabledimage"))
        m_disabledImage = ImageRef::Parse(value);
    else {
        CLabelUI::SetAttribute(nameIn, value);
        if (name == QLatin1String("textcolor") || name == QLatin1String("font") ||
            name == QLatin1String("align"))
            ApplyEditStyle();
        if (name == QLatin1String("textpadding")) resizeEvent(nullptr);
        return;
    }
    m_attributes.append({name, value});
    update();
}

void CEditUI::SetText(const QString& text) {
    m_text = text;
    if (m_edit->text() != text) m_edit->setText(text);
    emit textChanged(text);
}

QString CEditUI::GetText() const {
    return m_edit->text();
}

void CEditUI::SetMaxChar(int n) {
    m_edit->setMaxLength(n > 0 ? n : 32767);
}

void CEditUI::SetReadOnly(bool readOnly) {
    m_edit->setReadOnly(readOnly);
}

void CEditUI::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LayoutDirectionChange) resizeEvent(nullptr);  // the padding's sides swap
    CLabelUI::changeEvent(event);
}

void CEditUI::resizeEvent(QResizeEvent*) {
    QMargins pad = m_textPadding;
    if (pad.isNull()) pad = QMargins(4, 0, 4, 0);
    if (isRightToLeft()) pad = QMargins(pad.right(), pad.top(), pad.left(), pad.bottom());
    m_edit->setGeometry(rect().marginsRemoved(pad));
    m_edit->setFont(ResolveFont());
}

void CEditUI::PaintStatusImage(QPainter& p) {
    const ImageRef* image = &m_normal;
    if (!isEnabled() && !m_disabledImage.IsEmpty())
        image = &m_disabledImage;
    else if (m_edit->hasFocus() && !m_focusedImage.IsEmpty())
        image = &m_focusedImage;
    else if (m_hot && !m_hotImage.IsEmpty())
        image = &m_hotImage;
    DrawSkinImage(p, *image);
}

bool CEditUI::ShowsFocusFrame() const {
    // The skin's focused picture, where there is one, shows the focus.
    return m_edit->hasFocus() && m_focusedImage.IsEmpty();
}

bool CEditUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit) {
        if (event->type() == QEvent::FocusIn) {
            update();
            Notify(QStringLiteral("setfocus"));
        } else if (event->type() == QEvent::FocusOut) {
            update();
            m_text = m_edit->text();
            Notify(QStringLiteral("killfocus"));
        } else if (event->type() == QEvent::Enter) {
            m_hot = true;
            update();
        } else if (event->type() == QEvent::Leave) {
            m_hot = false;
            update();
        }
    }
    return CLabelUI::eventFilter(watched, event);
}

// ---------------------------------------------------------------- CComboUI

CComboUI::CComboUI(QWidget* parent) : CButtonUI(parent) {
    m_textStyle = kDtLeft | kDtVCenter | kDtSingleLine | kDtEndEllipsis;
}

void CComboUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("arrowimage"))
        m_arrow = ImageRef::Parse(value);
    else if (name == QLatin1String("dropboxstyle"))
        m_dropBoxStyle = value;
    else if (name == QLatin1String("items")) {
        RemoveAll();
        for (const QString& item : value.split('|', Qt::SkipEmptyParts)) AddItem(item);
    } else if (name == QLatin1String("cursel"))
        SelectItem(value.toInt(), false);
    else {
        CButtonUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
    update();
}

int CComboUI::AddItem(const QString& text, const QString& userData) {
    m_items.emplace_back(text, userData);
    update();
    return GetCount() - 1;
}

void CComboUI::RemoveAll() {
    m_items.clear();
    m_curSel = -1;
    update();
}

QString CComboUI::GetItemText(int index) const {
    return index >= 0 && index < GetCount() ? m_items[size_t(index)].first : QString();
}

QString CComboUI::GetItemData(int index) const {
    return index >= 0 && index < GetCount() ? m_items[size_t(index)].second : QString();
}

int CComboUI::FindItem(const QString& text) const {
    for (int i = 0; i < GetCount(); ++i)
        if (m_items[size_t(i)].first == text) return i;
    return -1;
}

bool CComboUI::SelectItem(int index, bool notify) {
    if (index < -1 || index >= GetCount()) return false;
    if (index == m_curSel) return true;
    const int old = m_curSel;
    m_curSel = index;
    update();
    AnnounceTextValueChange(this, GetText());
    if (notify) Notify(QStringLiteral("itemselect"), index, old);
    return true;
}

QString CComboUI::GetText() const {
    return m_curSel >= 0 ? GetItemText(m_curSel) : m_text;
}

void CComboUI::Activate() {
    if (!isEnabled()) return;
    QPointer<CComboUI> self(this);
    Notify(QStringLiteral("click"));
    if (!self || m_items.empty()) return;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("combo_dropdown"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QColor bk = m_bkColor.isValid() ? m_bkColor : QColor(Qt::white);
    const QColor fg = m_textColor.isValid() ? m_textColor : QColor(Qt::black);
    const QColor hot = m_hotBkColor.isValid() ? m_hotBkColor : bk.darker(120);
    menu->setStyleSheet(m_dropBoxStyle.isEmpty()
                            ? QStringLiteral("QMenu{background:%1;color:%2;border:1px solid %3;padding:2px}"
                                             "QMenu::item{padding:4px 12px;min-width:%4px}"
                                             "QMenu::item:selected{background:%3}")
                                  .arg(bk.name(), fg.name(), hot.name())
                                  .arg(width() - 28)
                            : m_dropBoxStyle);
    menu->setFont(ResolveFont());
    for (int i = 0; i < GetCount(); ++i) {
        QAction* action = menu->addAction(m_items[size_t(i)].first);
        action->setCheckable(true);
        action->setChecked(i == m_curSel);
        connect(action, &QAction::triggered, this, [this, i] { SelectItem(i); });
    }
    m_dropDown = menu;
    // The current item is highlighted, so that the arrow keys start from it.
    const QList<QAction*> actions = menu->actions();
    menu->popup(mapToGlobal(QPoint(0, height())));
    if (m_curSel >= 0 && m_curSel < actions.size()) menu->setActiveAction(actions[m_curSel]);
}

void CComboUI::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (!isEnabled()) {
        event->ignore();
    } else if (key == Qt::Key_F4 || (alt && (key == Qt::Key_Down || key == Qt::Key_Up))) {
        Activate();
    } else if (key == Qt::Key_Up || key == Qt::Key_Down) {
        const int next = m_curSel + (key == Qt::Key_Down ? 1 : -1);
        if (next >= 0 && next < GetCount()) SelectItem(next);
    } else {
        CButtonUI::keyPressEvent(event);
    }
}

void CComboUI::PaintStatusImage(QPainter& p) {
    CButtonUI::PaintStatusImage(p);
    if (!m_arrow.IsEmpty()) {
        const int s = std::min(height(), 16);
        DrawSkinImage(p, m_arrow, Visual(QRect(width() - s - 6, (height() - s) / 2, s, s)));
    } else {
        const QColor c = m_textColor.isValid() ? m_textColor : QColor(Qt::black);
        p.setPen(QPen(c, 1.5));
        const QPointF m(isRightToLeft() ? 12 : width() - 12, height() / 2.0);
        p.drawPolyline(QPolygonF{m + QPointF(-4, -2), m + QPointF(0, 2), m + QPointF(4, -2)});
    }
}

void CComboUI::PaintText(QPainter& p) {
    DrawSkinText(p, GetText(), GetTextRect(), isEnabled() ? m_textColor : m_disabledTextColor, m_textStyle);
}

}  // namespace zor::ui
