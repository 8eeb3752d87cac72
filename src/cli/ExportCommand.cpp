// --export-history FILE NUMBER [--last N | --days D | --all]: the history
// workbook of one number, without dialogs. An existing FILE is replaced, and
// only once the new workbook is complete.
#include "cli/CommandLine.h"

#include <QDir>

#include <cstdio>

#include "core/export/HistoryWorkbook.h"

namespace zelvant {

int runExportHistoryMode(const CliRequest &request, const AppPaths &paths)
{
    if (request.positional.size() != 2) {
        printTo(stderr,
                QStringLiteral("Zelvant: --export-history FILE NUMBER") + QLatin1Char('\n'));
        return 2;
    }
    const QString file = request.positional.at(0);
    const QString number = request.positional.at(1);
    HistoryRangeChoice choice;
    choice.range = HistoryRange(request.rangeKind);
    choice.count = choice.range == HistoryRange::All ? 0 : request.rangeCount;

    const ExportOutcome outcome = exportHistory(paths.historyFile(), file, number, choice);
    switch (outcome.status) {
    case ExportOutcome::Written:
        // What the window shows in a message box goes to standard error.
        printTo(stderr, outcome.message + QLatin1Char('\n'));
        return 0;
    case ExportOutcome::HistoryFileMissing:
        printTo(stderr, QStringLiteral("Файл истории баланса %1 не найден!")
                                .arg(QDir::toNativeSeparators(paths.historyFile()))
                            + QLatin1Char('\n'));
        return 2;
    case ExportOutcome::NoHistory:
        // Nothing was written, so a script must not take this for success.
        printTo(stderr, outcome.message + QLatin1Char('\n'));
        return 2;
    case ExportOutcome::Failed:
        printTo(stderr, outcome.message + QLatin1Char('\n'));
        return 2;
    }
    return 2;
}

} // namespace zelvant
