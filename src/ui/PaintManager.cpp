// Window registry, skin builder and text resources.
#include "ui/PaintManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMutex>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

#include "common/Debug.h"
#include "ui/CustomControls.h"
#include "ui/LazyInclude.h"

namespace zor::ui {

namespace {

struct Paths {
    QMutex mutex;
    QString instance;
    QString resource;
    QHash<QString, QString> resolved;
    QString prefix;
};

Paths& GlobalPaths() {
    static Paths paths;
    return paths;
}

constexpr int kMaxIncludeCount = 64;
constexpr const char* kTemplateProperty = "zorTemplateFile";      // as the skin names it
constexpr const char* kTemplatePathProperty = "zorTemplatePath";  // the file it was built from
constexpr const char* kDefaultStyleProperty = "zorDefaultStyle";  // see ApplyDefaultStyle

std::vector<CPaintManagerUI*>& ManagerList() {
    static std::vector<CPaintManagerUI*> list;
    return list;
}

QString WithSlash(QString path) {
    if (!path.isEmpty() && !path.endsWith('/')) path += '/';
    return path;
}

}  // namespace

QString GetResourcePrefix() {
    QMutexLocker lock(&GlobalPaths().mutex);
    return GlobalPaths().prefix;
}

void SetResourcePrefix(const QString& prefix) {
    QMutexLocker lock(&GlobalPaths().mutex);
    GlobalPaths().prefix = prefix;
}

// ---------------------------------------------------------------- CPaintManagerUI

CPaintManagerUI::CPaintManagerUI() {
    ManagerList().push_back(this);
}

CPaintManagerUI::~CPaintManagerUI() {
    // Controls that outlive their manager (destroyed later with their widget parent) must not
    // reach back into it: the root's tree, and also controls of the window outside it (a skin
    // with more than one top-level control) and any control still registered by name or group.
    std::vector<CControlUI*> controls = AllControls();
    if (m_window) {
        const auto children = m_window->findChildren<CControlUI*>();
        controls.insert(controls.end(), children.begin(), children.end());
    }
    for (const auto& options : std::as_const(m_groups))
        for (const QPointer<COptionUI>& option : options)
            if (option) controls.push_back(option.data());
    for (const QPointer<CControlUI>& named : std::as_const(m_names))
        if (named) controls.push_back(named.data());
    for (CControlUI* control : controls)
        if (control->GetManager() == this) control->SetManager(nullptr);
    auto& list = ManagerList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<CPaintManagerUI*>& CPaintManagerUI::Managers() {
    return ManagerList();
}

int CPaintManagerUI::MessageLoop() {
    return QCoreApplication::exec();
}

void CPaintManagerUI::SetInstancePath(const QString& path) {
    QMutexLocker lock(&GlobalPaths().mutex);
    GlobalPaths().instance = WithSlash(path);
    GlobalPaths().resolved.clear();
}

QString CPaintManagerUI::GetInstancePath() {
    QMutexLocker lock(&GlobalPaths().mutex);
    return GlobalPaths().instance;
}

void CPaintManagerUI::SetResourcePath(const QString& path) {
    QMutexLocker lock(&GlobalPaths().mutex);
    GlobalPaths().resource = WithSlash(path);
    GlobalPaths().resolved.clear();
}

QString CPaintManagerUI::GetResourcePath() {
    QMutexLocker lock(&GlobalPaths().mutex);
    return GlobalPaths().resource;
}

QString CPaintManagerUI::ResolveFile(const QString& file) {
    if (file.isEmpty()) return {};
    Paths& paths = GlobalPaths();
    QMutexLocker lock(&paths.mutex);
    if (auto it = paths.resolved.constFind(file); it != paths.resolved.constEnd()) return *it;
    QString found = file;
    if (QFileInfo(file).isAbsolute() || file.startsWith(QLatin1String("./"))) {
        found = file;
    } else if (!paths.resource.isEmpty() && QFileInfo::exists(paths.resource + file)) {
        found = paths.resource + file;
    } else if (!paths.instance.isEmpty() && QFileInfo::exists(paths.instance + file)) {
        found = paths.instance + file;
    }
    paths.resolved.insert(file, found);
    return found;
}

void CPaintManagerUI::ReloadSkin() {
    ClearImageCache();
    {
        QMutexLocker lock(&GlobalPaths().mutex);
        GlobalPaths().resolved.clear();
    }
    for (CPaintManagerUI* manager : std::vector<CPaintManagerUI*>(ManagerList())) {
        for (const QString& file : manager->SkinFiles()) CDialogBuilder::ApplyStyle(file, manager);
        for (CControlUI* control : manager->AllControls()) {
            if (const QString file = control->property(kTemplateProperty).toString(); !file.isEmpty())
                CDialogBuilder::ApplyTemplateStyle(file, control, manager);
            if (const QString style = control->property(kDefaultStyleProperty).toString(); !style.isEmpty())
                manager->ApplyDefaultStyle(control, style);
        }
        for (CControlUI* control : manager->AllControls()) control->update();
        if (manager->m_window) manager->m_window->update();
    }
}

QRect CPaintManagerUI::CaptionArea(const QSize& size) const {
    if (m_caption.isNull()) return {};
    const int bottom = m_caption.bottom() < 0 ? size.height() : m_caption.bottom();
    return QRect(QPoint(m_caption.left(), m_caption.top()),
                 QPoint(size.width() - m_caption.right() - 1, bottom - 1));
}

void CPaintManagerUI::Init(QWidget* window, const QString& name) {
    m_window = window;
    m_name = name;
}

void CPaintManagerUI::AttachDialog(CControlUI* root) {
    m_root = root;
    if (root) InitControl(root);
}

void CPaintManagerUI::InitControl(CControlUI* control) {
    if (!control) return;
    control->SetManager(this);
    const QString name = control->objectName();
    if (!name.isEmpty() && (!m_names.contains(name) || m_names.value(name).isNull()))
        m_names.insert(name, control);
    control->setMouseTracking(true);
    if (m_filter) control->installEventFilter(m_filter);
}

void CPaintManagerUI::ReapName(CControlUI* control, const QString& oldName) {
    if (!oldName.isEmpty() && m_names.value(oldName) == control) m_names.remove(oldName);
    const QString name = control->objectName();
    if (!name.isEmpty() && (!m_names.contains(name) || m_names.value(name).isNull()))
        m_names.insert(name, control);
}

CControlUI* CPaintManagerUI::FindControl(const QString& name) const {
    auto it = m_names.constFind(name);
    if (it != m_names.constEnd() && *it) return it->data();
    // Controls built after a same-named control was removed, or renamed ones.
    if (!m_root) return nullptr;
    if (m_root->objectName() == name) return m_root;
    return m_root->findChild<CControlUI*>(name);
}

CControlUI* CPaintManagerUI::FindControl(const QPoint& windowPoint) const {
    if (!m_window) return nullptr;
    for (QWidget* w = m_window->childAt(windowPoint); w; w = w->parentWidget())
        if (auto* control = qobject_cast<CControlUI*>(w)) return control;
    return nullptr;
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, const QString& name) const {
    if (!parent) return nullptr;
    if (parent->objectName() == name) return parent;
    return parent->findChild<CControlUI*>(name);
}

std::vector<CControlUI*> CPaintManagerUI::AllControls() const {
    std::vector<CControlUI*> out;
    if (!m_root) return out;
    out.push_back(m_root);
    const auto children = m_root->findChildren<CControlUI*>();
    out.insert(out.end(), children.begin(), children.end());
    return out;
}

bool CPaintManagerUI::SetTimer(CControlUI* control, int id, int periodMs) {
    if (!control || periodMs <= 0) return false;
    KillTimer(control, id);
    auto* timer = new QTimer(control);
    timer->setInterval(periodMs);
    QObject::connect(timer, &QTimer::timeout, control,
                     [this, control, id] { SendNotify(control, QStringLiteral("timer"), id); });
    timer->start();
    m_timers[{control, id}] = timer;
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, int id) {
    auto it = m_timers.find({control, id});
    if (it == m_timers.end()) return false;
    const bool running = !it->second.isNull();
    delete it->second.data();
    m_timers.erase(it);
    return running;
}

void CPaintManagerUI::AddOptionGroup(const QString& group, COptionUI* option) {
    auto& list = m_groups[group];
    if (std::find(list.begin(), list.end(), option) == list.end()) list.emplace_back(option);
}

void CPaintManagerUI::RemoveOptionGroup(const QString& group, COptionUI* option) {
    auto it = m_groups.find(group);
    if (it == m_groups.end()) return;
    auto& list = *it;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const QPointer<COptionUI>& p) { return p.isNull() || p == option; }),
               list.end());
}

