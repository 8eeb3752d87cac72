#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

namespace zelvant {

void writeTo(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void printTo(FILE *stream, const QString &text)
{
    writeTo(stream, text.toLocal8Bit());
}

namespace {

CliRequest usageError(const QString &message)
{
    printTo(stderr,
            QStringLiteral("Zelvant: ") + message + QStringLiteral("\nTry 'Zelvant --help'.\n"));
    CliRequest request;
    request.mode = CliMode::Exit;
    request.exitCode = 2;
    return request;
}

bool readCount(const QCommandLineParser &parser, const QCommandLineOption &option, int *count)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < 0)
        return false;
    *count = value;
    return true;
}

} // namespace

CliRequest parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Zelvant: watches the prepaid balance of up to 100 phones from the "
                       "notification area. Without options it starts the tray program."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption parse(
        QStringLiteral("parse"),
        QStringLiteral("--parse FILE: parse a saved balance page and print its fields."));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Run one request cycle over the phone list "
                                                  "(see --paths), without a window."));
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("--history NUMBER: print the stored history of one number."));
    const QCommandLineOption exportHistory(
        QStringLiteral("export-history"),
        QStringLiteral(
            "--export-history FILE NUMBER: write the history of one number to a workbook."));
    const QCommandLineOption initHistory(
        QStringLiteral("init-history"),
        QStringLiteral("Create an empty history database where the program reads it (see "
                       "--paths) if none exists."));
    const QCommandLineOption paths(QStringLiteral("paths"),
                                   QStringLiteral("Print whether the program runs installed or "
                                                  "portable and where each of its files lies."));
    const QCommandLineOption storePasswords(
        QStringLiteral("store-passwords"),
        QStringLiteral("--store-passwords keyring|file: move the phones' passwords into the "
                       "desktop's keyring or into the phone list file."));
    const QCommandLineOption last(QStringLiteral("last"),
                                  QStringLiteral("History: the last N requests (default 50)."),
                                  QStringLiteral("N"));
    const QCommandLineOption days(QStringLiteral("days"),
                                  QStringLiteral("History: the requests of the last D days."),
                                  QStringLiteral("D"));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("History: everything."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print JSON instead of text."));
    const QCommandLineOption rules(QStringLiteral("rules"),
                                   QStringLiteral("--parse: read the page by this rules file."),
                                   QStringLiteral("RULES"));
    const QCommandLineOption explain(
        QStringLiteral("explain"),
        QStringLiteral("--parse: tell for every field the step and line that set it."));
    const QCommandLineOption printRules(
        QStringLiteral("print-rules"),
        QStringLiteral("Print the built-in page rules in the format of page-rules.ini."));
    parser.addOptions({help, version, parse, check, history, exportHistory, initHistory, paths,
                       storePasswords, last, days, all, json, rules, explain, printRules});
    // The mode options take their FILE / NUMBER as positional arguments, so
    // "--parse --json FILE" works as well as "--parse FILE --json".
    parser.addPositionalArgument(QStringLiteral("FILE/NUMBER"),
                                 QStringLiteral("What the chosen mode works on."),
                                 QStringLiteral("[FILE|NUMBER]"));

    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    CliRequest request;
    if (parser.isSet(help)) {
        printTo(stdout,
                parser.helpText().replace(QStringLiteral("<executable_name>"), ProgramName));
        request.mode = CliMode::Exit;
        return request;
    }
    if (parser.isSet(version)) {
        printTo(stdout, ProgramTitle + QLatin1Char('\n'));
        request.mode = CliMode::Exit;
        return request;
    }

    int modes = 0;
    for (const QCommandLineOption *option : {&parse, &check, &history, &exportHistory, &initHistory,
                                             &paths, &storePasswords, &printRules})
        modes += parser.isSet(*option) ? 1 : 0;
    if (modes > 1)
        return usageError(QStringLiteral("choose one of --parse, --check, --history, "
                                         "--export-history, --init-history, --paths, "
                                         "--store-passwords, --print-rules"));

    request.json = parser.isSet(json);
    request.rulesFile = parser.value(rules);
    request.explain = parser.isSet(explain);
    if (parser.isSet(rules) && request.rulesFile.isEmpty())
        return usageError(QStringLiteral("--rules takes the name of a rules file"));
    request.positional = parser.positionalArguments();
    const int rangeOptions =
        (parser.isSet(last) ? 1 : 0) + (parser.isSet(days) ? 1 : 0) + (parser.isSet(all) ? 1 : 0);
    if (rangeOptions > 1)
        return usageError(QStringLiteral("choose one of --last, --days, --all"));
    if (parser.isSet(all)) {
        request.rangeKind = 0;
    } else if (parser.isSet(days)) {
        request.rangeKind = 1;
        if (!readCount(parser, days, &request.rangeCount))
            return usageError(QStringLiteral("--days takes a whole number of days"));
    } else if (parser.isSet(last)) {
        request.rangeKind = 2;
        if (!readCount(parser, last, &request.rangeCount))
            return usageError(QStringLiteral("--last takes a whole number of requests"));
    }

    const qsizetype given = request.positional.size();
    auto expect = [&](qsizetype count, const QString &usage) {
        return given == count ? QString() : usage;
    };
    QString usage;
    if (parser.isSet(parse)) {
        request.mode = CliMode::Parse;
        usage =
            expect(1, QStringLiteral("usage: --parse FILE [--rules RULES] [--explain] [--json]"));
    } else if (parser.isSet(check)) {
        request.mode = CliMode::Check;
        usage = expect(0, QStringLiteral("usage: --check [--json]"));
    } else if (parser.isSet(history)) {
        request.mode = CliMode::History;
        usage = expect(
            1, QStringLiteral("usage: --history NUMBER [--last N | --days D | --all] [--json]"));
    } else if (parser.isSet(exportHistory)) {
        request.mode = CliMode::ExportHistory;
        usage = expect(
            2, QStringLiteral("usage: --export-history FILE NUMBER [--last N | --days D | --all]"));
    } else if (parser.isSet(initHistory)) {
        request.mode = CliMode::InitHistory;
        usage = expect(0, QStringLiteral("usage: --init-history"));
    } else if (parser.isSet(paths)) {
        request.mode = CliMode::Paths;
        usage = expect(0, QStringLiteral("usage: --paths [--json]"));
    } else if (parser.isSet(storePasswords)) {
        request.mode = CliMode::StorePasswords;
        const QStringList places{QStringLiteral("keyring"), QStringLiteral("file")};
        usage = given == 1 && places.contains(request.positional.first())
                    ? QString()
                    : QStringLiteral("usage: --store-passwords keyring|file");
    } else if (parser.isSet(printRules)) {
        request.mode = CliMode::PrintRules;
        usage = expect(0, QStringLiteral("usage: --print-rules"));
    } else if (request.json || rangeOptions > 0 || given > 0 || parser.isSet(rules)
               || request.explain) {
        usage = QStringLiteral("these options need a mode such as --parse or --history");
    }
    // Range options belong to the history modes, --json to the printing ones.
    const bool historyMode =
        request.mode == CliMode::History || request.mode == CliMode::ExportHistory;
    const bool printingMode = request.mode == CliMode::Parse || request.mode == CliMode::Check
                              || request.mode == CliMode::History || request.mode == CliMode::Paths;
    if (usage.isEmpty() && rangeOptions > 0 && !historyMode)
        usage = QStringLiteral("--last, --days and --all go with --history or --export-history");
    if (usage.isEmpty() && request.json && !printingMode)
        usage = QStringLiteral("--json goes with --parse, --check, --history or --paths");
    if (usage.isEmpty() && (parser.isSet(rules) || request.explain)
        && request.mode != CliMode::Parse)
        usage = QStringLiteral("--rules and --explain go with --parse");
    if (!usage.isEmpty())
        return usageError(usage);
    return request;
}

int runCommandLineMode(const CliRequest &request, const AppPaths &paths)
{
    switch (request.mode) {
    case CliMode::Parse:
        return runParseMode(request, paths);
    case CliMode::Check:
        return runCheckMode(request, paths);
    case CliMode::History:
        return runHistoryMode(request, paths);
    case CliMode::ExportHistory:
        return runExportHistoryMode(request, paths);
    case CliMode::InitHistory:
        return runInitHistoryMode(request, paths);
    case CliMode::PrintRules:
        return runPrintRulesMode(request, paths);
    case CliMode::Paths:
        return runPathsMode(request, paths);
    case CliMode::StorePasswords:
        return runStorePasswordsMode(request, paths);
    case CliMode::Exit:
        return request.exitCode;
    case CliMode::TrayProgram:
        break;
    }
    return 2;
}

} // namespace zelvant
