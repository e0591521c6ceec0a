// CPaintManagerUI: the per-window registry of a skinned window (controls by name, fonts,
// default attributes, option groups, notification listeners) and the process-wide skin
// locations. CDialogBuilder turns a skin file into controls; CResourceManager hands control
// texts out through the window's text-query interface.
#pragma once

#include <QFont>
#include <QHash>
#include <QMap>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <vector>

#include "ui/Controls.h"
#include "ui/Markup.h"

namespace zor::ui {

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;
    virtual ~INotifyUI() = default;
};

// Creates controls of classes the library does not know ("VerticalLayoutEx", "AnimLayout").
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(const QString& className) = 0;
    virtual ~IDialogBuilderCallback() = default;
};

// Supplies a control's text by id; an empty answer means "no text".
class IQueryControlText {
public:
    virtual QString QueryControlText(const QString& id, const QString& type) = 0;
    virtual ~IQueryControlText() = default;
};

struct FontInfo {
    QString name;
    int size = 12;  // pixels
    bool bold = false, underline = false, italic = false;
    QFont font;
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide locations: the program folder and the current skin folder (both end in '/').
    static void SetInstancePath(const QString& path);
    static QString GetInstancePath();
    static void SetResourcePath(const QString& path);
    static QString GetResourcePath();
    // Resolves a skin-relative file: the skin folder first, then the program folder, then as is.
    static QString ResolveFile(const QString& file);
    // Re-reads every window's skin from the (new) skin folder: cached pictures are dropped,
    // colours and images re-applied by control name, every window repainted.
    static void ReloadSkin();
    static const std::vector<CPaintManagerUI*>& Managers();
    // Runs the application's event loop until the program quits; answers its exit code.
    static int MessageLoop();

    void Init(QWidget* window, const QString& name = {});
    QWidget* GetPaintWindow() const { return m_window; }
    QString GetName() const { return m_name; }
    CControlUI* GetRoot() const { return m_root; }
    void AttachDialog(CControlUI* root);

    // Registers a built control under its name (first one wins, as lookups by name expect).
    void InitControl(CControlUI* control);
    void ReapName(CControlUI* control, const QString& oldName);
    CControlUI* FindControl(const QString& name) const;
    CControlUI* FindControl(const QPoint& windowPoint) const;
    CControlUI* FindSubControlByName(CControlUI* parent, const QString& name) const;
    template <typename T>
    T* Find(const QString& name) const {
        return qobject_cast<T*>(FindControl(name));
    }
    std::vector<CControlUI*> AllControls() const;

    // Option groups.
    void AddOptionGroup(const QString& group, COptionUI* option);
    void RemoveOptionGroup(const QString& group, COptionUI* option);
    std::vector<COptionUI*> GetOptionGroup(const QString& group) const;

    // Fonts by id; -1 = the default font.
    void AddFont(int id, const QString& name, int size, bool bold, bool underline, bool italic,
                 bool isDefault = false);
    int GetFontCount() const { return int(m_fonts.size()); }
    bool HasFont(int id) const { return m_fonts.contains(id); }
    FontInfo* GetFontInfo(int id);
    QFont GetFont(int id) const;
    // Rebuilds the QFont of slot id from its FontInfo and repaints the controls that use it.
    void RebuildFont(int id);
    void SetDefaultFontName(const QString& name);

    // "Default" elements: attribute lists applied to every control of a class before its own.
    void AddDefaultAttributeList(const QString& controlClass, const QString& list);
    QString GetDefaultAttributeList(const QString& controlClass) const;
    // Gives a control built by code the looks of a "Default" element by name (a style the
    // skin defines for it); ReloadSkin gives it that element of the new skin again.
    void ApplyDefaultStyle(CControlUI* control, const QString& styleName);

    // Window attributes from the skin's Window element.
    QSize GetInitSize() const { return m_initSize; }
    void SetInitSize(const QSize& s) { m_initSize = s; }
    QSize GetMinInfo() const { return m_minInfo; }
    void SetMinInfo(const QSize& s) { m_minInfo = s; }
    QSize GetMaxInfo() const { return m_maxInfo; }
    void SetMaxInfo(const QSize& s) { m_maxInfo = s; }
    // Caption area "l,t,r,b": left and right are insets from the window's sides, top and bottom
    // are distances from the top edge; bottom -1 = down to the bottom of the client area.
    QMargins GetCaptionRect() const { return m_caption; }
    void SetCaptionRect(const QMargins& rc) { m_caption = rc; }
    QRect CaptionArea(const QSize& windowSize) const;
    QSize GetRoundCorner() const { return m_roundCorner; }
    void SetRoundCorner(const QSize& s) { m_roundCorner = s; }
    // The colour of the frame a focused control draws ("focuscolor"; a blue that stands out on
    // both skins without one).
    QColor GetFocusColor() const { return m_focusColor.isValid() ? m_focusColor : DefaultFocusColor(); }
    void SetFocusColor(const QColor& c) { m_focusColor = c; }
    static QColor DefaultFocusColor() { return QColor(0x3D, 0x8B, 0xFF); }
    // A part shown over the window (a panel that acts as a dialog): while it is shown, Tab
    // moves only among its controls. Null = the whole window.
    void SetFocusScope(QWidget* scope) { m_focusScope = scope; }
    QWidget* GetFocusScope() const { return m_focusScope; }

