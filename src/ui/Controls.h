// The skin controls: every control is a QWidget whose objectName is its skin name. CControlUI
// carries the attributes every control shares (position, size, colours, font, images, text);
// containers lay out their children by the skin's rules (fixed sizes, padding, float
// positions), not by QLayouts.
#pragma once

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <vector>

class QLineEdit;
class QScrollBar;
class QMovie;
class QPainter;

namespace zor::ui {

class CPaintManagerUI;
class CControlUI;

// One control notification: the type strings are those the windows react to ("click",
// "selectchanged", "valuechanged", ...). sender is null for window-level notifications.
struct TNotifyUI {
    QString sType;
    CControlUI* pSender = nullptr;
    qintptr wParam = 0;
    qintptr lParam = 0;
    QString sText;     // e.g. the menu item's name of "MyMenuClick"
    QVariant payload;  // owned data travelling with the notification
};

// Text alignment flags (the values the layout attributes use: 0 left, 1 center, 2 right;
// 0 top, 4 vcenter, 8 bottom).
enum TextStyle : unsigned {
    kDtLeft = 0,
    kDtCenter = 1,
    kDtRight = 2,
    kDtTop = 0,
    kDtVCenter = 4,
    kDtBottom = 8,
    kDtSingleLine = 0x20,
    kDtWordBreak = 0x10,
    kDtEndEllipsis = 0x8000,
};

// "file='a.svg' source='l,t,r,b' corner='l,t,r,b' fade='200'" or a bare file name.
struct ImageRef {
    QString file;
    QRect source;     // empty = whole picture
    QMargins corner;  // nine-slice margins in source units
    int fade = 255;
    QRect dest;  // empty = whole control
    bool IsEmpty() const { return file.isEmpty(); }
    static ImageRef Parse(const QString& text);
};

// Parsing helpers for attribute values.
QColor ParseColor(const QString& text);
QRect ParseRect(const QString& text);  // "l,t,r,b" -> QRect(l, t, r - l, b - t)
QMargins ParseMargins(const QString& text);
QSize ParseSize(const QString& text);
bool ParseBool(const QString& text);

// Draws ref into dest (in widget coordinates). Images are cached per file and pixel ratio;
// SVG pictures are rendered at the device pixel ratio. Returns false when the file is missing.
bool DrawImage(QPainter& painter, const QRect& dest, const ImageRef& ref, qreal devicePixelRatio);
// Drops every cached picture (skin switch).
void ClearImageCache();
int ImageCacheSize();

class CControlUI : public QWidget {
    Q_OBJECT
public:
    explicit CControlUI(QWidget* parent = nullptr);
    ~CControlUI() override;

    virtual QString GetClass() const { return QStringLiteral("ControlUI"); }
    virtual void SetAttribute(const QString& name, const QString& value);
    // "name=\"v\" other=\"w\"" lists, as used by Default and style attributes.
    void ApplyAttributeList(const QString& list);

    QString GetName() const { return objectName(); }
    void SetName(const QString& name);
    CPaintManagerUI* GetManager() const { return m_manager; }
    void SetManager(CPaintManagerUI* manager) { m_manager = manager; }

    virtual QString GetText() const { return m_text; }
    virtual void SetText(const QString& text);
    void SetToolTip(const QString& text) { setToolTip(text); }
    // The id under which the language supplies this control's text (default: the name).
    QString GetTextId() const { return m_textId.isEmpty() ? objectName() : m_textId; }

    bool IsVisible() const { return !isHidden(); }
    void SetVisible(bool visible);
    bool IsEnabled() const { return isEnabled(); }
    void SetEnabled(bool enabled) {
        setEnabled(enabled);
        update();
    }

