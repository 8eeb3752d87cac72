#pragma once
// Every window of the program, filled with data long enough to need more
// room than the designed sizes give (and Russian names of the user's own),
// for the tests that look at all windows at once.

#include <gtest/gtest.h>

#include <QWidget>

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
#include "support/HistoryFixture.h"
#include "support/TempFolder.h"

namespace zelvant::test {

inline const QString LongUrl =
    QStringLiteral("https://lumo.orvel.example/cgi-bin/cgi.exe?function=is_login&lang=ru"
                   "&region=77&session=0123456789abcdef0123456789abcdef");

// Data long enough to need more room than the designed sizes give.
struct Data
{
    TempFolder folder;
    std::unique_ptr<AppContext> context;
    PhoneResults results;

    Data()
    {
        folder.write(QStringLiteral("servers.ini"),
                     toWindows1251(QStringLiteral("[Orvel - Урал]\r\nLoginURL=%1\r\n"
                                                  "ShortName=УРЛ\r\n")
                                       .arg(LongUrl)));
        context = std::make_unique<AppContext>(AppPaths::forFolder(folder.path()));
        Options o;
        o.cbNN = o.cbAlias = o.cbUserName = o.cbPhoneNum = o.cbAverage = o.cbTurnOff = true;
        o.cbRecomend = o.cbSMS = o.cbMin = o.cbJeansBalExpired = o.cbLastQueryTime = true;
        context->options.apply(o);
        PhoneSlot &s = context->phones.slot(1);
        s.number = QStringLiteral("9037654321");
        s.alias = QStringLiteral("Дочь на даче");
        s.monitored = true;
        PhoneResult &r = results[1];
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

inline const Window Windows[] = {
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
    {"phones window",
     [](Data &d) { return std::make_unique<PhonesWindow>(*d.context, d.results); }},
};

} // namespace zelvant::test
