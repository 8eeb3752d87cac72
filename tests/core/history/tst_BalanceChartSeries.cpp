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

HistoryRow row(const QDateTime &time, double balance)
{
    return MakeHistoryRow(QStringLiteral("903"), time, balance);
}

QDateTime at(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::LocalTime);
}

bool earlier(const BalancePoint &a, const BalancePoint &b)
{
    return std::pair(a.time, a.balance) < std::pair(b.time, b.balance);
}

} // namespace

TEST(BalanceChartSeries, GetsTheRowsOfEachRangeInTimeOrder)
{
    TempFolder dir;
    const QString db = dir.file(QStringLiteral("Zelvant.mdb"));
    const QDateTime now = QDateTime::currentDateTime();
    // Oldest first, as the cycles append them; another phone in between.
    ASSERT_TRUE(WriteHistoryRows(db, {row(now.addDays(-10), 40), row(now.addDays(-5), 25.5),
                                      MakeHistoryRow(QStringLiteral("916"), now.addDays(-3), 7),
                                      row(now.addDays(-1), 120), row(now.addSecs(-7200), 118.25)}));
    const std::pair<HistoryRangeChoice, QList<double>> cases[] = {
        {{HistoryRange::All, 0}, {40, 25.5, 120, 118.25}},
        {{HistoryRange::LastDays, 2}, {120, 118.25}},
        {{HistoryRange::LastRequests, 3}, {25.5, 120, 118.25}},
    };
    for (const auto &[choice, balances] : cases) {
        const HistoryQueryResult result = queryHistory(db, QStringLiteral("903"), choice);
        BalanceChartSeries series;
        series.setRows(result.rows);
        ASSERT_EQ(series.points().size(), size_t(balances.size()));
        for (qsizetype i = 0; i < balances.size(); ++i) {
            // The table's rows run newest first.
            EXPECT_EQ(series.points()[size_t(i)].balance, balances.at(i));
            EXPECT_EQ(series.points()[size_t(i)].time,
                      BalanceChartSeries::wallClockMsecs(
                          result.rows.at(result.rows.size() - 1 - i).queryDateTime));
        }
    }
}

TEST(BalanceChartSeries, DecimationKeepsEveryColumnsExtremesAndLastPoint)
{
    // Points every `apart` minutes, a random walk with top-ups; the shown
    // range starts after `skip` points and holds `shown` (0: all the rest).
    struct Case
    {
        int count, apart, columns, skip, shown;
    };
    const Case cases[] = {{100000, 5, 800, 0, 0},
                          {20000, 1, 300, 5000, 9000},
                          {50, 300, 800, 0, 0},
                          {3000, 7, 1, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " points, " << c.columns << " columns");
        QRandomGenerator random(quint32(c.count));
        QList<HistoryRow> rows;
        double balance = 50;
        for (int i = 0; i < c.count; ++i) {
            balance += random.bounded(40) == 0 ? 100 : random.bounded(2.0) - 1.2;
            rows.prepend(row(at(10, 1, 0).addSecs(qint64(i) * c.apart * 60), balance));
        }
        BalanceChartSeries series;
        series.setRows(rows);
        const std::vector<BalancePoint> &all = series.points();
        const qint64 from = all[size_t(c.skip)].time - 1;
        const qint64 to = c.shown ? all[size_t(c.skip + c.shown - 1)].time + 1 : all.back().time;
        const std::vector<BalancePoint> drawn = series.decimated(from, to, c.columns);

        // Stored points in time order, and the neighbours outside the range
        // that lead the line to both edges.
        EXPECT_TRUE(std::includes(all.begin(), all.end(), drawn.begin(), drawn.end(), earlier));
        const auto inside = [&](const BalancePoint &p) { return p.time >= from && p.time <= to; };
        EXPECT_EQ(!inside(drawn.front()), c.skip > 0);
        EXPECT_EQ(!inside(drawn.back()), c.shown > 0);

        std::map<int, std::vector<BalancePoint>> columns;
        for (const BalancePoint &p : all) {
            if (inside(p))
                columns[std::min(c.columns - 1,
                                 int(double(p.time - from) * c.columns / (to - from)))]
                    .push_back(p);
        }
        const auto byBalance = [](const BalancePoint &a, const BalancePoint &b) {
            return a.balance < b.balance;
        };
        for (const auto &[column, points] : columns) {
            const auto [low, high] = std::minmax_element(points.begin(), points.end(), byBalance);
            for (const BalancePoint &p : {*low, *high, points.back()})
                EXPECT_TRUE(std::binary_search(drawn.begin(), drawn.end(), p, earlier)) << column;
        }
        EXPECT_LE(std::count_if(drawn.begin(), drawn.end(), inside), 3 * qsizetype(columns.size()));
        if (c.count <= c.columns) {
            EXPECT_EQ(drawn.size(), all.size());
        }
    }
}

