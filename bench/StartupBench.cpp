// Start-up, memory and idle CPU of the tray program with 100 monitored
// phones and a history of a million rows, beside the same figures for a
// minimal Qt tray program (MinimalTray). Needs an X display with a tray
// (bench/run-startup.sh provides Xvfb + trayer).
//
//     StartupBench ZELVANT MINIMAL [--runs N] [--idle S] [--rows R] [--folder DIR]
//
// --folder keeps the prepared folder (the history is made once and reused).
//
// Start-up: wall time from spawning the process to its
// "ZELVANT_STARTUP_MARK" line (the tray icon shows the preloaded balances),
// median of N runs after one warm-up run. Memory: resident set 2 s after
// start-up. Idle CPU: user + system time over S seconds after that.

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
#include <unistd.h>

#include "core/AppPaths.h"
#include "core/config/IniFile.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/history/HistoryStore.h"

using namespace zelvant;

namespace {

struct Figures
{
    double startupMs = 0; // median
    double markMs = 0;    // the program's own figure, median
    long rssKb = 0;
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

double cpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line.
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

Figures measure(const QString &program, const QString &folder, int runs, int idleSeconds)
{
    Figures f;
    QList<double> walls;
    QList<double> marks;
    for (int i = 0; i <= runs; ++i) {
        QProcess p;
        double mark = 0;
        const double wall = startOnce(p, program, folder, &mark);
        stop(p);
        if (wall < 0) {
            std::fprintf(stderr, "%s did not start\n", qPrintable(program));
            return f;
        }
        if (i > 0) { // the first run warms the caches
            walls << wall;
            marks << mark;
        }
    }
    std::sort(walls.begin(), walls.end());
    std::sort(marks.begin(), marks.end());
    f.startupMs = walls.at(walls.size() / 2);
    f.markMs = marks.at(marks.size() / 2);

    QProcess p;
    double mark = 0;
    if (startOnce(p, program, folder, &mark) >= 0) {
        QThread::sleep(2);
        f.rssKb = rssKb(p.processId());
        const double before = cpuMs(p.processId());
        QThread::sleep(idleSeconds);
        f.idleCpuMs = cpuMs(p.processId()) - before;
    }
    stop(p);
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr,
                     "usage: StartupBench ZELVANT MINIMAL [--runs N] [--idle S] [--rows R]\n");
        return 2;
    }
    int runs = 9, idle = 60, rows = 1000000;
    QString keep;
    for (int i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
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

    const Figures z = measure(folder + QStringLiteral("/Zelvant"), folder, runs, idle);
    const Figures m = measure(args[2], folder, runs, idle);
    std::printf("%-34s %12s %12s %8s\n", "", "Zelvant", "MinimalTray", "ratio");
    std::printf("%-34s %12.1f %12.1f %8.2f\n", "start-up to tray icon, wall ms", z.startupMs,
                m.startupMs, z.startupMs / m.startupMs);
    std::printf("%-34s %12.1f %12.1f %8.2f\n", "  (in-process figure, ms)", z.markMs, m.markMs,
                m.markMs > 0 ? z.markMs / m.markMs : 0.0);
    std::printf("%-34s %12ld %12ld %8.2f\n", "resident memory when idle, KiB", z.rssKb, m.rssKb,
                double(z.rssKb) / double(m.rssKb));
    std::printf("%-34s %12.1f %12.1f\n",
                qPrintable(QStringLiteral("CPU over %1 idle s, ms").arg(idle)), z.idleCpuMs,
                m.idleCpuMs);
    return 0;
}
