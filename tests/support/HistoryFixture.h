#pragma once
// Builds history databases with chosen rows (times included) for the report
// tests; the program itself only ever appends rows stamped with "now".

#include <QDateTime>
#include <QList>
#include <QString>

#include "core/PhoneResult.h"

namespace zelvant::test {

// Creates the database at path (through InitHistory) and appends rows in
// list order, so the last one is the newest. Returns false on any error.
bool WriteHistoryRows(const QString &path, const QList<HistoryRow> &rows);

HistoryRow MakeHistoryRow(const QString &number, const QDateTime &time, double balance,
                          double average = 0, int turnOff = 0, double recomend = 0, int sms = 0,
                          int minutes = 0, double usdRate = 0);

} // namespace zelvant::test
