// The history database: rounding, storing and reading back, ranges, the
// missing / locked / foreign file, the start-up preload and the command line.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <cstdio>
#include <functional>
#include <vector>

#include "core/PhoneResult.h"
#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "core/history/HistoryStore.h"
#include "core/history/ResultStore.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

// A plain read-write connection of the test's own, for what the program never
// does: rows with chosen times, locks, looking at the schema.
class RawDb
{
public:
    explicit RawDb(const QString &path)
        : m_name(QStringLiteral("raw-%1").arg(++s_counter))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        if (!db.open())
            ADD_FAILURE() << db.lastError().text().toStdString();
    }
    ~RawDb()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    bool exec(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        const bool ok = query.exec(sql);
        if (!ok)
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return ok;
    }
    QVariant scalar(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql) || !query.next()) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return {};
        }
        return query.value(0);
    }
    QString columnText(const QString &sql, int column)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        QStringList values;
        if (query.exec(sql)) {
            while (query.next())
                values << query.value(column).toString();
        }
        return values.join(QLatin1Char('|'));
    }
    // A row whose time is an SQL expression such as
    // "datetime('now','localtime','-47 hours')".
    void insert(const QString &number, const QString &timeExpression, double balance)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.prepare(QStringLiteral("INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, "
                                     "Average, TurnOff, Recomend, SMS, Minutes, USDRate) "
                                     "VALUES (?, %1, ?, 0, 0, 0, 0, 0, 0)")
                          .arg(timeExpression));
        query.addBindValue(number);
        query.addBindValue(balance);
        if (!query.exec())
            ADD_FAILURE() << query.lastError().text().toStdString();
    }

private:
    static inline int s_counter = 0;
    QString m_name;
};

PhoneResult sampleResult(const QString &number)
{
    PhoneResult result;
    result.slot = 7;
    result.alias = QStringLiteral("Дача");
    result.userName = QStringLiteral("Иванов");
    result.phoneNumber = number;
    result.balance = -12.5f;
    result.averagePerDay = 3.456f;
    result.turnOffDays = 4;
    result.recommendedPayment = 0;
    result.smsLeft = 0;
    result.minutesLeft = 75;
    result.balanceExpiresDays = 9;
    result.usdRate = 28.1234f;
    result.lastQueryTime = QDateTime::currentDateTime();
    result.queryOk = true;
    return result;
}

