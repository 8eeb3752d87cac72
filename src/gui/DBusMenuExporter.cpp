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
#include <QtDBus/QDBusMetaType>

#include "core/Logging.h"
#include "dbusmenuadaptor.h"

namespace zelvant {

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

// What an item means when it leaves a property out, as the menu protocol
// defines it.
QVariant defaultProperty(const QString &name)
{
    static const QVariantMap defaults = {
        {QStringLiteral("type"), QStringLiteral("standard")},
        {QStringLiteral("label"), QString()},
        {QStringLiteral("enabled"), true},
        {QStringLiteral("visible"), true},
        {QStringLiteral("icon-name"), QString()},
        {QStringLiteral("icon-data"), QByteArray()},
        {QStringLiteral("shortcut"), QVariant::fromValue(QList<QStringList>())},
        {QStringLiteral("toggle-type"), QString()},
        {QStringLiteral("toggle-state"), -1},
        {QStringLiteral("children-display"), QString()},
        {QStringLiteral("disposition"), QStringLiteral("normal")},
        {QStringLiteral("accessible-desc"), QString()},
    };
    return defaults.value(name);
}

} // namespace

DBusMenuExporter::DBusMenuExporter(QMenu *menu, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_menu(menu)
    , m_bus(bus)
{
    registerDBusTypes();
    qDBusRegisterMetaType<QList<QStringList>>(); // "shortcut"
    new DBusMenuAdaptor(this);

    // Many states change at once (a cycle starts, a window opens): the host
    // hears of them in one layout update.
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(0);
    connect(&m_updateTimer, &QTimer::timeout, this, [this] {
        ++m_revision;
        Q_EMIT LayoutUpdated(m_revision, 0);
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

QString DBusMenuExporter::textDirection() const
{
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                 : QStringLiteral("ltr");
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                 DBusMenuLayoutItem &layout)
{
    layout.id = parentId;
    layout.properties = filtered(properties(parentId), propertyNames);
    if (parentId == 0 && recursionDepth != 0 && m_menu) {
        const qsizetype count = m_menu->actions().size();
        for (int id = 1; id <= count; ++id)
            layout.children.append({id, filtered(properties(id), propertyNames), {}});
    }
    return m_revision;
}

DBusMenuItemList DBusMenuExporter::GetGroupProperties(const QList<int> &ids,
                                                      const QStringList &propertyNames)
{
    DBusMenuItemList items;
    for (const int id : ids)
        items.append({id, filtered(properties(id), propertyNames)});
    return items;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString &name)
{
    // An empty variant cannot be sent: the call would go unanswered and the
    // panel wait for its time-out.
    QVariant value;
    if (id == 0 || action(id)) {
        value = properties(id).value(name);
        if (!value.isValid())
            value = defaultProperty(name);
    }
    if (value.isValid())
        return QDBusVariant(value);
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("no property %1 of menu item %2").arg(name).arg(id));
    return QDBusVariant(QString());
}

void DBusMenuExporter::Event(int id, const QString &eventId, const QDBusVariant &, uint)
{
    qCDebug(lcDBus) << "menu item" << id << eventId;
    // Triggered after the call has been answered: the command may open a
    // modal window, and the panel must not wait for it.
    if (eventId == QLatin1String("clicked")) {
        if (QAction *a = action(id))
            QMetaObject::invokeMethod(a, &QAction::trigger, Qt::QueuedConnection);
    }
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList &events)
{
    QList<int> unknown;
    for (const DBusMenuEvent &event : events) {
        if (action(event.id))
            Event(event.id, event.eventId, event.data, event.timestamp);
        else
            unknown.append(event.id);
    }
    return unknown;
}

bool DBusMenuExporter::AboutToShow(int id)
{
    qCDebug(lcDBus) << "menu: AboutToShow" << id;
    if (id != 0)
        return false;
    const uint before = m_revision;
    aboutToShow();
    return m_revision != before;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
{
    QList<int> updated;
    for (const int id : ids) {
        if (id != 0 && !action(id))
            idErrors.append(id);
        else if (AboutToShow(id))
            updated.append(id);
    }
    return updated;
}

void DBusMenuExporter::aboutToShow()
{
    // The menu loads its pictures when it is first shown.
    if (m_menu)
        QMetaObject::invokeMethod(m_menu, "aboutToShow");
    if (m_updateTimer.isActive()) {
        m_updateTimer.stop();
        ++m_revision;
        Q_EMIT LayoutUpdated(m_revision, 0);
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