    // Position: floating controls sit at their "pos" inside the parent; others use it for their
    // fixed size only. Positions are the skin's, left to right: inside a parent laid out right to
    // left (a right-to-left language) the control sits mirrored, at W - x - w of a parent W wide.
    bool IsFloat() const { return m_float; }
    void SetFloat(bool f) { m_float = f; }
    QRect GetPos() const;
    // Puts the control at the skin position rc inside its parent (mirrored as above).
    void Place(const QRect& rc);
    QRect GetFloatPos() const { return m_floatPos; }
    virtual void SetPos(const QRect& rc);
    int GetFixedWidth() const { return m_fixedWidth; }
    int GetFixedHeight() const { return m_fixedHeight; }
    void SetFixedWidth(int w);
    void SetFixedHeight(int h);
    int GetMinWidth() const { return m_minW; }
    int GetMaxWidth() const { return m_maxW; }
    int GetMinHeight() const { return m_minH; }
    int GetMaxHeight() const { return m_maxH; }
    QMargins GetPadding() const { return m_padding; }
    // Where the text is drawn (the control less its text padding) and how (kDt* flags).
    virtual QRect GetTextRect() const { return TextRect(); }
    unsigned GetTextStyle() const { return m_textStyle; }
    // Size the control asks for given the available size (0 = take what is offered).
    virtual QSize EstimateSize(const QSize& available) const;

    int GetFont() const { return m_font; }
    QFont ResolveFont() const;
    QColor GetTextColor() const { return m_textColor; }
    QColor GetBkColor() const { return m_bkColor; }
    const ImageRef& GetBkImage() const { return m_bkImage; }
    QString GetUserData() const { return m_userData; }
    void SetUserData(const QString& userData) { m_userData = userData; }
    // Every attribute as last set through SetAttribute (tests, re-skinning).
    QString GetAttribute(const QString& name) const;

    // Holds the focus, moved there by the keyboard (Tab, arrows, a panel that opened): a frame
    // shows it. The focus a window hands out by itself on activation shows none.
    bool HasKeyboardFocus() const { return hasFocus() && m_keyboardFocus; }
    // Gives the control the focus from the keyboard (one that already holds it shows it now).
    void SetKeyboardFocus(Qt::FocusReason reason = Qt::TabFocusReason);

    // Asks the parent container to lay out again.
    void NeedParentUpdate();
    // The manager rebuilt a font slot this control may use.
    virtual void OnFontRebuilt();

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    // A control the keyboard moved to is scrolled into sight in every scrolling container.
    void focusInEvent(QFocusEvent* event) override;
    virtual void PaintBkColor(QPainter& p);
    virtual void PaintBkImage(QPainter& p);
    virtual void PaintStatusImage(QPainter& p);
    virtual void PaintText(QPainter& p);
    virtual void PaintBorder(QPainter& p);
    // A control that holds the keyboard focus draws a frame over its face in the window's focus
    // colour, so that a keyboard user sees where Space and Enter will act.
    virtual bool ShowsFocusFrame() const;
    void PaintFocusFrame(QPainter& p);
    void DrawSkinImage(QPainter& p, const ImageRef& image, const QRect& dest = {});
    void DrawSkinText(QPainter& p, const QString& text, const QRect& rc, const QColor& color,
                      unsigned style) const;
    // The control less its text padding, the padding's left and right swapped right to left.
    QRect TextRect() const;
    // A rectangle given left to right inside the control, where it lies in the control's direction.
    QRect Visual(const QRect& r) const;
    // A language switch turned the direction: the control draws again, containers lay out again.
    void changeEvent(QEvent* event) override;
    void Notify(const QString& type, qintptr wParam = 0, qintptr lParam = 0, const QVariant& payload = {});