std::vector<COptionUI*> CPaintManagerUI::GetOptionGroup(const QString& group) const {
    std::vector<COptionUI*> out;
    for (const auto& p : m_groups.value(group))
        if (p) out.push_back(p);
    return out;
}

void CPaintManagerUI::AddFont(int id, const QString& name, int size, bool bold, bool underline, bool italic,
                              bool isDefault) {
    FontInfo info;
    info.name = name;
    info.size = size > 0 ? size : 12;
    info.bold = bold;
    info.underline = underline;
    info.italic = italic;
    m_fonts.insert(id, info);
    if (isDefault || m_defaultFont < 0) m_defaultFont = isDefault ? id : m_defaultFont;
    RebuildFont(id);
}

FontInfo* CPaintManagerUI::GetFontInfo(int id) {
    auto it = m_fonts.find(id);
    return it == m_fonts.end() ? nullptr : &*it;
}

QFont CPaintManagerUI::GetFont(int id) const {
    if (auto it = m_fonts.constFind(id); it != m_fonts.constEnd()) return it->font;
    if (auto it = m_fonts.constFind(m_defaultFont); it != m_fonts.constEnd()) return it->font;
    QFont f = QGuiApplication::font();
    f.setPixelSize(12);
    return f;
}

void CPaintManagerUI::RebuildFont(int id) {
    FontInfo* info = GetFontInfo(id);
    if (!info) return;
    QFont f(info->name);
    f.setPixelSize(info->size);
    f.setBold(info->bold);
    f.setUnderline(info->underline);
    f.setItalic(info->italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    info->font = f;
    for (CControlUI* control : AllControls())
        if (control->GetFont() == id || (id == m_defaultFont && !m_fonts.contains(control->GetFont())))
            control->OnFontRebuilt();
}

void CPaintManagerUI::SetDefaultFontName(const QString& name) {
    for (auto it = m_fonts.begin(); it != m_fonts.end(); ++it) {
        it->name = name;
        RebuildFont(it.key());
    }
}

void CPaintManagerUI::AddDefaultAttributeList(const QString& controlClass, const QString& list) {
    m_defaults.insert(controlClass.toLower(), list);
}

QString CPaintManagerUI::GetDefaultAttributeList(const QString& controlClass) const {
    return m_defaults.value(controlClass.toLower());
}

void CPaintManagerUI::ApplyDefaultStyle(CControlUI* control, const QString& styleName) {
    if (!control) return;
    control->ApplyAttributeList(GetDefaultAttributeList(styleName));
    control->setProperty(kDefaultStyleProperty, styleName);
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) == m_notifiers.end())
        m_notifiers.push_back(notifier);
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    m_notifiers.erase(std::remove(m_notifiers.begin(), m_notifiers.end(), notifier), m_notifiers.end());
}

