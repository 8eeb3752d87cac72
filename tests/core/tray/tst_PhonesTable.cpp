// The phones window's content: columns, rows, texts, colours, marking and
// the tray tip made of the balance lines.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QLocale>

#include "core/PhoneResult.h"
#include "core/config/PhoneList.h"
#include "core/config/Settings.h"
#include "core/tray/PhonesTable.h"
#include "core/tray/PhonesTableModel.h"
#include "support/SampleResults.h"

using namespace zelvant;
using zelvant::test::sampleResult;

namespace {

Options allColumns()
{
    Options o;
    o.cbNN = o.cbAlias = o.cbUserName = o.cbPhoneNum = o.cbAverage = o.cbTurnOff = true;
    o.cbRecomend = o.cbSMS = o.cbMin = o.cbJeansBalExpired = o.cbLastQueryTime = true;
    return o;
}

struct Fixture
{
    PhoneList phones;
    PhoneResults results;
    Options options;
    PhonesTable grid;

    // A monitored slot with a result, configured as the result names it.
    void monitor(const PhoneResult &r)
    {
        phones.slot(r.slot).monitored = true;
        phones.slot(r.slot).alias = r.alias;
        phones.slot(r.slot).number = r.phoneNumber;
        results[r.slot] = r;
    }
    QString fill()
    {
        grid.buildGrid(options, phones);
        return grid.fillGrid(results, options, phones);
    }
    const GridCell &at(const char *key, int row) const
    {
        return grid.cell(grid.columnOf(QString::fromLatin1(key)), row);
    }
};

} // namespace

TEST(PhonesTable, ColumnsFollowTheOptions)
{
    PhoneList phones;
    PhonesTable grid;

    grid.buildGrid(allColumns(), phones);
    EXPECT_EQ(grid.columnKeys(),
              QStringList({"Alias", "UserName", "PhoneNum", "Balance", "Average", "TurnOff",
                           "Recomend", "SMS", "BalExpired", "Min", "LastQueryTime"}))
        << "BalExpired comes before Min";
    EXPECT_EQ(grid.columnCount(), 12);
    EXPECT_EQ(grid.title(0), QStringLiteral("NN"));
    EXPECT_EQ(grid.columnWidth(0), 25);
    EXPECT_EQ(grid.title(grid.columnOf("Balance")), QStringLiteral("Баланс"));
    EXPECT_EQ(grid.title(grid.columnOf("BalExpired")), QStringLiteral("Истекает"));
    EXPECT_EQ(grid.columnWidth(grid.columnOf("UserName")), 170);
    EXPECT_EQ(grid.columnWidth(grid.columnOf("LastQueryTime")), 130);
    EXPECT_EQ(grid.fitWidth(), 25 + 120 + 170 + 80 + 70 + 60 + 50 + 60 + 50 + 60 + 50 + 130 + 25);

    // Everything off: the balance stays, column 0 keeps width 0 and no title.
    Options none;
    none.cbNN = none.cbAlias = none.cbUserName = none.cbPhoneNum = none.cbTurnOff = false;
    none.cbRecomend = none.cbLastQueryTime = false;
    grid.buildGrid(none, phones);
    EXPECT_EQ(grid.columnKeys(), QStringList({"Balance"}));
    EXPECT_EQ(grid.title(0), QString());
    EXPECT_EQ(grid.columnWidth(0), 0);
    EXPECT_EQ(grid.columnOf("Alias"), -1);
    EXPECT_EQ(grid.fitWidth(), 0 + 70 + 25);

    // The defaults.
    grid.buildGrid(Options{}, phones);
    EXPECT_EQ(grid.columnKeys(), QStringList({"Alias", "UserName", "PhoneNum", "Balance", "TurnOff",
                                              "Recomend", "LastQueryTime"}));
}

