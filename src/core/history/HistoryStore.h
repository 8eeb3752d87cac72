#pragma once
// The history database "Zelvant.mdb" (an SQLite 3 file): the writer used
// during a request cycle and the readers of the windows, the export and the
// start-up preload.

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include "core/PhoneResult.h"
#include "core/Rounding.h"

namespace zelvant {

// 0 the whole history, 1 the last N days, 2 the last N requests.
enum class HistoryRange { All = 0, LastDays = 1, LastRequests = 2 };

// Creates an empty database with table Phones and its index when no file
// exists at path. True when a database is there afterwards.
bool initHistory(const QString &path, QString *error = nullptr);

class AppPaths;
// An installed program has no install step for each user, so the first
// start of the tray program for a user (no data folder yet) sets up the
// empty history, as --init-history does for a portable folder. A user who
// later removes the file keeps history off. True when nothing was to be done
// or the history was made.
bool initHistoryAtFirstStart(const AppPaths &paths, QString *error = nullptr);

// The warning and error-log line of a history file that is missing at a write.
inline const QString HistoryFileMissingMessage = QStringLiteral(
    "Файл истории баланса Zelvant.mdb не найден! Функция ведения истории отключена.");

// "История не записана: <reason> (телефон <number>)": a fetched result that
// did not reach the history.
QString historyNotStoredMessage(const QString &number, const QString &reason);

// How long a statement waits for another process's lock before it fails.
constexpr int DefaultHistoryBusyTimeoutMs = 3000;

// Read access; each reader opens its own connection. Rows come newest first.
// QueryDateTime holds the stored local wall-clock time in the system's time
// zone (timeSpec Qt::TimeZone): the same moment and the same date() and time()
// as Qt::LocalTime; format it with an explicit pattern rather than
// Qt::ISODate, which would append the zone's offset.
class HistoryReader
{
public:
    explicit HistoryReader(const QString &path);
    ~HistoryReader();
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    bool fileExists() const;
    // count: days for LastDays, rows for LastRequests, ignored for All.
    // On error returns no rows and sets *error.
    QList<HistoryRow> rows(const QString &number, HistoryRange range, int count,
                           QString *error = nullptr) const;
    std::optional<HistoryRow> latest(const QString &number, QString *error = nullptr) const;
    // The newest row of each number, in their order, all read from one state
    // of the file. On error returns nothing and sets *error.
    QList<std::optional<HistoryRow>> latestOf(const QStringList &numbers,
                                              QString *error = nullptr) const;

    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

private:
    struct Statements;
    Statements *statements(QString *error) const;

    QString m_path;
    int m_busyTimeoutMs = DefaultHistoryBusyTimeoutMs;
    // Opened at the first query and kept, with its prepared statements, for
    // the reader's lifetime.
    mutable std::unique_ptr<Statements> m_statements;
};

// The writer of one request cycle.
class HistoryStore
{
public:
    HistoryStore(const QString &path, const QString &errorLogFile);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Appends one row. True when a row was written. When a row could not be
    // written to an existing history, *failure is the message for the user
    // (also in the error log). A missing file writes its line to the error
    // log once and switches this writer off (fileMissing()); *failure stays
    // empty then, since whoever owns the options tells it on its own.
    bool storeResult(const PhoneResult &result, QString *failure = nullptr);
    // The file was missing at a write: nothing more is written by this writer.
    bool fileMissing() const { return m_switchedOff; }

    // The bounded wait for a lock held by another process (tests shorten it).
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

private:
    struct Writer;

    bool insertRow(const PhoneResult &result, QString *error);
    Writer *writer(QString *error);
    void closeWriter();
    void logError(const QString &message) const;

    QString m_path;
    QString m_errorLogFile;
    // Opened at the first row and kept, with its prepared insert, for the
    // writer's lifetime; dropped after a failed write and when the file at
    // the path is no longer the one it was opened on.
    std::unique_ptr<Writer> m_writer;
    int m_busyTimeoutMs = DefaultHistoryBusyTimeoutMs;
    // Set once the missing file has switched history off: the rest of the
    // cycle writes nothing and warns no more.
    bool m_switchedOff = false;
};

class PhoneList;
// Fills the records of monitored slots from their newest rows in the history
// at path. Nothing happens when the file is missing. Returns the number of
// slots filled, or -1 with *error when the database could not be read.
int loadLatestResults(const QString &path, const PhoneList &phones, PhoneResults &results,
                      QString *error = nullptr);

} // namespace zelvant
