#include "support/CycleRig.h"

#include <QSignalSpy>

#include "core/TextCodec.h"
#include "core/retrieval/PageFetcher.h"
#include "support/FakeLumoServer.h"

namespace zelvant::test {

void CycleRig::make(const QList<RegionEntry> &regions)
{
    QString ini;
    for (const RegionEntry &r : regions)
        ini += QStringLiteral("[%1]\r\nLoginURL=%2\r\nShortName=%3\r\n")
                   .arg(r.name, r.loginUrl, r.shortName);
    temp.write(QStringLiteral("servers.ini"), toWindows1251(ini));
    cycle.reset();
    store.reset();
    context = std::make_unique<AppContext>(AppPaths::forFolder(temp.path()));
    store = std::make_unique<ResultStore>(context->paths);
    cycle = std::make_unique<RequestCycle>(*context, store->results());
    keepCycleResults(*cycle, *store, *context);
    setTimings(0, 10000, 0);
    cycle->fetcher().setExtraCaCertificates(FakeLumoServer::caCertificates());
}

void CycleRig::setTimings(int pauseMs, int timeoutMs, int afterMs)
{
    CycleTimings timings;
    timings.pauseBeforePhoneMs = pauseMs;
    timings.timeoutMs = timeoutMs;
    timings.afterPhoneMs = afterMs;
    cycle->setTimings(timings);
}

bool CycleRig::run(CycleMode mode, int slot, int waitMs)
{
    QSignalSpy finished(cycle.get(), &RequestCycle::cycleFinished);
    if (!cycle->queryPhones(mode, slot))
        return false;
    return finished.wait(waitMs) && !cycle->isRunning();
}

} // namespace zelvant::test
