#include "core/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#endif

namespace zelvant {

namespace {

QStringList g_ownFolders; // registered once at start, before any write

constexpr QFile::Permissions PrivateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// A folder as the file system names it, so that /bin/zelvant counts as lying
// in /usr/bin where /bin links there; a folder that does not exist keeps its
// cleaned absolute name.
QString fileSystemName(const QString &folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString homeFolder(const QProcessEnvironment &environment)
{
    const QString home = environment.value(QStringLiteral("HOME"));
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return QDir::cleanPath(home);
#ifdef Q_OS_UNIX
    // No usable HOME (started through "env -i" or by a service): the
    // account's own home folder rather than the root of the file system.
    if (const passwd *account = getpwuid(getuid()); account && account->pw_dir)
        return QDir::cleanPath(QFile::decodeName(account->pw_dir));
#endif
    return QDir::homePath();
}

QString ownFolder(XdgBase base, const QProcessEnvironment &environment)
{
    return withSlash(QDir(xdgBaseFolder(base, environment)).filePath(QStringLiteral("zelvant")));
}

} // namespace

AppPaths::AppPaths(const QString &executablePath)
    : m_executablePath(QFileInfo(executablePath).absoluteFilePath())
{
    m_dir = withSlash(QFileInfo(m_executablePath).absolutePath());
    m_configDir = m_dataDir = m_stateDir = m_dir;
}

AppPaths AppPaths::forFolder(const QString &folder, const QString &executableName)
{
    return AppPaths(QDir(folder).filePath(executableName));
}

AppPaths AppPaths::forExecutable(const QString &executablePath, const QString &installBinDir,
                                 const QProcessEnvironment &environment)
{
    AppPaths paths(executablePath);
    // Writable or not plays no part: a portable folder stays portable when
    // it is read-only, and root running the installed program still keeps
    // its files in its home.
    if (installBinDir.isEmpty() || fileSystemName(paths.m_dir) != fileSystemName(installBinDir))
        return paths;
    const QFileInfo marker(paths.m_dir + QStringLiteral("portable"));
    if (marker.exists() || marker.isSymLink())
        return paths;
    paths.m_mode = FileMode::Installed;
    paths.m_configDir = ownFolder(XdgBase::Config, environment);
    paths.m_dataDir = ownFolder(XdgBase::Data, environment);
    paths.m_stateDir = ownFolder(XdgBase::State, environment);
    return paths;
}

AppPaths AppPaths::forRunningProgram(const QString &executablePath)
{
#if defined(ZELVANT_INSTALL_BINDIR) && !defined(Q_OS_WIN)
    const QString installBinDir = QStringLiteral(ZELVANT_INSTALL_BINDIR);
#else
    const QString installBinDir; // Windows installations stay portable
#endif
    return forExecutable(executablePath, installBinDir, QProcessEnvironment::systemEnvironment());
}

QString AppPaths::modeName() const
{
    return m_mode == FileMode::Installed ? QStringLiteral("installed") : QStringLiteral("portable");
}

QString AppPaths::settingsFile() const
{
    // Installed, the name is fixed, so that a portable folder's settings
    // file can be copied over as it is.
    if (m_mode == FileMode::Installed)
        return m_configDir + ProgramName + QStringLiteral(".ini");
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

QString xdgBaseFolder(XdgBase base, const QProcessEnvironment &environment)
{
    static const struct
    {
        const char *variable;
        const char *underHome;
    } bases[] = {{"XDG_CONFIG_HOME", "/.config"},
                 {"XDG_DATA_HOME", "/.local/share"},
                 {"XDG_STATE_HOME", "/.local/state"}};
    const auto &which = bases[int(base)];
    QString folder = environment.value(QLatin1String(which.variable));
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        folder = homeFolder(environment) + QLatin1String(which.underHome);
    return QDir::cleanPath(folder);
}

void registerOwnFolders(const AppPaths &paths)
{
    g_ownFolders.clear();
    if (paths.mode() != FileMode::Installed)
        return;
    for (const QString &folder : {paths.configDir(), paths.dataDir(), paths.stateDir()})
        g_ownFolders << QDir::cleanPath(folder);
}

bool prepareFolderFor(const QString &filePath, QString *error)
{
    const QString folder = QDir::cleanPath(QFileInfo(filePath).absolutePath());
    if (!g_ownFolders.contains(folder) || QFileInfo(folder).isDir())
        return true;
    QStringList missing;
    for (QString level = folder; !QFileInfo::exists(level) && !QDir(level).isRoot();
         level = QFileInfo(level).absolutePath())
        missing.prepend(level);
    // Another instance may make the same folder at the same moment, so only
    // the end result counts; the system's reason of the first level that
    // failed is what the user can act on (a file where a folder should be,
    // no permission, a full disk).
    QString reason;
    for (const QString &level : std::as_const(missing)) {
        errno = 0;
        if (!QDir().mkdir(level, PrivateFolder) && reason.isEmpty() && errno != 0
            && errno != EEXIST)
            reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (QFileInfo(folder).isDir())
        return true;
    if (error) {
        if (reason.isEmpty() && QFileInfo::exists(folder))
            reason = QString::fromLocal8Bit(std::strerror(ENOTDIR));
        *error =
            QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        if (!reason.isEmpty())
            *error += QStringLiteral(": ") + reason;
    }
    return false;
}

} // namespace zelvant
