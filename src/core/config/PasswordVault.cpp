#include "core/config/PasswordVault.h"

#include <QEventLoop>

#include <functional>
#include <memory>

#include <qt6keychain/keychain.h>

#include "core/ProgramInfo.h"

namespace zelvant {

namespace {

// The keyring's own words are kept for the error log; a key is never one of
// them (the caller names the phone) and a secret never is.
QString problemOf(const QKeychain::Job &job)
{
    const QString text = job.errorString();
    return text.isEmpty() ? QStringLiteral("error %1").arg(int(job.error())) : text;
}

// What a batch of jobs learnt.
struct Batch
{
    QHash<QString, QString> found;
    QStringList missing;
    QStringList failed;
    QString problem;
};

// Runs one job per key, one after another (a locked Secret Service would
// otherwise ask for its unlock once per job), then calls done with the keys
// not tried: after a keyring that refused, or that the user would not
// unlock, no further job asks again.
template<typename Job>
void runJobs(QObject *owner, QStringList keys, const std::function<void(Job *)> &prepare,
             const std::function<void(Job *)> &answered,
             const std::function<void(const QStringList &)> &done)
{
    if (keys.isEmpty()) {
        QMetaObject::invokeMethod(
            owner, [done] { done({}); }, Qt::QueuedConnection);
        return;
    }
    const QString key = keys.takeFirst();
    auto *job = new Job(PasswordVault::serviceName(), owner);
    job->setKey(key);
    job->setAutoDelete(true);
    // Never a plain-text file in place of the keyring.
    job->setInsecureFallback(false);
    prepare(job);
    QObject::connect(job, &QKeychain::Job::finished, owner, [=] {
        answered(job);
        if (job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound)
            runJobs<Job>(owner, keys, prepare, answered, done);
        else
            done(keys);
    });
    job->start();
}

void noteFailure(Batch &batch, const QKeychain::Job &job)
{
    batch.failed << job.key();
    if (batch.problem.isEmpty())
        batch.problem = problemOf(job);
}

} // namespace

QString PasswordVault::serviceName()
{
    return ProgramName;
}

void PasswordVault::read(const QStringList &keys)
{
    auto batch = std::make_shared<Batch>();
    runJobs<QKeychain::ReadPasswordJob>(
        this, keys, [](QKeychain::ReadPasswordJob *) {},
        [batch](QKeychain::ReadPasswordJob *job) {
            if (job->error() == QKeychain::NoError)
                batch->found.insert(job->key(), job->textData());
            else if (job->error() == QKeychain::EntryNotFound)
                batch->missing << job->key();
            else
                noteFailure(*batch, *job);
        },
        [this, batch](const QStringList &notTried) {
            batch->failed << notTried;
            Q_EMIT readDone(batch->found, batch->missing, batch->problem);
        });
}

void PasswordVault::write(const QHash<QString, QString> &secrets)
{
    auto batch = std::make_shared<Batch>();
    runJobs<QKeychain::WritePasswordJob>(
        this, secrets.keys(),
        [secrets](QKeychain::WritePasswordJob *job) {
            job->setTextData(secrets.value(job->key()));
        },
        [batch](QKeychain::WritePasswordJob *job) {
            if (job->error() != QKeychain::NoError)
                noteFailure(*batch, *job);
        },
        [this, batch](const QStringList &notTried) {
            batch->failed << notTried;
            Q_EMIT written(batch->failed, batch->problem);
        });
}

void PasswordVault::remove(const QStringList &keys)
{
    auto batch = std::make_shared<Batch>();
    runJobs<QKeychain::DeletePasswordJob>(
        this, keys, [](QKeychain::DeletePasswordJob *) {},
        [batch](QKeychain::DeletePasswordJob *job) {
            if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound)
                noteFailure(*batch, *job);
        },
        [this, batch](const QStringList &notTried) {
            batch->failed << notTried;
            Q_EMIT removed(batch->failed, batch->problem);
        });
}

VaultReadResult readSecrets(const QStringList &keys)
{
    PasswordVault vault;
    QEventLoop loop;
    VaultReadResult result;
    QObject::connect(&vault, &PasswordVault::readDone, &loop,
                     [&](const QHash<QString, QString> &found, const QStringList &missing,
                         const QString &problem) {
                         result = {found, missing, problem};
                         loop.quit();
                     });
    vault.read(keys);
    loop.exec();
    return result;
}

namespace {

bool waitFor(void (PasswordVault::*done)(const QStringList &, const QString &),
             const std::function<void(PasswordVault &)> &start, QString *problem)
{
    PasswordVault vault;
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&vault, done, &loop, [&](const QStringList &failed, const QString &why) {
        ok = failed.isEmpty();
        if (problem)
            *problem = why;
        loop.quit();
    });
    start(vault);
    loop.exec();
    return ok;
}

} // namespace

bool writeSecrets(const QHash<QString, QString> &secrets, QString *problem)
{
    return waitFor(
        &PasswordVault::written, [&](PasswordVault &v) { v.write(secrets); }, problem);
}

bool removeSecrets(const QStringList &keys, QString *problem)
{
    return waitFor(
        &PasswordVault::removed, [&](PasswordVault &v) { v.remove(keys); }, problem);
}

} // namespace zelvant
