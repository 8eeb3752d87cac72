#include "core/history/BalanceChartSeries.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

#include "core/config/Settings.h"

namespace zelvant {

namespace {

constexpr qint64 Hour = 3600 * 1000;
constexpr qint64 Day = 24 * Hour;
constexpr qint64 Week = 7 * Day;
// 1 January 1970 was a Thursday: weeks start four days later.
constexpr qint64 FirstMonday = 4 * Day;
const qint64 EpochJulianDay = QDate(1970, 1, 1).toJulianDay();

qint64 floorTo(qint64 value, qint64 step, qint64 origin = 0)
{
    const qint64 shifted = value - origin;
    qint64 q = shifted / step;
    if (shifted % step < 0)
        --q;
    return q * step + origin;
}

qint64 msecsOf(const QDate &date)
{
    return (date.toJulianDay() - EpochJulianDay) * Day;
}

// The date and time a wall-clock count stands for, with no time zone.
struct WallClock
{
    QDate date;
    QTime time;
};

WallClock wallClock(qint64 msecs)
{
    const qint64 midnight = floorTo(msecs, Day);
    return {QDate::fromJulianDay(EpochJulianDay + midnight / Day),
            QTime::fromMSecsSinceStartOfDay(int(msecs - midnight))};
}

// Month names in the interface's language (Russian unless translated).
QLocale russian()
{
    return QLocale(QCoreApplication::translate("zelvant::BalanceChartSeries", "ru_RU",
                                               "the locale of the month names on the time axis"));
}

QString dayText(const QDate &date)
{
    return russian().toString(date, QStringLiteral("d MMM"));
}

QString monthText(const QDate &date)
{
    return russian().standaloneMonthName(date.month(), QLocale::ShortFormat) + QLatin1Char(' ')
           + QString::number(date.year());
}

// Labels every `step` from the first round time at or after from.
QList<TimeAxisLabel> fixedStepLabels(qint64 from, qint64 to, qint64 step, qint64 origin)
{
    QList<TimeAxisLabel> labels;
    qint64 t = floorTo(from, step, origin);
    if (t < from)
        t += step;
    for (; t <= to; t += step) {
        const WallClock when = wallClock(t);
        // Within a day the hours are shown; midnight names the day.
        const bool midnight = t % Day == 0;
        labels.append(
            {t, midnight ? dayText(when.date) : when.time.toString(QStringLiteral("hh:mm"))});
    }
    return labels;
}

QList<TimeAxisLabel> monthLabels(qint64 from, qint64 to, int months)
{
    QList<TimeAxisLabel> labels;
    const QDate first = wallClock(from).date;
    QDate month(first.year(), 1 + (first.month() - 1) / months * months, 1);
    for (; msecsOf(month) <= to; month = month.addMonths(months)) {
        if (msecsOf(month) >= from)
            labels.append(
                {msecsOf(month), months >= 12 ? QString::number(month.year()) : monthText(month)});
    }
    return labels;
}

} // namespace

std::optional<double> BalanceChartSeries::thresholdOf(const Options &options)
{
    if (!options.cbMarkIfBalance)
        return std::nullopt;
    return options.balanceThreshold();
}

qint64 BalanceChartSeries::wallClockMsecs(const QDateTime &time)
{
    // date() and time() of a local date-time need no time zone lookup, which
    // keeps 100,000 rows quick.
    return msecsOf(time.date()) + time.time().msecsSinceStartOfDay();
}

void BalanceChartSeries::setRows(const QList<HistoryRow> &rows)
{
    m_points.clear();
    m_points.reserve(size_t(rows.size()));
    for (const HistoryRow &row : rows) {
        if (row.queryDateTime.isValid())
            m_points.push_back({wallClockMsecs(row.queryDateTime), row.balance});
    }
    // Rows come newest first; reversing first makes the stable sort a mere
    // check in the usual case and keeps equal times in the order stored.
    std::reverse(m_points.begin(), m_points.end());
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const BalancePoint &a, const BalancePoint &b) { return a.time < b.time; });
}

std::pair<qint64, qint64> BalanceChartSeries::fullTimeRange() const
{
    if (m_points.empty()) {
        const qint64 now = wallClockMsecs(QDateTime::currentDateTime());
        return {now - Day, now};
    }
    qint64 from = m_points.front().time;
    qint64 to = m_points.back().time;
    if (to - from < Hour) {
        from -= Hour / 2;
        to += Hour / 2;
    }
    const qint64 room = (to - from) / 50;
    return {from - room, to + room};
}

std::pair<double, double> BalanceChartSeries::valueRange() const
{
    // Zero stays in sight: how far the balance is from running out is what
    // the chart is looked at for.
    double low = 0;
    double high = 0;
    for (const BalancePoint &p : m_points) {
        low = std::min(low, p.balance);
        high = std::max(high, p.balance);
    }
    if (m_threshold) {
        low = std::min(low, *m_threshold);
        high = std::max(high, *m_threshold);
    }
    if (high - low < 1)
        high = low + 1;
    const double room = (high - low) * 0.05;
    return {low < 0 ? low - room : low, high + room};
}

