#pragma once
// A thin owner of an SQLite connection and its statements. The history is an
// SQLite file and nothing else, so it is read and written through the
// library itself: no driver plug-in to look up and load at start, and no
// record object built for every row read.

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace zelvant {

class SqliteDatabase
{
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    // ExistingFile opens a file that is there already and never makes one
    // (a path taken as a "file:" address with mode=rw); NewFile may create it.
    enum class Open { ExistingFile, NewFile };
    // busyTimeoutMs: how long a statement waits for another process's lock.
    bool open(const QString &path, Open how, int busyTimeoutMs);
    bool isOpen() const { return m_open; }
    void close();

    // Runs statements that return no rows.
    bool exec(const char *sql);
    // The last error in the library's words, never empty after a failure.
    QString errorText() const;

    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr; // also after a failed open, for its message
    bool m_open = false;
};

// A prepared statement; its parameters count from 1, its columns from 0.
class SqliteStatement
{
public:
    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool prepare(SqliteDatabase &db, const char *sql);
    bool isPrepared() const { return m_statement != nullptr; }

    void bind(int index, const QString &text);
    void bind(int index, double value);
    void bind(int index, qint64 value);
    void bind(int index, int value) { bind(index, qint64(value)); }

    enum class Step { Row, Done, Error };
    Step step();
    // Ends the current run (releasing its read lock); the bindings stay.
    void reset();

    // A column as its stored type: qint64, double, QString, QByteArray, or an
    // invalid QVariant for NULL. Converted with QVariant's rules, a text
    // column that holds no number reads as 0.
    QVariant value(int column) const;
    bool isNull(int column) const;

    QString errorText() const;

private:
    SqliteDatabase *m_db = nullptr;
    sqlite3_stmt *m_statement = nullptr;
};

} // namespace zelvant
