// The phones' passwords in a real Secret Service (gnome-keyring-daemon on a
// private session bus), moved and read by the real executable: nothing lost
// either way, a missing entry failing its own phone only, a refusal leaving
// everything where it was, and no password in any file or output.

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>

#include <memory>

#include "core/TextCodec.h"
#include "core/config/IniFile.h"
#include "core/config/PasswordVault.h"
#include "core/config/PhoneList.h"
#include "support/FakeLumoServer.h"
#include "support/PrivateKeyring.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

const QString Forty = QStringLiteral("Длинный-пароль-из-сорока-символов-123456");

struct ProgramRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

class KeyringTest : public ::testing::Test
{
protected:
    static PrivateKeyring &keyring()
    {
        static PrivateKeyring instance;
        return instance;
    }

    void SetUp() override
    {
        if (!PrivateKeyring::installed()) {
            std::fprintf(stderr, "gnome-keyring-daemon is not installed: skipped\n");
            std::exit(77);
        }
        static bool started = false;
        if (!started) {
            ASSERT_TRUE(keyring().start()) << keyring().error().toStdString();
            started = true;
        }
        ASSERT_TRUE(server.start());
        temp.write(QStringLiteral("servers.ini"),
                   toWindows1251(QStringLiteral("[Тест]\r\nLoginURL=%1\r\nShortName=TST\r\n")
                                     .arg(server.loginUrl().toString())));
        exe = temp.file(QStringLiteral("Zelvant"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZELVANT_EXECUTABLE), exe));
        paths = AppPaths::forFolder(temp.path());
    }

    // Phones numbered from base, each with its password, in place.
    void writePhones(const QString &base, const QStringList &passwords, bool inKeyring)
    {
        PhoneList phones;
        QHash<QString, QString> secrets;
        for (int i = 0; i < passwords.size(); ++i) {
            PhoneSlot &s = phones.slot(i + 1);
            s.number = base + QString::number(i);
            s.password = inKeyring ? QString() : passwords.at(i);
            s.passwordInKeyring = inKeyring;
            s.monitored = true;
            s.region = QStringLiteral("TST");
            if (!passwords.at(i).isEmpty())
                secrets.insert(s.number, passwords.at(i));
            FakeLumoServer::Subscriber subscriber;
            subscriber.number = s.number;
            subscriber.password = passwords.at(i);
            subscriber.balance = 10.5 + i;
            server.addSubscriber(subscriber);
            numbers << s.number;
        }
        QString problem;
        if (inKeyring)
            ASSERT_TRUE(writeSecrets(secrets, &problem)) << problem.toStdString();
        ASSERT_TRUE(savePhones(phones, paths.phonesFile(), paths.errorLogFile(), &problem));
    }

    ProgramRun run(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = keyring().environment();
        env.insert(QStringLiteral("ZELVANT_PAUSE_MS"), QStringLiteral("0"));
        process.setProcessEnvironment(env);
        // The server answers from this event loop while the program runs.
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(exe, arguments);
        if (!finished.wait(60000))
            return {};
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QByteArray phonesBytes() const { return temp.read(QStringLiteral("phones.xml")); }

    TempFolder temp;
    FakeLumoServer server;
    AppPaths paths;
    QString exe;
    QStringList numbers;
};

} // namespace

TEST_F(KeyringTest, PasswordsMoveToTheKeyringAndBackWithoutLoss)
{
    const QStringList passwords = {QStringLiteral("simple"), QStringLiteral("пароль&<\"'> 15"),
                                   QStringLiteral("x")};
    writePhones(QStringLiteral("903100000"), passwords, false);

    const ProgramRun toKeyring = run({QStringLiteral("--store-passwords"), QStringLiteral("keyring")});
    ASSERT_EQ(toKeyring.status, 0) << toKeyring.err.toStdString();
    PhoneList phones;
    loadPhones(phones, paths.phonesFile());
    const VaultReadResult stored = readSecrets(numbers);
    for (int i = 0; i < passwords.size(); ++i) {
        EXPECT_TRUE(phones.slot(i + 1).passwordInKeyring);
        EXPECT_TRUE(phones.slot(i + 1).password.isEmpty());
        EXPECT_EQ(stored.found.value(numbers.at(i)), passwords.at(i));
    }
    EXPECT_EQ(phonesBytes().count("PasswordIn=\"keyring\""), passwords.size());
    EXPECT_EQ(IniFile(paths.settingsFile()).readInteger(QStringLiteral("Connection"),
                                                        QStringLiteral("cbKeyring"), -1),
              1);
    const ProgramRun listing = run({QStringLiteral("--paths")});
    EXPECT_TRUE(listing.out.contains("passwords\tkeyring (service Zelvant)"));

    const ProgramRun toFile = run({QStringLiteral("--store-passwords"), QStringLiteral("file")});
    ASSERT_EQ(toFile.status, 0) << toFile.err.toStdString();
    loadPhones(phones, paths.phonesFile());
    for (int i = 0; i < passwords.size(); ++i) {
        EXPECT_FALSE(phones.slot(i + 1).passwordInKeyring);
        EXPECT_EQ(phones.slot(i + 1).password, passwords.at(i));
    }
    EXPECT_EQ(readSecrets(numbers).missing, numbers); // removed once the file held them
}

