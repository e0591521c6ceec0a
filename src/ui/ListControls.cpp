// Lists, trees, the colour palette and animated pictures.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "ui/Controls.h"
#include "ui/PaintManager.h"

namespace zor::ui {

// ---------------------------------------------------------------- CListContainerElementUI

CListContainerElementUI::CListContainerElementUI(QWidget* parent)
    : CContainerUI(parent, Arrange::Horizontal) {
    // Rows take the focus from the keyboard only: a click selects without a focus frame.
    setFocusPolicy(Qt::TabFocus);
}

void CListContainerElementUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("selected"), Qt::CaseInsensitive) == 0) {
        SetSelected(ParseBool(value));
        return;
    }
    CContainerUI::SetAttribute(name, value);
}

CListUI* CListContainerElementUI::OwnerList() const {
    return qobject_cast<CListUI*>(parentWidget());
}

void CListContainerElementUI::SetSelected(bool selected) {
    if (m_selected == selected) return;
    m_selected = selected;
    update();
}

void CListContainerElementUI::PaintStatusImage(QPainter& p) {
    CListUI* list = OwnerList();
    if (!list) return;
    const QColor bk = m_selected ? list->m_selectedBkColor : m_hot ? list->m_hotBkColor : QColor();
    if (bk.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(bk);
        p.drawRect(rect());
    }
    DrawSkinImage(p, m_selected ? list->m_selectedImage : m_hot ? list->m_hotImage : ImageRef());
}

void CListContainerElementUI::enterEvent(QEnterEvent*) {
    m_hot = true;
    update();
}

void CListContainerElementUI::leaveEvent(QEvent*) {
    m_hot = false;
    update();
}

void CListContainerElementUI::mousePressEvent(QMouseEvent* event) {
    CListUI* list = OwnerList();
    if (!list) return;
    if (event->button() == Qt::LeftButton) {
        list->SelectItem(list->GetItemIndex(this));
        list->RowEvent(this, QStringLiteral("itemclick"));
    }
}

void CListContainerElementUI::mouseReleaseEvent(QMouseEvent* event) {
    CListUI* list = OwnerList();
    if (!list) return;
    if (event->button() == Qt::RightButton) {
        list->SelectItem(list->GetItemIndex(this));
        list->RowEvent(this, QStringLiteral("itemrclick"));
    }
}

void CListContainerElementUI::mouseDoubleClickEvent(QMouseEvent* event) {
    if (CListUI* list = OwnerList(); list && event->button() == Qt::LeftButton)
        list->RowEvent(this, QStringLiteral("itemactivate"));
}

void CListContainerElementUI::keyPressEvent(QKeyEvent* event) {
    CListUI* list = OwnerList();
    if (!list || !isEnabled()) {
        event->ignore();
        return;
    }
    const int key = event->key();
    auto* node = qobject_cast<CTreeNodeUI*>(this);
    auto* tree = qobject_cast<CTreeViewUI*>(list);
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Home || key == Qt::Key_End) {
        // The neighbouring shown row (a folded node's children are hidden).
        std::vector<CListContainerElementUI*> rows;
        for (int i = 0; i < list->GetCount(); ++i)
            if (auto* row = qobject_cast<CListContainerElementUI*>(list->GetItemAt(i));
                row && !row->isHidden())
                rows.push_back(row);
        const auto it = std::find(rows.begin(), rows.end(), this);
        if (it == rows.end()) return;
        CListContainerElementUI* next = this;
        if (key == Qt::Key_Home)
            next = rows.front();
        else if (key == Qt::Key_End)
            next = rows.back();
        else if (key == Qt::Key_Up && it != rows.begin())
            next = *(it - 1);
        else if (key == Qt::Key_Down && it + 1 != rows.end())
            next = *(it + 1);
        if (next == this) return;
        QPointer<CListContainerElementUI> target(next);
        list->SelectItem(list->GetItemIndex(next));
        if (target) target->setFocus(Qt::TabFocusReason);
    } else if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
               !event->isAutoRepeat()) {
        QPointer<CListContainerElementUI> self(this);
        list->SelectItem(list->GetItemIndex(this));
        if (self) list->RowEvent(this, QStringLiteral("itemclick"));
    } else if (key == Qt::Key_Menu || (key == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier))) {
        // The row's menu, as a right click opens it.
        QPointer<CListContainerElementUI> self(this);
        list->SelectItem(list->GetItemIndex(this));
        if (self) list->RowEvent(this, QStringLiteral("itemrclick"));
    } else if (node && tree && !node->GetChildNodes().empty() &&
               (key == Qt::Key_Left || key == Qt::Key_Right)) {
        tree->SetExpanded(node, key == (isRightToLeft() ? Qt::Key_Left : Qt::Key_Right));
    } else {
        event->ignore();
    }
}

