#include "core/ErrorLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "core/AppPaths.h"
#include "core/TextCodec.h"

namespace zelvant {

namespace {

// The locale's long time format without its time-zone fields: log lines and
// the phones window show the local wall-clock time as the user writes it
// ("25.12.2006 14:03:07"); a zone name such as "MSK" is no part of it.
QString longTimeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    return result.trimmed();
}

} // namespace

QString localDateTimeText(const QDateTime &when, const QLocale &locale)
{
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + locale.toString(when.time(), longTimeFormatWithoutZone(locale));
}

QString interfaceDateTimeText(const QDateTime &when)
{
    return localDateTimeText(when, QLocale(QLocale::Russian, QLocale::Russia));
}

QString errorLogLine(const QString &message, const QDateTime &when, const QLocale &locale)
{
    return localDateTimeText(when, locale) + QStringLiteral(": ") + message
           + QStringLiteral("\r\n");
}

bool writeErrorLog(const QString &message, const QString &fileName, QString *error)
{
    if (!prepareFolderFor(fileName, error))
        return false;
    QFile file(fileName);
    // The log names the phones and their accounts' troubles: a new one is
    // readable by its owner only.
    const bool created = !QFileInfo::exists(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)
        || (created && !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes =
        toWindows1251(errorLogLine(message, QDateTime::currentDateTime(), QLocale::system()));
    const bool ok = file.write(bytes) == bytes.size() && file.flush();
    if (!ok && error)
        *error = file.errorString();
    file.close();
    return ok;
}

} // namespace zelvant
