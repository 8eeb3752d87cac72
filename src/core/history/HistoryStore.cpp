#include "core/history/HistoryStore.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTime>
#include <QTimeZone>
#include <QVariant>

#include <cmath>

#include "core/AppPaths.h"
#include "core/ErrorLog.h"
#include "core/FileIdentity.h"
#include "core/Logging.h"
#include "core/config/AtomicWrite.h"
#include "core/config/PhoneList.h"
#include "core/history/SqliteDatabase.h"

namespace zelvant {

namespace {

const char CreateTableSql[] =
    "CREATE TABLE Phones (NN INTEGER PRIMARY KEY AUTOINCREMENT, PhoneNumber TEXT, "
    "QueryDateTime TEXT, Balance REAL, Average REAL, TurnOff INTEGER, Recomend REAL, "
    "SMS INTEGER, Minutes INTEGER, USDRate REAL)";
const char CreateIndexSql[] = "CREATE INDEX PhonesByNumber ON Phones (PhoneNumber, NN)";

// The query time is the database's local clock at the insert, as text that
// sorts and compares in time order.
const char InsertSql[] =
    "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, Recomend, "
    "SMS, Minutes, USDRate) VALUES (?, datetime('now', 'localtime'), ?, ?, ?, ?, ?, ?, ?)";

#define ZELVANT_HISTORY_SELECT                                                                     \
    "SELECT NN, PhoneNumber, QueryDateTime, Balance, Average, TurnOff, Recomend, SMS, Minutes, "   \
    "USDRate FROM Phones WHERE PhoneNumber = ? "

const char SelectAllSql[] = ZELVANT_HISTORY_SELECT "ORDER BY NN DESC";
const char SelectLastSql[] = ZELVANT_HISTORY_SELECT "ORDER BY NN DESC LIMIT ?";
const char SelectDaysSql[] =
    ZELVANT_HISTORY_SELECT "AND QueryDateTime > datetime('now', 'localtime', ?) ORDER BY NN DESC";
const char SelectLatestSql[] = ZELVANT_HISTORY_SELECT "ORDER BY NN DESC LIMIT 1";

#undef ZELVANT_HISTORY_SELECT

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

HistoryRow rowFrom(const SqliteStatement &query, const QTimeZone &zone)
{
    HistoryRow row;
    row.rowId = query.value(0).toLongLong();
    row.phoneNumber = query.value(1).toString();
    row.queryDateTime = parseStoredTime(query.value(2).toString(), zone);
    row.balance = query.value(3).toDouble();
    row.hasBalance = !query.isNull(3);
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

    {
        SqliteDatabase db;
        if (!db.open(file.fileName(), SqliteDatabase::Open::NewFile, DefaultHistoryBusyTimeoutMs)
            || !db.exec(CreateTableSql) || !db.exec(CreateIndexSql))
            problem = db.errorText();
    }
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

    SqliteDatabase db;
    QTimeZone zone = QTimeZone::systemTimeZone();
    SqliteStatement queries[KindCount]; // finalized before the connection closes

    SqliteStatement *query(Kind kind, QString *error)
    {
        SqliteStatement &q = queries[kind];
        if (!q.isPrepared()) {
            static const char *const texts[KindCount] = {SelectAllSql, SelectLastSql, SelectDaysSql,
                                                         SelectLatestSql};
            if (!q.prepare(db, texts[kind])) {
                *error = db.errorText();
                return nullptr;
            }
        }
        return &q;
    }

    // The rows of one run of q, newest first; on an error none and *error.
    QList<HistoryRow> read(SqliteStatement &q, qsizetype limit, QString *error)
    {
        QList<HistoryRow> rows;
        for (;;) {
            const SqliteStatement::Step step = q.step();
            if (step == SqliteStatement::Step::Done)
                break;
            if (step == SqliteStatement::Step::Error) {
                *error = q.errorText();
                rows.clear();
                break;
            }
            rows.append(rowFrom(q, zone));
            if (rows.size() == limit)
                break;
        }
        // No read lock is kept between two queries.
        q.reset();
        return rows;
    }
};

HistoryReader::HistoryReader(const QString &path)
    : m_path(path)
{
}

HistoryReader::~HistoryReader() = default;

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
    // Opened for writing but never created: a writer that died inside a
    // write left a hot journal, which must be rolled back before anything
    // can be read, and only a connection that may write can do that. A
    // reader runs no statement that changes the file, and a file it may not
    // write is opened for reading all the same.
    if (!statements->db.open(m_path, SqliteDatabase::Open::ExistingFile, m_busyTimeoutMs)) {
        *error = statements->db.errorText();
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
    SqliteStatement *query = nullptr;
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
        query->bind(1, number);
        if (range == HistoryRange::LastRequests)
            query->bind(2, qMax(count, 0)); // a negative LIMIT would mean "no limit"
        else if (range == HistoryRange::LastDays)
            query->bind(2, QStringLiteral("%1 days").arg(-qint64(count)));
        result = statements->read(*query, -1, &problem);
    }
    if (error)
        *error = problem;
    return result;
}

std::optional<HistoryRow> HistoryReader::latest(const QString &number, QString *error) const
{
    const QList<std::optional<HistoryRow>> rows = latestOf({number}, error);
    return rows.isEmpty() ? std::nullopt : rows.first();
}

QList<std::optional<HistoryRow>> HistoryReader::latestOf(const QStringList &numbers,
                                                         QString *error) const
{
    QString problem;
    QList<std::optional<HistoryRow>> result;
    Statements *statements = this->statements(&problem);
    SqliteStatement *query = statements ? statements->query(Statements::Latest, &problem) : nullptr;
    // One read transaction for all: the rows come from one state of the
    // file, and the lock is taken and the journal looked for once, not once
    // a phone.
    if (query && numbers.size() > 1 && !statements->db.exec("BEGIN"))
        problem = statements->db.errorText();
    if (query && problem.isEmpty()) {
        result.reserve(numbers.size());
        for (const QString &number : numbers) {
            query->bind(1, number);
            const QList<HistoryRow> rows = statements->read(*query, 1, &problem);
            if (!problem.isEmpty()) {
                result.clear();
                break;
            }
            result.append(rows.isEmpty() ? std::nullopt : std::optional(rows.first()));
        }
        if (numbers.size() > 1)
            statements->db.exec("COMMIT");
    }
    if (error)
        *error = problem;
    return result;
}

// ---------------------------------------------------------------------------
// Writer

struct HistoryStore::Writer
{
    SqliteDatabase db;
    SqliteStatement insert; // declared after db: finalized before the connection closes
    FileIdentity identity;
};

HistoryStore::HistoryStore(const QString &path, const QString &errorLogFile)
    : m_path(path)
    , m_errorLogFile(errorLogFile)
{
}

HistoryStore::~HistoryStore()
{
    closeWriter();
}

void HistoryStore::closeWriter()
{
    m_writer.reset();
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
    if (!writer->db.open(m_path, SqliteDatabase::Open::ExistingFile, m_busyTimeoutMs))
        return fail(writer->db.errorText());

    // The commit of each row stays fully synced in the file's own journal
    // mode (a plain rollback journal unless someone chose otherwise): the
    // fsyncs are now most of a row's cost, and they are what keeps the file
    // intact through a power cut. synchronous=NORMAL with a rollback journal
    // saves one of four and leaves a small window for a corrupt file; WAL
    // would drop them all but marks the file as WAL for good, puts -wal and
    // -shm files beside it (a copy of the bare file misses rows, read-only
    // readers create them, network folders cannot share it). Set here rather
    // than left to the library's build default; it changes nothing in the file.
    if (!writer->db.exec("PRAGMA synchronous = FULL"))
        return fail(writer->db.errorText());
    if (!writer->insert.prepare(writer->db, InsertSql))
        return fail(writer->db.errorText());
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
    SqliteStatement &query = writer->insert;
    query.bind(1, result.phoneNumber);
    query.bind(2, roundDecimals(result.balance, 2));
    query.bind(3, roundDecimals(result.averagePerDay, 2));
    query.bind(4, int(result.turnOffDays));
    query.bind(5, roundDecimals(result.recommendedPayment, 2));
    query.bind(6, int(result.smsLeft));
    query.bind(7, int(result.minutesLeft));
    query.bind(8, roundDecimals(result.usdRate, 4));
    const bool ok = query.step() == SqliteStatement::Step::Done;
    if (!ok)
        *error = query.errorText();
    // Resets the statement: no lock is held between the phones of a cycle.
    query.reset();
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

    QList<int> slots;
    QStringList numbers;
    for (int slot = 1; slot <= PhoneSlotCount; ++slot) {
        const QString number = phones.numberOf(slot);
        // A cycle never stores a phone without a number.
        if (phones.isMonitored(slot) && !number.isEmpty()) {
            slots << slot;
            numbers << number;
        }
    }
    QString problem;
    const QList<std::optional<HistoryRow>> rows = HistoryReader(path).latestOf(numbers, &problem);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return -1;
    }
    int filled = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows[i])
            continue;
        const int slot = slots[i];
        results[slot] =
            fillFromHistory(results[slot], slot, numbers[i], phones.aliasOf(slot), *rows[i]);
        ++filled;
    }
    qCDebug(lcHistory) << "start-up preload filled" << filled << "slots";
    return filled;
}

} // namespace zelvant
