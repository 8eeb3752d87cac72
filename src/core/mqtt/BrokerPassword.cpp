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

bool saveBrokerPassword(IniFile &settings, bool inKeyring, const QString &password, QString *error)
{
    if (inKeyring) {
        const QString key = QLatin1String(BrokerPasswordKey);
        const bool kept = password.isEmpty() ? removeSecrets({key}, error)
                                             : writeSecrets({{key, password}}, error);
        if (!kept)
            return false;
    }
    return settings.writeString(Section, Key, inKeyring ? QString() : scrambleSecret(password),
                                error);
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