TEST(PhonesTable, RowsHoldTheMonitoredSlotsInOrder)
{
    Fixture f;
    // Nothing monitored: the title row alone, and the tip is left alone.
    EXPECT_TRUE(f.fill().isNull());
    EXPECT_EQ(f.grid.rowCount(), 1);

    f.monitor(sampleResult(7, 7, QStringLiteral("семь")));
    f.monitor(sampleResult(3, 3, QStringLiteral("три")));
    f.phones.slot(5).number = QStringLiteral("9030000005"); // not monitored
    f.fill();
    EXPECT_EQ(f.grid.rowCount(), 3);
    EXPECT_EQ(f.grid.slotOfRow(1), 3);
    EXPECT_EQ(f.grid.slotOfRow(2), 7);
    EXPECT_EQ(f.grid.slotOfRow(0), 0);
    EXPECT_EQ(f.grid.slotOfRow(3), 0);
    EXPECT_EQ(f.grid.rowOfSlot(7), 2);
    EXPECT_EQ(f.grid.rowOfSlot(5), 0);
    EXPECT_EQ(f.grid.rowNumberText(2), QStringLiteral("2")) << "position, not slot";
    EXPECT_EQ(f.at("Alias", 1).text, QStringLiteral("три"));

    // The cycle fills without rebuilding after the phone list changed: the
    // rows follow, the columns stay.
    f.monitor(sampleResult(50, 50, QStringLiteral("пятьдесят")));
    f.grid.fillGrid(f.results, f.options, f.phones);
    EXPECT_EQ(f.grid.rowCount(), 4);
    EXPECT_EQ(f.grid.slotOfRow(3), 50);
    EXPECT_EQ(f.at("Alias", 3).text, QStringLiteral("пятьдесят"));
}

TEST(PhonesTable, TextsOfARecordWithAndWithoutValues)
{
    Fixture f;
    f.options = allColumns();
    PhoneResult full = sampleResult(1, 123.456f, QStringLiteral("A"));
    full.averagePerDay = 4.5f;
    full.turnOffDays = 12;
    full.recommendedPayment = 100;
    full.smsLeft = 30;
    full.minutesLeft = 45;
    full.balanceExpiresDays = 60;
    f.monitor(full);
    f.monitor(sampleResult(2, -3.2f, QStringLiteral("B")));
    f.phones.slot(3).monitored = true; // never queried
    f.phones.slot(3).alias = QStringLiteral("Дача");
    f.phones.slot(3).number = QStringLiteral("9035550000");
    f.fill();

    EXPECT_EQ(f.at("Balance", 1).text, QStringLiteral("123.46"));
    EXPECT_TRUE(f.at("Balance", 1).style.fontBold);
    EXPECT_FALSE(f.at("Alias", 1).style.fontBold);
    EXPECT_EQ(f.at("Average", 1).text, QStringLiteral("4.50"));
    EXPECT_EQ(f.at("TurnOff", 1).text, QStringLiteral("12"));
    EXPECT_EQ(f.at("Recomend", 1).text, QStringLiteral("100.00"));
    EXPECT_EQ(f.at("SMS", 1).text, QStringLiteral("30"));
    EXPECT_EQ(f.at("Min", 1).text, QStringLiteral("45"));
    EXPECT_EQ(f.at("BalExpired", 1).text, QStringLiteral("60"));
    EXPECT_TRUE(f.at("LastQueryTime", 1).text.contains(QStringLiteral("14:03:07")));
    // Russian short date and long time, without a zone name, whatever the
    // desktop's locale: the interface is Russian.
    const QLocale before;
    for (const QLocale &desktop :
         {QLocale(QLocale::Russian, QLocale::Russia),
          QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()}) {
        QLocale::setDefault(desktop);
        f.fill();
        EXPECT_EQ(f.at("LastQueryTime", 1).text, QStringLiteral("07.12.2026 14:03:07"))
            << qPrintable(desktop.name());
    }
    QLocale::setDefault(before);

    // Zero values are empty cells, a negative balance keeps its sign.
    EXPECT_EQ(f.at("Balance", 2).text, QStringLiteral("-3.20"));
    for (const char *key : {"Average", "TurnOff", "Recomend", "SMS", "Min", "BalExpired"})
        EXPECT_EQ(f.at(key, 2).text, QString()) << key;

    // Never queried: "-" in what a result brings, empty where zero empties;
    // alias and number are the configured ones.
    for (const char *key : {"UserName", "Balance", "LastQueryTime"})
        EXPECT_EQ(f.at(key, 3).text, QStringLiteral("-")) << key;
    EXPECT_EQ(f.at("Alias", 3).text, QStringLiteral("Дача"));
    EXPECT_EQ(f.at("PhoneNum", 3).text, QStringLiteral("9035550000"));
    for (const char *key : {"Average", "TurnOff", "Recomend", "SMS", "Min", "BalExpired"})
        EXPECT_EQ(f.at(key, 3).text, QString()) << key;
    for (int row = 1; row <= 3; ++row)
        EXPECT_TRUE(f.at("Balance", row).styled);
}

