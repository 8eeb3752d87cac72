// The "График" tab of a phone's history window: it follows the table's rows
// and the threshold setting, names the hovered point, and zooms, pans and
// resets its time axis with the mouse.

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>

#include "core/config/Settings.h"
#include <memory>

#include "core/history/BalanceChartSeries.h"
#include "gui/BalanceChart.h"
#include "gui/PhoneHistoryWindow.h"
#include "support/HistoryFixture.h"
#include "support/QStringPrinter.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

QDateTime at(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::LocalTime);
}

HistoryRow row(const QDateTime &time, double balance)
{
    return MakeHistoryRow(QStringLiteral("9161234567"), time, balance);
}

void mouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton,
           Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

QLineSeries *seriesNamed(BalanceChart *view, const QString &name)
{
    const auto all = qobject_cast<QChartView *>(view->widget())->chart()->series();
    const auto found =
        std::find_if(all.begin(), all.end(), [&](QAbstractSeries *s) { return s->name() == name; });
    return found == all.end() ? nullptr : qobject_cast<QLineSeries *>(*found);
}

} // namespace

TEST(BalanceChartTab, FollowsTheTableAndThresholdNamesTheHoveredPointZoomsAndPans)
{
    TempFolder dir;
    const QString history = dir.file(QStringLiteral("Zelvant.mdb"));
    QList<HistoryRow> rows; // a month, twice a day, a top-up on 1 December
    for (int day = 1; day <= 30; ++day)
        rows << row(at(11, day, 6), 101 - day) << row(at(11, day, 12), 100 - day);
    rows << row(at(12, 1, 9), 3.25) << row(at(12, 1, 17, 30), 103.25) << row(at(12, 2, 9), 99);
    ASSERT_TRUE(WriteHistoryRows(history, rows));
    Options options;
    options.edBalanceLessThen = QStringLiteral("5");
    PhoneHistoryWindow window(history);
    window.setBalanceThreshold(BalanceChartSeries::thresholdOf(options));
    ASSERT_TRUE(
        window.loadHistory(QStringLiteral("9161234567"), QString(), {HistoryRange::All, 0}));

    // The table stays the first tab and is what the window opens with.
    ASSERT_EQ(window.tabs->count(), 2);
    EXPECT_EQ(window.tabs->tabText(0), QStringLiteral("Таблица"));
    EXPECT_EQ(window.tabs->tabText(1), QStringLiteral("График"));
    EXPECT_EQ(window.tabs->currentIndex(), 0);
    window.resize(800, 450);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.tabs->setCurrentIndex(1);
    QApplication::processEvents();

    BalanceChart *chart = window.balanceChart;
    ASSERT_NE(chart, nullptr); // the chart part was found and opened
    QWidget *viewport = qobject_cast<QChartView *>(chart->widget())->viewport();
    ASSERT_EQ(chart->data().points().size(), size_t(rows.size()));
    QLineSeries *threshold = seriesNamed(chart, QStringLiteral("Баланс меньше 5.00"));
    ASSERT_NE(threshold, nullptr);
    EXPECT_TRUE(threshold->isVisible());
    EXPECT_EQ(threshold->at(0).y(), 5);

    // The top-up: the point where the step goes up.
    const int topUp = 61;
    mouse(viewport, QEvent::MouseMove, chart->viewPositionOf(topUp) + QPoint(2, 0));
    EXPECT_EQ(chart->hoverText(), QStringLiteral("01.12.2026 17:30:00\n103.25 у.е."));
    mouse(viewport, QEvent::MouseMove, QPoint(1, 1)); // outside the plot
    EXPECT_EQ(chart->hoverText(), QString());

    // The wheel zooms around the mouse: the point under it stays put.
    const int known = 21; // 11.11.2026 12:00
    const QPoint point = chart->viewPositionOf(known);
    const auto full = chart->timeRange();
    QWheelEvent wheel(point, viewport->mapToGlobal(point), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    const auto zoomed = chart->timeRange();
    EXPECT_NEAR(double(zoomed.second - zoomed.first), 0.8 * double(full.second - full.first), 1000);
    EXPECT_NEAR(chart->viewPositionOf(known).x(), point.x(), 1);

    // Dragging to the right shows earlier times; a double click shows all.
    mouse(viewport, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton);
    mouse(viewport, QEvent::MouseMove, point + QPoint(60, 0), Qt::NoButton, Qt::LeftButton);
    mouse(viewport, QEvent::MouseButtonRelease, point + QPoint(60, 0), Qt::LeftButton);
    EXPECT_EQ(chart->timeRange().second - chart->timeRange().first, zoomed.second - zoomed.first);
    EXPECT_NEAR(chart->viewPositionOf(known).x(), point.x() + 60, 1);
    mouse(viewport, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(chart->timeRange(), full);

    // Marking off: no threshold line.
    options.cbMarkIfBalance = false;
    window.setBalanceThreshold(BalanceChartSeries::thresholdOf(options));
    EXPECT_FALSE(threshold->isVisible());
}

TEST(BalanceChartTab, ASingleReadingIsADotAndAnUnusualFallIsMarked)
{
    QString error;
    BalanceChart *view = BalanceChart::create(nullptr, &error);
    ASSERT_NE(view, nullptr) << error.toStdString();
    const std::unique_ptr<QWidget> owner(view->widget());
    view->setRows({row(at(12, 5, 10), 50)}, std::nullopt);
    const qint64 ten = BalanceChartSeries::wallClockMsecs(at(12, 5, 10));
    EXPECT_EQ(view->singlePointDot(), QList<QPointF>{QPointF(double(ten), 50)});
    EXPECT_TRUE(view->unusualMarkPoints().isEmpty());

    // Newest first: the fall from 455 at 10:00 to 335 at 12:00 is marked.
    const QList<HistoryRow> rows = {row(at(12, 5, 12), 335), row(at(12, 5, 10), 455),
                                    row(at(12, 4, 10), 460)};
    view->setRows(rows, std::nullopt, UnusualSpend{at(12, 5, 10), 120, 120});
    EXPECT_TRUE(view->singlePointDot().isEmpty());
    const QList<QPointF> mark = view->unusualMarkPoints();
    ASSERT_GE(mark.size(), 2);
    EXPECT_EQ(mark.first(), QPointF(double(ten), 455));
    EXPECT_EQ(mark.last().y(), 335);
    view->setRows(rows, std::nullopt);
    EXPECT_TRUE(view->unusualMarkPoints().isEmpty());
}
