#include "core/TextCodec.h"

#include <array>

namespace zelvant {

namespace {

// Unicode code points of the bytes 0x80..0xFF; 0 marks the unassigned 0x98.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// Byte for a code point, or -1 when the code page has none.
int byteFor(char16_t c)
{
    if (c < 0x80)
        return c;
    if (c >= 0x0410 && c <= 0x044F)
        return 0xC0 + (c - 0x0410);
    for (int i = 0; i < 128; ++i) {
        if (kHigh[i] == c && c != 0)
            return 0x80 + i;
    }
    return -1;
}

template<typename Unmappable>
QByteArray encode(const QString &text, Unmappable onUnmappable)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const int b = byteFor(c);
        if (b >= 0) {
            out.append(char(b));
            continue;
        }
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size()
            && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            code = QChar::surrogateToUcs4(c, text.at(i + 1).unicode());
            ++i;
        }
        onUnmappable(out, code);
    }
    return out;
}

} // namespace

QString fromWindows1251(const QByteArray &bytes)
{
    QString out;
    out.resize(bytes.size());
    QChar *dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80)
            dst[i] = QChar(char16_t(b));
        else
            dst[i] = QChar(kHigh[b - 0x80] ? kHigh[b - 0x80] : char16_t(0xFFFD));
    }
    return out;
}

bool fitsWindows1251(const QString &text)
{
    for (const QChar c : text) {
        if (byteFor(c.unicode()) < 0)
            return false;
    }
    return true;
}

QByteArray toWindows1251(const QString &text)
{
    return encode(text, [](QByteArray &out, char32_t) { out.append('?'); });
}

bool toWindows1251Exact(const QString &text, QByteArray *out)
{
    bool ok = true;
    QByteArray bytes = encode(text, [&ok](QByteArray &to, char32_t code) {
        if (code == 0xFFFD)
            to.append(char(0x98));
        else
            ok = false;
    });
    if (ok)
        *out = std::move(bytes);
    return ok;
}

QByteArray toWindows1251WithCharRefs(const QString &text)
{
    return encode(text, [](QByteArray &out, char32_t code) {
        out.append("&#");
        out.append(QByteArray::number(quint32(code)));
        out.append(';');
    });
}

QString lowerWindows1251(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            c = QChar(u + 32);
        else if (u >= 0x0410 && u <= 0x042F)
            c = QChar(u + 32);
        else if (u >= 0x0400 && u <= 0x040F)
            c = QChar(u + 80); // Ё, Ђ, Ѓ, Є, Ѕ, І, Ї, Ј, Љ, Њ, Ћ, Ќ, Ў, Џ
        else if (u == 0x0490)
            c = QChar(0x0491); // Ґ
    }
    return out;
}

} // namespace zelvant
