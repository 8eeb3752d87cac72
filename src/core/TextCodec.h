#pragma once
// Windows-1251, the code page of every file the program reads and writes.
// In memory all text is QString; conversion happens at the file boundary.

#include <QByteArray>
#include <QString>

namespace zelvant {

// Decodes Windows-1251 bytes. The one unassigned byte (0x98) becomes U+FFFD.
QString fromWindows1251(const QByteArray &bytes);

// True when every character of text has a Windows-1251 byte.
bool fitsWindows1251(const QString &text);

// Encodes text as Windows-1251. A character without a Windows-1251 byte
// becomes '?' unless a replacement function is given.
QByteArray toWindows1251(const QString &text);

// Encodes text as Windows-1251 without any loss: U+FFFD (what the unassigned
// byte 0x98 decodes to) goes back to 0x98, so text read from a file is
// written back byte for byte. False, and *out untouched, when a character
// has no byte.
bool toWindows1251Exact(const QString &text, QByteArray *out);

// Encodes text as Windows-1251 for XML: a character without a byte is
// written as a character reference "&#N;", so nothing is lost.
QByteArray toWindows1251WithCharRefs(const QString &text);

// Lower-cases Latin and Cyrillic letters the way the Windows-1251 code page
// does (A-Z, А-Я, Ё and the other Cyrillic capitals of the code page).
QString lowerWindows1251(const QString &text);

} // namespace zelvant