void CPaintManagerUI::SendNotify(CControlUI* control, const QString& type, qintptr wParam, qintptr lParam,
                                 bool async, const QVariant& payload) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.payload = payload;
    SendNotify(msg, async);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool async) {
    if (async) {
        QPointer<CControlUI> sender(msg.pSender);
        const bool hadSender = msg.pSender != nullptr;
        TNotifyUI copy = msg;
        QObject* context = m_window ? static_cast<QObject*>(m_window) : static_cast<QObject*>(m_root.data());
        if (!context) return;
        QTimer::singleShot(0, context, [this, copy, sender, hadSender]() mutable {
            if (hadSender && !sender) return;
            SendNotify(copy, false);
        });
        return;
    }
    for (INotifyUI* notifier : std::vector<INotifyUI*>(m_notifiers)) {
        if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) == m_notifiers.end()) continue;
        notifier->Notify(msg);
    }
}

// ---------------------------------------------------------------- CDialogBuilder

CControlUI* CDialogBuilder::CreateKnownControl(const QString& cls) {
    const QString c = cls.toLower();
    if (c == QLatin1String("control")) return new CControlUI;
    if (c == QLatin1String("container")) return new CContainerUI;
    if (c == QLatin1String("verticallayout")) return new CVerticalLayoutUI;
    if (c == QLatin1String("horizontallayout")) return new CHorizontalLayoutUI;
    if (c == QLatin1String("tablayout")) return new CTabLayoutUI;
    if (c == QLatin1String("button")) return new CButtonUI;
    if (c == QLatin1String("option")) return new COptionUI;
    if (c == QLatin1String("checkbox")) return new CCheckBoxUI;
    if (c == QLatin1String("label")) return new CLabelUI;
    if (c == QLatin1String("text")) return new CTextUI;
    if (c == QLatin1String("edit")) return new CEditUI;
    if (c == QLatin1String("slider")) return new CSliderUI;
    if (c == QLatin1String("progress")) return new CProgressUI;
    if (c == QLatin1String("combo")) return new CComboUI;
    if (c == QLatin1String("list")) return new CListUI;
    if (c == QLatin1String("listcontainerelement")) return new CListContainerElementUI;
    if (c == QLatin1String("treeview")) return new CTreeViewUI;
    if (c == QLatin1String("colorpalette")) return new CColorPaletteUI;
    if (c == QLatin1String("gif")) return new CGifUI;
    return nullptr;
}

