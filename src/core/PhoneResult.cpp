#include "core/PhoneResult.h"

namespace zelvant {

void PhoneResults::clearQueryOk(CycleMode mode, int slot)
{
    // A phone about to be asked again has no reason to fail yet.
    if (mode == CycleMode::AllPhones) {
        for (PhoneResult &record : m_records) {
            record.queryOk = false;
            record.failure = {};
        }
    } else if (mode == CycleMode::OnePhone && slot >= 1 && slot <= PhoneSlotCount) {
        (*this)[slot].queryOk = false;
        (*this)[slot].failure = {};
    }
}

PhoneResult fillFromPage(const PhoneResult &parsed, int slot, const QString &number,
                         const QString &alias, const QDateTime &now)
{
    PhoneResult record = parsed;
    record.phoneNumber = number;
    record.slot = slot;
    record.alias = alias;
    record.lastQueryTime = now;
    record.queryOk = true;
    return record;
}

PhoneResult fillFromHistory(const PhoneResult &previous, int slot, const QString &number,
                            const QString &alias, const HistoryRow &row)
{
    PhoneResult record;
    record.slot = slot;
    record.alias = alias;
    record.phoneNumber = number;
    record.userName = previous.userName;
    record.balanceExpiresDays = previous.balanceExpiresDays;
    record.balance = float(row.balance);
    record.averagePerDay = float(row.averagePerDay);
    record.turnOffDays = row.turnOffDays;
    record.recommendedPayment = float(row.recommendedPayment);
    record.smsLeft = row.smsLeft;
    record.minutesLeft = row.minutes;
    record.usdRate = float(row.usdRate);
    record.lastQueryTime = row.queryDateTime;
    record.queryOk = false;
    return record;
}

} // namespace zelvant
