#include "core/config/PasswordScramble.h"

#include <QDateTime>
#include <QRandomGenerator>

#include "core/DigitValue.h"
#include "core/TextCodec.h"

namespace zelvant {

namespace {

constexpr int ScrambleLength = 54;

// One generator for the whole run, seeded from the clock on first use, so two
// saves of the same password give different scrambles.
QRandomGenerator &scrambleRandom()
{
    static QRandomGenerator generator(
        quint32(QDateTime::currentMSecsSinceEpoch() ^ (QDateTime::currentMSecsSinceEpoch() >> 32)));
    return generator;
}

int randomByte() // 0..254, never 255
{
    return int(scrambleRandom().bounded(255));
}

void appendHex2(QString &out, int byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out += QLatin1Char(digits[(byte >> 4) & 0xF]);
    out += QLatin1Char(digits[byte & 0xF]);
}

// Value of the characters at 1-based positions [from, from + count) that are
// present; -1 when none are or one is not a hexadecimal digit.
int piece(const QString &s, int from, int count)
{
    int value = 0;
    int read = 0;
    for (int pos = from; pos < from + count && pos <= s.size(); ++pos) {
        const int d = digitValue(s.at(pos - 1));
        if (d < 0)
            return -1;
        value = value * 16 + d;
        ++read;
    }
    return read == 0 ? -1 : value;
}

} // namespace

QString encodePassword(const QString &password)
{
    // Passwords are single-byte Windows-1251 text: each character is
    // scrambled as its code page byte. A character the code page cannot hold
    // becomes '?'; the phone list refuses to save such a password rather
    // than store it changed.
    const QString kept = password.left(MaxPasswordLength);
    QByteArray bytes;
    if (!toWindows1251Exact(kept, &bytes))
        bytes = toWindows1251(kept);
    const int length = int(bytes.size());

    const int a = randomByte();
    const int b = randomByte();
    QString out;
    out.reserve(ScrambleLength);
    appendHex2(out, a);
    out += QLatin1Char("0123456789ABCDEF"[scrambleRandom().bounded(16)]);
    out += QLatin1Char("0123456789ABCDEF"[length]);
    for (int k = 1; k <= length; ++k) {
        const int code = static_cast<unsigned char>(bytes[k - 1]);
        appendHex2(out, code ^ (k % 2 == 1 ? b : a));
    }
    appendHex2(out, b);
    for (int i = 0; i < 24 - length; ++i)
        appendHex2(out, randomByte());
    return out;
}

QString decodePassword(const QString &scramble)
{
    // Every scramble is 54 characters long. Anything shorter is not one, and
    // is typically a password typed into the file in plain text: read by the
    // layout alone, "9031234567" would give the password "f" and the phone
    // would log in with it, so such text counts as malformed.
    if (scramble.size() < ScrambleLength)
        return QString();
    const int a = piece(scramble, 1, 2);
    const int length = piece(scramble, 4, 1);
    if (a < 0 || length < 0)
        return QString();
    const int b = piece(scramble, 2 * length + 5, 2);
    if (b < 0)
        return QString();
    QByteArray bytes;
    for (int k = 1; k <= length; ++k) {
        const int code = piece(scramble, 2 * k + 3, 2);
        if (code < 0)
            return QString();
        bytes.append(char(code ^ (k % 2 == 1 ? b : a)));
    }
    return fromWindows1251(bytes);
}

bool passwordFitsScramble(const QString &password)
{
    QByteArray bytes;
    return toWindows1251Exact(password.left(MaxPasswordLength), &bytes);
}

namespace {

// A byte's mask: the key walked along the text, so equal characters differ.
int secretMask(int key, qsizetype index)
{
    return (key + int(index) * 73) & 0xFF;
}

} // namespace

QString scrambleSecret(const QString &secret)
{
    if (secret.isEmpty())
        return QString();
    const QByteArray bytes = secret.toUtf8();
    const int key = randomByte();
    QString out;
    appendHex2(out, key);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        appendHex2(out, (uchar(bytes[i]) ^ secretMask(key, i)) & 0xFF);
    return out;
}

QString unscrambleSecret(const QString &scramble)
{
    if (scramble.size() < 4 || scramble.size() % 2 != 0)
        return QString();
    const int key = piece(scramble, 1, 2);
    if (key < 0)
        return QString();
    QByteArray bytes;
    for (qsizetype i = 2; i < scramble.size(); i += 2) {
        const int byte = piece(scramble, int(i) + 1, 2);
        if (byte < 0)
            return QString();
        bytes.append(char(byte ^ secretMask(key, bytes.size())));
    }
    return QString::fromUtf8(bytes);
}

} // namespace zelvant
