#include "core/history/HistoryStore.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QTime>
#include <QTimeZone>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <charconv>
#include <cmath>
#include <string>

#include "core/AppPaths.h"
#include "core/ErrorLog.h"
#include "core/FileIdentity.h"
#include "core/Logging.h"
#include "core/config/AtomicWrite.h"
#include "core/config/PhoneList.h"

namespace zelvant {

namespace {

const QString SqliteDriver = QStringLiteral("QSQLITE");

const QString CreateTableSql = QStringLiteral(
    "CREATE TABLE Phones (NN INTEGER PRIMARY KEY AUTOINCREMENT, PhoneNumber TEXT, "
    "QueryDateTime TEXT, Balance REAL, Average REAL, TurnOff INTEGER, Recomend REAL, "
    "SMS INTEGER, Minutes INTEGER, USDRate REAL)");
const QString CreateIndexSql =
    QStringLiteral("CREATE INDEX PhonesByNumber ON Phones (PhoneNumber, NN)");

// The query time is the database's local clock at the insert, as text that
// sorts and compares in time order.
const QString InsertSql = QStringLiteral(
    "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, Recomend, "
    "SMS, Minutes, USDRate) VALUES (?, datetime('now', 'localtime'), ?, ?, ?, ?, ?, ?, ?)");

#define ZELVANT_HISTORY_SELECT                                                                     \
    "SELECT NN, PhoneNumber, QueryDateTime, Balance, Average, TurnOff, Recomend, SMS, Minutes, "   \
    "USDRate FROM Phones WHERE PhoneNumber = ? "

const QString SelectAllSql = QStringLiteral(ZELVANT_HISTORY_SELECT "ORDER BY NN DESC");
const QString SelectLastSql = QStringLiteral(ZELVANT_HISTORY_SELECT "ORDER BY NN DESC LIMIT ?");
const QString SelectDaysSql = QStringLiteral(
    ZELVANT_HISTORY_SELECT "AND QueryDateTime > datetime('now', 'localtime', ?) ORDER BY NN DESC");
const QString SelectLatestSql = QStringLiteral(ZELVANT_HISTORY_SELECT "ORDER BY NN DESC LIMIT 1");

#undef ZELVANT_HISTORY_SELECT

QString nextConnectionName(const char *kind)
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("zelvant-history-%1-%2").arg(QLatin1String(kind)).arg(++counter);
}

// Removes a named connection once no QSqlDatabase copy of it is left in scope.
void removeConnection(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// A bound null QString would be stored (and looked up) as SQL NULL, which no
// comparison ever matches; an absent number is the empty text.
QString nonNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QString fileMissingText()
{
    return QStringLiteral("Файл истории баланса Zelvant.mdb не найден!");
}

enum class FileState { Missing, Database, Other };

// Looks at the first bytes: a history file must be an SQLite 3 database. An
// old file of another format (or an empty one, which SQLite would silently
// take for a fresh database) is left alone rather than opened for writing.
FileState inspectFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileState::Missing;
    if (!info.isFile()) {
        *error = QStringLiteral("%1 не является файлом").arg(info.fileName());
        return FileState::Other;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(info.fileName(), file.errorString());
        return FileState::Other;
    }
    static const QByteArray magic("SQLite format 3\0", 16);
    if (file.read(magic.size()) != magic) {
        *error = QStringLiteral("%1 не является базой данных SQLite; файл оставлен без изменений")
                     .arg(info.fileName());
        return FileState::Other;
    }
    return FileState::Database;
}

// "file:" address for SQLite: mode=rw opens an existing file for writing and
// fails instead of creating one. The authority is always empty, so a Windows
// drive path becomes "file:///C:/..." and a network path "file:////server/...".
QString writeUri(const QString &path)
{
    QString absolute = QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!absolute.startsWith(QLatin1Char('/')))
        absolute.prepend(QLatin1Char('/'));
    return QStringLiteral("file://")
           + QString::fromLatin1(QUrl::toPercentEncoding(absolute, QByteArrayLiteral("/:")))
           + QStringLiteral("?mode=rw");
}

QString errorText(const QSqlError &error)
{
    QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("неизвестная ошибка базы данных") : text;
}

int twoDigits(const QChar *p)
{
    return (p[0].unicode() - '0') * 10 + (p[1].unicode() - '0');
}

bool allDigits(QStringView text, std::initializer_list<int> positions)
{
    for (int i : positions) {
        if (i >= text.size() || text[i] < u'0' || text[i] > u'9')
            return false;
    }
    return true;
}