    CPaintManagerUI* m_manager = nullptr;
    QString m_text;
    QString m_textId;
    QString m_userData;
    bool m_float = false;
    QRect m_floatPos;
    int m_fixedWidth = 0, m_fixedHeight = 0;
    int m_minW = 0, m_maxW = 9999, m_minH = 0, m_maxH = 9999;
    QMargins m_padding, m_textPadding;
    QColor m_bkColor, m_bkColor2, m_borderColor, m_focusBorderColor;
    QColor m_textColor, m_disabledTextColor;
    int m_borderSize = 0;
    QSize m_borderRound;
    int m_font = -1;
    unsigned m_textStyle = kDtLeft | kDtVCenter | kDtSingleLine;
    bool m_showHtml = false;
    ImageRef m_bkImage;
    QList<QPair<QString, QString>> m_attributes;
    bool m_keyboardFocus = false;
    bool m_keepsPlace = false;  // "mirror" false: not mirrored right to left
};

// A control with children. Vertical, horizontal, tab and plain (all children on top of each
// other, floats at their pos) arrangements share this class.
// Takes a child out of sight and destroys it, at once or (delayed) when control returns to the
// event loop, so that a child removed from inside its own notification is not deleted under it.
void DisposeChild(CControlUI* control, bool delayed);

class CContainerUI : public CControlUI {
    Q_OBJECT
public:
    enum class Arrange { Stack, Vertical, Horizontal, Tab };
    explicit CContainerUI(QWidget* parent = nullptr, Arrange arrange = Arrange::Stack);
    QString GetClass() const override;
    void SetAttribute(const QString& name, const QString& value) override;

    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    virtual bool Remove(CControlUI* control);
    virtual void RemoveAll();
    int GetCount() const { return int(m_items.size()); }
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* control) const;
    // The topmost visible child whose rectangle holds point (in this control's coordinates).
    CControlUI* FindControlAt(const QPoint& point) const;

    QMargins GetInset() const { return m_inset; }
    int GetChildPadding() const { return m_childPadding; }
    bool IsAutoDestroy() const { return m_autoDestroy; }
    void SetDelayedDestroy(bool delayed) { m_delayedDestroy = delayed; }

    // Scrolling (vertical arrangement with "vscrollbar").
    QScrollBar* GetVerticalScrollBar() const { return m_vScroll; }
    virtual void SetScrollPos(const QPoint& pos, bool notify = true);
    QPoint GetScrollPos() const;
    // Scrolls so that descendant lies inside the visible part.
    void ScrollIntoView(const QWidget* descendant);
    QSize EstimateSize(const QSize& available) const override;

    // Tab arrangement.
    int GetCurSel() const { return m_curSel; }
    bool SelectItem(int index);

    virtual void LayoutChildren();

    // Holds every container's layout while it lives (a skin being built): a container laid out
    // meanwhile is laid out once when the last hold ends, instead of after each child added and
    // each attribute set. A container still without a size then waits for its first resize.
    class LayoutHold {
    public:
        LayoutHold();
        ~LayoutHold();
        LayoutHold(const LayoutHold&) = delete;
        LayoutHold& operator=(const LayoutHold&) = delete;
    };

protected:
    // True while layouts are held; the container is then laid out when the hold ends.
    bool DeferLayout();
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void EnableScrollBar(bool enable);
    void LayoutLinear(const QRect& inner);

    Arrange m_arrange;
    std::vector<QPointer<CControlUI>> m_items;
    QMargins m_inset;
    int m_childPadding = 0;
    unsigned m_childAlign = kDtLeft, m_childVAlign = kDtTop;
    bool m_autoDestroy = true, m_delayedDestroy = true;
    bool m_mouseChild = true;
    int m_scrollStep = 30;
    QScrollBar* m_vScroll = nullptr;
    int m_contentHeight = 0;
    int m_curSel = 0;
    bool m_inLayout = false;
    bool m_layoutDeferred = false;
};

class CVerticalLayoutUI : public CContainerUI {
    Q_OBJECT
public:
    explicit CVerticalLayoutUI(QWidget* parent = nullptr) : CContainerUI(parent, Arrange::Vertical) {}
};
class CHorizontalLayoutUI : public CContainerUI {
    Q_OBJECT
public:
    explicit CHorizontalLayoutUI(QWidget* parent = nullptr) : CContainerUI(parent, Arrange::Horizontal) {}
};
class CTabLayoutUI : public CContainerUI {
    Q_OBJECT
public:
    explicit CTabLayoutUI(QWidget* parent = nullptr) : CContainerUI(parent, Arrange::Tab) {}
};