TEST(PhonesTable, ColoursAndMarking)
{
    Fixture f;
    f.options.edBalanceLessThen = QStringLiteral("10.5");
    f.options.edTurnOffLessThen = QStringLiteral("3");
    f.monitor(sampleResult(1, 10.5f, QStringLiteral("ровно")));     // equal: marked
    f.monitor(sampleResult(2, 10.51f, QStringLiteral("выше")));     // above: not
    f.monitor(sampleResult(3, 1, QStringLiteral("старый"), false)); // stale, marked
    f.results[1].turnOffDays = 3;                                   // equal: marked
    f.results[2].turnOffDays = 4;                                   // above: not
    f.results[3].turnOffDays = 0;                                   // none: never marked, empty
    f.phones.slot(4).monitored = true;                              // no values
    f.fill();

    const CellStyle freshMark{GridColors::FreshMark, GridColors::Background, true};
    const CellStyle freshNormal{GridColors::FreshText, GridColors::Background, true};
    const CellStyle staleMark{GridColors::StaleMark, GridColors::Background, true};
    EXPECT_EQ(f.at("Balance", 1).style, freshMark);
    EXPECT_EQ(f.at("Balance", 2).style, freshNormal);
    EXPECT_EQ(f.at("Balance", 3).style, staleMark);
    EXPECT_EQ(f.at("Balance", 4).style, staleMark) << "no values: balance 0 is under 10.5";
    EXPECT_EQ(f.at("Alias", 3).style.fontColor, GridColors::StaleText);
    EXPECT_EQ(f.at("Alias", 1).style.fontColor, GridColors::FreshText);
    EXPECT_EQ(f.at("TurnOff", 1).style.fontColor, GridColors::FreshMark);
    EXPECT_EQ(f.at("TurnOff", 2).style.fontColor, GridColors::FreshText);
    EXPECT_EQ(f.at("TurnOff", 3).style.fontColor, GridColors::StaleText);
    EXPECT_EQ(f.at("TurnOff", 3).text, QString());
    EXPECT_EQ(GridColors::Background, QColor(0xFF, 0xFF, 0xE1));
    EXPECT_EQ(GridColors::StaleMark, QColor(0xFA, 0x6E, 0x6E));

    // Marking switched off.
    f.options.cbMarkIfBalance = false;
    f.options.cbMarkIfTurnOff = false;
    f.fill();
    EXPECT_EQ(f.at("Balance", 1).style.fontColor, GridColors::FreshText);
    EXPECT_EQ(f.at("TurnOff", 1).style.fontColor, GridColors::FreshText);

    // A negative threshold: a phone without values is not marked.
    f.options.cbMarkIfBalance = true;
    f.options.edBalanceLessThen = QStringLiteral("-1");
    f.fill();
    EXPECT_EQ(f.at("Balance", 4).style.fontColor, GridColors::StaleText);

    // Single precision on both sides: 0.1 equals 0.1 although 0.1f != 0.1.
    f.options.edBalanceLessThen = QStringLiteral("0.1");
    f.results[2].balance = 0.1f;
    f.fill();
    EXPECT_EQ(f.at("Balance", 2).style.fontColor, GridColors::FreshMark);
}

TEST(PhonesTable, ThresholdTextsThatAreNotNumbers)
{
    EXPECT_FLOAT_EQ(balanceThresholdOf(QStringLiteral("7.25")), 7.25f);
    EXPECT_FLOAT_EQ(balanceThresholdOf(QStringLiteral(" 7 ")), 7.0f);
    EXPECT_FLOAT_EQ(balanceThresholdOf(QStringLiteral("-2")), -2.0f);
    for (const char *bad : {"", "abc", "2,5", "1,000", "1.2.3"})
        EXPECT_FLOAT_EQ(balanceThresholdOf(QString::fromLatin1(bad)), 2.5f) << bad;
    EXPECT_EQ(turnOffThresholdOf(QStringLiteral("5")), 5);
    for (const char *bad : {"", "x", "2.5", "9999999999999"})
        EXPECT_EQ(turnOffThresholdOf(QString::fromLatin1(bad)), 2) << bad;
}

