#pragma once
// The last results of the 100 phone slots.

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

#include "core/AppPaths.h"
#include "core/CycleMode.h"
#include "core/FailReason.h"

namespace zelvant {

// One slot's last results. The three texts own their memory; the numbers
// keep the widths of the stored record (32-bit floats stay 32-bit floats).
struct PhoneResult
{
    int32_t slot = 0;
    QString alias;
    QString userName;
    QString phoneNumber;
    float balance = 0;
    float averagePerDay = 0;
    int32_t turnOffDays = 0;
    float recommendedPayment = 0;
    int32_t smsLeft = 0;
    int32_t minutesLeft = 0;
    int32_t balanceExpiresDays = 0;
    float usdRate = 0;
    // When the values were obtained, local time; invalid means "no values"
    // (the empty value 0 of the record).
    QDateTime lastQueryTime;
    bool queryOk = false;
    // Why the last request for this slot brought no balance.
    PhoneFailure failure;

    bool hasValues() const { return lastQueryTime.isValid(); }
    bool operator==(const PhoneResult &) const = default;
};

// A row of the history table, as read back.
struct HistoryRow
{
    qint64 rowId = 0;
    QString phoneNumber;
    QDateTime queryDateTime;
    double balance = 0;
    double averagePerDay = 0;
    int turnOffDays = 0;
    double recommendedPayment = 0;
    int smsLeft = 0;
    int minutes = 0;
    double usdRate = 0;
    // False for a row whose Balance is empty (NULL): it tells no balance, not 0.
    bool hasBalance = true;
    bool operator==(const HistoryRow &) const = default;
};

// Fixed array of PhoneSlotCount records indexed by slot number 1..100.
// Element i always belongs to slot i.
class PhoneResults
{
public:
    PhoneResult &operator[](int slot) { return m_records.at(slot - 1); }
    const PhoneResult &operator[](int slot) const { return m_records.at(slot - 1); }

    // AllPhones clears every queryOk (and failure), OnePhone only the given
    // slot's, FailedPhones none.
    void clearQueryOk(CycleMode mode, int slot);

private:
    std::array<PhoneResult, PhoneSlotCount> m_records;
};

// The record built from a received page: the parser's values, then the
// slot's configured number and alias, the slot number, the time and QueryOk.
PhoneResult fillFromPage(const PhoneResult &parsed, int slot, const QString &number,
                         const QString &alias, const QDateTime &now);

// The record built from the newest history row of a monitored slot. UserName
// and BalExpired are not stored in the history and keep what previous held.
PhoneResult fillFromHistory(const PhoneResult &previous, int slot, const QString &number,
                            const QString &alias, const HistoryRow &row);

// A slot is failed when it is monitored and has no fresh result of this run.
inline bool isFailedSlot(bool monitored, const PhoneResult &record)
{
    return monitored && !record.queryOk;
}

} // namespace zelvant
