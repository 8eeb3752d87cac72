#pragma once
// Single instance per user session: a lock file in the user's runtime folder,
// named after the title line only. The display variables are no part of the
// name: one start may see WAYLAND_DISPLAY and another only DISPLAY in the same
// session, and both must find the same lock.
//
// Beside the lock, the running instance listens on a local socket; a second
// start tells it to show itself (InstanceChannel) instead of ending unseen.
// On Unix the socket is a plain AF_UNIX one watched by the event loop: the
// start then loads no network library at all.

#include <QObject>
#include <QString>

#include <memory>

class QLockFile;

namespace zelvant {

class SingleInstanceLock
{
public:
    // lockFolder empty: the user's runtime folder.
    explicit SingleInstanceLock(const QString &title, const QString &lockFolder = QString());
    ~SingleInstanceLock();

    // True when this process now holds the lock; false when another running
    // instance of the session holds it. The lock of an instance that crashed
    // or was killed does not count.
    bool tryAcquire();
    QString lockFilePath() const { return m_path; }
    // Where the instance holding the lock listens.
    QString channelName() const { return m_channel; }

private:
    QString m_path;
    QString m_channel;
#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    std::unique_ptr<QLockFile> m_lock;
#endif
};

class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    explicit InstanceChannel(const QString &name, QObject *parent = nullptr);
    ~InstanceChannel() override;

    // Only while holding the lock: a socket left by a killed instance is
    // replaced. False when the socket cannot be made.
    bool listen();
    // Asks the instance listening on name to show itself; false when none
    // answered within timeoutMs.
    static bool askToShow(const QString &name, int timeoutMs = 3000);

Q_SIGNALS:
    void showRequested();

private:
#ifdef Q_OS_UNIX
    void readCaller(int caller);
#endif
    QString m_name;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zelvant
