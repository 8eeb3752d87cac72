// Reading a saved page: charset detection, the JSON and text forms of a
// result, and "Zelvant --parse" run as its own process.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QUrl>

#include "cli/ResultJson.h"
#include "core/TextCodec.h"
#include "core/retrieval/BalancePageParser.h"
#include "core/retrieval/PageDecoding.h"
#include "core/retrieval/PageFetcher.h"
#include "support/SampleResults.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::sampleResult;
using zelvant::test::TempFolder;

namespace {

QString S(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

struct ProcessResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The modes need no display: the child gets neither DISPLAY nor a platform.
ProcessResult runZelvant(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZELVANT_EXECUTABLE), arguments);
    ProcessResult run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

TEST(DecodeDocument, CharsetSourcesInOrder)
{
    const QString text = S("<p>Актуальный баланс ёЁ №</p>");
    const QByteArray cp = toWindows1251(text);
    const QByteArray utf8 = text.toUtf8();

    // No declaration at all: Windows-1251.
    EXPECT_EQ(decodeDocument(cp, QByteArray()), text);
    // <meta http-equiv> and <meta charset>, any letter case and quoting.
    EXPECT_EQ(decodeDocument("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                             "Charset=UTF-8\">"
                                 + utf8,
                             QByteArray()),
              S("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; Charset=UTF-8\">") + text);
    EXPECT_TRUE(decodeDocument("<meta charset='utf-8'>" + utf8, QByteArray()).endsWith(text));
    EXPECT_TRUE(decodeDocument("<meta charset = windows-1251 >" + cp, QByteArray()).endsWith(text));
    // The transfer's Content-Type beats the document's own declaration.
    EXPECT_TRUE(decodeDocument("<meta charset=\"utf-8\">" + cp, "text/html; charset=windows-1251")
                    .endsWith(text));
    // A byte order mark beats both.
    EXPECT_EQ(decodeDocument("\xEF\xBB\xBF" + utf8, "text/html; charset=windows-1251"), text);
    QStringEncoder toUtf16(QStringEncoder::Utf16LE);
    const QByteArray utf16 = toUtf16.encode(text);
    EXPECT_EQ(decodeDocument("\xFF\xFE" + utf16, QByteArray()), text);
    // Another charset that the platform knows.
    QStringEncoder koi8("koi8-r");
    ASSERT_TRUE(koi8.isValid());
    const QString koi8Text = S("Актуальный баланс ёЁ"); // KOI8-R has no "№"
    const QByteArray koi8Bytes = koi8.encode(koi8Text);
    EXPECT_TRUE(
        decodeDocument("<meta charset=koi8-r>" + koi8Bytes, QByteArray()).endsWith(koi8Text));
    // An unknown charset or a meta tag without one falls back to Windows-1251.
    EXPECT_TRUE(decodeDocument("<meta charset=no-such-set>" + cp, QByteArray()).endsWith(text));
    EXPECT_TRUE(
        decodeDocument("<meta name=\"charset\" content=\"x\">" + cp, QByteArray()).endsWith(text));
    // A "charset" word in the text is no declaration.
    EXPECT_TRUE(decodeDocument("<p>charset=utf-8</p>" + cp, QByteArray()).endsWith(text));

    EXPECT_EQ(charsetFromContentType("text/html;charset=\"KOI8-R\""), QByteArray("koi8-r"));
    EXPECT_EQ(charsetFromContentType("text/html"), QByteArray());
    EXPECT_EQ(charsetFromMeta("<meta name=a><meta http-equiv=content-type content='text/html; "
                              "charset=cp1251'>"),
              QByteArray("cp1251"));
}

TEST(LumoJson, FieldsRoundingAndTime)
{
    PhoneResult record = sampleResult(3, 123.456f, S("Мама"));
    record.userName = S("Иванова \"А\"");
    record.averagePerDay = -0.004f; // rounds to zero, printed without a sign
    record.turnOffDays = 52;
    record.recommendedPayment = 0.125f;
    record.smsLeft = -1;
    record.minutesLeft = 75;
    record.balanceExpiresDays = 14;
    record.usdRate = 28.65432f;

    QJsonObject json = phoneResultToJson(record);
    EXPECT_EQ(json.size(), 14);
    EXPECT_EQ(json.value(QStringLiteral("NN")).toInt(), 3);
    EXPECT_EQ(json.value(QStringLiteral("Alias")).toString(), S("Мама"));
    EXPECT_EQ(json.value(QStringLiteral("UserName")).toString(), S("Иванова \"А\""));
    EXPECT_EQ(json.value(QStringLiteral("Balance")).toDouble(), 123.46);
    EXPECT_EQ(json.value(QStringLiteral("Recomend")).toDouble(), 0.13);
    EXPECT_EQ(json.value(QStringLiteral("USDRate")).toDouble(), 28.6543);
    EXPECT_EQ(json.value(QStringLiteral("SMS")).toInt(), -1);
    EXPECT_EQ(json.value(QStringLiteral("LastQueryTime")).toString(), S("2026-12-07T14:03:07"));
    EXPECT_TRUE(json.value(QStringLiteral("QueryOk")).toBool());
    const QByteArray compact = QJsonDocument(json).toJson(QJsonDocument::Compact);
    EXPECT_TRUE(compact.contains("\"Average\":0,")) << compact.constData();
    EXPECT_TRUE(compact.contains("\"Balance\":123.46,")) << compact.constData();
    EXPECT_EQ(phoneResultFieldsText(record),
              S("UserName: Иванова \"А\"\nPhoneNum: 9030000003\nBalance: 123.46\n"
                "Average: 0.00\nTurnOff: 52\nRecomend: 0.13\nSMS: -1\nMin: 75\n"
                "BalExpired: 14\nUSDRate: 28.6543\n"));

    record.lastQueryTime = QDateTime();
    record.queryOk = false;
    json = phoneResultToJson(record);
    EXPECT_TRUE(json.value(QStringLiteral("LastQueryTime")).isNull());
    EXPECT_EQ(json.value(QStringLiteral("QueryOk")).toBool(true), false);
}

TEST(ParseMode, SamplePageAsTextAndJson)
{
    const QString sample = QStringLiteral(ZELVANT_SOURCE_DIR "/resources/demo/1/orvel-test.html");
    const ProcessResult text = runZelvant({QStringLiteral("--parse"), sample});
    EXPECT_EQ(text.exitCode, 0) << qPrintable(text.err);
    EXPECT_EQ(text.out, S("UserName: Иванов Пётр Сергеевич\nPhoneNum: +7 9161234567\n"
                          "Balance: 123.45\nAverage: 2.35\nTurnOff: 52\nRecomend: 300.00\n"
                          "SMS: 45\nMin: 75\nBalExpired: 14\nUSDRate: 28.6500\n"));
    EXPECT_TRUE(text.err.isEmpty()) << qPrintable(text.err);

    const ProcessResult json =
        runZelvant({QStringLiteral("--parse"), sample, QStringLiteral("--json")});
    EXPECT_EQ(json.exitCode, 0);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << qPrintable(json.out);
    EXPECT_EQ(object.value(QStringLiteral("Balance")).toDouble(), 123.45);
    EXPECT_EQ(object.value(QStringLiteral("USDRate")).toDouble(), 28.65);
    EXPECT_EQ(object.value(QStringLiteral("Min")).toInt(), 75);
    EXPECT_EQ(object.value(QStringLiteral("UserName")).toString(), S("Иванов Пётр Сергеевич"));
    EXPECT_TRUE(object.value(QStringLiteral("LastQueryTime")).isNull());
    EXPECT_FALSE(object.value(QStringLiteral("QueryOk")).toBool(true));
    EXPECT_EQ(object.value(QStringLiteral("NN")).toInt(-1), 0);

    // The three demo pages read as three different phones, one of them low.
    QList<double> balances;
    for (int i = 1; i <= 3; ++i) {
        const ProcessResult demo = runZelvant(
            {QStringLiteral("--parse"),
             QStringLiteral(ZELVANT_SOURCE_DIR "/resources/demo/%1/orvel-test.html").arg(i),
             QStringLiteral("--json")});
        EXPECT_EQ(demo.exitCode, 0);
        balances << QJsonDocument::fromJson(demo.out.toUtf8())
                        .object()
                        .value(QStringLiteral("Balance"))
                        .toDouble();
    }
    EXPECT_EQ(balances, (QList<double>{123.45, 1.8, 1520}));
}

TEST(ParseMode, OnlyTheBodyIsParsedAndCharsetsAreHonoured)
{
    TempFolder dir;
    // Outside the body a later balance would win; it must not be seen.
    const QString html = S("<html><head><meta charset=\"utf-8\"></head>\n"
                           "<BODY class=x>\n<p>Актуальный баланс</p>\n<p>5,5 у.е.</p>\n</body>\n"
                           "<p>Актуальный баланс</p>\n<p>999</p>\n</html>\n");
    dir.write(QStringLiteral("body.html"), html.toUtf8());
    const ProcessResult body =
        runZelvant({QStringLiteral("--parse"), dir.file(QStringLiteral("body.html"))});
    EXPECT_EQ(body.exitCode, 0);
    EXPECT_TRUE(body.out.contains(S("\nBalance: 5.50\n"))) << qPrintable(body.out);

    // A fragment without a body element is parsed whole; no charset means Windows-1251.
    dir.write(QStringLiteral("fragment.html"),
              toWindows1251(S("<td>Пользователь:</td>\r\n<td>Ёлкин Ю.</td>\r\n</tr>")));
    const ProcessResult fragment =
        runZelvant({QStringLiteral("--parse"), dir.file(QStringLiteral("fragment.html"))});
    EXPECT_EQ(fragment.exitCode, 0);
    EXPECT_TRUE(fragment.out.startsWith(S("UserName: Ёлкин Ю.\nPhoneNum: \nBalance: 0.00\n")))
        << qPrintable(fragment.out);
}

// A page may hold terminal controls, raw or as character references, that
// would re-title the terminal or draw a line of their own; the text forms
// print them as blanks, as --check does.
TEST(ParseMode, ControlCharactersFromThePageArePrintedAsBlanks)
{
    TempFolder dir;
    dir.write(QStringLiteral("controls.html"),
              toWindows1251(S("<td>Пользователь:</td>\r\n<td>\x1b]0;title\x07Ёлкин&#27;[2J&#x9b;"
                              "</td>\r\n<p>туальный баланс</p>\r\n<p>\x1b[1A&#7;Balance: 9"
                              "\u2028</p>\r\n</tr>")));
    const QString page = dir.file(QStringLiteral("controls.html"));
    for (const QStringList &extra : {QStringList(), QStringList{QStringLiteral("--explain")}}) {
        const ProcessResult run = runZelvant(QStringList{QStringLiteral("--parse"), page} + extra);
        EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
        EXPECT_TRUE(run.out.contains(S("Ёлкин"))) << qPrintable(run.out);
        for (const QChar c : run.out) {
            EXPECT_TRUE(c == QLatin1Char('\n') || c.category() != QChar::Other_Control)
                << extra.join(QLatin1Char(' ')).toStdString() << " U+" << std::hex
                << int(c.unicode());
        }
        EXPECT_EQ(run.out.count(QLatin1Char('\n')), extra.isEmpty() ? 10 : 11);
    }
}

TEST(ParseMode, UnreadableFilesExitWithStatus2)
{
    TempFolder dir;
    for (const QString &path : {dir.file(QStringLiteral("missing.html")), dir.path()}) {
        const ProcessResult run = runZelvant({QStringLiteral("--parse"), path});
        EXPECT_EQ(run.exitCode, 2) << qPrintable(path);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(path)) << qPrintable(run.err);
    }
    const ProcessResult noArgument = runZelvant({QStringLiteral("--parse")});
    EXPECT_EQ(noArgument.exitCode, 2);
    EXPECT_FALSE(noArgument.err.isEmpty());
}