// "YYYY-MM-DD HH:MM:SS" as written by datetime(); other forms that a hand-made
// row may hold go through the general ISO reader. The wall-clock time is
// placed in the system's time zone: the same moment as Qt::LocalTime, but
// converted with Qt's cached zone rules instead of the C library's mktime,
// which re-reads the zone file's status on every call and would dominate the
// reading of a long history.
QDateTime parseStoredTime(const QString &text, const QTimeZone &zone)
{
    const QStringView view(text);
    if (view.size() == 19 && allDigits(view, {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
        && view[4] == u'-' && view[7] == u'-' && (view[10] == u' ' || view[10] == u'T')
        && view[13] == u':' && view[16] == u':') {
        const QChar *p = view.data();
        const QDate date(twoDigits(p) * 100 + twoDigits(p + 2), twoDigits(p + 5), twoDigits(p + 8));
        const QTime time(twoDigits(p + 11), twoDigits(p + 14), twoDigits(p + 17));
        return zone.isValid() ? QDateTime(date, time, zone) : QDateTime(date, time, Qt::LocalTime);
    }
    QDateTime parsed = QDateTime::fromString(text, Qt::ISODate);
    if (!parsed.isValid())
        parsed = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return parsed;
}

HistoryRow rowFrom(const QSqlQuery &query, const QTimeZone &zone)
{
    HistoryRow row;
    row.rowId = query.value(0).toLongLong();
    row.phoneNumber = query.value(1).toString();
    row.queryDateTime = parseStoredTime(query.value(2).toString(), zone);
    row.balance = query.value(3).toDouble();
    row.hasBalance = !query.value(3).isNull();
    row.averagePerDay = query.value(4).toDouble();
    row.turnOffDays = query.value(5).toInt();
    row.recommendedPayment = query.value(6).toDouble();
    row.smsLeft = query.value(7).toInt();
    row.minutes = query.value(8).toInt();
    row.usdRate = query.value(9).toDouble();
    return row;
}

} // namespace

QString historyNotStoredMessage(const QString &number, const QString &reason)
{
    return QStringLiteral("История не записана: %1 (телефон %2)").arg(reason, number);
}

bool initHistory(const QString &path, QString *error)
{
    QString problem;
    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };

    const QFileInfo target(path);
    if (target.exists() || target.isSymLink()) {
        // An existing file is never touched; it only has to be a usable history.
        if (inspectFile(path, &problem) != FileState::Database)
            return fail(problem);
        HistoryReader reader(path);
        reader.latest(QString(), &problem);
        if (!problem.isEmpty())
            return fail(QStringLiteral("%1: %2").arg(target.fileName(), problem));
        return true;
    }

    // Built under a temporary name and moved into place, so no half-made
    // database is ever seen under the real name and an existing one is never
    // replaced.
    if (!prepareFolderFor(path, error))
        return false;
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.Zelvant.mdb.XXXXXX"));
    if (!file.open())
        return fail(QStringLiteral("%1: %2").arg(target.absolutePath(), file.errorString()));
    file.close();

    const QString connection = nextConnectionName("init");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(SqliteDriver, connection);
        db.setDatabaseName(file.fileName());
        if (!db.open()) {
            problem = errorText(db.lastError());
        } else {
            QSqlQuery query(db);
            if (!query.exec(CreateTableSql) || !query.exec(CreateIndexSql))
                problem = errorText(query.lastError());
        }
    }
    removeConnection(connection);
    if (!problem.isEmpty())
        return fail(problem);

    // The history names the subscribers' numbers and balances: readable by
    // its owner only, in a portable folder as well.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!file.rename(target.absoluteFilePath())) {
        if (QFileInfo::exists(path))
            return fail(QStringLiteral("%1 появился во время создания; оставлен без изменений")
                            .arg(target.fileName()));
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
    file.setAutoRemove(false);
    syncFolder(target.absolutePath());
    return true;
}

bool initHistoryAtFirstStart(const AppPaths &paths, QString *error)
{
    if (paths.mode() != FileMode::Installed || QFileInfo::exists(paths.dataDir()))
        return true;
    return initHistory(paths.historyFile(), error);
}

// ---------------------------------------------------------------------------
// Readers

struct HistoryReader::Statements
{
    enum Kind { All, Last, Days, Latest, KindCount };

    QSqlDatabase db;
    QTimeZone zone = QTimeZone::systemTimeZone();
    QSqlQuery queries[KindCount];
    bool prepared[KindCount] = {false, false, false, false};

    QSqlQuery *query(Kind kind, QString *error)
    {
        QSqlQuery &q = queries[kind];
        if (!prepared[kind]) {
            static const QString *const texts[KindCount] = {&SelectAllSql, &SelectLastSql,
                                                            &SelectDaysSql, &SelectLatestSql};
            q = QSqlQuery(db);
            q.setForwardOnly(true);
            if (!q.prepare(*texts[kind])) {
                *error = errorText(q.lastError());
                return nullptr;
            }
            prepared[kind] = true;
        }
        return &q;
    }
};

