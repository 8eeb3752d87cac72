#pragma once
// Turning the bytes of a received or saved HTML document into text: the
// charset comes from the transfer's Content-Type, else from the document's
// own <meta> declaration, else the pages are Windows-1251.

#include <QByteArray>
#include <QString>

namespace zelvant {

// The charset named in a Content-Type value ("text/html; charset=utf-8"),
// lower case, or empty when it names none.
QByteArray charsetFromContentType(const QByteArray &contentType);

// The charset a document declares in a <meta charset=...> or
// <meta http-equiv="Content-Type" content="...; charset=..."> tag, lower
// case, or empty.
QByteArray charsetFromMeta(const QByteArray &document);

// Decodes a document: a byte order mark wins, then the Content-Type
// charset, then a <meta> charset, else Windows-1251. A charset this program
// cannot decode counts as none given.
QString decodeDocument(const QByteArray &bytes, const QByteArray &contentType);

} // namespace zelvant
