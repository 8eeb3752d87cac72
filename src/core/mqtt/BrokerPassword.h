#pragma once
// The broker's password, kept where the phones' passwords are: in the
// desktop's keyring under "mqtt-broker" when the options say so, else
// scrambled in the settings file ("MQTT", "edMqttPassword").

#include <QString>

namespace zelvant {

class IniFile;

inline constexpr const char *BrokerPasswordKey = "mqtt-broker";

// The password the settings file holds (empty when none or malformed).
QString brokerPasswordInFile(const IniFile &settings);
// Where the password goes: inKeyring the keyring gets it and the file keeps
// none, else the file gets it. wasInKeyring: a move out of the keyring, whose
// entry is removed once the file holds the password (never before: a failed
// write loses nothing). Blocks in a local event loop for the keyring.
bool saveBrokerPassword(IniFile &settings, bool inKeyring, const QString &password,
                        QString *error = nullptr, bool wasInKeyring = false);
// From where the options keep it; *problem says why the keyring gave none.
// Blocks in a local event loop for the keyring (the command line).
QString loadBrokerPassword(const IniFile &settings, bool inKeyring, QString *problem = nullptr);

} // namespace zelvant