HistoryReader::HistoryReader(const QString &path)
    : m_path(path)
    , m_connection(nextConnectionName("reader"))
{
}

HistoryReader::~HistoryReader()
{
    m_statements.reset();
    removeConnection(m_connection);
}

bool HistoryReader::fileExists() const
{
    return QFileInfo::exists(m_path);
}

HistoryReader::Statements *HistoryReader::statements(QString *error) const
{
    if (m_statements)
        return m_statements.get();
    switch (inspectFile(m_path, error)) {
    case FileState::Missing:
        *error = fileMissingText();
        return nullptr;
    case FileState::Other:
        return nullptr;
    case FileState::Database:
        break;
    }
    auto statements = std::make_unique<Statements>();
    statements->db = QSqlDatabase::contains(m_connection)
                         ? QSqlDatabase::database(m_connection, false)
                         : QSqlDatabase::addDatabase(SqliteDriver, m_connection);
    // Opened for writing but never created: a writer that died inside a
    // write left a hot journal, which must be rolled back before anything
    // can be read, and only a connection that may write can do that. A
    // reader runs no statement that changes the file, and a file it may not
    // write is opened for reading all the same.
    statements->db.setDatabaseName(writeUri(m_path));
    statements->db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
    if (!statements->db.open()) {
        *error = errorText(statements->db.lastError());
        return nullptr;
    }
    m_statements = std::move(statements);
    return m_statements.get();
}

QList<HistoryRow> HistoryReader::rows(const QString &number, HistoryRange range, int count,
                                      QString *error) const
{
    QString problem;
    QList<HistoryRow> result;
    Statements *statements = this->statements(&problem);
    QSqlQuery *query = nullptr;
    if (statements) {
        switch (range) {
        case HistoryRange::All:
            query = statements->query(Statements::All, &problem);
            break;
        case HistoryRange::LastRequests:
            query = statements->query(Statements::Last, &problem);
            break;
        case HistoryRange::LastDays:
            query = statements->query(Statements::Days, &problem);
            break;
        }
    }
    if (query) {
        query->bindValue(0, nonNull(number));
        if (range == HistoryRange::LastRequests)
            query->bindValue(1, qMax(count, 0)); // a negative LIMIT would mean "no limit"
        else if (range == HistoryRange::LastDays)
            query->bindValue(1, QStringLiteral("%1 days").arg(-qint64(count)));
        if (query->exec()) {
            if (range == HistoryRange::LastRequests)
                result.reserve(qMax(count, 0));
            while (query->next())
                result.append(rowFrom(*query, statements->zone));
            if (query->lastError().isValid()) {
                problem = errorText(query->lastError());
                result.clear();
            }
        } else {
            problem = errorText(query->lastError());
        }
        query->finish();
    }
    if (error)
        *error = problem;
    return result;
}

std::optional<HistoryRow> HistoryReader::latest(const QString &number, QString *error) const
{
    QString problem;
    std::optional<HistoryRow> result;
    Statements *statements = this->statements(&problem);
    QSqlQuery *query = statements ? statements->query(Statements::Latest, &problem) : nullptr;
    if (query) {
        query->bindValue(0, nonNull(number));
        if (!query->exec()) {
            problem = errorText(query->lastError());
        } else if (query->next()) {
            result = rowFrom(*query, statements->zone);
        } else if (query->lastError().isValid()) {
            problem = errorText(query->lastError());
        }
        query->finish();
    }
    if (error)
        *error = problem;
    return result;
}

// ---------------------------------------------------------------------------
// Writer

struct HistoryStore::Writer
{
    QSqlDatabase db;
    QSqlQuery insert; // declared after db: finalized before the connection closes
    FileIdentity identity;
};

HistoryStore::HistoryStore(const QString &path, const QString &errorLogFile)
    : m_path(path)
    , m_errorLogFile(errorLogFile)
    , m_connection(nextConnectionName("writer"))
{
}

HistoryStore::~HistoryStore()
{
    closeWriter();
}

void HistoryStore::closeWriter()
{
    m_writer.reset();
    removeConnection(m_connection);
}

void HistoryStore::logError(const QString &message) const
{
    // A log that cannot be written loses only this line; storing goes on.
    writeErrorLog(message, m_errorLogFile);
}

bool HistoryStore::storeResult(const PhoneResult &result, QString *failure)
{
    if (failure)
        failure->clear();
    if (m_switchedOff)
        return false;

    // Checked for every result: a file removed during a cycle is noticed at
    // the next phone.
    if (!QFileInfo::exists(m_path)) {
        m_switchedOff = true;
        closeWriter();
        logError(HistoryFileMissingMessage);
        return false;
    }

    QString error;
    if (!insertRow(result, &error)) {
        const QString message = historyNotStoredMessage(result.phoneNumber, error);
        // On a full disk this line is lost too; the caller tells the user.
        logError(message);
        if (failure)
            *failure = message;
        qCInfo(lcHistory) << "row not written:" << error;
        return false;
    }
    qCDebug(lcHistory) << "row written for" << result.phoneNumber;
    return true;
}

