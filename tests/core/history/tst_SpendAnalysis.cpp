// The spend rules on made-up histories: what the usual daily spend is and
// when the newest reading shows an unusual spend.

#include <gtest/gtest.h>

#include <optional>

#include "core/history/SpendAnalysis.h"
#include "support/QStringPrinter.h"

using namespace zelvant;

namespace {

// Readings counted from 1 November 2026 00:00.
struct Reading
{
    int day;
    int minute; // of the day
    double balance;
    bool hasBalance = true;
};

QDateTime at(int day, int minute)
{
    return QDateTime(QDate(2026, 11, 1).addDays(day), QTime(0, 0).addSecs(minute * 60));
}

// One reading a day at 10:00 from day `from` to day `to`, falling by `perDay`.
QList<Reading> daily(int from, int to, double start, double perDay, int minute = 600)
{
    QList<Reading> readings;
    for (int day = from; day <= to; ++day)
        readings.append({day, minute, start - perDay * (day - from)});
    return readings;
}

struct Case
{
    const char *what;
    QList<Reading> readings;
    std::optional<double> usual;
    std::optional<Reading> unusual; // since (day, minute) and the spend
};

} // namespace

TEST(SpendAnalysis, UsualDailySpendAndUnusualSpendOfMadeUpHistories)
{
    // Ten days at 5 a day: 455 on day 9 at 10:00.
    const QList<Reading> steady = daily(0, 9, 500, 5);
    const Case cases[] = {
        {"a steady spend is usual", steady + QList<Reading>{{9, 720, 453}}, 5, std::nullopt},
        {"a sudden fall two hours after the last reading", steady + QList<Reading>{{9, 720, 335}},
         5, Reading{9, 600, 120}},
        {"a top-up spends nothing, nor does it hide the fall after it",
         steady + QList<Reading>{{9, 840, 655}, {9, 1080, 520}}, 5, Reading{9, 600, 135}},
        {"six days of readings are too few: no usual spend, no alert",
         daily(0, 5, 500, 5) + QList<Reading>{{5, 720, 100}}, std::nullopt, std::nullopt},
        {"readings older than 30 days do not count as days",
         daily(0, 9, 500, 5) + daily(40, 44, 400, 5) + QList<Reading>{{44, 720, 100}}, std::nullopt,
         std::nullopt},
        {"a flat balance spends 0 a day, and 10 at once is under the floor",
         daily(0, 9, 100, 0) + QList<Reading>{{9, 720, 90}}, 0, std::nullopt},
        {"after a flat balance a fall of 40 is unusual",
         daily(0, 9, 100, 0) + QList<Reading>{{9, 720, 60}}, 0, Reading{9, 600, 40}},
        {"a gap of several days gives each of its days its share (10 a day for 5 days)",
         daily(0, 3, 200, 0, 0) + daily(8, 10, 150, 0, 0) + QList<Reading>{{10, 720, 150}},
         5, // 0 0 0 10 10 10 10 10 0 0
         std::nullopt},
        {"a fall spread over a long gap is not unusual per day (60 in 6 days)",
         steady + QList<Reading>{{15, 600, 395}}, 5, std::nullopt},
        {"the same fall in two days is (50 a day)", steady + QList<Reading>{{11, 600, 355}}, 5,
         Reading{9, 600, 100}},
        {"a small fall minutes after the last reading is never scaled up to a day",
         steady + QList<Reading>{{9, 610, 447}}, 5, std::nullopt},
        {"hourly falls add up from the earliest reading of the last day",
         steady
             + QList<Reading>{{9, 660, 445},
                              {9, 720, 435},
                              {9, 780, 425},
                              {9, 840, 415},
                              {9, 900, 405}},
         5, Reading{9, 600, 50}},
        {"a reading without a balance is skipped, not a fall to 0",
         steady + QList<Reading>{{9, 660, 0, false}, {9, 720, 453}}, 5, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QList<HistoryRow> rows;
        // Newest first, as the history gives them.
        for (const Reading &r : c.readings) {
            HistoryRow row;
            row.phoneNumber = QStringLiteral("9161234567");
            row.queryDateTime = at(r.day, r.minute);
            row.balance = r.balance;
            row.hasBalance = r.hasBalance;
            rows.prepend(row);
        }
        const SpendState state = analyseSpend(rows, SpendLimits{});
        EXPECT_EQ(state.usualDaily, c.usual);
        ASSERT_EQ(state.unusual.has_value(), c.unusual.has_value());
        if (c.unusual) {
            EXPECT_EQ(state.unusual->since, at(c.unusual->day, c.unusual->minute));
            EXPECT_DOUBLE_EQ(state.unusual->spent, c.unusual->balance);
        }
    }
}