CControlUI* CDialogBuilder::Create(const QString& skinFile, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, QWidget* parent) {
    CMarkup markup;
    const QString path = CPaintManagerUI::ResolveFile(skinFile);
    if (!markup.LoadFromFile(path)) {
        m_error = skinFile + QStringLiteral(": ") + markup.LastError();
        DebugF("skin file %s: %s\n", path.toStdString(), markup.LastError().toStdString());
        return nullptr;
    }
    return Create(skinFile, markup, callback, manager, parent);
}

CControlUI* CDialogBuilder::Create(const QString& skinFile, const CMarkup& markup,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   QWidget* parent) {
    const bool window = markup.Root().name.compare(QLatin1String("Window"), Qt::CaseInsensitive) == 0;
    if (window && manager) manager->AddSkinFile(skinFile);
    CControlUI* root = Create(markup, callback, manager, parent);
    // A part built from a template (a list row, a tree node) remembers its file, so a skin
    // switch restyles it from the same file in the new skin folder.
    if (root && !window) {
        root->setProperty(kTemplateProperty, skinFile);
        root->setProperty(kTemplatePathProperty, CPaintManagerUI::ResolveFile(skinFile));
    }
    return root;
}

CControlUI* CDialogBuilder::Create(const CMarkup& markup, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, QWidget* parent) {
    if (!markup.IsValid()) return nullptr;
    const CContainerUI::LayoutHold hold;
    const MarkupNode& root = markup.Root();
    CControlUI* first = nullptr;
    if (root.name.compare(QLatin1String("Window"), Qt::CaseInsensitive) == 0) {
        if (manager) ApplyWindowElement(root, manager);
        for (const MarkupNode& child : root.children) {
            const QString n = child.name.toLower();
            if (n == QLatin1String("font") || n == QLatin1String("default") || n == QLatin1String("image"))
                continue;
            CControlUI* control = Parse(child, nullptr, callback, manager);
            if (!control) continue;
            if (parent) control->setParent(parent);
            if (!first) first = control;
        }
    } else {
        first = Parse(root, nullptr, callback, manager);
        if (first && parent) first->setParent(parent);
    }
    return first;
}

