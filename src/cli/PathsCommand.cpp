// --paths: where this program keeps its files, so that a user can find, back
// up or copy them (installed: the XDG folders; portable: the executable's).
#include "cli/CommandLine.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "core/config/AutoStart.h"
#include "core/config/PasswordVault.h"
#include "core/config/PhonePasswords.h"

namespace zelvant {

QList<std::pair<QString, QString>> pathsListing(const AppPaths &paths)
{
    QList<std::pair<QString, QString>> listing{
        {QStringLiteral("mode"), paths.modeName()},
        {QStringLiteral("executable"), paths.executablePath()},
        {QStringLiteral("settings"), paths.settingsFile()},
        {QStringLiteral("phones"), paths.phonesFile()},
        {QStringLiteral("regions"), paths.regionFile()},
        {QStringLiteral("history"), paths.historyFile()},
        {QStringLiteral("errorLog"), paths.errorLogFile()},
        {QStringLiteral("savedPages"), paths.savedPagesDir()},
        {QStringLiteral("pageRules"), paths.pageRulesFile()},
        {QStringLiteral("failedPages"), paths.failedPagesDir()},
    };
#ifndef Q_OS_WIN
    // Windows keeps the autostart entry in the registry, not in a file.
    listing.append({QStringLiteral("autostart"), XdgAutoStart::desktopFilePath()});
#endif
    // Where the phone list says the passwords are: the keyring as soon as
    // one of them is there.
    PhoneList phones;
    loadPhones(phones, paths.phonesFile());
    listing.append({QStringLiteral("passwords"),
                    passwordPlaceOf(phones) == PasswordPlace::Keyring
                        ? QStringLiteral("keyring (service %1)").arg(PasswordVault::serviceName())
                        : paths.phonesFile()});
    return listing;
}

int runPathsMode(const CliRequest &request, const AppPaths &paths)
{
    const auto listing = pathsListing(paths);
    if (request.json) {
        QJsonObject object;
        for (const auto &[key, value] : listing)
            object.insert(key, value);
        writeTo(stdout, QJsonDocument(object).toJson(QJsonDocument::Indented));
        return 0;
    }
    QString text;
    for (const auto &[key, value] : listing)
        text += key + QLatin1Char('\t') + value + QLatin1Char('\n');
    printTo(stdout, text);
    return 0;
}

} // namespace zelvant
