#include "core/AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "core/TextCodec.h"

namespace zelvant {

namespace {

bool g_stopRequested = false;

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

AppPaths::AppPaths(const QString &executablePath)
    : m_executablePath(QFileInfo(executablePath).absoluteFilePath())
{
    m_dir = QFileInfo(m_executablePath).absolutePath();
    if (!m_dir.endsWith(QLatin1Char('/')))
        m_dir += QLatin1Char('/');
}

AppPaths AppPaths::forFolder(const QString &folder, const QString &executableName)
{
    return AppPaths(QDir(folder).filePath(executableName));
}

QString AppPaths::settingsFile() const
{
    // The executable's full path with its extension replaced by ".ini"; an
    // executable without extension (Linux) just gets ".ini" appended.
    const QFileInfo info(m_executablePath);
    const QString suffix = info.suffix();
    QString base = m_executablePath;
    if (!suffix.isEmpty())
        base.chop(suffix.size() + 1);
    return base + QStringLiteral(".ini");
}

QString localDateTimeText(const QDateTime &when, const QLocale &locale)
{
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(when.time(), longTimeFormatWithoutZone(locale));
}

QString errorLogLine(const QString &message, const QDateTime &when, const QLocale &locale)
{
    return localDateTimeText(when, locale) + QStringLiteral(": ") + message + QStringLiteral("\r\n");
}

bool writeErrorLog(const QString &message, const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = toWindows1251(
        errorLogLine(message, QDateTime::currentDateTime(), QLocale::system()));
    const bool ok = file.write(bytes) == bytes.size() && file.flush();
    if (!ok && error)
        *error = file.errorString();
    file.close();
    return ok;
}

bool stopRequested()
{
    return g_stopRequested;
}

void setStopRequested(bool on)
{
    g_stopRequested = on;
}

} // namespace zelvant
