#pragma once
// The spreadsheet exports: an .xlsx workbook of one worksheet written cell by
// cell (bold title row, fitted column widths, replaced atomically on
// success), optionally followed by a chart sheet, and the history export of
// one phone built on it (its balance charted on the second sheet).

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVector>

#include <memory>

#include "core/PhoneResult.h"
#include "core/history/HistoryRange.h"

#include "core/Rounding.h"
#include "core/export/WorkbookBackend.h"

namespace zelvant {

inline const QString HistoryExportDoneText =
    QStringLiteral("История успешно конвертирована в Excel");

// Excel's serial date-time number (days since 30.12.1899, the fraction is
// the time of day) of a local date and time.
double excelDateTime(const QDateTime &dateTime);

// One worksheet written into path. Cells that are never written stay empty.
// The first failure is remembered; later writes are ignored, and finish()
// then reports it without touching path. Rows and columns count from 1, row
// 1 being the title row.
class WorkbookWriter
{
public:
    WorkbookWriter(const QString &path, int columns, const WorkbookBackend::Options &options = {});
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter &) = delete;
    WorkbookWriter &operator=(const WorkbookWriter &) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    void writeTitles(const QStringList &titles); // bold, in row 1
    void writeText(int row, int column, const QString &text);
    void writeNumber(int row, int column, double value);
    // A date-time number shown as "dd.mm.yyyy hh:mm:ss"; an invalid value is
    // written as 0, the origin of the date-time numbers.
    void writeDateTime(int row, int column, const QDateTime &value);
    // A sheet after the worksheet that holds nothing but the chart.
    void addLineChartSheet(const LineChartSheet &chart);

    // Fits the columns, writes the workbook and puts it in place of path.
    // On failure path is left as it was and *error says why.
    bool finish(QString *error);

private:
    struct Private;
    void fail(const QString &reason);
    void writeResult(int row, int column, const QString &failure);
    void widen(int column, double chars);

    std::unique_ptr<Private> d;
    QString m_path;
    QString m_error;
    QVector<double> m_widths; // in characters, per column
};

// The message of a failed write of path.
QString writeFailedText(const QString &path, const QString &reason);

// The result of an export: Written, or why not, with the text to show.
struct ExportOutcome
{
    enum Status { Written, NoHistory, HistoryFileMissing, Failed };
    Status status = Failed;
    QString message;
};

// Writes the history workbook of rows (newest first) into path.
bool writeHistoryWorkbook(const QString &path, const QList<HistoryRow> &rows, QString *error);

// Reads number's history in the chosen range from historyFile and writes it
// into path. Nothing is written when there is no history or no history file.
ExportOutcome exportHistory(const QString &historyFile, const QString &path, const QString &number,
                            const HistoryRangeChoice &choice);

// The file question's texts and checks. A chosen name without the ".xlsx"
// extension gets it, so the workbook always opens as one.
QString withXlsxSuffix(const QString &path);
QString overwriteQuestionText(const QString &path);
QString cannotOverwriteText(const QString &path);
// Whether an existing file at path may be replaced: a plain file that can be
// opened for writing (not locked by another program, not read-only) in a
// folder that takes new files.
bool canOverwrite(const QString &path);

// The suggested file name of a phone's history workbook.
QString historyExportFileName(const QString &number, const QString &alias);

} // namespace zelvant