QStringList logLines(const TempFolder &dir)
{
    const QString text = fromWindows1251(dir.read(QStringLiteral("Zelvant.err")));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList filesIn(const TempFolder &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

struct StoreFixture
{
    TempFolder dir;
    QString path = dir.file(QStringLiteral("Zelvant.mdb"));
    QString log = dir.file(QStringLiteral("Zelvant.err"));
    HistoryStore store{path, log};
};

} // namespace

TEST(HistoryRounding, HalfAwayFromZeroOnTheShortestDecimalForm)
{
    EXPECT_EQ(roundDecimals(-12.5f, 2), -12.5);
    EXPECT_EQ(roundDecimals(3.456f, 2), 3.46);
    EXPECT_EQ(roundDecimals(28.1234f, 4), 28.1234); // not 28.123399734...
    EXPECT_EQ(roundDecimals(2.675f, 2), 2.68);      // binary 2.67499995 would give 2.67
    EXPECT_EQ(roundDecimals(-2.675f, 2), -2.68);
    EXPECT_EQ(roundDecimals(0.005f, 2), 0.01);
    EXPECT_EQ(roundDecimals(9.995f, 2), 10.0); // carry through every digit
    EXPECT_EQ(roundDecimals(-99.999f, 2), -100.0);
    EXPECT_EQ(roundDecimals(1e-7f, 2), 0.0);
    EXPECT_FALSE(std::signbit(roundDecimals(-0.001f, 2))); // no "-0.00" stored
    EXPECT_EQ(roundDecimals(123456.78f, 2), 123456.78);
    EXPECT_EQ(roundDecimals(2.675, 2), 2.68); // doubles too: the text "2.675"
    EXPECT_EQ(roundDecimals(0.125, 2), 0.13);
    EXPECT_EQ(roundDecimals(7.0f, 0), 7.0);
    EXPECT_TRUE(std::isnan(roundDecimals(std::nanf(""), 2)));
}

TEST(HistoryStore, StoresRoundedValuesAndReadsThemBack)
{
    StoreFixture f;
    ASSERT_TRUE(initHistory(f.path));

    // A decimal comma in the user's locale changes nothing.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const bool stored = f.store.storeResult(sampleResult(QStringLiteral("9161234567")));
    PhoneResult other = sampleResult(QStringLiteral("9037654321"));
    other.balance = 2.675f;
    other.averagePerDay = 0.004f;
    other.recommendedPayment = 150.0f;
    other.smsLeft = 12;
    other.usdRate = 27.55555f;
    const bool storedOther = f.store.storeResult(other);
    QLocale::setDefault(previous);
    ASSERT_TRUE(stored);
    ASSERT_TRUE(storedOther);

    HistoryReader reader(f.path);
    EXPECT_TRUE(reader.fileExists());
    QString error;
    const std::optional<HistoryRow> row = reader.latest(QStringLiteral("9161234567"), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->phoneNumber, QStringLiteral("9161234567"));
    EXPECT_EQ(row->balance, -12.5);
    EXPECT_EQ(row->averagePerDay, 3.46);
    EXPECT_EQ(row->turnOffDays, 4);
    EXPECT_EQ(row->recommendedPayment, 0.0);
    EXPECT_EQ(row->smsLeft, 0);
    EXPECT_EQ(row->minutes, 75);
    EXPECT_EQ(row->usdRate, 28.1234);
    ASSERT_TRUE(row->queryDateTime.isValid());
    EXPECT_LE(qAbs(row->queryDateTime.secsTo(QDateTime::currentDateTime())), 5);

    const std::optional<HistoryRow> second = reader.latest(QStringLiteral("9037654321"));
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->balance, 2.68);
    EXPECT_EQ(second->averagePerDay, 0.0);
    EXPECT_EQ(second->recommendedPayment, 150.0);
    EXPECT_EQ(second->smsLeft, 12);
    EXPECT_EQ(second->usdRate, 27.5556);
    EXPECT_GT(second->rowId, row->rowId);

    // What another program reading the file sees: real numbers that print as
    // the rounded decimals, and the local time as text.
    RawDb raw(f.path);
    EXPECT_EQ(raw.scalar(QStringLiteral("SELECT printf('%.2f|%.2f|%.4f|%s', Balance, Average, "
                                        "USDRate, typeof(Balance)) FROM Phones WHERE NN = %1")
                             .arg(row->rowId))
                  .toString(),
              QStringLiteral("-12.50|3.46|28.1234|real"));
    static const QRegularExpression timeShape(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    EXPECT_TRUE(
        timeShape
            .match(
                raw.scalar(QStringLiteral("SELECT QueryDateTime FROM Phones LIMIT 1")).toString())
            .hasMatch());

    EXPECT_FALSE(f.store.fileMissing());
    EXPECT_FALSE(QFile::exists(f.log));
}

TEST(HistoryStore, NumbersWithQuotesOrSqlTextAreOrdinaryValues)
{
    StoreFixture f;
    ASSERT_TRUE(initHistory(f.path));
    const QStringList numbers = {QStringLiteral("12'3"), QStringLiteral("' OR '1'='1"),
                                 QStringLiteral("1'); DROP TABLE Phones; --"),
                                 QStringLiteral("9161234567")};
    for (const QString &number : numbers)
        ASSERT_TRUE(f.store.storeResult(sampleResult(number))) << number.toStdString();

    HistoryReader reader(f.path);
    for (const QString &number : numbers) {
        const QList<HistoryRow> rows = reader.rows(number, HistoryRange::All, 0);
        ASSERT_EQ(rows.size(), 1) << number.toStdString();
        EXPECT_EQ(rows[0].phoneNumber, number);
    }
    // An injected condition matches nothing, and the table is still there.
    EXPECT_TRUE(reader.rows(QStringLiteral("x' OR 'a'='a"), HistoryRange::All, 0).isEmpty());
    RawDb raw(f.path);
    EXPECT_EQ(raw.scalar(QStringLiteral("SELECT count(*) FROM Phones")).toInt(), 4);

    // A program folder whose name holds the characters of an address.
    const QString folder = f.dir.file(QStringLiteral("Мои программы ?#%20&mode=ro"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Zelvant.mdb");
    ASSERT_TRUE(initHistory(path));
    HistoryStore store(path, f.log);
    EXPECT_TRUE(store.storeResult(sampleResult(numbers[0])));
    EXPECT_EQ(HistoryReader(path).rows(numbers[0], HistoryRange::All, 0).size(), 1);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("Zelvant.mdb")});
    EXPECT_FALSE(QFile::exists(f.log));
}

TEST(HistoryReader, RangesAreNewestFirstAndPerNumber)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("Zelvant.mdb"));
    ASSERT_TRUE(initHistory(path));
    const QString a = QStringLiteral("9160000001");
    const QString b = QStringLiteral("9160000002");
    {
        RawDb raw(path);
        // Oldest first by NN; the times straddle the 48-hour mark by a minute
        // either side, so "two days" is measured from now, not from midnight.
        raw.insert(a, QStringLiteral("datetime('now','localtime','-5 days')"), 1);
        raw.insert(a, QStringLiteral("datetime('now','localtime','-48 hours','-1 minutes')"), 2);
        raw.insert(b, QStringLiteral("datetime('now','localtime','-1 hours')"), 100);
        raw.insert(a, QStringLiteral("datetime('now','localtime','-48 hours','+1 minutes')"), 3);
        raw.insert(a, QStringLiteral("datetime('now','localtime','-20 hours')"), 4);
        const QString hourAgo =
            raw.scalar(QStringLiteral("SELECT datetime('now','localtime','-1 hours')")).toString();
        for (int i = 5; i <= 10; ++i)
            raw.insert(a, QStringLiteral("datetime('%1','+%2 minutes')").arg(hourAgo).arg(i), i);
    }
    const auto balances = [](const QList<HistoryRow> &rows) {
        QList<double> values;
        for (const HistoryRow &row : rows)
            values << row.balance;
        return values;
    };

    HistoryReader reader(path);
    QString error;
    EXPECT_EQ(balances(reader.rows(a, HistoryRange::All, 0, &error)),
              (QList<double>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(balances(reader.rows(a, HistoryRange::LastDays, 2)),
              (QList<double>{10, 9, 8, 7, 6, 5, 4, 3}));
    EXPECT_EQ(balances(reader.rows(a, HistoryRange::LastDays, 1)),
              (QList<double>{10, 9, 8, 7, 6, 5, 4}));
    EXPECT_EQ(balances(reader.rows(a, HistoryRange::LastDays, 0)), QList<double>{});
    EXPECT_EQ(balances(reader.rows(a, HistoryRange::LastRequests, 3)), (QList<double>{10, 9, 8}));
    EXPECT_EQ(reader.rows(a, HistoryRange::LastRequests, 50).size(), 10);
    EXPECT_TRUE(reader.rows(a, HistoryRange::LastRequests, 0).isEmpty());
    EXPECT_TRUE(reader.rows(a, HistoryRange::LastRequests, -1).isEmpty()); // never "no limit"
    EXPECT_EQ(balances(reader.rows(b, HistoryRange::All, 0)), QList<double>{100});
    EXPECT_TRUE(reader.rows(QStringLiteral("916"), HistoryRange::All, 0).isEmpty());
    EXPECT_EQ(reader.latest(a)->balance, 10);
    EXPECT_FALSE(reader.latest(QString()).has_value());

    // Rows 5..10 are a minute apart, so their times come back exactly.
    const QList<HistoryRow> last = reader.rows(a, HistoryRange::LastRequests, 2);
    ASSERT_EQ(last.size(), 2);
    EXPECT_EQ(last[1].queryDateTime.secsTo(last[0].queryDateTime), 60);
    // The same wall-clock time and moment as the local time SQLite wrote.
    RawDb raw(path);
    const QString stored =
        raw.scalar(
               QStringLiteral("SELECT QueryDateTime FROM Phones WHERE NN = %1").arg(last[0].rowId))
            .toString();
    EXPECT_EQ(last[0].queryDateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), stored);
    EXPECT_EQ(last[0].queryDateTime,
              QDateTime::fromString(stored, QStringLiteral("yyyy-MM-dd HH:mm:ss")));

    // The reader keeps its connection; rows written meanwhile are seen.
    HistoryStore store(path, dir.file(QStringLiteral("Zelvant.err")));
    PhoneResult result = sampleResult(a);
    result.balance = 11;
    ASSERT_TRUE(store.storeResult(result));
    EXPECT_EQ(reader.latest(a)->balance, 11);
    EXPECT_EQ(reader.rows(a, HistoryRange::LastRequests, 1)[0].balance, 11);
}

