// The page rules file: the built-in rules survive the file format, and files
// that cannot be used are refused with the place of the fault.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// A file that is no rules file costs nothing: a pipe is not waited for, a
// link to a device or a huge file is not read, a refusal quotes no control
// character, and a phrase on every line of a huge page is not searched
// without end.
TEST(PageRulesFile, HostileFilesAreRefusedAtOnceAndTheScanIsBounded)
{
    TempFolder temp;
    const QString fifo = temp.file(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = temp.file(QStringLiteral("zero.ini"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    temp.write(QStringLiteral("large.ini"),
               builtInText().toUtf8() + QByteArray(MaxPageRulesFileBytes, ';'));
    temp.write(QStringLiteral("junk.ini"), "[Marker]\r\nPhrase=x\r\n[\x1b]0;title\x07\x01]\r\n");
    const struct
    {
        const char *file;
        const char *why;
    } cases[] = {
        {"fifo.ini", "не обычный файл"},
        {"zero.ini", "не обычный файл"},
        {"large.ini", "больше"},
        {"junk.ini", "\\x1b"},
    };
    for (const auto &c : cases) {
        const QString path = temp.file(QString::fromLatin1(c.file));
        std::atomic<bool> done{false};
        QString error;
        std::thread reader([&] {
            PageRules rules;
            EXPECT_FALSE(readPageRules(path, &rules, &error));
            done = true;
        });
        QElapsedTimer clock;
        clock.start();
        while (!done && clock.elapsed() < 3000)
            QThread::msleep(10);
        EXPECT_TRUE(done) << c.file << " is still being read";
        if (!done) { // a writer and its end let the reader go
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        reader.join();
        EXPECT_TRUE(error.contains(S(c.why))) << c.file << ": " << error.toStdString();
        for (const QChar ch : error)
            EXPECT_NE(ch.category(), QChar::Other_Control) << c.file;
    }

    // The same phrase for a hundred steps, on every line of an 8 MB page.
    PageRules heavy;
    heavy.marker = QStringLiteral("k");
    for (int n = 0; n < MaxPageSteps; ++n)
        heavy.steps << PageStep{QStringLiteral("k"), StepRuns::Always,  ValueLine::Next,
                                LineCase::Lower,     QString(),         QString(),
                                Conversion::Float,   PageField::Balance};
    QString page;
    while (page.size() < 8 * 1024 * 1024)
        page += QStringLiteral("k 1\n");
    QElapsedTimer clock;
    clock.start();
    const PageReading reading = readBalancePage(page, heavy);
    // Unbounded, this took 37 s in a release build; AddressSanitizer makes
    // the bounded scan several times slower too.
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(clock.elapsed(), 60000);
#else
    EXPECT_LT(clock.elapsed(), 10000);
#endif
    EXPECT_FALSE(reading.complete);
    EXPECT_FALSE(reading.hasBalance());
}
