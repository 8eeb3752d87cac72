#pragma once
// The command-line modes of the executable. They need no display and print
// only their result on standard output; what the tray program would show in
// a message box goes to standard error.

#include <QByteArray>
#include <QStringList>

#include <cstdio>
#include <functional>

#include "core/AppPaths.h"

namespace zelvant {

enum class CliMode {
    TrayProgram,
    Parse,
    Check,
    History,
    ExportHistory,
    InitHistory,
    PrintRules,
    Paths,
    StorePasswords,
    Exit
};

struct CliRequest
{
    CliMode mode = CliMode::TrayProgram;
    int exitCode = 0; // for CliMode::Exit (help, version, usage errors)
    QStringList positional;
    bool json = false;
    int rangeKind = 2; // HistoryRange: 0 all, 1 days, 2 last N
    int rangeCount = 50;
    QString rulesFile;    // --parse: read by these rules instead of the program's
    bool explain = false; // --parse: where each value came from
};

// Parses the arguments (argv[0] included). Help, version and usage errors
// come back as CliMode::Exit with their text already printed.
CliRequest parseCommandLine(const QStringList &arguments);

// Runs a command-line mode (everything but TrayProgram) and returns the exit
// status. The files are those of paths (installed or portable).
int runCommandLineMode(const CliRequest &request, const AppPaths &paths);

// Output of the modes: written at once (no buffering between the two
// streams), text in the terminal's encoding.
void writeTo(FILE *stream, const QByteArray &bytes);
void printTo(FILE *stream, const QString &text);

// The single modes, one file each.
int runParseMode(const CliRequest &request, const AppPaths &paths);
int runCheckMode(const CliRequest &request, const AppPaths &paths);
int runHistoryMode(const CliRequest &request, const AppPaths &paths);
int runExportHistoryMode(const CliRequest &request, const AppPaths &paths);
int runInitHistoryMode(const CliRequest &request, const AppPaths &paths);
int runPrintRulesMode(const CliRequest &request, const AppPaths &paths);
int runPathsMode(const CliRequest &request, const AppPaths &paths);
int runStorePasswordsMode(const CliRequest &request, const AppPaths &paths);

class PhoneList;
// Fills the keyring phones' passwords of phones, waiting for the keyring;
// says on standard error where the passwords came from when the keyring
// had a part, and why it could not be read.
void readKeyringPasswords(PhoneList &phones, const std::function<void(const QString &)> &err);

// What --paths prints, in order: the mode, then each file and folder of the
// program under its key ("settings", "history", ...).
QList<std::pair<QString, QString>> pathsListing(const AppPaths &paths);

struct HistoryRow;
// The printed forms of --history: tab-separated lines under a title line of
// column names, or a JSON array of objects named after the columns.
QByteArray historyRowsText(const QList<HistoryRow> &rows);
QByteArray historyRowsJson(const QList<HistoryRow> &rows);

} // namespace zelvant
