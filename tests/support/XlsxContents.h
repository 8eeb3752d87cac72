#pragma once
// Reads back the first sheet of an .xlsx workbook (a zip of XML parts,
// unpacked with the "unzip" tool): cell values with their types and styles,
// and the column widths.

#include <QByteArray>
#include <QMap>
#include <QString>

namespace zelvant::test {

struct XlsxCell
{
    enum Type { Number, SharedString, InlineString, Other };
    Type type = Other;
    QString text;         // the number as written, or the resolved string
    int style = 0;        // index into the cell formats
    bool bold = false;    // the cell format's font is bold
    QString numberFormat; // the format code of a custom number format
    double number() const { return text.toDouble(); }
};

struct XlsxContents
{
    bool ok = false;
    QString error;
    QMap<QString, XlsxCell> cells;  // by reference, "A1"
    QMap<int, double> columnWidths; // by column, from 1
    int lastRow = 0;                // highest row that holds a cell

    bool has(const QString &ref) const { return cells.contains(ref); }
    XlsxCell cell(const QString &ref) const { return cells.value(ref); }
};

XlsxContents ReadXlsx(const QString &path);

// One part of the workbook as stored, such as "xl/workbook.xml"; empty with
// *error set when it cannot be read.
QByteArray ReadXlsxPart(const QString &path, const QString &part, QString *error);

// "A1" style reference of a 1-based row and column.
QString CellRef(int row, int column);

} // namespace zelvant::test
