#include "core/PhoneResult.h"

namespace zelvant {

void PhoneResultsArray::clearQueryOk(int mode, int slot)
{
    if (mode == 0) {
        for (TLumo &record : m_records)
            record.QueryOk = false;
    } else if (mode == 2 && slot >= 1 && slot <= PhoneSlotCount) {
        (*this)[slot].QueryOk = false;
    }
}

TLumo FillFromPage(const TLumo &parsed, int slot, const QString &number, const QString &alias,
                   const QDateTime &now)
{
    TLumo record = parsed;
    record.PhoneNum = number;
    record.NN = slot;
    record.Alias = alias;
    record.LastQueryTime = now;
    record.QueryOk = true;
    return record;
}

TLumo FillFromHistory(const TLumo &previous, int slot, const QString &number,
                      const QString &alias, const HistoryRow &row)
{
    TLumo record;
    record.NN = slot;
    record.Alias = alias;
    record.PhoneNum = number;
    record.UserName = previous.UserName;
    record.BalExpired = previous.BalExpired;
    record.Balance = float(row.Balance);
    record.Average = float(row.Average);
    record.TurnOff = row.TurnOff;
    record.Recomend = float(row.Recomend);
    record.SMS = row.SMS;
    record.Min = row.Minutes;
    record.USDRate = float(row.USDRate);
    record.LastQueryTime = row.QueryDateTime;
    record.QueryOk = false;
    return record;
}

} // namespace zelvant