void CDialogBuilder::ApplyWindowElement(const MarkupNode& window, CPaintManagerUI* manager) {
    for (const auto& [key, value] : window.attributes) {
        const QString k = key.toLower();
        if (k == QLatin1String("size"))
            manager->SetInitSize(ParseSize(value));
        else if (k == QLatin1String("caption"))
            manager->SetCaptionRect(ParseMargins(value));
        else if (k == QLatin1String("mininfo"))
            manager->SetMinInfo(ParseSize(value));
        else if (k == QLatin1String("maxinfo"))
            manager->SetMaxInfo(ParseSize(value));
        else if (k == QLatin1String("roundcorner"))
            manager->SetRoundCorner(ParseSize(value));
        else if (k == QLatin1String("focuscolor"))
            manager->SetFocusColor(ParseColor(value));
    }
    for (const MarkupNode& child : window.children) {
        const QString n = child.name.toLower();
        if (n == QLatin1String("font")) {
            manager->AddFont(child.Attribute(QStringLiteral("id"), QStringLiteral("-1")).toInt(),
                             child.Attribute(QStringLiteral("name")),
                             child.Attribute(QStringLiteral("size"), QStringLiteral("12")).toInt(),
                             ParseBool(child.Attribute(QStringLiteral("bold"))),
                             ParseBool(child.Attribute(QStringLiteral("underline"))),
                             ParseBool(child.Attribute(QStringLiteral("italic"))),
                             ParseBool(child.Attribute(QStringLiteral("default"))));
        } else if (n == QLatin1String("default")) {
            manager->AddDefaultAttributeList(child.Attribute(QStringLiteral("name")),
                                             child.Attribute(QStringLiteral("value")));
        }
    }
}

CControlUI* CDialogBuilder::Parse(const MarkupNode& node, CControlUI* parent,
                                  IDialogBuilderCallback* callback, CPaintManagerUI* manager) {
    const QString cls = node.name;
    if (cls.compare(QLatin1String("Include"), Qt::CaseInsensitive) == 0) {
        const QString source = node.Attribute(QStringLiteral("source"));
        if (ParseBool(node.Attribute(QStringLiteral("lazy")))) {
            // Stands in for the included file until it is first shown.
            auto* page = new CLazyIncludeUI;
            page->SetManager(manager);
            if (parent) page->setParent(parent);
            page->SetSource(source, m_includeDepth + 1);
            for (const auto& [key, value] : node.attributes) {
                const QString k = key.toLower();
                if (k != QLatin1String("source") && k != QLatin1String("lazy") && k != QLatin1String("count"))
                    page->SetAttribute(key, value);
            }
            AttachToParent(page, parent, manager);
            return page;
        }
        const int count = node.Attribute(QStringLiteral("count"), QStringLiteral("1")).toInt();
        ++m_includeDepth;
        CControlUI* last = IncludeFile(source, count, parent, callback, manager);
        --m_includeDepth;
        return last;
    }
    if (auto* combo = qobject_cast<CComboUI*>(parent);
        combo && (cls.compare(QLatin1String("Item"), Qt::CaseInsensitive) == 0 ||
                  cls.compare(QLatin1String("ListLabelElement"), Qt::CaseInsensitive) == 0)) {
        const int index = combo->AddItem(node.Attribute(QStringLiteral("text")),
                                         node.Attribute(QStringLiteral("userdata")));
        if (ParseBool(node.Attribute(QStringLiteral("selected")))) combo->SelectItem(index, false);
        return nullptr;
    }
    CControlUI* control = CreateKnownControl(cls);
    if (!control && callback) control = callback->CreateControl(cls);
    if (!control) {
        DebugF("skin: unknown control class %s\n", cls.toStdString());
        return nullptr;
    }
    control->SetManager(manager);
    if (parent) control->setParent(parent);
    if (manager) {
        const QString defaults = manager->GetDefaultAttributeList(cls);
        if (!defaults.isEmpty()) control->ApplyAttributeList(defaults);
    }
    for (const auto& [key, value] : node.attributes) control->SetAttribute(key, value);
    AttachToParent(control, parent, manager);
    for (const MarkupNode& child : node.children) Parse(child, control, callback, manager);
    return control;
}

void CDialogBuilder::AttachToParent(CControlUI* control, CControlUI* parent, CPaintManagerUI* manager) {
    if (parent && control->parentWidget() != parent) control->setParent(parent);
    if (auto* container = qobject_cast<CContainerUI*>(parent))
        container->Add(control);
    else if (auto* other = dynamic_cast<IContainerUI*>(parent))
        other->Add(control);
    if (manager) manager->InitControl(control);
}

