#include "core/StopFlag.h"

namespace zelvant {

namespace {
bool g_stopRequested = false;
} // namespace

bool stopRequested()
{
    return g_stopRequested;
}

void setStopRequested(bool on)
{
    g_stopRequested = on;
}

} // namespace zelvant