class CLabelUI : public CControlUI {
    Q_OBJECT
public:
    explicit CLabelUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("LabelUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    // Width 0 = sized to the text (text width plus text padding).
    QSize EstimateSize(const QSize& available) const override;
    // The size the text needs on one line, keeping the given height.
    QSize EstimateTextSize(const QSize& current) const;
    bool IsAutoCalcWidth() const { return m_autoCalcWidth; }

protected:
    void PaintText(QPainter& p) override;
    bool m_autoCalcWidth = false;
};

class CTextUI : public CLabelUI {
    Q_OBJECT
public:
    explicit CTextUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("TextUI"); }
};

class CButtonUI : public CLabelUI {
    Q_OBJECT
public:
    explicit CButtonUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ButtonUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    // Behaves as if the user clicked it.
    virtual void Activate();
    bool IsHot() const { return m_hot; }
    bool IsPushed() const { return m_pushed; }
    // Shows nothing but its background colour: no text, no picture (a colour swatch).
    bool IsColourSwatch() const {
        return m_text.isEmpty() && m_bkColor.isValid() && m_bkColor.alpha() > 0 && m_bkImage.IsEmpty() &&
               m_normal.IsEmpty() && m_fore.IsEmpty();
    }

signals:
    // After the "click" notification (for owners inside the library, such as a tree's folder button).
    void clicked();

protected:
    void PaintStatusImage(QPainter& p) override;
    void PaintText(QPainter& p) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    ImageRef m_normal, m_hot_, m_pushedImage, m_focused, m_disabled, m_fore, m_hotFore;
    QColor m_hotTextColor, m_pushedTextColor, m_hotBkColor, m_pushedBkColor;
    bool m_hot = false, m_pushed = false;
};

