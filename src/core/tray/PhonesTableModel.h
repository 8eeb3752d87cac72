#pragma once
// The phones table as an item model for the phones window's grid.

#include <QAbstractTableModel>

#include "core/tray/PhonesTable.h"

namespace zelvant {

// Model column 0 is the row-number column, model row r is table row r + 1;
// the table's title row is the horizontal header. The model reads the table
// it is given; the owner says when the table was rebuilt or refreshed.
class PhonesTableModel : public QAbstractTableModel
{
public:
    explicit PhonesTableModel(const PhonesTable &grid, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The table's rows or columns changed.
    void rebuilt();
    // The table's texts changed, its shape did not.
    void refreshed();

private:
    const PhonesTable &m_grid;
};

} // namespace zelvant
