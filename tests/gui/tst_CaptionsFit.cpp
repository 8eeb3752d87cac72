// Nothing a window shows is cut, in the default font and in a 12-point one:
// captions, column titles and the values of the grids fit their room, every
// window fits the screen, and the phones window keeps all its columns in
// sight when more are switched on after the user sized it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>

#include <functional>
#include <memory>

#include "core/TextCodec.h"
#include "core/config/AppContext.h"
#include "gui/AboutBox.h"
#include "gui/HistoryWindow.h"
#include "gui/PhoneHistoryWindow.h"
#include "gui/PhonesWindow.h"
#include "gui/RegionChoiceDialog.h"
#include "gui/RegionEntryDialog.h"
#include "gui/SetupWindow.h"
#include "support/CutCaptions.h"
#include "support/HistoryFixture.h"
#include "support/RecordingTray.h"
#include "support/TempFolder.h"

using namespace zelvant;
using namespace zelvant::test;

namespace {

const QString LongUrl =
    QStringLiteral("https://lumo.orvel.example/cgi-bin/cgi.exe?function=is_login&lang=ru"
                   "&region=77&session=0123456789abcdef0123456789abcdef");

// Data long enough to need more room than the designed sizes give.
struct Data
{
    TempFolder folder;
    std::unique_ptr<AppContext> context;
    RecordingTray tray;

    Data()
    {
        folder.write(QStringLiteral("servers.ini"),
                     toWindows1251(QStringLiteral("[Orvel - Урал]\r\nLoginURL=%1\r\n"
                                                  "ShortName=УРЛ\r\n")
                                       .arg(LongUrl)));
        context = std::make_unique<AppContext>(AppPaths::forFolder(folder.path()));
        Options &o = context->options;
        o.cbNN = o.cbAlias = o.cbUserName = o.cbPhoneNum = o.cbAverage = o.cbTurnOff = true;
        o.cbRecomend = o.cbSMS = o.cbMin = o.cbJeansBalExpired = o.cbLastQueryTime = true;
        PhoneSlot &s = context->phones.slot(1);
        s.number = QStringLiteral("9037654321");
        s.alias = QStringLiteral("Дочь на даче");
        s.monitored = true;
        PhoneResult &r = context->results[1];
        r.userName = QStringLiteral("Смирнова Анна Викторовна");
        r.balance = -12345.67f;
        r.averagePerDay = 123.45f;
        r.turnOffDays = 365;
        r.recommendedPayment = 15000;
        r.smsLeft = 1000;
        r.minutesLeft = 10000;
        r.balanceExpiresDays = 365;
        r.lastQueryTime = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 8));
        r.queryOk = true;
        context->phones.slot(100).monitored = true; // never queried: row 2
        EXPECT_TRUE(WriteHistoryRows(context->paths.historyFile(),
                                     {MakeHistoryRow(s.number, r.lastQueryTime, -12345.67, 123.45,
                                                     365, 15000, 1000, 10000, 123.4567)}));
    }
};

using Opener = std::function<std::unique_ptr<QWidget>(Data &)>;

struct Window
{
    const char *name;
    Opener open;
};

const Window Windows[] = {
    {"about box", [](Data &) { return std::make_unique<AboutBox>(std::function<void()>()); }},
    {"setup window", [](Data &d) { return std::make_unique<SetupWindow>(*d.context); }},
    {"region choice",
     [](Data &d) {
         auto dialog = std::make_unique<RegionChoiceDialog>(d.context->regions);
         dialog->fillRegionList(QStringLiteral("УРЛ"));
         return dialog;
     }},
    {"region entry",
     [](Data &) {
         auto dialog = std::make_unique<RegionEntryDialog>();
         dialog->setValues(QStringLiteral("Orvel - Урал"), QStringLiteral("УРЛ"), LongUrl);
         return dialog;
     }},
    {"history window", [](Data &d) { return std::make_unique<HistoryWindow>(*d.context); }},
    {"phone history",
     [](Data &d) {
         auto window = std::make_unique<PhoneHistoryWindow>(d.context->paths.historyFile());
         window->loadHistory(d.context->phones.numberOf(1), d.context->phones.aliasOf(1),
                             HistoryRangeChoice());
         return window;
     }},
    {"phones window", [](Data &d) { return std::make_unique<PhonesWindow>(*d.context, d.tray); }},
};

// Every cut text of a shown window, page by page.
QStringList cutTextsOf(QWidget *window)
{
    QStringList cut;
    auto *pages = window->findChild<QTabWidget *>();
    for (int page = 0; page < (pages ? pages->count() : 1); ++page) {
        if (pages)
            pages->setCurrentIndex(page);
        QApplication::processEvents();
        cut << cutCaptions(window);
    }
    return cut;
}

class CaptionsFit : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        if (GetParam() > 0) {
            QFont font = QApplication::font();
            font.setPointSize(GetParam());
            QApplication::setFont(font);
        }
    }
    void TearDown() override { QApplication::setFont(m_font); }

private:
    const QFont m_font = QApplication::font();
};

} // namespace

TEST_P(CaptionsFit, NoWindowCutsItsTexts)
{
    for (const Window &w : Windows) {
        Data data;
        std::unique_ptr<QWidget> window = w.open(data);
        window->show();
        QApplication::processEvents();
        const QStringList cut = cutTextsOf(window.get());
        EXPECT_TRUE(cut.isEmpty())
            << w.name << ", " << cut.size()
            << " cut, first: " << qPrintable(cut.mid(0, 6).join(QStringLiteral("; ")));
        const QRect screen = window->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(window->frameGeometry()))
            << w.name << " " << window->frameGeometry().width() << "x"
            << window->frameGeometry().height();
        window->hide();
    }
}

TEST_P(CaptionsFit, PhonesWindowKeepsColumnsSwitchedOnLaterInSight)
{
    Data data;
    Options &o = data.context->options;
    o.cbNN = o.cbUserName = o.cbPhoneNum = o.cbAverage = o.cbTurnOff = o.cbRecomend = false;
    o.cbSMS = o.cbMin = o.cbJeansBalExpired = o.cbLastQueryTime = false;
    // The user made the window narrow once; its width is stored.
    WindowPlacement narrow;
    narrow.width = 150;
    ASSERT_TRUE(writeWindowPlacement(data.context->settingsFile, PhonesInfoSection, narrow));
    PhonesWindow window(*data.context, data.tray);
    window.show();
    QApplication::processEvents();
    QScrollBar *sideways = window.table()->horizontalScrollBar();
    EXPECT_EQ(sideways->maximum(), 0) << "stored width " << window.width();

    // The setup window switches more columns on while the window is shown.
    o.cbPhoneNum = o.cbLastQueryTime = true;
    window.buildGrid();
    window.fillGrid();
    QApplication::processEvents();
    EXPECT_EQ(sideways->maximum(), 0) << "width " << window.width();
    const int last = window.grid().columnCount() - 1;
    EXPECT_EQ(window.grid().title(last), QStringLiteral("Посл.запрос"));
    EXPECT_LE(window.table()->columnViewportPosition(last) + window.table()->columnWidth(last),
              window.table()->viewport()->width());
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaptionsFit, ::testing::Values(0, 12),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return info.param ? "Points" + std::to_string(info.param)
                                               : std::string("DefaultFont");
                         });
