#include "cli/ResultJson.h"

#include "core/Rounding.h"

#include <QJsonValue>

#include <cmath>

namespace zelvant {

namespace {

constexpr int MoneyDecimals = 2;
constexpr int RateDecimals = 4;

QString fixed(float value, int decimals)
{
    // Formatting the already rounded value keeps the text and the JSON
    // number the same; QString::number never uses the user's locale.
    return QString::number(RoundedValue(value, decimals), 'f', decimals);
}

} // namespace

double RoundedValue(float value, int decimals)
{
    const double rounded = RoundDecimals(value, decimals);
    // A JSON number cannot be infinite or NaN, and -0 would print as "-0".
    if (!std::isfinite(rounded))
        return 0;
    return rounded == 0 ? 0.0 : rounded;
}

QJsonObject LumoToJson(const TLumo &record)
{
    QJsonObject object;
    object.insert(QStringLiteral("NN"), record.NN);
    object.insert(QStringLiteral("Alias"), record.Alias);
    object.insert(QStringLiteral("UserName"), record.UserName);
    object.insert(QStringLiteral("PhoneNum"), record.PhoneNum);
    object.insert(QStringLiteral("Balance"), RoundedValue(record.Balance, MoneyDecimals));
    object.insert(QStringLiteral("Average"), RoundedValue(record.Average, MoneyDecimals));
    object.insert(QStringLiteral("TurnOff"), record.TurnOff);
    object.insert(QStringLiteral("Recomend"), RoundedValue(record.Recomend, MoneyDecimals));
    object.insert(QStringLiteral("SMS"), record.SMS);
    object.insert(QStringLiteral("Min"), record.Min);
    object.insert(QStringLiteral("BalExpired"), record.BalExpired);
    object.insert(QStringLiteral("USDRate"), RoundedValue(record.USDRate, RateDecimals));
    const QString time = record.LastQueryTime.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
    object.insert(QStringLiteral("LastQueryTime"),
                  record.LastQueryTime.isValid() ? QJsonValue(time) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("QueryOk"), record.QueryOk);
    return object;
}

QString LumoPageFieldsText(const TLumo &record)
{
    QString text;
    auto line = [&text](const char *name, const QString &value) {
        text += QLatin1String(name) + QStringLiteral(": ") + value + QLatin1Char('\n');
    };
    line("UserName", record.UserName);
    line("PhoneNum", record.PhoneNum);
    line("Balance", fixed(record.Balance, MoneyDecimals));
    line("Average", fixed(record.Average, MoneyDecimals));
    line("TurnOff", QString::number(record.TurnOff));
    line("Recomend", fixed(record.Recomend, MoneyDecimals));
    line("SMS", QString::number(record.SMS));
    line("Min", QString::number(record.Min));
    line("BalExpired", QString::number(record.BalExpired));
    line("USDRate", fixed(record.USDRate, RateDecimals));
    return text;
}

} // namespace zelvant
