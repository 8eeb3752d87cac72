// The history range and its fields, reading one phone's history, and the
// history grid's rows (dates, separators, formats).

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include <QFileInfo>

#include "core/history/HistoryRange.h"
#include "core/history/HistoryTableModel.h"
#include "support/HistoryFixture.h"
#include "support/QStringPrinter.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

} // namespace

TEST(HistoryRangeFields, StoredTextsCountsAndChoice)
{
    // Stored texts: kept when they read as a decimal number.
    EXPECT_EQ(storedRangeText("50", "50"), QStringLiteral("50"));
    EXPECT_EQ(storedRangeText("7.5", "2"), QStringLiteral("7.5"));
    EXPECT_EQ(storedRangeText("abc", "50"), QStringLiteral("50"));
    EXPECT_EQ(storedRangeText("", "2"), QStringLiteral("2"));
    EXPECT_EQ(storedRangeText("1,5", "2"), QStringLiteral("2")); // the separator is "."
    EXPECT_EQ(storedRangeText("-230973", "50"), QStringLiteral("50"));
    EXPECT_EQ(storedRangeText("inf", "50"), QStringLiteral("50"));

    // Counts: whole numbers of at least 0, else the fallback.
    EXPECT_EQ(rangeCount("12", 50), 12);
    EXPECT_EQ(rangeCount("0", 50), 0);
    EXPECT_EQ(rangeCount("1.5", 2), 2);
    EXPECT_EQ(rangeCount("", 2), 2);
    EXPECT_EQ(rangeCount("-3", 50), 50); // would read as "no limit"
    EXPECT_EQ(rangeCount("99999999999", 50), 50);

    const HistoryRangeChoice requests = chooseHistoryRange(true, false, "30", "7");
    EXPECT_EQ(requests, (HistoryRangeChoice{HistoryRange::LastRequests, 30}));
    EXPECT_EQ(chooseHistoryRange(true, false, "x", "7"),
              (HistoryRangeChoice{HistoryRange::LastRequests, 50}));
    EXPECT_EQ(chooseHistoryRange(false, true, "30", "7"),
              (HistoryRangeChoice{HistoryRange::LastDays, 7}));
    EXPECT_EQ(chooseHistoryRange(false, true, "30", "1.5"),
              (HistoryRangeChoice{HistoryRange::LastDays, 2}));
    EXPECT_EQ(chooseHistoryRange(false, false, "30", "7"),
              (HistoryRangeChoice{HistoryRange::All, 0}));

    // Typed characters.
    EXPECT_EQ(filterRangeKey(QLatin1Char(',')), QChar(QLatin1Char('.')));
    EXPECT_EQ(filterRangeKey(QLatin1Char('.')), QChar(QLatin1Char('.')));
    EXPECT_EQ(filterRangeKey(QLatin1Char('0')), QChar(QLatin1Char('0')));
    EXPECT_EQ(filterRangeKey(QLatin1Char('9')), QChar(QLatin1Char('9')));
    for (const char c : {'a', '-', ' ', '\b', '\r', '+', 'e'})
        EXPECT_FALSE(filterRangeKey(QLatin1Char(c)).has_value()) << int(c);
    EXPECT_FALSE(filterRangeKey(QChar(0x0663)).has_value()); // an Arabic-Indic digit

    EXPECT_EQ(historyHeaderText("903", "Мама"), QStringLiteral("Телефон 903 (Мама)"));
    EXPECT_EQ(historyHeaderText("903", ""), QStringLiteral("Телефон 903"));
}

