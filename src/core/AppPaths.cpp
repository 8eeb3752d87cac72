#include "core/AppPaths.h"

#include <QDir>
#include <QFileInfo>

namespace zelvant {

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

QString AppPaths::pageRulesFile() const
{
    return QFileInfo(regionFile()).dir().filePath(QStringLiteral("page-rules.ini"));
}

QString AppPaths::failedPagesDir() const
{
    return QFileInfo(errorLogFile()).dir().filePath(QStringLiteral("failed-pages"));
}

} // namespace zelvant
