#include "core/retrieval/BalancePageParser.h"

#include <QList>
#include <QStringView>
#include <QVarLengthArray>

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/TextCodec.h"

namespace zelvant {

namespace {

constexpr bool isAsciiUpper(char16_t c)
{
    return c >= u'A' && c <= u'Z';
}

constexpr char16_t asciiLower(char16_t c)
{
    return isAsciiUpper(c) ? char16_t(c + 32) : c;
}

// The entity names are plain ASCII, so letter case is ignored for ASCII
// only; a folding comparison of all of Unicode could let foreign letters
// stand in for Latin ones.
bool startsWithAsciiNoCase(QStringView text, qsizetype at, QStringView lowerPattern)
{
    if (text.size() - at < lowerPattern.size())
        return false;
    for (qsizetype i = 0; i < lowerPattern.size(); ++i) {
        if (asciiLower(text[at + i].unicode()) != lowerPattern[i].unicode())
            return false;
    }
    return true;
}

// Replaces every occurrence of pattern (lower case, starting with '&'),
// left to right, without looking again at replaced text.
QString replaceAllNoCase(const QString &text, QStringView lowerPattern, QStringView replacement)
{
    qsizetype from = 0;
    qsizetype hit = text.indexOf(QLatin1Char('&'));
    if (hit < 0)
        return text;
    QString out;
    bool changed = false;
    while (hit >= 0) {
        if (startsWithAsciiNoCase(text, hit, lowerPattern)) {
            if (!changed) {
                out.reserve(text.size());
                changed = true;
            }
            out.append(QStringView(text).mid(from, hit - from));
            out.append(replacement);
            from = hit + lowerPattern.size();
            hit = text.indexOf(QLatin1Char('&'), from);
        } else {
            hit = text.indexOf(QLatin1Char('&'), hit + 1);
        }
    }
    if (!changed)
        return text;
    out.append(QStringView(text).mid(from));
    return out;
}

QStringView trimControls(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

// One pass over the line that removes the same tags as deleting "<...>"
// from the front again and again would, without the quadratic cost on long
// lines. Text kept between tags never holds '<' or '>', so the first '>' of
// the whole line can only lie in the unread rest.
QString stripMarkup(QStringView line)
{
    const qsizetype firstOpen = line.indexOf(QLatin1Char('<'));
    if (firstOpen < 0)
        return line.toString();
    QStringView rest = line.mid(firstOpen);
    QString kept;
    for (;;) {
        qsizetype open = -1;
        qsizetype i = 0;
        for (; i < rest.size(); ++i) {
            const char16_t c = rest[i].unicode();
            if (c == u'>')
                break; // a '>' before the next '<' ends the stripping
            if (c == u'<') {
                open = i;
                break;
            }
        }
        if (open < 0)
            break;
        const qsizetype close = rest.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            break;
        kept.append(rest.left(open));
        rest = rest.mid(close + 1);
    }
    kept.append(rest);
    return kept;
}

QString extractValueText(QStringView line, QStringView prefix, QStringView endMark)
{
    const QString stripped = stripTags(line.toString());
    QStringView t(stripped);
    if (!prefix.isEmpty()) {
        const qsizetype at = t.indexOf(prefix);
        // A missing prefix still removes as many characters as it has: the
        // values stored so far were read that way.
        t = at >= 0 ? t.mid(at + prefix.size()) : t.mid(qMin(prefix.size(), t.size()));
    }
    if (!endMark.isEmpty()) {
        const qsizetype end = t.indexOf(endMark);
        if (end >= 0)
            t = t.left(end);
    }
    return t.toString();
}

// Decimal text to float with '.' as the only separator, whatever the
// user's locale: blanks, sign, digits with at most one point, exponent,
// blanks. Anything else fails.
bool parseFloatText(QStringView text, float *result)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    std::string clean; // what std::from_chars accepts: no '+', no blanks
    clean.reserve(std::size_t(n));
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            clean.push_back('-');
        ++i;
    }
    int digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            clean.push_back(char(c));
            ++digits;
        } else if (c == u'.' && !point) {
            point = true;
            clean.push_back('.');
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        clean.push_back('e');
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            clean.push_back(char(text[i].unicode()));
            ++i;
        }
        int exponentDigits = 0;
        for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
            clean.push_back(char(text[i].unicode()));
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    while (i < n && text[i] == u' ')
        ++i;
    if (i != n)
        return false;
    float value = 0;
    const char *first = clean.data();
    const char *last = first + clean.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
        return false;
    *result = value;
    return true;
}

