#include "cli/ResultJson.h"

#include "core/Rounding.h"

#include <QJsonValue>

namespace zelvant {

namespace {

constexpr int MoneyDecimals = 2;
constexpr int RateDecimals = 4;

QString fixed(float value, int decimals)
{
    // Formatting the already rounded value keeps the text and the JSON
    // number the same; QString::number never uses the user's locale.
    return QString::number(roundedValue(value, decimals), 'f', decimals);
}

} // namespace

QString blankControls(QString text)
{
    for (QChar &c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    return text;
}

QString phoneResultFieldsText(const PhoneResult &record)
{
    QString text;
    auto line = [&text](const char *name, const QString &value) {
        text +=
            QLatin1String(name) + QStringLiteral(": ") + blankControls(value) + QLatin1Char('\n');
    };
    line("UserName", record.userName);
    line("PhoneNum", record.phoneNumber);
    line("Balance", fixed(record.balance, MoneyDecimals));
    line("Average", fixed(record.averagePerDay, MoneyDecimals));
    line("TurnOff", QString::number(record.turnOffDays));
    line("Recomend", fixed(record.recommendedPayment, MoneyDecimals));
    line("SMS", QString::number(record.smsLeft));
    line("Min", QString::number(record.minutesLeft));
    line("BalExpired", QString::number(record.balanceExpiresDays));
    line("USDRate", fixed(record.usdRate, RateDecimals));
    return text;
}

} // namespace zelvant
