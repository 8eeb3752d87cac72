#include "gui/DesktopNotifier.h"

#include "core/Logging.h"

#if ZELVANT_HAVE_DBUS
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "gui/DBusTypes.h"
#include "notificationsproxy.h"
#endif

namespace zelvant {

namespace {

const QString ProgramName = QStringLiteral("Zelvant");
// The installed "zelvant.desktop", the name the program also gives itself
// (QGuiApplication::desktopFileName): the service finds the icon and the
// user's per-program settings by it.
const QString DesktopEntry = QStringLiteral("zelvant");

#if ZELVANT_HAVE_DBUS
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
#endif

} // namespace

#if ZELVANT_HAVE_DBUS
DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, TrayMessage trayMessage,
                                 const QImage &icon, QObject *parent)
    : QObject(parent)
    , m_trayMessage(std::move(trayMessage))
    , m_icon(icon)
{
    if (!bus.isConnected())
        return;
    registerDBusTypes();
    m_service = new NotificationsProxy(Service, Path, bus, this);
    // The proxy hears whichever program owns the service at the time; the
    // ids tell our notifications from other programs'.
    connect(m_service, &NotificationsProxy::ActionInvoked, this, &DesktopNotifier::onActionInvoked);
    connect(m_service, &NotificationsProxy::NotificationClosed, this,
            [this](uint id, uint) { m_shown.remove(id); });
}
#endif

DesktopNotifier::DesktopNotifier(TrayMessage trayMessage, QObject *parent)
    : QObject(parent)
    , m_trayMessage(std::move(trayMessage))
{
}

DesktopNotifier *DesktopNotifier::createForDesktop(TrayMessage trayMessage, const QImage &icon,
                                                   QObject *parent)
{
#if ZELVANT_HAVE_DBUS && !defined(Q_OS_WIN)
    return new DesktopNotifier(QDBusConnection::sessionBus(), std::move(trayMessage), icon, parent);
#else
    Q_UNUSED(icon);
    return new DesktopNotifier(std::move(trayMessage), parent);
#endif
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const QString &title, const QString &body, Urgency urgency)
{
    const Message message{title, body, urgency};
#if ZELVANT_HAVE_DBUS
    if (m_service) {
        if (!m_capabilitiesKnown)
            askCapabilities(message);
        else
            send(message);
        return;
    }
#endif
    fallBack(message);
}

#if ZELVANT_HAVE_DBUS
void DesktopNotifier::askCapabilities(const Message &message)
{
    // Asked once the first time a message goes out (and again after a
    // service went away): a service may start after the program, and the
    // bus starts an activatable one on this very call.
    auto *call = new QDBusPendingCallWatcher(m_service->GetCapabilities(), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, message](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> reply = *w;
                if (reply.isError()) {
                    qCInfo(lcDBus) << "no notification service:" << reply.error().message();
                    fallBack(message);
                    return;
                }
                m_capabilities = reply.value();
                m_capabilitiesKnown = true;
                qCDebug(lcDBus) << "notification service offers" << m_capabilities;
                send(message);
            });
}

void DesktopNotifier::send(const Message &message)
{
    const bool markup = m_capabilities.contains(QStringLiteral("body-markup"));
    // Services that speak markup would swallow an alias like "<Мама>" or
    // turn "&" into an entity error.
    const QString body = markup ? message.body.toHtmlEscaped() : message.body;
    QStringList actions;
    if (m_capabilities.contains(QStringLiteral("actions"))) {
        // "default" is what a click on the notification does; the named
        // action is the button for services that show buttons.
        actions << QStringLiteral("default") << tr("Открыть") << QStringLiteral("open")
                << tr("Открыть");
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(message.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), DesktopEntry);
    if (!m_icon.isNull())
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(NotificationImage{m_icon}));

    auto *call = new QDBusPendingCallWatcher(
        m_service->Notify(ProgramName, 0, QString(), message.title, body, actions, hints, -1),
        this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, message](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    // The service went away; the next message asks anew.
                    qCInfo(lcDBus) << "notification failed:" << reply.error().message();
                    m_capabilitiesKnown = false;
                    fallBack(message);
                    return;
                }
                qCDebug(lcDBus) << "notification" << reply.value() << "sent:" << message.title;
                m_shown.insert(reply.value());
                Q_EMIT delivered(true);
            });
}
#endif

void DesktopNotifier::fallBack(const Message &message)
{
    if (m_trayMessage)
        m_trayMessage(message.title, message.body, message.urgency);
    Q_EMIT delivered(false);
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (!m_shown.contains(id))
        return;
    qCDebug(lcDBus) << "notification" << id << "action" << action;
    if (action == QStringLiteral("default") || action == QStringLiteral("open"))
        Q_EMIT openRequested();
}

} // namespace zelvant
