#include "core/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#else
#include <QLocalServer>
#include <QLocalSocket>
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

#ifdef Q_OS_UNIX

// QLocalServer would do the same with a plain socket, but it lives in Qt
// Network, and loading that library with its Kerberos and proxy libraries
// was a tenth of the tray program's start.

namespace {

// The socket's address; false when the path does not fit into one.
bool unixAddress(const QString &name, sockaddr_un *address)
{
    const QByteArray path = QFile::encodeName(name);
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address->sun_path))
        return false;
    std::memcpy(address->sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Waits for events on fd until the deadline; false on time-out or error.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    while (true) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, int(deadline.remainingTime()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

struct InstanceChannel::Private
{
    // One second start talking to us.
    struct Caller
    {
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray received;
    };

    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::map<int, Caller> callers;

    // From the caller's own notifier, which must outlive its signal.
    void drop(int caller)
    {
        auto found = callers.find(caller);
        // The notifier stops first: it must never watch a closed descriptor.
        found->second.notifier->setEnabled(false);
        found->second.notifier.release()->deleteLater();
        callers.erase(found);
        ::close(caller);
    }

    ~Private()
    {
        for (auto &[caller, state] : callers) {
            state.notifier.reset();
            ::close(caller);
        }
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
};

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , d(new Private)
{
}

InstanceChannel::~InstanceChannel()
{
    // As QLocalServer::close(): the lock is still ours, so the name is too.
    if (d->fd >= 0)
        ::unlink(QFile::encodeName(m_name).constData());
}

bool InstanceChannel::listen()
{
    if (d->fd >= 0)
        return true;
    sockaddr_un address;
    if (!unixAddress(m_name, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // The lock is ours, so a socket still there is a dead instance's.
    ::unlink(address.sun_path);
    // Only the user may talk to it (the runtime folder is private already,
    // the temporary folder is not). Not by umask: that is the whole
    // process's, and other threads may be making files meanwhile.
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    if (!bound || ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        if (bound)
            ::unlink(address.sun_path);
        ::close(fd);
        return false;
    }
    d->fd = fd;
    d->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, [this] {
        while (true) {
            const int caller = ::accept4(d->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (caller < 0)
                return;
            auto watcher = std::make_unique<QSocketNotifier>(caller, QSocketNotifier::Read);
            connect(watcher.get(), &QSocketNotifier::activated, this,
                    [this, caller] { readCaller(caller); });
            d->callers[caller].notifier = std::move(watcher);
        }
    });
    return true;
}

void InstanceChannel::readCaller(int caller)
{
    auto found = d->callers.find(caller);
    if (found == d->callers.end())
        return;
    QByteArray &received = found->second.received;
    char buffer[64];
    const ssize_t got = ::recv(caller, buffer, sizeof(buffer), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got > 0) {
        received.append(buffer, got);
        if (!received.contains('\n') && received.size() < ShowRequest.size())
            return; // the rest is on its way
    }
    // Only what a second start sends counts; anything else is dropped. The
    // caller learns that it was heard when we hang up.
    const bool show = received.left(received.indexOf('\n') + 1) == ShowRequest;
    d->drop(caller);
    if (show)
        Q_EMIT showRequested();
}

bool InstanceChannel::askToShow(const QString &name, int timeoutMs)
{
    sockaddr_un address;
    if (!unixAddress(name, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    // Refused when the socket is a dead instance's: nobody listens there.
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0
              && ::send(fd, ShowRequest.constData(), size_t(ShowRequest.size()), MSG_NOSIGNAL)
                     == ShowRequest.size();
    // Answered when the running instance has read the request and hung up.
    char rest[16];
    while (ok && waitFor(fd, POLLIN, deadline) && ::recv(fd, rest, sizeof(rest), 0) > 0) {
    }
    ::close(fd);
    return ok;
}

#else

struct InstanceChannel::Private
{
    QLocalServer *server = nullptr;
};

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , d(new Private)
{
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen()
{
    QLocalServer *&server = d->server;
    if (server)
        return server->isListening();
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket still there is a dead instance's.
    QLocalServer::removeServer(m_name);
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = d->server->nextPendingConnection()) {
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
    return server->listen(m_name);
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

#endif

} // namespace zelvant
