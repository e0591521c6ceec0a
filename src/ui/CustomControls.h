// The program's own controls: AnimLayout (a vertical layout that plays a show or hide animation
// from the optional plug-in) and CVerticalLayoutExUI (a selectable option that is also a
// container, used for the DPI stage items).
#pragma once

#include <QImage>
#include <QLibrary>
#include <memory>

#include "ui/Controls.h"
#include "ui/EffectApi.h"

namespace zor::ui {

// The plug-in, loaded once per process from the program folder; without it nothing animates.
class IUiEffectManagerImpl {
public:
    static IUiEffectManagerImpl& Instance();
    bool IsLoaded() const { return m_get && m_release && m_types; }
    effects::IUIEffect* GetAnimation();
    void ReleaseAnimation(effects::IUIEffect*& effect);
    QString GetSupportAnimationType();
    // Unloads and forgets the plug-in so the next Instance() loads it again (tests).
    static void ResetForTest();
    ~IUiEffectManagerImpl();

private:
    IUiEffectManagerImpl();
    QLibrary m_library;
    effects::GetAnimationFn m_get = nullptr;
    effects::ReleaseAnimationFn m_release = nullptr;
    effects::GetSupportAnimationTypeFn m_types = nullptr;
};

class AnimLayout : public CVerticalLayoutUI, public effects::IUIEffectCallBack {
    Q_OBJECT
public:
    explicit AnimLayout(QWidget* parent = nullptr);
    ~AnimLayout() override;
    QString GetClass() const override { return QStringLiteral("AnimLayoutUI"); }

    // Refused (false) while an animation runs, when the state counter has reached 81 (it then
    // starts again at 2), without the plug-in, or when no snapshot can be taken.
    bool StartEffect(int animationType, int direction);
    bool IsAnimating() const { return m_animating; }
    int StateCounter() const { return m_state; }
    bool HasEffect() const { return m_effect != nullptr; }
    // Length of one animation in milliseconds (attribute "duration").
    void SetDuration(int ms) { m_durationMs = std::max(1, ms); }
    void SetAttribute(const QString& name, const QString& value) override;

    void OnUiEffectBegin(std::uintptr_t effectKey, int animationType) override;
    void OnUiEffectEnd(std::uintptr_t effectKey, int animationType) override;
    void OnUiEffectDraw() override;

signals:
    // An animation ran to its end (the hiding window may go now).
    void effectFinished(int animationType);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_snapshot, m_frame;
    std::vector<QPointer<QWidget>> m_hiddenChildren;
    int m_state = 2;
    int m_durationMs = 180;
    bool m_animating = false;
    effects::IUIEffect* m_effect = nullptr;
};

// Container operations of a control that is not a CContainerUI.
class IContainerUI {
public:
    virtual ~IContainerUI() = default;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    virtual bool Remove(CControlUI* control) = 0;
    virtual void RemoveAll() = 0;
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetCount() const = 0;
};

class CVerticalLayoutExUI : public COptionUI, public IContainerUI {
    Q_OBJECT
public:
    explicit CVerticalLayoutExUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("CVerticalLayoutExUI"); }
    void SetAttribute(const QString& name, const QString& value) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    CControlUI* GetItemAt(int index) const override;
    int GetCount() const override { return int(m_items.size()); }
    CControlUI* FindControlAt(const QPoint& point) const;

    void SetPos(const QRect& rc) override;
    // Applies targets to the visible scroll bars; this control never creates any, so nothing
    // moves (the "vscrollbar" attribute is accepted without effect).
    void SetScrollPos(const QPoint& pos, bool notify = true);
    bool HasScrollBars() const { return false; }

    QMargins GetInset() const { return m_inset; }
    int GetChildPadding() const { return m_childPadding; }
    unsigned GetChildAlign() const { return m_childAlign; }
    unsigned GetChildVAlign() const { return m_childVAlign; }
    bool IsMouseChildEnabled() const { return m_mouseChild; }
    int GetScrollStepSize() const { return m_scrollStep; }
    QString GetVerticalScrollStyle() const { return m_vScrollStyle; }
    void LayoutChildren();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::vector<QPointer<CControlUI>> m_items;
    QMargins m_inset;
    int m_childPadding = 0;
    unsigned m_childAlign = kDtLeft, m_childVAlign = kDtTop;
    bool m_mouseChild = true;
    int m_scrollStep = 0;
    QString m_vScrollStyle, m_hScrollStyle;
    bool m_autoDestroy = true, m_delayedDestroy = true;
};

}  // namespace zor::ui
