#include "core/history/SqliteDatabase.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace zelvant {

namespace {

// "file:" address for SQLite: mode=rw opens an existing file for writing and
// fails instead of creating one. The authority is always empty, so a Windows
// drive path becomes "file:///C:/..." and a network path "file:////server/...".
QByteArray existingFileUri(const QString &path)
{
    QString absolute = QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!absolute.startsWith(QLatin1Char('/')))
        absolute.prepend(QLatin1Char('/'));
    return QByteArrayLiteral("file://") + QUrl::toPercentEncoding(absolute, QByteArrayLiteral("/:"))
           + QByteArrayLiteral("?mode=rw");
}

QString unknownError()
{
    return QStringLiteral("неизвестная ошибка базы данных");
}

} // namespace

SqliteDatabase::~SqliteDatabase()
{
    close();
}

bool SqliteDatabase::open(const QString &path, Open how, int busyTimeoutMs)
{
    close();
    const QByteArray name = how == Open::ExistingFile ? existingFileUri(path) : path.toUtf8();
    const int flags = how == Open::ExistingFile ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI
                                                : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    // On failure SQLite still hands back a connection that carries the
    // message; it is kept until errorText() has been read.
    m_open = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr) == SQLITE_OK;
    if (m_db)
        sqlite3_busy_timeout(m_db, busyTimeoutMs);
    return m_open;
}

void SqliteDatabase::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_open = false;
}

bool SqliteDatabase::exec(const char *sql)
{
    return m_open && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

QString SqliteDatabase::errorText() const
{
    if (!m_db)
        return unknownError();
    const QString text = QString::fromUtf8(sqlite3_errmsg(m_db)).trimmed();
    return text.isEmpty() ? unknownError() : text;
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

bool SqliteStatement::prepare(SqliteDatabase &db, const char *sql)
{
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    m_db = &db;
    return db.isOpen()
           && sqlite3_prepare_v2(db.handle(), sql, -1, &m_statement, nullptr) == SQLITE_OK
           && m_statement;
}

void SqliteStatement::bind(int index, const QString &text)
{
    // A null QString is bound as the empty text, not as SQL NULL, which no
    // comparison ever matches.
    static const char16_t empty[] = u"";
    const void *data = text.isNull() ? static_cast<const void *>(empty) : text.utf16();
    sqlite3_bind_text16(m_statement, index, data, int(text.size() * sizeof(char16_t)),
                        SQLITE_TRANSIENT);
}

void SqliteStatement::bind(int index, double value)
{
    sqlite3_bind_double(m_statement, index, value);
}

void SqliteStatement::bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_statement, index, value);
}

SqliteStatement::Step SqliteStatement::step()
{
    if (!m_statement)
        return Step::Error;
    switch (sqlite3_step(m_statement)) {
    case SQLITE_ROW:
        return Step::Row;
    case SQLITE_DONE:
        return Step::Done;
    default:
        return Step::Error;
    }
}

void SqliteStatement::reset()
{
    if (m_statement)
        sqlite3_reset(m_statement);
}

QVariant SqliteStatement::value(int column) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_TEXT: {
        const auto *text =
            static_cast<const char16_t *>(sqlite3_column_text16(m_statement, column));
        return QVariant(QString::fromUtf16(text, sqlite3_column_bytes16(m_statement, column) / 2));
    }
    case SQLITE_BLOB: {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_statement, column)));
    }
    default:
        return QVariant();
    }
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QString SqliteStatement::errorText() const
{
    return m_db ? m_db->errorText() : unknownError();
}

} // namespace zelvant
