// Start-up, memory and CPU of the tray program with 100 monitored phones and
// a history of a million rows, beside the same figures for a minimal Qt tray
// program (MinimalTray). Needs an X display with a tray (bench/run-startup.sh
// provides Xvfb + trayer).
//
//     StartupBench ZELVANT MINIMAL [--pairs N] [--idle S] [--rows R] [--timer MS]
//                  [--folder DIR]
//
// --folder keeps the prepared folder (the history is made once and reused).
//
// The two programs run in turn, one pair after another (N pairs, 21 by
// default, after a warm-up pair), so a machine whose load changes during the
// run weighs on both alike; each ratio is taken within a pair and printed as
// median, min and max. Start-up: wall time from spawning the process to its
// "ZELVANT_STARTUP_MARK" line (the tray icon shows the preloaded balances),
// also less the program's prescribed start timer (--timer, 10 ms). CPU: user
// + system time up to the mark (of the threads still running). Memory: resident set 2 s after the
// mark. Idle CPU: one more run of each, over S seconds after that.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include "core/AppPaths.h"
#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/history/HistoryStore.h"

using namespace zelvant;

namespace {

// One run of one program.
struct Run
{
    double wallMs = 0; // spawn to the mark
    double markMs = 0; // the program's own figure
    double cpuMs = 0;  // user + system time up to the mark
    long rssKb = 0;    // resident set once settled
    double idleCpuMs = 0;
};

bool prepareFolder(const QString &folder, const QString &zelvant, int rows)
{
    const AppPaths paths = AppPaths::forFolder(folder);
    QFile::remove(paths.executablePath());
    if (!QFile::copy(zelvant, paths.executablePath()))
        return false;
    QFile::setPermissions(paths.executablePath(),
                          QFile::permissions(zelvant) | QFileDevice::ExeOwner);
    PhoneList phones;
    for (int i = 1; i <= PhoneSlotCount; ++i) {
        PhoneSlot &slot = phones.slot(i);
        slot.number = QStringLiteral("90300%1").arg(i, 5, 10, QLatin1Char('0'));
        slot.password = QStringLiteral("secret");
        slot.alias = QStringLiteral("Phone %1").arg(i);
        slot.monitored = true;
    }
    phones.setTrayShown(1);
    if (!savePhones(phones, paths.phonesFile(), paths.errorLogFile()))
        return false;
    Options options;
    options.cbLoadHistory = true;
    options.cbExecAfterRun = false;
    options.cbAutoStart = false;
    IniFile settings(paths.settingsFile());
    if (!saveSettings(settings, options, false, nullptr))
        return false;

    QString error;
    if (!initHistory(paths.historyFile(), &error)) {
        std::fprintf(stderr, "history: %s\n", qPrintable(error));
        return false;
    }
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(paths.historyFile());
        if (!db.open())
            return false;
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
        db.transaction();
        q.prepare(QStringLiteral(
            "INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, TurnOff, Recomend,"
            " SMS, Minutes, USDRate) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
        for (int r = 0; r < rows; ++r) {
            q.bindValue(0, phones.slot(r % PhoneSlotCount + 1).number);
            q.bindValue(
                1, start.addSecs(qint64(r) * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            q.bindValue(2, 100.0 + r % 1000 / 10.0);
            q.bindValue(3, 2.5);
            q.bindValue(4, 30);
            q.bindValue(5, 300.0);
            q.bindValue(6, 10);
            q.bindValue(7, 20);
            q.bindValue(8, 28.65);
            if (!q.exec()) {
                std::fprintf(stderr, "insert: %s\n", qPrintable(q.lastError().text()));
                return false;
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return true;
}

// Starts the program and waits for its mark; returns the wall time in ms
// (-1 on failure) and the program's own figure in *mark.
double startOnce(QProcess &p, const QString &program, const QString &folder, double *mark)
{
    p.setProgram(program);
    p.setWorkingDirectory(folder);
    QElapsedTimer clock;
    clock.start();
    p.setReadChannel(QProcess::StandardError);
    p.start();
    QByteArray err;
    while (clock.elapsed() < 20000) {
        if (!p.waitForReadyRead(50) && p.state() == QProcess::NotRunning)
            return -1;
        err += p.readAllStandardError();
        const int at = err.indexOf("ZELVANT_STARTUP_MARK ");
        const int end = at < 0 ? -1 : err.indexOf('\n', at);
        if (end > 0) {
            const double wall = clock.nsecsElapsed() / 1e6;
            *mark = err.mid(at + 21, end - at - 21).trimmed().toDouble();
            return wall;
        }
    }
    return -1;
}

void stop(QProcess &p)
{
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

long rssKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// CPU time of the process's threads in ms, to the nanosecond (the first
// figure of each thread's schedstat; /proc/PID/stat counts 10 ms ticks).
double cpuMs(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    double ns = 0;
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &thread : threads) {
        QFile f(tasks + QLatin1Char('/') + thread + QStringLiteral("/schedstat"));
        if (f.open(QIODevice::ReadOnly))
            ns += f.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
}

// Starts program, waits for its mark, lets it settle, reads its figures and
// stops it; idleSeconds > 0 also counts its CPU time over that many seconds.
bool runOnce(const QString &program, const QString &folder, int settleMs, int idleSeconds, Run *run)
{
    QProcess p;
    run->wallMs = startOnce(p, program, folder, &run->markMs);
    if (run->wallMs < 0) {
        stop(p);
        std::fprintf(stderr, "%s did not start\n", qPrintable(program));
        return false;
    }
    run->cpuMs = cpuMs(p.processId());
    QThread::msleep(settleMs);
    run->rssKb = rssKb(p.processId());
    if (idleSeconds > 0) {
        const double before = cpuMs(p.processId());
        QThread::sleep(idleSeconds);
        run->idleCpuMs = cpuMs(p.processId()) - before;
    }
    stop(p);
    return true;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// A figure of both programs: each side's median, and the ratio taken pair
// by pair (the two runs of a pair are neighbours in time, so a machine that
// gets busier or quieter shifts both) with its median, min and max.
void printRow(const char *label, const QList<double> &a, const QList<double> &b)
{
    QList<double> ratios;
    for (qsizetype i = 0; i < a.size() && i < b.size(); ++i)
        ratios << (b.at(i) > 0 ? a.at(i) / b.at(i) : 0.0);
    std::printf("%-40s %10.1f %10.1f %7.2f %7.2f %7.2f\n", label, median(a), median(b),
                median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: StartupBench ZELVANT MINIMAL [--pairs N] [--idle S] [--rows R]"
                             " [--timer MS] [--folder DIR]\n");
        return 2;
    }
    int pairs = 21, idle = 10, rows = 1000000, timerMs = 10;
    QString keep;
    for (int i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--pairs") || args[i] == QLatin1String("--runs"))
            pairs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--timer"))
            timerMs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--idle"))
            idle = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rows"))
            rows = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--folder"))
            keep = args[i + 1];
    }
    QTemporaryDir temp;
    const QString folder = keep.isEmpty() ? temp.path() : QDir(keep).absolutePath();
    QDir().mkpath(folder);
    qputenv("ZELVANT_STARTUP_MARK", "1");
    qputenv("XDG_RUNTIME_DIR", folder.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (folder + QStringLiteral("/config")).toLocal8Bit());

    QElapsedTimer fill;
    fill.start();
    const bool reuse = !keep.isEmpty() && QFile::exists(folder + QStringLiteral("/Zelvant.mdb"));
    if (reuse) {
        QFile::remove(folder + QStringLiteral("/Zelvant"));
        QFile::copy(args[1], folder + QStringLiteral("/Zelvant"));
    } else if (!prepareFolder(folder, args[1], rows)) {
        std::fprintf(stderr, "could not prepare the folder\n");
        return 1;
    }
    std::printf("prepared 100 phones and %d history rows (%.1f MB) in %.1f s\n", rows,
                QFileInfo(folder + QStringLiteral("/Zelvant.mdb")).size() / 1e6,
                fill.elapsed() / 1000.0);

    // The two programs take turns run by run, the first pair only warms the
    // caches; the order inside a pair alternates too.
    const QString zelvant = folder + QStringLiteral("/Zelvant");
    const QString minimal = args[2];
    constexpr int SettleMs = 2000;
    QList<double> zWall, mWall, zLess, zMark, mMark, zCpu, mCpu, zRss, mRss;
    for (int i = 0; i <= pairs; ++i) {
        Run z, m;
        const bool zFirst = i % 2 == 0;
        if (!(zFirst ? runOnce(zelvant, folder, SettleMs, 0, &z)
                     : runOnce(minimal, folder, SettleMs, 0, &m)))
            return 1;
        if (!(zFirst ? runOnce(minimal, folder, SettleMs, 0, &m)
                     : runOnce(zelvant, folder, SettleMs, 0, &z)))
            return 1;
        if (i == 0)
            continue;
        zWall << z.wallMs;
        mWall << m.wallMs;
        zLess << z.wallMs - timerMs;
        zMark << z.markMs;
        mMark << m.markMs;
        zCpu << z.cpuMs;
        mCpu << m.cpuMs;
        zRss << double(z.rssKb);
        mRss << double(m.rssKb);
    }
    Run zIdle, mIdle;
    if (idle > 0
        && !(runOnce(zelvant, folder, SettleMs, idle, &zIdle)
             && runOnce(minimal, folder, SettleMs, idle, &mIdle)))
        return 1;

    std::printf("%d alternated pairs after one warm-up pair\n", pairs);
    std::printf("%-40s %10s %10s %7s %7s %7s\n", "", "Zelvant", "Minimal", "ratio", "min", "max");
    printRow("start-up to tray icon, wall ms", zWall, mWall);
    printRow(qPrintable(QStringLiteral("  less the %1 ms start timer").arg(timerMs)), zLess, mWall);
    printRow("  (in-process figure, ms)", zMark, mMark);
    printRow("CPU up to the tray icon, ms", zCpu, mCpu);
    printRow("resident memory when idle, KiB", zRss, mRss);
    if (idle > 0)
        std::printf("CPU over %d idle s, ms: %.1f and %.1f\n", idle, zIdle.idleCpuMs,
                    mIdle.idleCpuMs);
    return 0;
}
