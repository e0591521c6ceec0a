#include "ui/MenuTray.h"

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QSystemTrayIcon>

#include "ui/WindowImplBase.h"

namespace zor::ui {

QIcon ProgramIcon(const QString& svgFile) {
    QSvgRenderer drawing(svgFile);
    if (!drawing.isValid()) return {};
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

// ---------------------------------------------------------------- CMenuWnd

CMenuWnd::CMenuWnd(WindowImplBase* owner, CControlUI* opener, Report report)
    : QObject(owner), m_owner(owner), m_opener(opener), m_report(report) {}

CMenuWnd::~CMenuWnd() {
    delete m_menu;
}

static QString MenuStyle(const MarkupNode& root) {
    const QColor bk = ParseColor(root.Attribute(QStringLiteral("bkcolor"), QStringLiteral("#FFFFFF")));
    const QColor fg = ParseColor(root.Attribute(QStringLiteral("textcolor"), QStringLiteral("#202020")));
    const QColor hot = ParseColor(root.Attribute(QStringLiteral("hotbkcolor"), QStringLiteral("#E0E6F0")));
    const QColor hotText = ParseColor(root.Attribute(QStringLiteral("hottextcolor"), fg.name()));
    const QColor border = ParseColor(root.Attribute(QStringLiteral("bordercolor"), hot.name()));
    return QStringLiteral(
               "QMenu{background:%1;color:%2;border:1px solid %5;border-radius:6px;padding:4px}"
               "QMenu::item{padding:6px 24px 6px 16px;border-radius:4px}"
               "QMenu::item:selected{background:%3;color:%4}"
               "QMenu::separator{height:1px;background:%5;margin:4px 8px}")
        .arg(bk.name(), fg.name(), hot.name(), hotText.name(), border.name());
}

static void AddItems(QMenu* menu, const MarkupNode& node, CMenuWnd* owner,
                     const std::function<void(const QString&)>& clicked) {
    IQueryControlText* query = CResourceManager::GetInstance().GetTextQueryInterface();
    for (const MarkupNode& child : node.children) {
        if (child.name.compare(QLatin1String("MenuElement"), Qt::CaseInsensitive) != 0) continue;
        if (ParseBool(child.Attribute(QStringLiteral("line")))) {
            menu->addSeparator();
            continue;
        }
        const QString name = child.Attribute(QStringLiteral("name"));
        QString text = query && !name.isEmpty()
                           ? query->QueryControlText(name, QStringLiteral("MenuElementUI"))
                           : QString();
        if (text.isEmpty()) text = child.Attribute(QStringLiteral("text"), name);
        if (!child.children.empty()) {
            QMenu* sub = menu->addMenu(text);
            sub->setObjectName(name);
            AddItems(sub, child, owner, clicked);
            continue;
        }
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setEnabled(child.Attribute(QStringLiteral("enabled"), QStringLiteral("true")) !=
                           QLatin1String("false"));
        QObject::connect(action, &QAction::triggered, owner, [clicked, name] { clicked(name); });
    }
}

CMenuWnd* CMenuWnd::CreateMenu(WindowImplBase* owner, const QString& skinFile, const QPoint& globalPos,
                               CControlUI* opener, Report report, bool show) {
    CMarkup markup;
    if (!markup.LoadFromFile(CPaintManagerUI::ResolveFile(skinFile))) return nullptr;
    auto* wnd = new CMenuWnd(owner, opener, report);
    wnd->m_menu = new QMenu(owner);
    wnd->m_menu->setObjectName(QStringLiteral("menu"));
    wnd->m_menu->setStyleSheet(MenuStyle(markup.Root()));
    // Rounded corners need a see-through window behind them.
    wnd->m_menu->setWindowFlags(wnd->m_menu->windowFlags() | Qt::FramelessWindowHint |
                                Qt::NoDropShadowWindowHint);
    wnd->m_menu->setAttribute(Qt::WA_TranslucentBackground);
    if (owner) {
        QFont f = owner->PaintManager().GetFont(
            markup.Root().Attribute(QStringLiteral("font"), QStringLiteral("-1")).toInt());
        wnd->m_menu->setFont(f);
    }
    AddItems(wnd->m_menu, markup.Root(), wnd, [wnd](const QString& name) { wnd->ItemClicked(name); });
    if (show) wnd->m_menu->popup(globalPos);
    return wnd;
}

QStringList CMenuWnd::ItemNames() const {
    QStringList names;
    if (!m_menu) return names;
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            if (action->menu())
                walk(action->menu());
            else
                names << action->objectName();
        }
    };
    walk(m_menu);
    return names;
}

bool CMenuWnd::TriggerItem(const QString& name) {
    if (!m_menu) return false;
    QAction* action = m_menu->findChild<QAction*>(name);
    if (!action || !action->isEnabled()) return false;
    action->trigger();
    return true;
}

void CMenuWnd::ItemClicked(const QString& name) {
    if (!m_owner) return;
    if (m_report == Report::Message) {
        PostMessageTo(m_owner, kMsgMenuClick, 1, 0, name);
    } else {
        TNotifyUI msg;
        msg.sType = QStringLiteral("MyMenuClick");
        msg.pSender = m_opener;
        msg.sText = name;
        msg.payload = name;
        m_owner->PaintManager().SendNotify(msg);
    }
}

void CMenuWnd::Close() {
    if (m_menu) m_menu->close();
    deleteLater();
}

// ---------------------------------------------------------------- CTrayIcon

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon() {
    DeleteTrayIcon();
}

bool CTrayIcon::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool CTrayIcon::CreateTrayIcon(QObject* receiver, const QIcon& icon, const QString& tooltip,
                               unsigned message) {
    DeleteTrayIcon();
    m_receiver = receiver;
    m_message = message;
    m_tooltip = tooltip;
    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setToolTip(tooltip);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        qintptr mouse = 0;
        switch (reason) {
            case QSystemTrayIcon::Context:
                mouse = kWmRButtonUp;
                break;
            case QSystemTrayIcon::DoubleClick:
                mouse = kWmLButtonDblClk;
                break;
            case QSystemTrayIcon::Trigger:
            case QSystemTrayIcon::MiddleClick:
                mouse = kWmLButtonUp;
                break;
            default:
                return;
        }
        PostMessageTo(m_receiver, m_message, 0, mouse);
    });
    if (!IsAvailable()) return false;
    m_icon->show();
    return true;
}

void CTrayIcon::DeleteTrayIcon() {
    if (!m_icon) return;
    m_icon->hide();
    delete m_icon;
    m_icon = nullptr;
}

bool CTrayIcon::SetTooltipText(const QString& text) {
    m_tooltip = text;
    if (!m_icon) return false;
    m_icon->setToolTip(text);
    return true;
}

bool CTrayIcon::IsVisible() const {
    return m_icon && m_icon->isVisible();
}

}  // namespace zor::ui
