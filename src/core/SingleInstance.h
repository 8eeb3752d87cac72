#pragma once
// Single instance per user and desktop: a lock file in the user's runtime
// folder, named after the title line and the desktop (display).

#include <QLockFile>
#include <QString>

#include <memory>

namespace zelvant {

class SingleInstanceLock
{
public:
    // lockFolder empty: the user's runtime folder.
    explicit SingleInstanceLock(const QString &title, const QString &lockFolder = QString());
    ~SingleInstanceLock();

    // True when this process now holds the lock; false when another running
    // instance on the same desktop holds it. A stale lock of a crashed
    // instance is taken over.
    bool tryAcquire();
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace zelvant
