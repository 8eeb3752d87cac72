#include "core/FileIdentity.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace zelvant {

FileIdentity identityOf(const QString &path)
{
    FileIdentity identity;
#ifdef Q_OS_UNIX
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return identity;
    identity.exists = identity.known = true;
    identity.device = quint64(status.st_dev);
    identity.inode = quint64(status.st_ino);
    identity.size = qint64(status.st_size);
    identity.modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    identity.changedNs = qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return identity;
    identity.exists = true;
    identity.size = info.size();
    identity.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    identity.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
    const QDateTime birth = info.birthTime();
    if (birth.isValid()) {
        identity.known = true;
        identity.birthMs = birth.toMSecsSinceEpoch();
    }
#endif
    return identity;
}

} // namespace zelvant
