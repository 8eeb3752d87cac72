// The history workbook and the all-phones workbook, read back from the
// written files; failing writes; the history export over a real database and
// its command-line mode.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "cli/CommandLine.h"
#include "core/config/PhoneList.h"
#include "core/export/HistoryWorkbook.h"
#include "core/export/PhonesWorkbook.h"
#include "support/HistoryFixture.h"
#include "support/QStringPrinter.h"
#include "support/SampleResults.h"
#include "support/TempFolder.h"
#include "support/XlsxContents.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(ExcelValues, RoundingGoesHalfToEvenAndDatesAreExcelSerials)
{
    // Exactly halfway (binary-exact values): to the even neighbour.
    EXPECT_DOUBLE_EQ(roundHalfEven(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(roundHalfEven(0.375, 2), 0.38);
    EXPECT_DOUBLE_EQ(roundHalfEven(-0.125, 2), -0.12);
    EXPECT_DOUBLE_EQ(roundHalfEven(2.5, 0), 2.0);
    EXPECT_DOUBLE_EQ(roundHalfEven(3.5, 0), 4.0);
    EXPECT_EQ(roundHalfEven(12.125f, 2), 12.12);
    // Halfway in the digits the user saw, whatever the binary expansion.
    EXPECT_EQ(roundHalfEven(2.675f, 2), 2.68); // 2.67499995... in binary
    EXPECT_EQ(roundHalfEven(1.015, 2), 1.02);  // 1.01499999... in binary
    EXPECT_EQ(roundHalfEven(1.025, 2), 1.02);
    EXPECT_EQ(roundHalfEven(9.995, 2), 10.0); // the carry runs through
    EXPECT_EQ(roundHalfEven(-0.135, 2), -0.14);
    EXPECT_EQ(roundHalfEven(0.12501, 2), 0.13); // beyond the half
    // Not halfway: the nearest value, the result being the closest double.
    EXPECT_EQ(roundHalfEven(3.456, 2), 3.46);
    EXPECT_EQ(roundHalfEven(28.1234f, 4), 28.1234);
    EXPECT_EQ(roundHalfEven(12.34f, 2), 12.34);
    EXPECT_EQ(roundHalfEven(28.12345678, 4), 28.1235);
    EXPECT_EQ(roundHalfEven(-12.5, 2), -12.5);
    EXPECT_EQ(roundHalfEven(1234567.0f, 2), 1234567.0);
    EXPECT_FALSE(std::signbit(roundHalfEven(-0.001, 2)));
    EXPECT_FALSE(std::signbit(roundHalfEven(-0.001f, 2)));

    EXPECT_EQ(excelDateTime(QDateTime()), 0.0);
    EXPECT_EQ(excelDateTime(at(1899, 12, 30, 0, 0)), 0.0);
    EXPECT_EQ(excelDateTime(at(1900, 3, 1, 0, 0)), 61.0);
    EXPECT_EQ(excelDateTime(at(2024, 1, 1, 12, 0)), 45292.5);
    EXPECT_NEAR(excelDateTime(at(2024, 1, 1, 6, 0, 30)), 45292.0 + (6 * 3600 + 30) / 86400.0, 1e-9);

    EXPECT_EQ(historyExportFileName(QStringLiteral(" 9031234567 "), QStringLiteral("Мама")),
              QStringLiteral("9031234567 (Мама).xlsx"));
    EXPECT_EQ(historyExportFileName(QStringLiteral("9031234567"), QStringLiteral("  ")),
              QStringLiteral("9031234567.xlsx"));
    // An alias is not allowed to turn the suggestion into a path.
    EXPECT_EQ(historyExportFileName(QStringLiteral("903"), QStringLiteral("a/b:c")),
              QStringLiteral("903 (a_b_c).xlsx"));
}

TEST(HistoryWorkbook, ValuesTypesEmptyCellsAndTitleRow)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("h.xlsx"));
    const QString n = QStringLiteral("9031234567");
    // Newest first, as the readers return them: two rows on 2 March, one on 1 March.
    const QList<HistoryRow> rows = {
        MakeHistoryRow(n, at(2024, 3, 2, 18, 5, 9), 12.125, 3.456, 4, 0, 0, 75, 28.12345),
        MakeHistoryRow(n, at(2024, 3, 2, 9, 0, 0), -12.5, 0.375, 0, 7.5, 12, 0, 28.1),
        MakeHistoryRow(n, at(2024, 3, 1, 23, 59, 59), 100, 1, 2, 3, 4, 5, 6),
    };
    QString error;
    ASSERT_TRUE(writeHistoryWorkbook(path, rows, &error)) << error.toStdString();
    const XlsxContents x = ReadXlsx(path);
    ASSERT_TRUE(x.ok) << x.error.toStdString();

    const QStringList titles = {"Дата",      "Время", "Баланс", "Расход в день", "Отключение",
                                "Заплатить", "SMS",   "Минут",  "Курс USD"};
    for (int c = 1; c <= 9; ++c) {
        const XlsxCell title = x.cell(CellRef(1, c));
        EXPECT_EQ(title.text, titles.at(c - 1));
        // Streamed row by row, the workbook keeps its texts in the cells.
        EXPECT_EQ(title.type, XlsxCell::InlineString);
        EXPECT_TRUE(title.bold) << c;
        // Fitted: at least as wide as the title's characters.
        EXPECT_GE(x.columnWidths.value(c), titles.at(c - 1).size()) << c;
    }
    EXPECT_FALSE(x.cell("C2").bold);
    EXPECT_EQ(x.lastRow, 4);

    // Date and time are texts; the date only on the first row of a day.
    EXPECT_EQ(x.cell("A2").type, XlsxCell::InlineString);
    EXPECT_EQ(x.cell("A2").text, QStringLiteral("02.03.2024"));
    EXPECT_FALSE(x.has("A3"));
    EXPECT_EQ(x.cell("A4").text, QStringLiteral("01.03.2024"));
    EXPECT_EQ(x.cell("B2").text, QStringLiteral("18:05:09"));
    EXPECT_EQ(x.cell("B3").text, QStringLiteral("09:00:00"));
    EXPECT_EQ(x.cell("B4").text, QStringLiteral("23:59:59"));

    // Numbers, rounded half to even.
    EXPECT_EQ(x.cell("C2").type, XlsxCell::Number);
    EXPECT_DOUBLE_EQ(x.cell("C2").number(), 12.12);
    EXPECT_DOUBLE_EQ(x.cell("D2").number(), 3.46);
    EXPECT_DOUBLE_EQ(x.cell("C3").number(), -12.5);
    EXPECT_DOUBLE_EQ(x.cell("D3").number(), 0.38);
    EXPECT_DOUBLE_EQ(x.cell("I2").number(), 28.1234);
    EXPECT_DOUBLE_EQ(x.cell("I3").number(), 28.1);

    // Zero turn-off, payment, SMS and minutes leave their cells empty.
    EXPECT_DOUBLE_EQ(x.cell("E2").number(), 4);
    EXPECT_FALSE(x.has("F2"));
    EXPECT_FALSE(x.has("G2"));
    EXPECT_DOUBLE_EQ(x.cell("H2").number(), 75);
    EXPECT_FALSE(x.has("E3"));
    EXPECT_DOUBLE_EQ(x.cell("F3").number(), 7.5);
    EXPECT_DOUBLE_EQ(x.cell("G3").number(), 12);
    EXPECT_FALSE(x.has("H3"));
    for (int c = 1; c <= 9; ++c)
        EXPECT_TRUE(x.has(CellRef(4, c))) << c;
}

