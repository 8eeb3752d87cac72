#include "core/export/PhonesWorkbook.h"

namespace zelvant {

bool WriteAllPhonesWorkbook(const QString &path, const PhoneList &phones,
                            const PhoneResultsArray &results, QString *error)
{
    enum { Alias = 1, UserName, PhoneNum, Balance, Average, TurnOff, Recomend, Sms, Min,
           BalExpired, UsdRate, LastQueryTime };
    WorkbookWriter writer(path, 12);
    writer.writeTitles({QStringLiteral("Псевдоним"), QStringLiteral("ФИО"),
                        QStringLiteral("Номер тел."), QStringLiteral("Баланс"),
                        QStringLiteral("Расход в день"), QStringLiteral("Отключение"),
                        QStringLiteral("Заплатить"), QStringLiteral("SMS"),
                        QStringLiteral("Минут"), QStringLiteral("Истекает"),
                        QStringLiteral("Курс USD"), QStringLiteral("Время запроса")});
    int row = 1;
    for (int slot = 1; slot <= PhoneSlotCount && writer.ok(); ++slot) {
        if (!phones.IsMonitored(slot))
            continue;
        ++row;
        const TLumo &r = results[slot];
        // A phone that has not been queried yet has an empty record; its row
        // still names the phone, or it could not be told from the others.
        const QString alias = r.hasValues() ? r.Alias : phones.AliasOf(slot);
        const QString number = r.hasValues() ? r.PhoneNum : phones.NumberOf(slot);
        writer.writeText(row, Alias, alias);
        writer.writeText(row, UserName, r.UserName);
        writer.writeText(row, PhoneNum, number);
        writer.writeNumber(row, Balance, RoundHalfEven(r.Balance, 2));
        writer.writeNumber(row, Average, RoundHalfEven(r.Average, 2));
        writer.writeNumber(row, TurnOff, r.TurnOff);
        writer.writeNumber(row, Recomend, RoundHalfEven(r.Recomend, 2));
        writer.writeNumber(row, Sms, r.SMS);
        writer.writeNumber(row, Min, r.Min);
        writer.writeNumber(row, BalExpired, r.BalExpired);
        writer.writeNumber(row, UsdRate, RoundHalfEven(r.USDRate, 4));
        writer.writeDateTime(row, LastQueryTime, r.LastQueryTime);
    }
    return writer.finish(error);
}

ExportOutcome ExportAllPhones(const QString &path, const PhoneList &phones,
                              const PhoneResultsArray &results)
{
    QString error;
    if (!WriteAllPhonesWorkbook(path, phones, results, &error))
        return {ExportOutcome::Failed, error};
    return {ExportOutcome::Written, AllPhonesExportDoneText};
}

} // namespace zelvant
