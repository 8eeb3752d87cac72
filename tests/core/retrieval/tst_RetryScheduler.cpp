// Automatic retries: the request cycle against the fake self-service
// server, the retry schedule with short injected delays.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "core/retrieval/RetryScheduler.h"
#include "support/CycleRig.h"
#include "support/FakeLumoServer.h"

using namespace zelvant;
using zelvant::test::CycleRig;
using zelvant::test::FakeLumoServer;

namespace {

using A = FakeLumoServer::LoginAnswer;

// One cycle as the scheduler saw it: which slots, when (ms on the test's clock).
struct CycleRun
{
    QList<int> queried;
    qint64 start = 0;
    qint64 end = 0;
};

class RetryTest : public ::testing::Test, protected CycleRig
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(https.start());
        https.setUseUntrustedCertificate(true);
        make({{QStringLiteral("Тест"), server.loginUrl().toString(), QStringLiteral("TST")},
              {QStringLiteral("TLS"), https.loginUrl().toString(), QStringLiteral("TLS")},
              {QStringLiteral("Нет"), server.url(QStringLiteral("/nowhere")).toString(),
               QStringLiteral("404")}});
        Options noHistory;
        noHistory.cbHistory = false;
        context->options.apply(noHistory);
        setTimings(0, 300, 0);
        clock.start();
        retry = std::make_unique<RetryScheduler>([this](const QList<int> &targets) {
            ++asked;
            if (!cycle->retryPhones(targets))
                return false;
            runs << CycleRun{{}, clock.elapsed(), 0};
            return true;
        });
        retry->setClock([this] { return clock.elapsed(); });
        retry->setDelays(delays);
        QObject::connect(cycle.get(), &RequestCycle::cycleFinished, cycle.get(), [this] {
            runs.last().queried = cycle->queriedSlots();
            runs.last().end = clock.elapsed();
            retry->cycleFinished(cycle->mode() == CycleMode::AllPhones, cycle->queriedSlots(),
                                 store->results(), -1);
        });
    }

    void addPhone(int slot, A answer, const QString &region = QStringLiteral("TST"),
                  bool rightPassword = true)
    {
        FakeLumoServer::Subscriber s;
        s.number = QStringLiteral("90300000%1").arg(slot, 2, 10, QLatin1Char('0'));
        s.password = QStringLiteral("пароль");
        s.balance = slot;
        s.answer = answer;
        server.addSubscriber(s);
        PhoneSlot &p = context->phones.slot(slot);
        p.number = s.number;
        p.password = rightPassword ? s.password : QStringLiteral("неверный");
        p.monitored = true;
        p.region = region;
    }

    bool start(CycleMode mode, int slot = -1)
    {
        if (!cycle->queryPhones(mode, slot))
            return false;
        runs << CycleRun{{}, clock.elapsed(), 0};
        return true;
    }

    // Until nothing is planned or running any more.
    bool settle(int timeoutMs = 20000)
    {
        QElapsedTimer waited;
        waited.start();
        while (cycle->isRunning() || retry->isPlanned() || retry->isRetryRunning()) {
            if (waited.elapsed() > timeoutMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    const QList<qint64> delays{150, 300, 450};
    FakeLumoServer server;
    FakeLumoServer https{FakeLumoServer::Https};
    std::unique_ptr<RetryScheduler> retry;
    QElapsedTimer clock;
    QList<CycleRun> runs;
    int asked = 0;
};

} // namespace

TEST_F(RetryTest, NetworkFaultsAreRetriedOnScheduleAPageWithoutBalanceNever)
{
    addPhone(1, A::Reset);                                  // no connection
    addPhone(2, A::ServerError);                            // 500, mended before the first retry
    addPhone(3, A::Redirect, QStringLiteral("TST"), false); // wrong password
    addPhone(4, A::Hang);                                   // time-out
    addPhone(5, A::Redirect);                               // fine
    addPhone(6, A::Redirect, QStringLiteral("TLS"));        // certificate refused
    addPhone(7, A::Redirect, QStringLiteral("404"));        // not found: not the network's fault
    addPhone(8, A::Frameset);                               // a page without a balance
    ASSERT_TRUE(start(CycleMode::AllPhones));
    QSignalSpy firstCycle(cycle.get(), &RequestCycle::cycleFinished);
    ASSERT_TRUE(firstCycle.wait(10000));
    server.subscriber(QStringLiteral("9030000002"))->answer = A::Redirect;
    ASSERT_TRUE(settle());

    ASSERT_EQ(runs.size(), 4);
    EXPECT_EQ(runs[0].queried, QList<int>({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(runs[1].queried, QList<int>({1, 2, 4, 6}));
    EXPECT_EQ(runs[2].queried, QList<int>({1, 4, 6}));
    EXPECT_EQ(runs[3].queried, QList<int>({1, 4, 6}));
    for (int i = 1; i < runs.size(); ++i) {
        SCOPED_TRACE(i);
        // Each retry waits its delay after the cycle before it (a coarse
        // timer may fire up to 5% early).
        EXPECT_GE(runs[i].start - runs[i - 1].end, delays[i - 1] * 95 / 100);
    }
    EXPECT_TRUE(result(2).queryOk);
    EXPECT_EQ(result(1).failure.reason, FailReason::NoConnection);
    EXPECT_EQ(result(4).failure.reason, FailReason::TimeOut);
    EXPECT_EQ(result(6).failure.reason, FailReason::TlsRefused);
    EXPECT_EQ(https.loginCount(), 0);
    // The three attempts are all: nothing follows.
    QTest::qWait(600);
    EXPECT_EQ(runs.size(), 4);
}

TEST_F(RetryTest, NeverDuringAnotherCycleNorPastTheNextScheduledOne)
{
    addPhone(1, A::Reset);
    addPhone(2, A::Redirect);
    ASSERT_TRUE(start(CycleMode::AllPhones));
    QSignalSpy finished(cycle.get(), &RequestCycle::cycleFinished);
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_TRUE(retry->isPlanned());
    // The user asks for phone 2 and its answer takes longer than the delay:
    // the retry comes due meanwhile and waits for that cycle's end.
    server.subscriber(QStringLiteral("9030000002"))->delayMs = 250;
    ASSERT_TRUE(start(CycleMode::OnePhone, 2));
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_GE(asked, 2);
    ASSERT_GE(runs.size(), 3);
    EXPECT_EQ(runs[2].queried, QList<int>({1}));
    EXPECT_GE(runs[2].start, runs[1].end);
    EXPECT_TRUE(result(2).queryOk);
    cycle->stop();
    retry->setEnabled(false);

    // On a clock of the test's own: a retry that would come at or after the
    // next scheduled cycle is not planned; switched off, none is.
    qint64 now = 1000000;
    RetryScheduler planner([](const QList<int> &) { return false; });
    planner.setClock([&now] { return now; });
    PhoneResults results;
    results[1].failure = {FailReason::TimeOut};
    constexpr qint64 Minute = 60000;
    planner.cycleFinished(true, {1}, results, now + 10 * Minute);
    EXPECT_FALSE(planner.isPlanned());
    planner.cycleFinished(true, {1}, results, now + 11 * Minute);
    EXPECT_TRUE(planner.isPlanned());
    EXPECT_EQ(planner.dueAt(), now + 10 * Minute);
    planner.setEnabled(false);
    EXPECT_FALSE(planner.isPlanned());
}