bool parseInt32(QStringView text, qint32 *result)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == n)
        return false;
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t(std::numeric_limits<qint32>::max()) + 1;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return false;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        return false;
    *result = qint32(value);
    return true;
}

float floatValue(QStringView line, QStringView prefix, QStringView endMark, float defaultValue = 0)
{
    QString value = extractValueText(line, prefix, endMark);
    value.replace(QLatin1Char(','), QLatin1Char('.'));
    float result = 0;
    return parseFloatText(value, &result) ? result : defaultValue;
}

qint32 intValue(QStringView line, QStringView prefix, QStringView endMark, qint32 defaultValue = 0)
{
    qint32 result = 0;
    return parseInt32(extractValueText(line, prefix, endMark), &result) ? result : defaultValue;
}

// A page line is searched for a key phrase only when it holds every letter
// of the phrase: almost no line of a page does. The mask has a bit per basic
// Cyrillic letter, whatever its case, and for 's', ':' and the digits 0 and
// 1; a line that lowers to text containing a phrase always has all of the
// phrase's bits (lowering never turns a character without a bit into one
// with a bit).
constexpr int bitOf(char16_t c)
{
    if (c >= 0x0410 && c <= 0x044F)
        return (c - 0x0410) & 31;
    switch (c) {
    case u's':
    case u'S':
        return 32;
    case u':':
        return 33;
    case u'0':
        return 34;
    case u'1':
        return 35;
    default:
        return -1;
    }
}

// The mask bit of every character below U+0460, 0 for none.
constexpr std::array<quint64, 0x460> CharacterBits = [] {
    std::array<quint64, 0x460> bits{};
    for (char16_t c = 0; c < bits.size(); ++c) {
        const int bit = bitOf(c);
        bits[c] = bit >= 0 ? quint64(1) << bit : 0;
    }
    return bits;
}();

quint64 maskOf(QStringView text)
{
    quint64 mask = 0;
    for (const QChar c : text) {
        if (c.unicode() < CharacterBits.size())
            mask |= CharacterBits[c.unicode()];
    }
    return mask;
}

struct PageLine
{
    QStringView text;
    quint64 mask; // the characterBits of the line
};

// Lines end at CR LF, a lone CR or a lone LF; a break at the very end adds
// no empty line. The character mask of each line is gathered on the way, so
// the page is read once.
QList<PageLine> splitLines(QStringView text)
{
    QList<PageLine> lines;
    lines.reserve(text.size() / 64 + 1);
    const char16_t *const begin = text.utf16();
    const char16_t *const end = begin + text.size();
    const char16_t *start = begin;
    quint64 mask = 0;
    for (const char16_t *p = begin; p != end; ++p) {
        const char16_t c = *p;
        if (c < CharacterBits.size()) {
            if (c == u'\r' || c == u'\n') {
                lines.append({QStringView(start, p), mask});
                mask = 0;
                if (c == u'\r' && p + 1 != end && p[1] == u'\n')
                    ++p;
                start = p + 1;
                continue;
            }
            mask |= CharacterBits[c];
        }
    }
    if (start != end)
        lines.append({QStringView(start, end), mask});
    return lines;
}

} // namespace

