// The way from received bytes to the page the parser reads: charset
// detection and decoding, the body element, the browser-like normalisation
// and the meta refresh target. Input: Content-Type value, NUL, document.

#include <QUrl>

#include "FuzzCheck.h"
#include "core/retrieval/PageDecoding.h"
#include "core/retrieval/PageFetcher.h"

using namespace zelvant;
using namespace zelvant::fuzz;

namespace {

qsizetype lineBreaks(const QString &text)
{
    return text.count(QLatin1Char('\r')) * 0x10000 + text.count(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> input = pieces(bytesOf(data, size), 2);
    const QString html = decodeDocument(input[1], input[0]);
    bool found = false;
    const QString body = extractBodyElement(html, &found);
    if (found) {
        FUZZ_CHECK(body.startsWith(QLatin1String("<body"), Qt::CaseInsensitive));
        FUZZ_CHECK(html.contains(body));
    } else {
        FUZZ_CHECK(body.isEmpty());
    }

    const QString source = found ? body : html;
    const QString page = normalizePageText(source);
    FUZZ_CHECK(lineBreaks(page) == lineBreaks(source));
    FUZZ_CHECK(!page.contains(QChar(0xA0)));
    FUZZ_CHECK(normalizePageText(page) == page);

    metaRefreshTarget(html, QUrl(QStringLiteral("http://lumo.test/a/b")));
    return 0;
}
