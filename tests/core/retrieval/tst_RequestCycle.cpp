// The request cycle against the fake self-service server on 127.0.0.1.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <functional>

#include "core/AppPaths.h"
#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "core/config/AtomicWrite.h"
#include "core/config/Settings.h"
#include "core/history/HistoryStore.h"
#include "core/retrieval/FailedPages.h"
#include "core/retrieval/PageFetcher.h"
#include "core/retrieval/PageRulesFile.h"
#include "core/retrieval/RequestCycle.h"
#include "support/CycleRig.h"
#include "support/FakeLumoServer.h"

using namespace zelvant;
using zelvant::test::CycleRig;
using zelvant::test::FakeLumoServer;
using zelvant::test::TempFolder;

namespace {

const QString TestRegion = QStringLiteral("TST");

class CycleTest : public ::testing::Test, protected CycleRig
{
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }

    // The program's context beside a fake executable in the temporary
    // folder, with region "TST" pointing at the fake server.
    void makeContext(const QString &loginUrl = QString())
    {
        make({{QStringLiteral("Тестовый"),
               loginUrl.isEmpty() ? server.loginUrl().toString() : loginUrl, TestRegion}});
        ASSERT_TRUE(initHistory(context->paths.historyFile()));
        QObject::connect(cycle.get(), &RequestCycle::progress, cycle.get(),
                         [this](int, int count, int total) {
                             progress << QStringLiteral("%1/%2").arg(count).arg(total);
                         });
    }

    FakeLumoServer::Subscriber
    subscriber(const QString &number, double balance,
               FakeLumoServer::LoginAnswer answer = FakeLumoServer::LoginAnswer::Redirect)
    {
        FakeLumoServer::Subscriber s;
        s.number = number;
        s.password = QStringLiteral("пароль-") + number;
        s.balance = balance;
        s.average = 1.25;
        s.turnOff = 7;
        s.answer = answer;
        server.addSubscriber(s);
        return s;
    }

    void setPhone(int slot, const QString &number, bool monitor = true,
                  const QString &region = TestRegion)
    {
        PhoneSlot &p = context->phones.slot(slot);
        p.number = number;
        p.password = number.isEmpty() ? QString() : QStringLiteral("пароль-") + number;
        p.alias = QStringLiteral("Телефон %1").arg(slot);
        p.monitored = monitor;
        p.region = region;
    }

    bool runCycle(CycleMode mode, int slot = -1, int waitMs = 15000)
    {
        return run(mode, slot, waitMs);
    }

    int historyRows(const QString &number)
    {
        HistoryReader reader(context->paths.historyFile());
        return int(reader.rows(number, HistoryRange::All, 0).size());
    }

    FakeLumoServer server;
    QStringList progress; // "count/total" of each phone the cycle chose
};

} // namespace

TEST_F(CycleTest, ModeZeroQueriesOnlyPhonesThatPassTheChecksAndCountsProgress)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 12.5);
    subscriber(QStringLiteral("9030000005"), 3.75);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    context->phones.slot(2).password.clear();                               // no password
    setPhone(3, QStringLiteral("9030000003"), false);                       // not monitored
    setPhone(4, QStringLiteral("9030000004"), true, QStringLiteral("НЕТ")); // unknown region
    setPhone(5, QStringLiteral("9030000005"));
    setPhone(6, QString()); // empty slot, monitored
    context->phones.slot(6).monitored = true;

    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    // Total counts every monitored slot, the count only the queried ones.
    EXPECT_EQ(progress, QStringList({QStringLiteral("1/5"), QStringLiteral("2/5")}));
    EXPECT_EQ(server.loginCount(), 2);
    // Every login starts a session of its own: no cookie of the phone before.
    for (const FakeLumoServer::Request &r : server.requests()) {
        if (r.method == "POST") {
            EXPECT_TRUE(r.cookies.isEmpty());
        }
    }
    EXPECT_TRUE(result(1).queryOk);
    EXPECT_FLOAT_EQ(result(1).balance, 12.5f);
    EXPECT_EQ(result(1).slot, 1);
    EXPECT_EQ(result(1).alias, QStringLiteral("Телефон 1"));
    EXPECT_TRUE(result(5).queryOk);
    EXPECT_FLOAT_EQ(result(5).balance, 3.75f);
    // Skipped phones get no values, only the reason they were skipped.
    const std::pair<int, FailReason> skipped[] = {{2, FailReason::NoPassword},
                                                  {3, FailReason::NotMonitored},
                                                  {4, FailReason::UnknownRegion},
                                                  {6, FailReason::NoNumber}};
    for (const auto &[slot, reason] : skipped) {
        PhoneResult expected;
        expected.failure.reason = reason;
        EXPECT_EQ(result(slot), expected) << slot;
    }
}

