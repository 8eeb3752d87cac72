#include "support/PrivateKeyring.h"

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

namespace zelvant::test {

namespace {

const QString SecretsName = QStringLiteral("org.freedesktop.secrets");

QString daemonPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
}

} // namespace

PrivateKeyring::~PrivateKeyring()
{
    stopDaemon();
}

bool PrivateKeyring::installed()
{
    return !daemonPath().isEmpty() && PrivateSessionBus::daemonInstalled();
}

bool PrivateKeyring::start()
{
    if (m_environment.isEmpty()) {
        if (!m_home.isValid() || !m_bus.start()) {
            m_error = QStringLiteral("no session bus: ") + m_bus.error();
            return false;
        }
        QDir(m_home.path()).mkdir(QStringLiteral("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment = QProcessEnvironment::systemEnvironment();
        const QList<std::pair<const char *, QString>> values = {
            {"DBUS_SESSION_BUS_ADDRESS", m_bus.address()},
            {"HOME", m_home.path()},
            {"XDG_DATA_HOME", m_home.filePath(QStringLiteral("data"))},
            {"XDG_RUNTIME_DIR", m_home.filePath(QStringLiteral("run"))},
        };
        for (const auto &[name, value] : values) {
            m_environment.insert(QLatin1String(name), value);
            qputenv(name, value.toLocal8Bit());
        }
        // No desktop: the keyring library is chosen by the Secret Service
        // alone, and nothing opens a window.
        for (const char *name : {"XDG_CURRENT_DESKTOP", "DISPLAY", "WAYLAND_DISPLAY"}) {
            m_environment.remove(QLatin1String(name));
            qunsetenv(name);
        }
    }
    return startDaemon();
}

bool PrivateKeyring::startDaemon()
{
    m_daemon.setProcessEnvironment(m_environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(daemonPath(), {QStringLiteral("--foreground"),
                                  QStringLiteral("--components=secrets"),
                                  QStringLiteral("--unlock")});
    if (!m_daemon.waitForStarted(10000)) {
        m_error = m_daemon.errorString();
        return false;
    }
    // The login keyring's password: it is made, unlocked, on first use.
    m_daemon.write("test-keyring-password");
    // Written now: no event loop runs while the bus is watched below.
    m_daemon.waitForBytesWritten(5000);
    m_daemon.closeWriteChannel();
    QDBusConnection bus = m_bus.connect(QStringLiteral("keyring-watch"));
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired(); QThread::msleep(50)) {
        if (bus.interface()->isServiceRegistered(SecretsName))
            return true;
        if (m_daemon.state() == QProcess::NotRunning)
            break;
    }
    m_error = QStringLiteral("gnome-keyring-daemon did not take %1").arg(SecretsName);
    return false;
}

void PrivateKeyring::stopDaemon()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
    m_daemon.waitForFinished(5000);
}

} // namespace zelvant::test