std::vector<BalancePoint> BalanceChartSeries::decimated(qint64 from, qint64 to, int columns) const
{
    std::vector<BalancePoint> out;
    if (m_points.empty() || to <= from || columns < 1)
        return out;
    const auto byTime = [](const BalancePoint &p, qint64 t) { return p.time < t; };
    auto begin = std::lower_bound(m_points.begin(), m_points.end(), from, byTime);
    auto end = std::upper_bound(m_points.begin(), m_points.end(), to,
                                [](qint64 t, const BalancePoint &p) { return t < p.time; });
    // The nearest points outside the range carry the line to both edges.
    if (begin != m_points.begin())
        out.push_back(*(begin - 1));
    const double columnWidth = double(to - from) / columns;
    auto it = begin;
    while (it != end) {
        const int column = std::min(columns - 1, int(double(it->time - from) / columnWidth));
        auto lowest = it, highest = it, last = it;
        for (++it; it != end; ++it) {
            if (std::min(columns - 1, int(double(it->time - from) / columnWidth)) != column)
                break;
            if (it->balance < lowest->balance)
                lowest = it;
            if (it->balance > highest->balance)
                highest = it;
            last = it;
        }
        // The column's last point is always kept: it is the level the line
        // carries on with. Each point once, in time order.
        const auto first = std::min(lowest, highest);
        const auto second = std::max(lowest, highest);
        out.push_back(*first);
        if (second != first)
            out.push_back(*second);
        if (last != second)
            out.push_back(*last);
    }
    if (end != m_points.end())
        out.push_back(*end);
    return out;
}

QList<QPointF> BalanceChartSeries::stepLine(const std::vector<BalancePoint> &points)
{
    QList<QPointF> line;
    line.reserve(qsizetype(points.size()) * 2);
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            line.append(QPointF(double(points[i].time), points[i - 1].balance));
        line.append(QPointF(double(points[i].time), points[i].balance));
    }
    return line;
}

QList<TimeAxisLabel> BalanceChartSeries::timeLabels(qint64 from, qint64 to, int maxLabels)
{
    if (to <= from || maxLabels < 1)
        return {};
    // How many round times of a fixed step fall into from..to.
    const auto fits = [&](qint64 step, qint64 origin = 0) {
        const qint64 first = floorTo(from - 1, step, origin) + step;
        return first > to || (floorTo(to, step, origin) - first) / step + 1 <= maxLabels;
    };
    static const qint64 fixedSteps[] = {Hour,      2 * Hour, 3 * Hour, 6 * Hour,
                                        12 * Hour, Day,      2 * Day};
    for (qint64 step : fixedSteps) {
        if (fits(step))
            return fixedStepLabels(from, to, step, 0);
    }
    if (fits(Week, FirstMonday))
        return fixedStepLabels(from, to, Week, FirstMonday);
    // Months are about 30.4 days; the count is checked on the result.
    for (int months : {1, 3, 6, 12, 24, 60, 120}) {
        QList<TimeAxisLabel> labels = monthLabels(from, to, months);
        if (labels.size() <= maxLabels)
            return labels;
    }
    return {};
}

int BalanceChartSeries::nearestPoint(qint64 time) const
{
    if (m_points.empty())
        return -1;
    const auto after = std::lower_bound(m_points.begin(), m_points.end(), time,
                                        [](const BalancePoint &p, qint64 t) { return p.time < t; });
    if (after == m_points.end())
        return int(m_points.size()) - 1;
    if (after == m_points.begin())
        return 0;
    const auto before = after - 1;
    return int((time - before->time <= after->time - time ? before : after) - m_points.begin());
}

QString BalanceChartSeries::description(const QString &header, const QList<HistoryRow> &rows)
{
    if (rows.isEmpty())
        return QCoreApplication::translate("zelvant::BalanceChartSeries",
                                           "График баланса: %1, история пуста")
            .arg(header);
    const auto byTime = [](const HistoryRow &a, const HistoryRow &b) {
        return a.queryDateTime < b.queryDateTime;
    };
    const auto [first, last] = std::minmax_element(rows.cbegin(), rows.cend(), byTime);
    const auto lowest =
        std::min_element(rows.cbegin(), rows.cend(), [](const HistoryRow &a, const HistoryRow &b) {
            return a.balance < b.balance;
        });
    const QString format = QStringLiteral("dd.MM.yyyy hh:mm");
    return QCoreApplication::translate(
               "zelvant::BalanceChartSeries",
               "График баланса: %1, с %2 по %3; наименьший баланс %4 у.е., последний %5 у.е.")
        .arg(header, first->queryDateTime.toString(format), last->queryDateTime.toString(format),
             QString::number(lowest->balance, 'f', 2), QString::number(last->balance, 'f', 2));
}

QString BalanceChartSeries::pointText(int index) const
{
    if (index < 0 || size_t(index) >= m_points.size())
        return {};
    const BalancePoint &p = m_points[size_t(index)];
    const WallClock when = wallClock(p.time);
    return when.date.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ')
           + when.time.toString(QStringLiteral("hh:mm:ss")) + QLatin1Char('\n')
           + QCoreApplication::translate("zelvant::BalanceChartSeries", "%1 у.е.")
                 .arg(QString::number(p.balance, 'f', 2));
}

} // namespace zelvant
