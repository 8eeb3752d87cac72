#include "core/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zelvant {

namespace {

QString desktopName()
{
    // One instance per desktop session: the X display or Wayland socket names
    // the desktop; without either (Windows, or no display) the user's session.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("session");
    return display;
}

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
    m_path = QDir(folder).filePath(safeFileName(title + QLatin1Char('-') + desktopName())
                                   + QStringLiteral(".lock"));
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

} // namespace zelvant