TEST(AllPhonesWorkbook, MonitoredSlotsInOrderWithZerosAndRequestTime)
{
    TempFolder dir;
    const QString path = dir.file(QStringLiteral("all.xlsx"));
    PhoneList phones;
    PhoneResults results;
    // The phones of the sample results; slot 2 is not monitored.
    const std::pair<int, const char *> configured[] = {
        {1, "Папа"}, {2, "Off"}, {7, "Новый"}, {9, ""}};
    for (const auto &[slot, alias] : configured) {
        phones.slot(slot).number = QStringLiteral("903000000%1").arg(slot);
        phones.slot(slot).alias = QString::fromUtf8(alias);
        phones.slot(slot).monitored = slot != 2;
    }
    PhoneResult &a = results[1] = sampleResult(1, 12.125f, QStringLiteral("Папа"));
    a.minutesLeft = 30;
    a.balanceExpiresDays = 5;
    a.usdRate = 28.1234f;
    results[2].phoneNumber = QStringLiteral("unmonitored");
    results[2].lastQueryTime = at(2024, 1, 1, 0, 0);
    results[9] = sampleResult(9, 12.125f);

    QString error;
    ASSERT_TRUE(writeAllPhonesWorkbook(path, phones, results, &error)) << error.toStdString();
    const XlsxContents x = ReadXlsx(path);
    ASSERT_TRUE(x.ok) << x.error.toStdString();
    EXPECT_EQ(x.lastRow, 4); // title + slots 1, 7, 9
    EXPECT_EQ(x.cell("A1").text, QStringLiteral("Псевдоним"));
    EXPECT_EQ(x.cell("L1").text, QStringLiteral("Время запроса"));
    EXPECT_TRUE(x.cell("L1").bold);
    EXPECT_FALSE(x.has("M1"));

    EXPECT_EQ(x.cell("A2").text, QStringLiteral("Папа"));
    EXPECT_EQ(x.cell("B2").text, QStringLiteral("Иванов И.И."));
    EXPECT_EQ(x.cell("C2").type, XlsxCell::SharedString);
    EXPECT_EQ(x.cell("C2").text, QStringLiteral("9030000001"));
    EXPECT_DOUBLE_EQ(x.cell("D2").number(), 12.12);
    // Every cell is written, zeros included.
    for (const char *ref : {"E2", "F2", "G2", "H2"}) {
        EXPECT_EQ(x.cell(ref).type, XlsxCell::Number) << ref;
        EXPECT_EQ(x.cell(ref).number(), 0) << ref;
    }
    EXPECT_EQ(x.cell("I2").number(), 30);
    EXPECT_EQ(x.cell("J2").number(), 5);
    EXPECT_DOUBLE_EQ(x.cell("K2").number(), 28.1234);
    // The request time is a real date-time number with a date format.
    EXPECT_EQ(x.cell("L2").type, XlsxCell::Number);
    EXPECT_DOUBLE_EQ(x.cell("L2").number(), excelDateTime(a.lastQueryTime));
    EXPECT_EQ(x.cell("L2").numberFormat, QStringLiteral("dd.mm.yyyy hh:mm:ss"));
    EXPECT_GE(x.columnWidths.value(12), 19);

    // Slot 7 was never queried: its row names the phone, holds zeros and
    // the origin of the date-time numbers.
    EXPECT_EQ(x.cell("A3").text, QStringLiteral("Новый"));
    EXPECT_EQ(x.cell("C3").text, QStringLiteral("9030000007"));
    EXPECT_EQ(x.cell("D3").number(), 0);
    EXPECT_EQ(x.cell("L3").type, XlsxCell::Number);
    EXPECT_EQ(x.cell("L3").number(), 0);
    EXPECT_EQ(x.cell("L3").numberFormat, QStringLiteral("dd.mm.yyyy hh:mm:ss"));

    // A queried phone keeps its record's (empty) alias.
    EXPECT_FALSE(x.has("A4"));
    EXPECT_EQ(x.cell("C4").text, QStringLiteral("9030000009"));

    EXPECT_EQ(exportAllPhones(path, phones, results).message,
              QStringLiteral("Текущие данные по всем телефонам успешно записаны в Excel"));
}

