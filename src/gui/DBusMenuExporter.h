#pragma once
// A QMenu on the session bus as com.canonical.dbusmenu, the menu protocol of
// StatusNotifierItem hosts: the items with their captions, enabled and
// visible states and pictures; a click on an item triggers its action. The
// menu's own aboutToShow runs when the host is about to show it.
//
// The interface is gui/dbus/com.canonical.dbusmenu.xml; the adaptor
// generated from it reads the properties below and calls the methods below.

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusContext>

#include "gui/DBusTypes.h"

class QAction;

namespace zelvant {

inline constexpr char DBusMenuPath[] = "/MenuBar";

class DBusMenuExporter : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(uint Version READ version CONSTANT)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status CONSTANT)
    // IconThemePath: not declared, read as empty.
public:
    DBusMenuExporter(QMenu *menu, const QDBusConnection &bus, QObject *parent = nullptr);
    ~DBusMenuExporter() override;

    QMenu *menu() const { return m_menu; }
    uint revision() const { return m_revision; }
    // Item id 0 is the menu itself; item k is the menu's action k - 1.
    QAction *action(int id) const;
    QVariantMap properties(int id) const;
    void aboutToShow();

    // com.canonical.dbusmenu, as the generated adaptor calls it.
    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                   DBusMenuLayoutItem &layout);
    DBusMenuItemList GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames);
    // The property's value, its default when the item leaves it out (the
    // layout lists only what differs), or an error reply for an unknown item
    // or property: a call is always answered.
    QDBusVariant GetProperty(int id, const QString &name);
    void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    QList<int> EventGroup(const DBusMenuEventList &events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    // Relayed to the bus by the adaptor.
    void LayoutUpdated(uint revision, int parent);

private:
    void watch(QAction *action);
    void scheduleUpdate();

    QPointer<QMenu> m_menu;
    QDBusConnection m_bus;
    QTimer m_updateTimer;
    uint m_revision = 1;
};

} // namespace zelvant
