// CMenuWnd turns a menu skin file into a QMenu; CTrayIcon puts the window's icon into the
// desktop's notification area and reports its clicks as the tray message.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include "ui/Messages.h"

class QMenu;
class QSystemTrayIcon;

namespace zor::ui {

class CControlUI;
class WindowImplBase;

// Menu skin: <Menu bkcolor=".." textcolor=".." hotbkcolor=".." font=".."> with <MenuElement
// name=".." text=".." /> items (nested elements make a submenu; line="true" a separator).
// A click either notifies the owner window with "MyMenuClick" (sender: the control that opened
// the menu, sText: the item's name) or posts the menu message 1027 with the name as payload.
class CMenuWnd : public QObject {
    Q_OBJECT
public:
    enum class Report { Notify, Message };
    static CMenuWnd* CreateMenu(WindowImplBase* owner, const QString& skinFile, const QPoint& globalPos,
                                CControlUI* opener = nullptr, Report report = Report::Notify,
                                bool show = true);
    ~CMenuWnd() override;
    QMenu* Menu() const { return m_menu; }
    // Item names in menu order (separators left out).
    QStringList ItemNames() const;
    bool TriggerItem(const QString& name);
    void Close();

private:
    CMenuWnd(WindowImplBase* owner, CControlUI* opener, Report report);
    void ItemClicked(const QString& name);
    QPointer<WindowImplBase> m_owner;
    QPointer<CControlUI> m_opener;
    Report m_report;
    QMenu* m_menu = nullptr;
};

// The program's icon for its windows and the tray, drawn from an SVG file at the sizes window
// managers and notification areas ask for. An icon left to draw itself from the SVG is drawn by
// the window system's code at every size up to 256 pixels and kept in the picture cache for the
// program's life; these few pictures cost a tenth of that. Empty when the file cannot be drawn.
QIcon ProgramIcon(const QString& svgFile);

class CTrayIcon : public QObject {
    Q_OBJECT
public:
    CTrayIcon();
    ~CTrayIcon() override;
    // Whether the desktop shows a notification area at all (the shell says so to the user).
    static bool IsAvailable();
    // Clicks reach receiver as message (lParam: 514 click, 515 double click, 517 context).
    bool CreateTrayIcon(QObject* receiver, const QIcon& icon, const QString& tooltip,
                        unsigned message = kMsgTrayIcon);
    void DeleteTrayIcon();
    bool SetTooltipText(const QString& text);
    QString GetTooltipText() const { return m_tooltip; }
    bool IsCreated() const { return m_icon != nullptr; }
    bool IsVisible() const;
    QSystemTrayIcon* Icon() const { return m_icon; }

private:
    QSystemTrayIcon* m_icon = nullptr;
    QPointer<QObject> m_receiver;
    unsigned m_message = kMsgTrayIcon;
    QString m_tooltip;
};

}  // namespace zor::ui
