#include "ReferenceScan.h"

#include <QStringList>

#include <charconv>
#include <limits>
#include <string>

#include "core/TextCodec.h"

namespace zelvant::fuzz {

namespace {

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

// Every occurrence, left to right, letter case ignored for ASCII only (the
// patterns are ASCII, and so are the letters the code page folds to them).
QString replaceNoCase(const QString &text, const QString &pattern, const QString &replacement)
{
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        bool match = i + pattern.size() <= text.size();
        for (qsizetype k = 0; match && k < pattern.size(); ++k)
            match = asciiLower(text[i + k].unicode()) == pattern[k].unicode();
        if (match) {
            out += replacement;
            i += pattern.size();
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

QString replaceEntities(QString text)
{
    text = replaceNoCase(text, QStringLiteral("&nbsp;"), QStringLiteral(" "));
    text = replaceNoCase(text, QStringLiteral("&lt;"), QStringLiteral("<"));
    text = replaceNoCase(text, QStringLiteral("&gt;"), QStringLiteral(">"));
    text = replaceNoCase(text, QStringLiteral("&quote;"), QStringLiteral(";"));
    text = replaceNoCase(text, QStringLiteral("&amp;"), QStringLiteral("&"));
    text = replaceNoCase(text, QStringLiteral("&quot;"), QStringLiteral("\""));
    return text;
}

QString stripTags(QString line)
{
    const qsizetype first = line.indexOf(u'<');
    if (first >= 0)
        line.remove(0, first);
    for (;;) {
        const qsizetype open = line.indexOf(u'<');
        const qsizetype close = line.indexOf(u'>');
        if (open < 0 || close < open)
            break;
        line.remove(open, close - open + 1);
    }
    line = replaceEntities(line);
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line[begin].unicode() <= 32)
        ++begin;
    while (end > begin && line[end - 1].unicode() <= 32)
        --end;
    return line.mid(begin, end - begin);
}

QString extractValue(const QString &line, const QString &prefix, const QString &endMark)
{
    QString t = stripTags(line);
    if (!prefix.isEmpty()) {
        const qsizetype at = t.indexOf(prefix);
        t.remove(0, at >= 0 ? at + prefix.size() : prefix.size());
    }
    if (!endMark.isEmpty()) {
        const qsizetype at = t.indexOf(endMark);
        if (at >= 0)
            t.truncate(at);
    }
    return t;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Blanks, sign, digits with at most one point, optional exponent, blanks.
float toFloat(QString text)
{
    text.replace(u',', u'.');
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < n && (isDigit(text[i]) || (text[i] == u'.' && !point)); ++i) {
        if (text[i] == u'.')
            point = true;
        else
            ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        const qsizetype exponent = i;
        while (i < n && isDigit(text[i]))
            ++i;
        if (i == exponent)
            return 0;
    }
    const qsizetype stop = i;
    while (i < n && text[i] == u' ')
        ++i;
    if (i != n)
        return 0;
    std::string number = text.mid(start, stop - start).toStdString();
    if (!number.empty() && number[0] == '+')
        number.erase(0, 1);
    float value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    return error == std::errc() && end == number.data() + number.size() ? value : 0;
}

qint32 toInt(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == text.size())
        return 0;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return 0;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > qint64(1) << 32)
            return 0;
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return 0;
    return qint32(value);
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

} // namespace

ScanResult referenceScan(const QString &page)
{
    ScanResult r;
    QString text = page;
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    const QStringList pageLines = splitLines(text);
    const QStringList lower = splitLines(lowerWindows1251(text));
    if (pageLines.size() < 2)
        return r;
    for (qsizetype i = 0; i + 1 < lower.size(); ++i) {
        const QString &line = lower[i];
        const QString &next = lower[i + 1];
        auto has = [&line](const char16_t *phrase) {
            return line.contains(QString::fromUtf16(phrase));
        };
        auto same = [&line](const char16_t *prefix, const char16_t *end) {
            return extractValue(line, QString::fromUtf16(prefix), QString::fromUtf16(end));
        };
        if (has(u"пользователь:"))
            r.userName = extractValue(pageLines[i + 1], {}, {});
        if (has(u"номер телефона:"))
            r.phoneNumber = extractValue(next, {}, {});
        if (has(u"внутренний курс на сегодня"))
            r.usdRate = toFloat(extractValue(next, {}, QStringLiteral(" ")));
        if (has(u"актуальный баланс"))
            r.balance = toFloat(extractValue(next, {}, QStringLiteral(" ")));
        if (has(u"средняя скорость расходования"))
            r.averagePerDay = toFloat(extractValue(next, {}, QStringLiteral(" ")));
        if (has(u"предположительная дата отключения"))
            r.turnOffDays = toInt(extractValue(next, {}, QStringLiteral(" ")));
        if (has(u"предоплаты составляет"))
            r.recommendedPayment = toFloat(same(u"предоплаты составляет ", u" "));
        if (r.recommendedPayment == 0 && has(u"рек.опл:"))
            r.recommendedPayment = toFloat(same(u"рек.опл: ", u" "));
        if (has(u"sms составляет "))
            r.smsLeft = toInt(same(u"sms составляет ", u" "));
        if (r.smsLeft == 0 && has(u"смс составляет "))
            r.smsLeft = toInt(same(u"смс составляет ", u" "));
        if (has(u"локальная связь составляет "))
            r.minutesLeft = toInt(same(u"локальная связь составляет ", u" "));
        if (r.minutesLeft == 0 && has(u"разговоров типа составляет "))
            r.minutesLeft = toInt(same(u"разговоров типа составляет ", u" "));
        if (r.minutesLeft == 0 && has(u"локальная связь составляет :"))
            r.minutesLeft = toInt(same(u"локальная связь составляет :", u":"));
        if (r.minutesLeft == 0 && has(u"разговоров типа составляет 00:"))
            r.minutesLeft = toInt(same(u"разговоров типа составляет 00:", u":"));
        if (r.minutesLeft == 0 && has(u"разговоров типа составляет 01:")) {
            const qint32 minutes = toInt(same(u"разговоров типа составляет 01:", u":"));
            r.minutesLeft = minutes == 0 || minutes > std::numeric_limits<qint32>::max() - 60
                                ? 0
                                : minutes + 60;
        }
        if (has(u"истекает менее чем через "))
            r.balanceExpiresDays = toInt(same(u"истекает менее чем через ", u" "));
        if (r.balance == 0 && has(u"вашего лицевого счета равен "))
            r.balance = toFloat(same(u"вашего лицевого счета равен ", u" "));
        if (r.turnOffDays == 0 && has(u"ожидается менее, чем через "))
            r.turnOffDays = toInt(same(u"ожидается менее, чем через ", u" "));
    }
    return r;
}

} // namespace zelvant::fuzz
