#pragma once
// "Zelvant --check": one full request cycle without window or tray, over the
// files beside the executable.

#include <functional>

#include <QString>

#include "core/AppPaths.h"
#include "core/retrieval/RequestCycle.h"

namespace zelvant {

// Where the check writes: the result (standard output) and the progress and
// warnings (standard error). Each call is one or more complete lines.
struct CheckOutput
{
    std::function<void(const QString &)> out;
    std::function<void(const QString &)> err;
};

// Runs the check and returns the exit status: 0 every monitored phone got a
// fresh balance, 1 some did not, 2 the configuration is unusable.
int runCheck(const AppPaths &paths, bool json, const CycleTimings &timings,
             const CheckOutput &output);

// The cycle's durations of a check: the program's own, except that the
// environment variable ZELVANT_PAUSE_MS (milliseconds, for tests only)
// replaces the pause between two phones.
CycleTimings checkTimings();

} // namespace zelvant
