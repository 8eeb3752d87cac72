// "Zelvant --check": in-process for the details, and once as the real
// executable without any display.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>

#include <csignal>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

#include "cli/CheckCommand.h"
#include "core/TextCodec.h"
#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/history/HistoryStore.h"
#include "core/mqtt/BrokerPassword.h"
#include "support/FakeLumoServer.h"
#include "support/HistoryFixture.h"
#include "support/MosquittoBroker.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::FakeLumoServer;
using zelvant::test::TempFolder;

namespace {

class CheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        temp.write(QStringLiteral("servers.ini"),
                   toWindows1251(QStringLiteral("[Тест]\r\nLoginURL=%1\r\nShortName=TST\r\n")
                                     .arg(server.loginUrl().toString())));
        paths = AppPaths::forFolder(temp.path());
    }

    void addPhone(int slot, const QString &number, const QString &password, bool monitor = true,
                  bool serve = true)
    {
        PhoneSlot &p = phones.slot(slot);
        p.number = number;
        p.password = password;
        p.alias = QStringLiteral("Алиас %1").arg(slot);
        p.monitored = monitor;
        p.region = QStringLiteral("TST");
        if (serve) {
            FakeLumoServer::Subscriber s;
            s.number = number;
            s.password = password;
            s.balance = 10 * slot + 0.5;
            s.usdRate = 30.5678;
            server.addSubscriber(s);
        }
    }

    void savePhones()
    {
        QString error;
        ASSERT_TRUE(zelvant::savePhones(phones, paths.phonesFile(), paths.errorLogFile(), &error))
            << error.toStdString();
    }

    int check(bool json)
    {
        out.clear();
        err.clear();
        CheckOutput output;
        output.out = [this](const QString &text) { out += text; };
        output.err = [this](const QString &text) { err += text; };
        CycleTimings timings;
        timings.pauseBeforePhoneMs = 0;
        timings.timeoutMs = timeoutMs;
        timings.afterPhoneMs = 0;
        timings.historyBusyTimeoutMs = 100;
        return runCheck(paths, json, timings, output);
    }

    TempFolder temp;
    FakeLumoServer server;
    AppPaths paths;
    PhoneList phones;
    QString out;
    QString err;
    int timeoutMs = 10000;
};

} // namespace

TEST_F(CheckTest, UnusableConfigurationIsExitTwoWithAReason)
{
    EXPECT_EQ(check(false), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("phones.xml"))) << err.toStdString();
    EXPECT_TRUE(out.isEmpty());

    addPhone(1, QStringLiteral("9030000001"), QStringLiteral("p"), false);
    savePhones();
    EXPECT_EQ(check(true), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("no phone is monitored"))) << err.toStdString();
    EXPECT_TRUE(out.isEmpty());

    temp.write(QStringLiteral("phones.xml"), "<phones><phone");
    EXPECT_EQ(check(false), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("could not be read"))) << err.toStdString();
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(CheckTest, AllPhonesSucceedJsonAndHistory)
{
    // Slot 2 spent 5 a day for ten days, the last reading two hours ago at
    // 455; its page now says 20.50. Slot 3 has no history.
    const QDateTime last = QDateTime::currentDateTime().addSecs(-2 * 3600);
    QList<HistoryRow> rows;
    for (int k = 9; k >= 0; --k)
        rows << test::MakeHistoryRow(QStringLiteral("9030000002"), last.addDays(-k), 455 + 5 * k);
    ASSERT_TRUE(test::WriteHistoryRows(paths.historyFile(), rows));
    addPhone(1, QStringLiteral("9030000001"), QStringLiteral("x"), false);
    addPhone(2, QStringLiteral("9030000002"), QStringLiteral("секрет"));
    addPhone(3, QStringLiteral("9030000003"), QStringLiteral("тайна"));
    savePhones();

    EXPECT_EQ(check(true), 0) << err.toStdString();
    const QJsonDocument doc = QJsonDocument::fromJson(out.toUtf8());
    ASSERT_TRUE(doc.isArray()) << out.toStdString();
    const QJsonArray array = doc.array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array.at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("NN")).toInt(), 2);
    EXPECT_EQ(first.value(QStringLiteral("Alias")).toString(), QStringLiteral("Алиас 2"));
    EXPECT_EQ(first.value(QStringLiteral("PhoneNum")).toString(), QStringLiteral("9030000002"));
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("Balance")).toDouble(), 20.5);
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("USDRate")).toDouble(), 30.5678);
    EXPECT_TRUE(first.value(QStringLiteral("QueryOk")).toBool());
    EXPECT_TRUE(first.value(QStringLiteral("LastQueryTime")).isString());
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("UsualDailySpend")).toDouble(), 5);
    const QJsonObject unusual = first.value(QStringLiteral("UnusualSpend")).toObject();
    EXPECT_EQ(unusual.value(QStringLiteral("Since")).toString(),
              last.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")));
    EXPECT_DOUBLE_EQ(unusual.value(QStringLiteral("Spent")).toDouble(), 434.5);
    EXPECT_DOUBLE_EQ(unusual.value(QStringLiteral("PerDay")).toDouble(), 434.5);
    const QJsonObject second = array.at(1).toObject();
    EXPECT_EQ(second.value(QStringLiteral("NN")).toInt(), 3);
    EXPECT_TRUE(second.value(QStringLiteral("UsualDailySpend")).isNull());
    EXPECT_TRUE(second.value(QStringLiteral("UnusualSpend")).isNull());
    // One progress line per phone on standard error.
    EXPECT_TRUE(err.contains(QStringLiteral("Phone 1/2: slot 2")));
    EXPECT_TRUE(err.contains(QStringLiteral("Phone 2/2: slot 3")));
    EXPECT_EQ(err.count(QLatin1Char('\n')), 2) << err.toStdString();
    EXPECT_EQ(server.loginCount(), 2);

    HistoryReader reader(paths.historyFile());
    EXPECT_EQ(reader.rows(QStringLiteral("9030000002"), HistoryRange::All, 0).size(), 11);
    EXPECT_EQ(reader.rows(QStringLiteral("9030000003"), HistoryRange::All, 0).size(), 1);
}

