#pragma once
// The content of the phones balance window as a plain model: which columns
// are shown, which slot each row holds, each cell's text and colours, and the
// tray tip made of the balance lines. The window only draws what this holds.

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/SpendState.h"

namespace zelvant {

struct Options;
class PhoneList;
class PhoneResults;
class TrayService;

// How one data cell is drawn.
struct CellStyle
{
    QColor fontColor;
    QColor brushColor;
    bool fontBold = false;
    bool operator==(const CellStyle &) const = default;
};

struct GridCell
{
    QString text;
    CellStyle style;
    bool styled = false; // false until FillGrid wrote the cell
};

namespace GridColors {
inline const QColor Background = QColor(0xFF, 0xFF, 0xE1);
inline const QColor Highlight = QColor(0xFD, 0xFF, 0xC5);
inline const QColor Fixed = QColor(0xD1, 0xD1, 0xD1);
inline const QColor FreshText = QColor(0, 0, 0);
inline const QColor FreshMark = QColor(0xFF, 0, 0);
inline const QColor StaleText = QColor(0x80, 0x80, 0x80);
inline const QColor StaleMark = QColor(0xFA, 0x6E, 0x6E);
// The row of a phone that spent far more than usual.
inline const QColor UnusualSpend = QColor(0xFF, 0xD9, 0xA8);
} // namespace GridColors

// A threshold text that is not a number falls back to these.
float balanceThresholdOf(const QString &text); // edBalanceLessThen, 2.5
int turnOffThresholdOf(const QString &text);   // edTurnOffLessThen, 2

// Adds "alias: balance" lines while the tip stays within maxLength.
QString composeTrayTip(const QStringList &lines, int maxLength);

class PhonesTable
{
public:
    static constexpr int RowNumberWidth = 25;
    // What fitWidth adds to the columns (room for the vertical scroll bar).
    static constexpr int FitSpare = 25;

    // Columns from the options, one row per monitored slot (plus the title
    // row 0). Cells lose their values until the next FillGrid.
    void buildGrid(const Options &options, const PhoneList &phones);
    // Writes every monitored slot's values and returns the tray tip, or a
    // null string when no slot is monitored (the tip is then left alone).
    // spend, when given, fills "Расход в день" and marks the rows of phones
    // with an unusual spend.
    QString fillGrid(const PhoneResults &results, const Options &options, const PhoneList &phones,
                     const SpendStates *spend = nullptr);

    // Grid coordinates: column 0 holds the row numbers, row 0 the titles.
    int rowCount() const { return m_rowMap.size(); }
    int columnCount() const { return m_keys.size() + 1; }
    QStringList columnKeys() const { return m_keys; }
    int columnOf(const QString &key) const; // -1 when not shown
    QString title(int column) const;        // "" for column 0 when cbNN is off
    int columnWidth(int column) const;
    int slotOfRow(int row) const;  // 0 for row 0 or out of range
    int rowOfSlot(int slot) const; // 0 when not shown
    QString rowNumberText(int row) const;
    // Why the row's phone has no fresh balance, and its unusual spend;
    // empty when there is neither.
    QString rowToolTip(int row) const;
    const GridCell &cell(int column, int row) const;

    // Client width that shows every column: the widths + 25.
    int fitWidth() const;

    int highlightedRow() const { return m_highlightedRow; }
    void setHighlightedRow(int row) { m_highlightedRow = row; }

private:
    void setCell(const QString &key, int row, bool bold, const QColor &font, const QColor &brush,
                 const QString &text);

    QStringList m_keys;
    QList<int> m_widths; // per key
    bool m_showNN = false;
    QList<int> m_rowMap;            // row -> slot; entry 0 unused
    QList<QList<GridCell>> m_cells; // [row][key index]
    QStringList m_toolTips;         // per row
    int m_highlightedRow = -1;
};

} // namespace zelvant
