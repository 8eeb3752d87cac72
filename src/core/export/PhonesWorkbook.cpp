#include "core/export/PhonesWorkbook.h"

namespace zelvant {

bool writeAllPhonesWorkbook(const QString &path, const PhoneList &phones,
                            const PhoneResults &results, QString *error)
{
    enum {
        Alias = 1,
        UserName,
        PhoneNum,
        Balance,
        Average,
        TurnOff,
        Recomend,
        Sms,
        Min,
        BalExpired,
        UsdRate,
        LastQueryTime
    };
    WorkbookWriter writer(path, 12);
    writer.writeTitles(
        {QStringLiteral("Псевдоним"), QStringLiteral("ФИО"), QStringLiteral("Номер тел."),
         QStringLiteral("Баланс"), QStringLiteral("Расход в день"), QStringLiteral("Отключение"),
         QStringLiteral("Заплатить"), QStringLiteral("SMS"), QStringLiteral("Минут"),
         QStringLiteral("Истекает"), QStringLiteral("Курс USD"), QStringLiteral("Время запроса")});
    int row = 1;
    for (int slot = 1; slot <= PhoneSlotCount && writer.ok(); ++slot) {
        if (!phones.isMonitored(slot))
            continue;
        ++row;
        const PhoneResult &r = results[slot];
        // A phone that has not been queried yet has an empty record; its row
        // still names the phone, or it could not be told from the others.
        const QString alias = r.hasValues() ? r.alias : phones.aliasOf(slot);
        const QString number = r.hasValues() ? r.phoneNumber : phones.numberOf(slot);
        writer.writeText(row, Alias, alias);
        writer.writeText(row, UserName, r.userName);
        writer.writeText(row, PhoneNum, number);
        writer.writeNumber(row, Balance, roundHalfEven(r.balance, 2));
        writer.writeNumber(row, Average, roundHalfEven(r.averagePerDay, 2));
        writer.writeNumber(row, TurnOff, r.turnOffDays);
        writer.writeNumber(row, Recomend, roundHalfEven(r.recommendedPayment, 2));
        writer.writeNumber(row, Sms, r.smsLeft);
        writer.writeNumber(row, Min, r.minutesLeft);
        writer.writeNumber(row, BalExpired, r.balanceExpiresDays);
        writer.writeNumber(row, UsdRate, roundHalfEven(r.usdRate, 4));
        writer.writeDateTime(row, LastQueryTime, r.lastQueryTime);
    }
    return writer.finish(error);
}

ExportOutcome exportAllPhones(const QString &path, const PhoneList &phones,
                              const PhoneResults &results)
{
    QString error;
    if (!writeAllPhonesWorkbook(path, phones, results, &error))
        return {ExportOutcome::Failed, error};
    return {ExportOutcome::Written, AllPhonesExportDoneText};
}

} // namespace zelvant
