#pragma once
// A phone's result as a JSON object: what "--check --json" prints and what
// the MQTT state topics carry. Numbers are rounded as the windows show them
// (two decimals, four for the USD rate).

#include <QJsonObject>

#include "core/PhoneResult.h"
#include "core/SpendState.h"

namespace zelvant {

// value rounded to the given number of decimals, half away from zero.
double roundedValue(float value, int decimals);

// Every PhoneResult field under its own name; LastQueryTime as
// "YYYY-MM-DDTHH:MM:SS" or null.
QJsonObject phoneResultToJson(const PhoneResult &record);

// "UsualDailySpend" (a number or null) and "UnusualSpend" (null, or an
// object with "Since", "Spent" and "PerDay") added to object.
void addSpendToJson(QJsonObject &object, const SpendState &spend);

} // namespace zelvant
