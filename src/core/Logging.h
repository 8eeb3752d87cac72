#pragma once
// Diagnostic messages, one category per area: "zelvant.retrieval" (fetcher,
// parser, request cycle), "zelvant.history", "zelvant.tray" and
// "zelvant.dbus". Only debug and info messages are written to them, and those
// are off unless switched on, e.g. QT_LOGGING_RULES="zelvant.retrieval.debug=true"
// or "zelvant.*=true". What the user should see goes to the error log, as before.

#include <QLoggingCategory>

namespace zelvant {

Q_DECLARE_LOGGING_CATEGORY(lcRetrieval)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
Q_DECLARE_LOGGING_CATEGORY(lcTray)
Q_DECLARE_LOGGING_CATEGORY(lcDBus)

} // namespace zelvant