// ---------------------------------------------------------------- CListUI

CListUI::CListUI(QWidget* parent) : CContainerUI(parent, Arrange::Vertical) {
    EnableScrollBar(true);
}

void CListUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("rowskin"))
        m_rowSkin = value;
    else if (name == QLatin1String("itemselectedbkcolor"))
        m_selectedBkColor = ParseColor(value);
    else if (name == QLatin1String("itemhotbkcolor"))
        m_hotBkColor = ParseColor(value);
    else if (name == QLatin1String("itemselectedimage"))
        m_selectedImage = ImageRef::Parse(value);
    else if (name == QLatin1String("itemhotimage"))
        m_hotImage = ImageRef::Parse(value);
    else {
        CContainerUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
}

bool CListUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CListUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) return false;
    if (m_curSel >= index) ++m_curSel;
    Reindex();
    return true;
}

bool CListUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0) return false;
    if (index == m_curSel)
        m_curSel = -1;
    else if (index < m_curSel)
        --m_curSel;
    CContainerUI::Remove(control);
    Reindex();
    return true;
}

void CListUI::RemoveAll() {
    m_curSel = -1;
    CContainerUI::RemoveAll();
}

void CListUI::Reindex() {
    for (int i = 0; i < GetCount(); ++i)
        if (auto* row = qobject_cast<CListContainerElementUI*>(GetItemAt(i))) row->SetIndex(i);
}

CListContainerElementUI* CListUI::AddRow() {
    CListContainerElementUI* row = nullptr;
    if (!m_rowSkin.isEmpty() && m_manager) {
        auto* callback = dynamic_cast<IDialogBuilderCallback*>(m_manager->GetPaintWindow());
        CDialogBuilder builder;
        CControlUI* root = builder.Create(m_rowSkin, callback, m_manager, this);
        row = qobject_cast<CListContainerElementUI*>(root);
        if (!row && root) {
            row = new CListContainerElementUI(this);
            row->SetManager(m_manager);
            row->SetFixedHeight(root->GetFixedHeight());
            row->Add(root);
        }
    }
    if (!row) {
        row = new CListContainerElementUI(this);
        row->SetManager(m_manager);
        row->SetFixedHeight(24);
    }
    Add(row);
    return row;
}

bool CListUI::SelectItem(int index, bool notify) {
    if (index < -1 || index >= GetCount()) return false;
    if (index == m_curSel) return true;
    const int old = m_curSel;
    if (auto* prev = qobject_cast<CListContainerElementUI*>(GetItemAt(old))) prev->SetSelected(false);
    m_curSel = index;
    if (auto* row = qobject_cast<CListContainerElementUI*>(GetItemAt(index))) {
        row->SetSelected(true);
        EnsureVisible(index);
    }
    if (notify) Notify(QStringLiteral("itemselect"), index, old);
    return true;
}

CListContainerElementUI* CListUI::TabRow() const {
    auto* selected = qobject_cast<CListContainerElementUI*>(GetItemAt(m_curSel));
    if (selected && !selected->isHidden()) return selected;
    for (int i = 0; i < GetCount(); ++i)
        if (auto* row = qobject_cast<CListContainerElementUI*>(GetItemAt(i)); row && !row->isHidden())
            return row;
    return nullptr;
}

void CListUI::EnsureVisible(int index) {
    CControlUI* item = GetItemAt(index);
    if (!item || !m_vScroll || m_vScroll->isHidden()) return;
    const QRect inner = rect().marginsRemoved(m_inset);
    const QRect g = item->geometry();
    if (g.top() < inner.top())
        m_vScroll->setValue(m_vScroll->value() - (inner.top() - g.top()));
    else if (g.bottom() > inner.bottom())
        m_vScroll->setValue(m_vScroll->value() + (g.bottom() - inner.bottom()));
}

void CListUI::RowEvent(CListContainerElementUI* row, const QString& type) {
    if (m_manager) m_manager->SendNotify(row, type, GetItemIndex(row));
}

// ---------------------------------------------------------------- CTreeViewUI

CTreeNodeUI::CTreeNodeUI(QWidget* parent) : CListContainerElementUI(parent) {}

int CTreeNodeUI::GetDepth() const {
    int depth = 0;
    for (auto* p = m_parentNode; p; p = p->m_parentNode) ++depth;
    return depth;
}

CTreeViewUI::CTreeViewUI(QWidget* parent) : CListUI(parent) {}

void CTreeViewUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("nodeskin"))
        m_nodeSkin = value;
    else if (name == QLatin1String("indent"))
        m_indent = value.toInt();
    else {
        CListUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
}

