#pragma once
// A Secret Service of the test's own: gnome-keyring-daemon, unlocked by the
// test, on a private session bus, keeping its keyring under a temporary
// home. The user's own keyring is never touched. start() points this
// process's environment (and environment(), for the executable) at it;
// installed() is false when gnome-keyring-daemon is missing.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "support/PrivateSessionBus.h"

namespace zelvant::test {

class PrivateKeyring
{
public:
    PrivateKeyring() = default;
    ~PrivateKeyring();
    PrivateKeyring(const PrivateKeyring &) = delete;
    PrivateKeyring &operator=(const PrivateKeyring &) = delete;

    static bool installed();
    // False with error() when the bus or the daemon did not come up.
    bool start();
    // Ends the daemon: the keyring is gone until start() again.
    void stopDaemon();
    QString error() const { return m_error; }
    // This system's environment with the private bus, home and no desktop.
    QProcessEnvironment environment() const { return m_environment; }

private:
    bool startDaemon();

    PrivateSessionBus m_bus;
    QTemporaryDir m_home;
    QProcess m_daemon;
    QProcessEnvironment m_environment;
    QString m_error;
};

} // namespace zelvant::test
