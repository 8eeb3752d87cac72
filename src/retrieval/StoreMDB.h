#pragma once
// The history database "Zelvant.mdb" (an SQLite 3 file): the writer used
// during a request cycle and the readers of the windows, the export and the
// start-up preload.

#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "app/Lumo.h"

namespace zelvant {

class AppContext;

// 0 the whole history, 1 the last N days, 2 the last N requests.
enum class HistoryRange { All = 0, LastDays = 1, LastRequests = 2 };

// Creates an empty database with table Phones and its index when no file
// exists at path. True when a database is there afterwards.
bool InitHistory(const QString &path, QString *error = nullptr);

// Read access; each reader opens its own connection. Rows come newest first.
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

private:
    QString m_path;
    QString m_connection;
};

// Shows the warning of a missing history file; the widgets layer implements
// it with a message box, the command line with standard error.
class HistoryWarnings
{
public:
    virtual ~HistoryWarnings() = default;
    virtual void historyFileMissing(const QString &message) = 0;
};

// The writer of one request cycle.
class TmdbStore
{
public:
    // switchHistoryOff clears cbHistory and saves the settings.
    TmdbStore(const QString &path, const QString &errorLogFile, HistoryWarnings *warnings,
              std::function<void()> switchHistoryOff);
    ~TmdbStore();
    TmdbStore(const TmdbStore &) = delete;
    TmdbStore &operator=(const TmdbStore &) = delete;

    // Appends one row, or handles a missing file / a failing write as the
    // history rules say. True when a row was written.
    bool StoreResult(const TLumo &result);

private:
    QString m_path;
    QString m_errorLogFile;
    QString m_connection;
    HistoryWarnings *m_warnings;
    std::function<void()> m_switchHistoryOff;
};

// Fills the records of monitored slots from their newest rows. Nothing
// happens when the file is missing. Returns the number of slots filled, or
// -1 with *error when the database could not be read.
int LoadLastResults(AppContext &context, QString *error = nullptr);

} // namespace zelvant
