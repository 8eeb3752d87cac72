#pragma once
// The password scramble of "phones.xml": hides a password from casual
// reading; not encryption.

#include <QString>

namespace zelvant {

QString EncodePassword(const QString &password); // 54 upper-case hex digits
QString DecodePassword(const QString &scramble); // empty when malformed

// True when the part of the password that is stored (the first 15
// characters) consists of Windows-1251 characters only; the scramble works on
// code page bytes, so anything else could not come back unchanged.
bool PasswordFitsScramble(const QString &password);

} // namespace zelvant
