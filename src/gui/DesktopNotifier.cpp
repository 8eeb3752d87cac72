#include "gui/DesktopNotifier.h"

#if ZELVANT_HAVE_DBUS
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace zelvant {

namespace {

const QString ProgramName = QStringLiteral("Zelvant");
const QString OpenCaption = QStringLiteral("Открыть");

#if ZELVANT_HAVE_DBUS
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

// The "image-data" hint: raw RGBA rows, as the protocol defines (iiibiiay).
struct ImageData
{
    QImage image;
};

QDBusArgument &operator<<(QDBusArgument &argument, const ImageData &data)
{
    const QImage rgba = data.image.convertToFormat(QImage::Format_RGBA8888);
    argument.beginStructure();
    argument << rgba.width() << rgba.height() << int(rgba.bytesPerLine()) << true << 8 << 4;
    argument << QByteArray(reinterpret_cast<const char *>(rgba.constBits()), rgba.sizeInBytes());
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ImageData &)
{
    // Only ever sent.
    return argument;
}
#endif

// Services that speak markup would swallow an alias like "<Мама>" or
// turn "&" into an entity error.
QString escapeMarkup(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

} // namespace zelvant

#if ZELVANT_HAVE_DBUS
Q_DECLARE_METATYPE(zelvant::ImageData)
#endif

namespace zelvant {

#if ZELVANT_HAVE_DBUS
DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, TrayMessage trayMessage,
                                 const QImage &icon, QObject *parent)
    : QObject(parent)
    , m_trayMessage(std::move(trayMessage))
    , m_icon(icon)
    , m_bus(bus)
{
    qDBusRegisterMetaType<ImageData>();
    m_useBus = m_bus.isConnected();
    if (!m_useBus)
        return;
    // The sender is whichever program owns the service at the time; the
    // ids tell our notifications from other programs'.
    m_bus.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
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
    if (!m_useBus) {
        fallBack(message);
        return;
    }
    if (!m_capabilitiesKnown)
        askCapabilities(message);
    else
        send(message);
}

void DesktopNotifier::askCapabilities(const Message &message)
{
#if ZELVANT_HAVE_DBUS
    // Asked once the first time a message goes out (and again after a
    // service went away): a service may start after the program, and the
    // bus starts an activatable one on this very call.
    const QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, message](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> reply = *w;
                if (reply.isError()) {
                    fallBack(message);
                    return;
                }
                m_capabilities = reply.value();
                m_capabilitiesKnown = true;
                send(message);
            });
#else
    fallBack(message);
#endif
}

void DesktopNotifier::send(const Message &message)
{
#if ZELVANT_HAVE_DBUS
    const bool markup = m_capabilities.contains(QStringLiteral("body-markup"));
    QString body = markup ? escapeMarkup(message.body) : message.body;
    QStringList actions;
    if (m_capabilities.contains(QStringLiteral("actions"))) {
        // "default" is what a click on the notification does; the named
        // action is the button for services that show buttons.
        actions << QStringLiteral("default") << OpenCaption << QStringLiteral("open")
                << OpenCaption;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(message.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), ProgramName);
    if (!m_icon.isNull())
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(ImageData{m_icon}));

    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << ProgramName << uint(0) << QString() << message.title << body << actions << hints
         << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, message](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    // The service went away; the next message asks anew.
                    m_capabilitiesKnown = false;
                    fallBack(message);
                    return;
                }
                m_shown.insert(reply.value());
                Q_EMIT delivered(true);
            });
#else
    fallBack(message);
#endif
}

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
    if (action == QStringLiteral("default") || action == QStringLiteral("open"))
        Q_EMIT openRequested();
}

void DesktopNotifier::onNotificationClosed(uint id, uint)
{
    m_shown.remove(id);
}

} // namespace zelvant
