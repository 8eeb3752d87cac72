#include "gui/DBusMenuExporter.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QBuffer>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QtDBus/QDBusAbstractAdaptor>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusVariant>

namespace zelvant {

// (ia{sv}av): an item, its properties and its children.
struct DBusMenuLayoutItem
{
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv}) and (ias), as in GetGroupProperties and ItemsPropertiesUpdated.
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

// (isvu): one event of EventGroup.
struct DBusMenuEvent
{
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

} // namespace zelvant

Q_DECLARE_METATYPE(zelvant::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(zelvant::DBusMenuItem)
Q_DECLARE_METATYPE(zelvant::DBusMenuItemKeys)
Q_DECLARE_METATYPE(zelvant::DBusMenuEvent)

namespace zelvant {

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuLayoutItem &item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayoutItem &child : item.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuLayoutItem &item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    item.children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        item.children.append(qdbus_cast<DBusMenuLayoutItem>(child.variant()));
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItem &item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItem &item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItemKeys &keys)
{
    arg.beginStructure();
    arg << keys.id << keys.names;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItemKeys &keys)
{
    arg.beginStructure();
    arg >> keys.id >> keys.names;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuEvent &event)
{
    arg.beginStructure();
    arg << event.id << event.eventId << event.data << event.timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuEvent &event)
{
    arg.beginStructure();
    arg >> event.id >> event.eventId >> event.data >> event.timestamp;
    arg.endStructure();
    return arg;
}

namespace {

QVariantMap filtered(const QVariantMap &properties, const QStringList &names)
{
    if (names.isEmpty())
        return properties;
    QVariantMap kept;
    for (const QString &name : names) {
        if (properties.contains(name))
            kept.insert(name, properties.value(name));
    }
    return kept;
}

// "&" marks the mnemonic in Qt, "_" in dbusmenu.
QString dbusMenuLabel(QString text)
{
    text.replace(QLatin1Char('_'), QStringLiteral("__"));
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
            label += text.at(i) == QLatin1Char('&') ? QStringLiteral("&")
                                                    : QStringLiteral("_") + text.at(i);
        } else {
            label += text.at(i);
        }
    }
    return label;
}

QByteArray pngOf(const QIcon &icon)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    icon.pixmap(QSize(16, 16)).save(&buffer, "PNG");
    return png;
}

class DBusMenuAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuAdaptor(DBusMenuExporter *exporter)
        : QDBusAbstractAdaptor(exporter)
        , m_exporter(exporter)
    {
        connect(exporter, &DBusMenuExporter::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
    }

    uint version() const { return 3; }
    QString textDirection() const
    {
        return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                     : QStringLiteral("ltr");
    }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                   zelvant::DBusMenuLayoutItem &layout)
    {
        layout.id = parentId;
        layout.properties = filtered(m_exporter->properties(parentId), propertyNames);
        if (parentId == 0 && recursionDepth != 0 && m_exporter->menu()) {
            const qsizetype count = m_exporter->menu()->actions().size();
            for (int id = 1; id <= count; ++id)
                layout.children.append(
                    {id, filtered(m_exporter->properties(id), propertyNames), {}});
        }
        return m_exporter->revision();
    }

    QList<zelvant::DBusMenuItem> GetGroupProperties(const QList<int> &ids,
                                                    const QStringList &propertyNames)
    {
        QList<DBusMenuItem> items;
        for (const int id : ids)
            items.append({id, filtered(m_exporter->properties(id), propertyNames)});
        return items;
    }

    QDBusVariant GetProperty(int id, const QString &name)
    {
        return QDBusVariant(m_exporter->properties(id).value(name));
    }

    void Event(int id, const QString &eventId, const QDBusVariant &, uint)
    {
        // Triggered after the call has been answered: the command may open
        // a modal window, and the panel must not wait for it.
        if (eventId == QLatin1String("clicked")) {
            if (QAction *action = m_exporter->action(id))
                QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        }
    }

    QList<int> EventGroup(const QList<zelvant::DBusMenuEvent> &events)
    {
        QList<int> unknown;
        for (const DBusMenuEvent &event : events) {
            if (m_exporter->action(event.id))
                Event(event.id, event.eventId, event.data, event.timestamp);
            else
                unknown.append(event.id);
        }
        return unknown;
    }

    bool AboutToShow(int id)
    {
        if (id != 0)
            return false;
        const uint before = m_exporter->revision();
        m_exporter->aboutToShow();
        return m_exporter->revision() != before;
    }

    QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
    {
        QList<int> updated;
        for (const int id : ids) {
            if (id != 0 && !m_exporter->action(id))
                idErrors.append(id);
            else if (AboutToShow(id))
                updated.append(id);
        }
        return updated;
    }

