#include "core/retrieval/PageDecoding.h"

#include <QStringDecoder>

#include "core/DigitValue.h"
#include "core/TextCodec.h"

namespace zelvant {

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

qsizetype indexOfNoCase(QByteArrayView text, QByteArrayView lowerPattern, qsizetype from)
{
    const qsizetype last = text.size() - lowerPattern.size();
    for (qsizetype i = from; i <= last; ++i) {
        qsizetype k = 0;
        while (k < lowerPattern.size() && asciiLower(text[i + k]) == lowerPattern[k])
            ++k;
        if (k == lowerPattern.size())
            return i;
    }
    return -1;
}

bool isCharsetChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
           || c == '_' || c == '.' || c == ':';
}

// The value after "charset" (blanks, '=', blanks, an optional quote), lower
// case; empty when the text holds no such assignment.
QByteArray charsetAssignment(QByteArrayView text)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = indexOfNoCase(text, "charset", from);
        if (at < 0)
            return {};
        qsizetype i = at + 7;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i < text.size() && text[i] == '=') {
            ++i;
            while (i < text.size()
                   && (text[i] == ' ' || text[i] == '\t' || text[i] == '"' || text[i] == '\''))
                ++i;
            QByteArray name;
            while (i < text.size() && isCharsetChar(text[i]))
                name.append(asciiLower(text[i++]));
            if (!name.isEmpty())
                return name;
        }
        from = at + 7;
    }
}

bool isWindows1251(const QByteArray &charset)
{
    return charset == "windows-1251" || charset == "cp1251" || charset == "win-1251"
           || charset == "x-cp1251" || charset == "cp-1251";
}

// Decodes by a named charset; false when the name is unknown here.
bool decodeAs(const QByteArray &charset, QByteArrayView bytes, QString *text)
{
    if (charset.isEmpty())
        return false;
    if (isWindows1251(charset)) {
        *text = fromWindows1251(bytes.toByteArray());
        return true;
    }
    if (charset == "utf-8" || charset == "utf8") {
        *text = QString::fromUtf8(bytes);
        return true;
    }
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return false;
    *text = decoder.decode(bytes);
    return true;
}

// A numeric character reference at pos ("&#" digits, or "&#x" hexadecimal
// digits, then an optional ';'): its length, 0 when there is none.
qsizetype numericReference(QStringView text, qsizetype pos, char32_t *code)
{
    qsizetype i = pos + 2;
    int base = 10;
    if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    }
    const qsizetype digits = i;
    char32_t value = 0;
    for (int d; i < text.size() && (d = digitValue(text[i], base)) >= 0; ++i) {
        if (value <= 0x10FFFF)
            value = value * char32_t(base) + char32_t(d);
    }
    if (i == digits)
        return 0;
    if (i < text.size() && text[i] == u';')
        ++i;
    *code = value;
    return i - pos;
}

// One of the six entities the balance parser replaces, at pos (letter case
// ignored as the parser does).
bool isParserEntity(QStringView text, qsizetype pos)
{
    static const QLatin1String entities[] = {QLatin1String("&nbsp;"), QLatin1String("&lt;"),
                                             QLatin1String("&gt;"),   QLatin1String("&quote;"),
                                             QLatin1String("&amp;"),  QLatin1String("&quot;")};
    const QStringView rest = text.mid(pos);
    for (const QLatin1String entity : entities) {
        if (rest.startsWith(entity, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// What the serialized document shows for one character of its text.
void appendSerialized(QString &out, char32_t c)
{
    switch (c) {
    case U'&':
        out += QLatin1String("&amp;");
        return;
    case U'<':
        out += QLatin1String("&lt;");
        return;
    case U'>':
        out += QLatin1String("&gt;");
        return;
    case 0xA0:
        out += QLatin1String("&nbsp;");
        return;
    case U'\r':
    case U'\n':
        out += QLatin1Char(' ');
        return;
    default:
        break;
    }
    // A reference to no character at all reads as the replacement
    // character, as in a browser.
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    out += QString::fromUcs4(&c, 1);
}

} // namespace

QString normalizePageText(const QString &page)
{
    const QStringView text(page);
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0; // text before this index is in out already
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        qsizetype length = 0;
        char32_t code = 0;
        if (c == QChar(0xA0)) {
            length = 1;
            code = 0xA0;
        } else if (c == u'&') {
            length = text.mid(i + 1).startsWith(u'#') ? numericReference(text, i, &code) : 0;
            if (length == 0 && isParserEntity(text, i)) {
                ++i;
                continue;
            }
            // Any other '&' is text, which a browser writes as "&amp;": so
            // no reference can form from what a reference gave.
            if (length == 0) {
                length = 1;
                code = U'&';
            }
        }
        if (length == 0) {
            ++i;
            continue;
        }
        out += text.mid(copied, i - copied);
        appendSerialized(out, code);
        i += length;
        copied = i;
    }
    if (copied == 0)
        return page;
    out += text.mid(copied);
    return out;
}

QByteArray charsetFromContentType(const QByteArray &contentType)
{
    return charsetAssignment(contentType);
}

QByteArray charsetFromMeta(const QByteArray &document)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = indexOfNoCase(document, "<meta", from);
        if (at < 0)
            return {};
        qsizetype end = document.indexOf('>', at);
        if (end < 0)
            end = document.size();
        const QByteArray charset = charsetAssignment(QByteArrayView(document).sliced(at, end - at));
        if (!charset.isEmpty())
            return charset;
        from = end;
    }
}

QString decodeDocument(const QByteArray &bytes, const QByteArray &contentType)
{
    QString text;
    const QByteArrayView view(bytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(view.sliced(3));
    if (bytes.startsWith("\xFF\xFE") && decodeAs("utf-16le", view.sliced(2), &text))
        return text;
    if (bytes.startsWith("\xFE\xFF") && decodeAs("utf-16be", view.sliced(2), &text))
        return text;
    if (decodeAs(charsetFromContentType(contentType), bytes, &text))
        return text;
    QByteArray declared = charsetFromMeta(bytes);
    // A document that could be read far enough to find its own <meta> tag
    // is not UTF-16, whatever the tag says.
    if (declared.startsWith("utf-16"))
        declared = "utf-8";
    if (decodeAs(declared, bytes, &text))
        return text;
    return fromWindows1251(bytes);
}

} // namespace zelvant
