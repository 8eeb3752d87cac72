#pragma once
// Notifications on the desktop. Where a notification service answers on the
// session bus (org.freedesktop.Notifications), it is called directly: with
// the program's name and icon, the urgency as the protocol's byte, and an
// action "Открыть" when the service offers actions. Elsewhere (no service,
// no session bus, Windows) the tray icon's own message is the way out.
//
// Qt's tray message is not used while a service is there: over D-Bus it
// sends the urgency as a 32-bit integer (which services ignore), no program
// icon, and marks the tray item "needs attention" with a stock icon for the
// message's duration, hiding the balance digits on hosts that honour it.
//
// The service's interface is gui/dbus/org.freedesktop.Notifications.xml; the
// calls go through the proxy generated from it.

#include <QImage>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <functional>

#include "core/tray/Notifier.h"

#if ZELVANT_HAVE_DBUS
#include <QDBusConnection>
class NotificationsProxy;
#endif

namespace zelvant {

class DesktopNotifier : public QObject, public Notifier
{
    Q_OBJECT
public:
    using TrayMessage = std::function<void(const QString &title, const QString &body, Urgency)>;

#if ZELVANT_HAVE_DBUS
    // bus: where to look for the notification service (the session bus;
    // tests hand in a private one).
    DesktopNotifier(const QDBusConnection &bus, TrayMessage trayMessage, const QImage &icon,
                    QObject *parent = nullptr);
#endif
    // No desktop service at all: every message goes to the tray.
    explicit DesktopNotifier(TrayMessage trayMessage, QObject *parent = nullptr);
    // The session bus where the platform has one, else the tray alone.
    static DesktopNotifier *createForDesktop(TrayMessage trayMessage, const QImage &icon,
                                             QObject *parent = nullptr);
    ~DesktopNotifier() override;

    using Notifier::notify;
    void notify(const QString &title, const QString &body, Urgency urgency) override;

Q_SIGNALS:
    // The user chose "Открыть" (or clicked the notification).
    void openRequested();
    // A message has gone out: through the service or, failing that, the tray.
    // For tests and the log; nothing waits for it.
    void delivered(bool byService);

private:
    struct Message
    {
        QString title;
        QString body;
        Urgency urgency;
    };
#if ZELVANT_HAVE_DBUS
    void askCapabilities(const Message &message);
    void send(const Message &message);
#endif
    void fallBack(const Message &message);
    void onActionInvoked(uint id, const QString &action);

    TrayMessage m_trayMessage;
    QImage m_icon;
#if ZELVANT_HAVE_DBUS
    NotificationsProxy *m_service = nullptr; // null: no session bus
#endif
    bool m_capabilitiesKnown = false;
    QStringList m_capabilities;
    QSet<uint> m_shown; // ids of our notifications still on screen
};

} // namespace zelvant
