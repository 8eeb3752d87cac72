// Zelvant: without options the tray program, otherwise a command-line mode.

#include <QCoreApplication>
#include <QStringList>

#include "cli/CommandLine.h"
#include "gui/TrayProgram.h"

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    const zelvant::CliRequest request = zelvant::parseCommandLine(arguments);
    if (request.mode == zelvant::CliMode::Exit)
        return request.exitCode;
    if (request.mode == zelvant::CliMode::TrayProgram)
        return zelvant::runTrayProgram(argc, argv);

    // The command-line modes need no display.
    QCoreApplication app(argc, argv);
    const zelvant::AppPaths paths =
        zelvant::AppPaths::forRunningProgram(QCoreApplication::applicationFilePath());
    zelvant::registerOwnFolders(paths);
    return zelvant::runCommandLineMode(request, paths);
}
