#include "gui/SystemTray.h"

#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QTimer>

#include "core/Logging.h"
#include "core/tray/TrayIconSet.h"

#ifdef ZELVANT_STATUS_NOTIFIER
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <QtDBus/QDBusServiceWatcher>
#include <QtDBus/QDBusVariant>

#include "gui/StatusNotifierItem.h"
#include "statusnotifierwatcherproxy.h"
#endif

namespace zelvant {

namespace {
#ifdef ZELVANT_STATUS_NOTIFIER
const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
#endif

// How often an X11 tray that may appear later is looked for while there is none.
constexpr int XEmbedPollMs = 1000;

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

SystemTray::SystemTray(QObject *parent)
    : QObject(parent)
{
}

SystemTray::~SystemTray()
{
    delete m_qtIcon;
}

bool SystemTray::trayAdd(const QImage &icon, const QString &tip)
{
    m_drawing = icon;
    m_tip = tip.left(TrayTipMaxLength);
    m_added = true;
    if (m_host == Host::Unknown)
        followStatusNotifierWatcher();
    show();
    updateTrayHost();
    return true;
}

bool SystemTray::traySetTip(const QString &tip)
{
    m_tip = tip.left(TrayTipMaxLength);
    if (!m_added)
        return false;
        // A new tip alone makes no pictures: the tip goes where the icon is.
#ifdef ZELVANT_STATUS_NOTIFIER
    if (m_item && m_host == Host::StatusNotifier) {
        m_item->setToolTip(m_tip);
        return true;
    }
#endif
    if (m_qtIcon) {
        m_qtIcon->setToolTip(m_tip);
        return true;
    }
    show();
    return true;
}

bool SystemTray::traySetIcon(const QImage &icon)
{
    m_drawing = icon;
    if (!m_added)
        return false;
    show();
    return true;
}

bool SystemTray::trayRemove()
{
    if (!m_added)
        return false;
    m_added = false;
    if (m_qtIcon)
        m_qtIcon->hide();
#ifdef ZELVANT_STATUS_NOTIFIER
    // The watcher drops the item when its bus name goes.
    delete m_item;
    m_item = nullptr;
    m_itemRegistered = false;
#endif
    return true;
}

void SystemTray::setIconStyle(TrayIconStyle style)
{
    if (style == m_style)
        return;
    m_style = style;
    show();
}

bool SystemTray::trayShowMessage(const QString &title, const QString &text)
{
    if (!m_qtIcon || !m_qtIcon->isVisible())
        return false;
    m_qtIcon->showMessage(title, text, QSystemTrayIcon::Warning);
    return true;
}

void SystemTray::setContextMenu(QMenu *menu)
{
    m_menu = menu;
    if (m_qtIcon)
        m_qtIcon->setContextMenu(menu);
#ifdef ZELVANT_STATUS_NOTIFIER
    if (m_item)
        m_item->setMenu(menu);
#endif
}

QString SystemTray::toolTip() const
{
    return m_added ? m_tip : QString();
}

bool SystemTray::isShown() const
{
    if (!m_added)
        return false;
    if (isStatusNotifierItem())
        return true;
    return m_qtIcon && m_qtIcon->isVisible();
}

bool SystemTray::isStatusNotifierItem() const
{
    return m_added && m_host == Host::StatusNotifier && m_itemRegistered;
}

void SystemTray::show()
{
    if (!m_added)
        return;
    switch (m_host) {
    case Host::StatusNotifier:
        showAsItem();
        break;
    case Host::Asking:
        // Shown once the watcher has answered; a QSystemTrayIcon made now
        // would register with the watcher a second time by itself.
        break;
    case Host::Unknown:
    case Host::Other:
        showAsQtIcon();
        break;
    }
}

void SystemTray::showAsQtIcon()
{
    if (!m_qtIcon && onWayland() && !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_qtIcon) {
        m_qtIcon = new QSystemTrayIcon(this);
        connect(m_qtIcon, &QSystemTrayIcon::activated, this, &SystemTray::activated);
        connect(m_qtIcon, &QSystemTrayIcon::messageClicked, this, &SystemTray::messageClicked);
        m_qtIcon->setContextMenu(m_menu);
    }
    m_qtIcon->setIcon(trayIcon(m_drawing, m_style));
    m_qtIcon->setToolTip(m_tip);
    m_qtIcon->show();
}

void SystemTray::showAsItem()
{
#ifdef ZELVANT_STATUS_NOTIFIER
    // Never both: the desktop would show two icons.
    delete m_qtIcon;
    m_qtIcon = nullptr;
    if (!m_item) {
        m_item = new StatusNotifierItem(QDBusConnection::sessionBus(), this);
        connect(m_item, &StatusNotifierItem::activated, this,
                [this] { Q_EMIT activated(QSystemTrayIcon::Trigger); });
        connect(m_item, &StatusNotifierItem::secondaryActivated, this,
                [this] { Q_EMIT activated(QSystemTrayIcon::MiddleClick); });
        connect(m_item, &StatusNotifierItem::failed, this, [this] {
            m_itemRegistered = false;
            setHost(Host::Other);
        });
    }
    m_item->setMenu(m_menu);
    m_item->setIcons(trayIconSet(m_drawing, m_style));
    m_item->setToolTip(m_tip);
    if (!m_itemRegistered) {
        m_itemRegistered = true;
        m_item->registerWithWatcher();
    }
#endif
}

void SystemTray::followStatusNotifierWatcher()
{
    m_host = Host::Other;
#ifdef ZELVANT_STATUS_NOTIFIER
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Qt picks its kind of tray icon once, when the first one is made: a
    // panel that comes later would never see it. So the watcher is followed
    // here, and the item is ours.
    m_watcher = new QDBusServiceWatcher(WatcherService, bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &owner) {
                qCInfo(lcDBus) << "StatusNotifierWatcher"
                               << (owner.isEmpty() ? "gone" : "appeared");
                // A new watcher knows nothing of the item.
                m_itemRegistered = false;
                if (owner.isEmpty())
                    setHost(Host::Other);
                else
                    askForStatusNotifierHost();
            });
    auto *proxy = new StatusNotifierWatcherProxy(WatcherService, WatcherPath, bus, this);
    connect(proxy, &StatusNotifierWatcherProxy::StatusNotifierHostRegistered, this, [this] {
        qCInfo(lcDBus) << "StatusNotifierHost registered";
        setHost(Host::StatusNotifier);
    });
    if (bus.interface()->isServiceRegistered(WatcherService))
        askForStatusNotifierHost();
#endif
}

void SystemTray::askForStatusNotifierHost()
{
#ifdef ZELVANT_STATUS_NOTIFIER
    m_host = Host::Asking;
    // By hand: the generated proxy reads properties with a blocking call,
    // and a panel that hangs must not hang the program.
    QDBusMessage get = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto *call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        // A watcher without a host shows nothing: an XEmbed tray may.
        const bool host = !reply.isError() && reply.value().variant().toBool();
        qCInfo(lcDBus) << "StatusNotifierHost" << (host ? "present" : "absent");
        if (m_host == Host::Asking)
            setHost(host ? Host::StatusNotifier : Host::Other);
    });
