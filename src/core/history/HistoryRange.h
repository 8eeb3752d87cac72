#pragma once
// Which part of a phone's history the history windows and the export read:
// the range kind and its count, the two stored range fields with their
// fallbacks, the key filter of those fields, and the query itself.

#include <QChar>

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <optional>

#include "core/PhoneResult.h"
#include "core/history/HistoryStore.h"

namespace zelvant {

// Fallbacks of the two range fields.
inline const QString DefaultLastRequestText = QStringLiteral("50");
inline const QString DefaultLastDaysText = QStringLiteral("2");
inline constexpr int DefaultLastRequests = 50;
inline constexpr int DefaultLastDays = 2;
// What the phones window always asks for.
inline constexpr int PhoneWindowHistoryRows = 50;

inline QString historyNotFoundText()
{
    return QCoreApplication::translate("zelvant::HistoryRange",
                                       "История по выбранному телефону не найдена!");
}

struct HistoryRangeChoice
{
    HistoryRange range = HistoryRange::LastRequests;
    int count = DefaultLastRequests; // 0 for the whole history
    bool operator==(const HistoryRangeChoice &) const = default;
};

// A stored field text that does not read as a decimal number (with "." as
// the separator, whatever the locale) is replaced by fallback. The sentinel
// value -230973 counts as "not a number", like everywhere in the settings.
QString storedRangeText(const QString &stored, const QString &fallback);

// The count a range field stands for: a whole number of at least 0, else
// fallback. A negative count would mean "no limit" to the database, so it
// is not accepted either.
int rangeCount(const QString &text, int fallback);

// The range of the window's choice: last requests, else last days, else all.
HistoryRangeChoice chooseHistoryRange(bool lastRequestsChosen, bool lastDaysChosen,
                                      const QString &lastRequestText, const QString &lastDaysText);

// Typed characters in the range fields: a comma becomes a point, a point and
// the digits pass, anything else (Backspace included) is discarded.
std::optional<QChar> filterRangeKey(QChar typed);

// The result of reading one phone's history.
struct HistoryQueryResult
{
    enum Status { Ok, FileMissing, Failed };
    Status status = Ok;
    QList<HistoryRow> rows; // newest first
    QString error;          // for Failed: the database's message
};

// Reads the rows of number in the chosen range from the history database at
// historyFile. A missing file is reported as such and is never created.
HistoryQueryResult queryHistory(const QString &historyFile, const QString &number,
                                const HistoryRangeChoice &choice);

// "Телефон " + number, with " (" + alias + ")" when there is an alias.
QString historyHeaderText(const QString &number, const QString &alias);

} // namespace zelvant
