#include "support/FakeNotificationService.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace zelvant::test {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

// QtDBus hands over a basic type as itself and a structure as an argument
// still to be read; either way its wire signature tells what was sent.
QString signatureOf(const QVariant &value)
{
    if (!value.isValid())
        return QString();
    if (value.canConvert<QDBusArgument>())
        return value.value<QDBusArgument>().currentSignature();
    switch (value.metaType().id()) {
    case QMetaType::UChar:
        return QStringLiteral("y");
    case QMetaType::Int:
        return QStringLiteral("i");
    case QMetaType::UInt:
        return QStringLiteral("u");
    case QMetaType::Bool:
        return QStringLiteral("b");
    case QMetaType::QString:
        return QStringLiteral("s");
    default:
        return QString::fromLatin1(value.metaType().name());
    }
}

} // namespace

FakeNotificationService::FakeNotificationService(QStringList capabilities)
    : m_capabilities(std::move(capabilities))
{
}

bool FakeNotificationService::registerOn(const QDBusConnection &bus)
{
    m_bus = bus;
    if (!m_bus.registerObject(Path, this, QDBusConnection::ExportScriptableSlots))
        return false;
    return m_bus.registerService(Service);
}

void FakeNotificationService::unregister()
{
    m_bus.unregisterService(Service);
    m_bus.unregisterObject(Path);
}

void FakeNotificationService::invokeAction(uint id, const QString &action)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(Path, Service, QStringLiteral("ActionInvoked"));
    signal << id << action;
    m_bus.send(signal);
}

QStringList FakeNotificationService::GetCapabilities()
{
    return m_capabilities;
}

uint FakeNotificationService::Notify(const QString &appName, uint replacesId,
                                     const QString &appIcon, const QString &summary,
                                     const QString &body, const QStringList &actions,
                                     const QVariantMap &hints, int expireTimeout)
{
    Call call{appName,
              replacesId,
              appIcon,
              summary,
              body,
              actions,
              hints,
              expireTimeout,
              m_nextId++,
              signatureOf(hints.value(QStringLiteral("urgency"))),
              signatureOf(hints.value(QStringLiteral("image-data")))};
    m_calls.append(call);
    Q_EMIT notified();
    return call.id;
}

void FakeNotificationService::CloseNotification(uint) {}

QString FakeNotificationService::GetServerInformation(QString &vendor, QString &version,
                                                      QString &specVersion)
{
    vendor = QStringLiteral("test");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake");
}

} // namespace zelvant::test
