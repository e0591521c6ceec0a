#include "ui/CustomControls.h"

#include <QCoreApplication>

#include <QPainter>

#include "common/Debug.h"
#include "ui/PaintManager.h"

namespace zor::ui {

// ---------------------------------------------------------------- the effect manager

namespace {
std::unique_ptr<IUiEffectManagerImpl>& ManagerSlot() {
    static std::unique_ptr<IUiEffectManagerImpl> slot;
    return slot;
}
}  // namespace

IUiEffectManagerImpl& IUiEffectManagerImpl::Instance() {
    auto& slot = ManagerSlot();
    if (!slot) slot.reset(new IUiEffectManagerImpl);
    return *slot;
}

void IUiEffectManagerImpl::ResetForTest() {
    ManagerSlot().reset();
}

IUiEffectManagerImpl::IUiEffectManagerImpl() {
    // The program folder's copy first (the build tree, a portable folder), then the installed one
    // beside the executable's lib folder.
    m_library.setFileName(CPaintManagerUI::GetInstancePath() + QLatin1String(effects::kPluginFileName));
    if (!m_library.load()) {
        m_library.setFileName(QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/zormouse/") +
                              QLatin1String(effects::kPluginFileName));
        if (!m_library.load()) return;
    }
    m_get = reinterpret_cast<effects::GetAnimationFn>(m_library.resolve("GetAnimation"));
    m_release = reinterpret_cast<effects::ReleaseAnimationFn>(m_library.resolve("ReleaseAnimation"));
    m_types = reinterpret_cast<effects::GetSupportAnimationTypeFn>(
        m_library.resolve(effects::kSupportAnimationTypeSymbol));
    if (!IsLoaded()) {
        m_get = nullptr;
        m_release = nullptr;
        m_types = nullptr;
        m_library.unload();
    }
}

IUiEffectManagerImpl::~IUiEffectManagerImpl() {
    if (IsLoaded()) m_library.unload();
}

effects::IUIEffect* IUiEffectManagerImpl::GetAnimation() {
    return m_get ? m_get() : nullptr;
}

void IUiEffectManagerImpl::ReleaseAnimation(effects::IUIEffect*& effect) {
    if (m_release && effect) m_release(effect);
    effect = nullptr;
}

QString IUiEffectManagerImpl::GetSupportAnimationType() {
    return m_types ? QString::fromUtf8(m_types()) : QString();
}

// ---------------------------------------------------------------- AnimLayout

AnimLayout::AnimLayout(QWidget* parent) : CVerticalLayoutUI(parent) {
    m_effect = IUiEffectManagerImpl::Instance().GetAnimation();
}

AnimLayout::~AnimLayout() {
    IUiEffectManagerImpl::Instance().ReleaseAnimation(m_effect);
}

void AnimLayout::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("duration"), Qt::CaseInsensitive) == 0)
        SetDuration(value.toInt());
    else
        CVerticalLayoutUI::SetAttribute(name, value);
}

bool AnimLayout::StartEffect(int animationType, int direction) {
    if (m_animating) return false;
    if (m_state >= 81) {
        m_state = 2;
        return false;
    }
    if (!m_effect || width() <= 0 || height() <= 0) return false;
    QImage shot(size(), QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::transparent);
    render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    if (shot.isNull()) return false;
    // Pixels drawn without coverage information keep alpha 0; a coloured one is meant opaque.
    shot = shot.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shot.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shot.scanLine(y));
        for (int x = 0; x < shot.width(); ++x)
            if (qAlpha(line[x]) == 0 && (line[x] & 0xFFFFFFu) != 0) line[x] |= 0xFF000000u;
    }
    m_snapshot = shot.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_frame = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_frame.fill(Qt::transparent);

    effects::AnimationParam param;
    param.snapshot = reinterpret_cast<const std::uint32_t*>(m_snapshot.constBits());
    param.frame = reinterpret_cast<std::uint32_t*>(m_frame.bits());
    param.width = m_snapshot.width();
    param.height = m_snapshot.height();
    const QRect r(mapTo(window(), QPoint()), size());
    param.left = r.left();
    param.top = r.top();
    param.right = r.right() + 1;
    param.bottom = r.bottom() + 1;
    param.animationType = animationType;
    param.direction = direction;
    param.durationMs = m_durationMs;
    param.effectKey = reinterpret_cast<std::uintptr_t>(this);
    if (!m_effect->AppendAnimation(param)) {
        m_snapshot = {};
        m_frame = {};
        return false;
    }
    m_animating = true;
    ++m_state;
    // Children stay hidden while the frames are shown in their place.
    m_hiddenChildren.clear();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible()) {
            m_hiddenChildren.emplace_back(child);
            child->setAttribute(Qt::WA_WState_ExplicitShowHide);
            child->hide();
        }
    m_effect->Animation(this, 0);
    return true;
}

void AnimLayout::OnUiEffectBegin(std::uintptr_t, int) {}

