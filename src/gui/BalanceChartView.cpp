#include "gui/BalanceChartView.h"

#include <QCategoryAxis>
#include <QGraphicsEllipseItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QValueAxis>
#include <QWheelEvent>

#include <cmath>

namespace zelvant {

namespace {

const QColor BalanceColor(0x00, 0x40, 0x80);
const QColor UnusualColor(0xFF, 0x8C, 0x00);
const QColor ThresholdColor(0xFF, 0x00, 0x00); // the phones window's mark colour
constexpr qint64 MinimumSpan = 10 * 60 * 1000; // ten minutes
constexpr int LabelSpacing = 70;               // pixels per time label at least
constexpr double WheelStep = 0.8;              // span factor per wheel notch

} // namespace

// The chart is handed over at construction: one set later would leave the
// view's own default chart to nobody.
BalanceChartView::BalanceChartView(QWidget *parent)
    : QChartView(new QChart, parent)
{
    m_chart = chart();
    setObjectName(QStringLiteral("balanceChart"));
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    setDragMode(QGraphicsView::NoDrag);
    setRubberBand(QChartView::NoRubberBand);

    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_chart->legend()->setAlignment(Qt::AlignBottom);

    m_balance = new QLineSeries(m_chart);
    m_balance->setName(tr("Баланс"));
    m_balance->setPen(QPen(BalanceColor, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    m_threshold = new QLineSeries(m_chart);
    m_threshold->setPen(QPen(ThresholdColor, 1.5, Qt::DashLine));
    m_unusual = new QLineSeries(m_chart);
    m_unusual->setName(tr("Необычный расход"));
    m_unusual->setPen(QPen(UnusualColor, 4, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    m_single = new QScatterSeries(m_chart);
    m_single->setColor(BalanceColor);
    m_single->setBorderColor(BalanceColor);
    m_single->setMarkerSize(8);
    m_chart->addSeries(m_balance);
    m_chart->addSeries(m_threshold);
    m_chart->addSeries(m_unusual);
    m_chart->addSeries(m_single);

    m_timeAxis = new QCategoryAxis(m_chart);
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_valueAxis = new QValueAxis(m_chart);
    m_valueAxis->setTitleText(tr("Баланс, у.е."));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    for (QXYSeries *series :
         std::initializer_list<QXYSeries *>{m_balance, m_threshold, m_unusual, m_single}) {
        series->attachAxis(m_timeAxis);
        series->attachAxis(m_valueAxis);
    }
    // One pixel column per column of points: a wider or narrower plot (the
    // window resized, the axis labels changed) needs its points chosen anew.
    // Queued, as the plot area changes while the chart lays itself out.
    connect(
        m_chart, &QChart::plotAreaChanged, this,
        [this](const QRectF &plotArea) {
            if (int(std::ceil(plotArea.width())) != m_drawnWidth)
                redraw();
        },
        Qt::QueuedConnection);

    m_marker = new QGraphicsEllipseItem(-4, -4, 8, 8, m_chart);
    m_marker->setBrush(BalanceColor);
    m_marker->setPen(QPen(Qt::white, 1));
    m_marker->setZValue(10);
    m_hoverBox = new QGraphicsRectItem(m_chart);
    m_hoverBox->setBrush(QColor(0xFF, 0xFF, 0xE1)); // the tip colour of the phones window
    m_hoverBox->setPen(QPen(Qt::gray));
    m_hoverBox->setZValue(11);
    m_hoverLabel = new QGraphicsSimpleTextItem(m_hoverBox);
    hideHover();

    setRows({}, std::nullopt);
}

void BalanceChartView::setRows(const QList<HistoryRow> &rows, std::optional<double> threshold,
                               const std::optional<UnusualSpend> &unusual)
{
    m_data.setRows(rows);
    // The stretch of the line from the reading the unusual spend is counted
    // from to the newest one; within the rows shown only.
    QList<QPointF> mark;
    if (unusual) {
        const qint64 since = BalanceChartSeries::wallClockMsecs(unusual->since);
        std::vector<BalancePoint> points;
        for (const BalancePoint &p : m_data.points()) {
            if (p.time >= since)
                points.push_back(p);
        }
        if (points.size() >= 2)
            mark = BalanceChartSeries::stepLine(points);
    }
    m_unusual->replace(mark);
    m_unusual->setVisible(!mark.isEmpty());
    for (QLegendMarker *marker : m_chart->legend()->markers(m_unusual))
        marker->setVisible(!mark.isEmpty());
    if (unusual && !mark.isEmpty()) {
        m_unusual->setName(tr("Необычный расход: %1 у.е. с %2")
                               .arg(QString::asprintf("%.2f", unusual->spent),
                                    unusual->since.toString(QStringLiteral("dd.MM HH:mm"))));
    }
    QList<QPointF> dot;
    if (m_data.points().size() == 1)
        dot << QPointF(double(m_data.points().front().time), m_data.points().front().balance);
    m_single->replace(dot);
    m_single->setVisible(!dot.isEmpty());
    // The dot stands in for the line: no legend entry of its own.
    for (QLegendMarker *marker : m_chart->legend()->markers(m_single))
        marker->setVisible(false);
    m_data.setThreshold(threshold);
    m_threshold->setVisible(threshold.has_value());
    if (threshold)
        m_threshold->setName(tr("Баланс меньше %1").arg(*threshold, 0, 'f', 2));
    // Legend markers follow the series' visibility only when asked.
    const auto markers = m_chart->legend()->markers(m_threshold);
    for (QLegendMarker *marker : markers)
        marker->setVisible(threshold.has_value());
    const auto [low, high] = m_data.valueRange();
    m_valueAxis->setRange(low, high);
    m_valueAxis->applyNiceNumbers();
    // Whole numbers on the axis when its steps are whole.
    const double step = (m_valueAxis->max() - m_valueAxis->min()) / (m_valueAxis->tickCount() - 1);
    m_valueAxis->setLabelFormat(step >= 1 && std::floor(step) == step ? QStringLiteral("%.0f")
                                                                      : QStringLiteral("%.2f"));
    showEverything();
}

void BalanceChartView::showEverything()
{
    const auto [from, to] = m_data.fullTimeRange();
    setTimeRange(from, to);
}

void BalanceChartView::setTimeRange(qint64 from, qint64 to)
{
    const auto [first, last] = m_data.fullTimeRange();
    qint64 span = std::clamp(to - from, std::min(MinimumSpan, last - first), last - first);
    from = std::clamp(from, first, last - span);
    m_from = from;
    m_to = from + span;
    hideHover();
    redraw();
}

void BalanceChartView::redraw()
{
    const int width = std::max(1, int(std::ceil(m_chart->plotArea().width())));
    m_drawnWidth = width;
    m_timeAxis->setRange(double(m_from), double(m_to));
    m_balance->replace(BalanceChartSeries::stepLine(m_data.decimated(m_from, m_to, width)));
    if (const auto threshold = m_data.threshold()) {
        m_threshold->replace(
            {QPointF(double(m_from), *threshold), QPointF(double(m_to), *threshold)});
    }
    updateTimeAxis();
}

void BalanceChartView::updateTimeAxis()
{
    const QStringList old = m_timeAxis->categoriesLabels();
    for (const QString &label : old)
        m_timeAxis->remove(label);
    const int maxLabels = std::max(2, m_drawnWidth / LabelSpacing);
    // The axis wants each label once; a repeated hour ("12:00" of two days)
    // gets invisible zero-width spaces to tell it apart.
    QSet<QString> used;
    for (const TimeAxisLabel &label : BalanceChartSeries::timeLabels(m_from, m_to, maxLabels)) {
        QString text = label.text;
        while (used.contains(text))
            text += QChar(0x200B);
        used.insert(text);
        m_timeAxis->append(text, double(label.time));
    }
    m_timeAxis->setStartValue(double(m_from));
    m_timeAxis->setRange(double(m_from), double(m_to));
}

std::optional<qint64> BalanceChartView::timeAt(const QPoint &viewPosition) const
{
    const QPointF chartPosition = m_chart->mapFromScene(mapToScene(viewPosition));
    if (!m_chart->plotArea().contains(chartPosition))
        return std::nullopt;
    return qint64(std::llround(m_chart->mapToValue(chartPosition, m_balance).x()));
}

void BalanceChartView::wheelEvent(QWheelEvent *event)
{
    const std::optional<qint64> anchor = timeAt(event->position().toPoint());
    if (!anchor || event->angleDelta().y() == 0) {
        QChartView::wheelEvent(event);
        return;
    }
    const double factor = std::pow(WheelStep, event->angleDelta().y() / 120.0);
    const qint64 from = *anchor - qint64(double(*anchor - m_from) * factor);
    const qint64 to = *anchor + qint64(double(m_to - *anchor) * factor);
    setTimeRange(from, to);
    event->accept();
}

void BalanceChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && timeAt(event->position().toPoint())) {
        m_dragStartX = int(event->position().x());
        m_dragStartRange = {m_from, m_to};
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void BalanceChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragStartX && (event->buttons() & Qt::LeftButton)) {
        const double perPixel =
            double(m_dragStartRange.second - m_dragStartRange.first) / m_chart->plotArea().width();
        const qint64 shift = qint64((*m_dragStartX - event->position().x()) * perPixel);
        setTimeRange(m_dragStartRange.first + shift, m_dragStartRange.second + shift);
        event->accept();
        return;
    }
    showHover(event->position().toPoint());
    QChartView::mouseMoveEvent(event);
}

void BalanceChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragStartX && event->button() == Qt::LeftButton) {
        m_dragStartX.reset();
        unsetCursor();
        showHover(event->position().toPoint());
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void BalanceChartView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        showEverything();
        event->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}

void BalanceChartView::leaveEvent(QEvent *event)
{
    hideHover();
    QChartView::leaveEvent(event);
}

void BalanceChartView::showHover(const QPoint &viewPosition)
{
    const std::optional<qint64> time = timeAt(viewPosition);
    const int index = time ? m_data.nearestPoint(*time) : -1;
    if (index < 0) {
        hideHover();
        return;
    }
    const BalancePoint &point = m_data.points()[size_t(index)];
    const QPointF at =
        m_chart->mapToPosition(QPointF(double(point.time), point.balance), m_balance);
    if (!m_chart->plotArea().contains(at)) {
        hideHover();
        return;
    }
    m_marker->setPos(at);
    m_marker->show();
    m_hoverLabel->setText(m_data.pointText(index));
    const QRectF text = m_hoverLabel->boundingRect();
    m_hoverLabel->setPos(4, 2);
    m_hoverBox->setRect(0, 0, text.width() + 8, text.height() + 4);
    // Beside the point, turned inwards near the edges of the plot.
    const QRectF plot = m_chart->plotArea();
    QPointF box = at + QPointF(10, -text.height() - 14);
    if (box.x() + m_hoverBox->rect().width() > plot.right())
        box.setX(at.x() - 10 - m_hoverBox->rect().width());
    if (box.y() < plot.top())
        box.setY(at.y() + 10);
    m_hoverBox->setPos(box);
    m_hoverBox->show();
}

void BalanceChartView::hideHover()
{
    m_marker->hide();
    m_hoverBox->hide();
    m_hoverLabel->setText(QString());
}

QString BalanceChartView::hoverText() const
{
    return m_hoverBox->isVisible() ? m_hoverLabel->text() : QString();
}

QPoint BalanceChartView::viewPositionOf(int pointIndex) const
{
    if (pointIndex < 0 || size_t(pointIndex) >= m_data.points().size())
        return {};
    const BalancePoint &point = m_data.points()[size_t(pointIndex)];
    const QPointF at =
        m_chart->mapToPosition(QPointF(double(point.time), point.balance), m_balance);
    return mapFromScene(m_chart->mapToScene(at));
}

int BalanceChartView::drawnPointCount() const
{
    return int(m_balance->count());
}

QList<QPointF> BalanceChartView::unusualMarkPoints() const
{
    return m_unusual->isVisible() ? m_unusual->points() : QList<QPointF>();
}

QList<QPointF> BalanceChartView::singlePointDot() const
{
    return m_single->isVisible() ? m_single->points() : QList<QPointF>();
}

} // namespace zelvant

extern "C" Q_DECL_EXPORT zelvant::BalanceChart *zelvantNewBalanceChart(QWidget *parent)
{
    return new zelvant::BalanceChartView(parent);
}
