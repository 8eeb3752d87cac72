#include "gui/ReportsApi.h"

#include <QApplication>
#include <QPointer>

#include "core/config/AppContext.h"
#include "gui/HistoryWindow.h"
#include "gui/PhoneHistoryWindow.h"
#include "gui/ExportDialogs.h"
#include "core/export/PhonesWorkbook.h"

namespace zelvant {

namespace {
QPointer<TfrmHistory> g_historyWindow;
}

void ShowHistoryWindowModal(AppContext &context, QWidget *parent)
{
    // Asked again while it is open: bring the open one to the front.
    if (g_historyWindow) {
        g_historyWindow->raise();
        g_historyWindow->activateWindow();
        return;
    }
    TfrmHistory window(context, parent);
    g_historyWindow = &window;
    window.exec();
}

void ShowPhoneHistory(AppContext &context, int slot, QWidget *parent)
{
    if (slot < 1 || slot > PhoneSlotCount)
        return;
    ShowHistoryPhoneModal(context.paths.historyFile(), context.phones.NumberOf(slot),
                          context.phones.AliasOf(slot),
                          {HistoryRange::LastRequests, PhoneWindowHistoryRows}, parent);
}

void ExportAllPhonesInteractive(AppContext &context, QWidget *parent)
{
    const ExcelFileAnswer answer = AskExcelFile(parent, QString());
    if (!answer.confirmed)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ExportOutcome outcome = ExportAllPhones(answer.path, context.phones, context.results);
    QApplication::restoreOverrideCursor();
    ShowMessage(parent,
                      outcome.status == ExportOutcome::Written ? MessageKind::Information
                                                               : MessageKind::Error,
                      outcome.message);
}

} // namespace zelvant
