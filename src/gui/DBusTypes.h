#pragma once
// The structures that travel on the session bus, as the interface files of
// gui/dbus/ name them (org.qtproject.QtDBus.QtTypeName): the generated
// adaptors and proxies carry them, and registerDBusTypes() teaches QtDBus
// their signatures. qdbusxml2cpp writes no marshalling for structures; these
// operators are it.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusVariant>

namespace zelvant {

// StatusNotifierItem (iiay): one picture, ARGB32 in network byte order.
struct SniIconPixmap
{
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniIconPixmapList = QList<SniIconPixmap>;

// StatusNotifierItem (sa(iiay)ss): icon name, icon pictures, title, description.
struct SniToolTip
{
    QString iconName;
    SniIconPixmapList icon;
    QString title;
    QString description;
};

// dbusmenu (ia{sv}av): an item, its properties and its children.
struct DBusMenuLayoutItem
{
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// dbusmenu (ia{sv}) and (ias), as in GetGroupProperties and ItemsPropertiesUpdated.
struct DBusMenuItem
{
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

struct DBusMenuItemKeys
{
    int id = 0;
    QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// dbusmenu (isvu): one event of EventGroup.
struct DBusMenuEvent
{
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Notifications' "image-data" hint (iiibiiay): raw RGBA rows. Only ever sent.
struct NotificationImage
{
    QImage image;
};

QDBusArgument &operator<<(QDBusArgument &arg, const SniIconPixmap &pixmap);
const QDBusArgument &operator>>(const QDBusArgument &arg, SniIconPixmap &pixmap);
QDBusArgument &operator<<(QDBusArgument &arg, const SniToolTip &tip);
const QDBusArgument &operator>>(const QDBusArgument &arg, SniToolTip &tip);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuLayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuLayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItem &item);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItem &item);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItemKeys &keys);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItemKeys &keys);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuEvent &event);
QDBusArgument &operator<<(QDBusArgument &arg, const NotificationImage &image);
const QDBusArgument &operator>>(const QDBusArgument &arg, NotificationImage &image);

// Once per process, before any of them is sent or received; repeated calls are cheap.
void registerDBusTypes();

} // namespace zelvant

Q_DECLARE_METATYPE(zelvant::SniIconPixmap)
Q_DECLARE_METATYPE(zelvant::SniToolTip)
Q_DECLARE_METATYPE(zelvant::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(zelvant::DBusMenuItem)
Q_DECLARE_METATYPE(zelvant::DBusMenuItemKeys)
Q_DECLARE_METATYPE(zelvant::DBusMenuEvent)
Q_DECLARE_METATYPE(zelvant::NotificationImage)
