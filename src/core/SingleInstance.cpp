#include "core/SingleInstance.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

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
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return text.replace(unsafe, QStringLiteral("_"));
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
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0); // only a dead owner's lock is stale
}

SingleInstanceLock::~SingleInstanceLock() = default;

bool SingleInstanceLock::tryAcquire()
{
    if (m_lock->isLocked())
        return true;
    return m_lock->tryLock(0);
}

} // namespace zelvant