TEST_F(CycleTest, RetryAndSinglePhoneModes)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 1);
    FakeLumoServer::Subscriber second = subscriber(QStringLiteral("9030000002"), 2);
    second.password = QStringLiteral("другой"); // wrong at first
    server.addSubscriber(second);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    setPhone(3, QStringLiteral("9030000003"), false);

    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_TRUE(result(1).queryOk);
    EXPECT_FALSE(result(2).queryOk);
    const PhoneResult first = result(1);

    // Mode 1 repeats only the failed phone and keeps the fresh flag of the other.
    second.password = QStringLiteral("пароль-9030000002");
    server.addSubscriber(second);
    server.clearRequests();
    progress.clear();
    ASSERT_TRUE(runCycle(CycleMode::FailedPhones));
    EXPECT_EQ(server.loginCount(), 1);
    EXPECT_EQ(server.requests().first().body,
              FakeLumoServer::loginBody(QStringLiteral("9030000002"), second.password));
    EXPECT_EQ(progress, QStringList({QStringLiteral("1/2")}));
    EXPECT_EQ(result(1), first);
    EXPECT_TRUE(result(2).queryOk);

    // Mode 2 clears and queries exactly its slot.
    server.clearRequests();
    ASSERT_TRUE(runCycle(CycleMode::OnePhone, 1));
    EXPECT_EQ(server.loginCount(), 1);
    EXPECT_TRUE(result(1).queryOk);
    EXPECT_GE(result(1).lastQueryTime, first.lastQueryTime);
    EXPECT_TRUE(result(2).queryOk);

    // Mode 2 on a slot that is not monitored queries nothing, yet ends normally.
    server.clearRequests();
    ASSERT_TRUE(runCycle(CycleMode::OnePhone, 3));
    EXPECT_EQ(server.requestCount(), 0);

    // A second cycle is refused while one runs.
    setTimings(0, 10000, 300);
    QSignalSpy finished(cycle.get(), &RequestCycle::cycleFinished);
    ASSERT_TRUE(cycle->queryPhones(CycleMode::AllPhones));
    EXPECT_FALSE(cycle->queryPhones(CycleMode::AllPhones));
    EXPECT_FALSE(cycle->queryPhones(CycleMode::OnePhone, 1));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(cycle->queryPhones(CycleMode(7)));
}

TEST_F(CycleTest, LoginBodyIsSentExactlyAsConfigured)
{
    EXPECT_EQ(RequestCycle::loginBody(QStringLiteral(" 903 12&3"), QStringLiteral("пар оль%20+")),
              toWindows1251(QStringLiteral("Lang=2&mobnum= 903 12&3&Password=пар оль%20+")));
    EXPECT_TRUE(RequestCycle::hasBalanceMarker(QStringLiteral("<td>Актуальный баланс</td>")));
    EXPECT_FALSE(RequestCycle::hasBalanceMarker(QStringLiteral("<td>Актуальный Баланс</td>")));

    makeContext();
    FakeLumoServer::Subscriber s = subscriber(QStringLiteral("9031234567"), 5);
    s.password = QStringLiteral(" Пароль с пробелами ");
    server.addSubscriber(s);
    setPhone(1, s.number);
    context->phones.slot(1).password = s.password;
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    ASSERT_GE(server.requestCount(), 1);
    const FakeLumoServer::Request &login = server.requests().first();
    EXPECT_EQ(login.method, QByteArray("POST"));
    EXPECT_EQ(login.body, toWindows1251(QStringLiteral(
                              "Lang=2&mobnum=9031234567&Password= Пароль с пробелами ")));
    EXPECT_TRUE(result(1).queryOk);
}

TEST_F(CycleTest, FirstPhoneStartsAtOnceLaterOnesAfterThePause)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 1);
    subscriber(QStringLiteral("9030000002"), 2);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    setTimings(1500, 10000, 0);

    QElapsedTimer clock;
    QList<qint64> loginTimes;
    QObject::connect(&server, &FakeLumoServer::requestReceived, &server, [&] {
        if (server.requests().last().method == "POST")
            loginTimes << clock.elapsed();
    });
    QList<qint64> phoneEnds;
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(),
                     [&](int, bool) { phoneEnds << clock.elapsed(); });
    clock.start();
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    ASSERT_EQ(loginTimes.size(), 2);
    ASSERT_EQ(phoneEnds.size(), 2);
    EXPECT_LT(loginTimes[0], 1000);
    EXPECT_GE(loginTimes[1] - phoneEnds[0], 1350); // coarse timers may fire 5% early
}

TEST_F(CycleTest, StopEndsThePauseAndTheWaitAtOnce)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 1);
    subscriber(QStringLiteral("9030000002"), 2, FakeLumoServer::LoginAnswer::Hang);
    subscriber(QStringLiteral("9030000003"), 3);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    setPhone(3, QStringLiteral("9030000003"));

    // Stop during the pause before the second phone.
    setTimings(60000, 60000, 0);
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(), [&](int slot, bool) {
        if (slot == 1)
            QTimer::singleShot(50, cycle.get(), [&] { cycle->stop(); });
    });
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(runCycle(CycleMode::AllPhones, -1, 5000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(server.loginCount(), 1);
    EXPECT_TRUE(result(1).queryOk);
    EXPECT_FALSE(result(2).queryOk);
    QObject::disconnect(cycle.get(), &RequestCycle::phoneFinished, nullptr, nullptr);

    // Stop while the hanging second phone waits: its record stays, the third
    // is never asked.
    PhoneResult before = result(2);
    before.balance = 42;
    store->setResult(2, before);
    context->phones.slot(1).monitored = false;
    server.clearRequests();
    setTimings(0, 60000, 0);
    QObject::connect(&server, &FakeLumoServer::requestReceived, &server, [&] {
        if (server.requestCount() == 1)
            QTimer::singleShot(50, cycle.get(), [&] { cycle->stop(); });
    });
    clock.restart();
    ASSERT_TRUE(runCycle(CycleMode::AllPhones, -1, 5000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(server.loginCount(), 1);
    EXPECT_EQ(result(2), before);
    EXPECT_FALSE(result(3).queryOk);
    // The next cycle clears the flag again and runs normally.
    QObject::disconnect(&server, &FakeLumoServer::requestReceived, nullptr, nullptr);
    server.subscriber(QStringLiteral("9030000002"))->answer = FakeLumoServer::LoginAnswer::Direct;
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_TRUE(result(2).queryOk);
    EXPECT_TRUE(result(3).queryOk);
}

TEST_F(CycleTest, HangingAnswerTimesOutButAnAnswerWithoutBalanceEndsAtOnce)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 1, FakeLumoServer::LoginAnswer::Hang);
    FakeLumoServer::Subscriber wrong = subscriber(QStringLiteral("9030000002"), 2);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    context->phones.slot(2).password = QStringLiteral("неверный");
    subscriber(QStringLiteral("9030000003"), 3);
    setPhone(3, QStringLiteral("9030000003"));

    setTimings(0, 1500, 0);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> ends;
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(),
                     [&](int, bool) { ends << clock.elapsed(); });
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    ASSERT_EQ(ends.size(), 3);
    EXPECT_GE(ends[0], 1350);           // waited for its time-out (coarse timers may fire 5% early)
    EXPECT_LT(ends[1] - ends[0], 1000); // the wrong password did not
    EXPECT_FALSE(result(1).queryOk);
    EXPECT_FALSE(result(2).queryOk);
    EXPECT_TRUE(result(3).queryOk);
    EXPECT_EQ(server.loginCount(), 3);
}

