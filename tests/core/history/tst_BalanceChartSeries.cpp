// The balance chart's data: the rows it gets for each history range, the
// decimation to pixel columns, the threshold line, the time labels and the
// hover text.

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <map>

#include "core/config/Settings.h"
#include "core/history/BalanceChartSeries.h"
#include "core/history/HistoryRange.h"
#include "support/HistoryFixture.h"
#include "support/QStringPrinter.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

constexpr qint64 Minute = 60 * 1000;

HistoryRow row(const QDateTime &time, double balance)
{
    return MakeHistoryRow(QStringLiteral("903"), time, balance);
}

QDateTime at(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::LocalTime);
}

// Points every `apart` minutes with a random walk and top-ups, newest first
// as the history query gives them.
QList<HistoryRow> walk(int count, int apart, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<HistoryRow> rows;
    double balance = 50;
    for (int i = 0; i < count; ++i) {
        balance += random.bounded(40) == 0 ? 100 : random.bounded(2.0) - 1.2;
        rows.prepend(row(at(10, 1, 0).addSecs(qint64(i) * apart * 60), balance));
    }
    return rows;
}

} // namespace

TEST(BalanceChartSeries, ShowsTheRowsOfEachRangeInTimeOrder)
{
    TempFolder dir;
    const QString db = dir.file(QStringLiteral("Zelvant.mdb"));
    const QDateTime now = QDateTime::currentDateTime();
    // Oldest first, as the cycles append them; another phone in between.
    ASSERT_TRUE(WriteHistoryRows(db, {row(now.addDays(-10), 40), row(now.addDays(-5), 25.5),
                                      MakeHistoryRow(QStringLiteral("916"), now.addDays(-3), 7),
                                      row(now.addDays(-1), 120), row(now.addSecs(-7200), 118.25)}));
    struct Case
    {
        HistoryRangeChoice choice;
        QList<double> balances; // oldest first
    };
    const Case cases[] = {
        {{HistoryRange::All, 0}, {40, 25.5, 120, 118.25}},
        {{HistoryRange::LastDays, 2}, {120, 118.25}},
        {{HistoryRange::LastRequests, 3}, {25.5, 120, 118.25}},
    };
    for (const Case &c : cases) {
        const HistoryQueryResult result = queryHistory(db, QStringLiteral("903"), c.choice);
        ASSERT_EQ(result.status, HistoryQueryResult::Ok);
        BalanceChartSeries series;
        series.setRows(result.rows);
        QList<double> balances;
        for (const BalancePoint &p : series.points())
            balances << p.balance;
        EXPECT_EQ(balances, c.balances) << int(c.choice.range);
        // The same moments as the table's rows, which run newest first.
        for (qsizetype i = 0; i < result.rows.size(); ++i) {
            EXPECT_EQ(series.points()[size_t(result.rows.size() - 1 - i)].time,
                      BalanceChartSeries::wallClockMsecs(result.rows.at(i).queryDateTime));
        }
    }
}

TEST(BalanceChartSeries, DecimationKeepsEveryColumnsExtremesAndLastPoint)
{
    struct Case
    {
        int count;
        int apart; // minutes
        int columns;
        int skip;  // points left out before the shown range
        int shown; // points in the shown range; 0: all after skip
    };
    const Case cases[] = {
        {100000, 5, 800, 0, 0},      // the whole of a long history
        {20000, 1, 300, 5000, 9000}, // zoomed into the middle
        {50, 300, 800, 0, 0},        // fewer points than columns: all kept
        {3000, 7, 1, 0, 0},          // one column
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " points into " << c.columns << " columns");
        BalanceChartSeries series;
        series.setRows(walk(c.count, c.apart, quint32(c.count)));
        const std::vector<BalancePoint> &all = series.points();
        const qint64 from = all[size_t(c.skip)].time - Minute / 2;
        const qint64 to = c.shown ? all[size_t(c.skip + c.shown - 1)].time + Minute / 2
                                  : all.back().time + Minute;
        const std::vector<BalancePoint> drawn = series.decimated(from, to, c.columns);

        // A subsequence of the points, in time order.
        auto next = all.begin();
        for (const BalancePoint &p : drawn) {
            next = std::find(next, all.end(), p);
            ASSERT_NE(next, all.end());
            ++next;
        }
        // The neighbours outside the range lead the line to both edges.
        const auto inside = [&](const BalancePoint &p) { return p.time >= from && p.time <= to; };
        EXPECT_EQ(!inside(drawn.front()), c.skip > 0);
        EXPECT_EQ(!inside(drawn.back()), c.shown > 0);

        // Per column: the lowest, the highest and the last point are drawn.
        std::map<int, std::vector<BalancePoint>> columns;
        const double width = double(to - from) / c.columns;
        for (const BalancePoint &p : all) {
            if (inside(p))
                columns[std::min(c.columns - 1, int(double(p.time - from) / width))].push_back(p);
        }
        int kept = 0;
        for (const auto &[column, points] : columns) {
            const auto [low, high] = std::minmax_element(
                points.begin(), points.end(),
                [](const BalancePoint &a, const BalancePoint &b) { return a.balance < b.balance; });
            for (const BalancePoint &p : {*low, *high, points.back()})
                EXPECT_NE(std::find(drawn.begin(), drawn.end(), p), drawn.end()) << column;
            kept += int(std::count_if(drawn.begin(), drawn.end(), [&](const BalancePoint &p) {
                return std::find(points.begin(), points.end(), p) != points.end();
            }));
        }
        EXPECT_EQ(kept, int(std::count_if(drawn.begin(), drawn.end(), inside)));
        EXPECT_LE(kept, 3 * int(columns.size()));
        if (c.count <= c.columns) {
            EXPECT_EQ(drawn.size(), all.size());
        }
    }
}

