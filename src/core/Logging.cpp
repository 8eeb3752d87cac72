#include "core/Logging.h"

namespace zelvant {

// Warnings and above would pass by default; nothing is written at those levels.
Q_LOGGING_CATEGORY(lcRetrieval, "zelvant.retrieval", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHistory, "zelvant.history", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTray, "zelvant.tray", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDBus, "zelvant.dbus", QtWarningMsg)

} // namespace zelvant
