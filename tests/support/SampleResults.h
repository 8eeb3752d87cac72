#pragma once
// A phone's result as a request leaves it, for tests that need results
// without fetching pages.

#include "core/PhoneResult.h"

namespace zelvant::test {

// The slot's result with balance and alias, the number 9030000NNN of the slot,
// the user "Иванов И.И.", the query time 07.12.2026 14:03:07 and every other
// value 0 (an empty cell); fresh false makes it a result of an earlier run.
inline PhoneResult sampleResult(int slot, float balance, const QString &alias = QString(),
                                bool fresh = true)
{
    PhoneResult r;
    r.slot = slot;
    r.alias = alias;
    r.userName = QStringLiteral("Иванов И.И.");
    r.phoneNumber = QStringLiteral("9030000%1").arg(slot, 3, 10, QLatin1Char('0'));
    r.balance = balance;
    r.lastQueryTime = QDateTime(QDate(2026, 12, 7), QTime(14, 3, 7));
    r.queryOk = fresh;
    return r;
}

} // namespace zelvant::test