TEST_F(CycleTest, AnswersOfTheServerDecideSuccessPerPhone)
{
    using A = FakeLumoServer::LoginAnswer;
    struct Case
    {
        const char *name;
        A answer;
        int delayMs;
        bool ok;
    };
    const Case cases[] = {
        {"redirect with session cookie", A::Redirect, 0, true},
        {"direct page", A::Direct, 0, true},
        {"meta refresh", A::MetaRefresh, 0, true},
        {"slow answer", A::Direct, 400, true},
        {"frameset", A::Frameset, 0, false},
        {"reset", A::Reset, 0, false},
        {"server error", A::ServerError, 0, false},
        {"page over the size cap", A::Huge, 0, false},
    };
    makeContext();
    setTimings(0, 20000, 0);
    int slot = 0;
    for (const Case &c : cases) {
        ++slot;
        const QString number = QStringLiteral("90300000%1").arg(slot, 2, 10, QLatin1Char('0'));
        FakeLumoServer::Subscriber s = subscriber(number, 10 + slot, c.answer);
        s.delayMs = c.delayMs;
        server.addSubscriber(s);
        setPhone(slot, number);
    }
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(runCycle(CycleMode::AllPhones, -1, 200000));
    // No phone waited for the 20 s time-out.
    EXPECT_LT(clock.elapsed(), 15000);
    slot = 0;
    for (const Case &c : cases) {
        ++slot;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(result(slot).queryOk, c.ok);
        EXPECT_EQ(historyRows(context->phones.numberOf(slot)), c.ok ? 1 : 0);
        if (c.ok) {
            EXPECT_FLOAT_EQ(result(slot).balance, float(10 + slot));
        }
    }
}

TEST_F(CycleTest, CertificatesAreVerified)
{
    FakeLumoServer https(FakeLumoServer::Https);
    ASSERT_TRUE(https.start());
    FakeLumoServer::Subscriber s;
    s.number = QStringLiteral("9030000001");
    s.password = QStringLiteral("пароль-9030000001");
    s.balance = 77;
    https.addSubscriber(s);
    makeContext(https.loginUrl().toString());
    setPhone(1, s.number);

    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_TRUE(result(1).queryOk);
    EXPECT_FLOAT_EQ(result(1).balance, 77);

    https.setUseUntrustedCertificate(true);
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_FALSE(result(1).queryOk);
    EXPECT_EQ(https.loginCount(), 1); // nothing was sent over the unverified link
    EXPECT_EQ(historyRows(s.number), 1);
}

TEST_F(CycleTest, HistoryFileMissingMidCycleWarnsOnceAndSwitchesOff)
{
    makeContext();
    for (int slot = 1; slot <= 3; ++slot) {
        subscriber(QStringLiteral("903000000%1").arg(slot), slot);
        setPhone(slot, QStringLiteral("903000000%1").arg(slot));
    }
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(), [&](int slot, bool) {
        if (slot == 1)
            QFile::remove(context->paths.historyFile());
    });
    QSignalSpy missing(store.get(), &ResultStore::historyFileMissing);
    QSignalSpy written(store.get(), &ResultStore::historyWritten);
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    ASSERT_EQ(missing.count(), 1);
    EXPECT_EQ(missing.first().first().toString(), HistoryFileMissingMessage);
    EXPECT_EQ(written.count(), 1); // the first phone's row; nothing after the file went
    for (int slot = 1; slot <= 3; ++slot)
        EXPECT_TRUE(result(slot).queryOk) << slot;
    EXPECT_FALSE(QFile::exists(context->paths.historyFile())); // never created by the cycle
}

TEST_F(CycleTest, LockedHistoryDoesNotStopTheResults)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 1);
    subscriber(QStringLiteral("9030000002"), 2);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        db.setDatabaseName(context->paths.historyFile());
        ASSERT_TRUE(db.open());
        QSqlQuery lock(db);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QSignalSpy missing(store.get(), &ResultStore::historyFileMissing);
        ASSERT_TRUE(runCycle(CycleMode::AllPhones, -1, 60000));
        EXPECT_TRUE(result(1).queryOk);
        EXPECT_TRUE(result(2).queryOk);
        EXPECT_TRUE(missing.isEmpty()); // a busy file is no missing file
        lock.exec(QStringLiteral("ROLLBACK"));
        lock.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_EQ(historyRows(QStringLiteral("9030000001")), 1);
}

