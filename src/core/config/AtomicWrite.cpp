#include "core/config/AtomicWrite.h"

#include <QSaveFile>

#include "core/AppPaths.h"

namespace zelvant {

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *reason)
{
    if (!prepareFolderFor(path, reason))
        return false;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
        && file.commit())
        return true;
    if (reason)
        *reason = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace zelvant