QString replaceEntities(const QString &text)
{
    // The order matters: "&amp;" runs late, so "&amp;lt;" stays "&lt;" while
    // "&amp;quot;" becomes a quote; "&quote;" is a semicolon.
    QString out = replaceAllNoCase(text, u"&nbsp;", u" ");
    out = replaceAllNoCase(out, u"&lt;", u"<");
    out = replaceAllNoCase(out, u"&gt;", u">");
    out = replaceAllNoCase(out, u"&quote;", u";");
    out = replaceAllNoCase(out, u"&amp;", u"&");
    out = replaceAllNoCase(out, u"&quot;", u"\"");
    return out;
}

QString stripTags(const QString &line)
{
    // Entities are replaced after the markup is gone, so an encoded tag
    // survives as text.
    return trimControls(replaceEntities(stripMarkup(line))).toString();
}

QString extractValue(const QString &line, const QString &prefix, const QString &endMark,
                     const QString &defaultText)
{
    const QString value = extractValueText(line, prefix, endMark);
    return value.isEmpty() ? defaultText : value;
}

float extractFloat(const QString &line, const QString &prefix, const QString &endMark,
                   float defaultValue)
{
    return floatValue(line, prefix, endMark, defaultValue);
}

qint32 extractInt(const QString &line, const QString &prefix, const QString &endMark,
                  qint32 defaultValue)
{
    return intValue(line, prefix, endMark, defaultValue);
}