    // Notifications.
    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    // async = delivered from the event loop (the sender may be gone by then: the notification
    // is dropped when it is).
    void SendNotify(CControlUI* control, const QString& type, qintptr wParam = 0, qintptr lParam = 0,
                    bool async = false, const QVariant& payload = {});
    void SendNotify(TNotifyUI& msg, bool async = false);

    // Control timers: every period the window is notified with "timer" (sender: the control,
    // wParam: the id). A timer goes with its control.
    bool SetTimer(CControlUI* control, int id, int periodMs);
    bool KillTimer(CControlUI* control, int id);

    // Skin files this window was built from (re-applied by ReloadSkin).
    void AddSkinFile(const QString& file) {
        if (!m_skinFiles.contains(file)) m_skinFiles.append(file);
    }
    const QStringList& SkinFiles() const { return m_skinFiles; }

    // Event filter installed on every control (WindowImplBase translates events into messages).
    void SetEventFilter(QObject* filter) { m_filter = filter; }
    QObject* EventFilter() const { return m_filter; }

private:
    QPointer<QWidget> m_window;  // may go before the manager
    QString m_name;
    QPointer<CControlUI> m_root;
    QHash<QString, QPointer<CControlUI>> m_names;
    QHash<QString, std::vector<QPointer<COptionUI>>> m_groups;
    QMap<int, FontInfo> m_fonts;
    int m_defaultFont = -1;
    QHash<QString, QString> m_defaults;
    QSize m_initSize{400, 300}, m_minInfo, m_maxInfo, m_roundCorner;
    QColor m_focusColor;
    QPointer<QWidget> m_focusScope;
    QMargins m_caption;
    std::vector<INotifyUI*> m_notifiers;
    QStringList m_skinFiles;
    QPointer<QObject> m_filter;
    std::map<std::pair<CControlUI*, int>, QPointer<QTimer>> m_timers;
};

class CDialogBuilder {
public:
    // Builds the controls of a skin file (resolved with CPaintManagerUI::ResolveFile) under
    // parent; applies the Window element's settings, fonts and defaults to manager. Returns the
    // root control or null when the file cannot be read.
    CControlUI* Create(const QString& skinFile, IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                       QWidget* parent = nullptr);
    CControlUI* Create(const CMarkup& markup, IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                       QWidget* parent = nullptr);
    // The same for a skin file its caller has already read into markup.
    CControlUI* Create(const QString& skinFile, const CMarkup& markup, IDialogBuilderCallback* callback,
                       CPaintManagerUI* manager, QWidget* parent = nullptr);
    // Re-applies the looks of a skin file to the existing controls of manager, matched by name:
    // colours, images, fonts and sizes change; texts, selections, values and visibility stay.
    static bool ApplyStyle(const QString& skinFile, CPaintManagerUI* manager);
    // The same for one copy of a template file (a list row, a tree node) built as root: names
    // are matched inside root only, and only what the file in the new skin folder says other
    // than the one root was built from is set. Controls built from a template file by Create
    // are found and restyled this way by CPaintManagerUI::ReloadSkin.
    static bool ApplyTemplateStyle(const QString& skinFile, CControlUI* root, CPaintManagerUI* manager);
    // Control classes the builder knows ("Button", "VerticalLayout", ...).
    static CControlUI* CreateKnownControl(const QString& className);
    // Builds the skin file of an Include under parent, as deep in the include chain as depth
    // (a deferred include builds its file long after the builder that met it has gone).
    // Returns the last control built, or null.
    CControlUI* CreateInclude(const QString& source, int count, CControlUI* parent,
                              IDialogBuilderCallback* callback, CPaintManagerUI* manager, int depth);
    const QString& LastError() const { return m_error; }

private:
    CControlUI* Parse(const MarkupNode& node, CControlUI* parent, IDialogBuilderCallback* callback,
                      CPaintManagerUI* manager);
    void ApplyWindowElement(const MarkupNode& window, CPaintManagerUI* manager);
    static void AttachToParent(CControlUI* control, CControlUI* parent, CPaintManagerUI* manager);
    CControlUI* IncludeFile(const QString& source, int count, CControlUI* parent,
                            IDialogBuilderCallback* callback, CPaintManagerUI* manager);
    QString m_error;
    int m_includeDepth = 0;
};

class CResourceManager {
public:
    static CResourceManager& GetInstance();
    void SetTextQueryInterface(IQueryControlText* query) { m_query = query; }
    IQueryControlText* GetTextQueryInterface() const { return m_query; }
    // Re-applies language texts to the named controls of every window.
    void ReloadText();
    // Applies language texts to the named controls of one window (or of one part of it:
    // subtree and the controls it holds).
    void ApplyText(CPaintManagerUI* manager, CControlUI* subtree = nullptr);

private:
    IQueryControlText* m_query = nullptr;
};

// The process-wide resource prefix: "./" + the current skin folder name.
QString GetResourcePrefix();
void SetResourcePrefix(const QString& prefix);

}  // namespace zor::ui
