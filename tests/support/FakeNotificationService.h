#pragma once
// A notification service (org.freedesktop.Notifications) for the tests: it
// records every Notify call, answers with increasing ids, and can invoke an
// action the way a desktop does when the user clicks.

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace zelvant::test {

class FakeNotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0;
        // What the hints held on the wire: "y" for a byte, "i" for an int.
        QString urgencySignature;
        QString imageSignature;
    };

    explicit FakeNotificationService(QStringList capabilities = {QStringLiteral("actions"),
                                                                 QStringLiteral("body")});
    // Takes the well-known name on the bus; false when it is taken.
    bool registerOn(const QDBusConnection &bus);
    void unregister();

    const QList<Call> &calls() const { return m_calls; }
    void clear() { m_calls.clear(); }
    // Emits ActionInvoked for the notification as a click would.
    void invokeAction(uint id, const QString &action);

Q_SIGNALS:
    void notified();

public Q_SLOTS:
    Q_SCRIPTABLE QStringList GetCapabilities();
    Q_SCRIPTABLE uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                             const QString &summary, const QString &body,
                             const QStringList &actions, const QVariantMap &hints,
                             int expireTimeout);
    Q_SCRIPTABLE void CloseNotification(uint id);
    Q_SCRIPTABLE QString GetServerInformation(QString &vendor, QString &version,
                                              QString &specVersion);

private:
    QStringList m_capabilities;
    QDBusConnection m_bus{QString()};
    QList<Call> m_calls;
    uint m_nextId = 1;
};

} // namespace zelvant::test
