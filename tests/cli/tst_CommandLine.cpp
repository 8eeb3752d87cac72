// Option parsing of the command-line modes: what each mode receives, and
// usage errors that must come back as exit status 2.

#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include "cli/CommandLine.h"

using namespace zelvant;

namespace {
CliRequest parse(QStringList args)
{
    args.prepend(QStringLiteral("Zelvant"));
    return parseCommandLine(args);
}
} // namespace

TEST(CommandLine, ModesGetTheirArgumentsWhateverTheOrderOfTheFlags)
{
    EXPECT_EQ(parse({}).mode, CliMode::TrayProgram);

    for (const QStringList &args : {QStringList{"--parse", "page.html", "--json"},
                                    QStringList{"--parse", "--json", "page.html"},
                                    QStringList{"--json", "--parse", "page.html"}}) {
        const CliRequest r = parse(args);
        EXPECT_EQ(r.mode, CliMode::Parse) << args.join(' ').toStdString();
        EXPECT_TRUE(r.json);
        EXPECT_EQ(r.positional, QStringList{"page.html"});
    }

    const CliRequest exported = parse({"--export-history", "out.xlsx", "+7(916)'x", "--days", "3"});
    EXPECT_EQ(exported.mode, CliMode::ExportHistory);
    EXPECT_EQ(exported.positional, (QStringList{"out.xlsx", "+7(916)'x"}));
    EXPECT_EQ(exported.rangeKind, 1);
    EXPECT_EQ(exported.rangeCount, 3);

    const CliRequest history = parse({"--history", "9161234567"});
    EXPECT_EQ(history.mode, CliMode::History);
    EXPECT_EQ(history.rangeKind, 2); // the last 50 by default
    EXPECT_EQ(history.rangeCount, 50);
    EXPECT_EQ(parse({"--history", "1", "--all"}).rangeKind, 0);
    EXPECT_EQ(parse({"--history", "1", "--last", "7"}).rangeCount, 7);

    EXPECT_EQ(parse({"--check"}).mode, CliMode::Check);
    EXPECT_EQ(parse({"--init-history"}).mode, CliMode::InitHistory);
    const CliRequest tester = parse({"--explain", "--parse", "p.html", "--rules", "r.ini"});
    EXPECT_EQ(tester.mode, CliMode::Parse);
    EXPECT_EQ(tester.rulesFile, QStringLiteral("r.ini"));
    EXPECT_TRUE(tester.explain);
    EXPECT_EQ(parse({"--print-rules"}).mode, CliMode::PrintRules);
    EXPECT_TRUE(parse({"--json", "--paths"}).json);
    EXPECT_EQ(parse({"--paths"}).mode, CliMode::Paths);
    EXPECT_EQ(parse({"--store-passwords", "file"}).mode, CliMode::StorePasswords);
}

TEST(CommandLine, PathsListTheModeThenEveryFile)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/u"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), QStringLiteral("/var/u"));
    const AppPaths installed = AppPaths::forExecutable(QStringLiteral("/usr/bin/zelvant"),
                                                       QStringLiteral("/usr/bin"), env);
    const auto listing = pathsListing(installed);
    ASSERT_GE(listing.size(), 8);
    const QList<std::pair<QString, QString>> expected = {
        {"mode", "installed"},
        {"executable", "/usr/bin/zelvant"},
        {"settings", "/home/u/.config/zelvant/Zelvant.ini"},
        {"phones", "/home/u/.config/zelvant/phones.xml"},
        {"regions", "/home/u/.config/zelvant/servers.ini"},
        {"history", "/home/u/.local/share/zelvant/Zelvant.mdb"},
        {"errorLog", "/var/u/zelvant/Zelvant.err"},
        {"savedPages", "/var/u/zelvant/"},
    };
    EXPECT_EQ(listing.mid(0, expected.size()), expected);
    EXPECT_EQ(pathsListing(AppPaths(QStringLiteral("/opt/z/Zelvant"))).first().second,
              QStringLiteral("portable"));
}

TEST(CommandLine, UsageErrorsExitWithStatusTwo)
{
    const QList<QStringList> bad = {
        {"--parse"},                                // no file
        {"--parse", "a", "b"},                      // two files
        {"--history", "1", "--last", "x"},          // not a count
        {"--history", "1", "--last", "-3"},         // negative count
        {"--history", "1", "--all", "--days", "2"}, // two ranges
        {"--export-history", "out.xlsx"},           // no number
        {"--check", "--parse", "a"},                // two modes
        {"--json"},                                 // no mode
        {"stray"},                                  // no mode
        {"--no-such-option"},
        {"--parse", "a", "--all"}, // a range without a history mode
        {"--check", "--days", "2"},
        {"--export-history", "o.xlsx", "1", "--json"}, // nothing to print as JSON
        {"--check", "--rules", "r.ini"},               // rules only for --parse
        {"--explain"},
        {"--print-rules", "out.ini"},
        {"--print-rules", "--json"},
        {"--paths", "x"},
        {"--paths", "--init-history"},
        {"--store-passwords"},
        {"--store-passwords", "disk"},
    };
    for (const QStringList &args : bad) {
        const CliRequest r = parse(args);
        EXPECT_EQ(r.mode, CliMode::Exit) << args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
    }
    const CliRequest help = parse({"--help"});
    EXPECT_EQ(help.mode, CliMode::Exit);
    EXPECT_EQ(help.exitCode, 0);
}
