#pragma once
// Spending as a phone's history shows it, worked out from its rows alone:
//  - the spend between two successive readings is the fall of the balance;
//    a rise is a top-up and spends nothing; a row without a balance (or
//    without a time) is no reading;
//  - the fall between two readings is spread over the time between them in
//    proportion, so a gap of several days gives each of its days its share;
//  - a day's spend counts only when readings cover it from midnight to
//    midnight (the hours before a day's first reading would be missing);
//  - the usual daily spend is the median of those days' spend within the 30
//    days up to the last reading, when at least 7 of those days have a
//    reading; otherwise there is none, and then no alert: never a guess.
// What is judged is the spend up to the newest reading, counted from the
// earliest reading of the day before it (from the previous reading when that
// is older). It is unusual when, per day of that time (a shorter time counts
// as one whole day, so that a small spend a few minutes after the previous
// reading is never scaled up to a daily one), it is at least `factor` times
// the usual daily spend and at least `floor`. The usual spend it is compared
// with is worked out from the readings before it, so the spend being judged
// never raises its own yardstick.

#include <QList>
#include <QString>

#include <optional>
#include <span>
#include <vector>

#include "core/PhoneResult.h"
#include "core/SpendState.h"

namespace zelvant {

class HistoryReader;
class PhoneList;
struct Options;

struct SpendLimits
{
    double factor = 3;
    double floor = 30; // у.е. per day
};

// edSpendFactor and edSpendFloor; a factor that is no positive number and a
// floor that is no number of 0 or more fall back to 3 and 30.
SpendLimits spendLimitsOf(const Options &options);

struct SpendReading
{
    QDateTime time;
    qint64 wallClock = 0; // the time's wall-clock milliseconds, as the chart counts
    double balance = 0;
};

inline constexpr int UsualSpendDays = 30;
inline constexpr int UsualSpendMinReadingDays = 7;
// Enough history for the usual spend before the newest reading.
inline constexpr int SpendHistoryDays = UsualSpendDays + 2;

// The readings of rows in time order (rows come in any order).
std::vector<SpendReading> spendReadings(const QList<HistoryRow> &rows);

// The usual daily spend up to the last of readings, none when too few days
// have a reading.
std::optional<double> usualDailySpend(std::span<const SpendReading> readings);

SpendState analyseSpend(const QList<HistoryRow> &rows, const SpendLimits &limits);

// The spend state of one number from its recent history; an empty state
// with *error when the history could not be read.
SpendState readSpendState(const HistoryReader &reader, const QString &number,
                          const SpendLimits &limits, QString *error = nullptr);

// The spend state of each slot in slots, from the history file; slots whose
// phone is not monitored get an empty state. False with *error when the
// history could not be read (the states read so far are kept).
bool readSpendStates(SpendStates &states, const QString &historyFile, const PhoneList &phones,
                     const QList<int> &slots, const SpendLimits &limits, QString *error = nullptr);

} // namespace zelvant