TEST_F(CheckTest, SomeFailedIsExitOneAndMissingHistorySwitchesOff)
{
    addPhone(1, QStringLiteral("9030000001"), QStringLiteral("верный"));
    addPhone(2, QStringLiteral("9030000002"), QStringLiteral("неверный"), true, false);
    FakeLumoServer::Subscriber s;
    s.number = QStringLiteral("9030000002");
    s.password = QStringLiteral("другой");
    server.addSubscriber(s);
    addPhone(3, QStringLiteral("9030000003"), QString(), true, false);
    savePhones();
    IniFile settings(paths.settingsFile());
    ASSERT_TRUE(loadSettings(settings).cbHistory);

    EXPECT_EQ(check(false), 1);
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << out.toStdString();
    const QStringList okFields = lines.at(0).split(QLatin1Char('\t'));
    EXPECT_EQ(okFields.first(), QStringLiteral("1"));
    EXPECT_EQ(okFields.at(1), QStringLiteral("Алиас 1"));
    EXPECT_EQ(okFields.at(2), QStringLiteral("9030000001"));
    EXPECT_EQ(okFields.at(3), QStringLiteral("10.50"));
    EXPECT_EQ(okFields.last(), QStringLiteral("OK"));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("2\t")));
    EXPECT_TRUE(lines.at(1).endsWith(QStringLiteral("\tfailed: no balance on the page")));
    EXPECT_TRUE(lines.at(2).endsWith(QStringLiteral("\tfailed: skipped: no password")));
    EXPECT_TRUE(err.contains(QStringLiteral("not queried: no password"))) << err.toStdString();
    // No history file beside the executable: warned once, switched off in
    // the settings file, not created.
    EXPECT_EQ(err.count(QStringLiteral("Zelvant: ")), 1) << err.toStdString();
    EXPECT_FALSE(loadSettings(settings).cbHistory);
    EXPECT_FALSE(QFile::exists(paths.historyFile()));
}