TEST_F(CycleTest, SavedPagesFollowTheSettingReadForEveryDocument)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 1, FakeLumoServer::LoginAnswer::MetaRefresh);
    subscriber(QStringLiteral("9030000002"), 2, FakeLumoServer::LoginAnswer::MetaRefresh);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    const QStringList filter{QStringLiteral("*.html")};

    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_TRUE(QDir(temp.path()).entryList(filter, QDir::Files).isEmpty());

    // On for the first phone, switched off in the file before the second.
    ASSERT_TRUE(context->settingsFile.writeBool(QStringLiteral("Debug"),
                                                QStringLiteral("SaveLogFiles"), true));
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(), [&](int slot, bool) {
        if (slot == 1)
            context->settingsFile.writeBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"),
                                            false);
    });
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    const QStringList files = QDir(temp.path()).entryList(filter, QDir::Files, QDir::Name);
    // The refresh page and the balance page of the first phone, nothing else.
    ASSERT_EQ(files.size(), 2);
    const QRegularExpression name(
        QStringLiteral("^\\d\\d-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d-\\d\\d\\d\\.html$"));
    bool sawBalance = false;
    for (const QString &file : files) {
        EXPECT_TRUE(name.match(file).hasMatch()) << file.toStdString();
        const QByteArray bytes = temp.read(file);
        EXPECT_TRUE(bytes.startsWith("<!-- http://127.0.0.1:")) << bytes.left(60).toStdString();
        const qsizetype headEnd = bytes.indexOf(" -->\r\n\r\n");
        EXPECT_GT(headEnd, 0);
        // Every line ends in CR LF, none in a bare LF or CR.
        EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
        EXPECT_EQ(bytes.count("\r"), bytes.count("\r\n"));
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        if (fromWindows1251(bytes).contains(QStringLiteral("Актуальный баланс"))) {
            sawBalance = true;
            EXPECT_TRUE(bytes.left(headEnd).contains("function=balance"));
        }
    }
    EXPECT_TRUE(sawBalance);
}

TEST(SaveLogFile, LineEndsCodePageAndPagesOfTheSameMillisecond)
{
    TempFolder temp;
    const QDateTime now(QDate(2007, 3, 15), QTime(14, 5, 9, 123));
    const QString first =
        RequestCycle::saveLogFile(temp.path(), QStringLiteral("a\nб\rc\r\nd\n"), now);
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("07-03-15_14-05-09-123.html"));
    EXPECT_EQ(temp.read(QFileInfo(first).fileName()),
              toWindows1251(QStringLiteral("a\r\nб\r\nc\r\nd\r\n")));
    // A second page in the same millisecond does not replace the first.
    const QString second =
        RequestCycle::saveLogFile(temp.path(), QStringLiteral("x\r\n\r\ny"), now);
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("07-03-15_14-05-09-124.html"));
    EXPECT_EQ(temp.read(QFileInfo(second).fileName()), QByteArray("x\r\n\r\ny\r\n"));
    // Characters outside the code page (a UTF-8 page's rouble sign) are kept
    // as character references, not turned into '?'.
    const QString third = RequestCycle::saveLogFile(temp.path(), QStringLiteral("100 ₽"), now);
    EXPECT_EQ(temp.read(QFileInfo(third).fileName()), QByteArray("100 &#8381;\r\n"));
    EXPECT_EQ(temp.read(QFileInfo(first).fileName()).size(), 12);
    // An unwritable folder is dropped quietly.
    EXPECT_TRUE(RequestCycle::saveLogFile(temp.file(QStringLiteral("missing/deeper")),
                                          QStringLiteral("x"), now)
                    .isEmpty());
}

TEST_F(CycleTest, LocalTestPageIsReadWithoutSendingAnything)
{
    FakeLumoServer::Subscriber s;
    s.number = QStringLiteral("9039999999");
    s.balance = 321.5;
    s.usdRate = 28.1234;
    temp.write(QStringLiteral("orvel-test.html"), FakeLumoServer::balancePageFor(s));
    for (const QString &address :
         {QUrl::fromLocalFile(temp.file(QStringLiteral("orvel-test.html"))).toString(),
          temp.file(QStringLiteral("orvel-test.html"))}) {
        SCOPED_TRACE(address.toStdString());
        makeContext(address);
        setPhone(1, QStringLiteral("9030000001"));
        ASSERT_TRUE(runCycle(CycleMode::AllPhones));
        EXPECT_EQ(server.requestCount(), 0);
        EXPECT_TRUE(result(1).queryOk);
        EXPECT_FLOAT_EQ(result(1).balance, 321.5f);
        // The configured number, not the one the page shows.
        EXPECT_EQ(result(1).phoneNumber, QStringLiteral("9030000001"));
    }
}

