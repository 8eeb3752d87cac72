// Timing of the history database on a large file: 1,000,000 rows over 100
// numbers (10,000 each, in the order cycles write them), then the start-up
// preload, the last 50 rows, one number's whole history, the last two days
// and one write. Our figures are the median of several calls, wall and CPU
// time (the CPU time is the steadier one on a busy machine).
//
// The same statements are then run by the sqlite3 shell on the same file:
// one process runs them a number of times with its output sent to /dev/null,
// a second process only runs "SELECT 1;", and the difference divided by the
// count is one run's cost, with the shell's start-up and its opening of the
// file cancelled out (CPU time from wait4, wall time around the process).
// The shell prints every row as text; we convert every row into a
// HistoryRow, so both sides do comparable per-row work.
//
// Last, the writer as cycles use it: --store N rows written through
// StoreResult into a small database of their own, one HistoryStore per 100 rows
// (one cycle), with the time per row and the growth of the heap in use and of
// the resident memory per 1,000 rows after a first cycle of warm-up; then, for
// comparison, up to 1,000 such rows under other journal settings.
//
//   HistoryBench [--dir FOLDER] [--runs N] [--rows N] [--keep] [--reuse]
//                [--store N] [--store-only]
//
// Without --dir the database lies in a temporary folder that is removed at
// the end unless --keep is given. --reuse takes the database already in
// FOLDER instead of building it anew.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "core/config/AppContext.h"
#include "core/history/HistoryStore.h"

using namespace zelvant;

