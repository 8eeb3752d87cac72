// The balance page parser: entity and tag handling, value extraction, number
// conversion and the line scan, on made-up lines and on hand-written pages.

#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>

#include <clocale>

#include "core/TextCodec.h"
#include "core/retrieval/BalancePageParser.h"
#include "core/retrieval/PageDecoding.h"

using namespace zelvant;

namespace {

QString S(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

PhoneResult parse(const QString &page)
{
    PhoneResult record;
    record.slot = 7; // must be reset by the parser
    record.alias = S("старое");
    record.balance = 99;
    record.queryOk = true;
    parseBalancePage(page, record);
    return record;
}

// Lines joined with CR LF, as the pages come.
QString page(std::initializer_list<const char *> lines)
{
    QString text;
    for (const char *line : lines)
        text += S(line) + QStringLiteral("\r\n");
    return text;
}

QString readPage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeDocument(file.readAll(), QByteArray());
}

// The tag stripping as a plain loop that deletes "<...>" from the front again
// and again; the parser does the same in one pass.
QString naiveStrip(QString s)
{
    const qsizetype open = s.indexOf(QLatin1Char('<'));
    if (open >= 0)
        s.remove(0, open);
    for (;;) {
        const qsizetype lt = s.indexOf(QLatin1Char('<'));
        const qsizetype gt = s.indexOf(QLatin1Char('>'));
        if (lt < 0 || gt <= lt)
            break;
        s.remove(lt, gt - lt + 1);
    }
    return s;
}

} // namespace

TEST(ReplaceEntities, SixEntitiesInOrderIgnoringCase)
{
    EXPECT_EQ(replaceEntities(S("a&nbsp;b&NBSP;c&Nbsp;d")), S("a b c d"));
    EXPECT_EQ(replaceEntities(S("&lt;b&GT; &amp; &quot;x&QUOT;")), S("<b> & \"x\""));
    // "&quote;" is a semicolon and never becomes a quote.
    EXPECT_EQ(replaceEntities(S("a&quote;b")), S("a;b"));
    // "&amp;" runs after "&lt;" but before "&quot;".
    EXPECT_EQ(replaceEntities(S("&amp;lt;")), S("&lt;"));
    EXPECT_EQ(replaceEntities(S("&amp;quot;")), S("\""));
    EXPECT_EQ(replaceEntities(S("&amp;nbsp;")), S("&nbsp;"));
    // Replaced text is not scanned again, and numeric references stay.
    EXPECT_EQ(replaceEntities(S("&amp;amp;")), S("&amp;"));
    EXPECT_EQ(replaceEntities(S("&#160;&#x41;&laquo;")), S("&#160;&#x41;&laquo;"));
    EXPECT_EQ(replaceEntities(S("без сущностей & < >")), S("без сущностей & < >"));
    EXPECT_EQ(replaceEntities(S("&nbsp")), S("&nbsp"));
}

TEST(StripTags, MarkupGoesTextBeforeTheFirstTagGoesAndTheRestIsTrimmed)
{
    EXPECT_EQ(stripTags(S("<td class=\"v\"><b>123,45</b>&nbsp;у.е.</td>")), S("123,45 у.е."));
    // Whatever precedes the first '<' is lost.
    EXPECT_EQ(stripTags(S("Сумма предоплаты составляет <b>300</b> у.е.")), S("300 у.е."));
    // A line without '<' keeps its text, '>' included, trimmed.
    EXPECT_EQ(stripTags(S("  5 > 3 \t")), S("5 > 3"));
    // Stripping stops at a '>' that comes before the next '<'.
    EXPECT_EQ(stripTags(S("<i>a > b</i><b>c</b>")), S("a > b</i><b>c</b>"));
    // An unclosed '<' stays.
    EXPECT_EQ(stripTags(S("<b>x</b> 1 < 2")), S("x 1 < 2"));
    // Encoded tags survive as text because entities are replaced last.
    EXPECT_EQ(stripTags(S("<p>&lt;b&gt;bold&lt;/b&gt;</p>")), S("<b>bold</b>"));
    // Control characters and spaces at both ends go, inner ones stay.
    EXPECT_EQ(stripTags(S("<td>\x01 a\tb \x1f</td>\r")), S("a\tb"));
    EXPECT_EQ(stripTags(S("<tr><td></td></tr>")), QString());
    EXPECT_EQ(stripTags(QString()), QString());
}

