// The history workbook's second sheet: a native line chart of the first
// sheet's balance column over its date column.

#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include <algorithm>

#include "core/export/HistoryWorkbook.h"
#include "support/HistoryFixture.h"
#include "support/QStringPrinter.h"
#include "support/TempFolder.h"
#include "support/XlsxContents.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

// The text of every element named `name`, in document order.
QStringList elementTexts(const QByteArray &xml, QStringView name)
{
    QStringList texts;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            texts << reader.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    return texts;
}

// The cached copies of the chart's categories and values: the count of
// points each states, and the highest index of a point it holds (empty
// cells have none).
struct Cache
{
    int stated = -1;
    int lastIndex = -1;
};

QList<Cache> rangeCaches(const QByteArray &xml)
{
    QList<Cache> caches;
    QXmlStreamReader reader(xml);
    bool inRange = false;
    while (!reader.atEnd()) {
        reader.readNext();
        const QStringView name = reader.name();
        if (reader.isStartElement() && (name == u"cat" || name == u"val"))
            inRange = true;
        else if (reader.isEndElement() && (name == u"cat" || name == u"val"))
            inRange = false;
        else if (inRange && reader.isStartElement()) {
            if (name == u"numCache" || name == u"strCache")
                caches << Cache();
            else if (name == u"ptCount" && !caches.isEmpty())
                caches.last().stated = reader.attributes().value(QLatin1String("val")).toInt();
            else if (name == u"pt" && !caches.isEmpty())
                caches.last().lastIndex =
                    std::max(caches.last().lastIndex,
                             reader.attributes().value(QLatin1String("idx")).toInt());
        }
    }
    return caches;
}

} // namespace

TEST(HistoryWorkbookChart, ChartSheetNamesTheFirstSheetsDateAndBalanceRanges)
{
    TempFolder dir;
    const QDateTime start(QDate(2026, 11, 2), QTime(9, 0), Qt::LocalTime);
    struct Case
    {
        int rows;
        const char *categories; // empty: no chart sheet
        const char *values;
    };
    const Case cases[] = {
        {0, "", ""},
        {1, "'Лист1'!$A$2", "'Лист1'!$C$2"}, // one cell is no range
        {30, "'Лист1'!$A$2:$A$31", "'Лист1'!$C$2:$C$31"},
        // Past what the library can count in a chart's cached values.
        {70000, "'Лист1'!$A$2:$A$70001", "'Лист1'!$C$2:$C$70001"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        QList<HistoryRow> rows; // newest first
        for (int i = 0; i < c.rows; ++i)
            rows.prepend(MakeHistoryRow(QStringLiteral("9161234567"), start.addSecs(i * 18000),
                                        100 - i * 1.5));
        const QString path = dir.file(QStringLiteral("history-%1.xlsx").arg(c.rows));
        QString error;
        ASSERT_TRUE(writeHistoryWorkbook(path, rows, &error)) << error.toStdString();

        // The chart is a sheet of its own after the first one.
        const QByteArray workbook = ReadXlsxPart(path, QStringLiteral("xl/workbook.xml"), &error);
        ASSERT_TRUE(workbook.contains(QStringLiteral("<sheet name=\"Лист1\"").toUtf8()));
        EXPECT_EQ(workbook.contains(QStringLiteral("<sheet name=\"График\"").toUtf8()), c.rows > 0);
        if (c.rows == 0)
            continue;
        EXPECT_FALSE(
            ReadXlsxPart(path, QStringLiteral("xl/chartsheets/sheet1.xml"), &error).isEmpty());
        const QByteArray chart = ReadXlsxPart(path, QStringLiteral("xl/charts/chart1.xml"), &error);
        ASSERT_FALSE(chart.isEmpty()) << error.toStdString();
        EXPECT_EQ(elementTexts(chart, u"lineChart").size(), 1);
        // Series name, categories, values: each a formula on the first sheet.
        EXPECT_EQ(elementTexts(chart, u"f"),
                  (QStringList{QStringLiteral("'Лист1'!$C$1"), QString::fromUtf8(c.categories),
                               QString::fromUtf8(c.values)}));
        // The rows run newest first: the axis is turned round so that time
        // runs from left to right.
        EXPECT_TRUE(chart.contains("<c:orientation val=\"maxMin\"/>"));
        // A cached copy of a range, where there is one, states every row
        // and numbers its points within them; the dates are text labels
        // either way.
        for (const Cache &cache : rangeCaches(chart)) {
            EXPECT_EQ(cache.stated, c.rows);
            EXPECT_LT(cache.lastIndex, cache.stated);
        }
        EXPECT_TRUE(chart.contains("<c:cat><c:strRef>"));
    }
}
