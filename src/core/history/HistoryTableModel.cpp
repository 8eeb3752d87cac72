#include "core/history/HistoryTableModel.h"

namespace zelvant {

namespace {

// One blank: what the grid shows for a repeated date and for zero SMS or
// minutes, so those cells look empty without being empty strings.
const QString Blank = QStringLiteral(" ");

QString countText(int value)
{
    return value == 0 ? Blank : QString::number(value);
}

} // namespace

HistoryTableModel::HistoryTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

QStringList HistoryTableModel::titles()
{
    const QStringList list = {tr("      Дата      "), tr("   Время   "), tr("   Баланс   "),
                              tr("Расход в день"),    tr("Отключение"),  tr("Заплатить"),
                              QStringLiteral("SMS"),  tr("Минут"),       tr("Курс USD")};
    return list;
}

void HistoryTableModel::setRows(QList<HistoryRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QString HistoryTableModel::dateText(int row) const
{
    return m_rows.at(row).queryDateTime.date().toString(QStringLiteral("dd.MM.yyyy"));
}

QString HistoryTableModel::cellText(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const HistoryRow &r = m_rows.at(row);
    switch (column) {
    case DateColumn: {
        // Compared with the row above as text, so the first row always
        // shows its date (the "previous" date starts empty).
        const QString date = dateText(row);
        return row > 0 && dateText(row - 1) == date ? Blank : date;
    }
    case TimeColumn:
        return r.queryDateTime.time().toString(QStringLiteral("hh:mm:ss"));
    case BalanceColumn:
        return QString::number(r.balance, 'f', 2);
    case AverageColumn:
        return QString::number(r.averagePerDay, 'f', 2);
    case TurnOffColumn:
        return QString::number(r.turnOffDays);
    case RecomendColumn:
        return QString::number(r.recommendedPayment, 'f', 2);
    case SmsColumn:
        return countText(r.smsLeft);
    case MinutesColumn:
        return countText(r.minutes);
    case UsdRateColumn:
        return QString::number(r.usdRate, 'f', 4);
    default:
        return {};
    }
}

bool HistoryTableModel::separatorAbove(int row) const
{
    // The newest row never gets the line; every later row whose date cell is
    // not blank begins a new day.
    return row > 0 && row < m_rows.size() && !cellText(row, DateColumn).trimmed().isEmpty();
}

int HistoryTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole)
        return cellText(index.row(), index.column());
    if (role == SeparatorAboveRole)
        return separatorAbove(index.row());
    return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        const QStringList t = titles();
        return section >= 0 && section < t.size() ? QVariant(t.at(section)) : QVariant();
    }
    return section + 1;
}

} // namespace zelvant