TEST(PhonesTable, TrayTipLinesFitTheTray)
{
    Fixture f;
    f.monitor(sampleResult(1, 1, QStringLiteral("A")));
    f.monitor(sampleResult(2, 2, QStringLiteral("B"), false));
    EXPECT_EQ(f.fill(), QStringLiteral("A: 1.00\r\nB: 2.00"));

    // Lines are never cut: one that does not fit whole is left out, and a
    // shorter one after it may still be added.
    const QString first = QString(40, QLatin1Char('x')); // "x…: 1.00" = 46
    const QStringList lines = {first + QStringLiteral(": 1.00"),
                               QStringLiteral("long alias: 123.45"), // 46+2+18 = 66
                               QStringLiteral("abcdefgh: 1.05"),     // 46+2+14 = 62
                               QStringLiteral("z")};                 // 62+2+1 = 65
    const QString tip = composeTrayTip(lines, 63);
    EXPECT_EQ(tip, lines[0] + QStringLiteral("\r\n") + lines[2]);
    EXPECT_EQ(tip.size(), 62);

    // The limit is what the tray shows: 63 fits, 64 does not (the tray
    // would cut it, turning "1.05" into "1.0").
    const QString base = QString(50, QLatin1Char('y')); // 50
    EXPECT_EQ(composeTrayTip({base, QStringLiteral("ab: 1.05")}, 63).size(), 50 + 2 + 8 + 0);
    EXPECT_EQ(composeTrayTip({base, QStringLiteral("abcd: 1.05")}, 63).size(), 62);
    EXPECT_EQ(composeTrayTip({base, QStringLiteral("abcde: 1.05")}, 63).size(), 63);
    EXPECT_EQ(composeTrayTip({base, QStringLiteral("abcdef: 1.05")}, 63), base);

    // Through the grid, with real phones.
    Fixture g;
    g.monitor(sampleResult(1, 5, QString(55, QLatin1Char('a')))); // 61 chars
    g.monitor(sampleResult(2, 2, QStringLiteral("B")));           // +9 = 72: left out
    g.monitor(sampleResult(3, 1, QString(70, QLatin1Char('c')))); // never fits
    EXPECT_EQ(g.fill().size(), 61);
    // A single line longer than the tray: its start rather than nothing.
    Fixture h;
    h.monitor(sampleResult(1, 1, QString(70, QLatin1Char('c'))));
    EXPECT_EQ(h.fill(), QString(63, QLatin1Char('c')));
}

// The grid's model obeys the item-model rules through rebuilds with more and
// fewer columns and rows and through refreshes of the texts.
TEST(PhonesTableModel, KeepsTheItemModelRulesThroughRebuildsAndRefreshes)
{
    Fixture f;
    f.options = allColumns();
    PhonesTableModel model(f.grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    f.monitor(sampleResult(1, 12.5f, QStringLiteral("Мама")));
    f.fill();
    model.rebuilt();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.columnCount(), f.grid.columnCount());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("NN"));

    f.monitor(sampleResult(3, -1.0f, QStringLiteral("Дача"), false));
    f.fill();
    model.rebuilt();
    EXPECT_EQ(model.rowCount(), 2);
    const int balance = f.grid.columnOf(QStringLiteral("Balance"));
    EXPECT_EQ(model.index(0, balance).data().toString(), f.grid.cell(balance, 1).text);

    f.results[1].balance = 3.25f;
    f.fill();
    model.refreshed();
    EXPECT_EQ(model.index(0, balance).data().toString(), f.grid.cell(balance, 1).text);

    Options few;
    few.cbNN = few.cbAlias = few.cbUserName = few.cbPhoneNum = few.cbTurnOff = false;
    few.cbRecomend = few.cbLastQueryTime = false;
    f.options = few;
    f.fill();
    model.rebuilt();
    EXPECT_EQ(model.columnCount(), 2);
}

