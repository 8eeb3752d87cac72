#pragma once
// The tray icon as a StatusNotifierItem on the session bus: how KDE Plasma,
// GNOME (AppIndicator extension) and Xfce show tray icons. The item carries
// the whole icon set, the tip and the menu (through DBusMenuExporter), and
// registers with the desktop's org.kde.StatusNotifierWatcher; register()
// again when a new watcher has appeared (the panel restarted).
//
// The interface is gui/dbus/org.kde.StatusNotifierItem.xml; the adaptor
// generated from it reads the properties below and calls the methods below.

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusObjectPath>

#include "core/tray/TrayIconFolder.h"
#include "gui/DBusTypes.h"

class QMenu;
class StatusNotifierWatcherProxy;

namespace zelvant {

class DBusMenuExporter;

class StatusNotifierItem : public QObject
{
    Q_OBJECT
    // What hosts read. The interface's other properties (the overlay and
    // attention pictures, WindowId) are not declared: the adaptor reads them
    // as empty, which is what this item has of them. Hosts that take a named
    // icon find it in IconThemePath at the exact size they draw; the others
    // pick from IconPixmap.
    Q_PROPERTY(QString Category READ category CONSTANT)
    Q_PROPERTY(QString Id READ id CONSTANT)
    Q_PROPERTY(QString Title READ id CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu CONSTANT)
    Q_PROPERTY(QString IconName READ iconName NOTIFY NewIcon)
    Q_PROPERTY(QString IconThemePath READ iconThemePath NOTIFY NewIcon)
    Q_PROPERTY(zelvant::SniIconPixmapList IconPixmap READ iconPixmap NOTIFY NewIcon)
    Q_PROPERTY(zelvant::SniToolTip ToolTip READ dbusToolTip NOTIFY NewToolTip)
    Q_PROPERTY(QDBusObjectPath Menu READ menuPath CONSTANT)
public:
    // iconFolder empty: the user's runtime folder.
    explicit StatusNotifierItem(const QDBusConnection &bus, QObject *parent = nullptr,
                                const QString &iconFolder = QString());
    ~StatusNotifierItem() override;

    // Exports the item under its own bus name on first use, then asks the
    // watcher to show it; registered() or failed() follows.
    void registerWithWatcher();
    QString serviceName() const { return m_serviceName; }

    void setIcons(const QList<QImage> &icons);
    void setToolTip(const QString &tip);
    void setMenu(QMenu *menu);

    const QList<QImage> &icons() const { return m_icons; }
    const QString &toolTip() const { return m_toolTip; }
    QMenu *menu() const { return m_menu; }

    // org.kde.StatusNotifierItem, as the generated adaptor calls it.
    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const;
    QString status() const { return QStringLiteral("Active"); }
    bool itemIsMenu() const { return false; }
    QString iconName() const { return m_iconFolder.iconName(); }
    QString iconThemePath() const;
    SniIconPixmapList iconPixmap() const;
    SniToolTip dbusToolTip() const;
    QDBusObjectPath menuPath() const;
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString &orientation);

Q_SIGNALS:
    void registered();
    void failed();
    void activated();          // "Activate": a left click
    void secondaryActivated(); // "SecondaryActivate": a middle click
    // Relayed to the bus by the adaptor.
    void NewIcon();
    void NewToolTip();

private:
    bool exportOnBus();

    QDBusConnection m_bus;
    QString m_serviceName;
    bool m_exported = false;
    QList<QImage> m_icons;
    TrayIconFolder m_iconFolder;
    QString m_toolTip;
    QMenu *m_menu = nullptr;
    DBusMenuExporter *m_menuExporter = nullptr;
    StatusNotifierWatcherProxy *m_watcher = nullptr;
};

} // namespace zelvant
