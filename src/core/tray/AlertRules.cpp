#include "core/tray/AlertRules.h"

#include <QCoreApplication>
#include <QStringList>

#include "core/Logging.h"
#include "core/PhoneResult.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/tray/PhonesTable.h"

namespace zelvant {

namespace {

const QString FailureTitle = QStringLiteral("Zelvant");
const char *const UnusualSpendTitle =
    QT_TRANSLATE_NOOP("zelvant::AlertRules", "Zelvant: необычные списания");

} // namespace

bool isMarkedLow(const PhoneResult &record, const Options &options)
{
    if (!record.hasValues())
        return false;
    // The same single-precision comparison as the window's red digits.
    const bool balance =
        options.cbMarkIfBalance && record.balance <= balanceThresholdOf(options.edBalanceLessThen);
    const bool turnOff = options.cbMarkIfTurnOff && record.turnOffDays != 0
                         && record.turnOffDays <= turnOffThresholdOf(options.edTurnOffLessThen);
    return balance || turnOff;
}

QString AlertRules::phoneLabel(const QString &alias, const QString &number)
{
    if (alias.isEmpty())
        return number;
    return alias + QStringLiteral(" (") + number + QLatin1Char(')');
}

QString AlertRules::lowBalanceLine(const QString &label, const PhoneResult &record)
{
    QString line = label + QStringLiteral(": ") + QString::asprintf("%.2f", double(record.balance))
                   + QCoreApplication::translate("zelvant::AlertRules", " у.е.");
    if (record.turnOffDays != 0)
        line += QCoreApplication::translate("zelvant::AlertRules", ", отключение через %1 дн.")
                    .arg(record.turnOffDays);
    return line;
}

QString AlertRules::failureLine(const QString &label, const PhoneResult &record)
{
    const QString when = record.hasValues()
                             ? record.lastQueryTime.toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                             : QCoreApplication::translate("zelvant::AlertRules", "ни разу");
    return QCoreApplication::translate(
               "zelvant::AlertRules",
               "Не удаётся получить баланс: %1, последний успешный запрос %2")
        .arg(label, when);
}

QString AlertRules::unusualSpendText(const SpendState &state)
{
    if (!state.unusual || !state.usualDaily)
        return QString();
    return QCoreApplication::translate("zelvant::AlertRules",
                                       "с %1 списано %2 у.е. — обычно около %3 у.е. в день")
        .arg(state.unusual->since.toString(QStringLiteral("dd.MM HH:mm")),
             QString::asprintf("%.2f", state.unusual->spent),
             QString::asprintf("%.2f", *state.usualDaily));
}

AlertRules::SlotMemory &AlertRules::memory(int slot, const QString &number)
{
    SlotMemory &m = m_slots.at(slot - 1);
    // The slot was given to another phone in the setup window: what was
    // told about the old one says nothing about the new one.
    if (m.number != number)
        m = SlotMemory{number};
    return m;
}

void AlertRules::seed(const PhoneResults &results, const PhoneList &phones, const Options &options,
                      const SpendStates *spend)
{
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        SlotMemory &m = memory(slot, phones.numberOf(slot));
        m.lowShown = phones.isMonitored(slot) && isMarkedLow(results[slot], options);
        m.unusualSpendShown =
            spend && phones.isMonitored(slot) && spend->at(slot - 1).unusual.has_value();
    }
}

QList<Notification> AlertRules::cycleFinished(bool scheduled, const QList<int> &queried,
                                              const PhoneResults &results, const PhoneList &phones,
                                              const Options &options, const SpendStates *spend)
{
    QStringList lowLines;
    QStringList failureLines;
    QStringList spendLines;
    bool negative = false;
    for (int slot : queried) {
        if (slot < 1 || slot > PhoneSlotCount || !phones.isMonitored(slot))
            continue;
        const PhoneResult &record = results[slot];
        SlotMemory &m = memory(slot, phones.numberOf(slot));
        const QString label = phoneLabel(phones.aliasOf(slot), phones.numberOf(slot));
        if (record.queryOk) {
            m.failedScheduled = 0;
            m.failureShown = false;
            const bool low = isMarkedLow(record, options);
            if (low && !m.lowShown) {
                qCDebug(lcTray) << "slot" << slot << "turned low";
                lowLines << lowBalanceLine(label, record);
                negative = negative || record.balance < 0;
            }
            m.lowShown = low;
            if (spend) {
                const SpendState &state = spend->at(slot - 1);
                if (state.unusual && !m.unusualSpendShown) {
                    qCDebug(lcTray) << "slot" << slot << "spent unusually much";
                    spendLines << label + QStringLiteral(": ") + unusualSpendText(state);
                }
                m.unusualSpendShown = state.unusual.has_value();
            }
            continue;
        }
        if (!scheduled)
            continue;
        ++m.failedScheduled;
        if (m.failedScheduled >= FailureStreak && !m.failureShown) {
            qCDebug(lcTray) << "slot" << slot << "failed" << m.failedScheduled
                            << "scheduled cycles in a row";
            m.failureShown = true;
            failureLines << failureLine(label, record);
        }
    }
    qCDebug(lcTray) << "after the cycle:" << lowLines.size() << "newly low," << failureLines.size()
                    << "newly failing";
    QList<Notification> notifications;
    // The memory moves on also while a kind is switched off, so that
    // switching it on does not bring up old news.
    if (options.cbNotifyLowBalance && !lowLines.isEmpty()) {
        notifications << Notification{
            QCoreApplication::translate("zelvant::AlertRules", "Zelvant: пора пополнить баланс"),
            lowLines.join(QLatin1Char('\n')), negative ? Urgency::Critical : Urgency::Normal};
    }
    if (options.cbNotifyFailures && !failureLines.isEmpty()) {
        notifications << Notification{FailureTitle, failureLines.join(QLatin1Char('\n')),
                                      Urgency::Normal};
    }
    if (options.cbNotifyUnusualSpend && !spendLines.isEmpty()) {
        notifications << Notification{
            QCoreApplication::translate("zelvant::AlertRules", UnusualSpendTitle),
            spendLines.join(QLatin1Char('\n')), Urgency::Normal};
    }
    return notifications;
}

} // namespace zelvant
