#include "core/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zelvant {

namespace {

QString safeFileName(QString text)
{
    for (QChar &c : text) {
        const bool safe = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')
                          || (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-';
        if (!safe)
            c = u'_';
    }
    return text;
}

} // namespace

SingleInstanceLock::SingleInstanceLock(const QString &title, const QString &lockFolder)
{
    QString folder = lockFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    // The runtime folder belongs to the user; the temporary folder is
    // shared, so there the user's name is part of the lock's.
    QString name = safeFileName(title);
    if (lockFolder.isEmpty() && folder == QDir::tempPath())
        name +=
            QLatin1Char('-') + safeFileName(qEnvironmentVariable("USER", QStringLiteral("user")));
    m_path = QDir(folder).filePath(name + QStringLiteral(".lock"));
#ifdef Q_OS_UNIX
    m_channel = QDir(folder).filePath(name + QStringLiteral(".socket"));
#else
    m_channel = name + QStringLiteral("-") + qEnvironmentVariable("USERNAME");
#endif
#ifndef Q_OS_UNIX
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0); // only a dead owner's lock is stale
#endif
}

#ifdef Q_OS_UNIX

// The kernel's lock on an open file: it ends with the process however the
// process ends, so there is no stale lock to detect and nothing to write or
// sync to disk (QLockFile's owner record costs a disk sync on every start).
// The file itself stays; removing it would race with a starting instance.

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(m_path);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // an unusable runtime folder must not keep the program from running
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

#else

SingleInstanceLock::~SingleInstanceLock() = default;

bool SingleInstanceLock::tryAcquire()
{
    if (m_lock->isLocked())
        return true;
    return m_lock->tryLock(0);
}

#endif

namespace {
const QByteArray ShowRequest = QByteArrayLiteral("show\n");
} // namespace

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen()
{
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket still there is a dead instance's.
    QLocalServer::removeServer(m_name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // Only what a second start sends counts; anything else is dropped.
                if (!socket->canReadLine() && socket->bytesAvailable() < ShowRequest.size())
                    return; // the rest is on its way
                if (socket->readLine(64) == ShowRequest)
                    Q_EMIT showRequested();
                socket->disconnectFromServer();
            });
        }
    });
    return m_server->listen(m_name);
}

bool InstanceChannel::askToShow(const QString &name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(ShowRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Answered when the running instance has read the request and hung up.
    if (socket.state() == QLocalSocket::ConnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

} // namespace zelvant
