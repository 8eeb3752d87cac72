// The page rules file: the built-in rules survive the file format, and files
// that cannot be used are refused with the place of the fault.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "core/TextCodec.h"
#include "core/retrieval/BalancePageParser.h"
#include "core/retrieval/PageDecoding.h"
#include "core/retrieval/PageRulesFile.h"
#include "support/TempFolder.h"

using namespace zelvant;
using zelvant::test::TempFolder;

namespace {

QString S(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The built-in rules as --print-rules writes them, with lines changed.
QString builtInText()
{
    QByteArray bytes = pageRulesFileText(PageRules::builtIn());
    return QString::fromUtf8(bytes.mid(3));
}

} // namespace

TEST(PageRulesFile, PrintedBuiltInRulesReadBackAndReadEveryTestPageAlike)
{
    TempFolder temp;
    const QByteArray printed = pageRulesFileText(PageRules::builtIn());
    ASSERT_TRUE(printed.startsWith("\xEF\xBB\xBF"));
    // Both encodings a user may save the file in.
    QByteArray windows1251;
    ASSERT_TRUE(toWindows1251Exact(QString::fromUtf8(printed.mid(3)), &windows1251));
    const QList<QPair<const char *, QByteArray>> files = {{"utf8-bom.ini", printed},
                                                          {"cp1251.ini", windows1251}};
    // The test pages and the demo's sample pages.
    const QDir data(QStringLiteral(ZELVANT_TEST_DATA));
    QStringList pages;
    for (const QString &name : data.entryList({QStringLiteral("*.html")}, QDir::Files))
        pages << data.filePath(name);
    for (int demo = 1; demo <= 3; ++demo)
        pages << QStringLiteral(ZELVANT_SOURCE_DIR "/resources/demo/%1/orvel-test.html").arg(demo);
    ASSERT_GE(pages.size(), 7);
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name);
        temp.write(QLatin1String(name), bytes);
        PageRules read;
        QString error;
        ASSERT_TRUE(readPageRules(temp.file(QLatin1String(name)), &read, &error))
            << error.toStdString();
        EXPECT_EQ(read, PageRules::builtIn());
        for (const QString &page : pages) {
            QFile file(page);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QString text = decodeDocument(file.readAll(), QByteArray());
            PhoneResult expected;
            parseBalancePage(text, expected);
            EXPECT_EQ(readBalancePage(text, read).record, expected) << page.toStdString();
        }
    }
}

TEST(PageRulesFile, UnusableFilesAreRefusedNamingSectionAndKey)
{
    const QString good = builtInText();
    auto replaced = [&good](const char *from, const char *to) {
        QString text = good;
        const qsizetype at = text.indexOf(S(from));
        EXPECT_GE(at, 0) << from;
        return text.replace(at, S(from).size(), S(to));
    };
    QString hundredAndOne = good;
    for (int n = 19; n <= 101; ++n)
        hundredAndOne += QStringLiteral("\r\n[Step%1]\r\nKey=\"x\"\r\nField=SMS\r\n").arg(n);
    QString gap = good;
    gap.replace(QStringLiteral("[Step18]"), QStringLiteral("[Step19]"));

    struct Case
    {
        const char *name;
        QString text;
        const char *where; // what the message names
    };
    const Case cases[] = {
        {"unknown field", replaced("Field=TurnOff", "Field=TurnOf"), "[Step6] Field:"},
        {"unknown conversion", replaced("Convert=minutes", "Convert=hours"), "[Step15] Convert:"},
        {"step without a key", replaced("Key=\"пользователь:\"", "Key=\"\""), "[Step1] Key:"},
        {"more than 100 steps", hundredAndOne, "[Step101]:"},
        {"unknown value of a choice", replaced("Runs=whileZero", "Runs=sometimes"),
         "[Step8] Runs:"},
        {"conversion unfit for the field", replaced("Convert=text", "Convert=float"),
         "[Step1] Convert:"},
        {"unknown key", replaced("End=\"\"", "Ending=\"\""), "[Step1] Ending:"},
        {"unknown section", good + S("\r\n[Шаг19]\r\nKey=x\r\n"), "[Шаг19]:"},
        {"a gap in the numbers", gap, "[Step18]:"},
        {"no marker phrase", replaced("Phrase=\"туальный баланс\"", "Phrase="), "[Marker] Phrase:"},
        {"no step fills the balance", QString(good).replace(S("Field=Balance"), S("Field=USDRate")),
         "Field:"},
    };
    TempFolder temp;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        temp.write(QStringLiteral("page-rules.ini"), "\xEF\xBB\xBF" + c.text.toUtf8());
        PageRules rules;
        QString error;
        EXPECT_FALSE(readPageRules(temp.file(QStringLiteral("page-rules.ini")), &rules, &error));
        EXPECT_TRUE(error.contains(S(c.where))) << error.toStdString();
        // The program then reads by the built-in rules, and says so.
        QString refusal;
        EXPECT_EQ(loadPageRules(temp.file(QStringLiteral("page-rules.ini")), &refusal),
                  PageRules::builtIn());
        EXPECT_TRUE(refusal.contains(error)) << refusal.toStdString();
    }

    // UTF-8 saved without its byte order mark would read as gibberish.
    temp.write(QStringLiteral("page-rules.ini"), good.toUtf8());
    QString error;
    PageRules rules;
    EXPECT_FALSE(readPageRules(temp.file(QStringLiteral("page-rules.ini")), &rules, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("BOM"))) << error.toStdString();
    // No file: the built-in rules, nothing to say.
    QString refusal = QStringLiteral("x");
    EXPECT_EQ(loadPageRules(temp.file(QStringLiteral("none.ini")), &refusal), PageRules::builtIn());
    EXPECT_TRUE(refusal.isEmpty());
}
