#pragma once
// What WorkbookWriter asks of the .xlsx library. The library and this
// interface's implementation live in the part "xlsx" (src/parts/xlsx),
// opened at the first export, so the tray program's start loads none of it.

#include <QByteArray>
#include <QString>

namespace zelvant {

// A chart sheet's line chart of the numbers in one column of the worksheet
// over the labels in another, rows firstRow..lastRow (counted from 1).
struct LineChartSheet
{
    QString sheetName;
    QString title;
    QString categoryAxisTitle;
    QString valueAxisTitle;
    int categoryColumn = 1;
    int valueColumn = 1;
    int firstRow = 2;
    int lastRow = 2;
    // The rows run back in time: the category axis is turned round so that
    // time runs from left to right.
    bool newestFirst = false;
    // The labels are text cells (not numbers).
    bool textCategories = false;
};

class WorkbookBackend
{
public:
    enum class CellStyle { Plain, Bold, DateTime };

    struct Options
    {
        // The rows are written top to bottom, each once: the library keeps
        // only the current row in memory (the chart then has no cached
        // values, which it must not have past 65,535 rows anyway).
        bool rowsInOrder = false;
    };

    virtual ~WorkbookBackend() = default;

    // Rows and columns count from 0. Each returns the reason of a failure,
    // empty on success.
    virtual QString writeString(int row, int column, const QByteArray &utf8, CellStyle style) = 0;
    virtual QString writeNumber(int row, int column, double value, CellStyle style) = 0;
    virtual QString addLineChartSheet(const LineChartSheet &chart) = 0;
    virtual void setColumnWidth(int column, double chars) = 0;
    // Writes the file; the object is of no further use.
    virtual QString close() = 0;
};

// The part's entry point: a new workbook that close() writes into path, or
// null with *error set.
using OpenWorkbookFunction = WorkbookBackend *(*)(const QByteArray &path,
                                                  const WorkbookBackend::Options &options,
                                                  QString *error);
inline constexpr char OpenWorkbookSymbol[] = "zelvantOpenWorkbook";

} // namespace zelvant
