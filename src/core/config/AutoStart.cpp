#include "core/config/AutoStart.h"

#include <QCoreApplication>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

#include "core/AppPaths.h"
#include "core/config/AtomicWrite.h"

namespace zelvant {

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

XdgAutoStart::XdgAutoStart(const QString &executablePath, const QProcessEnvironment &environment)
    : m_executablePath(QFileInfo(executablePath).absoluteFilePath())
    , m_desktopFile(desktopFilePath(environment))
{
}

QString XdgAutoStart::desktopFilePath(const QProcessEnvironment &environment)
{
    return QDir(xdgBaseFolder(XdgBase::Config, environment))
        .filePath(QStringLiteral("autostart/") + ProgramName + QStringLiteral(".desktop"));
}

bool XdgAutoStart::desktopEntry(const QString &executablePath, QByteArray *entry)
{
    // Exec takes the path as one quoted argument: inside the quotes '"',
    // '`', '$' and '\' get a backslash, '%' is doubled (field codes), and
    // the backslashes are then doubled once more for the entry's own string
    // escaping.
    QString quoted;
    for (const QChar c : executablePath) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
        switch (c.unicode()) {
        case '"':
        case '`':
        case '$':
            quoted += QStringLiteral("\\\\") + c;
            break;
        case '\\':
            quoted += QStringLiteral("\\\\\\\\");
            break;
        case '%':
            quoted += QStringLiteral("%%");
            break;
        default:
            quoted += c;
        }
    }
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "Exec=\"%2\"\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(ProgramName, quoted);
    *entry = text.toUtf8();
    return true;
}

bool XdgAutoStart::setAutoStart(bool on, QString *error)
{
    const QString &path = m_desktopFile;
    const QString shown = QDir::toNativeSeparators(path);
    if (!on) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return true;
        if (info.isDir() || !QFile::remove(path))
            return fail(error,
                        QCoreApplication::translate("zelvant::AutoStart",
                                                    "Не удалось удалить файл автозапуска \"%1\".")
                            .arg(shown));
        return true;
    }
    QByteArray entry;
    if (!desktopEntry(m_executablePath, &entry))
        return fail(error, QCoreApplication::translate(
                               "zelvant::AutoStart",
                               "Путь к программе \"%1\" содержит управляющие символы; "
                               "автозапуск не настроен.")
                               .arg(m_executablePath));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(error, QCoreApplication::translate(
                               "zelvant::AutoStart", "Не удалось создать папку автозапуска \"%1\".")
                               .arg(QDir::toNativeSeparators(folder)));
    QString reason;
    if (!writeFileAtomically(path, entry, &reason))
        return fail(error,
                    QCoreApplication::translate("zelvant::AutoStart",
                                                "Не удалось записать файл автозапуска \"%1\": %2")
                        .arg(shown, reason));
    return true;
}

bool XdgAutoStart::isRegistered() const
{
    return QFileInfo(m_desktopFile).isFile();
}

#ifdef Q_OS_WIN

namespace {

const QString RunKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

// The per-user "Run" list of the registry: a value named after the program
// whose data is the executable's full path in double quotes.
class RegistryAutoStart : public AutoStart
{
public:
    explicit RegistryAutoStart(const QString &executablePath)
        : m_executablePath(QFileInfo(executablePath).absoluteFilePath())
    {
    }

    bool setAutoStart(bool on, QString *error) override
    {
        QSettings run(RunKey, QSettings::NativeFormat);
        if (on) {
            run.setValue(ProgramName,
                         QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(m_executablePath)));
        } else {
            run.remove(ProgramName); // a missing value is no error
        }
        run.sync();
        if (run.status() != QSettings::NoError)
            return fail(error, QCoreApplication::translate(
                                   "zelvant::AutoStart",
                                   "Не удалось изменить список автозапуска Windows."));
        return true;
    }

    bool isRegistered() const override
    {
        const QSettings run(RunKey, QSettings::NativeFormat);
        return run.contains(ProgramName);
    }

private:
    QString m_executablePath;
};

} // namespace

std::unique_ptr<AutoStart> createPlatformAutoStart(const QString &executablePath)
{
    return std::make_unique<RegistryAutoStart>(executablePath);
}

QString autoStartCaption()
{
    return QCoreApplication::translate("zelvant::AutoStart",
                                       "Запускать программу при запуске Windows");
}

#else

std::unique_ptr<AutoStart> createPlatformAutoStart(const QString &executablePath)
{
    return std::make_unique<XdgAutoStart>(executablePath);
}

QString autoStartCaption()
{
    return QCoreApplication::translate("zelvant::AutoStart",
                                       "Запускать программу при входе в систему");
}

#endif

} // namespace zelvant
