#include "support/PrivateKeyring.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <memory>

namespace zelvant::test {

namespace {

QString daemonPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
}

std::unique_ptr<PrivateKeyring> g_shared;

struct SharedKeyringEnd : ::testing::Environment
{
    void TearDown() override { g_shared.reset(); }
};

} // namespace

PrivateKeyring &PrivateKeyring::shared()
{
    if (!g_shared) {
        g_shared = std::make_unique<PrivateKeyring>();
        ::testing::AddGlobalTestEnvironment(new SharedKeyringEnd);
    }
    return *g_shared;
}

bool PrivateKeyring::installed()
{
    return !daemonPath().isEmpty() && PrivateSessionBus::daemonInstalled();
}

bool PrivateKeyring::start()
{
    if (m_daemon.state() != QProcess::NotRunning)
        return true;
    if (m_environment.isEmpty()) {
        if (!m_home.isValid() || !m_bus.start()) {
            m_error = QStringLiteral("no session bus: ") + m_bus.error();
            return false;
        }
        QDir(m_home.path())
            .mkdir(QStringLiteral("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, value] :
             {std::pair{"DBUS_SESSION_BUS_ADDRESS", m_bus.address()},
              {"HOME", m_home.path()},
              {"XDG_DATA_HOME", m_home.filePath(QStringLiteral("d"))},
              {"XDG_RUNTIME_DIR", m_home.filePath(QStringLiteral("run"))}}) {
            m_environment.insert(QLatin1String(name), value);
            qputenv(name, value.toLocal8Bit());
        }
        // No desktop: the Secret Service alone, and no window.
        for (const char *name : {"XDG_CURRENT_DESKTOP", "DISPLAY", "WAYLAND_DISPLAY"}) {
            m_environment.remove(QLatin1String(name));
            qunsetenv(name);
        }
    }
    m_daemon.setProcessEnvironment(m_environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(daemonPath(),
                   {QStringLiteral("--foreground"), QStringLiteral("--components=secrets"),
                    QStringLiteral("--unlock")});
    // The login keyring's password; written now, as no event loop runs below.
    m_daemon.write("test-keyring-password");
    m_daemon.waitForBytesWritten(5000);
    m_daemon.closeWriteChannel();
    QDBusConnection bus = m_bus.connect(QStringLiteral("keyring-watch"));
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired(); QThread::msleep(50)) {
        if (bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")))
            return true;
    }
    m_error = QStringLiteral("gnome-keyring-daemon did not start: ") + m_daemon.errorString();
    return false;
}

void PrivateKeyring::stopDaemon()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

} // namespace zelvant::test
