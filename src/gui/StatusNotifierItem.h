#pragma once
// The tray icon as a StatusNotifierItem on the session bus: how KDE Plasma,
// GNOME (AppIndicator extension) and Xfce show tray icons. The item carries
// the whole icon set, the tip and the menu (through DBusMenuExporter), and
// registers with the desktop's org.kde.StatusNotifierWatcher; register()
// again when a new watcher has appeared (the panel restarted).

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QtDBus/QDBusConnection>

class QMenu;

namespace zelvant {

class DBusMenuExporter;

class StatusNotifierItem : public QObject
{
    Q_OBJECT
public:
    explicit StatusNotifierItem(const QDBusConnection &bus, QObject *parent = nullptr);
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

Q_SIGNALS:
    void registered();
    void failed();
    void activated();          // "Activate": a left click
    void secondaryActivated(); // "SecondaryActivate": a middle click
    // For the D-Bus adaptor.
    void iconChanged();
    void toolTipChanged();

private:
    bool exportOnBus();

    QDBusConnection m_bus;
    QString m_serviceName;
    bool m_exported = false;
    QList<QImage> m_icons;
    QString m_toolTip;
    QMenu *m_menu = nullptr;
    DBusMenuExporter *m_menuExporter = nullptr;
};

} // namespace zelvant