TEST_F(CycleTest, PhoneEditedDuringThePauseIsQueriedAsItIsNow)
{
    makeContext();
    subscriber(QStringLiteral("9030000001"), 1);
    subscriber(QStringLiteral("9030000002"), 2);
    subscriber(QStringLiteral("9030000022"), 22);
    setPhone(1, QStringLiteral("9030000001"));
    setPhone(2, QStringLiteral("9030000002"));
    setPhone(3, QStringLiteral("9030000003"));
    setTimings(300, 10000, 0);
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(), [&](int slot, bool) {
        if (slot != 1)
            return;
        // Both edits happen after slot 2 was chosen and before it is asked.
        QTimer::singleShot(100, cycle.get(), [&] {
            setPhone(2, QStringLiteral("9030000022"));
            context->phones.slot(2).alias = QStringLiteral("Новое имя");
        });
    });
    QObject::connect(cycle.get(), &RequestCycle::phoneFinished, cycle.get(), [&](int slot, bool) {
        if (slot == 2)
            QTimer::singleShot(100, cycle.get(), [&] { context->phones.slot(3).password.clear(); });
    });
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    ASSERT_EQ(server.loginCount(), 2);
    QByteArray lastLogin;
    for (const FakeLumoServer::Request &r : server.requests())
        if (r.method == "POST")
            lastLogin = r.body;
    EXPECT_EQ(lastLogin, FakeLumoServer::loginBody(QStringLiteral("9030000022"),
                                                   QStringLiteral("пароль-9030000022")));
    EXPECT_TRUE(result(2).queryOk);
    EXPECT_EQ(result(2).phoneNumber, QStringLiteral("9030000022"));
    EXPECT_EQ(result(2).alias, QStringLiteral("Новое имя"));
    EXPECT_FLOAT_EQ(result(2).balance, 22);
    EXPECT_FALSE(result(3).queryOk); // lost its password in the pause: not sent
}

TEST_F(CycleTest, EveryRecordIsNewOrExactlyTheOldOneAndEachSuccessStoredOnce)
{
    using A = FakeLumoServer::LoginAnswer;
    makeContext();
    setTimings(0, 600, 0);
    const A answers[] = {A::Redirect, A::MetaRefresh, A::Hang, A::Direct, A::Reset, A::Frameset};
    const FailReason reasons[] = {FailReason::None,         FailReason::None,
                                  FailReason::TimeOut,      FailReason::NoBalance,
                                  FailReason::NoConnection, FailReason::NoBalance};
    PhoneResult old;
    old.balance = -1;
    old.userName = QStringLiteral("Прежний");
    old.balanceExpiresDays = 9;
    old.lastQueryTime = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5));
    old.queryOk = true;
    for (int slot = 1; slot <= 6; ++slot) {
        const QString number = QStringLiteral("903000000%1").arg(slot);
        subscriber(number, 100 + slot, answers[slot - 1]);
        setPhone(slot, number);
        old.slot = slot;
        old.phoneNumber = number;
        store->setResult(slot, old);
    }
    setPhone(4, QStringLiteral("9030000004"));
    context->phones.slot(4).password = QStringLiteral("неверный");
    const QDateTime started = QDateTime::currentDateTime();
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    for (int slot = 1; slot <= 6; ++slot) {
        SCOPED_TRACE(slot);
        const PhoneResult &record = result(slot);
        const bool ok = slot == 1 || slot == 2;
        if (ok) {
            EXPECT_TRUE(record.queryOk);
            EXPECT_EQ(record.slot, slot);
            EXPECT_FLOAT_EQ(record.balance, float(100 + slot));
            EXPECT_EQ(record.userName, QStringLiteral("Иванов Иван Иванович"));
            EXPECT_EQ(record.balanceExpiresDays, 0); // the whole record was replaced
            EXPECT_GE(record.lastQueryTime.toMSecsSinceEpoch() / 1000,
                      started.toMSecsSinceEpoch() / 1000);
        } else {
            PhoneResult expected = old;
            expected.slot = slot;
            expected.phoneNumber = context->phones.numberOf(slot);
            expected.queryOk = false;
            expected.failure.reason = reasons[slot - 1];
            EXPECT_EQ(record, expected);
        }
        EXPECT_EQ(historyRows(context->phones.numberOf(slot)), ok ? 1 : 0);
    }
}

TEST_F(CycleTest, TellsEachStepInTurnAndStopsAtOnce)
{
    makeContext();
    FakeLumoServer::Subscriber s = subscriber(QStringLiteral("9030000001"), 7);
    setPhone(1, s.number);
    setPhone(2, QString()); // monitored, no number: left out with its reason
    context->phones.slot(2).monitored = true;
    QStringList told;
    const auto tell = [&](const char *what) {
        return [&told, what](int slot) {
            told << QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(slot);
        };
    };
    RequestCycle *c = cycle.get();
    QObject::connect(c, &RequestCycle::cycleStarted, c,
                     [&](CycleMode, int) { told << QStringLiteral("started"); });
    QObject::connect(c, &RequestCycle::progress, c, tell("progress"));
    QObject::connect(c, &RequestCycle::phoneStarted, c, tell("phone"));
    QObject::connect(c, &RequestCycle::resultReady, c, tell("result"));
    QObject::connect(c, &RequestCycle::phoneFailed, c, [&](int slot) {
        if (slot <= 2) // every empty slot says why it has no balance too
            tell("failed")(slot);
    });
    QObject::connect(c, &RequestCycle::phoneFinished, c, tell("finished"));
    QObject::connect(c, &RequestCycle::cycleFinished, c, [&] { told << QStringLiteral("end"); });
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_EQ(told.join(QLatin1Char(',')).toStdString(),
              "started,progress 1,phone 1,result 1,finished 1,failed 2,end");
    EXPECT_FLOAT_EQ(result(1).balance, 7);
    EXPECT_EQ(result(2).failure.reason, FailReason::NoNumber);
    QObject::disconnect(c, nullptr, c, nullptr);

    // Stop right before a new cycle (the menu's "query now") ends a running
    // cycle at once, so the new one is accepted.
    s.delayMs = 2000;
    server.addSubscriber(s);
    QSignalSpy finished(cycle.get(), &RequestCycle::cycleFinished);
    QSignalSpy asked(&server, &FakeLumoServer::requestReceived);
    ASSERT_TRUE(cycle->queryPhones(CycleMode::AllPhones));
    cycle->stop();
    EXPECT_EQ(finished.count(), 1);
    ASSERT_TRUE(cycle->queryPhones(CycleMode::AllPhones));
    ASSERT_TRUE(asked.wait(2000)); // the new cycle did ask
    // A stop during the wait is over when StopRequest returns.
    cycle->stop();
    EXPECT_EQ(finished.count(), 2);
    EXPECT_FALSE(cycle->isRunning());
}