TEST(StripTags, OnePassAgreesWithRepeatedRemovalOnRandomLines)
{
    // Lines from a small alphabet rich in brackets hit every stop rule.
    const QString alphabet = S("<>ab /&;ж");
    QRandomGenerator random(20261207);
    for (int round = 0; round < 20000; ++round) {
        QString line;
        const int length = int(random.bounded(24));
        for (int i = 0; i < length; ++i)
            line += alphabet.at(int(random.bounded(int(alphabet.size()))));
        const QString expected = replaceEntities(naiveStrip(line)).trimmed();
        ASSERT_EQ(stripTags(line), expected) << qPrintable(line);
    }
}

TEST(ExtractValue, PrefixAndEndMarkRules)
{
    const QString line = S("<td>рек.опл: 40,00 у.е.</td>");
    EXPECT_EQ(extractValue(line, S("рек.опл: "), S(" "), S("-")), S("40,00"));
    // No end mark in the rest, or none given: the whole rest.
    EXPECT_EQ(extractValue(line, S("рек.опл: "), S("#"), S("-")), S("40,00 у.е."));
    EXPECT_EQ(extractValue(line, S("рек.опл: "), QString(), S("-")), S("40,00 у.е."));
    // Empty prefix: nothing removed.
    EXPECT_EQ(extractValue(line, QString(), S(" "), S("-")), S("рек.опл:"));
    // A prefix that is not found still removes as many characters as it has.
    EXPECT_EQ(extractValue(S("<b>abcdefgh</b>"), S("xyz"), QString(), S("-")), S("defgh"));
    EXPECT_EQ(extractValue(S("<b>ab</b>"), S("xyz"), QString(), S("-")), S("-"));
    // Matching is exact: letter case counts.
    EXPECT_EQ(extractValue(S("<b>Рек.опл: 5</b>"), S("рек.опл: "), QString(), S("-")), S("5"));
    // An empty value gives the default; the first end mark after the prefix decides.
    EXPECT_EQ(extractValue(S("<b>итого: </b>"), S("итого:"), S(" "), S("нет")), S("нет"));
    EXPECT_EQ(extractValue(S("<b>a:1:2:3</b>"), S("a:"), S(":"), S("-")), S("1"));
}

TEST(ExtractNumbers, DecimalFormatsAndDefaults)
{
    auto f = [](const char *text) { return extractFloat(S(text), QString(), QString(), -1.0f); };
    EXPECT_FLOAT_EQ(f("123,45"), 123.45f);
    EXPECT_FLOAT_EQ(f("<td>-12.50</td>"), -12.5f);
    EXPECT_FLOAT_EQ(f("+7"), 7.0f);
    EXPECT_FLOAT_EQ(f(".5"), 0.5f);
    EXPECT_FLOAT_EQ(f("5."), 5.0f);
    EXPECT_FLOAT_EQ(f("1,5e2"), 150.0f);
    EXPECT_FLOAT_EQ(f("2E-1"), 0.2f);
    EXPECT_FLOAT_EQ(f("007,25"), 7.25f);
    // Blanks between the prefix and the number are allowed.
    EXPECT_FLOAT_EQ(extractFloat(S("x:  42  "), S("x:"), QString(), -1), 42.0f);
    for (const char *bad : {"", "123.45руб", "1.2.3", "1,2,3", "12 34", "-", ".", "e5", "1e", "1e+",
                            "0x1A", "inf", "nan", "1 000", "--1", "+-1", "1e99"}) {
        EXPECT_EQ(f(bad), -1.0f) << bad;
    }

    auto i = [](const char *text) { return extractInt(S(text), QString(), QString(), -1); };
    EXPECT_EQ(i("52"), 52);
    EXPECT_EQ(i("+17"), 17);
    EXPECT_EQ(i("-3"), -3);
    EXPECT_EQ(i("00045"), 45);
    EXPECT_EQ(i("2147483647"), 2147483647);
    EXPECT_EQ(i("-2147483648"), std::numeric_limits<qint32>::min());
    for (const char *bad : {"", "2147483648", "-2147483649", "99999999999999999999", "12abc", "1.0",
                            "1,0", "+", "-", "0x10", "$10", "1 2", "٣"}) {
        EXPECT_EQ(i(bad), -1) << bad;
    }
}

