#include "gui/ReportWindows.h"

#include <QApplication>
#include <QPointer>

#include "core/config/AppContext.h"
#include "core/export/PhonesWorkbook.h"
#include "core/history/BalanceChartSeries.h"
#include "gui/ExportDialogs.h"
#include "gui/HistoryWindow.h"
#include "gui/PhoneHistoryWindow.h"

namespace zelvant {

namespace {
QPointer<HistoryWindow> g_historyWindow;
}

void showHistoryWindowModal(AppContext &context, QWidget *parent)
{
    // Asked again while it is open: bring the open one to the front.
    if (g_historyWindow) {
        g_historyWindow->raise();
        g_historyWindow->activateWindow();
        return;
    }
    HistoryWindow window(context, parent);
    g_historyWindow = &window;
    window.exec();
}

void showPhoneHistory(AppContext &context, int slot, QWidget *parent)
{
    if (slot < 1 || slot > PhoneSlotCount)
        return;
    showHistoryPhoneModal(context.paths.historyFile(), context.phones.numberOf(slot),
                          context.phones.aliasOf(slot),
                          {HistoryRange::LastRequests, PhoneWindowHistoryRows}, parent,
                          BalanceChartSeries::thresholdOf(context.options.values()),
                          spendLimitsOf(context.options.values()));
}

void exportAllPhonesInteractive(AppContext &context, const PhoneResults &results, QWidget *parent)
{
    const ExcelFileAnswer answer = askExcelFile(parent, QString());
    if (!answer.confirmed)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ExportOutcome outcome = exportAllPhones(answer.path, context.phones, results);
    QApplication::restoreOverrideCursor();
    showMessage(parent,
                outcome.status == ExportOutcome::Written ? MessageKind::Information
                                                         : MessageKind::Error,
                outcome.message);
}

} // namespace zelvant
