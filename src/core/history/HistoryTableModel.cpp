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

HistoryPhoneModel::HistoryPhoneModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

const QStringList &HistoryPhoneModel::titles()
{
    static const QStringList list = {QStringLiteral("      Дата      "), QStringLiteral("   Время   "),
            QStringLiteral("   Баланс   "),     QStringLiteral("Расход в день"),
            QStringLiteral("Отключение"),       QStringLiteral("Заплатить"),
            QStringLiteral("SMS"),              QStringLiteral("Минут"),
            QStringLiteral("Курс USD")};
    return list;
}

void HistoryPhoneModel::setRows(QList<HistoryRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QString HistoryPhoneModel::dateText(int row) const
{
    return m_rows.at(row).QueryDateTime.date().toString(QStringLiteral("dd.MM.yyyy"));
}

QString HistoryPhoneModel::cellText(int row, int column) const
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
        return r.QueryDateTime.time().toString(QStringLiteral("hh:mm:ss"));
    case BalanceColumn:
        return QString::number(r.Balance, 'f', 2);
    case AverageColumn:
        return QString::number(r.Average, 'f', 2);
    case TurnOffColumn:
        return QString::number(r.TurnOff);
    case RecomendColumn:
        return QString::number(r.Recomend, 'f', 2);
    case SmsColumn:
        return countText(r.SMS);
    case MinutesColumn:
        return countText(r.Minutes);
    case UsdRateColumn:
        return QString::number(r.USDRate, 'f', 4);
    default:
        return {};
    }
}

bool HistoryPhoneModel::separatorAbove(int row) const
{
    // The newest row never gets the line; every later row whose date cell is
    // not blank begins a new day.
    return row > 0 && row < m_rows.size() && !cellText(row, DateColumn).trimmed().isEmpty();
}

int HistoryPhoneModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryPhoneModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryPhoneModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole)
        return cellText(index.row(), index.column());
    if (role == SeparatorAboveRole)
        return separatorAbove(index.row());
    return {};
}

QVariant HistoryPhoneModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        const QStringList &t = titles();
        return section >= 0 && section < t.size() ? QVariant(t.at(section)) : QVariant();
    }
    return section + 1;
}

} // namespace zelvant
