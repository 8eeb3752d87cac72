#include "core/mqtt/BrokerPassword.h"

#include "core/config/IniFile.h"
#include "core/config/PasswordScramble.h"
#include "core/config/PasswordVault.h"

namespace zelvant {

namespace {

const QString Section = QStringLiteral("MQTT");
const QString Key = QStringLiteral("edMqttPassword");

} // namespace

QString brokerPasswordInFile(const IniFile &settings)
{
    return unscrambleSecret(settings.readString(Section, Key, QString()));
}

bool saveBrokerPassword(IniFile &settings, bool inKeyring, const QString &password, QString *error,
                        bool wasInKeyring)
{
    const QString key = QLatin1String(BrokerPasswordKey);
    if (inKeyring) {
        const bool kept = password.isEmpty() ? removeSecrets({key}, error)
                                             : writeSecrets({{key, password}}, error);
        if (!kept)
            return false;
    }
    if (!settings.writeString(Section, Key, inKeyring ? QString() : scrambleSecret(password),
                              error))
        return false;
    // The file has it now; a keyring that cannot remove the old entry keeps a
    // copy the program no longer reads, which loses nothing.
    if (wasInKeyring && !inKeyring) {
        QString ignored;
        removeSecrets({key}, &ignored);
    }
    return true;
}

QString loadBrokerPassword(const IniFile &settings, bool inKeyring, QString *problem)
{
    if (!inKeyring)
        return brokerPasswordInFile(settings);
    const QString key = QLatin1String(BrokerPasswordKey);
    const VaultReadResult result = readSecrets({key});
    if (problem)
        *problem = result.problem;
    return result.found.value(key);
}

} // namespace zelvant