Q_SIGNALS:
    void ItemsPropertiesUpdated(const QList<zelvant::DBusMenuItem> &updatedProps,
                                const QList<zelvant::DBusMenuItemKeys> &removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DBusMenuExporter *m_exporter;
};

} // namespace

DBusMenuExporter::DBusMenuExporter(QMenu *menu, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_menu(menu)
    , m_bus(bus)
{
    qDBusRegisterMetaType<DBusMenuLayoutItem>();
    qDBusRegisterMetaType<DBusMenuItem>();
    qDBusRegisterMetaType<DBusMenuItemList>();
    qDBusRegisterMetaType<DBusMenuItemKeys>();
    qDBusRegisterMetaType<DBusMenuItemKeysList>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuEventList>();
    new DBusMenuAdaptor(this);

    // Many states change at once (a cycle starts, a window opens): the host
    // hears of them in one layout update.
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(0);
    connect(&m_updateTimer, &QTimer::timeout, this, [this] {
        ++m_revision;
        Q_EMIT layoutUpdated(m_revision, 0);
    });
    if (m_menu) {
        m_menu->installEventFilter(this);
        for (QAction *action : m_menu->actions())
            watch(action);
    }
    m_bus.registerObject(QString::fromLatin1(DBusMenuPath), this, QDBusConnection::ExportAdaptors);
}

DBusMenuExporter::~DBusMenuExporter()
{
    m_bus.unregisterObject(QString::fromLatin1(DBusMenuPath));
}

QAction *DBusMenuExporter::action(int id) const
{
    if (!m_menu || id < 1)
        return nullptr;
    return m_menu->actions().value(id - 1);
}

QVariantMap DBusMenuExporter::properties(int id) const
{
    QVariantMap p;
    if (id == 0) {
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        return p;
    }
    const QAction *a = action(id);
    if (!a)
        return p;
    if (!a->isVisible())
        p.insert(QStringLiteral("visible"), false);
    if (a->isSeparator()) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return p;
    }
    p.insert(QStringLiteral("label"), dbusMenuLabel(a->text()));
    if (!a->isEnabled())
        p.insert(QStringLiteral("enabled"), false);
    if (!a->icon().isNull())
        p.insert(QStringLiteral("icon-data"), pngOf(a->icon()));
    if (a->isCheckable()) {
        p.insert(QStringLiteral("toggle-type"), a->actionGroup() && a->actionGroup()->isExclusive()
                                                    ? QStringLiteral("radio")
                                                    : QStringLiteral("checkmark"));
        p.insert(QStringLiteral("toggle-state"), a->isChecked() ? 1 : 0);
    }
    return p;
}

void DBusMenuExporter::aboutToShow()
{
    // The menu loads its pictures when it is first shown.
    if (m_menu)
        QMetaObject::invokeMethod(m_menu, "aboutToShow");
    if (m_updateTimer.isActive()) {
        m_updateTimer.stop();
        ++m_revision;
        Q_EMIT layoutUpdated(m_revision, 0);
    }
}

bool DBusMenuExporter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_menu) {
        if (event->type() == QEvent::ActionAdded) {
            watch(static_cast<QActionEvent *>(event)->action());
            scheduleUpdate();
        } else if (event->type() == QEvent::ActionRemoved) {
            scheduleUpdate();
        }
    }
    return QObject::eventFilter(watched, event);
}

void DBusMenuExporter::watch(QAction *action)
{
    connect(action, &QAction::changed, this, &DBusMenuExporter::scheduleUpdate,
            Qt::UniqueConnection);
}

void DBusMenuExporter::scheduleUpdate()
{
    m_updateTimer.start();
}

} // namespace zelvant

#include "DBusMenuExporter.moc"
