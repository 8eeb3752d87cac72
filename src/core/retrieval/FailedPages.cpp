#include "core/retrieval/FailedPages.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "core/AppPaths.h"
#include "core/Logging.h"
#include "core/TextCodec.h"
#include "core/config/AtomicWrite.h"

namespace zelvant {

namespace {

const QString StampFormat = QStringLiteral("yy-MM-dd_hh-mm-ss-zzz");

// Splits on CR LF, CR or LF. A line break at the very end closes the last
// line rather than opening an empty one.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines << text.mid(start);
    return lines;
}

QString fileName(const QDateTime &stamp, int slot)
{
    return stamp.toString(StampFormat) + QStringLiteral("_slot%1.html").arg(slot);
}

} // namespace

QByteArray savedPageBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (const QString &line : splitLines(text)) {
        bytes += toWindows1251WithCharRefs(line);
        bytes += "\r\n";
    }
    return bytes;
}

QString keepFailedPage(const QString &folder, const QString &text, int slot, const QDateTime &now,
                       QString *error)
{
    const QDir dir(folder);
    // An installed program's state folder is made private at its first write.
    if (!prepareFolderFor(dir.path(), error) || !dir.mkpath(QStringLiteral("."))) {
        if (error)
            *error = QStringLiteral("не удалось создать папку \"%1\"")
                         .arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    // A second failure of the slot within the same millisecond takes the
    // next free one instead of replacing the first.
    QDateTime stamp = now;
    QString path = dir.filePath(fileName(stamp, slot));
    for (int attempt = 0; attempt < 1000 && QFileInfo::exists(path); ++attempt) {
        stamp = stamp.addMSecs(1);
        path = dir.filePath(fileName(stamp, slot));
    }
    if (!writeFileAtomically(path, savedPageBytes(text), error, NewFileAccess::OwnerOnly)) {
        qCInfo(lcRetrieval).noquote()
            << "failed page of slot" << slot << "not kept:" << (error ? *error : QString());
        return QString();
    }

    // The names begin with the time, so name order is age order; only the
    // program's own files are counted and removed.
    static const QRegularExpression ours(
        QStringLiteral("^\\d\\d-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d-\\d\\d\\d_slot\\d+\\.html$"));
    QStringList kept;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        if (ours.match(name).hasMatch())
            kept << name;
    }
    const QString written = QFileInfo(path).fileName();
    for (qsizetype i = 0; i + KeptFailedPages < kept.size(); ++i) {
        if (kept[i] != written)
            QFile::remove(dir.filePath(kept[i]));
    }
    qCDebug(lcRetrieval).noquote() << "failed page of slot" << slot << "kept as" << path;
    return path;
}

} // namespace zelvant
