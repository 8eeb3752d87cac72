#include "core/tray/PhonesTableModel.h"

#include <QFont>

namespace zelvant {

PhonesTableModel::PhonesTableModel(const PhonesTable &grid, QObject *parent)
    : QAbstractTableModel(parent)
    , m_grid(grid)
{
}

int PhonesTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : qMax(0, m_grid.rowCount() - 1);
}

int PhonesTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.columnCount();
}

QVariant PhonesTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const int row = index.row() + 1;
    if (role == Qt::ToolTipRole) {
        const QString tip = m_grid.rowToolTip(row);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (role == Qt::FontRole) {
        // Only the weight; the rest of the font is the view's.
        if (index.column() > 0 && m_grid.cell(index.column(), row).style.fontBold) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    if (index.column() == 0)
        return m_grid.rowNumberText(row);
    return m_grid.cell(index.column(), row).text;
}

QVariant PhonesTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_grid.title(section);
    return QVariant();
}

Qt::ItemFlags PhonesTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void PhonesTableModel::rebuilt()
{
    beginResetModel();
    endResetModel();
}

void PhonesTableModel::refreshed()
{
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

} // namespace zelvant
