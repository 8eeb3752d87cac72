#pragma once
// Where the phones' passwords are kept: scrambled in the phone list file, or
// in the desktop's keyring (PasswordVault, the number as the key) with the
// marker PasswordIn="keyring" in the file. Reads and saves are asynchronous,
// like the keyring's own jobs; a password is only ever removed from its old
// place after the new place confirmed it.

#include <QObject>
#include <QString>

#include <memory>

#include "core/config/PhoneList.h"

namespace zelvant {

enum class PasswordPlace { File, Keyring };

class PhonePasswords : public QObject
{
    Q_OBJECT
public:
    // paths: the phone list the passwords belong to, and the error log.
    explicit PhonePasswords(const AppPaths &paths, QObject *parent = nullptr);
    ~PhonePasswords() override;

    // Reads the keyring passwords of the phones marked so; filled() follows.
    void fill(const PhoneList &phones);
    // Saves the list (passwords plain in memory) with each password where
    // place says; saved() follows. A phone marked for the keyring whose
    // password is not in memory keeps its entry there.
    void save(const PhoneList &phones, PasswordPlace place);
    bool isBusy() const;

Q_SIGNALS:
    // phones: the list with every keyring password that was found; a phone
    // whose entry is missing keeps an empty one. problem: why the keyring
    // could not be read (for the user), empty when it answered.
    void filled(const PhoneList &phones, const QString &problem);
    // ok: the file holds the list; phones: the list as saved, passwords
    // still in memory. error: why nothing was saved (a refusing keyring
    // left the file untouched); notice: what the save wants the user to know.
    void saved(bool ok, const PhoneList &phones, const QString &error, const QString &notice);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Which place the list's passwords are in: Keyring as soon as one phone's is.
PasswordPlace passwordPlaceOf(const PhoneList &phones);
// True when some phone with a password is in the other place than place.
bool needsMove(const PhoneList &phones, PasswordPlace place);
// Forgets the passwords that the keyring keeps: what stays in memory between
// cycles and after the setup window has closed.
void dropKeyringPasswords(PhoneList &phones);

} // namespace zelvant