TEST(ExtractNumbers, LocaleWithDecimalCommaChangesNothing)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const char *previousC = std::setlocale(LC_ALL, nullptr);
    const std::string savedC = previousC ? previousC : "C";
    // Any locale with a decimal comma will do; not every machine has all.
    const bool commaLocale = std::setlocale(LC_ALL, "ru_RU.UTF-8")
                             || std::setlocale(LC_ALL, "de_DE.UTF-8")
                             || std::setlocale(LC_ALL, "fr_FR.UTF-8");

    EXPECT_FLOAT_EQ(extractFloat(S("1.5"), QString(), QString(), 0), 1.5f);
    EXPECT_FLOAT_EQ(extractFloat(S("1,5"), QString(), QString(), 0), 1.5f);
    EXPECT_FLOAT_EQ(extractFloat(S("2 345,5"), QString(), QString(), 0), 0.0f);
    PhoneResult record;
    parseBalancePage(page({"<td>Актуальный баланс</td>", "<td>123,45&nbsp;у.е.</td>"}), record);
    EXPECT_FLOAT_EQ(record.balance, 123.45f);

    std::setlocale(LC_ALL, savedC.c_str());
    QLocale::setDefault(previous);
    if (!commaLocale)
        GTEST_LOG_(INFO) << "no C library locale with a decimal comma here; "
                            "Qt's default locale was still Russian";
}

TEST(ParseBalancePage, TooShortPagesAndTheLastLineGiveNothing)
{
    for (const QString &text : {QString(), S("Актуальный баланс"), S("Актуальный баланс\r\n"),
                                S("\r\n"), S("Актуальный баланс\r\n\r\n")}) {
        const PhoneResult r = parse(text);
        EXPECT_EQ(r, PhoneResult()) << qPrintable(text);
    }
    // A key phrase on the last line never fires, not even a same-line step.
    const PhoneResult last = parse(S("<p>x</p>\r\n<p>Остаток SMS составляет 12 шт.</p>"));
    EXPECT_EQ(last.smsLeft, 0);
    const PhoneResult notLast = parse(S("<p>x</p>\r\n<p>Остаток SMS составляет 12 шт.</p>\r\n"));
    EXPECT_EQ(notLast.smsLeft, 0) << "a break at the end adds no line";
    const PhoneResult withLine = parse(S("<p>Остаток SMS составляет 12 шт.</p>\r\n</body>"));
    EXPECT_EQ(withLine.smsLeft, 12);
}

TEST(ParseBalancePage, LineBreaksAndNulEndTheText)
{
    // CR LF, lone CR and lone LF all end a line; an empty line counts.
    const PhoneResult r = parse(S("<b>Актуальный баланс</b>\r<td>10</td>\n<td>Средняя скорость "
                                  "расходования</td>\r\n\r\n<td>5</td>"));
    EXPECT_FLOAT_EQ(r.balance, 10.0f);
    EXPECT_FLOAT_EQ(r.averagePerDay, 0.0f);
    // Nothing after a NUL is read.
    QString text = page({"<td>Актуальный баланс</td>", "<td>10</td>"});
    text.insert(text.indexOf(S("<td>10")), QChar(u'\0'));
    EXPECT_FLOAT_EQ(parse(text).balance, 0.0f);
}