namespace {

constexpr int NumberCount = 100;

QString numberOf(int i)
{
    return QStringLiteral("916%1").arg(1000000 + i, 7, 10, QLatin1Char('0'));
}

double medianMs(std::vector<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const size_t n = nanoseconds.size();
    const double middle = n % 2 ? double(nanoseconds[n / 2])
                                : (double(nanoseconds[n / 2 - 1]) + double(nanoseconds[n / 2])) / 2;
    return middle / 1e6;
}

bool buildDatabase(const QString &path, int rows)
{
    QFile::remove(path);
    QString error;
    if (!initHistory(path, &error)) {
        std::fprintf(stderr, "InitHistory: %s\n", qPrintable(error));
        return false;
    }
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("build"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        ok = ok && db.transaction();
        ok = ok
             && query.prepare(QStringLiteral(
                 "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, "
                 "Recomend, SMS, Minutes, USDRate) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        // One cycle every five hours, one row per phone, 5 s apart.
        const int cycles = rows / NumberCount;
        const QDateTime start =
            QDateTime::currentDateTime().addSecs(-qint64(cycles) * 5 * 3600).addSecs(-3600);
        QStringList numbers;
        for (int i = 0; i < NumberCount; ++i)
            numbers << numberOf(i);
        for (int row = 0; ok && row < rows; ++row) {
            const int cycle = row / NumberCount;
            const int phone = row % NumberCount;
            const QDateTime time = start.addSecs(qint64(cycle) * 5 * 3600 + phone * 5);
            query.bindValue(0, numbers[phone]);
            query.bindValue(1, time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            query.bindValue(2, roundDecimals(float(100 - (row % 20000) * 0.01), 2));
            query.bindValue(3, 3.25);
            query.bindValue(4, row % 30);
            query.bindValue(5, 150.0);
            query.bindValue(6, row % 100);
            query.bindValue(7, row % 300);
            query.bindValue(8, 28.1234);
            ok = query.exec();
        }
        if (!ok)
            std::fprintf(stderr, "build: %s\n", qPrintable(query.lastError().text()));
        ok = ok && db.commit();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("build"));
    return ok;
}

// The sqlite3 shell on the same file: a process that runs the statements
// `repeat` times (output to /dev/null) against one that runs only
// "SELECT 1;", so the shell's start-up and opening of the file cancel out.
// Both CPU time (user + system, from wait4) and wall time are kept, each the
// median over several process pairs, divided by `repeat`.
struct ShellTiming
{
    double cpuMs = -1;
    double wallMs = -1;
};

struct ProcessTimes
{
    double cpuMs = 0;
    double wallMs = 0;
};

ProcessTimes runShell(const QString &shell, const QString &path, const QByteArray &script)
{
    ProcessTimes times;
    QTemporaryFile input;
    if (!input.open() || input.write(script) != script.size() || !input.flush())
        return times;
    const QByteArray program = QFile::encodeName(shell);
    const QByteArray database = QFile::encodeName(path);
    char batch[] = "-batch";
    char *argv[] = {const_cast<char *>(program.constData()), batch,
                    const_cast<char *>(database.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, QFile::encodeName(input.fileName()).constData(),
                                     O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return times;
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    times.wallMs = double(timer.nsecsElapsed()) / 1e6;
    times.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
                  + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return times;
}

ShellTiming shellTime(const QString &shell, const QString &path, const QStringList &statements,
                      int processes, int repeat)
{
    QByteArray script;
    for (int r = 0; r < repeat; ++r)
        for (const QString &statement : statements)
            script += statement.toUtf8() + ";\n";
    std::vector<qint64> cpu, wall;
    runShell(shell, path, script); // warm the file cache
    for (int p = 0; p < processes; ++p) {
        const ProcessTimes base = runShell(shell, path, "SELECT 1;\n");
        const ProcessTimes work = runShell(shell, path, script);
        cpu.push_back(qint64((work.cpuMs - base.cpuMs) / repeat * 1e6));
        wall.push_back(qint64((work.wallMs - base.wallMs) / repeat * 1e6));
    }
    return {medianMs(cpu), medianMs(wall)};
}

// Our figure: median wall and CPU time of single calls.
struct OurTiming
{
    double cpuMs = 0;
    double wallMs = 0;
};

qint64 cpuNow()
{
    timespec ts = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

OurTiming timeOurs(int runs, const std::function<void()> &work)
{
    work(); // warm the file cache and the code
    std::vector<qint64> cpu, wall;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuStart = cpuNow();
        work();
        cpu.push_back(cpuNow() - cpuStart);
        wall.push_back(timer.nsecsElapsed());
    }
    return {medianMs(cpu), medianMs(wall)};
}

QString sqlText(const QString &number, const QString &tail)
{
    return QStringLiteral("SELECT NN, PhoneNumber, QueryDateTime, Balance, Average, TurnOff, "
                          "Recomend, SMS, Minutes, USDRate FROM Phones WHERE PhoneNumber = '%1' %2")
        .arg(number, tail);
}

void printRow(const char *what, const OurTiming &ours, double goal, const ShellTiming &shell)
{
    std::printf("%-42s wall %9.3f ms  cpu %9.3f ms", what, ours.wallMs, ours.cpuMs);
    if (goal > 0)
        std::printf("  goal < %g ms: %s", goal, ours.wallMs < goal ? "met" : "MISSED");
    std::printf("\n");
    if (shell.cpuMs >= 0 && shell.wallMs >= 0) {
        std::printf("%-42s wall %9.3f ms  cpu %9.3f ms  ours/sqlite3: wall %.2f, cpu %.2f\n",
                    "    sqlite3 shell", shell.wallMs, shell.cpuMs,
                    shell.wallMs > 0 ? ours.wallMs / shell.wallMs : 0.0,
                    shell.cpuMs > 0 ? ours.cpuMs / shell.cpuMs : 0.0);
    }
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double heapInUseKiB()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / 1024;
}

// Writes `rows` rows through StoreResult, 100 per writer as a cycle does.
bool storeLoop(const QString &folder, int rows)
{
    const QString path = folder + QStringLiteral("/store/Zelvant.mdb");
    QDir(folder).mkpath(QStringLiteral("store"));
    QFile::remove(path);
    if (!initHistory(path))
        return false;
    const QString log = folder + QStringLiteral("/store/Zelvant.err");
    PhoneResult result;
    result.balance = 12.34f;
    result.usdRate = 28.1234f;
    std::vector<qint64> perRow;
    perRow.reserve(size_t(rows));
    double heapStart = 0;
    long rssStart = 0;
    int written = 0;
    QElapsedTimer total;
    for (int cycle = 0; written < rows; ++cycle) {
        if (cycle == 1) {
            heapStart = heapInUseKiB();
            rssStart = residentKiB();
            total.start();
        }
        HistoryStore store(path, log);
        for (int phone = 0; phone < NumberCount && written < rows; ++phone, ++written) {
            result.phoneNumber = numberOf(phone);
            QElapsedTimer timer;
            timer.start();
            if (!store.storeResult(result)) {
                std::fprintf(stderr, "StoreResult failed at row %d\n", written);
                return false;
            }
            if (cycle > 0)
                perRow.push_back(timer.nsecsElapsed());
        }
    }
    const double measured = double(perRow.size());
    if (measured == 0) {
        std::printf("--store needs more than %d rows\n", NumberCount);
        return true;
    }
    const double heapGrowth = heapInUseKiB() - heapStart;
    const long rssGrowth = residentKiB() - rssStart;
    std::printf("StoreResult, %d rows, %d per writer: median %.3f ms, mean %.3f ms per row\n", rows,
                NumberCount, medianMs(perRow), double(total.nsecsElapsed()) / 1e6 / measured);
    std::printf("    after the first writer: heap in use %+.1f KiB, RSS %+ld KiB over %.0f rows "
                "= %.2f / %.2f KiB per 1,000 rows\n",
                heapGrowth, rssGrowth, measured, heapGrowth / measured * 1000,
                double(rssGrowth) / measured * 1000);
    return true;
}

// For comparison only: the same committed single-row inserts on a plain
// connection under other journal settings than the writer's, each on a fresh
// database, so the cost of the writer's choice can be weighed.
void journalSettings(const QString &folder, int rows)
{
    struct Setting
    {
        const char *name;
        QStringList pragmas;
    };
    const Setting settings[] = {
        {"rollback journal, synchronous=FULL (writer)", {}},
        {"rollback journal, synchronous=NORMAL", {QStringLiteral("PRAGMA synchronous = NORMAL")}},
        {"WAL, synchronous=FULL",
         {QStringLiteral("PRAGMA journal_mode = WAL"),
          QStringLiteral("PRAGMA synchronous = FULL")}},
        {"WAL, synchronous=NORMAL",
         {QStringLiteral("PRAGMA journal_mode = WAL"),
          QStringLiteral("PRAGMA synchronous = NORMAL")}},
    };
    int n = 0;
    for (const Setting &setting : settings) {
        const QString dir = folder + QStringLiteral("/journal%1").arg(++n);
        QDir(folder).mkpath(dir);
        const QString path = dir + QStringLiteral("/Zelvant.mdb");
        QFile::remove(path);
        if (!initHistory(path))
            return;
        std::vector<qint64> perRow;
        const QString name = QStringLiteral("journal-%1").arg(n);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            QSqlQuery query(db);
            bool ok = db.open() && query.exec(QStringLiteral("PRAGMA synchronous = FULL"));
            for (const QString &pragma : setting.pragmas)
                ok = ok && query.exec(pragma);
            ok = ok
                 && query.prepare(QStringLiteral(
                     "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, "
                     "Recomend, SMS, Minutes, USDRate) VALUES (?, datetime('now', 'localtime'), "
                     "12.34, 0, 0, 0, 0, 0, 28.1234)"));
            for (int row = 0; ok && row < rows; ++row) {
                query.bindValue(0, numberOf(row % NumberCount));
                QElapsedTimer timer;
                timer.start();
                ok = query.exec();
                perRow.push_back(timer.nsecsElapsed());
            }
            if (!ok)
                std::fprintf(stderr, "%s: %s\n", setting.name,
                             qPrintable(query.lastError().text()));
            query.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        if (perRow.empty())
            continue;
        qint64 sum = 0;
        for (qint64 ns : perRow)
            sum += ns;
        std::printf("    %-46s median %.3f ms, mean %.3f ms per row\n", setting.name,
                    medianMs(perRow), double(sum) / 1e6 / double(perRow.size()));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    QString folder;
    int runs = 15;
    int rows = 1000000;
    bool keep = false;
    bool reuse = false;
    int storeRows = 3000;
    bool storeOnly = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = qMax(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--rows") && i + 1 < args.size())
            rows = qMax(NumberCount, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else if (args[i] == QLatin1String("--reuse"))
            reuse = true;
        else if (args[i] == QLatin1String("--store") && i + 1 < args.size())
            storeRows = qMax(0, args[++i].toInt());
        else if (args[i] == QLatin1String("--store-only"))
            storeOnly = true;
    }
    QTemporaryDir temporary;
    if (folder.isEmpty()) {
        folder = temporary.path();
        temporary.setAutoRemove(!keep);
    }
    if (storeOnly) {
        const bool ok = storeLoop(folder, storeRows);
        if (ok && storeRows > 0)
            journalSettings(folder, qMin(storeRows, 1000));
        return ok ? 0 : 1;
    }
    const AppPaths paths = AppPaths::forFolder(folder);
    const QString path = paths.historyFile();

    QElapsedTimer timer;
    timer.start();
    if (!(reuse && QFile::exists(path)) && !buildDatabase(path, rows))
        return 1;
    std::printf("%s %d rows over %d numbers in %.1f s: %s (%.0f MB)\n", reuse ? "reused" : "built",
                rows, NumberCount, double(timer.elapsed()) / 1000, qPrintable(path),
                double(QFileInfo(path).size()) / 1e6);
    std::printf("ours: median of %d calls; fresh readers include opening the file and "
                "preparing; every row is converted to a HistoryRow\n\n",
                runs);

    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    const int processes = qMin(runs, 7);
    const auto compare = [&](const QStringList &statements, int repeat) {
        return shell.isEmpty() ? ShellTiming()
                               : shellTime(shell, path, statements, processes, repeat);
    };
    const QString one = numberOf(42);

    // Start-up preload of 100 monitored phones (opens its own reader).
    AppContext context(paths);
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        context.phones.slot(i).number = numberOf(i - 1);
        context.phones.slot(i).monitored = true;
    }
    int filled = 0;
    const OurTiming preload = timeOurs(runs, [&] {
        PhoneResults results;
        filled = loadLatestResults(paths.historyFile(), context.phones, results);
    });
    if (filled != PhoneSlotCount)
        std::fprintf(stderr, "preload filled %d slots\n", filled);
    QStringList latestStatements;
    for (int i = 0; i < NumberCount; ++i)
        latestStatements << sqlText(numberOf(i), QStringLiteral("ORDER BY NN DESC LIMIT 1"));
    printRow("LoadLastResults, 100 monitored phones", preload, 20, compare(latestStatements, 10));

    // Last 50 rows of one number: a fresh reader (what a window does once)
    // and a reader that is already open.
    qsizetype count = 0;
    const OurTiming last50Fresh = timeOurs(runs, [&] {
        HistoryReader reader(path);
        count = reader.rows(one, HistoryRange::LastRequests, 50).size();
    });
    HistoryReader warm(path);
    const OurTiming last50Warm =
        timeOurs(runs, [&] { count = warm.rows(one, HistoryRange::LastRequests, 50).size(); });
    if (count != 50)
        std::fprintf(stderr, "last 50 gave %lld rows\n", qlonglong(count));
    const ShellTiming last50Shell =
        compare({sqlText(one, QStringLiteral("ORDER BY NN DESC LIMIT 50"))}, 200);
    printRow("last 50 rows, fresh reader", last50Fresh, 1, last50Shell);
    printRow("last 50 rows, open reader", last50Warm, 1, last50Shell);

    // Whole history of one number.
    const OurTiming allFresh = timeOurs(runs, [&] {
        HistoryReader reader(path);
        count = reader.rows(one, HistoryRange::All, 0).size();
    });
    const OurTiming allWarm =
        timeOurs(runs, [&] { count = warm.rows(one, HistoryRange::All, 0).size(); });
    const ShellTiming allShell = compare({sqlText(one, QStringLiteral("ORDER BY NN DESC"))}, 5);
    const QByteArray allLabel =
        QStringLiteral("whole history (%1 rows), fresh reader").arg(count).toLatin1();
    printRow(allLabel.constData(), allFresh, 30, allShell);
    printRow("whole history, open reader", allWarm, 30, allShell);

    // Last 2 days of one number.
    const OurTiming daysWarm =
        timeOurs(runs, [&] { count = warm.rows(one, HistoryRange::LastDays, 2).size(); });
    const QByteArray daysLabel =
        QStringLiteral("last 2 days (%1 rows), open reader").arg(count).toLatin1();
    printRow(daysLabel.constData(), daysWarm, 0,
             compare({sqlText(one, QStringLiteral("AND QueryDateTime > datetime('now', "
                                                  "'localtime', '-2 days') ORDER BY NN DESC"))},
                     5));

    // One write, as a cycle does it after its first (the writer's connection
    // is open; the insert is its own transaction).
    HistoryStore store(path, paths.errorLogFile());
    PhoneResult result;
    result.phoneNumber = numberOf(99);
    result.balance = 12.34f;
    bool stored = true;
    const OurTiming write = timeOurs(runs, [&] { stored = store.storeResult(result) && stored; });
    if (!stored)
        std::fprintf(stderr, "a write failed\n");
    const QString insert =
        QStringLiteral(
            "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, Recomend, "
            "SMS, Minutes, USDRate) VALUES ('%1', datetime('now', 'localtime'), 12.34, 0, 0, 0, 0, "
            "0, 0)")
            .arg(numberOf(98));
    printRow("StoreResult, one row", write, 0, compare({insert}, 5));
    if (shell.isEmpty())
        std::printf("\nsqlite3 shell not found: no comparison\n");
    std::printf("\n");
    if (storeRows == 0)
        return 0;
    if (!storeLoop(folder, storeRows))
        return 1;
    journalSettings(folder, qMin(storeRows, 1000));
    return 0;
}
