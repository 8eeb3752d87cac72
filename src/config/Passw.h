#pragma once
// The password scramble of "phones.xml": hides a password from casual
// reading; not encryption.

#include <QString>

namespace zelvant {

QString EncodePassword(const QString &password); // 54 upper-case hex digits
QString DecodePassword(const QString &scramble); // empty when malformed

} // namespace zelvant