TEST(ParseBalancePage, NextLineValues)
{
    const PhoneResult r = parse(page({
        "<td>ПОЛЬЗОВАТЕЛЬ:</td>",
        "<td><b>Иванов Пётр ИВАНОВИЧ</b></td>",
        "<td>Номер телефона:</td>",
        "<td>+7&nbsp;916 ABC</td>",
        "<td>Внутренний курс на сегодня</td>",
        "<td>28,6500&nbsp;руб.</td>",
        "<td><b>Актуальный баланс</b></td>",
        "<td><b>123,45</b>&nbsp;у.е.</td>",
        "<td>Средняя скорость расходования средств</td>",
        "<td>-2.5 у.е.</td>",
        "<td>Предположительная дата отключения</td>",
        "<td>52&nbsp;дн.</td>",
    }));
    EXPECT_EQ(r.userName, S("Иванов Пётр ИВАНОВИЧ")); // letter case of the page
    EXPECT_EQ(r.phoneNumber, S("+7 916 abc"));        // from the lower-cased line
    EXPECT_FLOAT_EQ(r.usdRate, 28.65f);
    EXPECT_FLOAT_EQ(r.balance, 123.45f);
    EXPECT_FLOAT_EQ(r.averagePerDay, -2.5f);
    EXPECT_EQ(r.turnOffDays, 52);
    EXPECT_EQ(r.slot, 0);
    EXPECT_TRUE(r.alias.isEmpty());
    EXPECT_FALSE(r.queryOk);
    EXPECT_FALSE(r.lastQueryTime.isValid());

    // A number glued to its currency does not convert; a cell of its own does.
    EXPECT_FLOAT_EQ(parse(page({"Актуальный баланс", "<td>123.45руб</td>"})).balance, 0.0f);
    EXPECT_FLOAT_EQ(parse(page({"Актуальный баланс", "<td>-12.50</td>"})).balance, -12.5f);
    // The phrase is searched anywhere in the line, markup included.
    EXPECT_FLOAT_EQ(parse(page({"<a title=\"Актуальный баланс\">", "<td>7</td>"})).balance, 7.0f);
}

TEST(ParseBalancePage, SameLineValuesAndTheirQuirks)
{
    // The phrase before the first tag is stripped away with the text before
    // it, so the amount in bold is lost.
    EXPECT_FLOAT_EQ(
        parse(page({"Сумма предоплаты составляет <b>300,00</b> у.е.", "</p>"})).recommendedPayment,
        0.0f);
    EXPECT_FLOAT_EQ(
        parse(page({"Сумма предоплаты составляет 300.00 у.е.", "</p>"})).recommendedPayment,
        300.0f);
    EXPECT_FLOAT_EQ(parse(page({"<p>Сумма предоплаты составляет <b>300,00</b> у.е.</p>", "</p>"}))
                        .recommendedPayment,
                    300.0f);
    // The phrase fires without its blank but is removed with it: without
    // the blank the prefix is not found and the value is unreadable.
    EXPECT_FLOAT_EQ(parse(page({"<p>Итог предоплаты составляет:300</p>", ""})).recommendedPayment,
                    0.0f);
    EXPECT_FLOAT_EQ(parse(page({"<p>Рек.опл: 40,5 у.е.</p>", ""})).recommendedPayment, 40.5f);

    const PhoneResult r = parse(page({
        "<li>Остаток SMS составляет 45 шт.</li>",
        "<li>Баланс &quot;Джинс&quot; истекает менее чем через 14 дн.</li>",
        "<li>Остаток: локальная связь составляет 120 мин.</li>",
        "</ul>",
    }));
    EXPECT_EQ(r.smsLeft, 45);
    EXPECT_EQ(r.balanceExpiresDays, 14);
    EXPECT_EQ(r.minutesLeft, 120);

    // Minutes from a time: the minutes part, one hour adds 60, but 01:00:00 gives 0.
    auto minutes = [](const char *line) { return parse(page({line, "</p>"})).minutesLeft; };
    EXPECT_EQ(minutes("<p>разговоров типа составляет 01:15:00</p>"), 75);
    EXPECT_EQ(minutes("<p>разговоров типа составляет 00:45:00</p>"), 45);
    EXPECT_EQ(minutes("<p>разговоров типа составляет 01:00:00</p>"), 0);
    EXPECT_EQ(minutes("<p>разговоров типа составляет 02:15:00</p>"), 0);
    EXPECT_EQ(minutes("<p>разговоров типа составляет 33 мин</p>"), 33);
    EXPECT_EQ(minutes("<p>локальная связь составляет :37:00</p>"), 37);
    // An hour that would overflow the count reads as unreadable, not as garbage.
    EXPECT_EQ(minutes("<p>разговоров типа составляет 01:2147483640:00</p>"), 0);
    EXPECT_EQ(minutes("<p>разговоров типа составляет 01:2147483587:00</p>"), 2147483647);
}

