// --init-history: puts an empty history database where this mode reads it
// (beside a portable executable, in the user's data folder when installed),
// the install step that the tray program itself never takes.
#include "cli/CommandLine.h"

#include <QFileInfo>

#include <cstdio>

#include "core/history/HistoryStore.h"

namespace zelvant {

namespace {

} // namespace

int runInitHistoryMode(const CliRequest &, const AppPaths &paths)
{
    const QString path = paths.historyFile();
    const bool existed = QFileInfo(path).exists();
    QString error;
    if (!initHistory(path, &error)) {
        printTo(stderr, QStringLiteral("Zelvant: cannot set up the history database %1: %2\n")
                            .arg(path, error));
        return 2;
    }
    if (existed)
        printTo(stdout,
                QStringLiteral("%1: the history database is already there; left unchanged\n")
                    .arg(path));
    else
        printTo(stdout, QStringLiteral("%1: empty history database created\n").arg(path));
    return 0;
}

} // namespace zelvant
