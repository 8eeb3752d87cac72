#pragma once
// Where the program's files lie. The names and formats are the same in both
// modes, so the files of a portable folder can be copied to an installed
// program's folders and back.
//  - Portable: every file beside the executable, whatever the working
//    directory is; the settings file follows the executable's name. A build
//    folder, a copied folder and every Windows installation work this way.
//  - Installed: the executable lies in the install prefix's program folder
//    (/usr/bin for the package) and that folder holds no file "portable".
//    Every user then keeps files of their own in the XDG base folders:
//    settings, phone list and regions in $XDG_CONFIG_HOME/zelvant, the
//    history in $XDG_DATA_HOME/zelvant, the error log and saved pages in
//    $XDG_STATE_HOME/zelvant.

#include <QString>

#include "core/ProgramInfo.h"

class QProcessEnvironment;

namespace zelvant {

enum class FileMode { Portable, Installed };

class AppPaths
{
public:
    AppPaths() = default;
    // Portable, beside executablePath.
    explicit AppPaths(const QString &executablePath);
    static AppPaths forFolder(const QString &folder, const QString &executableName = ProgramName);
    // The mode decided by where executablePath lies: installBinDir is the
    // install prefix's program folder (empty: never installed); environment
    // gives HOME and the XDG variables.
    static AppPaths forExecutable(const QString &executablePath, const QString &installBinDir,
                                  const QProcessEnvironment &environment);
    // The same with the program folder compiled in and this process's
    // environment: what the tray program and every command-line mode use.
    static AppPaths forRunningProgram(const QString &executablePath);

    FileMode mode() const { return m_mode; }
    QString modeName() const;
    QString executablePath() const { return m_executablePath; }
    QString executableDir() const { return m_dir; } // with trailing '/'
    // The folders of the configuration, the history and the logs, each with
    // a trailing '/'; all three are the executable's folder when portable.
    QString configDir() const { return m_configDir; }
    QString dataDir() const { return m_dataDir; }
    QString stateDir() const { return m_stateDir; }

    QString settingsFile() const;
    QString regionFile() const { return m_configDir + QStringLiteral("servers.ini"); }
    QString phonesFile() const { return m_configDir + QStringLiteral("phones.xml"); }
    QString historyFile() const { return m_dataDir + QStringLiteral("Zelvant.mdb"); }
    QString errorLogFile() const { return m_stateDir + QStringLiteral("Zelvant.err"); }
    // Where "SaveLogFiles" keeps the received pages.
    QString savedPagesDir() const { return m_stateDir; }
    // The page rules lie with the region list, the pages that gave no
    // balance with the error log that names them.
    QString pageRulesFile() const;
    QString failedPagesDir() const;

private:
    FileMode m_mode = FileMode::Portable;
    QString m_executablePath;
    QString m_dir;
    QString m_configDir;
    QString m_dataDir;
    QString m_stateDir;
};

// The user's base folders of the XDG rules: $XDG_CONFIG_HOME, $XDG_DATA_HOME
// and $XDG_STATE_HOME as environment gives them, cleaned, without a trailing
// '/'. A relative value is invalid and ignored, as the rules say, and the
// default under the home folder applies: ~/.config, ~/.local/share,
// ~/.local/state, where home is $HOME when absolute, else the account's own.
enum class XdgBase { Config, Data, State };
QString xdgBaseFolder(XdgBase base, const QProcessEnvironment &environment);

// An installed program's folders are made at the first write into them,
// never at a read. The running program registers its folders once at start
// (a portable one registers none); every writer calls prepareFolderFor
// before it creates a file. A missing folder that is not registered stays
// an error of the write, so a mistyped target is still reported.
void registerOwnFolders(const AppPaths &paths);
// Makes the folder of filePath, and the missing folders above it, readable
// by their owner only (0700, as the XDG rules ask), when it is a registered
// folder and missing. False with the reason when it could not be made.
bool prepareFolderFor(const QString &filePath, QString *error = nullptr);

} // namespace zelvant
