#include "core/config/AtomicWrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include "core/AppPaths.h"
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zelvant {

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *reason)
{
    if (!prepareFolderFor(path, reason))
        return false;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
        && file.commit()) {
        syncFolder(QFileInfo(path).absolutePath());
        return true;
    }
    if (reason)
        *reason = file.errorString();
    file.cancelWriting();
    return false;
}

void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    // The rename is durable only once the folder's own entry list is on
    // disk; the file's content was synced before the rename. A folder that
    // cannot be synced (a file system without the notion) leaves the write
    // as durable as the system makes it, which is all that can be done.
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
#else
    Q_UNUSED(folder);
#endif
}

namespace {

// Whether name ends with a dot and six ASCII letters or digits.
bool endsWithCopySuffix(const QString &name)
{
    constexpr int SuffixLength = 6;
    if (name.size() <= SuffixLength || name.at(name.size() - SuffixLength - 1) != QLatin1Char('.'))
        return false;
    for (qsizetype i = name.size() - SuffixLength; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

} // namespace

int removeStaleTemporaryCopies(const QString &folder, const QStringList &fileNames,
                               const QDateTime &olderThan)
{
    // QSaveFile and QTemporaryFile name a copy after the file with a dot and
    // six letters or digits; saved pages add their own time stamp in front.
    QStringList alternatives;
    for (const QString &name : fileNames)
        alternatives << QRegularExpression::escape(name);
    alternatives << QStringLiteral("\\d{2}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}-\\d{3}\\.html");
    const QRegularExpression ours(
        QStringLiteral("^\\.?(?:%1)\\.([A-Za-z0-9]{6})$").arg(alternatives.join(QLatin1Char('|'))));
    // A suffix a person would choose ("backup", "Copy01", "202401") is never
    // taken for a random one: such a file may be the user's own copy.
    static const QRegularExpression wordLike(
        QStringLiteral("^(?:[a-z]+|[A-Z]+|[A-Z][a-z]+|)[0-9]*$"));
    int removed = 0;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // Nearly every file fails on its last seven characters: checked
        // first, the patterns are not even compiled at an ordinary start.
        if (!endsWithCopySuffix(entry.fileName()))
            continue;
        // A copy still being written by another run of the program (the
        // command line beside the tray program) is young; only one that
        // nobody has touched for a while was left by a process that died.
        const QRegularExpressionMatch match = ours.match(entry.fileName());
        if (!match.hasMatch() || wordLike.match(match.captured(1)).hasMatch()
            || entry.lastModified() >= olderThan)
            continue;
        if (QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

} // namespace zelvant