TEST_F(CheckTest, MqttSettingsOfTheFilePublishTheStatesBeforeTheCheckEnds)
{
    if (!test::MosquittoBroker::available())
        GTEST_SKIP() << "mosquitto is not installed";
    addPhone(1, QStringLiteral("9030000001"), QStringLiteral("верный"));
    savePhones();
    test::MosquittoBroker broker;
    IniFile settings(paths.settingsFile());
    Options options;
    options.cbMqttEnabled = true;
    options.edMqttHost = QStringLiteral("127.0.0.1");
    options.edMqttPort = QString::number(broker.port());
    options.edMqttPrefix = QStringLiteral("дача");
    options.edMqttUser = QStringLiteral("zelvant");
    ASSERT_TRUE(saveSettings(settings, options, false, nullptr));
    ASSERT_TRUE(saveBrokerPassword(settings, false, QStringLiteral("секрет брокера")));
    const test::BrokerSetup login{QStringLiteral("zelvant"), QStringLiteral("секрет брокера")};
    // The broker up, then out of reach: the check's own result is the same.
    for (const bool up : {true, false}) {
        if (up) {
            ASSERT_TRUE(broker.start(login));
        }
        EXPECT_EQ(check(false), 0) << err.toStdString();
        EXPECT_TRUE(out.startsWith(QStringLiteral("1\tАлиас 1\t9030000001\t10.50")));
        EXPECT_EQ(err.contains(QStringLiteral("MQTT")), !up) << err.toStdString();
        if (up) {
            const QMap<QString, QByteArray> retained = broker.retained(QStringLiteral("#"), login);
            // The status stays "online" between the timer's runs.
            EXPECT_EQ(retained.value(QStringLiteral("дача/status")), "online");
            const QJsonObject state =
                QJsonDocument::fromJson(retained.value(QStringLiteral("дача/9030000001/state")))
                    .object();
            EXPECT_DOUBLE_EQ(state.value(QStringLiteral("Balance")).toDouble(), 10.5);
            EXPECT_EQ(retained.keys().filter(QStringLiteral("homeassistant/")).size(), 6);
            broker.stop();
        }
    }
}

TEST_F(CheckTest, RealExecutableRunsWithoutDisplay)
{
    // With its parts: the network is one, opened at the first request.
    const QString exe = temp.copyProgram(QStringLiteral(ZELVANT_EXECUTABLE));
    ASSERT_FALSE(exe.isEmpty());
    ASSERT_TRUE(QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner));
    addPhone(1, QStringLiteral("9030000001"), QStringLiteral("пароль"));
    addPhone(2, QStringLiteral("9030000002"), QStringLiteral("пароль"));
    savePhones();

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("ZELVANT_PAUSE_MS"), QStringLiteral("10"));
    env.insert(QStringLiteral("HOME"), temp.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), temp.file(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), temp.path());
    process.setProcessEnvironment(env);
    // The server answers from this event loop while the program runs.
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(exe, {QStringLiteral("--check"), QStringLiteral("--json")});
    ASSERT_TRUE(finished.wait(60000));
    const QByteArray stdoutBytes = process.readAllStandardOutput();
    const QByteArray stderrBytes = process.readAllStandardError();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << stderrBytes.toStdString();
    const QJsonArray array = QJsonDocument::fromJson(stdoutBytes).array();
    ASSERT_EQ(array.size(), 2) << stdoutBytes.toStdString();
    EXPECT_DOUBLE_EQ(array.at(1).toObject().value(QStringLiteral("Balance")).toDouble(), 20.5);
    EXPECT_EQ(server.loginCount(), 2);

    // A copy without its network part fails every phone, and says why.
    ASSERT_TRUE(QFile::remove(temp.file(QStringLiteral("zelvant-parts/zelvant-net.so"))));
    process.start(exe, {QStringLiteral("--check")});
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("zelvant-net.so"));
    EXPECT_EQ(server.loginCount(), 2);
}