// Rows that another tool wrote with other types than the program's own: a
// number kept as text reads as that number, an empty balance as no balance,
// and the newest row of several numbers comes back in their order.
TEST(HistoryReader, HandWrittenValuesReadAsTheirNumbers)
{
    struct Case
    {
        const char *number;
        const char *values; // Balance, Average, TurnOff, Recomend, SMS, Minutes, USDRate
        double balance;
        bool hasBalance;
        int turnOffDays;
        int smsLeft;
        double usdRate;
    };
    const Case cases[] = {
        {"9160000001", "'12.5', 0, 3, 0, '7', 0, 28.5", 12.5, true, 3, 7, 28.5},
        {"9160000002", "NULL, 0, '4', 0, 0, 0, '30.25'", 0, false, 4, 0, 30.25},
        {"9160000003", "-3, 1.5, 0, 100, 5, 0, 0", -3, true, 0, 5, 0},
        {"916'004", "0, 0, 0, 0, 0, 0, 0", 0, true, 0, 0, 0},
    };
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("Zelvant.mdb"));
    ASSERT_TRUE(initHistory(path));
    QStringList numbers;
    {
        RawDb raw(path);
        for (const Case &c : cases) {
            const QString number = QString::fromUtf8(c.number);
            // An older row first: only the newest may come back.
            raw.insert(number, QStringLiteral("'2026-01-01 00:00:00'"), 999);
            raw.exec(QStringLiteral("INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, "
                                    "Average, TurnOff, Recomend, SMS, Minutes, USDRate) VALUES "
                                    "('%1', '2026-03-02T11:12:13', %2)")
                         .arg(QString(number).replace(QStringLiteral("'"), QStringLiteral("''")),
                              QString::fromUtf8(c.values)));
            numbers.prepend(number); // asked in another order than written
        }
    }
    numbers.insert(1, QStringLiteral("9169999999")); // no rows at all

    QString error;
    const QList<std::optional<HistoryRow>> latest = HistoryReader(path).latestOf(numbers, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(latest.size(), numbers.size());
    EXPECT_FALSE(latest[1].has_value());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.number);
        const auto &row = latest[numbers.indexOf(QString::fromUtf8(c.number))];
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(row->phoneNumber, QString::fromUtf8(c.number));
        EXPECT_EQ(row->balance, c.balance);
        EXPECT_EQ(row->hasBalance, c.hasBalance);
        EXPECT_EQ(row->turnOffDays, c.turnOffDays);
        EXPECT_EQ(row->smsLeft, c.smsLeft);
        EXPECT_EQ(row->usdRate, c.usdRate);
        EXPECT_EQ(row->queryDateTime, QDateTime(QDate(2026, 3, 2), QTime(11, 12, 13)));
    }
    EXPECT_TRUE(HistoryReader(path).latestOf({}, &error).isEmpty());
    EXPECT_TRUE(error.isEmpty());
}

