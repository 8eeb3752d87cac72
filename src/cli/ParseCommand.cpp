// Zelvant --parse FILE [--rules RULES] [--explain] [--json]: the values the
// program would take from a saved balance page, by its own rules or by a
// rules file under test, and on request where each value came from.
#include "cli/CommandLine.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>

#include "cli/PageExplanation.h"
#include "cli/ResultJson.h"
#include "core/retrieval/BalancePageParser.h"
#include "core/retrieval/PageDecoding.h"
#include "core/retrieval/PageFetcher.h"
#include "core/retrieval/PageRulesFile.h"

namespace zelvant {

namespace {

int cannotRead(const QString &fileName, const QString &reason)
{
    writeTo(stderr, (QStringLiteral("Zelvant: cannot read the page \"") + fileName
                     + QStringLiteral("\": ") + reason + QLatin1Char('\n'))
                        .toLocal8Bit());
    return 2;
}

// The rules named on the command line must be usable: the user is testing
// them. Without --rules the program's own rules apply, with a word on
// standard error when its file was refused.
bool rulesFor(const CliRequest &request, const AppPaths &paths, PageRules *rules)
{
    if (request.rulesFile.isEmpty()) {
        QString refusal;
        *rules = loadPageRules(paths.pageRulesFile(), &refusal);
        if (!refusal.isEmpty())
            printTo(stderr, QStringLiteral("Zelvant: ") + refusal + QLatin1Char('\n'));
        return true;
    }
    QString error;
    if (readPageRules(request.rulesFile, rules, &error))
        return true;
    printTo(stderr, QStringLiteral("Zelvant: файл правил разбора \"%1\" не принят: %2\n")
                        .arg(request.rulesFile, error));
    return false;
}

} // namespace

int runParseMode(const CliRequest &request, const AppPaths &paths)
{
    const QString fileName = request.positional.value(0);
    if (fileName.isEmpty())
        return cannotRead(fileName, QStringLiteral("no file given"));
    const QFileInfo info(fileName);
    if (!info.exists())
        return cannotRead(fileName, QStringLiteral("no such file"));
    if (info.isDir())
        return cannotRead(fileName, QStringLiteral("it is a folder"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(fileName, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return cannotRead(fileName, file.errorString());

    // The same page the program's browser hands over: the <body> element;
    // a fragment saved by hand without one is read whole.
    const QString html = decodeDocument(bytes, QByteArray());
    bool hasBody = false;
    const QString body = extractBodyElement(html, &hasBody);
    PageRules rules;
    if (!rulesFor(request, paths, &rules))
        return 2;
    const PageReading reading = readBalancePage(normalizePageText(hasBody ? body : html), rules);
    // Lines are told as an editor shows the file, not counted from <body>.
    const int firstLine = hasBody ? lineNumberAt(html, html.indexOf(body)) : 1;

    if (request.json) {
        QJsonObject object = phoneResultToJson(reading.record);
        if (request.explain)
            object.insert(QStringLiteral("Explain"),
                          pageExplanationJson(reading, rules, firstLine));
        writeTo(stdout, QJsonDocument(object).toJson(QJsonDocument::Indented));
    } else if (request.explain) {
        printTo(stdout, pageExplanationText(reading, rules, firstLine));
    } else {
        printTo(stdout, phoneResultFieldsText(reading.record));
    }
    return 0;
}

} // namespace zelvant
