// --store-passwords keyring|file: moves the phones' passwords between the
// desktop's keyring and the phone list file without the tray program, and
// the keyring read that --check shares.
#include "cli/CommandLine.h"

#include <QEventLoop>
#include <QFileInfo>

#include "core/config/IniFile.h"
#include "core/config/PasswordVault.h"
#include "core/config/PhonePasswords.h"

namespace zelvant {

void readKeyringPasswords(PhoneList &phones, const std::function<void(const QString &)> &err)
{
    if (passwordPlaceOf(phones) == PasswordPlace::File)
        return;
    PhonePasswords passwords(AppPaths{});
    QEventLoop loop;
    QString problem;
    QObject::connect(&passwords, &PhonePasswords::filled, &loop,
                     [&](const PhoneList &filled, const QString &why) {
                         phones = filled;
                         problem = why;
                         loop.quit();
                     });
    passwords.fill(phones);
    loop.exec();
    // Which store the passwords came from, never the passwords themselves.
    if (problem.isEmpty())
        err(QStringLiteral("Zelvant: passwords: the keyring (service %1) and the phone list\n")
                .arg(PasswordVault::serviceName()));
    else
        err(QStringLiteral("Zelvant: passwords: the keyring cannot be read (%1); only the "
                           "phone list's are used, the keyring's phones are not queried\n")
                .arg(problem));
}

int runStorePasswordsMode(const CliRequest &request, const AppPaths &paths)
{
    const auto err = [](const QString &text) { printTo(stderr, text); };
    const bool keyring = request.positional.value(0) == QLatin1String("keyring");
    const QString phonesFile = paths.phonesFile();
    PhoneList phones;
    bool unreadable = false;
    loadPhones(phones, phonesFile, &unreadable);
    if (!QFileInfo::exists(phonesFile) || unreadable) {
        err(QStringLiteral("Zelvant: the phone list %1 cannot be read\n").arg(phonesFile));
        return 2;
    }
    readKeyringPasswords(phones, err);

    PhonePasswords passwords(paths);
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&passwords, &PhonePasswords::saved, &loop,
                     [&](bool saved, const PhoneList &, const QString &error) {
                         ok = saved;
                         if (!saved)
                             err(QStringLiteral("Zelvant: %1\n").arg(error));
                         loop.quit();
                     });
    passwords.save(phones, keyring ? PasswordPlace::Keyring : PasswordPlace::File);
    if (passwords.isBusy())
        loop.exec();
    if (!ok)
        return 1;
    // The tray program would otherwise move them back at its next start.
    IniFile settings(paths.settingsFile());
    QString error;
    if (!settings.writeInteger(QStringLiteral("Connection"), QStringLiteral("cbKeyring"),
                               keyring ? 1 : 0, &error)) {
        err(QStringLiteral("Zelvant: the settings could not be saved to %1: %2\n")
                .arg(settings.path(), error));
        return 1;
    }
    const QString where =
        keyring ? QStringLiteral("the keyring (service %1)").arg(PasswordVault::serviceName())
                : phonesFile;
    printTo(stdout, QStringLiteral("passwords\t%1\n").arg(where));
    return 0;
}

} // namespace zelvant
