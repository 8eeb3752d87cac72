#include "core/history/SpendAnalysis.h"

#include <QFile>

#include <algorithm>
#include <set>

#include "core/Rounding.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/history/BalanceChartSeries.h"
#include "core/history/HistoryStore.h"

namespace zelvant {

namespace {

constexpr qint64 Day = 24 * 3600 * 1000;

qint64 dayOf(qint64 wallClock)
{
    return wallClock / Day - (wallClock % Day < 0 ? 1 : 0);
}

double fallOf(const SpendReading &before, const SpendReading &after)
{
    return std::max(0.0, before.balance - after.balance);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

SpendLimits spendLimitsOf(const Options &options)
{
    SpendLimits limits;
    double value = 0;
    if (parseDecimal(options.edSpendFactor, &value) && value > 0)
        limits.factor = value;
    if (parseDecimal(options.edSpendFloor, &value) && value >= 0)
        limits.floor = value;
    return limits;
}

std::vector<SpendReading> spendReadings(const QList<HistoryRow> &rows)
{
    std::vector<SpendReading> readings;
    readings.reserve(size_t(rows.size()));
    for (const HistoryRow &row : rows) {
        if (row.hasBalance && row.queryDateTime.isValid())
            readings.push_back({row.queryDateTime,
                                BalanceChartSeries::wallClockMsecs(row.queryDateTime),
                                row.balance});
    }
    // Newest first from the history: reversed, the stable sort keeps rows of
    // the same second in the order they were stored.
    std::reverse(readings.begin(), readings.end());
    std::stable_sort(
        readings.begin(), readings.end(),
        [](const SpendReading &a, const SpendReading &b) { return a.wallClock < b.wallClock; });
    return readings;
}

std::optional<double> usualDailySpend(std::span<const SpendReading> readings)
{
    if (readings.size() < 2)
        return std::nullopt;
    const qint64 lastDay = dayOf(readings.back().wallClock);
    const qint64 firstDay = lastDay - (UsualSpendDays - 1);
    std::set<qint64> readingDays;
    for (const SpendReading &r : readings) {
        if (dayOf(r.wallClock) >= firstDay)
            readingDays.insert(dayOf(r.wallClock));
    }
    if (int(readingDays.size()) < UsualSpendMinReadingDays)
        return std::nullopt;
    // Whole days only: from the first midnight after the first reading to
    // the last midnight before the last one.
    const qint64 firstReading = readings.front().wallClock;
    const qint64 coverFrom = std::max(firstDay, dayOf(firstReading) + (firstReading % Day ? 1 : 0));
    const qint64 coverTo = dayOf(readings.back().wallClock); // exclusive
    if (coverTo <= coverFrom)
        return std::nullopt;
    std::vector<double> daily(size_t(coverTo - coverFrom), 0.0);
    for (size_t i = 1; i < readings.size(); ++i) {
        const double fall = fallOf(readings[i - 1], readings[i]);
        if (fall == 0)
            continue;
        const qint64 t0 = readings[i - 1].wallClock;
        const qint64 t1 = readings[i].wallClock;
        if (t1 <= t0) {
            // Two readings of the same moment: the fall belongs to that day.
            const qint64 d = dayOf(t1);
            if (d >= coverFrom && d < coverTo)
                daily[size_t(d - coverFrom)] += fall;
            continue;
        }
        for (qint64 d = std::max(dayOf(t0), coverFrom); d < coverTo && d * Day < t1; ++d) {
            const qint64 overlap = std::min(t1, (d + 1) * Day) - std::max(t0, d * Day);
            if (overlap > 0)
                daily[size_t(d - coverFrom)] += fall * double(overlap) / double(t1 - t0);
        }
    }
    return roundDecimals(median(std::move(daily)), 2);
}

SpendState analyseSpend(const QList<HistoryRow> &rows, const SpendLimits &limits)
{
    const std::vector<SpendReading> readings = spendReadings(rows);
    SpendState state;
    if (readings.size() < 2)
        return state;
    const size_t newest = readings.size() - 1;
    // The earliest reading within the day before the newest one; the
    // previous reading when none is that recent.
    size_t from = newest - 1;
    for (size_t i = 0; i < newest; ++i) {
        if (readings[i].wallClock >= readings[newest].wallClock - Day) {
            from = std::min(from, i);
            break;
        }
    }
    state.usualDaily = usualDailySpend(std::span(readings).first(from + 1));
    double spent = 0;
    for (size_t i = from + 1; i <= newest; ++i)
        spent += fallOf(readings[i - 1], readings[i]);
    spent = roundDecimals(spent, 2);
    const double days = double(readings[newest].wallClock - readings[from].wallClock) / double(Day);
    const double perDay = roundDecimals(spent / std::max(days, 1.0), 2);
    if (state.usualDaily && spent > 0 && perDay >= limits.factor * *state.usualDaily
        && perDay >= limits.floor)
        state.unusual = UnusualSpend{readings[from].time, spent, perDay};
    return state;
}

SpendState readSpendState(const HistoryReader &reader, const QString &number,
                          const SpendLimits &limits, QString *error)
{
    QString problem;
    const QList<HistoryRow> rows =
        reader.rows(number, HistoryRange::LastDays, SpendHistoryDays, &problem);
    if (error)
        *error = problem;
    return problem.isEmpty() ? analyseSpend(rows, limits) : SpendState{};
}

bool readSpendStates(SpendStates &states, const QString &historyFile, const PhoneList &phones,
                     const QList<int> &slots, const SpendLimits &limits, QString *error)
{
    const bool exists = QFile::exists(historyFile);
    HistoryReader reader(historyFile);
    for (int slot : slots) {
        if (slot < 1 || slot > PhoneSlotCount)
            continue;
        SpendState &state = states[size_t(slot - 1)];
        state = SpendState{};
        if (!exists || !phones.isMonitored(slot))
            continue;
        QString problem;
        state = readSpendState(reader, phones.numberOf(slot), limits, &problem);
        if (!problem.isEmpty()) {
            if (error)
                *error = problem;
            return false;
        }
    }
    return true;
}

} // namespace zelvant
