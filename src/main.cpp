// Zelvant: without options the tray program, otherwise a command-line mode.

#include <QCoreApplication>
#include <QStringList>

#include "cli/CommandLine.h"
#include "gui/TrayProgram.h"

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {

// The modes that decode the phones' passwords keep them in memory: a core
// file would hold them in plain text, and a debugger of the same user could
// read them. ZELVANT_ALLOW_CORE_DUMP=1 keeps the process dumpable for a bug
// report (README, "Where the files lie").
void keepPasswordsOutOfCoreDumps()
{
#ifdef Q_OS_LINUX
    if (qEnvironmentVariableIntValue("ZELVANT_ALLOW_CORE_DUMP") == 1)
        return;
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    const zelvant::CliRequest request = zelvant::parseCommandLine(arguments);
    if (request.mode == zelvant::CliMode::Exit)
        return request.exitCode;
    if (request.mode == zelvant::CliMode::TrayProgram || request.mode == zelvant::CliMode::Check)
        keepPasswordsOutOfCoreDumps();
    if (request.mode == zelvant::CliMode::TrayProgram)
        return zelvant::runTrayProgram(argc, argv);

    // The command-line modes need no display.
    QCoreApplication app(argc, argv);
    const zelvant::AppPaths paths =
        zelvant::AppPaths::forRunningProgram(QCoreApplication::applicationFilePath());
    zelvant::registerOwnFolders(paths);
    return zelvant::runCommandLineMode(request, paths);
}
