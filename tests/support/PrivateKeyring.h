#pragma once
// A Secret Service of the test's own: gnome-keyring-daemon, unlocked by the
// test, on a private session bus, keeping its keyring in a temporary home, so
// the user's keyring is never touched. start() points this process's
// environment (and environment(), for the executable) at it. The keyring
// library keeps its bus connection for the whole process and ends the process
// when that bus goes away, so a test program shares one keyring, ended after
// its last test.

#include <QProcess>
#include <QTemporaryDir>

#include "support/PrivateSessionBus.h"

namespace zelvant::test {

class PrivateKeyring
{
public:
    ~PrivateKeyring() { stopDaemon(); }
    static bool installed(); // gnome-keyring-daemon and dbus-daemon are
    static PrivateKeyring &shared();
    // Starts the bus once and the daemon unless it runs; false with error().
    bool start();
    void stopDaemon(); // the keyring is gone until start() again
    QString error() const { return m_error; }
    QProcessEnvironment environment() const { return m_environment; }

private:
    PrivateSessionBus m_bus;
    QTemporaryDir m_home;
    QProcess m_daemon;
    QProcessEnvironment m_environment;
    QString m_error;
};

} // namespace zelvant::test