// m_includeDepth counts the includes around the file being built (this one included).
CControlUI* CDialogBuilder::IncludeFile(const QString& source, int count, CControlUI* parent,
                                        IDialogBuilderCallback* callback, CPaintManagerUI* manager) {
    // Includes may not nest without end (a file including itself).
    if (m_includeDepth > 8) {
        DebugF("skin include too deep: %s\n", source.toStdString());
        return nullptr;
    }
    CMarkup sub;
    if (!sub.LoadFromFile(CPaintManagerUI::ResolveFile(source))) {
        DebugF("skin include %s: %s\n", source.toStdString(), sub.LastError().toStdString());
        return nullptr;
    }
    // A skin asks for a few copies; a huge count would stall the program.
    count = std::clamp(count, 1, kMaxIncludeCount);
    CControlUI* last = nullptr;
    for (int i = 0; i < count; ++i) {
        const MarkupNode& root = sub.Root();
        if (root.name.compare(QLatin1String("Window"), Qt::CaseInsensitive) == 0) {
            for (const MarkupNode& child : root.children)
                if (CreateKnownControl(child.name) ||
                    child.name.compare(QLatin1String("Include"), Qt::CaseInsensitive) == 0 || callback)
                    if (CControlUI* c = Parse(child, parent, callback, manager)) last = c;
        } else if (CControlUI* c = Parse(root, parent, callback, manager)) {
            last = c;
        }
    }
    return last;
}

CControlUI* CDialogBuilder::CreateInclude(const QString& source, int count, CControlUI* parent,
                                          IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                          int depth) {
    const CContainerUI::LayoutHold hold;
    m_includeDepth = depth;
    CControlUI* last = IncludeFile(source, count, parent, callback, manager);
    m_includeDepth = 0;
    return last;
}

