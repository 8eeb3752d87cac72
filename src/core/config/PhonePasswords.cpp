#include "core/config/PhonePasswords.h"

#include <QCoreApplication>
#include <QSet>

#include "core/config/PasswordVault.h"

namespace zelvant {

namespace {

bool hasNumber(const PhoneSlot &s)
{
    return !s.number.trimmed().isEmpty();
}

QStringList keyringNumbers(const PhoneList &phones)
{
    QStringList numbers;
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        if (hasNumber(phones.slot(i)) && phones.slot(i).passwordInKeyring)
            numbers << phones.slot(i).number;
    }
    return numbers;
}

QString keyringProblem(const QString &problem)
{
    return QCoreApplication::translate("zelvant::PhonePasswords", "Связка ключей недоступна (%1).")
        .arg(problem);
}

} // namespace

struct PhonePasswords::Private
{
    PhonePasswords *q;
    QString phonesFile;
    QString errorLogFile;
    PasswordVault vault;
    bool busy = false;
    // Of the save under way.
    PhoneList saving;
    QStringList formerKeyring;
    QString notice;

    void writeFile(const PhoneList &phones);
    void finish(bool ok, const QString &error);
};

PhonePasswords::PhonePasswords(const AppPaths &paths, QObject *parent)
    : QObject(parent)
    , d(new Private{this, paths.phonesFile(), paths.errorLogFile(), {}, false, {}, {}, {}})
{
    connect(&d->vault, &PasswordVault::written, this,
            [this](const QStringList &failed, const QString &problem) {
                if (!failed.isEmpty()) {
                    // The file is not touched: every password stays where it was.
                    d->finish(false, QCoreApplication::translate(
                                         "PhonePasswords",
                                         "Связка ключей не приняла пароли (%1); они остались "
                                         "там, где были.")
                                         .arg(problem));
                    return;
                }
                d->writeFile(d->saving);
            });
    connect(&d->vault, &PasswordVault::removed, this, [this](const QStringList &, const QString &) {
        // An entry that stays behind in the keyring is only clutter:
        // the file no longer points at it.
        d->finish(true, QString());
    });
}

PhonePasswords::~PhonePasswords() = default;

bool PhonePasswords::isBusy() const
{
    return d->busy;
}

void PhonePasswords::fill(const PhoneList &phones)
{
    // A vault of its own: two reads under way never take each other's answer.
    auto *vault = new PasswordVault(this);
    connect(vault, &PasswordVault::readDone, this,
            [this, phones, vault](const QHash<QString, QString> &found, const QStringList &,
                                  const QString &problem) {
                vault->deleteLater();
                PhoneList filled = phones;
                for (int i = 1; i <= PhoneSlotCount; ++i) {
                    PhoneSlot &s = filled.slot(i);
                    if (s.passwordInKeyring)
                        s.password = found.value(s.number);
                }
                Q_EMIT this->filled(filled,
                                    problem.isEmpty() ? QString() : keyringProblem(problem));
            });
    vault->read(keyringNumbers(phones));
}

void PhonePasswords::save(const PhoneList &phones, PasswordPlace place)
{
    d->busy = true;
    d->notice.clear();
    PhoneList onDisk;
    loadPhones(onDisk, d->phonesFile);
    d->formerKeyring = keyringNumbers(onDisk) + keyringNumbers(phones);
    d->saving = phones;
    QHash<QString, QString> secrets;
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        PhoneSlot &s = d->saving.slot(i);
        // A keyring phone whose password could not be read stays there.
        if (!hasNumber(s) || s.password.isEmpty())
            continue;
        s.passwordInKeyring = place == PasswordPlace::Keyring;
        if (s.passwordInKeyring)
            secrets.insert(s.number, s.password);
    }
    if (secrets.isEmpty())
        d->writeFile(d->saving);
    else
        d->vault.write(secrets);
}

void PhonePasswords::Private::writeFile(const PhoneList &phones)
{
    QString error;
    if (!savePhones(phones, phonesFile, errorLogFile, &error, &notice)) {
        finish(false, error);
        return;
    }
    // Only now, with the file pointing at the new place, the old one goes.
    const QStringList stillThere = keyringNumbers(phones);
    QStringList stale;
    for (const QString &number : std::as_const(formerKeyring)) {
        if (!stillThere.contains(number) && !stale.contains(number))
            stale << number;
    }
    if (stale.isEmpty())
        finish(true, QString()); // at once: a save of the file alone needs no wait
    else
        vault.remove(stale);
}

void PhonePasswords::Private::finish(bool ok, const QString &error)
{
    busy = false;
    const PhoneList phones = saving;
    saving = PhoneList();
    Q_EMIT q->saved(ok, phones, error, notice);
}

PasswordPlace passwordPlaceOf(const PhoneList &phones)
{
    return keyringNumbers(phones).isEmpty() ? PasswordPlace::File : PasswordPlace::Keyring;
}

bool needsMove(const PhoneList &phones, PasswordPlace place)
{
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        const PhoneSlot &s = phones.slot(i);
        const bool hasPassword = s.passwordInKeyring || !s.password.isEmpty();
        if (hasNumber(s) && hasPassword && s.passwordInKeyring != (place == PasswordPlace::Keyring))
            return true;
    }
    return false;
}

void dropKeyringPasswords(PhoneList &phones)
{
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        if (phones.slot(i).passwordInKeyring)
            phones.slot(i).password.clear();
    }
}

} // namespace zelvant
