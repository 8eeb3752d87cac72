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

// The page text as a browser serializes the document: numeric character
// references ("&#160;", "&#xA0;") become the characters they stand for,
// and the no-break space, however written, becomes "&nbsp;"; "&", "<" and
// ">" reached through a reference are written as "&amp;", "&lt;" and "&gt;",
// so no markup appears that was not there, and so is an "&" that starts no
// reference. Line breaks stay where they are (a reference to one becomes a
// blank); the six named entities are left to the parser. Normalizing twice
// changes nothing more.
QString normalizePageText(const QString &page);

} // namespace zelvant
