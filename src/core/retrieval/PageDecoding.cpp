#include "core/retrieval/PageDecoding.h"

#include <QStringDecoder>

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

} // namespace

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
