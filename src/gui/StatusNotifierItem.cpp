#include "gui/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QMenu>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtEndian>

#include "core/Logging.h"
#include "gui/DBusMenuExporter.h"
#include "statusnotifieritemadaptor.h"
#include "statusnotifierwatcherproxy.h"

namespace zelvant {

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString ItemPath = QStringLiteral("/StatusNotifierItem");

SniIconPixmap toIconPixmap(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniIconPixmap pixmap{argb.width(), argb.height(), QByteArray()};
    pixmap.bytes.resize(qsizetype(argb.width()) * argb.height() * 4);
    auto *out = reinterpret_cast<quint32 *>(pixmap.bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            *out++ = qToBigEndian(quint32(line[x]));
    }
    return pixmap;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QDBusConnection &bus, QObject *parent,
                                       const QString &iconFolder)
    : QObject(parent)
    , m_bus(bus)
    , m_serviceName(
          QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
    , m_iconFolder(iconFolder)
    , m_watcher(new StatusNotifierWatcherProxy(WatcherService, WatcherPath, bus, this))
{
    registerDBusTypes();
    new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (m_exported) {
        m_bus.unregisterObject(ItemPath);
        m_bus.unregisterService(m_serviceName);
    }
}

bool StatusNotifierItem::exportOnBus()
{
    if (m_exported)
        return true;
    if (!m_bus.registerObject(ItemPath, this, QDBusConnection::ExportAdaptors))
        return false;
    if (!m_bus.registerService(m_serviceName)) {
        m_bus.unregisterObject(ItemPath);
        return false;
    }
    m_exported = true;
    return true;
}

void StatusNotifierItem::registerWithWatcher()
{
    if (!exportOnBus()) {
        qCInfo(lcDBus) << "cannot export the tray item as" << m_serviceName;
        Q_EMIT failed();
        return;
    }
    auto *call =
        new QDBusPendingCallWatcher(m_watcher->RegisterStatusNotifierItem(m_serviceName), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError()) {
            qCInfo(lcDBus) << "the watcher refused the tray item:" << w->error().message();
            Q_EMIT failed();
        } else {
            qCDebug(lcDBus) << "tray item registered as" << m_serviceName;
            Q_EMIT registered();
        }
    });
}

void StatusNotifierItem::setIcons(const QList<QImage> &icons)
{
    m_icons = icons;
    m_iconFolder.store(icons);
    Q_EMIT NewIcon();
}

void StatusNotifierItem::setToolTip(const QString &tip)
{
    if (tip == m_toolTip)
        return;
    m_toolTip = tip;
    Q_EMIT NewToolTip();
}

void StatusNotifierItem::setMenu(QMenu *menu)
{
    if (menu == m_menu)
        return;
    delete m_menuExporter;
    m_menuExporter = nullptr;
    m_menu = menu;
    if (menu)
        m_menuExporter = new DBusMenuExporter(menu, m_bus, this);
}

QString StatusNotifierItem::id() const
{
    return QCoreApplication::applicationName();
}

QString StatusNotifierItem::iconThemePath() const
{
    return m_iconFolder.iconName().isEmpty() ? QString() : m_iconFolder.themePath();
}

SniIconPixmapList StatusNotifierItem::iconPixmap() const
{
    SniIconPixmapList pixmaps;
    for (const QImage &image : m_icons)
        pixmaps.append(toIconPixmap(image));
    return pixmaps;
}

SniToolTip StatusNotifierItem::dbusToolTip() const
{
    // Every line in the title: some hosts (LXQt) show only the title, and
    // the others show it whole, one phone a line.
    QStringList lines = m_toolTip.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    SniToolTip t;
    t.title = lines.join(QLatin1Char('\n'));
    return t;
}

QDBusObjectPath StatusNotifierItem::menuPath() const
{
    return QDBusObjectPath(QString::fromLatin1(DBusMenuPath));
}

void StatusNotifierItem::Activate(int, int)
{
    qCDebug(lcDBus) << "tray item: Activate";
    Q_EMIT activated();
}

void StatusNotifierItem::SecondaryActivate(int, int)
{
    qCDebug(lcDBus) << "tray item: SecondaryActivate";
    Q_EMIT secondaryActivated();
}

void StatusNotifierItem::ContextMenu(int x, int y)
{
    qCDebug(lcDBus) << "tray item: ContextMenu at" << x << y;
    // Hosts that show the exported menu themselves never call this; the
    // others expect the program to pop its menu up where they say.
    if (QMenu *menu = m_menu)
        QMetaObject::invokeMethod(
            menu, [menu, x, y] { menu->popup(QPoint(x, y)); }, Qt::QueuedConnection);
}

void StatusNotifierItem::Scroll(int, const QString &) {}

} // namespace zelvant