TEST(HistoryStore, MissingFileSwitchesHistoryOffOnceAndCreatesNothing)
{
    StoreFixture f;
    EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("9161234567"))));
    EXPECT_TRUE(f.store.fileMissing());
    QStringList lines = logLines(f.dir);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(": ") + HistoryFileMissingMessage));

    // The rest of the cycle: nothing written, no second log line.
    EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("9161234567"))));
    EXPECT_EQ(logLines(f.dir).size(), 1);
    EXPECT_EQ(filesIn(f.dir), QStringList{QStringLiteral("Zelvant.err")});

    // Readers neither create the file.
    HistoryReader reader(f.path);
    EXPECT_FALSE(reader.fileExists());
    QString error;
    EXPECT_TRUE(reader.rows(QStringLiteral("9161234567"), HistoryRange::All, 0, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(reader.latest(QStringLiteral("9161234567"), &error).has_value());
    EXPECT_EQ(filesIn(f.dir), QStringList{QStringLiteral("Zelvant.err")});
}

TEST(HistoryStore, FileRemovedDuringACycleIsNoticedAtTheNextResult)
{
    StoreFixture f;
    ASSERT_TRUE(initHistory(f.path));
    ASSERT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("1"))));
    ASSERT_TRUE(QFile::remove(f.path));
    EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("2"))));
    EXPECT_TRUE(f.store.fileMissing());
    EXPECT_FALSE(QFile::exists(f.path));
}

TEST(HistoryStore, WriterKeepsNoLockAndCommitsEveryRowAtOnce)
{
    StoreFixture f;
    ASSERT_TRUE(initHistory(f.path));
    ASSERT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("1"))));
    {
        // Between two phones the writer holds nothing: another program gets
        // an exclusive lock without waiting, and sees the row already there.
        RawDb other(f.path);
        EXPECT_EQ(other.scalar(QStringLiteral("SELECT count(*) FROM Phones")).toInt(), 1);
        ASSERT_TRUE(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        other.insert(QStringLiteral("other"), QStringLiteral("datetime('now')"), 1);
        // A schema change by someone else between two rows.
        other.exec(QStringLiteral("CREATE INDEX PhonesByBalance ON Phones (Balance)"));
        ASSERT_TRUE(other.exec(QStringLiteral("COMMIT")));
    }
    for (int i = 2; i <= 5; ++i)
        ASSERT_TRUE(f.store.storeResult(sampleResult(QString::number(i)))) << i;
    RawDb raw(f.path);
    EXPECT_EQ(raw.columnText(QStringLiteral("SELECT PhoneNumber FROM Phones ORDER BY NN"), 0),
              QStringLiteral("1|other|2|3|4|5"));
    // No journal or other side file is left beside the history meanwhile.
    EXPECT_EQ(filesIn(f.dir), QStringList{QStringLiteral("Zelvant.mdb")});
    EXPECT_FALSE(QFile::exists(f.log));
}

TEST(HistoryStore, FileReplacedBetweenResultsIsWrittenNotTheStaleOne)
{
    StoreFixture f;
    ASSERT_TRUE(initHistory(f.path));
    ASSERT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("1"))));

    // Moved aside and a new database put in its place: the row goes into the
    // new file, the old one (still reachable under its new name) gets nothing.
    const QString aside = f.dir.file(QStringLiteral("Old.mdb"));
    ASSERT_TRUE(QFile::rename(f.path, aside));
    ASSERT_TRUE(initHistory(f.path));
    EXPECT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("2"))));
    EXPECT_EQ(RawDb(aside).columnText(QStringLiteral("SELECT PhoneNumber FROM Phones"), 0),
              QStringLiteral("1"));
    EXPECT_EQ(RawDb(f.path).columnText(QStringLiteral("SELECT PhoneNumber FROM Phones"), 0),
              QStringLiteral("2"));

    // Deleted and made anew: the same.
    ASSERT_TRUE(QFile::remove(f.path));
    ASSERT_TRUE(initHistory(f.path));
    EXPECT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("3"))));
    EXPECT_EQ(RawDb(f.path).columnText(QStringLiteral("SELECT PhoneNumber FROM Phones"), 0),
              QStringLiteral("3"));
    EXPECT_FALSE(f.store.fileMissing());
    EXPECT_FALSE(QFile::exists(f.log));

    // Replaced by a file of another kind: left as it is, logged, and the
    // next result (a database again) is stored.
    const QByteArray foreign = QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(1024, 'x');
    ASSERT_TRUE(QFile::remove(f.path));
    f.dir.write(QStringLiteral("Zelvant.mdb"), foreign);
    EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("4"))));
    EXPECT_EQ(f.dir.read(QStringLiteral("Zelvant.mdb")), foreign);
    ASSERT_EQ(logLines(f.dir).size(), 1);
    ASSERT_TRUE(QFile::remove(f.path));
    ASSERT_TRUE(QFile::copy(aside, f.path));
    EXPECT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("5"))));
    EXPECT_EQ(
        RawDb(f.path).columnText(QStringLiteral("SELECT PhoneNumber FROM Phones ORDER BY NN"), 0),
        QStringLiteral("1|5"));
    EXPECT_EQ(RawDb(aside).columnText(QStringLiteral("SELECT PhoneNumber FROM Phones"), 0),
              QStringLiteral("1"));
}

