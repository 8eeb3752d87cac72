#pragma once
// The password scramble of "phones.xml": hides a password from casual
// reading; not encryption.

#include <QString>

namespace zelvant {

// The scramble's length field is one hex digit: a password longer than this
// cannot be stored.
inline constexpr int MaxPasswordLength = 15;

QString encodePassword(const QString &password); // 54 upper-case hex digits
QString decodePassword(const QString &scramble); // empty when malformed

// True when the part of the password that is stored (the first
// MaxPasswordLength characters) consists of Windows-1251 characters only; the
// scramble works on code page bytes, so anything else could not come back
// unchanged.
bool passwordFitsScramble(const QString &password);

// The same kind of hiding for a secret of any length and any characters
// (the broker's password in the settings file): hex digits, the first two a
// random key. Empty when the scramble is malformed.
QString scrambleSecret(const QString &secret);
QString unscrambleSecret(const QString &scramble);

} // namespace zelvant
