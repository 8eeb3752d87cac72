// The phones' passwords in a real Secret Service (gnome-keyring-daemon on a
// private session bus), moved and read by the real executable.

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>

#include "core/TextCodec.h"
#include "core/config/IniFile.h"
#include "core/config/PasswordVault.h"
#include "core/config/PhoneList.h"
#include "core/mqtt/BrokerPassword.h"
#include "support/FakeLumoServer.h"
#include "support/PrivateKeyring.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

const QString Forty = QStringLiteral("Длинный-пароль-из-сорока-символов-123456");

class KeyringTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PrivateKeyring::installed()) {
            std::fprintf(stderr, "gnome-keyring-daemon is not installed: skipped\n");
            std::exit(77);
        }
        ASSERT_TRUE(keyring().start()) << keyring().error().toStdString();
        ASSERT_TRUE(server.start());
        temp.write(QStringLiteral("servers.ini"),
                   toWindows1251(QStringLiteral("[Тест]\r\nLoginURL=%1\r\nShortName=TST\r\n")
                                     .arg(server.loginUrl().toString())));
        exe = temp.copyProgram(QStringLiteral(ZELVANT_EXECUTABLE));
        ASSERT_FALSE(exe.isEmpty());
    }

    // Monitored phones numbered from base, each password in its place (an
    // empty one: a keyring phone without an entry).
    void writePhones(const QString &base, const QStringList &passwords, bool inKeyring)
    {
        PhoneList phones;
        QHash<QString, QString> secrets;
        numbers.clear();
        for (int i = 0; i < passwords.size(); ++i) {
            PhoneSlot &s = phones.slot(i + 1);
            numbers << (s.number = base + QString::number(i));
            s.password = inKeyring ? QString() : passwords.at(i);
            s.passwordInKeyring = inKeyring;
            s.monitored = true;
            s.region = QStringLiteral("TST");
            if (inKeyring && !passwords.at(i).isEmpty())
                secrets.insert(s.number, passwords.at(i));
            FakeLumoServer::Subscriber subscriber;
            subscriber.number = s.number;
            subscriber.password = passwords.at(i);
            server.addSubscriber(subscriber);
        }
        QString problem;
        ASSERT_TRUE(writeSecrets(secrets, &problem)) << problem.toStdString();
        ASSERT_TRUE(savePhones(phones, temp.file(QStringLiteral("phones.xml")), {}, &problem));
    }

    int run(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = keyring().environment();
        env.insert(QStringLiteral("ZELVANT_PAUSE_MS"), QStringLiteral("0"));
        process.setProcessEnvironment(env);
        QSignalSpy finished(&process, &QProcess::finished); // the server answers meanwhile
        process.start(exe, arguments);
        EXPECT_TRUE(finished.wait(60000));
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitCode();
    }

    PhoneList phones() const
    {
        PhoneList list;
        loadPhones(list, temp.file(QStringLiteral("phones.xml")));
        return list;
    }

    static PrivateKeyring &keyring() { return PrivateKeyring::shared(); }
    TempFolder temp;
    FakeLumoServer server;
    QString exe;
    QStringList numbers;
    QByteArray out, err;
};

} // namespace

// --check over the keyring's passwords (one of 40 characters, one entry
// missing) or the file's. No password reaches a file the program wrote or
// its output, and those files are their owner's only.
TEST_F(KeyringTest, CheckReadsThePasswordsAndLeaksNone)
{
    const QString ok = QStringLiteral("OK");
    const struct
    {
        bool inKeyring;
        QStringList passwords;
        QStringList status;
    } cases[] = {
        {true,
         {Forty, QString(), QStringLiteral("секрет-ключ")},
         {ok, QStringLiteral("password not in the keyring"), ok}},
        {false, {QStringLiteral("секрет-файла"), QStringLiteral("second&secret")}, {ok, ok}},
    };
    int round = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.inKeyring ? "keyring" : "file");
        temp.write(QStringLiteral("Zelvant.ini"), "[Debug]\r\nSaveLogFiles=1\r\n");
        writePhones(QStringLiteral("90320000%1").arg(round++), c.passwords, c.inKeyring);
        ASSERT_EQ(run({QStringLiteral("--init-history")}), 0);
        server.clearRequests();

        run({QStringLiteral("--check"), QStringLiteral("--json")});
        const QJsonArray array = QJsonDocument::fromJson(out).array();
        ASSERT_EQ(array.size(), c.status.size()) << err.data();
        for (int i = 0; i < array.size(); ++i) {
            const QJsonValue reason = array.at(i).toObject().value(QStringLiteral("FailReason"));
            EXPECT_EQ(reason.isNull() ? ok : reason.toString(), c.status.at(i));
        }
        EXPECT_EQ(server.loginCount(), c.status.count(ok)); // never a login without it
        EXPECT_EQ(err.contains("passwords: the keyring"), c.inKeyring) << err.data();

        QList<QByteArray> written = {out, err};
        QDirIterator files(temp.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            // The program's own files are not what it wrote.
            if (file.fileName() == exe || file.fileName().contains(QLatin1String("/zelvant-parts/"))
                || !file.open(QIODevice::ReadOnly))
                continue;
            written << file.readAll();
            const bool settings = file.fileName().endsWith(QLatin1String(".ini"));
            EXPECT_TRUE(settings || !(file.permissions() & (QFile::ReadGroup | QFile::ReadOther)))
                << file.fileName().toStdString();
        }
        EXPECT_GE(written.size(), 7); // with phones, history, error log and saved pages
        for (const QString &password : c.passwords) {
            for (const QByteArray &bytes : std::as_const(written)) {
                EXPECT_TRUE(password.isEmpty() || !bytes.contains(password.toUtf8()));
                EXPECT_TRUE(password.isEmpty() || !bytes.contains(toWindows1251(password)));
            }
        }
    }
}

