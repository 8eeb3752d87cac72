// Zelvant --parse FILE [--json]: the values the program would take from a
// saved balance page.
#include "cli/CommandLine.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>

#include "cli/ResultJson.h"
#include "core/retrieval/BalancePageParser.h"
#include "core/retrieval/PageDecoding.h"
#include "core/retrieval/PageFetcher.h"

namespace zelvant {

namespace {

int cannotRead(const QString &fileName, const QString &reason)
{
    writeTo(stderr, (QStringLiteral("Zelvant: cannot read the page \"") + fileName
                     + QStringLiteral("\": ") + reason + QLatin1Char('\n'))
                        .toLocal8Bit());
    return 2;
}

} // namespace

int runParseMode(const CliRequest &request, const AppPaths &)
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
    PhoneResult record;
    parseBalancePage(normalizePageText(hasBody ? body : html), record);

    if (request.json)
        writeTo(stdout, QJsonDocument(phoneResultToJson(record)).toJson(QJsonDocument::Indented));
    else
        writeTo(stdout, phoneResultFieldsText(record).toLocal8Bit());
    return 0;
}

} // namespace zelvant
