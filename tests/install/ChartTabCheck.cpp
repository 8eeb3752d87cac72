// Opens one number's history window on the offscreen platform, shows its
// chart tab and checks that the chart drew the stored balances. Run from a
// folder outside the build (deb_install_test.sh copies it), it finds the
// chart part where the installed program does.
//
//     ZelvantChartTabCheck HISTORY_FILE NUMBER
//
// Exit status 0 when the chart shows every stored row, 1 otherwise.

#include <QApplication>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

#include "core/history/BalanceChartSeries.h"
#include "core/history/HistoryTableModel.h"
#include "gui/BalanceChart.h"
#include "gui/MessageBoxes.h"
#include "gui/PhoneHistoryWindow.h"

using namespace zelvant;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ZelvantChartTabCheck HISTORY_FILE NUMBER\n");
        return 2;
    }
    setMessageHandler([](QWidget *, MessageKind, const QString &text) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        return false;
    });
    PhoneHistoryWindow window(QString::fromLocal8Bit(argv[1]));
    if (!window.loadHistory(QString::fromLocal8Bit(argv[2]), QString(), {HistoryRange::All, 0}))
        return 1;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    window.tabs->setCurrentIndex(1);
    QApplication::processEvents();
    if (!window.balanceChart) {
        std::fprintf(stderr, "the chart tab has no chart: the part did not open\n");
        return 1;
    }
    const int rows = window.model()->rowCount();
    const size_t points = window.balanceChart->data().points().size();
    std::printf("chart tab: %zu points of %d rows, %d drawn\n", points, rows,
                window.balanceChart->drawnPointCount());
    return rows > 0 && points == size_t(rows) && window.balanceChart->drawnPointCount() > 0 ? 0 : 1;
}
