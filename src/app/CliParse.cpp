// Zelvant --parse FILE [--json]: the values the program would take from a
// saved balance page.
#include "CommandLine.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>

#include "app/LumoJson.h"
#include "retrieval/BalanceParser2.h"
#include "retrieval/PageDecoding.h"

namespace zelvant {

namespace {

void writeTo(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool isTagNameEnd(QChar c)
{
    return c == u'>' || c == u'/' || c.unicode() <= 32;
}

qsizetype findTag(const QString &html, QLatin1StringView name, qsizetype from)
{
    for (qsizetype at = html.indexOf(name, from, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(name, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + name.size();
        if (after >= html.size() || isTagNameEnd(html.at(after)))
            return at;
    }
    return -1;
}

// What the program's browser hands to the parser: the <body> element from
// its opening tag through its closing tag, or the whole text of a document
// without one (a fragment saved by hand).
QString pageBody(const QString &html)
{
    const qsizetype open = findTag(html, QLatin1StringView("<body"), 0);
    if (open < 0)
        return html;
    const qsizetype close = findTag(html, QLatin1StringView("</body"), open);
    if (close < 0)
        return html.mid(open);
    const qsizetype end = html.indexOf(QLatin1Char('>'), close);
    return end < 0 ? html.mid(open) : html.mid(open, end + 1 - open);
}

} // namespace

int RunParseMode(const CliRequest &request, const AppPaths &)
{
    const QString fileName = request.positional.value(0);
    QFile file(fileName);
    if (fileName.isEmpty() || QFileInfo(fileName).isDir() || !file.open(QIODevice::ReadOnly)) {
        const QString reason = fileName.isEmpty()        ? QStringLiteral("no file given")
            : !QFileInfo::exists(fileName)               ? QStringLiteral("no such file")
            : QFileInfo(fileName).isDir()                ? QStringLiteral("it is a folder")
                                                         : file.errorString();
        writeTo(stderr, (QStringLiteral("Zelvant: cannot read the page \"") + fileName
                         + QStringLiteral("\": ") + reason + QLatin1Char('\n'))
                            .toLocal8Bit());
        return 2;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        writeTo(stderr, (QStringLiteral("Zelvant: cannot read the page \"") + fileName
                         + QStringLiteral("\": ") + file.errorString() + QLatin1Char('\n'))
                            .toLocal8Bit());
        return 2;
    }

    TLumo record;
    ParseBalancePage(pageBody(DecodeDocument(bytes, QByteArray())), record);

    if (request.json)
        writeTo(stdout, QJsonDocument(LumoToJson(record)).toJson(QJsonDocument::Indented));
    else
        writeTo(stdout, LumoPageFieldsText(record).toLocal8Bit());
    return 0;
}

} // namespace zelvant
