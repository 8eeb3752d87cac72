#include "core/PhoneResultJson.h"

#include <QJsonValue>

#include <cmath>

#include "core/Rounding.h"

namespace zelvant {

namespace {

constexpr int MoneyDecimals = 2;
constexpr int RateDecimals = 4;

} // namespace

double roundedValue(float value, int decimals)
{
    const double rounded = roundDecimals(value, decimals);
    // A JSON number cannot be infinite or NaN, and -0 would print as "-0".
    if (!std::isfinite(rounded))
        return 0;
    return rounded == 0 ? 0.0 : rounded;
}

QJsonObject phoneResultToJson(const PhoneResult &record)
{
    QJsonObject object;
    object.insert(QStringLiteral("NN"), record.slot);
    object.insert(QStringLiteral("Alias"), record.alias);
    object.insert(QStringLiteral("UserName"), record.userName);
    object.insert(QStringLiteral("PhoneNum"), record.phoneNumber);
    object.insert(QStringLiteral("Balance"), roundedValue(record.balance, MoneyDecimals));
    object.insert(QStringLiteral("Average"), roundedValue(record.averagePerDay, MoneyDecimals));
    object.insert(QStringLiteral("TurnOff"), record.turnOffDays);
    object.insert(QStringLiteral("Recomend"),
                  roundedValue(record.recommendedPayment, MoneyDecimals));
    object.insert(QStringLiteral("SMS"), record.smsLeft);
    object.insert(QStringLiteral("Min"), record.minutesLeft);
    object.insert(QStringLiteral("BalExpired"), record.balanceExpiresDays);
    object.insert(QStringLiteral("USDRate"), roundedValue(record.usdRate, RateDecimals));
    const QString time = record.lastQueryTime.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
    object.insert(QStringLiteral("LastQueryTime"),
                  record.lastQueryTime.isValid() ? QJsonValue(time) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("QueryOk"), record.queryOk);
    return object;
}

void addSpendToJson(QJsonObject &object, const SpendState &spend)
{
    object.insert(QStringLiteral("UsualDailySpend"),
                  spend.usualDaily ? QJsonValue(roundDecimals(*spend.usualDaily, MoneyDecimals))
                                   : QJsonValue(QJsonValue::Null));
    if (!spend.unusual) {
        object.insert(QStringLiteral("UnusualSpend"), QJsonValue(QJsonValue::Null));
        return;
    }
    QJsonObject unusual;
    unusual.insert(QStringLiteral("Since"),
                   spend.unusual->since.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")));
    unusual.insert(QStringLiteral("Spent"), roundDecimals(spend.unusual->spent, MoneyDecimals));
    unusual.insert(QStringLiteral("PerDay"), roundDecimals(spend.unusual->perDay, MoneyDecimals));
    object.insert(QStringLiteral("UnusualSpend"), unusual);
}

} // namespace zelvant
