// One phone with ROWS history rows (100,000 by default, one every five
// minutes) in a history database among another phone's rows; times
//  - opening the one-phone history window on the whole history until the
//    grid has been painted,
//  - switching that window to its "График" tab until the chart has been
//    painted (the rows are in memory by then, as they are for the user),
//  - the history export from the database (query included),
//  - the workbook writing alone, from rows already read (to compare with
//    MinimalXlsx, which writes the same cells with libxlsxwriter alone).
// Usage: ReportsBench [ROWS]   (runs on the offscreen platform by default)

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/export/HistoryWorkbook.h"
#include "core/history/BalanceChartSeries.h"
#include "core/history/HistoryStore.h"
#include "core/history/HistoryTableModel.h"
#include "gui/BalanceChart.h"
#include "gui/ExportDialogs.h"
#include "gui/PhoneHistoryWindow.h"

using namespace zelvant;

namespace {

const QString Number = QStringLiteral("9031234567");

bool fillDatabase(const QString &path, long rows)
{
    if (!initHistory(path))
        return false;
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        ok = db.open();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, "
            "Recomend, SMS, Minutes, USDRate) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        // The same values as MinimalXlsx writes, oldest first so that the
        // newest row has the highest NN; another phone's rows interleaved.
        const QDateTime newest(QDate(2024, 6, 1), QTime(12, 0), QTimeZone::utc());
        for (long i = rows - 1; ok && i >= 0; --i) {
            const QDateTime t = newest.addSecs(-300 * i);
            for (const QString &number : {Number, QStringLiteral("9039999999")}) {
                q.addBindValue(number);
                q.addBindValue(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                q.addBindValue(std::round((100.0 - i * 0.01) * 100) / 100);
                q.addBindValue(3.45);
                q.addBindValue(int(i % 30));
                q.addBindValue(i % 7 != 0 ? 12.5 : 0.0);
                q.addBindValue(int(i % 5 != 0 ? i % 100 : 0));
                q.addBindValue(int(i % 3 != 0 ? i % 600 : 0));
                q.addBindValue(28.1234);
                ok = q.exec();
            }
        }
        ok = db.commit() && ok;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int repeats = 5;

    QTemporaryDir dir;
    const QString history = dir.filePath(QStringLiteral("Zelvant.mdb"));
    QElapsedTimer timer;
    timer.start();
    if (!fillDatabase(history, rows)) {
        std::fprintf(stderr, "cannot build the database\n");
        return 1;
    }
    std::printf("database of 2 x %ld rows built in %lld ms\n", rows, timer.elapsed());
    setMessageHandler([](QWidget *, MessageKind, const QString &text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    });

    QList<double> open, chartTab, exportAll, writeOnly, query;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        timer.start();
        {
            PhoneHistoryWindow window(history);
            window.loadHistory(Number, QStringLiteral("Bench"), {HistoryRange::All, 0});
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                std::fprintf(stderr, "window not exposed\n");
            window.sgHistory->viewport()->repaint();
            QApplication::processEvents();
            open << timer.nsecsElapsed() / 1e6;
            if (window.model()->rowCount() != rows)
                std::fprintf(stderr, "grid has %d rows\n", window.model()->rowCount());

            timer.start();
            window.tabs->setCurrentIndex(1);
            if (!window.balanceChart) {
                std::fprintf(stderr, "the chart part did not open\n");
                return 1;
            }
            window.balanceChart->widget()->repaint();
            QApplication::processEvents();
            chartTab << timer.nsecsElapsed() / 1e6;
            if (window.balanceChart->data().points().size() != size_t(rows))
                std::fprintf(stderr, "chart has %zu points\n",
                             window.balanceChart->data().points().size());
            if (repeat == 0)
                std::printf("chart draws %d line points for %ld rows\n",
                            window.balanceChart->drawnPointCount(), rows);
        }

        const QString out = dir.filePath(QStringLiteral("export.xlsx"));
        timer.start();
        const ExportOutcome outcome = exportHistory(history, out, Number, {HistoryRange::All, 0});
        exportAll << timer.nsecsElapsed() / 1e6;
        if (outcome.status != ExportOutcome::Written)
            std::fprintf(stderr, "export: %s\n", qPrintable(outcome.message));

        timer.start();
        const HistoryQueryResult read = queryHistory(history, Number, {HistoryRange::All, 0});
        query << timer.nsecsElapsed() / 1e6;
        timer.start();
        QString error;
        if (!writeHistoryWorkbook(out, read.rows, &error))
            std::fprintf(stderr, "write: %s\n", qPrintable(error));
        writeOnly << timer.nsecsElapsed() / 1e6;
        std::printf("run %d: open %.0f ms, chart tab %.0f ms, export %.0f ms, query only %.0f ms, "
                    "workbook only %.0f ms\n",
                    repeat + 1, open.last(), chartTab.last(), exportAll.last(), query.last(),
                    writeOnly.last());
    }
    std::printf("median of %d, %ld rows: history window open %.0f ms (goal < 500), "
                "its chart tab %.0f ms (goal < 300), "
                "history export %.0f ms (goal < 2000), of which the query %.0f ms; workbook "
                "writing alone %.0f ms (best %.0f ms)\n",
                repeats, rows, median(open), median(chartTab), median(exportAll), median(query),
                median(writeOnly), *std::min_element(writeOnly.begin(), writeOnly.end()));
    return 0;
}
