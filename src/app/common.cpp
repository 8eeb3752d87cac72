#include "common.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "config/TextCodec.h"

namespace zelvant {

namespace {
bool g_stopRequested = false;
}

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

bool WriteErrorLog(const QString &message, const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString line = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(now.time(), QLocale::LongFormat) + QStringLiteral(": ") + message
        + QStringLiteral("\r\n");
    const QByteArray bytes = toWindows1251(line);
    const bool ok = file.write(bytes) == bytes.size() && file.flush();
    if (!ok && error)
        *error = file.errorString();
    file.close();
    return ok;
}

bool StopRequested()
{
    return g_stopRequested;
}

void SetStopRequested(bool on)
{
    g_stopRequested = on;
}

} // namespace zelvant
