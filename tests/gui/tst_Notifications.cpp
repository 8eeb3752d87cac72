// Alerts as they reach the desktop: the alert rules after a series of
// cycles, delivered by the desktop notifier to a notification service of
// the test's own on a private session bus, which records every Notify call.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <cstdlib>

#include "core/PhoneResult.h"
#include "core/config/AppContext.h"
#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/tray/AlertRules.h"
#include "gui/DesktopNotifier.h"
#include "gui/PhonesWindow.h"
#include "gui/TrayController.h"
#include "support/CycleRig.h"
#include "support/FakeAutoStart.h"
#include "support/FakeLumoServer.h"
#include "support/FakeNotificationService.h"
#include "support/HistoryFixture.h"
#include "support/PrivateSessionBus.h"
#include "support/RecordingTray.h"

using namespace zelvant;
using zelvant::test::FakeNotificationService;
using zelvant::test::PrivateSessionBus;

namespace {

const QString LowTitle = QStringLiteral("Zelvant: пора пополнить баланс");

// One phone's outcome in a cycle: a balance and turn-off days, or a failure.
struct Outcome
{
    int slot;
    bool ok;
    float balance = 0;
    int turnOff = 0;
};

struct Expected
{
    QString title;
    QString body;
    Urgency urgency;
};

struct Step
{
    const char *what;
    bool scheduled;
    QList<Outcome> outcomes;
    QList<Expected> expected;
};

class NotificationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PrivateSessionBus::daemonInstalled()) {
            // No dbus-daemon on this machine: the whole program is skipped.
            std::fprintf(stderr, "dbus-daemon is not installed: skipped\n");
            std::exit(77);
        }
        ASSERT_TRUE(bus.start()) << bus.error().toStdString();
        ASSERT_TRUE(service.registerOn(bus.connect(QStringLiteral("service"))));
        QImage icon(16, 16, QImage::Format_ARGB32);
        icon.fill(Qt::darkGreen);
        notifier = std::make_unique<DesktopNotifier>(
            bus.connect(QStringLiteral("program")),
            [this](const QString &title, const QString &body, Urgency urgency) {
                trayMessages << Expected{title, body, urgency};
            },
            icon);
        setPhone(1, QStringLiteral("Мама"), QStringLiteral("9161234567"));
        setPhone(2, QStringLiteral("Папа"), QStringLiteral("9161112233"));
        setPhone(3, QString(), QStringLiteral("9160000003"));
    }

    void setPhone(int slot, const QString &alias, const QString &number)
    {
        PhoneSlot &p = phones.slot(slot);
        p.alias = alias;
        p.number = number;
        p.password = QStringLiteral("1");
        p.monitored = true;
    }

    // Runs one cycle's outcomes through the rules and the notifier and
    // waits until every notification has gone out.
    QList<Notification> cycle(const Step &step)
    {
        QList<int> queried;
        for (const Outcome &o : step.outcomes) {
            PhoneResult &r = results[o.slot];
            queried << o.slot;
            r.queryOk = o.ok;
            if (o.ok) {
                r.balance = o.balance;
                r.turnOffDays = o.turnOff;
                r.lastQueryTime = QDateTime(QDate(2026, 12, 5), QTime(10, o.slot));
            }
        }
        const QList<Notification> out =
            rules.cycleFinished(step.scheduled, queried, results, phones, options);
        QSignalSpy delivered(notifier.get(), &DesktopNotifier::delivered);
        for (const Notification &n : out)
            notifier->notify(n);
        while (delivered.size() < out.size() && delivered.wait(5000)) {
        }
        EXPECT_EQ(delivered.size(), out.size());
        return out;
    }

    PrivateSessionBus bus;
    FakeNotificationService service;
    std::unique_ptr<DesktopNotifier> notifier;
    QList<Expected> trayMessages;
    PhoneList phones;
    PhoneResults results;
    Options options;
    AlertRules rules;
};

} // namespace

