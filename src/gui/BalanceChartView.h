#pragma once
// The "График" tab of a phone's history: the balance as a step line, the
// balance threshold as a red dashed line, an unusual spend as a thick orange
// stretch of the line, Russian dates on the time axis. A single reading is
// drawn as a dot, since a line needs two.
// Hovering shows the nearest stored point; the wheel zooms the time axis
// around the mouse, dragging pans, a double click shows everything again.

#include <QChartView>

#include <optional>

#include "core/SpendState.h"
#include "core/history/BalanceChartSeries.h"

class QCategoryAxis;
class QGraphicsEllipseItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace zelvant {

class BalanceChartView : public QChartView
{
    Q_OBJECT

public:
    explicit BalanceChartView(QWidget *parent = nullptr);

    void setRows(const QList<HistoryRow> &rows, std::optional<double> threshold,
                 const std::optional<UnusualSpend> &unusual = std::nullopt);
    const BalanceChartSeries &data() const { return m_data; }

    // The shown times, in the wall-clock milliseconds of BalanceChartSeries.
    std::pair<qint64, qint64> timeRange() const { return {m_from, m_to}; }
    void setTimeRange(qint64 from, qint64 to);
    void showEverything();

    // What the hover label says, empty while it is hidden.
    QString hoverText() const;
    // Where a stored point is drawn, in the view's coordinates.
    QPoint viewPositionOf(int pointIndex) const;
    // How many points the balance line has at the moment.
    int drawnPointCount() const;
    // The points of the unusual spend's mark and of the single reading's dot.
    QList<QPointF> unusualMarkPoints() const;
    QList<QPointF> singlePointDot() const;

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
