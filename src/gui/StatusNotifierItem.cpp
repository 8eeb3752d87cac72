#include "gui/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QMenu>
#include <QtDBus/QDBusAbstractAdaptor>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <QtEndian>

#include "gui/DBusMenuExporter.h"

namespace zelvant {

// (iiay): one picture, ARGB32 in network byte order.
struct SniIconPixmap
{
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniIconPixmapList = QList<SniIconPixmap>;

// (sa(iiay)ss): icon name, icon pictures, title, description.
struct SniToolTip
{
    QString iconName;
    SniIconPixmapList icon;
    QString title;
    QString description;
};

} // namespace zelvant

Q_DECLARE_METATYPE(zelvant::SniIconPixmap)
Q_DECLARE_METATYPE(zelvant::SniToolTip)

namespace zelvant {

QDBusArgument &operator<<(QDBusArgument &arg, const SniIconPixmap &pixmap)
{
    arg.beginStructure();
    arg << pixmap.width << pixmap.height << pixmap.bytes;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, SniIconPixmap &pixmap)
{
    arg.beginStructure();
    arg >> pixmap.width >> pixmap.height >> pixmap.bytes;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const SniToolTip &tip)
{
    arg.beginStructure();
    arg << tip.iconName << tip.icon << tip.title << tip.description;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, SniToolTip &tip)
{
    arg.beginStructure();
    arg >> tip.iconName >> tip.icon >> tip.title >> tip.description;
    arg.endStructure();
    return arg;
}

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

class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ noName)
    Q_PROPERTY(QString IconName READ noName)
    Q_PROPERTY(zelvant::SniIconPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ noName)
    Q_PROPERTY(zelvant::SniIconPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ noName)
    Q_PROPERTY(zelvant::SniIconPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ noName)
    Q_PROPERTY(zelvant::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem *item)
        : QDBusAbstractAdaptor(item)
        , m_item(item)
    {
        connect(item, &StatusNotifierItem::iconChanged, this, &StatusNotifierItemAdaptor::NewIcon);
        connect(item, &StatusNotifierItem::toolTipChanged, this,
                &StatusNotifierItemAdaptor::NewToolTip);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QCoreApplication::applicationName(); }
    QString title() const { return QCoreApplication::applicationName(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString noName() const { return QString(); }
    SniIconPixmapList noPixmaps() const { return {}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QString::fromLatin1(DBusMenuPath)); }

    SniIconPixmapList iconPixmap() const
    {
        SniIconPixmapList pixmaps;
        for (const QImage &image : m_item->icons())
            pixmaps.append(toIconPixmap(image));
        return pixmaps;
    }

    SniToolTip toolTip() const
    {
        // Hosts show the title in bold and the description below it: the
        // tip's first line (the title line or the first phone) and the rest.
        QStringList lines = m_item->toolTip().split(QLatin1Char('\n'));
        for (QString &line : lines) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
        }
        SniToolTip t;
        t.title = lines.takeFirst();
        t.description = lines.join(QLatin1Char('\n'));
        return t;
    }

public Q_SLOTS:
    void Activate(int, int) { Q_EMIT m_item->activated(); }
    void SecondaryActivate(int, int) { Q_EMIT m_item->secondaryActivated(); }
    void ContextMenu(int x, int y)
    {
        // Hosts that show the exported menu themselves never call this; the
        // others expect the program to pop its menu up where they say.
        if (QMenu *menu = m_item->menu())
            QMetaObject::invokeMethod(
                menu, [menu, x, y] { menu->popup(QPoint(x, y)); }, Qt::QueuedConnection);
    }
    void Scroll(int, const QString &) {}

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString &status);

private:
    StatusNotifierItem *m_item;
};

} // namespace

StatusNotifierItem::StatusNotifierItem(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_serviceName(
          QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
{
    qDBusRegisterMetaType<SniIconPixmap>();
    qDBusRegisterMetaType<SniIconPixmapList>();
    qDBusRegisterMetaType<SniToolTip>();
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
        Q_EMIT failed();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, WatcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError())
            Q_EMIT failed();
        else
            Q_EMIT registered();
    });
}

void StatusNotifierItem::setIcons(const QList<QImage> &icons)
{
    m_icons = icons;
    Q_EMIT iconChanged();
}

void StatusNotifierItem::setToolTip(const QString &tip)
{
    if (tip == m_toolTip)
        return;
    m_toolTip = tip;
    Q_EMIT toolTipChanged();
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

} // namespace zelvant

#include "StatusNotifierItem.moc"
