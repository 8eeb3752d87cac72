#pragma once
// A D-Bus session bus of the test's own: a dbus-daemon started on a
// temporary socket with no service files, so nothing on the machine (a
// notification daemon, say) is ever started by it, and stopped with the
// object. available() is false when dbus-daemon is not installed.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace zelvant::test {

class PrivateSessionBus
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    static bool daemonInstalled();
    // Starts the daemon; false (with error()) when it did not come up.
    bool start();
    QString address() const { return m_address; }
    QString error() const { return m_error; }
    // A new connection to the bus under the given connection name.
    QDBusConnection connect(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
    QStringList m_connections;
};

} // namespace zelvant::test
