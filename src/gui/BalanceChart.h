#pragma once
// The "График" tab of a phone's history as the history window sees it. The
// chart itself (BalanceChartView, on Qt Charts) is the part "chart", opened
// when the tab is first shown, so the program's start loads none of Qt
// Charts and what it pulls in.

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>

#include <optional>
#include <utility>

#include "core/PhoneResult.h"
#include "core/SpendState.h"

class QWidget;

namespace zelvant {

class BalanceChartSeries;

class BalanceChart
{
public:
    virtual ~BalanceChart() = default;

    // The chart's widget: the object itself, owned by its parent.
    virtual QWidget *widget() = 0;

    virtual void setRows(const QList<HistoryRow> &rows, std::optional<double> threshold,
                         const std::optional<UnusualSpend> &unusual = std::nullopt) = 0;
    virtual const BalanceChartSeries &data() const = 0;

    // The shown times, in the wall-clock milliseconds of BalanceChartSeries.
    virtual std::pair<qint64, qint64> timeRange() const = 0;
    virtual void setTimeRange(qint64 from, qint64 to) = 0;
    virtual void showEverything() = 0;

    // What the hover label says, empty while it is hidden.
    virtual QString hoverText() const = 0;
    // Where a stored point is drawn, in the view's coordinates.
    virtual QPoint viewPositionOf(int pointIndex) const = 0;
    // How many points the balance line has at the moment.
    virtual int drawnPointCount() const = 0;
    // The points of the unusual spend's mark and of the single reading's dot.
    virtual QList<QPointF> unusualMarkPoints() const = 0;
    virtual QList<QPointF> singlePointDot() const = 0;

    // A new chart in parent, from the part; null with *error when the part
    // cannot be opened.
    static BalanceChart *create(QWidget *parent, QString *error);
};

// The part's entry point.
using NewBalanceChartFunction = BalanceChart *(*)(QWidget *parent);
inline constexpr char NewBalanceChartSymbol[] = "zelvantNewBalanceChart";

} // namespace zelvant