TEST_F(CheckTest, FailureReasonsForEveryFaultOfTheServer)
{
    using A = FakeLumoServer::LoginAnswer;
    FakeLumoServer https(FakeLumoServer::Https);
    ASSERT_TRUE(https.start());
    https.setUseUntrustedCertificate(true);
    QTcpServer vacant;
    ASSERT_TRUE(vacant.listen(QHostAddress::LocalHost));
    const quint16 closedPort = vacant.serverPort();
    vacant.close();
    FakeLumoServer::Reply busy = FakeLumoServer::Reply::html("<html><body>busy</body></html>");
    busy.status = 503;
    server.setRoute("/busy", busy);
    timeoutMs = 500;
    // Regions other than the test server's own: a certificate nobody vouches
    // for, nobody listening, pages that are not there or overloaded.
    temp.write(QStringLiteral("servers.ini"),
               toWindows1251(
                   QStringLiteral("[Тест]\r\nLoginURL=%1\r\nShortName=TST\r\n"
                                  "[TLS]\r\nLoginURL=%2\r\nShortName=TLS\r\n"
                                  "[Закрыт]\r\nLoginURL=http://127.0.0.1:%3/\r\nShortName=OFF\r\n"
                                  "[Нет]\r\nLoginURL=%4\r\nShortName=404\r\n"
                                  "[Занят]\r\nLoginURL=%5\r\nShortName=503\r\n")
                       .arg(server.loginUrl().toString(), https.loginUrl().toString())
                       .arg(closedPort)
                       .arg(server.url(QStringLiteral("/nowhere")).toString(),
                            server.url(QStringLiteral("/busy")).toString())));
    struct Case
    {
        const char *region;
        A answer;
        bool rightPassword;
        const char *reason; // null: succeeds
    };
    const Case cases[] = {
        {"TST", A::Redirect, true, nullptr},
        {"TST", A::Redirect, false, "no balance on the page"},
        {"TST", A::Frameset, true, "no balance on the page"},
        {"TST", A::Hang, true, "time-out"},
        {"TST", A::Reset, true, "no connection"},
        {"TST", A::ServerError, true, "HTTP error 500"},
        {"TST", A::Huge, true, "answer too large"},
        {"TLS", A::Redirect, true, "TLS certificate refused"},
        {"OFF", A::Redirect, true, "no connection"},
        {"404", A::Redirect, true, "HTTP error 404"},
        {"503", A::Redirect, true, "HTTP error 503"},
        {"XXX", A::Redirect, true, "skipped: unknown region"},
    };
    int slot = 0;
    for (const Case &c : cases) {
        ++slot;
        const QString number = QStringLiteral("90300000%1").arg(slot, 2, 10, QLatin1Char('0'));
        addPhone(slot, number, QStringLiteral("пароль"));
        phones.slot(slot).region = QLatin1String(c.region);
        FakeLumoServer::Subscriber s = *server.subscriber(number);
        s.answer = c.answer;
        if (!c.rightPassword)
            s.password = QStringLiteral("другой");
        server.addSubscriber(s);
        https.addSubscriber(s);
    }
    addPhone(++slot, QStringLiteral("9030000099"), QString(), true, false);
    savePhones();

    EXPECT_EQ(check(true), 1);
    const QJsonArray array = QJsonDocument::fromJson(out.toUtf8()).array();
    ASSERT_EQ(array.size(), slot) << out.toStdString();
    for (int i = 0; i < slot; ++i) {
        const char *expected = i < int(std::size(cases)) ? cases[i].reason : "skipped: no password";
        SCOPED_TRACE(i + 1);
        const QJsonValue reason = array.at(i).toObject().value(QStringLiteral("FailReason"));
        if (expected)
            EXPECT_EQ(reason.toString(), QLatin1String(expected));
        else
            EXPECT_TRUE(reason.isNull());
    }
    // The text output says the same in its status field.
    EXPECT_EQ(check(false), 1);
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), slot);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\tOK")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("\tfailed: time-out"))) << lines[3].toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("failed: HTTP error 500\n"))) << err.toStdString();
}

TEST_F(CheckTest, ControlCharactersInFieldsCannotForgeLinesOrColumns)
{
    // An alias from the file and a user name from the page, each with the
    // characters that would start a line or a column.
    ASSERT_TRUE(initHistory(paths.historyFile()));
    addPhone(1, QStringLiteral("9030000001"), QStringLiteral("п"));
    phones.slot(1).alias = QStringLiteral("Дом\n2\t9030000009\r\u2028x\u0085y");
    FakeLumoServer::Subscriber s;
    s.number = QStringLiteral("9030000001");
    s.password = QStringLiteral("п");
    s.userName = QStringLiteral("Иван\tИванов\u000Bи\u001Fк");
    server.addSubscriber(s);
    addPhone(2, QStringLiteral("9030000002"), QStringLiteral("в"), true, false);
    savePhones();

    EXPECT_EQ(check(false), 1) << err.toStdString();
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << out.toStdString();
    const QStringList fields = lines[0].split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 14) << lines[0].toStdString();
    EXPECT_EQ(fields[1], QStringLiteral("Дом 2 9030000009  x y"));
    EXPECT_EQ(fields[2], QStringLiteral("9030000001"));
    EXPECT_TRUE(fields.contains(QStringLiteral("Иван Иванов и к"))) << lines[0].toStdString();
    // A failed phone has the same columns.
    EXPECT_EQ(lines[1].split(QLatin1Char('\t')).size(), 14) << lines[1].toStdString();
    // The progress lines on standard error are one line each too.
    EXPECT_EQ(err.count(QLatin1Char('\n')), 2) << err.toStdString();

    // The JSON output keeps the texts as they are.
    EXPECT_EQ(check(true), 1);
    const QJsonObject first = QJsonDocument::fromJson(out.toUtf8()).array().at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("Alias")).toString(), phones.slot(1).alias);
}

