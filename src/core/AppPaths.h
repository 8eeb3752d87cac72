#pragma once
// Where the program's files lie.

#include <QString>

#include "core/ProgramInfo.h"

namespace zelvant {

// Every file of the program lies beside the executable, whatever the working
// directory is. The settings file follows the executable's name.
class AppPaths
{
public:
    AppPaths() = default;
    explicit AppPaths(const QString &executablePath);
    static AppPaths forFolder(const QString &folder, const QString &executableName = ProgramName);

    QString executablePath() const { return m_executablePath; }
    QString executableDir() const { return m_dir; } // with trailing '/'
    QString errorLogFile() const { return m_dir + QStringLiteral("Zelvant.err"); }
    QString settingsFile() const;
    QString regionFile() const { return m_dir + QStringLiteral("servers.ini"); }
    QString phonesFile() const { return m_dir + QStringLiteral("phones.xml"); }
    QString historyFile() const { return m_dir + QStringLiteral("Zelvant.mdb"); }
    // The page rules lie with the region list, the pages that gave no
    // balance with the error log that names them.
    QString pageRulesFile() const;
    QString failedPagesDir() const;

private:
    QString m_executablePath;
    QString m_dir;
};

} // namespace zelvant