namespace {

QString *textField(PhoneResult &r, PageField field)
{
    switch (field) {
    case PageField::UserName:
        return &r.userName;
    case PageField::PhoneNum:
        return &r.phoneNumber;
    default:
        return nullptr;
    }
}

float *floatField(PhoneResult &r, PageField field)
{
    switch (field) {
    case PageField::Balance:
        return &r.balance;
    case PageField::Average:
        return &r.averagePerDay;
    case PageField::Recomend:
        return &r.recommendedPayment;
    case PageField::USDRate:
        return &r.usdRate;
    default:
        return nullptr;
    }
}

qint32 *intField(PhoneResult &r, PageField field)
{
    switch (field) {
    case PageField::TurnOff:
        return &r.turnOffDays;
    case PageField::SMS:
        return &r.smsLeft;
    case PageField::Min:
        return &r.minutesLeft;
    case PageField::BalExpired:
        return &r.balanceExpiresDays;
    default:
        return nullptr;
    }
}

bool holdsZero(PhoneResult &r, PageField field)
{
    if (const QString *text = textField(r, field))
        return text->isEmpty();
    if (const float *number = floatField(r, field))
        return *number == 0;
    const qint32 *count = intField(r, field);
    return !count || *count == 0;
}

// Converts value as the step says and stores it in the step's field; a value
// that does not convert stores 0. False when it did not convert.
bool store(const PageStep &step, const QString &value, PhoneResult &r)
{
    if (QString *text = textField(r, step.field)) {
        *text = value;
        return true;
    }
    if (float *number = floatField(r, step.field)) {
        QString decimal = value;
        decimal.replace(QLatin1Char(','), QLatin1Char('.'));
        float result = 0;
        const bool ok = step.convert != Conversion::Text && parseFloatText(decimal, &result);
        *number = ok ? result : 0;
        return ok;
    }
    qint32 *count = intField(r, step.field);
    if (!count)
        return false;
    qint32 result = 0;
    bool ok = step.convert != Conversion::Text && parseInt32(value, &result);
    // Minutes of a time "01:mm:ss": the hour adds 60, but only to a
    // non-zero count; a count the hour would push past the 32-bit range is
    // as unreadable as any other out-of-range number.
    if (ok && step.convert == Conversion::Minutes && result != 0) {
        ok = result <= std::numeric_limits<qint32>::max() - 60;
        result = ok ? result + 60 : 0;
    }
    *count = ok ? result : 0;
    return ok;
}

using FieldOrigins = std::array<FieldOrigin, PageFieldCount>;

// What looking for a phrase in a line, and cutting out and converting a
// value, cost beyond the characters they look at, in the same unit.
constexpr qint64 CheckWork = 8;
constexpr qint64 FiringWork = 64;

// Returns false when the scan stopped at the work limit.
bool scan(const QString &page, const PageRules &rules, PhoneResult &record, FieldOrigins *origins)
{
    record = PhoneResult();

    QStringView text(page);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text = text.left(nul);
    const QList<PageLine> pageLines = splitLines(text);
    const qsizetype count = pageLines.size();
    if (count < 2)
        return true;
    // What the scan has looked at: every line a step searches and every
    // value it cuts out, counted in characters.
    qint64 work = 0;

    const qsizetype stepCount = rules.steps.size();
    QVarLengthArray<quint64, 32> masks(stepCount);
    for (qsizetype s = 0; s < stepCount; ++s)
        masks[s] = maskOf(rules.steps[s].key);
    // A line needs a closer look when it could hold at least one phrase.
    auto mayHoldAPhrase = [&masks](quint64 present) {
        for (const quint64 mask : masks) {
            if ((mask & ~present) == 0)
                return true;
        }
        return false;
    };

    // Lower-casing keeps every character in place and never makes or
    // removes a line break, so lowering line by line gives the same lines as
    // lowering the page; only lines that may hold a phrase are lowered.
    QString line;
    QString next;
    qsizetype nextIndex = -1;
    auto nextLine = [&](qsizetype i) -> QStringView {
        if (nextIndex != i + 1) {
            next = lowerWindows1251(pageLines[i + 1].text.toString());
            nextIndex = i + 1;
        }
        return next;
    };

    // The phrases are matched in the lower-cased lines; the last line is
    // never a key line, even for the steps whose value is on it. The steps
    // run in order, so a while-0 step sees what an earlier step of the same
    // line wrote.
    for (qsizetype i = 0; i + 1 < count; ++i) {
        const quint64 present = pageLines[i].mask;
        if (!mayHoldAPhrase(present))
            continue;
        bool lowered = false;
        for (qsizetype s = 0; s < stepCount; ++s) {
            const PageStep &step = rules.steps[s];
            if ((masks[s] & ~present) != 0)
                continue;
            if (step.runs == StepRuns::WhileZero && !holdsZero(record, step.field))
                continue;
            work += pageLines[i].text.size() + step.key.size() + CheckWork;
            if (work > MaxPageScanWork)
                return false;
            if (!lowered) {
                line = nextIndex == i ? next : lowerWindows1251(pageLines[i].text.toString());
                lowered = true;
            }
            if (!QStringView(line).contains(step.key))
                continue;
            const bool nextOne = step.valueLine == ValueLine::Next;
            const bool asPage = step.lineCase == LineCase::Page;
            const QStringView source = nextOne ? (asPage ? pageLines[i + 1].text : nextLine(i))
                                               : (asPage ? pageLines[i].text : QStringView(line));
            work += source.size() + FiringWork;
            const QString value = extractValueText(source, step.prefix, step.end);
            const bool converted = store(step, value, record);
            if (origins) {
                FieldOrigin &origin = (*origins)[std::size_t(step.field)];
                origin.step = int(s + 1);
                origin.line = int(i + 1);
                origin.valueLine = int(nextOne ? i + 2 : i + 1);
                origin.value = value;
                origin.converted = converted;
            }
        }
    }
    return true;
}

} // namespace

void parseBalancePage(const QString &page, PhoneResult &record)
{
    scan(page, PageRules::builtIn(), record, nullptr);
}

int lineNumberAt(QStringView text, qsizetype at)
{
    int line = 1;
    for (qsizetype i = 0; i < at; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' || (c == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')))
            ++line;
    }
    return line;
}

PageReading readBalancePage(const QString &page, const PageRules &rules)
{
    PageReading reading;
    // Any page text counts, also beyond a NUL that ends the scan: the marker
    // test has always looked at the whole page.
    const qsizetype at = rules.marker.isEmpty() ? -1 : page.indexOf(rules.marker);
    if (at >= 0)
        reading.markerLine = lineNumberAt(page, at);
    reading.complete = scan(page, rules, reading.record, &reading.origins);
    return reading;
}

} // namespace zelvant
