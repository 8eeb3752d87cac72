#pragma once
// The "График" tab of a phone's history: the balance as a step line, the
// balance threshold as a red dashed line, an unusual spend as a thick orange
// stretch of the line, Russian dates on the time axis. A single reading is
// drawn as a dot, since a line needs two.
// Hovering shows the nearest stored point; the wheel zooms the time axis
// around the mouse, dragging pans, a double click shows everything again.
// Built into the part "chart" (see BalanceChart.h).

#include <QChartView>

#include <optional>

#include "core/SpendState.h"
#include "core/history/BalanceChartSeries.h"
#include "gui/BalanceChart.h"

class QCategoryAxis;
class QGraphicsEllipseItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace zelvant {

class BalanceChartView : public QChartView, public BalanceChart
{
    Q_OBJECT

public:
    explicit BalanceChartView(QWidget *parent = nullptr);

    QWidget *widget() override { return this; }
    void setRows(const QList<HistoryRow> &rows, std::optional<double> threshold,
                 const std::optional<UnusualSpend> &unusual = std::nullopt) override;
    const BalanceChartSeries &data() const override { return m_data; }
    std::pair<qint64, qint64> timeRange() const override { return {m_from, m_to}; }
    void setTimeRange(qint64 from, qint64 to) override;
    void showEverything() override;
    QString hoverText() const override;
    QPoint viewPositionOf(int pointIndex) const override;
    int drawnPointCount() const override;
    QList<QPointF> unusualMarkPoints() const override;
    QList<QPointF> singlePointDot() const override;

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void redraw();
    void updateTimeAxis();
    void showHover(const QPoint &viewPosition);
    void hideHover();
    // The time under a view position, nullopt outside the plot area.
    std::optional<qint64> timeAt(const QPoint &viewPosition) const;

    BalanceChartSeries m_data;
    QChart *m_chart = nullptr;
    QLineSeries *m_balance = nullptr;
    QLineSeries *m_threshold = nullptr;
    QLineSeries *m_unusual = nullptr;
    QScatterSeries *m_single = nullptr;
    QCategoryAxis *m_timeAxis = nullptr;
    QValueAxis *m_valueAxis = nullptr;
    QGraphicsEllipseItem *m_marker = nullptr;
    QGraphicsRectItem *m_hoverBox = nullptr;
    QGraphicsSimpleTextItem *m_hoverLabel = nullptr;
    qint64 m_from = 0;
    qint64 m_to = 1;
    std::optional<int> m_dragStartX;
    std::pair<qint64, qint64> m_dragStartRange;
    int m_drawnWidth = -1;
};

} // namespace zelvant