static int LastDescendantIndex(const CTreeViewUI* tree, CTreeNodeUI* node) {
    while (!node->GetChildNodes().empty()) node = node->GetChildNodes().back();
    return tree->GetItemIndex(node);
}

CTreeNodeUI* CTreeViewUI::AddNode(const QString& text, CTreeNodeUI* parent) {
    auto* node = new CTreeNodeUI(this);
    node->SetManager(m_manager);
    node->SetFixedHeight(26);
    if (!m_nodeSkin.isEmpty() && m_manager) {
        auto* callback = dynamic_cast<IDialogBuilderCallback*>(m_manager->GetPaintWindow());
        CDialogBuilder builder;
        if (CControlUI* root = builder.Create(m_nodeSkin, callback, m_manager, node)) {
            if (root->GetFixedHeight() > 0) node->SetFixedHeight(root->GetFixedHeight());
            node->Add(root);
        }
    }
    node->m_parentNode = parent;
    const int index = parent ? LastDescendantIndex(this, parent) + 1 : GetCount();
    if (parent) parent->m_childNodes.push_back(node);
    CControlUI* label = m_manager ? m_manager->FindSubControlByName(node, QStringLiteral("text")) : nullptr;
    (label ? label : node)->SetText(text);
    node->SetAttribute(QStringLiteral("inset"), QStringLiteral("%1,0,0,0").arg(node->GetDepth() * m_indent));
    if (auto* expand = m_manager ? qobject_cast<CButtonUI*>(
                                       m_manager->FindSubControlByName(node, QStringLiteral("expand")))
                                 : nullptr) {
        connect(expand, &CButtonUI::clicked, this, [this, node] { SetExpanded(node, !node->IsExpanded()); });
    }
    AddAt(node, index);
    UpdateVisibility();
    return node;
}

bool CTreeViewUI::RemoveNode(CTreeNodeUI* node) {
    if (!node || GetItemIndex(node) < 0) return false;
    while (!node->m_childNodes.empty()) RemoveNode(node->m_childNodes.back());
    if (node->m_parentNode) {
        auto& siblings = node->m_parentNode->m_childNodes;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    }
    return Remove(node);
}

void CTreeViewUI::SetExpanded(CTreeNodeUI* node, bool expanded) {
    if (!node) return;
    node->m_expanded = expanded;
    UpdateVisibility();
}

void CTreeViewUI::UpdateVisibility() {
    for (int i = 0; i < GetCount(); ++i) {
        auto* node = qobject_cast<CTreeNodeUI*>(GetItemAt(i));
        if (!node) continue;
        bool shown = true;
        for (auto* p = node->GetParentNode(); p; p = p->GetParentNode())
            if (!p->IsExpanded()) shown = false;
        node->setVisible(shown);
    }
    LayoutChildren();
}

void CTreeViewUI::RowEvent(CListContainerElementUI* row, const QString& type) {
    if (type == QLatin1String("itemactivate")) {
        if (auto* node = qobject_cast<CTreeNodeUI*>(row)) {
            SetExpanded(node, !node->IsExpanded());
            if (m_manager) m_manager->SendNotify(row, QStringLiteral("treeitemdbclick"), GetItemIndex(row));
        }
        return;
    }
    CListUI::RowEvent(row, type);
}

// ---------------------------------------------------------------- CColorPaletteUI

CColorPaletteUI::CColorPaletteUI(QWidget* parent) : CControlUI(parent) {
    setFocusPolicy(Qt::TabFocus);
}

void CColorPaletteUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("palletheight") || name == QLatin1String("stripheight")) {
        m_stripHeight = std::max(4, value.toInt());
        m_paneCache = {};
    } else if (name == QLatin1String("color")) {
        SetSelectColor(ParseColor(value).rgb() & 0xFFFFFF);
    } else {
        CControlUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
    update();
}

unsigned CColorPaletteUI::GetSelectColor() const {
    return QColor::fromHsv(m_hue, m_sat, m_val).rgb() & 0xFFFFFF;
}

void CColorPaletteUI::SetSelectColor(unsigned rgb) {
    const QColor c = QColor::fromRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF).toHsv();
    m_hue = std::max(0, c.hsvHue());
    m_sat = c.hsvSaturation();
    m_val = c.value();
    update();
}

QRect CColorPaletteUI::PaneRect() const {
    return QRect(0, 0, width(), std::max(1, height() - m_stripHeight - 6));
}

QRect CColorPaletteUI::StripRect() const {
    return QRect(0, height() - m_stripHeight, width(), m_stripHeight);
}