TEST_F(CycleTest, SecondBalanceDocumentCountsOnlyWhileThePhoneLasts)
{
    makeContext();
    FakeLumoServer::Subscriber s = subscriber(QStringLiteral("9030000001"), 5);
    // The balance page refreshes itself into a second balance page.
    s.rawPage = toWindows1251(QStringLiteral(
        "<html><head><meta http-equiv=\"refresh\" content=\"0; url=/again\"></head>\r\n"
        "<body>\r\n<td>Актуальный баланс</td>\r\n<td>5 руб.</td>\r\n</body></html>\r\n"));
    server.addSubscriber(s);
    FakeLumoServer::Reply again = FakeLumoServer::Reply::html(toWindows1251(QStringLiteral(
        "<html><body>\r\n<td>Актуальный баланс</td>\r\n<td>6 руб.</td>\r\n</body></html>\r\n")));
    server.setRoute("/again", again);
    setPhone(1, s.number);

    // Arriving while the phone is still in its after-pause: handled again.
    setTimings(0, 5000, 1500);
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_EQ(server.countRequests("/again"), 1);
    EXPECT_EQ(historyRows(s.number), 2);

    // Arriving after the phone ended: dropped.
    again.delayMs = 800;
    server.setRoute("/again", again);
    setTimings(0, 5000, 0);
    const PhoneResult before = result(1);
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    QTest::qWait(1200);
    EXPECT_EQ(historyRows(s.number), 3);
    EXPECT_TRUE(result(1).queryOk);
    EXPECT_NE(result(1), before);
}

TEST_F(CycleTest, PagesWithoutABalanceFailAreKeptRotatedAndNamedInTheLog)
{
    makeContext();
    // Earlier failures of this program, and a file of the user's own.
    const QString folder = context->paths.failedPagesDir();
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 0; i < 25; ++i)
        temp.write(QStringLiteral("failed-pages/26-01-01_00-00-%1-000_slot9.html")
                       .arg(i, 2, 10, QLatin1Char('0')),
                   "old");
    temp.write(QStringLiteral("failed-pages/notes.txt"), "mine");

    auto rawPage = [&](const QString &number, const char *body) {
        FakeLumoServer::Subscriber s = subscriber(number, 0, FakeLumoServer::LoginAnswer::Direct);
        s.rawPage = toWindows1251(QStringLiteral("<html><body>\r\n") + QString::fromUtf8(body)
                                  + QStringLiteral("\r\n</body></html>"));
        server.addSubscriber(s);
    };
    setPhone(1, QStringLiteral("9030000001")); // unknown to the server: wrong password
    rawPage(QStringLiteral("9030000002"), "<p>Виртуальный баланс</p>\r\n<p>скоро</p>");
    setPhone(2, QStringLiteral("9030000002"));
    rawPage(QStringLiteral("9030000003"), "<td>Актуальный баланс</td>\r\n<td>57.10руб</td>");
    setPhone(3, QStringLiteral("9030000003"));
    subscriber(QStringLiteral("9030000004"), 0); // a real zero balance
    setPhone(4, QStringLiteral("9030000004"));

    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    for (int slot = 1; slot <= 3; ++slot) {
        EXPECT_FALSE(result(slot).queryOk) << slot;
        EXPECT_EQ(historyRows(context->phones.numberOf(slot)), 0) << slot;
    }
    EXPECT_TRUE(result(4).queryOk);
    EXPECT_EQ(historyRows(QStringLiteral("9030000004")), 1);

    const QDir dir(folder);
    QStringList ours = dir.entryList({QStringLiteral("*_slot*.html")}, QDir::Files, QDir::Name);
    ASSERT_EQ(ours.size(), KeptFailedPages);
    EXPECT_TRUE(dir.exists(QStringLiteral("notes.txt")));
    EXPECT_EQ(ours.first(), QStringLiteral("26-01-01_00-00-08-000_slot9.html")); // 8 oldest gone
    const QString log = fromWindows1251(temp.read(QStringLiteral("Zelvant.err")));
    const struct
    {
        int slot;
        const char *reason;
        const char *content;
    } expected[] = {{1, "нет баланса на странице", "<!-- http://127.0.0.1:"},
                    {2, "нет баланса на странице", "Виртуальный баланс"},
                    {3, "баланс на странице не прочитан (\"57.10руб\")", "57.10руб"}};
    for (const auto &e : expected) {
        const QStringList files = dir.entryList({QStringLiteral("*_slot%1.html").arg(e.slot)});
        ASSERT_EQ(files.size(), 1) << e.slot;
        const QString path = QDir::toNativeSeparators(dir.filePath(files.first()));
        EXPECT_TRUE(
            log.contains(QStringLiteral("Телефон %1 (903000000%1): %2; страница сохранена в \"%3\"")
                             .arg(e.slot)
                             .arg(QString::fromUtf8(e.reason), path)))
            << log.toStdString();
        EXPECT_TRUE(fromWindows1251(temp.read(QStringLiteral("failed-pages/") + files.first()))
                        .contains(QString::fromUtf8(e.content)));
    }
}