TEST(ParseBalancePage, WhichFiringWins)
{
    // An always-step overwrites, also with 0; a while-0 step fills only a 0.
    const PhoneResult zeroed = parse(page({
        "<td>Актуальный баланс</td>",
        "<td>50</td>",
        "<td>Актуальный баланс</td>",
        "<td>нет данных</td>",
    }));
    EXPECT_FLOAT_EQ(zeroed.balance, 0.0f);
    const PhoneResult refilled = parse(page({
        "<td>Актуальный баланс</td>",
        "<td>50</td>",
        "<td>Актуальный баланс</td>",
        "<td>нет данных</td>",
        "<p>Баланс вашего лицевого счета равен 12,5 у.е.</p>",
        "</p>",
    }));
    EXPECT_FLOAT_EQ(refilled.balance, 12.5f);
    const PhoneResult kept = parse(page({
        "<td>Актуальный баланс</td>",
        "<td>50</td>",
        "<p>Баланс вашего лицевого счета равен 12,5 у.е.</p>",
        "</p>",
    }));
    EXPECT_FLOAT_EQ(kept.balance, 50.0f);
    // After "01:00:00" left the minutes 0, a later line may still fill them.
    const PhoneResult minutes = parse(page({
        "<p>разговоров типа составляет 01:00:00</p>",
        "<p>локальная связь составляет 90 мин</p>",
        "</p>",
    }));
    EXPECT_EQ(minutes.minutesLeft, 90);
    // Within one line the while-0 step sees what the always-step wrote.
    EXPECT_EQ(parse(page({"<p>sms составляет 5, смс составляет 9 шт</p>", ""})).smsLeft, 9);
    EXPECT_EQ(parse(page({"<p>sms составляет 5 и смс составляет 9 шт</p>", ""})).smsLeft, 5);
    EXPECT_EQ(parse(page({"<p>смс составляет 9 шт</p>", ""})).smsLeft, 9);
    // Turn-off: the next-line step first, the sentence only while it is 0.
    EXPECT_EQ(parse(page({"<p>Отключение ожидается менее, чем через 4 дн.</p>", ""})).turnOffDays,
              4);
}

TEST(ParseBalancePage, HandWrittenPages)
{
    const PhoneResult oldStyle = parse(readPage(S(ZELVANT_TEST_DATA "/balance-old-style.html")));
    EXPECT_EQ(oldStyle.userName, S("Петрова Ольга НИКОЛАЕВНА"));
    EXPECT_EQ(oldStyle.phoneNumber, S("9031112233"));
    EXPECT_FLOAT_EQ(oldStyle.balance, -12.5f);
    EXPECT_FLOAT_EQ(oldStyle.averagePerDay, 0.0f);
    EXPECT_EQ(oldStyle.turnOffDays, 3);
    EXPECT_FLOAT_EQ(oldStyle.recommendedPayment, 40.0f);
    EXPECT_EQ(oldStyle.smsLeft, 12);
    EXPECT_EQ(oldStyle.minutesLeft, 37);
    EXPECT_EQ(oldStyle.balanceExpiresDays, 21);
    EXPECT_FLOAT_EQ(oldStyle.usdRate, 0.0f);

    // LF line ends; the number cell of the phone lies two lines below its
    // label; the second balance phrase (bonus account) wins; the bold amount
    // beats the later "рек.опл:".
    const PhoneResult table = parse(readPage(S(ZELVANT_TEST_DATA "/balance-table-style.html")));
    EXPECT_EQ(table.userName, S("Сидоров Иван \"Ваня\""));
    EXPECT_EQ(table.phoneNumber, QString());
    EXPECT_FLOAT_EQ(table.usdRate, 31.2575f);
    EXPECT_FLOAT_EQ(table.balance, 57.1f);
    EXPECT_FLOAT_EQ(table.averagePerDay, 4.5f);
    EXPECT_EQ(table.turnOffDays, 17);
    EXPECT_FLOAT_EQ(table.recommendedPayment, 500.0f);
    EXPECT_EQ(table.smsLeft, 120);
    EXPECT_EQ(table.minutesLeft, 59);

    const PhoneResult wrong = parse(readPage(S(ZELVANT_TEST_DATA "/balance-wrong-password.html")));
    EXPECT_EQ(wrong, PhoneResult());
}

