// The Windows-1251 codec: bytes come back byte for byte, text that fits
// comes back character for character, references keep what does not fit,
// and lower-casing keeps every character in place.

#include "FuzzCheck.h"
#include "core/TextCodec.h"

using namespace zelvant;
using namespace zelvant::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    const QString decoded = fromWindows1251(bytes);
    FUZZ_CHECK(decoded.size() == bytes.size());
    QByteArray again;
    FUZZ_CHECK(toWindows1251Exact(decoded, &again));
    FUZZ_CHECK(again == bytes);
    FUZZ_CHECK(toWindows1251WithCharRefs(decoded) == bytes || bytes.contains('\x98'));

    // The same bytes read as UTF-16: most of it has no byte in the code page.
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    QByteArray exact;
    const bool fits = fitsWindows1251(text);
    if (toWindows1251Exact(text, &exact))
        FUZZ_CHECK(fromWindows1251(exact).size() == text.size());
    if (fits) {
        FUZZ_CHECK(fromWindows1251(toWindows1251(text)) == text);
        FUZZ_CHECK(toWindows1251WithCharRefs(text) == toWindows1251(text));
    } else {
        FUZZ_CHECK(toWindows1251WithCharRefs(text).contains("&#"));
    }
    const QString lower = lowerWindows1251(text);
    FUZZ_CHECK(lower.size() == text.size());
    FUZZ_CHECK(lowerWindows1251(lower) == lower);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool breakBefore = text[i] == u'\r' || text[i] == u'\n';
        FUZZ_CHECK(breakBefore == (lower[i] == u'\r' || lower[i] == u'\n'));
    }
    return 0;
}