HistoryStore::Writer *HistoryStore::writer(QString *error)
{
    const FileIdentity identity = identityOf(m_path);
    if (m_writer && m_writer->identity.sameAs(identity))
        return m_writer.get();
    // First row, or another file now lies under the name: never write through
    // a handle on a file that was deleted or replaced.
    closeWriter();

    auto writer = std::make_unique<Writer>();
    const auto fail = [&](const QString &message) -> Writer * {
        *error = message;
        writer.reset();
        closeWriter();
        return nullptr;
    };
    writer->identity = identity;
    writer->db = QSqlDatabase::addDatabase(SqliteDriver, m_connection);
    writer->db.setDatabaseName(writeUri(m_path));
    writer->db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
    if (!writer->db.open())
        return fail(errorText(writer->db.lastError()));

    // The commit of each row stays fully synced in the file's own journal
    // mode (a plain rollback journal unless someone chose otherwise): the
    // fsyncs are now most of a row's cost, and they are what keeps the file
    // intact through a power cut. synchronous=NORMAL with a rollback journal
    // saves one of four and leaves a small window for a corrupt file; WAL
    // would drop them all but marks the file as WAL for good, puts -wal and
    // -shm files beside it (a copy of the bare file misses rows, read-only
    // readers create them, network folders cannot share it). Set here rather
    // than left to the library's build default; it changes nothing in the file.
    QString problem;
    {
        QSqlQuery pragma(writer->db);
        if (!pragma.exec(QStringLiteral("PRAGMA synchronous = FULL")))
            problem = errorText(pragma.lastError());
    }
    if (!problem.isEmpty())
        return fail(problem);

    writer->insert = QSqlQuery(writer->db);
    if (!writer->insert.prepare(InsertSql))
        return fail(errorText(writer->insert.lastError()));
    // The file checked and the file opened must be the same one.
    if (identity.known && !identity.sameAs(identityOf(m_path)))
        return fail(QStringLiteral("файл заменён во время открытия"));
    m_writer = std::move(writer);
    return m_writer.get();
}

bool HistoryStore::insertRow(const PhoneResult &result, QString *error)
{
    // The header is looked at before every write, not only at opening: a
    // file overwritten in place with something else keeps its identity.
    if (inspectFile(m_path, error) != FileState::Database) {
        if (error->isEmpty())
            *error = fileMissingText();
        closeWriter();
        return false;
    }

    Writer *writer = this->writer(error);
    if (!writer)
        return false;

    // Each row is its own transaction, committed before the next phone is
    // asked: a crash loses at most the row being written.
    QSqlQuery &query = writer->insert;
    query.bindValue(0, nonNull(result.phoneNumber));
    query.bindValue(1, roundDecimals(result.balance, 2));
    query.bindValue(2, roundDecimals(result.averagePerDay, 2));
    query.bindValue(3, int(result.turnOffDays));
    query.bindValue(4, roundDecimals(result.recommendedPayment, 2));
    query.bindValue(5, int(result.smsLeft));
    query.bindValue(6, int(result.minutesLeft));
    query.bindValue(7, roundDecimals(result.usdRate, 4));
    const bool ok = query.exec();
    if (!ok)
        *error = errorText(query.lastError());
    // Resets the statement: no lock is held between the phones of a cycle.
    query.finish();
    if (!ok) {
        // The next row starts over with a fresh connection, as after any
        // failure nothing of this one is worth keeping.
        closeWriter();
    }
    return ok;
}

// ---------------------------------------------------------------------------

int loadLatestResults(const QString &path, const PhoneList &phones, PhoneResults &results,
                      QString *error)
{
    if (!QFileInfo::exists(path))
        return 0;

    HistoryReader reader(path);
    int filled = 0;
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        if (!phones.isMonitored(slot))
            continue;
        const QString number = phones.numberOf(slot);
        if (number.isEmpty())
            continue; // a cycle never stores a phone without a number
        QString problem;
        const std::optional<HistoryRow> row = reader.latest(number, &problem);
        if (!problem.isEmpty()) {
            if (error)
                *error = problem;
            return -1;
        }
        if (!row)
            continue;
        results[slot] = fillFromHistory(results[slot], slot, number, phones.aliasOf(slot), *row);
        ++filled;
    }
    qCDebug(lcHistory) << "start-up preload filled" << filled << "slots";
    return filled;
}

} // namespace zelvant
