#pragma once
// The rows of one phone's history as the history grid shows them: nine
// columns, newest first, the date only on the first row of a day.

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include "core/PhoneResult.h"

namespace zelvant {

class HistoryTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        DateColumn,
        TimeColumn,
        BalanceColumn,
        AverageColumn,
        TurnOffColumn,
        RecomendColumn,
        SmsColumn,
        MinutesColumn,
        UsdRateColumn,
        ColumnCount
    };
    // True for a row that begins a new day below the newest row: the grid
    // draws a separator line along its top edge.
    static constexpr int SeparatorAboveRole = Qt::UserRole + 1;

    explicit HistoryTableModel(QObject *parent = nullptr);

    // The column titles, spaces included (they set the column widths).
    static QStringList titles();

    void setRows(QList<HistoryRow> rows);
    const QList<HistoryRow> &rows() const { return m_rows; }

    // The text of one cell, as shown.
    QString cellText(int row, int column) const;
    bool separatorAbove(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString dateText(int row) const;

    QList<HistoryRow> m_rows;
};

} // namespace zelvant