TEST(HistoryStore, FileOverwrittenInPlaceWithOtherContentIsNotWritten)
{
    StoreFixture f;
    ASSERT_TRUE(initHistory(f.path));
    ASSERT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("1"))));
    // Same file, new bytes: nothing tells it apart but its content.
    const QByteArray foreign = QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(8192, 'y');
    {
        QFile file(f.path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
        ASSERT_EQ(file.write(foreign), foreign.size());
    }
    EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("2"))));
    EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("3"))));
    EXPECT_EQ(f.dir.read(QStringLiteral("Zelvant.mdb")), foreign);
    const QStringList lines = logLines(f.dir);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("не является базой данных SQLite")))
        << lines[1].toStdString();
    EXPECT_FALSE(f.store.fileMissing());
}

TEST(HistoryStore, LockedFileWaitsABoundedTimeThenTheNextResultSucceeds)
{
    StoreFixture f;
    ASSERT_TRUE(initHistory(f.path));
    f.store.setBusyTimeout(300);
    {
        RawDb other(f.path);
        ASSERT_TRUE(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("1"))));
        const qint64 waited = timer.elapsed();
        EXPECT_GE(waited, 250);
        EXPECT_LT(waited, 5000);
        other.exec(QStringLiteral("ROLLBACK"));
    }
    const QStringList lines = logLines(f.dir);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("locked"))) << lines[0].toStdString();
    EXPECT_FALSE(f.store.fileMissing()); // history stays on

    EXPECT_TRUE(f.store.storeResult(sampleResult(QStringLiteral("2"))));
    HistoryReader reader(f.path);
    EXPECT_TRUE(reader.rows(QStringLiteral("1"), HistoryRange::All, 0).isEmpty());
    EXPECT_EQ(reader.rows(QStringLiteral("2"), HistoryRange::All, 0).size(), 1);
    EXPECT_EQ(logLines(f.dir).size(), 1);
}

TEST(HistoryStore, ForeignFileIsNeverModified)
{
    const QList<QByteArray> foreign = {
        QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2048, '\x5a'),
        QByteArray(), // empty: SQLite would take it for a fresh database
    };
    for (const QByteArray &bytes : foreign) {
        StoreFixture f;
        f.dir.write(QStringLiteral("Zelvant.mdb"), bytes);
        // A stray journal beside it must not be played back into the file.
        f.dir.write(QStringLiteral("Zelvant.mdb-journal"), QByteArray(512, '\x01'));

        EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("1"))));
        EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("2"))));
        const QStringList lines = logLines(f.dir);
        ASSERT_EQ(lines.size(), 2); // one line per attempt
        EXPECT_TRUE(lines[1].contains(QStringLiteral("не является базой данных SQLite")))
            << lines[1].toStdString();
        EXPECT_FALSE(f.store.fileMissing());

        HistoryReader reader(f.path);
        QString error;
        EXPECT_TRUE(reader.rows(QStringLiteral("1"), HistoryRange::All, 0, &error).isEmpty());
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(initHistory(f.path, &error));
        EXPECT_FALSE(error.isEmpty());

        EXPECT_EQ(f.dir.read(QStringLiteral("Zelvant.mdb")), bytes);
        EXPECT_EQ(f.dir.read(QStringLiteral("Zelvant.mdb-journal")), QByteArray(512, '\x01'));
        EXPECT_EQ(filesIn(f.dir).size(), 3);
    }
}

TEST(HistoryStore, DatabaseWithoutTheTableIsAnErrorNotAFix)
{
    StoreFixture f;
    {
        RawDb raw(f.path);
        raw.exec(QStringLiteral("CREATE TABLE Other (x)"));
    }
    const QByteArray before = f.dir.read(QStringLiteral("Zelvant.mdb"));
    EXPECT_FALSE(f.store.storeResult(sampleResult(QStringLiteral("1"))));
    const QStringList lines = logLines(f.dir);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Phones"))) << lines[0].toStdString();
    QString error;
    EXPECT_FALSE(initHistory(f.path, &error));
    EXPECT_EQ(f.dir.read(QStringLiteral("Zelvant.mdb")), before);
}