TEST_F(NotificationTest, CrossingsAndFailureStreaksAcrossCycles)
{
    const QString never =
        QStringLiteral("Не удаётся получить баланс: 9160000003, последний успешный запрос ни разу");
    const QString papaFailing = QStringLiteral("Не удаётся получить баланс: Папа (9161112233), "
                                               "последний успешный запрос 05.12.2026 10:02");
    const Step steps[] = {
        {"two phones cross at once: one notification, a line each",
         true,
         {{1, true, 1.80f, 2}, {2, true, 10, 1}, {3, false}},
         {{LowTitle,
           QStringLiteral("Мама (9161234567): 1.80 у.е., отключение через 2 дн.\n"
                          "Папа (9161112233): 10.00 у.е., отключение через 1 дн."),
           Urgency::Normal}}},
        {"still low: not again; the other one topped up",
         true,
         {{1, true, 1.50f, 1}, {2, true, 9, 30}, {3, false}},
         {}},
        {"topped up, then low again; a negative balance is critical; third scheduled failure",
         true,
         {{1, true, 50, 40}, {2, true, -3.20f, 0}, {3, false}},
         {{LowTitle, QStringLiteral("Папа (9161112233): -3.20 у.е."), Urgency::Critical},
          {QStringLiteral("Zelvant"), never, Urgency::Normal}}},
        {"low once more after being above",
         true,
         {{1, true, 2.5f, 0}, {3, false}},
         {{LowTitle, QStringLiteral("Мама (9161234567): 2.50 у.е."), Urgency::Normal}}},
        {"failing on: told once", true, {{3, false}}, {}},
        {"failures in cycles the user started do not count", false, {{2, false}, {2, false}}, {}},
        {"first scheduled failure", true, {{2, false}}, {}},
        {"second", true, {{2, false}}, {}},
        {"a retry's failure neither counts nor breaks the row", false, {{2, false}}, {}},
        {"third", true, {{2, false}}, {{QStringLiteral("Zelvant"), papaFailing, Urgency::Normal}}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        service.clear();
        cycle(step);
        ASSERT_EQ(service.calls().size(), step.expected.size());
        for (int i = 0; i < step.expected.size(); ++i) {
            const FakeNotificationService::Call &call = service.calls().at(i);
            EXPECT_EQ(call.summary, step.expected[i].title);
            EXPECT_EQ(call.body, step.expected[i].body);
            EXPECT_EQ(call.hints.value(QStringLiteral("urgency")).toInt(),
                      int(step.expected[i].urgency));
        }
    }
    EXPECT_TRUE(trayMessages.isEmpty());
}

TEST_F(NotificationTest, TheProtocolAsTheServiceSeesIt)
{
    results[1].balance = 1;
    ASSERT_EQ(cycle({"", true, {{1, true, 1, 0}}, {}}).size(), 1);
    ASSERT_EQ(service.calls().size(), 1);
    const FakeNotificationService::Call &call = service.calls().first();
    EXPECT_EQ(call.appName, QStringLiteral("Zelvant"));
    EXPECT_EQ(call.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("zelvant"));
    EXPECT_EQ(call.urgencySignature, QStringLiteral("y")); // a byte, not Qt's 32-bit integer
    EXPECT_EQ(call.imageSignature, QStringLiteral("(iiibiiay)"));
    EXPECT_EQ(call.expireTimeout, -1);
    EXPECT_TRUE(call.actions.contains(QStringLiteral("Открыть")));

    // "Открыть" opens the phones window; another program's id does nothing.
    QSignalSpy open(notifier.get(), &DesktopNotifier::openRequested);
    service.invokeAction(call.id + 100, QStringLiteral("open"));
    service.invokeAction(call.id, QStringLiteral("open"));
    ASSERT_TRUE(open.wait(5000));
    QTest::qWait(50);
    EXPECT_EQ(open.size(), 1);
}

TEST_F(NotificationTest, SwitchedOffAnotherPhoneInTheSlotOrNoServiceAtAll)
{
    options.cbNotifyLowBalance = false;
    EXPECT_TRUE(cycle({"", true, {{1, true, 1, 0}}, {}}).isEmpty());
    options.cbNotifyLowBalance = true;
    // Already low while switched off: no old news when switched on.
    EXPECT_TRUE(cycle({"", true, {{1, true, 0.5f, 0}}, {}}).isEmpty());
    EXPECT_TRUE(service.calls().isEmpty());
    // The slot now holds another phone: its low balance is news.
    setPhone(1, QStringLiteral("Бабушка"), QStringLiteral("9169999999"));
    EXPECT_EQ(cycle({"", true, {{1, true, 0.5f, 0}}, {}}).size(), 1);
    EXPECT_EQ(service.calls().size(), 1);

    // The service goes away: the tray icon's message takes over.
    service.unregister();
    cycle({"", true, {{2, true, 1, 0}}, {}});
    ASSERT_EQ(trayMessages.size(), 1);
    EXPECT_EQ(trayMessages[0].title, LowTitle);
    EXPECT_EQ(trayMessages[0].body, QStringLiteral("Папа (9161112233): 1.00 у.е."));
}

TEST_F(NotificationTest, UnusualSpendAfterARealCycleIsToldOnceAndMarksTheRow)
{
    // Ten days at 5 a day, the last reading two hours ago at 455; the
    // operator's page now says 300.
    test::FakeLumoServer server;
    ASSERT_TRUE(server.start());
    test::FakeLumoServer::Subscriber s;
    s.number = QStringLiteral("9031112233");
    s.password = QStringLiteral("п");
    s.balance = 300;
    server.addSubscriber(s);
    test::CycleRig rig; // the folder and the context; the controller runs its own cycle
    rig.make({{QStringLiteral("Сервер"), server.loginUrl().toString(), QStringLiteral("SRV")}});
    AppContext &context = *rig.context;
    context.phones.slot(1) = PhoneSlot{
        s.number, s.password, false, QStringLiteral("Мама"), true, false, QStringLiteral("SRV")};
    const QDateTime last = QDateTime::currentDateTime().addSecs(-2 * 3600);
    QList<HistoryRow> rows;
    for (int k = 9; k >= 0; --k)
        rows << test::MakeHistoryRow(s.number, last.addDays(-k), 455 + 5 * k);
    ASSERT_TRUE(test::WriteHistoryRows(context.paths.historyFile(), rows));
    Options options;
    options.cbDailySpend = true;
    IniFile settings(context.paths.settingsFile());
    ASSERT_TRUE(saveSettings(settings, options, false, nullptr));

    test::RecordingTray tray;
    TrayControllerHooks hooks;
    hooks.beep = [] {};
    hooks.autoStart = std::make_unique<test::FakeAutoStart>();
    hooks.startTimer = false;
    hooks.notifier = notifier.get();
    TrayController main(context, tray, std::move(hooks));
    CycleTimings timings;
    timings.pauseBeforePhoneMs = 0;
    main.setCycleTimings(timings);
    main.startWork();
    auto cycle = [&] {
        service.clear();
        QSignalSpy finished(main.cycle(), &RequestCycle::cycleFinished);
        EXPECT_TRUE(main.runQueryCycle(CycleMode::AllPhones));
        EXPECT_TRUE(finished.wait(10000));
        QTest::qWait(200); // the notification's way over the bus
        return service.calls();
    };
    const QString spend = QStringLiteral("с %1 списано 155.00 у.е. — обычно около 5.00 у.е. в день")
                              .arg(last.toString(QStringLiteral("dd.MM HH:mm")));
    const QList<FakeNotificationService::Call> told = cycle();
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].summary, QStringLiteral("Zelvant: необычные списания"));
    EXPECT_EQ(told[0].body, QStringLiteral("Мама (9031112233): ") + spend);
    EXPECT_TRUE(cycle().isEmpty()) << "still unusual: not told again";
    const PhonesTable &grid = main.phonesWindow()->grid();
    EXPECT_EQ(grid.cell(grid.columnOf(QStringLiteral("DailySpend")), 1).text,
              QStringLiteral("5.00"));
    EXPECT_EQ(grid.cell(grid.columnOf(QStringLiteral("Balance")), 1).style.brushColor,
              GridColors::UnusualSpend);
    EXPECT_EQ(grid.rowToolTip(1), QStringLiteral("Необычный расход: ") + spend);
}