#endif
}

void SystemTray::setHost(Host host)
{
    m_host = host;
    show();
    updateTrayHost();
}

void SystemTray::updateTrayHost()
{
    bool present = m_host == Host::StatusNotifier;
    if (m_host == Host::Other)
        present = QSystemTrayIcon::isSystemTrayAvailable();
    else if (m_host != Host::StatusNotifier)
        return; // still asking
    // An X11 tray that starts later announces itself to Qt's icon only, so
    // it is looked for while none is there; a StatusNotifierWatcher that
    // comes later is followed on the bus.
    if (!present && m_added && !onWayland()) {
        if (!m_xembedPoll) {
            m_xembedPoll = new QTimer(this);
            m_xembedPoll->setInterval(XEmbedPollMs);
            connect(m_xembedPoll, &QTimer::timeout, this, [this] {
                if (m_host == Host::Other)
                    updateTrayHost();
            });
        }
        m_xembedPoll->start();
    } else if (m_xembedPoll) {
        m_xembedPoll->stop();
    }
    if (m_trayHostKnown && present == m_trayHost)
        return;
    m_trayHostKnown = true;
    m_trayHost = present;
    qCInfo(lcTray) << "notification area" << (present ? "present" : "absent");
    Q_EMIT trayHostChanged(present);
}

void SystemTray::showMessage(const QString &title, const QString &body, Urgency urgency)
{
    // A StatusNotifierItem has no balloon of its own; its hosts come with a
    // notification service, which the notifier tries first.
    if (!m_qtIcon)
        return;
    const QSystemTrayIcon::MessageIcon kind =
        urgency == Urgency::Critical ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information;
    m_qtIcon->showMessage(title, body, kind, 15000);
}

} // namespace zelvant