TEST(HistoryQuery, MissingBrokenAndPresentDatabases)
{
    TempFolder dir;
    const QString db = dir.file(QStringLiteral("Zelvant.mdb"));
    HistoryQueryResult r = queryHistory(db, "903", {HistoryRange::All, 0});
    EXPECT_EQ(r.status, HistoryQueryResult::FileMissing);
    EXPECT_FALSE(QFileInfo::exists(db)); // never created by reading

    dir.write(QStringLiteral("Zelvant.mdb"), QByteArray(4096, 'x'));
    r = queryHistory(db, "903", {HistoryRange::All, 0});
    EXPECT_EQ(r.status, HistoryQueryResult::Failed);
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_TRUE(r.rows.isEmpty());

    const QString good = dir.file(QStringLiteral("good.mdb"));
    ASSERT_TRUE(WriteHistoryRows(good, {MakeHistoryRow("903", at(2024, 1, 1, 1, 0), 1),
                                        MakeHistoryRow("903", at(2024, 1, 2, 1, 0), 2)}));
    r = queryHistory(good, "903", {HistoryRange::LastRequests, 1});
    ASSERT_EQ(r.status, HistoryQueryResult::Ok);
    ASSERT_EQ(r.rows.size(), 1);
    EXPECT_EQ(r.rows.at(0).balance, 2);
}

TEST(HistoryGridModel, DatesSeparatorsAndFormats)
{
    HistoryTableModel model;
    // Every change below is also checked against the item-model rules.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.columnCount(), 9);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("      Дата      "));
    EXPECT_EQ(model.headerData(8, Qt::Horizontal).toString(), QStringLiteral("Курс USD"));

    // Newest first: three rows on 5 May, one on 4 May, one on 1 May.
    model.setRows(
        {MakeHistoryRow("1", at(2024, 5, 5, 20, 1, 2), 12.125, 3.456, 4, 7.5, 0, 75, 28.12346),
         MakeHistoryRow("1", at(2024, 5, 5, 12, 0), -0.5, 0, 0, 0, 12, 0, 0),
         MakeHistoryRow("1", at(2024, 5, 5, 8, 0), 1, 0, -1, 0, 0, 0, 1),
         MakeHistoryRow("1", at(2024, 5, 4, 23, 0), 2),
         MakeHistoryRow("1", at(2024, 5, 1, 9, 30), 3)});
    ASSERT_EQ(model.rowCount(), 5);

    const QStringList dates = {model.cellText(0, 0), model.cellText(1, 0), model.cellText(2, 0),
                               model.cellText(3, 0), model.cellText(4, 0)};
    EXPECT_EQ(dates, (QStringList{"05.05.2024", " ", " ", "04.05.2024", "01.05.2024"}));
    // The line runs above each new day, never above the newest row.
    const QList<bool> lines = {model.separatorAbove(0), model.separatorAbove(1),
                               model.separatorAbove(2), model.separatorAbove(3),
                               model.separatorAbove(4)};
    EXPECT_EQ(lines, (QList<bool>{false, false, false, true, true}));
    EXPECT_TRUE(model.index(3, 5).data(HistoryTableModel::SeparatorAboveRole).toBool());
    EXPECT_FALSE(model.index(1, 5).data(HistoryTableModel::SeparatorAboveRole).toBool());

    EXPECT_EQ(model.cellText(0, 1), QStringLiteral("20:01:02"));
    EXPECT_EQ(model.cellText(0, 2), QStringLiteral("12.13")); // printf-style, not bankers'
    EXPECT_EQ(model.cellText(0, 3), QStringLiteral("3.46"));
    EXPECT_EQ(model.cellText(0, 4), QStringLiteral("4"));
    EXPECT_EQ(model.cellText(0, 5), QStringLiteral("7.50"));
    EXPECT_EQ(model.cellText(0, 6), QStringLiteral(" ")); // zero SMS
    EXPECT_EQ(model.cellText(0, 7), QStringLiteral("75"));
    EXPECT_EQ(model.cellText(0, 8), QStringLiteral("28.1235"));
    EXPECT_EQ(model.cellText(1, 2), QStringLiteral("-0.50"));
    EXPECT_EQ(model.cellText(1, 4), QStringLiteral("0"));
    EXPECT_EQ(model.cellText(1, 6), QStringLiteral("12"));
    EXPECT_EQ(model.cellText(1, 7), QStringLiteral(" "));
    EXPECT_EQ(model.cellText(2, 4), QStringLiteral("-1"));
    EXPECT_EQ(model.index(2, 8).data().toString(), QStringLiteral("1.0000"));

    model.setRows({});
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.separatorAbove(0));
}
