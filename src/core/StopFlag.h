#pragma once
// Program-wide stop flag of the request cycle: set by "Остановить запрос" and
// on exit, cleared at the start of every cycle; ends the current pause, wait
// and the cycle.

namespace zelvant {

bool stopRequested();
void setStopRequested(bool on);

} // namespace zelvant
