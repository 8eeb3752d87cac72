#include "core/retrieval/FailedPages.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

QString withoutSecret(const QString &page, const QString &secret)
{
    if (secret.isEmpty())
        return page;
    // The forms a page can echo it in: as typed, escaped for HTML, and
    // percent-encoded from either code page the form may have been sent in
    // (with '+' or "%20" for a blank, hex digits in either case).
    QStringList forms{secret, secret.toHtmlEscaped()};
    const QString escaped = forms.last();
    for (const char *quote : {"&#39;", "&#039;", "&apos;", "&#x27;"})
        forms << QString(escaped).replace(QLatin1Char('\''), QLatin1String(quote));
    for (const QByteArray &bytes : {secret.toUtf8(), toWindows1251(secret)}) {
        const QString encoded = QString::fromLatin1(bytes.toPercentEncoding());
        forms << encoded << QString(encoded).replace(QLatin1String("%20"), QLatin1String("+"));
    }
    QString blanked = page;
    for (const QString &form : std::as_const(forms))
        blanked.replace(form, QLatin1String(BlankedSecret), Qt::CaseInsensitive);
    return blanked;
}

QString keepFailedPage(const QString &folder, const QString &text, int slot, const QDateTime &now,
                       QString *error)
{
    const QDir dir(folder);
    // An installed program's state folder is made private at its first write.
    QString reason;
    errno = 0;
    if (!prepareFolderFor(dir.path(), &reason) || !dir.mkpath(QStringLiteral("."))) {
        if (reason.isEmpty() && errno != 0)
            reason = QString::fromLocal8Bit(std::strerror(errno));
        if (error) {
            *error = QStringLiteral("не удалось создать папку \"%1\"")
                         .arg(QDir::toNativeSeparators(folder));
            if (!reason.isEmpty())
                *error += QStringLiteral(" (") + reason + QLatin1Char(')');
        }
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

    // The newest pages by the time they were written, not by their names:
    // a clock put back names a new page before older ones. Only the
    // program's own files are counted and removed.
    static const QRegularExpression ours(
        QStringLiteral("^\\d\\d-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d-\\d\\d\\d_slot\\d+\\.html$"));
    QFileInfoList kept;
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
        if (ours.match(entry.fileName()).hasMatch())
            kept << entry;
    }
    const QString written = QFileInfo(path).fileName();
    // The page just written is the newest whatever the clock says; among
    // pages of the same time the name decides.
    std::stable_sort(kept.begin(), kept.end(), [&written](const QFileInfo &a, const QFileInfo &b) {
        if ((a.fileName() == written) != (b.fileName() == written))
            return b.fileName() == written;
        return a.lastModified() < b.lastModified();
    });
    for (qsizetype i = 0; i + KeptFailedPages < kept.size(); ++i)
        QFile::remove(kept[i].absoluteFilePath());
    qCDebug(lcRetrieval).noquote() << "failed page of slot" << slot << "kept as" << path;
    return path;
}

} // namespace zelvant