TEST(ParseMode, ExplainShowsWhereARewordedPhraseMissesAndARulesFileFixesIt)
{
    const QString page = QStringLiteral(ZELVANT_TEST_DATA "/balance-reworded.html");
    // The operator now writes "Текущий баланс"; the old phrase survives only
    // in the menu, whose next line is no number. Lines count in the file,
    // its address comment included.
    const ProcessResult miss =
        runZelvant({QStringLiteral("--parse"), page, QStringLiteral("--explain")});
    EXPECT_EQ(miss.exitCode, 0) << qPrintable(miss.err);
    EXPECT_TRUE(miss.out.startsWith(S("marker found: \"туальный баланс\" (line 4)\n")))
        << qPrintable(miss.out);
    EXPECT_TRUE(miss.out.contains(
        S("\nBalance: 0.00 (step 4, line 4, value on line 5: \"услуги\" does not convert)\n")))
        << qPrintable(miss.out);
    EXPECT_TRUE(miss.out.contains(S("\nSMS: 45 (step 9, line 18)\n")));
    EXPECT_TRUE(miss.out.contains(S("\nMin: 0 (not found)\n")));

    // The one-line change, tried on the page before the program uses it.
    TempFolder dir;
    const ProcessResult printed = runZelvant({QStringLiteral("--print-rules")});
    ASSERT_EQ(printed.exitCode, 0);
    QString rules = printed.out;
    ASSERT_EQ(rules.count(S("Key=\"актуальный баланс\"")), 1);
    rules.replace(S("Key=\"актуальный баланс\""), S("Key=\"Текущий баланс\""));
    // The text came through QString, which dropped the byte order mark.
    dir.write(QStringLiteral("page-rules.ini"), "\xEF\xBB\xBF" + rules.toUtf8());
    const QString rulesFile = dir.file(QStringLiteral("page-rules.ini"));
    const ProcessResult fixed =
        runZelvant({QStringLiteral("--parse"), page, QStringLiteral("--rules"), rulesFile,
                    QStringLiteral("--json"), QStringLiteral("--explain")});
    EXPECT_EQ(fixed.exitCode, 0) << qPrintable(fixed.err);
    const QJsonObject object = QJsonDocument::fromJson(fixed.out.toUtf8()).object();
    EXPECT_EQ(object.value(QStringLiteral("Balance")).toDouble(), 57.1);
    const QJsonObject balance = object.value(QStringLiteral("Explain"))
                                    .toObject()
                                    .value(QStringLiteral("Fields"))
                                    .toObject()
                                    .value(QStringLiteral("Balance"))
                                    .toObject();
    EXPECT_EQ(balance.value(QStringLiteral("Line")).toInt(), 11);
    EXPECT_EQ(balance.value(QStringLiteral("ValueLine")).toInt(), 12);

    // A page without the marker says so first; a rules file under test that
    // cannot be used is an error, not a silent return to the built-in rules.
    const ProcessResult wrong =
        runZelvant({QStringLiteral("--parse"),
                    QStringLiteral(ZELVANT_TEST_DATA "/balance-wrong-password.html"),
                    QStringLiteral("--explain")});
    EXPECT_TRUE(wrong.out.startsWith(S("marker not found: \"туальный баланс\"\n")))
        << qPrintable(wrong.out);
    dir.write(QStringLiteral("page-rules.ini"),
              "\xEF\xBB\xBF" + rules.replace(S("Field=SMS"), S("Field=Sms2")).toUtf8());
    const ProcessResult refused =
        runZelvant({QStringLiteral("--parse"), page, QStringLiteral("--rules"), rulesFile});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains(S("[Step9] Field:"))) << qPrintable(refused.err);
}

