#pragma once
// Secrets kept in the desktop's keyring (the Secret Service on Linux, the
// credential store on Windows) through QtKeychain: one entry per key under
// the program's service name. Every call returns at once and its answer
// comes by a signal, so that an unlock dialog of the keyring never freezes
// the tray. The key is any text: a phone number, or a name such as
// "mqtt-broker" for another secret of the program.

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

namespace zelvant {

enum class VaultStatus {
    Ok,
    NotFound,    // the keyring answered: it holds no entry for the key
    Unavailable, // no keyring, locked and not unlocked, or it refused
};

class PasswordVault : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The service the entries are kept under: the program's name.
    static QString serviceName();

    // Reads the secrets of keys; readDone() follows once for all of them.
    void read(const QStringList &keys);
    // Writes each key's secret; written() follows once all were answered.
    void write(const QHash<QString, QString> &secrets);
    // Removes the entries of keys (a missing one counts as removed).
    void remove(const QStringList &keys);

Q_SIGNALS:
    // found: the secrets read; missing: the keys the keyring has no entry
    // for; problem: why the others could not be read (empty when none).
    void readDone(const QHash<QString, QString> &found, const QStringList &missing,
                  const QString &problem);
    // failed: the keys not written, problem: why (both empty on success).
    void written(const QStringList &failed, const QString &problem);
    void removed(const QStringList &failed, const QString &problem);
};

// The same as a blocking call, for the command line: waits in a local event
// loop (a keyring's unlock dialog still works) for the answer.
struct VaultReadResult
{
    QHash<QString, QString> found;
    QStringList missing;
    QString problem;
};
VaultReadResult readSecrets(const QStringList &keys);
// False with *problem when a key could not be written (or removed).
bool writeSecrets(const QHash<QString, QString> &secrets, QString *problem);
bool removeSecrets(const QStringList &keys, QString *problem);

} // namespace zelvant