TEST(BalanceChartSeries, ThresholdFollowsTheBalanceMarking)
{
    struct Case
    {
        bool marking;
        const char *text;
        std::optional<double> threshold;
    };
    const Case cases[] = {
        {true, "2.5", 2.5},
        {true, "120.75", 120.75},
        {true, "дёшево", 2.5}, // not a number: the phones window's fallback
        {false, "2.5", std::nullopt},
    };
    for (const Case &c : cases) {
        Options options;
        options.cbMarkIfBalance = c.marking;
        options.edBalanceLessThen = QString::fromUtf8(c.text);
        const std::optional<double> threshold = BalanceChartSeries::thresholdOf(options);
        EXPECT_EQ(threshold, c.threshold) << c.text;
        BalanceChartSeries series;
        series.setRows({row(at(11, 1, 9), 40), row(at(11, 2, 9), 60)});
        series.setThreshold(threshold);
        const auto [low, high] = series.valueRange();
        EXPECT_LE(low, 0);
        EXPECT_GE(high, std::max(60.0, threshold.value_or(0)));
    }
}

TEST(BalanceChartSeries, RussianTimeLabelsNearestPointAndItsText)
{
    const auto ms = [](const QDateTime &t) { return BalanceChartSeries::wallClockMsecs(t); };
    // Labels at round times; midnight names the day. Joined with "|".
    struct Case
    {
        QDateTime from, to;
        int maxLabels;
        const char *texts;
    };
    const Case cases[] = {
        {at(12, 4, 20), at(12, 5, 8), 4, "21:00|5 дек.|03:00|06:00"},
        {at(10, 7, 9), at(12, 7, 9), 12,
         "12 окт.|19 окт.|26 окт.|2 нояб.|9 нояб.|16 нояб.|"
         "23 нояб.|30 нояб.|7 дек."},
        {at(1, 1, 0), at(12, 31, 0), 12,
         "янв. 2026|февр. 2026|март 2026|апр. 2026|май 2026|"
         "июнь 2026|июль 2026|авг. 2026|сент. 2026|окт. 2026|"
         "нояб. 2026|дек. 2026"},
    };
    for (const Case &c : cases) {
        QStringList texts;
        for (const TimeAxisLabel &label :
             BalanceChartSeries::timeLabels(ms(c.from), ms(c.to), c.maxLabels)) {
            EXPECT_GE(label.time, ms(c.from));
            EXPECT_LE(label.time, ms(c.to));
            texts << label.text;
        }
        EXPECT_EQ(texts.join(QLatin1Char('|')), QString::fromUtf8(c.texts));
    }

    BalanceChartSeries series;
    EXPECT_EQ(series.nearestPoint(0), -1);
    series.setRows({row(at(12, 5, 18, 30), 7.5), row(at(12, 5, 12), 12.25), row(at(12, 4, 9), -3)});
    EXPECT_EQ(series.nearestPoint(ms(at(12, 1, 0))), 0);
    EXPECT_EQ(series.nearestPoint(ms(at(12, 5, 14))), 1);
    EXPECT_EQ(series.nearestPoint(ms(at(12, 5, 16))), 2);
    EXPECT_EQ(series.nearestPoint(ms(at(12, 9, 0))), 2);
    EXPECT_EQ(series.pointText(1), QString::fromUtf8("05.12.2026 12:00:00\n12.25 у.е."));
    EXPECT_EQ(series.pointText(0), QString::fromUtf8("04.12.2026 09:00:00\n-3.00 у.е."));
}