namespace {

// The scan done the slow, obvious way: lower the whole page, split it, test
// every phrase on every line.
PhoneResult referenceScan(const QString &pageText)
{
    PhoneResult r;
    QString text = pageText;
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    auto split = [](QString t) {
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QStringList lines = t.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    };
    const QStringList pageLines = split(text);
    const QStringList lower = split(lowerWindows1251(text));
    const QString none;
    const QString blank = QStringLiteral(" ");
    const QString colon = QStringLiteral(":");
    for (qsizetype i = 0; i + 1 < lower.size(); ++i) {
        const QString &l = lower[i];
        const QString &n = lower[i + 1];
        auto has = [&](const char *phrase) { return l.contains(S(phrase)); };
        if (has("пользователь:"))
            r.userName = extractValue(pageLines[i + 1], none, none, none);
        if (has("номер телефона:"))
            r.phoneNumber = extractValue(n, none, none, none);
        if (has("внутренний курс на сегодня"))
            r.usdRate = extractFloat(n, none, blank, 0);
        if (has("актуальный баланс"))
            r.balance = extractFloat(n, none, blank, 0);
        if (has("средняя скорость расходования"))
            r.averagePerDay = extractFloat(n, none, blank, 0);
        if (has("предположительная дата отключения"))
            r.turnOffDays = extractInt(n, none, blank, 0);
        if (has("предоплаты составляет"))
            r.recommendedPayment = extractFloat(l, S("предоплаты составляет "), blank, 0);
        if (r.recommendedPayment == 0 && has("рек.опл:"))
            r.recommendedPayment = extractFloat(l, S("рек.опл: "), blank, 0);
        if (has("sms составляет "))
            r.smsLeft = extractInt(l, S("sms составляет "), blank, 0);
        if (r.smsLeft == 0 && has("смс составляет "))
            r.smsLeft = extractInt(l, S("смс составляет "), blank, 0);
        if (has("локальная связь составляет "))
            r.minutesLeft = extractInt(l, S("локальная связь составляет "), blank, 0);
        if (r.minutesLeft == 0 && has("разговоров типа составляет "))
            r.minutesLeft = extractInt(l, S("разговоров типа составляет "), blank, 0);
        if (r.minutesLeft == 0 && has("локальная связь составляет :"))
            r.minutesLeft = extractInt(l, S("локальная связь составляет :"), colon, 0);
        if (r.minutesLeft == 0 && has("разговоров типа составляет 00:"))
            r.minutesLeft = extractInt(l, S("разговоров типа составляет 00:"), colon, 0);
        if (r.minutesLeft == 0 && has("разговоров типа составляет 01:")) {
            const qint32 m = extractInt(l, S("разговоров типа составляет 01:"), colon, 0);
            r.minutesLeft = m != 0 && m < 2000000000 ? m + 60 : 0;
        }
        if (has("истекает менее чем через "))
            r.balanceExpiresDays = extractInt(l, S("истекает менее чем через "), blank, 0);
        if (r.balance == 0 && has("вашего лицевого счета равен "))
            r.balance = extractFloat(l, S("вашего лицевого счета равен "), blank, 0);
        if (r.turnOffDays == 0 && has("ожидается менее, чем через "))
            r.turnOffDays = extractInt(l, S("ожидается менее, чем через "), blank, 0);
    }
    return r;
}

// Letter case at random, Latin and Cyrillic alike.
QString randomCase(const QString &text, QRandomGenerator &random)
{
    QString out = text;
    for (QChar &c : out) {
        if (random.bounded(2) == 0)
            c = c.toUpper();
    }
    return out;
}

} // namespace