// --check over three phones: the keyring's (one of 40 characters, one whose
// entry is missing) or the file's. No password reaches a file the program
// wrote, its output or its error log; those files are its owner's only.
TEST_F(KeyringTest, CheckReadsThePasswordsAndLeaksNone)
{
    const struct
    {
        bool inKeyring;
        QStringList passwords; // an empty one: no keyring entry
        QStringList status;
    } cases[] = {
        {true,
         {Forty, QString(), QStringLiteral("секрет-ключ")},
         {QStringLiteral("OK"), QStringLiteral("password not in the keyring"), QStringLiteral("OK")}},
        {false,
         {QStringLiteral("секрет-файла"), QStringLiteral("second&secret"), QStringLiteral("третий")},
         {QStringLiteral("OK"), QStringLiteral("OK"), QStringLiteral("OK")}},
    };
    int round = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.inKeyring ? "keyring" : "file");
        temp.write(QStringLiteral("Zelvant.ini"), "[Debug]\r\nSaveLogFiles=1\r\n");
        numbers.clear();
        writePhones(QStringLiteral("90320000%1").arg(round++), c.passwords, c.inKeyring);
        ASSERT_EQ(run({QStringLiteral("--init-history")}).status, 0);
        server.clearRequests();

        const ProgramRun check = run({QStringLiteral("--check"), QStringLiteral("--json")});
        const QJsonArray array = QJsonDocument::fromJson(check.out).array();
        ASSERT_EQ(array.size(), 3) << check.err.toStdString();
        for (int i = 0; i < 3; ++i) {
            const QJsonValue reason = array.at(i).toObject().value(QStringLiteral("FailReason"));
            EXPECT_EQ(reason.isNull() ? QStringLiteral("OK") : reason.toString(), c.status.at(i));
        }
        // Never a login without the password.
        EXPECT_EQ(server.loginCount(), c.status.count(QStringLiteral("OK")));
        EXPECT_EQ(check.err.contains("passwords: the keyring"), c.inKeyring) << check.err.data();

        QList<QByteArray> haystacks = {check.out, check.err};
        QDirIterator files(temp.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        int written = 0;
        while (files.hasNext()) {
            const QString file = files.next();
            if (file == exe)
                continue;
            ++written;
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            haystacks << f.readAll();
            const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther
                                | QFile::WriteOther;
            if (!file.endsWith(QLatin1String(".ini")))
                EXPECT_FALSE(f.permissions() & others) << file.toStdString();
        }
        EXPECT_GE(written, 5); // settings, regions, phones, history, saved pages
        for (const QString &password : c.passwords) {
            if (password.isEmpty())
                continue;
            for (const QByteArray &bytes : std::as_const(haystacks)) {
                EXPECT_FALSE(bytes.contains(password.toUtf8()));
                EXPECT_FALSE(bytes.contains(toWindows1251(password)));
            }
        }
    }
}

// Whatever the keyring or the file cannot take, nothing moves: the file
// keeps its bytes and the keyring its entries.
TEST_F(KeyringTest, RefusedMoveLeavesEverythingWhereItWas)
{
    const struct
    {
        const char *name;
        bool inKeyring;
        QString password;
        const char *to;
        bool stopKeyring;
        const char *said;
    } cases[] = {
        {"too long for the file", true, Forty, "file", false, "не более 15"},
        {"keyring gone", false, QStringLiteral("short"), "keyring", true, "связка ключей"},
    };
    int round = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        numbers.clear();
        writePhones(QStringLiteral("90330000%1").arg(round++), {c.password}, c.inKeyring);
        const QByteArray before = phonesBytes();
        if (c.stopKeyring)
            keyring().stopDaemon();
        const ProgramRun move = run({QStringLiteral("--store-passwords"), QString::fromLatin1(c.to)});
        EXPECT_EQ(move.status, 1);
        EXPECT_TRUE(QString::fromLocal8Bit(move.err).contains(QString::fromUtf8(c.said),
                                                              Qt::CaseInsensitive))
            << move.err.toStdString();
        EXPECT_EQ(phonesBytes(), before);
        if (c.stopKeyring)
            ASSERT_TRUE(keyring().start()) << keyring().error().toStdString();
        if (c.inKeyring) // kept whole
            EXPECT_EQ(readSecrets(numbers).found.value(numbers.first()), c.password);
    }
}