class COptionUI : public CButtonUI {
    Q_OBJECT
public:
    explicit COptionUI(QWidget* parent = nullptr);
    ~COptionUI() override;
    QString GetClass() const override { return QStringLiteral("OptionUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    QString GetGroup() const { return m_group; }
    void SetGroup(const QString& group);
    bool IsSelected() const { return m_selected; }
    // Selecting one option of a group deselects the others; notify sends "selectchanged".
    virtual void Selected(bool selected, bool notify = true);
    void Activate() override;
    // The visible, enabled options of the group in reading order (this one alone without a group).
    std::vector<COptionUI*> GroupInReadingOrder() const;

protected:
    void PaintStatusImage(QPainter& p) override;
    void PaintText(QPainter& p) override;
    // Arrow keys move to the next or previous option of the group and select it.
    void keyPressEvent(QKeyEvent* event) override;
    QString m_group;
    bool m_selected = false;
    ImageRef m_selectedImage, m_selectedHot, m_selectedPushed, m_selectedFore;
    QColor m_selectedTextColor, m_selectedBkColor;
};

class CCheckBoxUI : public COptionUI {
    Q_OBJECT
public:
    explicit CCheckBoxUI(QWidget* parent = nullptr) : COptionUI(parent) {}
    QString GetClass() const override { return QStringLiteral("CheckBoxUI"); }
    bool GetCheck() const { return IsSelected(); }
    void SetCheck(bool check, bool notify = true) { Selected(check, notify); }
};

class CProgressUI : public CLabelUI {
    Q_OBJECT
public:
    explicit CProgressUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ProgressUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    int GetMinValue() const { return m_min; }
    int GetMaxValue() const { return m_max; }
    int GetValue() const { return m_value; }
    void SetMinValue(int v);
    void SetMaxValue(int v);
    virtual void SetValue(int v);
    QColor GetForeColor() const { return m_foreColor; }
    void SetForeColor(const QColor& c) {
        m_foreColor = c;
        update();
    }

protected:
    void PaintStatusImage(QPainter& p) override;
    QRect ForeRect() const;
    bool m_horizontal = true;
    int m_min = 0, m_max = 100, m_value = 0;
    ImageRef m_foreImage;
    QColor m_foreColor;
};

class CSliderUI : public CProgressUI {
    Q_OBJECT
public:
    explicit CSliderUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("SliderUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    int GetChangeStep() const { return m_step; }
    QRect GetThumbRect() const;
    // Moves the value as the user does (wheel, assistive tools): "valuechanged" when it changed.
    void ChangeValue(int v);

protected:
    void PaintStatusImage(QPainter& p) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // Arrows move one step, Page Up and Page Down ten, Home and End to the ends.
    void keyPressEvent(QKeyEvent* event) override;
    int ValueAt(const QPoint& point) const;

    QSize m_thumbSize{10, 10};
    ImageRef m_thumb, m_thumbHot, m_thumbPushed;
    QColor m_thumbColor;
    int m_step = 1;
    bool m_dragging = false, m_hot = false;
};

class CEditUI : public CLabelUI {
    Q_OBJECT
public:
    explicit CEditUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("EditUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    void SetText(const QString& text) override;
    QString GetText() const override;
    QLineEdit* LineEdit() const { return m_edit; }
    void OnFontRebuilt() override { ApplyEditStyle(); }
    void SetMaxChar(int n);
    void SetReadOnly(bool readOnly);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void PaintText(QPainter&) override {}
    void PaintStatusImage(QPainter& p) override;
    bool ShowsFocusFrame() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void ApplyEditStyle();
    QLineEdit* m_edit;
    QString m_editSheet;  // the style sheet last given to m_edit (setting one re-polishes it)
    ImageRef m_normal, m_hotImage, m_focusedImage, m_disabledImage;
    bool m_hot = false;
};

// A drop-down list: a button face showing the current item; a click opens the item menu.
class CComboUI : public CButtonUI {
    Q_OBJECT
public:
    explicit CComboUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ComboUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    int AddItem(const QString& text, const QString& userData = {});
    void RemoveAll();
    int GetCount() const { return int(m_items.size()); }
    QString GetItemText(int index) const;
    QString GetItemData(int index) const;
    int FindItem(const QString& text) const;
    int GetCurSel() const { return m_curSel; }
    // Selects index (-1 = none); notify sends "itemselect".
    bool SelectItem(int index, bool notify = true);
    QString GetText() const override;
    // Less the arrow, at the right (at the left right to left).
    QRect GetTextRect() const override {
        return isRightToLeft() ? TextRect().adjusted(20, 0, 0, 0) : TextRect().adjusted(0, 0, -20, 0);
    }
    void Activate() override;
    // The open drop-down (null when closed); tests pick items from it.
    QWidget* DropDown() const { return m_dropDown; }

protected:
    void PaintText(QPainter& p) override;
    void PaintStatusImage(QPainter& p) override;
    // Space, Enter, Alt+Down and F4 open the list; Up and Down pick the neighbouring item.
    void keyPressEvent(QKeyEvent* event) override;
    std::vector<std::pair<QString, QString>> m_items;
    int m_curSel = -1;
    ImageRef m_arrow;
    QString m_dropBoxStyle;
    QPointer<QWidget> m_dropDown;
};

// A selectable row of a list or a node of a tree; a container for the row's own controls.
class CListContainerElementUI : public CContainerUI {
    Q_OBJECT
public:
    explicit CListContainerElementUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ListContainerElementUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    bool IsSelected() const { return m_selected; }
    void SetSelected(bool selected);
    int GetIndex() const { return m_index; }
    void SetIndex(int index) { m_index = index; }

protected:
    void PaintStatusImage(QPainter& p) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Up and Down move the focus and the selection to the neighbouring row, Home and End to the
    // ends; Space and Enter press the row as a click does; Left and Right fold a tree node.
    void keyPressEvent(QKeyEvent* event) override;
    class CListUI* OwnerList() const;
    bool m_selected = false, m_hot = false;
    int m_index = -1;
};

// A scrolling vertical list of rows; rows may be built from a row skin file ("rowskin").
class CListUI : public CContainerUI {
    Q_OBJECT
public:
    explicit CListUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ListUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    // Builds a row from the row skin file (or an empty row when there is none) and appends it.
    CListContainerElementUI* AddRow();
    int GetCurSel() const { return m_curSel; }
    bool SelectItem(int index, bool notify = true);
    void EnsureVisible(int index);
    // The row a keyboard user reaches with Tab: the selected one, else the first visible one.
    CListContainerElementUI* TabRow() const;
    QString GetRowSkin() const { return m_rowSkin; }
    // Row events: "itemclick", "itemrclick", "itemactivate" (double click).
    virtual void RowEvent(CListContainerElementUI* row, const QString& type);
    QColor m_selectedBkColor, m_hotBkColor;
    ImageRef m_selectedImage, m_hotImage;

protected:
    void Reindex();
    QString m_rowSkin;
    int m_curSel = -1;
};

// A tree of nodes built from a node skin file; each node has a folder button ("expand").
class CTreeNodeUI : public CListContainerElementUI {
    Q_OBJECT
public:
    explicit CTreeNodeUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("TreeNodeUI"); }
    CTreeNodeUI* GetParentNode() const { return m_parentNode; }
    const std::vector<CTreeNodeUI*>& GetChildNodes() const { return m_childNodes; }
    bool IsExpanded() const { return m_expanded; }
    int GetDepth() const;

private:
    friend class CTreeViewUI;
    CTreeNodeUI* m_parentNode = nullptr;
    std::vector<CTreeNodeUI*> m_childNodes;
    bool m_expanded = true;
};

class CTreeViewUI : public CListUI {
    Q_OBJECT
public:
    explicit CTreeViewUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("TreeViewUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    // Builds a node from the node skin file under parent (null = top level). Its "text" child
    // (or the node itself) shows text.
    CTreeNodeUI* AddNode(const QString& text, CTreeNodeUI* parent = nullptr);
    bool RemoveNode(CTreeNodeUI* node);
    void SetExpanded(CTreeNodeUI* node, bool expanded);
    int GetIndent() const { return m_indent; }
    void RowEvent(CListContainerElementUI* row, const QString& type) override;

private:
    void UpdateVisibility();
    QString m_nodeSkin;
    int m_indent = 16;
};

// A colour picker: hue and saturation in the pane, brightness in the strip below it.
class CColorPaletteUI : public CControlUI {
    Q_OBJECT
public:
    explicit CColorPaletteUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ColorPaletteUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    // 0xRRGGBB.
    unsigned GetSelectColor() const;
    void SetSelectColor(unsigned rgb);

protected:
    void PaintStatusImage(QPainter& p) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Left and Right move the hue, Up and Down the saturation, Page Up and Page Down the
    // brightness.
    void keyPressEvent(QKeyEvent* event) override;
    void PickAt(const QPoint& point, bool notify);
    QRect PaneRect() const;
    QRect StripRect() const;
    int m_stripHeight = 12;
    int m_hue = 0, m_sat = 255, m_val = 255;
    enum class Drag { None, Pane, Strip } m_drag = Drag::None;
    QImage m_paneCache;
};

// The widgets a keyboard user reaches with Tab below root, in reading order (the skin's order of
// containers and their items): shown, enabled controls that take the focus from Tab and the
// line edits of edit boxes. A list is one stop, at its Tab row; controls too small to be seen
// (a one-pixel focus holder) are none.
std::vector<QWidget*> TabStops(QWidget* root);

// An animated picture (GIF) played from the skin folder.
class CGifUI : public CControlUI {
    Q_OBJECT
public:
    explicit CGifUI(QWidget* parent = nullptr);
    ~CGifUI() override;
    QString GetClass() const override { return QStringLiteral("GifUI"); }
    void SetAttribute(const QString& name, const QString& value) override;
    void Play();
    void Stop();
    bool IsPlaying() const;

protected:
    void PaintBkImage(QPainter& p) override;
    void LoadMovie();
    QMovie* m_movie = nullptr;
    bool m_autoPlay = true;
};

}  // namespace zor::ui