TEST(WorkbookFailures, NothingHalfWrittenAndTheOldFileSurvives)
{
    TempFolder dir;
    const QList<HistoryRow> rows = {MakeHistoryRow(QStringLiteral("1"), at(2024, 3, 2, 18, 0), 1)};
    QString error;

    // A folder that does not exist.
    const QString missing = dir.file(QStringLiteral("no/such/folder/h.xlsx"));
    EXPECT_FALSE(writeHistoryWorkbook(missing, rows, &error));
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(missing))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("no"))));

    // A folder standing where the file should be.
    const QString folder = dir.file(QStringLiteral("taken.xlsx"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile::copy(QStringLiteral(ZELVANT_SOURCE_DIR "/CMakeLists.txt"),
                folder + QStringLiteral("/inside"));
    error.clear();
    EXPECT_FALSE(writeHistoryWorkbook(folder, rows, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(folderEntries(folder), QStringList{QStringLiteral("inside")});

    // A failure in the middle of the writing (a cell text longer than a
    // cell may hold) leaves an existing file exactly as it was.
    const QString target = dir.file(QStringLiteral("all.xlsx"));
    dir.write(QStringLiteral("all.xlsx"), "previous export");
    PhoneList phones;
    PhoneResults results;
    for (int slot = 1; slot <= 3; ++slot) {
        phones.slot(slot).number = QString::number(slot);
        phones.slot(slot).monitored = true;
        results[slot].lastQueryTime = at(2024, 1, 1, 0, 0);
    }
    results[3].userName = QString(40000, QLatin1Char('x'));
    const ExportOutcome outcome = exportAllPhones(target, phones, results);
    EXPECT_EQ(outcome.status, ExportOutcome::Failed);
    EXPECT_TRUE(outcome.message.startsWith(QStringLiteral("Не удалось записать файл")));
    EXPECT_EQ(dir.read(QStringLiteral("all.xlsx")), QByteArray("previous export"));
    // ... and no temporary file beside it.
    EXPECT_EQ(folderEntries(dir.path()),
              (QStringList{QStringLiteral("all.xlsx"), QStringLiteral("taken.xlsx")}));

    // A successful export replaces it.
    results[3].userName.clear();
    EXPECT_EQ(exportAllPhones(target, phones, results).status, ExportOutcome::Written);
    EXPECT_TRUE(ReadXlsx(target).ok);
}

TEST(HistoryExport, ReadsTheChosenRangeFromTheDatabase)
{
    TempFolder dir;
    const QString db = dir.file(QStringLiteral("Zelvant.mdb"));
    const QString out = dir.file(QStringLiteral("out.xlsx"));
    const QString n = QStringLiteral("903'123");
    const QDateTime now = QDateTime::currentDateTime();

    // No history file: reported, and neither a database nor a workbook appears.
    ExportOutcome o = exportHistory(db, out, n, {HistoryRange::All, 0});
    EXPECT_EQ(o.status, ExportOutcome::HistoryFileMissing);
    EXPECT_FALSE(QFileInfo::exists(db));
    EXPECT_FALSE(QFileInfo::exists(out));

    // Oldest first into the table: 5 and 3 days ago, then three today.
    ASSERT_TRUE(WriteHistoryRows(
        db, {MakeHistoryRow(n, now.addDays(-5), 1), MakeHistoryRow(n, now.addDays(-3), 2),
             MakeHistoryRow(QStringLiteral("other"), now, 99),
             MakeHistoryRow(n, now.addSecs(-120), 3), MakeHistoryRow(n, now.addSecs(-60), 4)}));

    o = exportHistory(db, out, QStringLiteral("nobody"), {HistoryRange::All, 0});
    EXPECT_EQ(o.status, ExportOutcome::NoHistory);
    EXPECT_EQ(o.message, QStringLiteral("История по выбранному телефону не найдена!"));
    EXPECT_FALSE(QFileInfo::exists(out));

    const auto balances = [&](const HistoryRangeChoice &choice) {
        const ExportOutcome r = exportHistory(db, out, n, choice);
        EXPECT_EQ(r.status, ExportOutcome::Written) << r.message.toStdString();
        EXPECT_EQ(r.message, QStringLiteral("История успешно конвертирована в Excel"));
        const XlsxContents x = ReadXlsx(out);
        QList<double> values;
        for (int row = 2; row <= x.lastRow; ++row)
            values << x.cell(CellRef(row, 3)).number();
        return values;
    };
    EXPECT_EQ(balances({HistoryRange::All, 0}), (QList<double>{4, 3, 2, 1}));
    EXPECT_EQ(balances({HistoryRange::LastRequests, 2}), (QList<double>{4, 3}));
    EXPECT_EQ(balances({HistoryRange::LastRequests, 50}), (QList<double>{4, 3, 2, 1}));
    EXPECT_EQ(balances({HistoryRange::LastDays, 4}), (QList<double>{4, 3, 2}));
}

TEST(HistoryExport, CommandLineMode)
{
    TempFolder dir;
    const AppPaths paths = AppPaths::forFolder(dir.path());
    const QString out = dir.file(QStringLiteral("cli.xlsx"));
    CliRequest request;
    request.mode = CliMode::ExportHistory;
    request.positional = {out, QStringLiteral("903")};
    request.rangeKind = 2;
    request.rangeCount = 1;

    EXPECT_EQ(runExportHistoryMode(request, paths), 2); // no history file
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(QFileInfo::exists(paths.historyFile()));

    const QDateTime now = QDateTime::currentDateTime();
    ASSERT_TRUE(WriteHistoryRows(paths.historyFile(),
                                 {MakeHistoryRow(QStringLiteral("903"), now.addSecs(-60), 5),
                                  MakeHistoryRow(QStringLiteral("903"), now, 6)}));
    EXPECT_EQ(runExportHistoryMode(request, paths), 0);
    XlsxContents x = ReadXlsx(out);
    ASSERT_TRUE(x.ok);
    EXPECT_EQ(x.lastRow, 2);
    EXPECT_EQ(x.cell("C2").number(), 6);

    request.rangeKind = 0;
    EXPECT_EQ(runExportHistoryMode(request, paths), 0);
    EXPECT_EQ(ReadXlsx(out).lastRow, 3);

    // Through the parser, the options after the file and the number.
    const QString parsedOut = dir.file(QStringLiteral("parsed.xlsx"));
    const CliRequest parsed =
        parseCommandLine({QStringLiteral("Zelvant"), QStringLiteral("--export-history"), parsedOut,
                          QStringLiteral("903"), QStringLiteral("--last"), QStringLiteral("1")});
    ASSERT_EQ(parsed.mode, CliMode::ExportHistory);
    EXPECT_EQ(runCommandLineMode(parsed, paths), 0);
    EXPECT_EQ(ReadXlsx(parsedOut).lastRow, 2);

    request.positional = {dir.file(QStringLiteral("missing/cli.xlsx")), QStringLiteral("903")};
    EXPECT_EQ(runExportHistoryMode(request, paths), 2);
    request.positional = {out, QStringLiteral("nobody")};
    EXPECT_EQ(runExportHistoryMode(request, paths), 2);
    EXPECT_EQ(ReadXlsx(out).lastRow, 3); // the earlier workbook is untouched
}