TEST(BalanceChartSeries, ThresholdFollowsTheSettingLabelsAndHoverTextAreRussian)
{
    struct Case
    {
        bool marking;
        const char *text;
        std::optional<double> threshold;
    };
    // Not a number: the phones window's fallback.
    for (const Case &c : {Case{true, "120.75", 120.75}, Case{true, "дёшево", 2.5},
                          Case{false, "2.5", std::nullopt}}) {
        Options options;
        options.cbMarkIfBalance = c.marking;
        options.edBalanceLessThen = QString::fromUtf8(c.text);
        BalanceChartSeries series;
        series.setThreshold(BalanceChartSeries::thresholdOf(options));
        EXPECT_EQ(series.threshold(), c.threshold) << c.text;
        // The value axis shows zero and the threshold line.
        series.setRows({row(at(11, 1, 9), 40), row(at(11, 2, 9), 60)});
        EXPECT_LE(series.valueRange().first, 0);
        EXPECT_GE(series.valueRange().second, std::max(60.0, c.threshold.value_or(0)));
    }

    const auto ms = [](const QDateTime &t) { return BalanceChartSeries::wallClockMsecs(t); };
    const auto labels = [&](const QDateTime &from, const QDateTime &to, int most) {
        QStringList texts;
        for (const TimeAxisLabel &label : BalanceChartSeries::timeLabels(ms(from), ms(to), most))
            texts << label.text;
        return texts.join(QLatin1Char('|'));
    };
    // Round times; midnight names the day; two months go by the week.
    EXPECT_EQ(labels(at(12, 4, 20), at(12, 5, 8), 4),
              QString::fromUtf8("21:00|5 дек.|03:00|06:00"));
    EXPECT_EQ(labels(at(10, 7, 9), at(12, 7, 9), 12),
              QString::fromUtf8("12 окт.|19 окт.|26 окт.|2 нояб.|9 нояб.|16 нояб.|23 нояб.|"
                                "30 нояб.|7 дек."));
    EXPECT_EQ(labels(at(1, 1, 0), at(12, 31, 0), 4),
              QString::fromUtf8("янв. 2026|апр. 2026|июль 2026|окт. 2026"));

    BalanceChartSeries series;
    EXPECT_EQ(series.nearestPoint(0), -1);
    series.setRows({row(at(12, 5, 18, 30), 7.5), row(at(12, 5, 12), 12.25), row(at(12, 4, 9), -3)});
    EXPECT_EQ(series.nearestPoint(ms(at(12, 1, 0))), 0);
    EXPECT_EQ(series.nearestPoint(ms(at(12, 5, 14))), 1);
    EXPECT_EQ(series.nearestPoint(ms(at(12, 5, 16))), 2);
    EXPECT_EQ(series.pointText(1), QString::fromUtf8("05.12.2026 12:00:00\n12.25 у.е."));
    EXPECT_EQ(series.pointText(0), QString::fromUtf8("04.12.2026 09:00:00\n-3.00 у.е."));
}
