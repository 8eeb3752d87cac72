#pragma once
// When the program tells the user something unasked, after a cycle:
//  - a low balance: a phone whose new result is marked (the phones window's
//    marking rules and thresholds) while it was not before; not again for
//    that phone until a result of it was unmarked once. All phones that
//    crossed in one cycle share one notification, critical when one of them
//    is below zero.
//  - a phone that keeps failing: failed in three scheduled cycles in a row;
//    not again until it has succeeded once. Cycles the user started and the
//    automatic retries neither add to the row nor break it; a success
//    anywhere ends it.
//  - a phone that spent far more than it usually does (SpendState's unusual
//    spend, from the history): not again for that phone until its spend has
//    been usual once.
// The rules keep their memory per slot; the texts are the notifications'.

#include <QList>
#include <QString>

#include <array>

#include "core/ProgramInfo.h"
#include "core/SpendState.h"
#include "core/tray/Notifier.h"

namespace zelvant {

struct Options;
struct PhoneResult;
class PhoneList;
class PhoneResults;

// Marked as the phones window marks: balance at or under "Баланс меньше",
// turn-off within "Отключение менее чем через", each only when switched on.
bool isMarkedLow(const PhoneResult &record, const Options &options);

class AlertRules
{
public:
    static constexpr int FailureStreak = 3;

    // Remembers which phones are already low, so that balances loaded from
    // the history at start-up do not count as news.
    // So do unusual spends the history already shows: the program may have
    // told them before it was closed, and telling them again at every start
    // would teach the user to ignore them.
    void seed(const PhoneResults &results, const PhoneList &phones, const Options &options,
              const SpendStates *spend = nullptr);

    // After a cycle: scheduled tells a timer's (or start-up) cycle from one
    // the user or the retry asked for; queried are the slots the cycle sent
    // a request for. Returns the notifications to show, at most one of each
    // kind, honouring the notification switches of options. spend holds
    // the spend states worked out after the cycle; without it no spend is told.
    QList<Notification> cycleFinished(bool scheduled, const QList<int> &queried,
                                      const PhoneResults &results, const PhoneList &phones,
                                      const Options &options, const SpendStates *spend = nullptr);

    // "Мама (9161234567)", or the number alone when there is no alias.
    static QString phoneLabel(const QString &alias, const QString &number);
    // "Мама (9161234567): 1.80 у.е., отключение через 2 дн."
    static QString lowBalanceLine(const QString &label, const PhoneResult &record);
    // "Не удаётся получить баланс: Мама (9161234567), последний успешный
    // запрос 05.12.2026 10:00" (or "ни разу")
    static QString failureLine(const QString &label, const PhoneResult &record);
    // "с 05.12 10:00 списано 120.00 у.е. — обычно около 5.00 у.е. в день";
    // empty when the state has no unusual spend.
    static QString unusualSpendText(const SpendState &state);

private:
    struct SlotMemory
    {
        QString number;          // the phone this is about; a new one starts afresh
        bool lowShown = false;   // low and already told
        int failedScheduled = 0; // scheduled cycles failed in a row
        bool failureShown = false;
        bool unusualSpendShown = false;
    };
    SlotMemory &memory(int slot, const QString &number);

    std::array<SlotMemory, PhoneSlotCount> m_slots{};
};

} // namespace zelvant
