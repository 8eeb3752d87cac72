// Request cycles over 100 phones against the local fake server, without
// pauses: wall time per cycle and per phone, and resident memory and heap in
// use after the first cycle and after the last. The fake server runs in the
// same thread, so the time per phone is an upper bound of the program's own
// cost; its log of requests is emptied before every cycle so that its memory
// is not counted as the program's.
//
//   CycleBench [cycles=10] [phones=100] [both|on|off]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <malloc.h>

#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "core/history/HistoryStore.h"
#include "core/history/ResultStore.h"
#include "core/retrieval/RequestCycle.h"
#include "support/FakeLumoServer.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::FakeLumoServer;

namespace {

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

// Bytes handed out by malloc and not yet freed: separates memory the
// program holds from pages the allocator keeps (fragmentation).
long heapInUseKiB()
{
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
}

// Runs `cycles` mode-0 cycles (numbered from first + 1); prints each one's
// time. Returns false on a failed phone or a cycle that did not end.
bool runCycles(RequestCycle &wb, const ResultStore &store, FakeLumoServer &server, int first,
               int cycles, int phones, std::vector<qint64> &times)
{
    for (int i = first; i < first + cycles; ++i) {
        // The fake server keeps every request it answered (about 3.5 KiB per
        // phone) and every session it opened; that is the bench's memory,
        // not the program's. Each phone logs in afresh, so no session is
        // needed from one cycle to the next.
        server.clearRequests();
        server.clearSessions();
        QSignalSpy finished(&wb, &RequestCycle::cycleFinished);
        QElapsedTimer clock;
        clock.start();
        if (!wb.queryPhones(CycleMode::AllPhones) || !finished.wait(120000))
            return false;
        const qint64 ms = clock.elapsed();
        times.push_back(ms);
        for (int slot = 1; slot <= phones; ++slot)
            if (!store[slot].queryOk)
                return false;
        std::printf("  cycle %2d: %5lld ms, %.2f ms per phone, RSS %ld KiB, heap in use %ld KiB\n",
                    i + 1, static_cast<long long>(ms), double(ms) / phones, residentKiB(),
                    heapInUseKiB());
    }
    return true;
}

bool bench(bool history, int cycles, int phones)
{
    zelvant::test::TempFolder temp;
    FakeLumoServer server;
    if (!server.start())
        return false;
    temp.write(QStringLiteral("servers.ini"),
               toWindows1251(QStringLiteral("[Bench]\r\nLoginURL=%1\r\nShortName=BEN\r\n")
                                 .arg(server.loginUrl().toString())));
    AppContext context(AppPaths::forFolder(temp.path()));
    Options options;
    options.cbHistory = history;
    context.options.apply(options);
    if (history)
        initHistory(context.paths.historyFile());
    for (int slot = 1; slot <= phones; ++slot) {
        FakeLumoServer::Subscriber s;
        s.number = QStringLiteral("903%1").arg(slot, 7, 10, QLatin1Char('0'));
        s.password = QStringLiteral("пароль%1").arg(slot);
        s.balance = slot + 0.25;
        server.addSubscriber(s);
        PhoneSlot &p = context.phones.slot(slot);
        p.number = s.number;
        p.password = s.password;
        p.alias = QStringLiteral("Телефон %1").arg(slot);
        p.monitored = true;
        p.region = QStringLiteral("BEN");
    }
    ResultStore store(context.paths);
    RequestCycle wb(context, store.results());
    keepCycleResults(wb, store, context);
    CycleTimings timings;
    timings.pauseBeforePhoneMs = 0;
    timings.afterPhoneMs = 0;
    wb.setTimings(timings);

    std::printf("%d phones per cycle, history %s (login: POST, 302 with cookie, GET balance)\n",
                phones, history ? "on" : "off");
    // The first cycle pays for first-time set-up; memory is compared from
    // the end of it.
    std::vector<qint64> times;
    if (!runCycles(wb, store, server, 0, 1, phones, times))
        return false;
    const long after100 = residentKiB();
    const long heap100 = heapInUseKiB();
    if (!runCycles(wb, store, server, 1, cycles - 1, phones, times))
        return false;
    const long after1000 = residentKiB();
    const long heap1000 = heapInUseKiB();
    std::printf("RSS after %d phones: %ld KiB; after %d phones: %ld KiB; growth %ld KiB "
                "(heap in use %+ld KiB)\n",
                phones, after100, phones * cycles, after1000, after1000 - after100,
                heap1000 - heap100);
    std::sort(times.begin(), times.end());
    std::printf("cycle time over %zu cycles: min %lld ms, median %lld ms, max %lld ms\n\n",
                times.size(), static_cast<long long>(times.front()),
                static_cast<long long>(times[times.size() / 2]),
                static_cast<long long>(times.back()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int cycles = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
    const int phones = argc > 2 ? QByteArray(argv[2]).toInt() : PhoneSlotCount;
    // Each run reuses the memory the one before it freed, so the resident
    // growth of a run is only comparable when it runs alone.
    const QByteArray which = argc > 3 ? QByteArray(argv[3]) : QByteArrayLiteral("both");
    if (cycles < 1 || phones < 1 || phones > PhoneSlotCount
        || (which != "both" && which != "on" && which != "off")) {
        std::fputs("usage: CycleBench [cycles] [phones<=100] [both|on|off]\n", stderr);
        return 2;
    }
    const bool ok = (which == "off" || bench(true, cycles, phones))
                    && (which == "on" || bench(false, cycles, phones));
    if (!ok)
        std::fputs("a cycle failed\n", stderr);
    return ok ? 0 : 1;
}