namespace {

bool IsStateAttribute(const QString& key) {
    static const QStringList kState = {"name",    "text",    "selected", "checked", "value",
                                       "visible", "enabled", "items",    "cursel",  "selectedid",
                                       "group",   "pos",     "float"};
    return kState.contains(key.toLower());
}

void ApplyNodeStyle(const MarkupNode& node, CControlUI* control, CPaintManagerUI* manager) {
    const QString defaults = manager->GetDefaultAttributeList(node.name);
    static const QRegularExpression kPair(QStringLiteral("([\\w]+)\\s*=\\s*\"([^\"]*)\""));
    for (auto it = kPair.globalMatch(defaults); it.hasNext();) {
        const auto m = it.next();
        if (!IsStateAttribute(m.captured(1))) control->SetAttribute(m.captured(1), m.captured(2));
    }
    for (const auto& [key, value] : node.attributes)
        if (!IsStateAttribute(key)) control->SetAttribute(key, value);
}

void ApplyTreeStyle(const MarkupNode& node, CControlUI* control, CPaintManagerUI* manager, int depth,
                    CControlUI* scope);

// The control elements an included file puts in place of its Include.
std::vector<const MarkupNode*> IncludedNodes(const CMarkup& markup) {
    std::vector<const MarkupNode*> out;
    const MarkupNode& root = markup.Root();
    if (root.name.compare(QLatin1String("Window"), Qt::CaseInsensitive) != 0) {
        out.push_back(&root);
        return out;
    }
    for (const MarkupNode& child : root.children) {
        const QString n = child.name.toLower();
        if (n != QLatin1String("font") && n != QLatin1String("default") && n != QLatin1String("image"))
            out.push_back(&child);
    }
    return out;
}

// Walks the children of a skin node alongside the items of container, from item index on: the
// n-th control element belongs to the n-th item; named elements are also matched by name. An
// Include is followed into its file, so included parts take the new looks too: an eager one's
// controls sit among the container's items, a lazy one's inside its stand-in once it is built
// (one not built yet is built later from the skin folder then in use). Returns the next index.
// Named elements are looked up under scope (a template's root, whose names repeat in every
// copy), or in the whole window without one.
int ApplyChildrenStyle(const std::vector<const MarkupNode*>& children, CControlUI* control, int index,
                       CPaintManagerUI* manager, int depth, CControlUI* scope) {
    auto* container = qobject_cast<CContainerUI*>(control);
    for (const MarkupNode* childPtr : children) {
        const MarkupNode& child = *childPtr;
        if (child.name.compare(QLatin1String("Item"), Qt::CaseInsensitive) == 0 ||
            child.name.compare(QLatin1String("ListLabelElement"), Qt::CaseInsensitive) == 0)
            continue;
        const QString name = child.Attribute(QStringLiteral("name"));
        if (child.name.compare(QLatin1String("Include"), Qt::CaseInsensitive) == 0) {
            CMarkup sub;
            // An include counts as eight levels, so includes nest no deeper than the builder
            // lets them (a file including itself ends here too).
            if (depth > 56 ||
                !sub.LoadFromFile(CPaintManagerUI::ResolveFile(child.Attribute(QStringLiteral("source"))))) {
                ++index;
                continue;
            }
            const std::vector<const MarkupNode*> included = IncludedNodes(sub);
            if (ParseBool(child.Attribute(QStringLiteral("lazy")))) {
                CControlUI* candidate = container ? container->GetItemAt(index) : nullptr;
                auto* part = qobject_cast<CLazyIncludeUI*>(candidate);
                if (!part || part->objectName() != name)
                    part = name.isEmpty() ? nullptr : manager->Find<CLazyIncludeUI>(name);
                if (part && part->IsBuilt()) ApplyChildrenStyle(included, part, 0, manager, depth + 8, scope);
                ++index;
            } else {
                const int count =
                    std::clamp(child.Attribute(QStringLiteral("count"), QStringLiteral("1")).toInt(), 1,
                               kMaxIncludeCount);
                for (int i = 0; i < count; ++i)
                    index = ApplyChildrenStyle(included, control, index, manager, depth + 8, scope);
            }
            continue;
        }
        CControlUI* match = nullptr;
        if (container) {
            CControlUI* candidate = container->GetItemAt(index);
            if (candidate && candidate->objectName() == name) match = candidate;
        }
        if (!match && !name.isEmpty())
            match = scope ? manager->FindSubControlByName(scope, name) : manager->FindControl(name);
        ++index;
        ApplyTreeStyle(child, match, manager, depth + 1, scope);
    }
    return index;
}

void ApplyTreeStyle(const MarkupNode& node, CControlUI* control, CPaintManagerUI* manager, int depth,
                    CControlUI* scope) {
    if (!control || depth > 64) return;
    ApplyNodeStyle(node, control, manager);
    std::vector<const MarkupNode*> children;
    for (const MarkupNode& child : node.children) children.push_back(&child);
    ApplyChildrenStyle(children, control, 0, manager, depth, scope);
}

}  // namespace

bool CDialogBuilder::ApplyStyle(const QString& skinFile, CPaintManagerUI* manager) {
    if (!manager) return false;
    CMarkup markup;
    if (!markup.LoadFromFile(CPaintManagerUI::ResolveFile(skinFile))) return false;
    const MarkupNode& root = markup.Root();
    if (root.name.compare(QLatin1String("Window"), Qt::CaseInsensitive) != 0) {
        ApplyTreeStyle(root, manager->FindControl(root.Attribute(QStringLiteral("name"))), manager, 0,
                       nullptr);
        return true;
    }
    for (const MarkupNode& child : root.children) {
        const QString n = child.name.toLower();
        if (n == QLatin1String("font")) {
            const int id = child.Attribute(QStringLiteral("id"), QStringLiteral("-1")).toInt();
            if (FontInfo* info = manager->GetFontInfo(id)) {
                info->size = child.Attribute(QStringLiteral("size"), QStringLiteral("12")).toInt();
                info->bold = ParseBool(child.Attribute(QStringLiteral("bold")));
                manager->RebuildFont(id);
            }
        } else if (n == QLatin1String("default")) {
            manager->AddDefaultAttributeList(child.Attribute(QStringLiteral("name")),
                                             child.Attribute(QStringLiteral("value")));
        }
    }
    for (const MarkupNode& child : root.children) {
        const QString n = child.name.toLower();
        if (n == QLatin1String("font") || n == QLatin1String("default") || n == QLatin1String("image"))
            continue;
        ApplyTreeStyle(child, manager->GetRoot(), manager, 0, nullptr);
        break;
    }
    return true;
}