void AnimLayout::OnUiEffectEnd(std::uintptr_t effectKey, int animationType) {
    if (!effectKey) return;
    m_animating = false;
    m_snapshot = {};
    m_frame = {};
    for (auto& child : m_hiddenChildren)
        if (child) child->show();
    m_hiddenChildren.clear();
    update();
    emit effectFinished(animationType);
}

void AnimLayout::OnUiEffectDraw() {
    repaint();
}

void AnimLayout::paintEvent(QPaintEvent* event) {
    if (!m_animating) {
        CVerticalLayoutUI::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), m_frame);
}

// ---------------------------------------------------------------- CVerticalLayoutExUI

CVerticalLayoutExUI::CVerticalLayoutExUI(QWidget* parent) : COptionUI(parent) {}

void CVerticalLayoutExUI::SetAttribute(const QString& nameIn, const QString& value) {
    const QString name = nameIn.toLower();
    if (name == QLatin1String("inset")) {
        m_inset = ParseMargins(value);
        LayoutChildren();
    } else if (name == QLatin1String("mousechild")) {
        m_mouseChild = value == QLatin1String("true");
        for (auto& item : m_items)
            if (item) item->setAttribute(Qt::WA_TransparentForMouseEvents, !m_mouseChild);
    } else if (name == QLatin1String("vscrollbar") || name == QLatin1String("hscrollbar")) {
        // accepted, no effect
    } else if (name == QLatin1String("vscrollbarstyle")) {
        m_vScrollStyle = value;
    } else if (name == QLatin1String("hscrollbarstyle")) {
        m_hScrollStyle = value;
    } else if (name == QLatin1String("childpadding")) {
        m_childPadding = value.toInt();
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
    } else if (name == QLatin1String("scrollstepsize")) {
        m_scrollStep = value.toInt();
    } else {
        COptionUI::SetAttribute(nameIn, value);
        return;
    }
    m_attributes.append({name, value});
}

bool CVerticalLayoutExUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CVerticalLayoutExUI::AddAt(CControlUI* control, int index) {
    if (!control || index < 0 || index > GetCount()) return false;
    if (control->parentWidget() != this) control->setParent(this);
    if (m_manager && !control->GetManager()) control->SetManager(m_manager);
    control->setAttribute(Qt::WA_TransparentForMouseEvents, !m_mouseChild);
    m_items.insert(m_items.begin() + index, control);
    if (!(control->testAttribute(Qt::WA_WState_ExplicitShowHide) && control->isHidden())) control->show();
    LayoutChildren();
    return true;
}

bool CVerticalLayoutExUI::Remove(CControlUI* control) {
    auto it = std::find(m_items.begin(), m_items.end(), control);
    if (it == m_items.end()) return false;
    m_items.erase(it);
    if (m_autoDestroy) DisposeChild(control, m_delayedDestroy);
    LayoutChildren();
    return true;
}

void CVerticalLayoutExUI::RemoveAll() {
    auto items = std::move(m_items);
    m_items.clear();
    if (m_autoDestroy)
        for (auto& item : items) DisposeChild(item, m_delayedDestroy);
}

CControlUI* CVerticalLayoutExUI::GetItemAt(int index) const {
    return index >= 0 && index < GetCount() ? m_items[size_t(index)].data() : nullptr;
}

CControlUI* CVerticalLayoutExUI::FindControlAt(const QPoint& point) const {
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
        if (*it && !(*it)->isHidden() && (*it)->geometry().contains(point)) return *it;
    return nullptr;
}

void CVerticalLayoutExUI::SetPos(const QRect& rc) {
    COptionUI::SetPos(rc);
    LayoutChildren();
}

void CVerticalLayoutExUI::resizeEvent(QResizeEvent*) {
    LayoutChildren();
}

void CVerticalLayoutExUI::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LayoutDirectionChange) LayoutChildren();
    COptionUI::changeEvent(event);
}

// Children lie over each other at the inner rectangle's origin (they are not stacked); child
// padding and alignment are kept but do not move them.
void CVerticalLayoutExUI::LayoutChildren() {
    if (m_items.empty()) return;
    const QRect inner = rect().marginsRemoved(m_inset);
    for (auto& item : m_items) {
        if (!item || item->isHidden()) continue;
        if (item->IsFloat()) {
            item->Place(item->GetFloatPos());
            continue;
        }
        const int w = std::clamp(inner.width(), item->GetMinWidth(),
                                 std::max(item->GetMinWidth(), item->GetMaxWidth()));
        const int h = std::clamp(inner.height(), item->GetMinHeight(),
                                 std::max(item->GetMinHeight(), item->GetMaxHeight()));
        item->Place(QRect(inner.left(), inner.top(), w, h));
    }
}

void CVerticalLayoutExUI::SetScrollPos(const QPoint&, bool) {
    // No scroll bar exists, so neither target moves anything and no "scroll" is sent.
}

}  // namespace zor::ui
