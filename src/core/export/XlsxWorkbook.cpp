// The part "xlsx": WorkbookBackend on libxlsxwriter. Built as its own shared
// library (zelvant-xlsx.so) that the program opens at the first export.

#include <QCoreApplication>
#include <QString>

#include <xlsxwriter.h>

#include "core/export/WorkbookBackend.h"

namespace zelvant {

namespace {

const char DateTimeFormat[] = "dd.mm.yyyy hh:mm:ss";
// The worksheet's name, as charts refer to its cells.
const char WorksheetName[] = "Лист1";
constexpr lxw_color_t ChartLineColor = 0x004080; // the history window's header colour
// The library counts a chart's cached points in 16 bits: past this the
// cache would name too few points, and numbered wrongly.
constexpr int MaxCachedPoints = 65535;

QString lxwErrorText(lxw_error result)
{
    switch (result) {
    case LXW_NO_ERROR:
        return {};
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        return QCoreApplication::translate("zelvant::HistoryWorkbook",
                                           "слишком много строк для одного листа (не более %1)")
            .arg(LXW_ROW_MAX);
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QCoreApplication::translate("zelvant::HistoryWorkbook",
                                           "текст ячейки длиннее 32767 знаков");
    default:
        return QString::fromUtf8(lxw_strerror(result));
    }
}

class XlsxWorkbook final : public WorkbookBackend
{
public:
    XlsxWorkbook(lxw_workbook *workbook, bool rowsInOrder)
        : m_workbook(workbook)
        , m_rowsInOrder(rowsInOrder)
    {
    }
    ~XlsxWorkbook() override
    {
        if (m_workbook)
            lxw_workbook_free(m_workbook);
    }

    QString prepare()
    {
        m_sheet = workbook_add_worksheet(m_workbook, WorksheetName);
        m_bold = workbook_add_format(m_workbook);
        m_dateTime = workbook_add_format(m_workbook);
        if (!m_sheet || !m_bold || !m_dateTime)
            return QCoreApplication::translate("zelvant::HistoryWorkbook",
                                               "не удалось создать лист");
        format_set_bold(m_bold);
        format_set_num_format(m_dateTime, DateTimeFormat);
        return {};
    }

    QString writeString(int row, int column, const QByteArray &utf8, CellStyle style) override
    {
        return lxwErrorText(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column),
                                                   utf8.constData(), format(style)));
    }

    QString writeNumber(int row, int column, double value, CellStyle style) override
    {
        return lxwErrorText(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column),
                                                   value, format(style)));
    }

    void setColumnWidth(int column, double chars) override
    {
        worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column), chars, nullptr);
    }

    QString addLineChartSheet(const LineChartSheet &spec) override;

    QString close() override
    {
        const lxw_error closed = workbook_close(m_workbook);
        m_workbook = nullptr; // closed or not, the library has freed it
        return lxwErrorText(closed);
    }

private:
    lxw_format *format(CellStyle style) const
    {
        switch (style) {
        case CellStyle::Bold:
            return m_bold;
        case CellStyle::DateTime:
            return m_dateTime;
        case CellStyle::Plain:
            break;
        }
        return nullptr;
    }

    lxw_workbook *m_workbook = nullptr;
    bool m_rowsInOrder = false;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_bold = nullptr;
    lxw_format *m_dateTime = nullptr;
};

QString XlsxWorkbook::addLineChartSheet(const LineChartSheet &spec)
{
    const QByteArray sheetName = spec.sheetName.toUtf8();
    lxw_chart *chart = workbook_add_chart(m_workbook, LXW_CHART_LINE);
    lxw_chartsheet *sheet =
        chart ? workbook_add_chartsheet(m_workbook, sheetName.constData()) : nullptr;
    lxw_chart_series *series = sheet ? chart_add_series(chart, nullptr, nullptr) : nullptr;
    if (!series)
        return QCoreApplication::translate("zelvant::HistoryWorkbook",
                                           "не удалось создать лист \"%1\"")
            .arg(spec.sheetName);
    const auto row = [](int r) { return lxw_row_t(r - 1); };
    const auto column = [](int c) { return lxw_col_t(c - 1); };
    chart_series_set_categories(series, WorksheetName, row(spec.firstRow),
                                column(spec.categoryColumn), row(spec.lastRow),
                                column(spec.categoryColumn));
    chart_series_set_values(series, WorksheetName, row(spec.firstRow), column(spec.valueColumn),
                            row(spec.lastRow), column(spec.valueColumn));
    // Readers draw the chart from the cell references; the cached copy of
    // the values is only a convenience, left out where the library cannot
    // make it right: past 65,535 points, and when the rows were streamed
    // (the library no longer has them). Without the cache it cannot tell
    // text labels from numbers, so it is told.
    if (m_rowsInOrder || spec.lastRow - spec.firstRow + 1 > MaxCachedPoints) {
        series->categories->ignore_cache = LXW_TRUE;
        series->values->ignore_cache = LXW_TRUE;
        series->categories->has_string_cache = spec.textCategories;
    }
    chart_series_set_name_range(series, WorksheetName, 0, column(spec.valueColumn));
    lxw_chart_line line = {};
    line.color = ChartLineColor;
    line.width = 1.5;
    chart_series_set_line(series, &line);
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    chart_title_set_name(chart, spec.title.toUtf8().constData());
    chart_axis_set_name(chart->x_axis, spec.categoryAxisTitle.toUtf8().constData());
    chart_axis_set_name(chart->y_axis, spec.valueAxisTitle.toUtf8().constData());
    // Upright labels: slanted ones are thinned out to a few by LibreOffice
    // when most categories have none (a date names only a day's first row).
    lxw_chart_font labels = {};
    labels.rotation = -90;
    chart_axis_set_num_font(chart->x_axis, &labels);
    if (spec.newestFirst) {
        chart_axis_set_reverse(chart->x_axis);
        // Keeps the value axis on the left of the turned axis.
        chart_axis_set_crossing_max(chart->x_axis);
    }
    const lxw_error placed = chartsheet_set_chart(sheet, chart);
    if (placed != LXW_NO_ERROR)
        return lxwErrorText(placed);
    // Printed across the page, as charts are read.
    chartsheet_set_landscape(sheet);
    return {};
}

} // namespace

} // namespace zelvant

extern "C" Q_DECL_EXPORT zelvant::WorkbookBackend *
zelvantOpenWorkbook(const QByteArray &path, const zelvant::WorkbookBackend::Options &options,
                    QString *error)
{
    lxw_workbook_options lxwOptions = {};
    lxwOptions.constant_memory = options.rowsInOrder ? LXW_TRUE : LXW_FALSE;
    lxw_workbook *workbook = workbook_new_opt(path.constData(), &lxwOptions);
    if (!workbook) {
        *error =
            QCoreApplication::translate("zelvant::HistoryWorkbook", "не удалось создать книгу");
        return nullptr;
    }
    auto *backend = new zelvant::XlsxWorkbook(workbook, options.rowsInOrder);
    *error = backend->prepare();
    if (!error->isEmpty()) {
        delete backend;
        return nullptr;
    }
    return backend;
}