namespace {

// Walks a template's new and old skin trees alongside one copy built from it: only attributes
// the new skin gives other values than the old one are set, so what the copy's owner changed
// since (a row's icon, a node's picture) and the skin leaves alone stays.
void ApplyTemplateTree(const MarkupNode& node, const MarkupNode* old, CControlUI* control, CControlUI* scope,
                       CPaintManagerUI* manager, int depth) {
    if (!control || depth > 64) return;
    static const QString kAbsent = QStringLiteral("\x01");  // no skin attribute has this value
    for (const auto& [key, value] : node.attributes)
        if (!IsStateAttribute(key) && (!old || old->Attribute(key, kAbsent) != value))
            control->SetAttribute(key, value);
    auto* container = qobject_cast<CContainerUI*>(control);
    int index = 0;
    for (std::size_t i = 0; i < node.children.size(); ++i) {
        const MarkupNode& child = node.children[i];
        const QString name = child.Attribute(QStringLiteral("name"));
        const MarkupNode* oldChild = old && i < old->children.size() && old->children[i].name == child.name &&
                                             old->children[i].Attribute(QStringLiteral("name")) == name
                                         ? &old->children[i]
                                         : nullptr;
        CControlUI* match = nullptr;
        if (container) {
            CControlUI* candidate = container->GetItemAt(index);
            if (candidate && candidate->objectName() == name) match = candidate;
        }
        if (!match && !name.isEmpty()) match = manager->FindSubControlByName(scope, name);
        ++index;
        ApplyTemplateTree(child, oldChild, match, scope, manager, depth + 1);
    }
}

}  // namespace

bool CDialogBuilder::ApplyTemplateStyle(const QString& skinFile, CControlUI* root, CPaintManagerUI* manager) {
    if (!manager || !root) return false;
    const QString builtFrom = root->property(kTemplatePathProperty).toString();
    const QString path = CPaintManagerUI::ResolveFile(skinFile);
    if (path == builtFrom) return true;
    CMarkup markup, old;
    if (!markup.LoadFromFile(path)) return false;
    const bool knowsOld = !builtFrom.isEmpty() && old.LoadFromFile(builtFrom);
    ApplyTemplateTree(markup.Root(), knowsOld ? &old.Root() : nullptr, root, root, manager, 0);
    root->setProperty(kTemplatePathProperty, path);
    return true;
}

// ---------------------------------------------------------------- CResourceManager

CResourceManager& CResourceManager::GetInstance() {
    static CResourceManager instance;
    return instance;
}

void CResourceManager::ReloadText() {
    for (CPaintManagerUI* manager : std::vector<CPaintManagerUI*>(CPaintManagerUI::Managers()))
        ApplyText(manager);
}

void CResourceManager::ApplyText(CPaintManagerUI* manager, CControlUI* subtree) {
    if (!m_query || !manager) return;
    std::vector<CControlUI*> controls;
    if (subtree) {
        controls.push_back(subtree);
        for (CControlUI* c : subtree->findChildren<CControlUI*>()) controls.push_back(c);
    } else {
        controls = manager->AllControls();
    }
    for (CControlUI* control : controls) {
        // A tooltip's text is found under the control's name with "_tip" appended.
        if (!control->toolTip().isEmpty() && !control->objectName().isEmpty()) {
            const QString tip = m_query->QueryControlText(control->objectName() + QStringLiteral("_tip"),
                                                          control->GetClass());
            if (!tip.isEmpty()) control->setToolTip(tip);
        }
        const QString id = control->GetTextId();
        if (id.isEmpty()) continue;
        const QString text = m_query->QueryControlText(id, control->GetClass());
        if (!text.isEmpty()) control->SetText(text);
    }
}

}  // namespace zor::ui
