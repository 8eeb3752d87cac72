#pragma once
// Single instance per user and desktop: a lock file in the user's runtime
// folder, named after the title line and the desktop (display).

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
    // instance on the same desktop holds it. The lock of an instance that
    // crashed or was killed does not count.
    bool tryAcquire();
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    std::unique_ptr<QLockFile> m_lock;
#endif
};

} // namespace zelvant