TEST(PhonesTable, FailReasonColumnAndRowTipForPhonesWithoutAFreshBalance)
{
    Fixture f;
    f.options.cbFailReason = true;
    f.monitor(sampleResult(1, 10, QStringLiteral("A")));
    PhoneResult down = sampleResult(2, 5, QStringLiteral("B"), false);
    down.failure = {FailReason::NoConnection};
    f.monitor(down);
    PhoneResult busy = sampleResult(3, 5, QStringLiteral("C"), false);
    busy.failure = {FailReason::HttpError, 503};
    f.monitor(busy);
    f.phones.slot(4).monitored = true; // not asked yet in this run: no reason
    f.fill();

    EXPECT_EQ(f.grid.title(f.grid.columnOf(QStringLiteral("FailReason"))),
              QStringLiteral("Причина"));
    const QString reasons[] = {QString(), QStringLiteral("нет соединения"),
                               QStringLiteral("ошибка HTTP 503"), QString()};
    PhonesTableModel model(f.grid);
    for (int row = 1; row <= 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(f.at("FailReason", row).text, reasons[row - 1]);
        EXPECT_EQ(f.grid.rowToolTip(row), reasons[row - 1]);
        // The tooltip shows over every cell of the row, column or not.
        EXPECT_EQ(model.data(model.index(row - 1, 1), Qt::ToolTipRole).toString(),
                  reasons[row - 1]);
    }
    // The column is off by default; the tooltip stays.
    f.options.cbFailReason = false;
    f.fill();
    EXPECT_EQ(f.grid.columnOf(QStringLiteral("FailReason")), -1);
    EXPECT_EQ(f.grid.rowToolTip(2), reasons[1]);
}

TEST(PhonesTable, PhonesWithoutAResultKeepTheirNamesAndHaveNoBalance)
{
    // Alias and number come from the phone list, whatever the result holds:
    // a failed or never-queried phone has an empty result record.
    const struct
    {
        const char *alias;
        const char *number;
        bool hasValues; // a result of an earlier run
        bool queryOk;   // a result of this run
        const char *balanceCell;
        const char *userNameCell;
        const char *tipLine;
    } rows[] = {
        {"Дача", "9031110001", false, false, "-", "-", "Дача: -"},
        {"Мой", "9031110002", true, false, "12.50", "Иванов И.И.", "Мой: 12.50"},
        {"Офис", "9031110003", true, true, "7.25", "Иванов И.И.", "Офис: 7.25"},
        {"", "9031110004", false, false, "-", "-", "9031110004: -"},
    };
    Fixture f;
    f.options = allColumns();
    QStringList tip;
    int slot = 1;
    for (const auto &row : rows) {
        PhoneSlot &configured = f.phones.slot(slot);
        configured.monitored = true;
        configured.alias = QString::fromUtf8(row.alias);
        configured.number = QString::fromLatin1(row.number);
        if (row.hasValues) {
            f.results[slot] = sampleResult(slot, QString::fromLatin1(row.balanceCell).toFloat(),
                                           QStringLiteral("старый псевдоним"), row.queryOk);
            f.results[slot].phoneNumber = QStringLiteral("старый номер");
        }
        tip << QString::fromUtf8(row.tipLine);
        ++slot;
    }
    EXPECT_EQ(f.fill(), tip.join(QStringLiteral("\r\n")));
    for (int r = 1; r <= int(std::size(rows)); ++r) {
        const auto &row = rows[r - 1];
        EXPECT_EQ(f.at("Alias", r).text, QString::fromUtf8(row.alias)) << r;
        EXPECT_EQ(f.at("PhoneNum", r).text, QString::fromLatin1(row.number)) << r;
        EXPECT_EQ(f.at("Balance", r).text, QString::fromLatin1(row.balanceCell)) << r;
        EXPECT_EQ(f.at("UserName", r).text, QString::fromUtf8(row.userNameCell)) << r;
        EXPECT_EQ(f.at("LastQueryTime", r).text == QStringLiteral("-"), !row.hasValues) << r;
    }
}
