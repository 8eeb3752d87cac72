#pragma once
// Turns the text of one balance page of the self-service system into a
// phone's result values. Pure text work: no files, settings or clock, never
// fails; what it cannot find stays 0 or empty.

#include <QString>

#include "core/PhoneResult.h"

namespace zelvant {

// Resets record and fills UserName, PhoneNum, Balance, Average, TurnOff,
// Recomend, SMS, Min, BalExpired and USDRate from the page.
void parseBalancePage(const QString &page, PhoneResult &record);

QString replaceEntities(const QString &text);
QString stripTags(const QString &line);
QString extractValue(const QString &line, const QString &prefix, const QString &endMark,
                     const QString &defaultText);
float extractFloat(const QString &line, const QString &prefix, const QString &endMark,
                   float defaultValue);
qint32 extractInt(const QString &line, const QString &prefix, const QString &endMark,
                  qint32 defaultValue);

} // namespace zelvant