TEST_F(CheckTest, PhonesLeftOutAndUnusableAddressesAreOnStandardError)
{
    temp.write(QStringLiteral("servers.ini"),
               toWindows1251(
                   QStringLiteral("[Плохой]\r\nLoginURL=ftp://127.0.0.1/x\r\nShortName=BAD\r\n")));
    for (int slot = 1; slot <= PhoneSlotCount; ++slot)
        addPhone(slot, QStringLiteral("90300%1").arg(slot, 5, 10, QLatin1Char('0')),
                 QStringLiteral("п"), slot == 1, false);
    phones.slot(1).region = QStringLiteral("BAD");
    savePhones();
    // One phone more than the slots, added by hand.
    QByteArray file = temp.read(QStringLiteral("phones.xml"));
    file.replace("</Phones>", "<Phone Number=\"9039999999\" Monitor=\"True\"/></Phones>");
    temp.write(QStringLiteral("phones.xml"), file);

    EXPECT_EQ(check(false), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("holds 1 phones more than the 100 slots")))
        << err.toStdString();
    EXPECT_TRUE(
        err.contains(QStringLiteral("Zelvant: Адрес входа \"ftp://127.0.0.1/x\" телефона "
                                    "9030000001 не годится: протокол \"ftp\" не поддерживается")))
        << err.toStdString();
    EXPECT_EQ(server.requestCount(), 0);
}

