#pragma once
// The last results of the 100 phone slots.

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

#include "core/AppPaths.h"

namespace zelvant {

// One slot's last results. The three texts own their memory; the numbers
// keep the widths of the stored record (32-bit floats stay 32-bit floats).
struct TLumo
{
    int32_t NN = 0;
    QString Alias;
    QString UserName;
    QString PhoneNum;
    float Balance = 0;
    float Average = 0;
    int32_t TurnOff = 0;
    float Recomend = 0;
    int32_t SMS = 0;
    int32_t Min = 0;
    int32_t BalExpired = 0;
    float USDRate = 0;
    // When the values were obtained, local time; invalid means "no values"
    // (the empty value 0 of the record).
    QDateTime LastQueryTime;
    bool QueryOk = false;

    bool hasValues() const { return LastQueryTime.isValid(); }
    bool operator==(const TLumo &) const = default;
};

// A row of the history table, as read back.
struct HistoryRow
{
    qint64 NN = 0;
    QString PhoneNumber;
    QDateTime QueryDateTime;
    double Balance = 0;
    double Average = 0;
    int TurnOff = 0;
    double Recomend = 0;
    int SMS = 0;
    int Minutes = 0;
    double USDRate = 0;
    bool operator==(const HistoryRow &) const = default;
};

// Fixed array of PhoneSlotCount records indexed by slot number 1..100.
// Element i always belongs to slot i.
class PhoneResultsArray
{
public:
    TLumo &operator[](int slot) { return m_records.at(slot - 1); }
    const TLumo &operator[](int slot) const { return m_records.at(slot - 1); }

    // Mode 0 clears every QueryOk, mode 2 only the given slot's, mode 1 none.
    void clearQueryOk(int mode, int slot);

private:
    std::array<TLumo, PhoneSlotCount> m_records;
};

// The record built from a received page: the parser's values, then the
// slot's configured number and alias, the slot number, the time and QueryOk.
TLumo FillFromPage(const TLumo &parsed, int slot, const QString &number, const QString &alias,
                   const QDateTime &now);

// The record built from the newest history row of a monitored slot. UserName
// and BalExpired are not stored in the history and keep what previous held.
TLumo FillFromHistory(const TLumo &previous, int slot, const QString &number,
                      const QString &alias, const HistoryRow &row);

// A slot is failed when it is monitored and has no fresh result of this run.
inline bool IsFailedSlot(bool monitored, const TLumo &record)
{
    return monitored && !record.QueryOk;
}

} // namespace zelvant