TEST_F(CycleTest, RulesFileBesideTheOtherFilesIsReadForEveryCycle)
{
    makeContext();
    FakeLumoServer::Subscriber s =
        subscriber(QStringLiteral("9030000001"), 0, FakeLumoServer::LoginAnswer::Direct);
    s.rawPage =
        toWindows1251(QStringLiteral("<html><body>\r\n<td>Актуальный баланс</td>\r\n<td>Текущий "
                                     "остаток</td>\r\n<td>8,25 руб.</td>\r\n</body></html>"));
    server.addSubscriber(s);
    setPhone(1, s.number);
    QSignalSpy refused(cycle.get(), &RequestCycle::pageRulesRefused);

    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_FALSE(result(1).queryOk);

    // The user's rule: the balance follows the new phrase.
    QString rules = QString::fromUtf8(pageRulesFileText(PageRules::builtIn()).mid(3));
    rules.replace(QStringLiteral("Key=\"актуальный баланс\""),
                  QStringLiteral("Key=\"Текущий остаток\""));
    temp.write(QStringLiteral("page-rules.ini"), toWindows1251(rules));
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_TRUE(result(1).queryOk);
    EXPECT_FLOAT_EQ(result(1).balance, 8.25f);
    EXPECT_TRUE(refused.isEmpty());

    // A file that cannot be used: the built-in rules again, said in the log
    // once however many cycles run.
    temp.write(QStringLiteral("page-rules.ini"),
               toWindows1251(rules + QStringLiteral("[Step19]\r\n")));
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_FALSE(result(1).queryOk);
    ASSERT_EQ(refused.size(), 2);
    const QString log = fromWindows1251(temp.read(QStringLiteral("Zelvant.err")));
    EXPECT_EQ(log.count(QStringLiteral("[Step19] Key:")), 1) << log.toStdString();
}

// An address without a scheme is a web address, as in a browser's address
// bar; one that still cannot be used fails its phone at once, with the
// reason in the error log.
TEST_F(CycleTest, LoginAddressWithoutSchemeIsSentAndUnusableOnesAreReported)
{
    const QString withoutScheme =
        server.loginUrl().toString().mid(QStringLiteral("http://").size());
    const struct
    {
        QString address;
        const char *reason; // empty when the address is used
    } cases[] = {
        {withoutScheme, ""},
        {QStringLiteral("  ") + withoutScheme, ""},
        {QStringLiteral("ftp://127.0.0.1/cgi-bin/cgi.exe"), "протокол \"ftp\" не поддерживается"},
        {QStringLiteral("http:///cgi-bin/cgi.exe"), "нет имени сервера"},
        {QStringLiteral("http://127.0.0.1:99999/x"), "Invalid port"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        temp.write(QStringLiteral("Zelvant.err"), QByteArray());
        makeContext(c.address);
        subscriber(QStringLiteral("9030000001"), 5);
        setPhone(1, QStringLiteral("9030000001"));
        QStringList unusable;
        QObject::connect(cycle.get(), &RequestCycle::loginAddressUnusable, cycle.get(),
                         [&](int slot, const QString &message) {
                             EXPECT_EQ(slot, 1);
                             unusable << message;
                         });
        const int logins = server.loginCount();
        ASSERT_TRUE(runCycle(CycleMode::AllPhones));
        const QString log = fromWindows1251(temp.read(QStringLiteral("Zelvant.err")));
        if (QByteArray(c.reason).isEmpty()) {
            EXPECT_EQ(server.loginCount(), logins + 1);
            EXPECT_TRUE(result(1).queryOk);
            EXPECT_TRUE(unusable.isEmpty());
            EXPECT_TRUE(log.isEmpty()) << log.toStdString();
        } else {
            EXPECT_EQ(server.loginCount(), logins);
            EXPECT_FALSE(result(1).queryOk);
            ASSERT_EQ(unusable.size(), 1);
            EXPECT_TRUE(unusable[0].contains(QString::fromUtf8(c.reason)))
                << unusable[0].toStdString();
            EXPECT_TRUE(unusable[0].contains(QStringLiteral("9030000001")));
            EXPECT_TRUE(log.contains(unusable[0])) << log.toStdString();
        }
    }
}

// A login page may echo the password; neither the failed page nor the saved
// one holds it, in any of the forms a page writes it in.
TEST_F(CycleTest, EchoedPasswordIsBlankedOutOfEveryKeptPage)
{
    makeContext();
    const QString number = QStringLiteral("9030000005");
    const QString password = QStringLiteral("п&р<о>л\"ь' 1%");
    const QStringList echoes = {password, password.toHtmlEscaped(),
                                QString::fromLatin1(password.toUtf8().toPercentEncoding()),
                                QString::fromLatin1(toWindows1251(password).toPercentEncoding())
                                    .replace(QStringLiteral("%20"), QStringLiteral("+"))};
    FakeLumoServer::Subscriber s = subscriber(number, 0, FakeLumoServer::LoginAnswer::Direct);
    s.password = password;
    s.rawPage = toWindows1251(QStringLiteral("<html><body>\r\n<input value=\"")
                              + echoes.join(QStringLiteral("\">\r\n<input value=\""))
                              + QStringLiteral("\">\r\n</body></html>"));
    server.addSubscriber(s);
    setPhone(1, number);
    context->phones.slot(1).password = password;
    ASSERT_TRUE(context->settingsFile.writeBool(QStringLiteral("Debug"),
                                                QStringLiteral("SaveLogFiles"), true));

    ASSERT_TRUE(runCycle(CycleMode::AllPhones));
    EXPECT_FALSE(result(1).queryOk);
    const QStringList kept = QDir(temp.path()).entryList({QStringLiteral("*.html")}, QDir::Files)
                             + QDir(context->paths.failedPagesDir())
                                   .entryList({QStringLiteral("*.html")}, QDir::Files)
                                   .replaceInStrings(QRegularExpression(QStringLiteral("^")),
                                                     QStringLiteral("failed-pages/"));
    ASSERT_EQ(kept.size(), 2) << kept.join(QLatin1Char(' ')).toStdString();
    for (const QString &file : kept) {
        const QString page = fromWindows1251(temp.read(file));
        EXPECT_TRUE(page.contains(QLatin1String(BlankedSecret))) << file.toStdString();
        for (const QString &echo : echoes)
            EXPECT_FALSE(page.contains(echo)) << file.toStdString() << " " << echo.toStdString();
    }
}

// Pages go by the time they were written: with the clock put back, the new
// page is named before the older ones and still stays, with the 19 newest.
TEST(FailedPages, PrunedByFileAgeKeepingExactlyTwenty)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const int nameDays : {1, -1}) { // names a day ahead of the clock, or behind it
        SCOPED_TRACE(nameDays);
        TempFolder temp;
        QStringList byAge; // oldest first
        for (int i = 0; i < 25; ++i) {
            const QString name =
                now.addDays(nameDays).addSecs(-i).toString(QStringLiteral("yy-MM-dd_hh-mm-ss-zzz"))
                + QStringLiteral("_slot2.html");
            temp.write(name, "old");
            QFile file(temp.file(name));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            // Names and ages disagree: the later name is the older file.
            ASSERT_TRUE(file.setFileTime(now.addSecs(-3600 - 60 * (25 - i)),
                                         QFileDevice::FileModificationTime));
            byAge << name;
        }
        const QString written = keepFailedPage(temp.path(), QStringLiteral("new"), 1, now);
        ASSERT_FALSE(written.isEmpty());
        QStringList left = QDir(temp.path()).entryList(QDir::Files);
        EXPECT_EQ(left.size(), KeptFailedPages);
        EXPECT_TRUE(left.contains(QFileInfo(written).fileName()));
        for (qsizetype i = 0; i < byAge.size(); ++i)
            EXPECT_EQ(left.contains(byAge[i]), i >= byAge.size() - (KeptFailedPages - 1))
                << byAge[i].toStdString();
    }
}