// A history that exists but cannot take the rows: every fetched result is
// still "OK", but the check says which rows were lost and fails.
namespace {

enum class HistoryFault { DiskFull, ReadOnlyFile, ReadOnlyFolder, Locked };

// Puts the fault in place for the duration of one check. Permissions do not
// hold for root, who runs the check as nobody then.
class FaultScope
{
public:
    FaultScope(HistoryFault fault, const TempFolder &folder, const QString &history)
        : m_fault(fault)
        , m_folder(folder.path())
        , m_history(history)
    {
        switch (fault) {
        case HistoryFault::DiskFull:
            // Every file is full: no byte can be added anywhere.
            ::getrlimit(RLIMIT_FSIZE, &m_limit);
            m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            setLimit(1);
            break;
        case HistoryFault::ReadOnlyFile:
            QFile::setPermissions(m_history,
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
            dropRoot();
            break;
        case HistoryFault::ReadOnlyFolder:
            QFile::setPermissions(m_history, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther
                                                 | QFile::WriteOther);
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                                | QFile::ExeOther);
            dropRoot();
            break;
        case HistoryFault::Locked:
            m_lock = std::make_unique<QSqlDatabase>(
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lock")));
            m_lock->setDatabaseName(m_history);
            if (!m_lock->open() || !QSqlQuery(*m_lock).exec(QStringLiteral("BEGIN EXCLUSIVE")))
                ADD_FAILURE() << "cannot lock the history";
            break;
        }
    }
    ~FaultScope()
    {
        if (m_root && (::seteuid(0) != 0 || ::setegid(0) != 0))
            ADD_FAILURE() << "cannot become root again";
        switch (m_fault) {
        case HistoryFault::DiskFull:
            ::setrlimit(RLIMIT_FSIZE, &m_limit);
            std::signal(SIGXFSZ, m_oldHandler);
            break;
        case HistoryFault::ReadOnlyFile:
        case HistoryFault::ReadOnlyFolder:
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(m_history, QFile::ReadOwner | QFile::WriteOwner);
            break;
        case HistoryFault::Locked:
            m_lock->close();
            m_lock.reset();
            QSqlDatabase::removeDatabase(QStringLiteral("lock"));
            break;
        }
    }

private:
    void setLimit(rlim_t bytes)
    {
        rlimit limit = m_limit;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    void dropRoot()
    {
        if (::geteuid() != 0)
            return;
        // Everything the check reads must stay readable for nobody.
        QFile::setPermissions(m_folder,
                              QFile::permissions(m_folder) | QFile::ReadOther | QFile::ExeOther);
        const QFileInfoList files = QDir(m_folder).entryInfoList(QDir::Files);
        for (const QFileInfo &file : files) {
            if (file.filePath() != m_history)
                QFile::setPermissions(file.filePath(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        }
        // Group first: root's group would otherwise still pick the group bits.
        m_root = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
        if (!m_root)
            ADD_FAILURE() << "cannot run as nobody";
    }

    HistoryFault m_fault;
    QString m_folder;
    QString m_history;
    bool m_root = false;
    rlimit m_limit = {};
    void (*m_oldHandler)(int) = SIG_DFL;
    std::unique_ptr<QSqlDatabase> m_lock;
};

class HistoryFaultTest : public CheckTest, public ::testing::WithParamInterface<HistoryFault>
{};

} // namespace

TEST_P(HistoryFaultTest, UnwrittenRowsAreToldAndFailTheCheck)
{
    ASSERT_TRUE(initHistory(paths.historyFile()));
    addPhone(1, QStringLiteral("9030000001"), QStringLiteral("один"));
    addPhone(2, QStringLiteral("9030000002"), QStringLiteral("два"));
    savePhones();
    IniFile settings(paths.settingsFile());
    ASSERT_TRUE(loadSettings(settings).cbHistory);

    int status = -1;
    {
        FaultScope fault(GetParam(), temp, paths.historyFile());
        status = check(true);
    }
    EXPECT_EQ(status, 1) << err.toStdString();
    const QJsonArray array = QJsonDocument::fromJson(out.toUtf8()).array();
    ASSERT_EQ(array.size(), 2) << out.toStdString();
    for (const QJsonValue &phone : array) {
        EXPECT_TRUE(phone[QStringLiteral("QueryOk")].toBool());
        EXPECT_EQ(phone[QStringLiteral("HistoryStored")], QJsonValue(false));
    }
    // One line per lost row, naming the phone and the database's reason.
    const QStringList lost =
        err.split(QLatin1Char('\n')).filter(QStringLiteral("История не записана: "));
    ASSERT_EQ(lost.size(), 2) << err.toStdString();
    EXPECT_TRUE(lost[0].contains(QStringLiteral("(телефон 9030000001)"))) << lost[0].toStdString();
    EXPECT_TRUE(lost[1].contains(QStringLiteral("(телефон 9030000002)"))) << lost[1].toStdString();
    // Nothing else changes: history stays on, and the next check stores.
    EXPECT_TRUE(loadSettings(settings).cbHistory);
    EXPECT_EQ(check(true), 0) << err.toStdString();
    for (const QJsonValue &phone : QJsonDocument::fromJson(out.toUtf8()).array())
        EXPECT_EQ(phone[QStringLiteral("HistoryStored")], QJsonValue(true));
    HistoryReader reader(paths.historyFile());
    EXPECT_EQ(reader.rows(QStringLiteral("9030000001"), HistoryRange::All, 0).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, HistoryFaultTest,
                         ::testing::Values(HistoryFault::DiskFull, HistoryFault::ReadOnlyFile,
                                           HistoryFault::ReadOnlyFolder, HistoryFault::Locked));

// A failed page and the log line about it that cannot be written are told
// on standard error with the system's reason, never lost without a word.
TEST_F(CheckTest, PagesAndLogLinesThatCannotBeWrittenAreTold)
{
    const struct
    {
        const char *name;
        bool installed;
        const char *reason;
    } cases[] = {
        // The state folder's parent is a file (XDG_STATE_HOME set wrong).
        {"no state folder", true, "Not a directory"},
        // failed-pages is a file, the error log a folder.
        {"files in the way", false, "Is a directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        if (c.installed) {
            QProcessEnvironment env;
            env.insert(QStringLiteral("HOME"), folder.path());
            env.insert(QStringLiteral("XDG_STATE_HOME"), folder.file(QStringLiteral("state")));
            folder.write(QStringLiteral("state"), "a file where the folder should be");
            ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("bin")));
            paths = AppPaths::forExecutable(folder.file(QStringLiteral("bin/zelvant")),
                                            folder.file(QStringLiteral("bin")), env);
        } else {
            paths = AppPaths::forFolder(folder.path());
            folder.write(QStringLiteral("failed-pages"), "a file where the folder should be");
            ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Zelvant.err")));
        }
        registerOwnFolders(paths);
        ASSERT_TRUE(QDir().mkpath(paths.configDir()));
        QFile::copy(temp.file(QStringLiteral("servers.ini")), paths.regionFile());
        phones = PhoneList();
        addPhone(1, QStringLiteral("9030000009"), QStringLiteral("p"), true, false);
        savePhones();

        EXPECT_EQ(check(false), 1);
        registerOwnFolders(AppPaths());
        EXPECT_TRUE(err.contains(QStringLiteral("failed-pages"))) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("Zelvant.err"))) << err.toStdString();
        EXPECT_TRUE(err.contains(QLatin1String(c.reason))) << err.toStdString();
    }
}