void CColorPaletteUI::PaintStatusImage(QPainter& p) {
    const QRect pane = PaneRect();
    if (m_paneCache.size() != pane.size()) {
        m_paneCache = QImage(pane.size(), QImage::Format_RGB32);
        for (int y = 0; y < pane.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_paneCache.scanLine(y));
            const int s = 255 - y * 255 / std::max(1, pane.height() - 1);
            for (int x = 0; x < pane.width(); ++x)
                line[x] = QColor::fromHsv(x * 359 / std::max(1, pane.width() - 1), s, 255).rgb();
        }
    }
    p.drawImage(pane.topLeft(), m_paneCache);
    QLinearGradient g(StripRect().topLeft(), StripRect().topRight());
    g.setColorAt(0, Qt::black);
    g.setColorAt(1, QColor::fromHsv(m_hue, m_sat, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(StripRect()), 3, 3);
    // Markers: a ring on the pane, a bar on the strip.
    const QPointF ring(m_hue * (pane.width() - 1) / 359.0, (255 - m_sat) * (pane.height() - 1) / 255.0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2));
    p.drawEllipse(ring, 5, 5);
    p.setPen(QPen(Qt::black, 1));
    p.drawEllipse(ring, 6.5, 6.5);
    const qreal x = m_val * (width() - 1) / 255.0;
    p.setPen(QPen(Qt::white, 2));
    p.drawRect(QRectF(x - 2, StripRect().top() - 2, 4, m_stripHeight + 4));
}

void CColorPaletteUI::PickAt(const QPoint& point, bool notify) {
    const QRect pane = PaneRect();
    if (m_drag == Drag::Pane) {
        m_hue = std::clamp(point.x(), 0, pane.width() - 1) * 359 / std::max(1, pane.width() - 1);
        m_sat = 255 - std::clamp(point.y(), 0, pane.height() - 1) * 255 / std::max(1, pane.height() - 1);
    } else if (m_drag == Drag::Strip) {
        m_val = std::clamp(point.x(), 0, width() - 1) * 255 / std::max(1, width() - 1);
    }
    update();
    if (notify) Notify(QStringLiteral("colorchanged"), qintptr(GetSelectColor()));
}

void CColorPaletteUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pt = event->position().toPoint();
    m_drag = PaneRect().contains(pt) ? Drag::Pane : pt.y() >= PaneRect().bottom() ? Drag::Strip : Drag::None;
    PickAt(pt, true);
}

void CColorPaletteUI::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag != Drag::None) PickAt(event->position().toPoint(), true);
}

void CColorPaletteUI::mouseReleaseEvent(QMouseEvent*) {
    m_drag = Drag::None;
}

void CColorPaletteUI::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            m_hue = (m_hue + 355) % 360;
            break;
        case Qt::Key_Right:
            m_hue = (m_hue + 5) % 360;
            break;
        case Qt::Key_Up:
            m_sat = std::min(255, m_sat + 8);
            break;
        case Qt::Key_Down:
            m_sat = std::max(0, m_sat - 8);
            break;
        case Qt::Key_PageUp:
            m_val = std::min(255, m_val + 8);
            break;
        case Qt::Key_PageDown:
            m_val = std::max(0, m_val - 8);
            break;
        default:
            event->ignore();
            return;
    }
    update();
    Notify(QStringLiteral("colorchanged"), qintptr(GetSelectColor()));
}

// ---------------------------------------------------------------- CGifUI

CGifUI::CGifUI(QWidget* parent) : CControlUI(parent) {}

CGifUI::~CGifUI() = default;

void CGifUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("autoplay")) {
        m_autoPlay = ParseBool(value);
        m_attributes.append({name, value});
        return;
    }
    CControlUI::SetAttribute(nameIn, value);
    if (name == QLatin1String("bkimage")) LoadMovie();
}

void CGifUI::LoadMovie() {
    delete m_movie;
    m_movie = nullptr;
    if (m_bkImage.IsEmpty()) return;
    m_movie = new QMovie(CPaintManagerUI::ResolveFile(m_bkImage.file), QByteArray(), this);
    if (!m_movie->isValid()) {
        delete m_movie;
        m_movie = nullptr;
        return;
    }
    connect(m_movie, &QMovie::frameChanged, this, [this] { update(); });
    if (m_autoPlay)
        m_movie->start();
    else
        m_movie->jumpToFrame(0);
}

void CGifUI::Play() {
    if (m_movie) m_movie->start();
}

void CGifUI::Stop() {
    if (m_movie) m_movie->stop();
}

bool CGifUI::IsPlaying() const {
    return m_movie && m_movie->state() == QMovie::Running;
}

void CGifUI::PaintBkImage(QPainter& p) {
    if (m_movie) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(rect(), m_movie->currentPixmap());
    } else {
        CControlUI::PaintBkImage(p);
    }
}

}  // namespace zor::ui
