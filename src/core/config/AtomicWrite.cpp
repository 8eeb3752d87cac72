#include "core/config/AtomicWrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>

#include "core/AppPaths.h"
#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelvant {

#ifdef Q_OS_UNIX
namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QString randomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
    return suffix;
}

} // namespace
#endif

QString temporaryCopyName(const QString &fileName)
{
    return QLatin1Char('.') + fileName + QLatin1String(TemporaryCopyMarker)
#ifdef Q_OS_UNIX
           + randomSuffix();
#else
           + QStringLiteral("000000");
#endif
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *reason,
                         NewFileAccess access)
{
    if (!prepareFolderFor(path, reason))
        return false;
#ifdef Q_OS_UNIX
    // A link is replaced in its target's folder, as an editor saves it.
    const QFileInfo link(path);
    const QFileInfo target(link.isSymLink() ? link.symLinkTarget() : link.absoluteFilePath());
    const QString folder = target.absolutePath();
    const QByteArray finalName = QFile::encodeName(target.absoluteFilePath());
    struct stat old;
    const bool replacing = ::stat(finalName.constData(), &old) == 0 && S_ISREG(old.st_mode);
    // A new file gets what the user's umask allows (the owner alone where
    // access says so), a replaced one keeps its permissions; the copy is
    // private until then.
    const mode_t mode = replacing || access == NewFileAccess::OwnerOnly ? 0600 : 0666;

    // The copy is written under a name with our marker, so that one left by
    // a process killed meanwhile is recognised for what it is and removed
    // later (removeStaleTemporaryCopies); no file of the user's is ever
    // taken for one.
    QByteArray copyName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        copyName =
            QFile::encodeName(folder + QLatin1Char('/') + temporaryCopyName(target.fileName()));
        fd = ::open(copyName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        if (reason)
            *reason = systemReason(errno);
        return false;
    }
    // Every byte on the disk before the rename: a power cut leaves the old
    // file or the new one, never a truncated one.
    bool ok = writeAll(fd, bytes) && (!replacing || ::fchmod(fd, old.st_mode & 07777) == 0)
              && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(copyName.constData(), finalName.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(copyName.constData());
        if (reason)
            *reason = systemReason(error);
        return false;
    }
    syncFolder(folder);
    return true;
#else
    QSaveFile file(path);
    const bool ownerOnly = access == NewFileAccess::OwnerOnly && !QFileInfo::exists(path);
    if (file.open(QIODevice::WriteOnly)
        && (!ownerOnly || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        && file.write(bytes) == bytes.size() && file.flush() && file.commit())
        return true;
    if (reason)
        *reason = file.errorString();
    file.cancelWriting();
    return false;
#endif
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

// Whether name ends with a dot or our marker and six ASCII letters or digits.
bool endsWithCopySuffix(const QString &name)
{
    constexpr int SuffixLength = 6;
    if (name.size() <= SuffixLength)
        return false;
    const QStringView stem = QStringView(name).chopped(SuffixLength);
    if (!stem.endsWith(QLatin1Char('.')) && !stem.endsWith(QLatin1String(TemporaryCopyMarker)))
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
    // Our own copies carry the marker, whatever file they were meant for.
    const QRegularExpression marked(
        QStringLiteral("^\\..+%1[A-Za-z0-9]{6}$")
            .arg(QRegularExpression::escape(QLatin1String(TemporaryCopyMarker))));
    // Earlier versions wrote through QSaveFile, which names a copy after the
    // file with a dot and six letters or digits (saved pages add their own
    // time stamp in front). Those are recognised by the names of our files,
    // and a suffix a person would choose ("backup", "Copy01", "202401") is
    // never taken for a random one: such a file may be the user's own copy.
    QStringList alternatives;
    for (const QString &name : fileNames)
        alternatives << QRegularExpression::escape(name);
    alternatives << QStringLiteral(
        "\\d{2}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}-\\d{3}(?:_slot\\d+)?\\.html");
    const QRegularExpression unmarked(
        QStringLiteral("^\\.?(?:%1)\\.([A-Za-z0-9]{6})$").arg(alternatives.join(QLatin1Char('|'))));
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
        if (entry.lastModified() >= olderThan || entry.isSymLink())
            continue;
        bool ours = marked.match(entry.fileName()).hasMatch();
        if (!ours) {
            const QRegularExpressionMatch match = unmarked.match(entry.fileName());
            ours = match.hasMatch() && !wordLike.match(match.captured(1)).hasMatch();
        }
        if (ours && QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

int removeStaleTemporaryCopies(const AppPaths &paths, const QDateTime &olderThan)
{
    const auto nameOf = [](const QString &path) { return QFileInfo(path).fileName(); };
    const QStringList names = {
        nameOf(paths.settingsFile()), nameOf(paths.regionFile()), nameOf(paths.phonesFile()),
        nameOf(paths.phonesFile()) + QStringLiteral(".bak"), nameOf(paths.historyFile())};
    // A portable program has one folder for all of them.
    QStringList folders;
    for (const QString &folder :
         {paths.configDir(), paths.dataDir(), paths.stateDir(), paths.failedPagesDir()}) {
        const QString clean = QDir::cleanPath(folder);
        if (!folders.contains(clean))
            folders << clean;
    }
    int removed = 0;
    for (const QString &folder : std::as_const(folders))
        removed += removeStaleTemporaryCopies(folder, names, olderThan);
    return removed;
}

} // namespace zelvant