// The broker's password moves between the settings file and the keyring the
// same way: the old place is emptied only after the new one holds it. (Before
// the test that stops the keyring: a restarted one no longer knows this
// process.)
TEST_F(KeyringTest, BrokerPasswordMovesWithNothingLost)
{
    const QString secret = QStringLiteral("секрет брокера, длиннее пятнадцати знаков");
    const QString path = temp.file(QStringLiteral("Zelvant.ini"));
    const struct
    {
        const char *name;
        bool toKeyring;
    } cases[] = {{"file to keyring", true}, {"keyring to file", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        IniFile settings(path);
        const bool wasInKeyring = !c.toKeyring;
        QString error;
        ASSERT_TRUE(saveBrokerPassword(settings, wasInKeyring, secret, &error))
            << error.toStdString();
        ASSERT_TRUE(saveBrokerPassword(settings, c.toKeyring, secret, &error, wasInKeyring))
            << error.toStdString();
        const bool inKeyring = c.toKeyring;
        const IniFile reread(path);
        EXPECT_EQ(loadBrokerPassword(reread, inKeyring), secret);
        EXPECT_EQ(brokerPasswordInFile(reread).isEmpty(), inKeyring);
        EXPECT_EQ(readSecrets({QLatin1String(BrokerPasswordKey)}).found.isEmpty(), !inKeyring)
            << "removed from the old place";
    }
}

// A move takes every password whole, or none: a refusal of the keyring or
// of the file leaves the file's bytes and the keyring's entries as they were.
// (The keyring stops last: a restarted one no longer knows this process.)
TEST_F(KeyringTest, PasswordsMoveWholeOrNotAtAll)
{
    const QStringList some = {QStringLiteral("simple"), QStringLiteral("пароль&<\"'> 15")};
    const struct
    {
        const char *name;
        bool fromKeyring;
        QStringList passwords;
        bool stopKeyring;
        int status;
    } cases[] = {
        {"file to keyring", false, some, false, 0},
        {"keyring to file", true, some, false, 0},
        {"too long for the file", true, {Forty}, false, 1},
        {"keyring gone", false, some, true, 1},
    };
    int round = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writePhones(QStringLiteral("90310000%1").arg(round++), c.passwords, c.fromKeyring);
        const QByteArray before = temp.read(QStringLiteral("phones.xml"));
        if (c.stopKeyring)
            keyring().stopDaemon();
        const QString to = c.fromKeyring ? QStringLiteral("file") : QStringLiteral("keyring");
        EXPECT_EQ(run({QStringLiteral("--store-passwords"), to}), c.status) << err.data();
        ASSERT_TRUE(keyring().start());
        const bool inKeyring = c.fromKeyring == (c.status != 0);
        EXPECT_TRUE(c.status == 0 || temp.read(QStringLiteral("phones.xml")) == before);
        const VaultReadResult stored = readSecrets(numbers);
        for (int i = 0; i < numbers.size(); ++i) {
            EXPECT_EQ(phones().slot(i + 1).passwordInKeyring, inKeyring);
            EXPECT_EQ(inKeyring ? stored.found.value(numbers.at(i)) : phones().slot(i + 1).password,
                      c.passwords.at(i));
        }
        EXPECT_EQ(stored.missing.size(), inKeyring ? 0 : numbers.size()) << "removed when moved";
        run({QStringLiteral("--paths")});
        EXPECT_EQ(out.contains("passwords\tkeyring (service Zelvant)"), inKeyring);
    }
}