TEST(ParseBalancePage, AgreesWithTheObviousScanOnRandomPages)
{
    const QStringList phrases = {
        S("Пользователь:"),
        S("Номер телефона:"),
        S("Внутренний курс на сегодня"),
        S("Актуальный баланс"),
        S("Средняя скорость расходования"),
        S("Предположительная дата отключения"),
        S("предоплаты составляет "),
        S("рек.опл: "),
        S("SMS составляет "),
        S("СМС составляет "),
        S("локальная связь составляет "),
        S("разговоров типа составляет "),
        S("локальная связь составляет :"),
        S("разговоров типа составляет 00:"),
        S("разговоров типа составляет 01:"),
        S("истекает менее чем через "),
        S("вашего лицевого счета равен "),
        S("ожидается менее, чем через "),
    };
    const QStringList values = {
        S("12"),      S("0"),   S("-3,5"), S("7.25 у.е."), S("15:30:00"), S("<b>40</b>"),
        S("&nbsp;9"), S("abc"), S("1e3"),  S("00"),        QString(),
    };
    const QStringList noise = {
        S("<tr>"), S("</td>"), S("Услуга"), S("<p class=\"x\">"), S("смс"), S("ё"), S(" "),
    };
    const QStringList breaks = {S("\r\n"), S("\n"), S("\r"), S("\r\n\r\n")};
    QRandomGenerator random(7122026);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int lines = int(random.bounded(12));
        for (int i = 0; i < lines; ++i) {
            const int parts = int(random.bounded(4));
            for (int k = 0; k < parts; ++k) {
                switch (random.bounded(3)) {
                case 0:
                    text +=
                        randomCase(phrases.at(int(random.bounded(int(phrases.size())))), random);
                    break;
                case 1:
                    text += values.at(int(random.bounded(int(values.size()))));
                    break;
                default:
                    text += noise.at(int(random.bounded(int(noise.size()))));
                    break;
                }
            }
            text += breaks.at(int(random.bounded(int(breaks.size()))));
        }
        if (random.bounded(10) == 0)
            text.insert(int(random.bounded(int(text.size()) + 1)), QChar(u'\0'));
        PhoneResult parsed;
        parseBalancePage(text, parsed);
        ASSERT_EQ(parsed, referenceScan(text)) << qPrintable(text);
    }
}

TEST(ReadBalancePage, TellsWhereEachValueCameFromAndWhetherTheBalanceWasRead)
{
    const QString page = S("<body>\r\n"
                           "<td>Актуальный баланс</td>\r\n"
                           "<td>57,10руб.</td>\r\n"
                           "<p>Баланс вашего лицевого счета равен 0,00 у.е.</p>\r\n"
                           "<p>Остаток SMS составляет 5 шт.</p>\r\n"
                           "</body>");
    const PageReading reading = readBalancePage(page, PageRules::builtIn());
    EXPECT_EQ(reading.markerLine, 2);
    // The next-line step fired but did not convert; the while-0 step on line
    // 4 then read a real zero.
    const FieldOrigin &balance = reading.origin(PageField::Balance);
    EXPECT_EQ(balance.step, 17);
    EXPECT_EQ(balance.line, 4);
    EXPECT_EQ(balance.valueLine, 4);
    EXPECT_TRUE(balance.converted);
    EXPECT_TRUE(reading.hasBalance());
    const FieldOrigin &sms = reading.origin(PageField::SMS);
    EXPECT_EQ(sms.step, 9);
    EXPECT_EQ(sms.value, S("5"));
    EXPECT_EQ(reading.origin(PageField::UserName).step, 0);

    // Without the later sentence the balance stays unread, not zero.
    QString unread = page;
    unread.remove(S("<p>Баланс вашего лицевого счета равен 0,00 у.е.</p>\r\n"));
    const PageReading notRead = readBalancePage(unread, PageRules::builtIn());
    EXPECT_EQ(notRead.origin(PageField::Balance).step, 4);
    EXPECT_EQ(notRead.origin(PageField::Balance).valueLine, 3);
    EXPECT_FALSE(notRead.origin(PageField::Balance).converted);
    EXPECT_FALSE(notRead.hasBalance());
    // The marker without any balance step firing, and no marker at all.
    const PageReading none =
        readBalancePage(S("<p>Виртуальный баланс: 5</p>\r\n</p>"), PageRules::builtIn());
    EXPECT_EQ(none.markerLine, 1);
    EXPECT_EQ(none.origin(PageField::Balance).step, 0);
    EXPECT_FALSE(none.hasBalance());
    EXPECT_EQ(readBalancePage(S("<p>Неверный пароль</p>\r\n"), PageRules::builtIn()).markerLine, 0);
}