TEST(InitHistory, CreatesTheEmptyTableAndIndexAndLeavesAnExistingDatabase)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("Zelvant.mdb"));
    QString error;
    ASSERT_TRUE(initHistory(path, &error)) << error.toStdString();
    EXPECT_EQ(filesIn(dir), QStringList{QStringLiteral("Zelvant.mdb")}); // no temporary left
    {
        RawDb raw(path);
        EXPECT_EQ(raw.scalar(QStringLiteral("SELECT count(*) FROM Phones")).toInt(), 0);
        EXPECT_EQ(raw.scalar(QStringLiteral("SELECT group_concat(name, ',') FROM "
                                            "pragma_table_info('Phones') ORDER BY cid"))
                      .toString(),
                  QStringLiteral("NN,PhoneNumber,QueryDateTime,Balance,Average,TurnOff,Recomend,"
                                 "SMS,Minutes,USDRate"));
        EXPECT_EQ(raw.scalar(QStringLiteral("SELECT group_concat(name, ',') FROM "
                                            "pragma_index_info('PhonesByNumber')"))
                      .toString(),
                  QStringLiteral("PhoneNumber,NN"));
        // The index serves the readers' lookups.
        EXPECT_TRUE(raw.columnText(QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM Phones WHERE "
                                                  "PhoneNumber = '1' ORDER BY NN DESC LIMIT 1"),
                                   3)
                        .contains(QStringLiteral("PhonesByNumber")));
        raw.insert(QStringLiteral("1"), QStringLiteral("datetime('now')"), 5);
    }
    const QByteArray bytes = dir.read(QStringLiteral("Zelvant.mdb"));
    EXPECT_TRUE(initHistory(path, &error));
    EXPECT_EQ(dir.read(QStringLiteral("Zelvant.mdb")), bytes);

    EXPECT_FALSE(initHistory(dir.file(QStringLiteral("no/such/folder/Zelvant.mdb")), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(LoadLastResults, FillsMonitoredSlotsFromTheirNewestRows)
{
    TempFolder dir;
    AppContext context(AppPaths::forFolder(dir.path()));
    ResultStore store(context.paths);
    const auto monitor = [&](int slot, const QString &number, const QString &alias, bool on) {
        context.phones.slot(slot).number = number;
        context.phones.slot(slot).alias = alias;
        context.phones.slot(slot).monitored = on;
    };
    monitor(1, QStringLiteral("9160000001"), QStringLiteral("Мама"), true);
    monitor(2, QStringLiteral("9160000002"), QStringLiteral("Без истории"), true);
    monitor(3, QStringLiteral("9160000003"), QStringLiteral("Выключен"), false);
    monitor(50, QStringLiteral("916'050"), QStringLiteral("Кавычка"), true);
    monitor(100, QStringLiteral("9160000100"), QString(), true);
    monitor(4, QString(), QStringLiteral("Пустой"), true);
    PhoneResult known;
    known.userName = QStringLiteral("Иванов И.");
    known.balanceExpiresDays = 9;
    known.queryOk = true;
    store.setResult(1, known);
    QSignalSpy changed(&store, &ResultStore::resultChanged);

    // No file: nothing happens and nothing is created.
    const PhoneResults before = store.results();
    QString error;
    EXPECT_EQ(store.loadLatest(context.phones, &error), 0);
    EXPECT_TRUE(filesIn(dir).isEmpty());
    EXPECT_TRUE(changed.isEmpty());
    for (int slot = 1; slot <= PhoneSlotCount; ++slot)
        ASSERT_EQ(store[slot], before[slot]) << slot;

    ASSERT_TRUE(initHistory(context.paths.historyFile()));
    {
        RawDb raw(context.paths.historyFile());
        raw.insert(QStringLiteral("9160000001"), QStringLiteral("'2026-03-01 10:00:00'"), 5);
        raw.insert(QStringLiteral("9160000003"), QStringLiteral("'2026-03-01 10:00:00'"), 33);
        raw.insert(QStringLiteral("9160000001"), QStringLiteral("'2026-03-02 11:12:13'"), -1.25);
        raw.insert(QStringLiteral("916'050"), QStringLiteral("'2026-03-03 00:00:01'"), 50);
        raw.insert(QStringLiteral("9160000100"), QStringLiteral("'2026-03-04 23:59:59'"), 100);
        raw.insert(QString(), QStringLiteral("'2026-03-04 23:59:59'"), 4);
        raw.exec(QStringLiteral("UPDATE Phones SET Average = 0.75, TurnOff = 3, Recomend = 120, "
                                "SMS = 40, Minutes = 15, USDRate = 28.1234 WHERE Balance = -1.25"));
    }
    EXPECT_EQ(store.loadLatest(context.phones, &error), 3);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(changed.count(), 3); // told slot by slot

    const PhoneResult &first = store[1];
    EXPECT_EQ(first.slot, 1);
    EXPECT_EQ(first.alias, QStringLiteral("Мама"));
    EXPECT_EQ(first.phoneNumber, QStringLiteral("9160000001"));
    EXPECT_EQ(first.balance, -1.25f);
    EXPECT_EQ(first.averagePerDay, 0.75f);
    EXPECT_EQ(first.turnOffDays, 3);
    EXPECT_EQ(first.recommendedPayment, 120.0f);
    EXPECT_EQ(first.smsLeft, 40);
    EXPECT_EQ(first.minutesLeft, 15);
    EXPECT_EQ(first.usdRate, 28.1234f);
    EXPECT_EQ(first.lastQueryTime, QDateTime(QDate(2026, 3, 2), QTime(11, 12, 13)));
    EXPECT_FALSE(first.queryOk);                            // stored values still count as failed
    EXPECT_EQ(first.userName, QStringLiteral("Иванов И.")); // not stored, kept
    EXPECT_EQ(first.balanceExpiresDays, 9);

    EXPECT_EQ(store[2], before[2]); // monitored, no rows
    EXPECT_EQ(store[3], before[3]); // rows, but not monitored
    EXPECT_EQ(store[4], before[4]); // no number
    EXPECT_EQ(store[50].balance, 50.0f);
    EXPECT_EQ(store[50].slot, 50);
    EXPECT_EQ(store[100].balance, 100.0f);
    EXPECT_EQ(store[100].lastQueryTime, QDateTime(QDate(2026, 3, 4), QTime(23, 59, 59)));

    // A file that is not a database: an error, the records stay as they are.
    TempFolder foreignDir;
    AppContext foreign(AppPaths::forFolder(foreignDir.path()));
    ResultStore foreignStore(foreign.paths);
    foreign.phones.slot(1).number = QStringLiteral("9160000001");
    foreign.phones.slot(1).monitored = true;
    foreignDir.write(QStringLiteral("Zelvant.mdb"), "not a database");
    EXPECT_EQ(foreignStore.loadLatest(foreign.phones, &error), -1);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(foreignStore[1].hasValues());
}

// ---------------------------------------------------------------------------
// The command line, run on a copy of the built program in a temporary folder
// (every file of the program lies beside the executable).

namespace {

struct CliRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class CliFolder
{
public:
    CliFolder()
    {
        m_program = m_dir.copyProgram(QStringLiteral(ZELVANT_EXECUTABLE));
        if (m_program.isEmpty())
            ADD_FAILURE() << "cannot copy the program with its parts";
    }
    QString history() const { return m_dir.file(QStringLiteral("Zelvant.mdb")); }
    const TempFolder &dir() const { return m_dir; }

    CliRun run(const QStringList &arguments) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("HOME"), m_dir.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.file(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QDir::tempPath()); // not the program's folder
        process.start(m_program, arguments);
        CliRun run;
        if (!process.waitForFinished(60000)) {
            ADD_FAILURE() << "program did not finish";
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

private:
    TempFolder m_dir;
    QString m_program;
};

} // namespace

TEST(HistoryCommandLine, InitHistoryCreatesOnceAndRefusesAForeignFile)
{
    CliFolder cli;
    CliRun run = cli.run({QStringLiteral("--init-history")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(QFile::exists(cli.history()));
    {
        HistoryReader reader(cli.history());
        QString error;
        EXPECT_TRUE(reader.rows(QStringLiteral("1"), HistoryRange::All, 0, &error).isEmpty());
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }
    const QByteArray bytes = cli.dir().read(QStringLiteral("Zelvant.mdb"));
    run = cli.run({QStringLiteral("--init-history")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(cli.dir().read(QStringLiteral("Zelvant.mdb")), bytes);

    CliFolder other;
    other.dir().write(QStringLiteral("Zelvant.mdb"), "old format");
    run = other.run({QStringLiteral("--init-history")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(run.err.isEmpty());
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(other.dir().read(QStringLiteral("Zelvant.mdb")), QByteArray("old format"));
}

TEST(HistoryCommandLine, HistoryPrintsRowsNewestFirstAsTextOrJson)
{
    CliFolder cli;
    CliRun run = cli.run({QStringLiteral("--history"), QStringLiteral("9161234567")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(QStringLiteral("Zelvant.mdb")));
    EXPECT_FALSE(QFile::exists(cli.history()));

    ASSERT_TRUE(initHistory(cli.history()));
    const QString number = QStringLiteral("916'1");
    {
        RawDb raw(cli.history());
        raw.insert(number, QStringLiteral("datetime('now','localtime','-4 days')"), 1.0);
        for (int i = 0; i < 60; ++i)
            raw.insert(number,
                       QStringLiteral("datetime('now','localtime','-%1 minutes')").arg(60 - i),
                       i + 2);
        raw.insert(QStringLiteral("other"), QStringLiteral("datetime('now','localtime')"), 7);
        raw.insert(number, QStringLiteral("'2026-01-02 03:04:05'"), 2.675);
        raw.exec(QStringLiteral("UPDATE Phones SET USDRate = 28.12345, Average = -0.5 "
                                "WHERE Balance = 2.675"));
    }

    // Default: the last 50 rows.
    run = cli.run({QStringLiteral("--history"), number});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QList<QByteArray> lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 51);
    EXPECT_EQ(lines[0], "NN\tPhoneNumber\tQueryDateTime\tBalance\tAverage\tTurnOff\tRecomend\tSMS\t"
                        "Minutes\tUSDRate");
    EXPECT_EQ(lines[1], "63\t916'1\t2026-01-02 03:04:05\t2.68\t-0.50\t0\t0.00\t0\t0\t28.1235");
    EXPECT_TRUE(lines[2].startsWith("61\t916'1\t")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains("\t61.00\t"));

    run = cli.run({QStringLiteral("--history"), number, QStringLiteral("--last"),
                   QStringLiteral("3"), QStringLiteral("--json")});
    EXPECT_EQ(run.exitCode, 0);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &parseError);
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << run.out.toStdString();
    const QJsonArray array = document.array();
    ASSERT_EQ(array.size(), 3);
    const QJsonObject first = array[0].toObject();
    EXPECT_EQ(first.keys().size(), 10);
    EXPECT_EQ(first[QStringLiteral("NN")].toInt(), 63);
    EXPECT_EQ(first[QStringLiteral("PhoneNumber")].toString(), number);
    EXPECT_EQ(first[QStringLiteral("QueryDateTime")].toString(),
              QStringLiteral("2026-01-02T03:04:05"));
    EXPECT_EQ(first[QStringLiteral("Balance")].toDouble(), 2.68);
    EXPECT_EQ(first[QStringLiteral("Average")].toDouble(), -0.5);
    EXPECT_EQ(first[QStringLiteral("USDRate")].toDouble(), 28.1235);
    EXPECT_TRUE(first[QStringLiteral("Minutes")].isDouble());
    EXPECT_EQ(array[1].toObject()[QStringLiteral("NN")].toInt(), 61);
    EXPECT_EQ(array[2].toObject()[QStringLiteral("NN")].toInt(), 60);

    run = cli.run({QStringLiteral("--history"), number, QStringLiteral("--days"),
                   QStringLiteral("2"), QStringLiteral("--json")});
    EXPECT_EQ(QJsonDocument::fromJson(run.out).array().size(), 60);
    run = cli.run({QStringLiteral("--history"), number, QStringLiteral("--all")});
    EXPECT_EQ(run.out.trimmed().split('\n').size(), 63);

    // Nothing stored: an empty result on standard output, the window's
    // warning on standard error, success.
    run = cli.run({QStringLiteral("--history"), QStringLiteral("000"), QStringLiteral("--json")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(run.out).array().size(), 0);
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(
        QStringLiteral("История по выбранному телефону не найдена!")));
}

// ---------------------------------------------------------------------------
// A writer killed inside a write leaves a hot journal: the database file holds
// half a transaction until someone rolls the journal back.

namespace {

const char CrashDatabaseVariable[] = "ZELVANT_TEST_CRASH_DATABASE";

// The first bytes of a journal that must be rolled back: a synced journal
// starts with its magic number, an unsynced one with zeros.
bool journalIsHot(const QString &databasePath)
{
    QFile journal(databasePath + QStringLiteral("-journal"));
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = journal.read(8);
    return head.size() == 8 && head != QByteArray(8, '\0');
}

} // namespace

// Run only as the child of the test below: writes one long transaction
// with a tiny page cache, so that changed pages reach the database file
// under a synced journal, says so, and waits to be killed.
TEST(HistoryCrashChild, DISABLED_WritesUntilKilled)
{
    const QString path = qEnvironmentVariable(CrashDatabaseVariable);
    ASSERT_FALSE(path.isEmpty());
    RawDb db(path);
    ASSERT_TRUE(db.exec(QStringLiteral("PRAGMA cache_size = 2")));
    ASSERT_TRUE(db.exec(QStringLiteral("BEGIN")));
    for (int i = 0; i < 100000 && !journalIsHot(path); ++i)
        db.insert(QStringLiteral("crash %1").arg(i), QStringLiteral("datetime('now')"), i);
    ASSERT_TRUE(journalIsHot(path));
    std::fputs("hot\n", stdout);
    std::fflush(stdout);
    QThread::sleep(60);
}

TEST(HistoryCrash, EveryReaderRollsBackAJournalLeftByAKilledWriter)
{
    const QString number = QStringLiteral("9160000001");
    // The crash, once: one committed row, then a writer killed inside its
    // next transaction. Each reader below gets its own copy of both files.
    TempFolder crashed;
    const QString path = crashed.file(QStringLiteral("Zelvant.mdb"));
    ASSERT_TRUE(initHistory(path));
    {
        HistoryStore store(path, crashed.file(QStringLiteral("Zelvant.err")));
        ASSERT_TRUE(store.storeResult(sampleResult(number)));
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(CrashDatabaseVariable), path);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=HistoryCrashChild.DISABLED_WritesUntilKilled")});
    QByteArray said;
    while (!said.contains("hot\n") && child.waitForReadyRead(30000))
        said += child.readAllStandardOutput();
    ASSERT_TRUE(said.contains("hot\n")) << said.toStdString();
    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    ASSERT_TRUE(journalIsHot(path));
    const QByteArray database = crashed.read(QStringLiteral("Zelvant.mdb"));
    const QByteArray journal = crashed.read(QStringLiteral("Zelvant.mdb-journal"));

    // Each reads the committed row and nothing of the broken transaction.
    const std::vector<std::pair<const char *, std::function<void(const CliFolder &)>>> readers = {
        {"history window and export reader",
         [&](const CliFolder &cli) {
             HistoryReader reader(cli.history());
             QString error;
             EXPECT_EQ(reader.rows(number, HistoryRange::All, 0, &error).size(), 1);
             EXPECT_TRUE(error.isEmpty()) << error.toStdString();
         }},
        {"start-up preload",
         [&](const CliFolder &cli) {
             PhoneList phones;
             phones.slot(1).number = number;
             phones.slot(1).monitored = true;
             PhoneResults results;
             QString error;
             EXPECT_EQ(loadLatestResults(cli.history(), phones, results, &error), 1)
                 << error.toStdString();
         }},
        {"--history",
         [&](const CliFolder &cli) {
             const CliRun run =
                 cli.run({QStringLiteral("--history"), number, QStringLiteral("--json")});
             EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
             EXPECT_EQ(QJsonDocument::fromJson(run.out).array().size(), 1);
         }},
        {"--export-history",
         [&](const CliFolder &cli) {
             const CliRun run = cli.run({QStringLiteral("--export-history"),
                                         cli.dir().file(QStringLiteral("h.xlsx")), number});
             EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
         }},
        {"--init-history",
         [&](const CliFolder &cli) {
             const CliRun run = cli.run({QStringLiteral("--init-history")});
             EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
         }},
    };
    for (const auto &[name, read] : readers) {
        SCOPED_TRACE(name);
        CliFolder cli;
        cli.dir().write(QStringLiteral("Zelvant.mdb"), database);
        cli.dir().write(QStringLiteral("Zelvant.mdb-journal"), journal);
        read(cli);
        EXPECT_FALSE(QFile::exists(cli.history() + QStringLiteral("-journal")));
        RawDb check(cli.history());
        EXPECT_EQ(check.scalar(QStringLiteral("SELECT count(*) FROM Phones")).toInt(), 1);
        EXPECT_EQ(check.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                  QStringLiteral("ok"));
    }
}