// The parser reads the body as a browser serializes it: a no-break space,
// however the page writes it, is "&nbsp;"; numeric references are the
// characters they stand for; line breaks stay where they are.
TEST(PageNormalisation, NoBreakSpacesAndCharacterReferencesAsABrowserWritesThem)
{
    const struct
    {
        const char *page;
        const char *normalized;
    } cases[] = {
        {"123,45&#160;у.е.", "123,45&nbsp;у.е."},
        {"123,45&#xA0;у.е. &#Xa0;", "123,45&nbsp;у.е. &nbsp;"},
        {"123,45\xC2\xA0у.е.", "123,45&nbsp;у.е."},
        {"&#1040;&#x43a;&#1090;&#1091;&#1072;&#1083;&#1100;&#1085;&#1099;&#1081;", "Актуальный"},
        {"&#160", "&nbsp;"},                                     // the semicolon is optional
        {"&#60;b&#62; &#38;lt; &#34;", "&lt;b&gt; &amp;lt; \""}, // never new markup
        {"a&#10;b&#13;c\r\nd", "a b c\r\nd"},                    // no new lines
        {"&#0; &#xD800; &#99999999999;", "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
        {"&NBSP; &amp; &Quote; &lt;", "&NBSP; &amp; &Quote; &lt;"}, // left to the parser
        {"&#; &#x; & #1 &laquo; &&#35;160;", "&amp;#; &amp;#x; &amp; #1 &amp;laquo; &amp;#160;"},
    };
    for (const auto &c : cases) {
        const QString normalized = normalizePageText(S(c.page));
        EXPECT_EQ(normalized, S(c.normalized)) << c.page;
        EXPECT_EQ(normalizePageText(normalized), normalized) << c.page;
    }

    // A balance written with a no-break space is a balance, not 0.00, read
    // from a saved page and from a page the browser fetched alike.
    TempFolder dir;
    dir.write(
        QStringLiteral("page.html"),
        toWindows1251(S("<body>\r\n<td>Актуальный баланс</td>\r\n<td>123,45&#160;у.е.</td>\r\n"
                        "</body>")));
    const ProcessResult parsed =
        runZelvant({QStringLiteral("--parse"), dir.file(QStringLiteral("page.html"))});
    EXPECT_TRUE(parsed.out.contains(S("\nBalance: 123.45\n"))) << qPrintable(parsed.out);

    PageFetcher fetcher;
    QSignalSpy documents(&fetcher, &PageFetcher::documentComplete);
    fetcher.navigate(QUrl::fromLocalFile(dir.file(QStringLiteral("page.html"))));
    ASSERT_TRUE(documents.wait(5000));
    PhoneResult record;
    parseBalancePage(documents.at(0).at(1).toString(), record);
    EXPECT_FLOAT_EQ(record.balance, 123.45f);
}
