#pragma once
// A request cycle with the store that keeps its results, on a temporary
// folder whose servers.ini lists the given regions: the set-up the tests of
// the cycle and of the retries share. Timings are short (no pause, no wait
// after a phone, 10 s time-out); the fake server's certificate authority is
// trusted.

#include <QList>
#include <QString>

#include <memory>

#include "core/config/AppContext.h"
#include "core/history/ResultStore.h"
#include "core/retrieval/RequestCycle.h"
#include "support/TempFolder.h"

namespace zelvant::test {

class CycleRig
{
public:
    struct RegionEntry
    {
        QString name;
        QString loginUrl;
        QString shortName;
    };

    void make(const QList<RegionEntry> &regions);
    void setTimings(int pauseMs, int timeoutMs, int afterMs);
    // Runs a cycle to its end; false when it was refused or did not end in time.
    bool run(CycleMode mode, int slot = -1, int waitMs = 15000);
    const PhoneResult &result(int slot) const { return (*store)[slot]; }

    TempFolder temp;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<ResultStore> store;
    std::unique_ptr<RequestCycle> cycle;
};

} // namespace zelvant::test
