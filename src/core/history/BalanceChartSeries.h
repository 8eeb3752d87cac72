#pragma once
// The balance curve of one phone's history as the chart draws it: the rows
// in time order, the part of them worth drawing at a given width, the time
// axis labels, the threshold line and the text shown for a hovered point.
// Times are the stored local wall-clock times counted in milliseconds as if
// they were UTC, so that labels and hover texts read exactly as the table
// does, whatever the time zone.

#include <QList>
#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

#include "core/PhoneResult.h"

namespace zelvant {

struct Options;

struct BalancePoint
{
    qint64 time = 0; // wall-clock milliseconds, see above
    double balance = 0;
    bool operator==(const BalancePoint &) const = default;
};

struct TimeAxisLabel
{
    qint64 time = 0;
    QString text;
    bool operator==(const TimeAxisLabel &) const = default;
};

class BalanceChartSeries
{
public:
    // The threshold line the phones window's balance marking stands for:
    // "Баланс меньше" when its marking is on, else none.
    static std::optional<double> thresholdOf(const Options &options);

    // Rows in any order (the history query gives them newest first).
    void setRows(const QList<HistoryRow> &rows);
    void setThreshold(std::optional<double> threshold) { m_threshold = threshold; }

    const std::vector<BalancePoint> &points() const { return m_points; }
    bool isEmpty() const { return m_points.empty(); }
    std::optional<double> threshold() const { return m_threshold; }

    // The whole history with a little room on both sides, never empty.
    std::pair<qint64, qint64> fullTimeRange() const;
    // Every balance and the threshold, with some room above and below.
    std::pair<double, double> valueRange() const;

    // The points to draw for the times from..to split into `columns` pixel
    // columns: of each column its lowest and highest point and its last one
    // (the level the line carries into the next column), in time order,
    // plus the nearest point outside each end so the line reaches the edges.
    std::vector<BalancePoint> decimated(qint64 from, qint64 to, int columns) const;

    // The polyline of a step chart through points: each balance holds until
    // the next point, where the line goes straight up or down.
    static QList<QPointF> stepLine(const std::vector<BalancePoint> &points);

    // Labels at round times (hours, days, weeks or months) between from and
    // to, at most maxLabels of them, in Russian.
    static QList<TimeAxisLabel> timeLabels(qint64 from, qint64 to, int maxLabels);

    // The point nearest in time to `time`, -1 when there is none.
    int nearestPoint(qint64 time) const;
    // "dd.MM.yyyy hh:mm:ss" and the balance in у.е., on two lines.
    QString pointText(int index) const;

    static qint64 wallClockMsecs(const QDateTime &time);
    // What the chart shows, for a screen reader that cannot read the picture:
    // whose balance (header, e.g. "Телефон 9161234567"), the first and last
    // time, the lowest and the latest balance.
    static QString description(const QString &header, const QList<HistoryRow> &rows);

private:
    std::vector<BalancePoint> m_points; // in time order
    std::optional<double> m_threshold;
};

} // namespace zelvant