// Copies that a killed write left in any folder the program writes into are
// removed at start-up, known by their marker whatever their random suffix
// looks like; the user's own files and a copy still being written stay.
TEST(KeptPages, StaleTemporaryCopiesAreRemovedFromEveryFolderByTheirMarker)
{
    TempFolder temp;
    ASSERT_TRUE(QDir(temp.path()).mkdir(QStringLiteral("bin")));
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), temp.file(QStringLiteral("home")));
    const AppPaths paths = AppPaths::forExecutable(temp.file(QStringLiteral("bin/zelvant")),
                                                   temp.file(QStringLiteral("bin")), env);
    ASSERT_EQ(paths.mode(), FileMode::Installed);
    // A marked copy of name with a suffix that may look like a word.
    const auto copy = [](const char *name, const char *suffix) {
        return QLatin1Char('.') + QLatin1String(name) + QLatin1String(TemporaryCopyMarker)
               + QLatin1String(suffix);
    };
    const struct
    {
        QString folder;
        QString name;
        bool young;
        bool removed;
    } cases[] = {
        {paths.configDir(), copy("phones.xml", "backup"), false, true},
        {paths.dataDir(), copy("Zelvant.mdb", "a1B2c3"), false, true},
        {paths.savedPagesDir(), copy("07-03-15_14-05-09-123.html", "Copy01"), false, true},
        {paths.failedPagesDir(), copy("26-01-01_00-00-00-000_slot9.html", "x9Y8z7"), false, true},
        // A copy of an earlier version, named by QSaveFile.
        {paths.failedPagesDir(), QStringLiteral("26-01-01_00-00-00-000_slot9.html.Ab3dEf"), false,
         true},
        {paths.stateDir(), copy("Zelvant.err", "a1B2c3"), true, false},
        {paths.configDir(), QStringLiteral("phones.xml.backup"), false, false},
        {paths.failedPagesDir(), QStringLiteral("notes.txt"), false, false},
    };
    const QDateTime now = QDateTime::currentDateTime();
    int removed = 0;
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir().mkpath(c.folder));
        QFile file(QDir(c.folder).filePath(c.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        if (!c.young) {
            ASSERT_TRUE(file.setFileTime(now.addSecs(-3600), QFileDevice::FileModificationTime));
        }
        removed += c.removed ? 1 : 0;
    }
    EXPECT_EQ(removeStaleTemporaryCopies(paths, now.addSecs(-StaleCopyAgeSeconds)), removed);
    for (const auto &c : cases)
        EXPECT_EQ(QFileInfo::exists(QDir(c.folder).filePath(c.name)), !c.removed)
            << c.name.toStdString();
}
